#pragma once
// Helpers shared by the store engine tests.
#include "core/store/file_io.h"
#include "core/store/record_store.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>

namespace vellicar::store::testing {

using Model = std::map<QByteArray, std::pair<QByteArray, QByteArray>>; // key -> (owner, value)

inline std::unique_ptr<RecordStore> openStore(FileIo& io, const QString& path,
                                              RecordStore::Mode mode = RecordStore::Mode::ReadWrite,
                                              StoreStatus* statusOut = nullptr) {
    StoreStatus status = StoreStatus::Ok;
    QString text;
    auto store = RecordStore::open(path, mode, io, status, text);
    if (statusOut)
        *statusOut = status;
    return store;
}

// Index 1 must be exactly the (owner, key) pairs of the records, in order.
inline ::testing::AssertionResult ownerIndexMatchesRecords(const RecordStore& store) {
    std::set<std::pair<QByteArray, QByteArray>> rebuilt;
    for (const QByteArray& key : store.keys()) {
        const auto owner = store.ownerOf(key);
        if (!owner)
            return ::testing::AssertionFailure() << "key without owner";
        rebuilt.emplace(*owner, key);
    }
    const auto index = store.ownerIndex();
    if (static_cast<std::size_t>(index.size()) != rebuilt.size())
        return ::testing::AssertionFailure()
               << "index 1 has " << index.size() << " entries, records " << rebuilt.size();
    auto it = rebuilt.begin();
    for (const auto& e : index) {
        if (e.owner != it->first || e.key != it->second)
            return ::testing::AssertionFailure()
                   << "index 1 differs at key " << e.key.toHex().constData();
        ++it;
    }
    // Walking it with the cursor operations gives the same order.
    std::size_t walked = 0;
    for (auto e = store.firstEntry(); e; e = store.entryAfter(*e))
        ++walked;
    if (walked != rebuilt.size())
        return ::testing::AssertionFailure() << "walk saw " << walked << " entries";
    return ::testing::AssertionSuccess();
}

// Every record in the store must read back intact and match `model` exactly.
inline ::testing::AssertionResult storeEquals(const RecordStore& store, const Model& model) {
    if (store.size() != model.size())
        return ::testing::AssertionFailure()
               << "store has " << store.size() << " records, expected " << model.size();
    for (const auto& [key, ov] : model) {
        QByteArray value;
        const StoreStatus s = store.get(key, value);
        if (s != StoreStatus::Ok)
            return ::testing::AssertionFailure()
                   << "get " << key.constData() << ": " << storeStatusName(s);
        if (value != ov.second)
            return ::testing::AssertionFailure() << "value differs for " << key.constData();
        if (store.ownerOf(key) != ov.first)
            return ::testing::AssertionFailure() << "owner differs for " << key.constData();
    }
    return ownerIndexMatchesRecords(store);
}

} // namespace vellicar::store::testing
