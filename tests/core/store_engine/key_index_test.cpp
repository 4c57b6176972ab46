// The flat in-memory index: a random mix of puts, owner changes and removes,
// enough to force merges of the overlay and arena clean-ups, must leave both
// indexes equal to a plain ordered model, and survive the trip through the
// index file's tables.
#include "core/store/engine_index.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

using vellicar::store::engine::KeyIndex;

namespace {

using Model = std::map<QByteArray, std::pair<QByteArray, std::uint64_t>>; // key -> (owner, pos)

std::set<std::pair<QByteArray, QByteArray>> orderOf(const Model& m) {
    std::set<std::pair<QByteArray, QByteArray>> out;
    for (const auto& [key, v] : m)
        out.emplace(v.first, key);
    return out;
}

::testing::AssertionResult matches(const KeyIndex& index, const Model& model) {
    if (index.size() != model.size())
        return ::testing::AssertionFailure() << index.size() << " entries, want " << model.size();
    for (const auto& [key, v] : model) {
        const std::uint32_t id = index.find(key);
        if (id == KeyIndex::kNone || index.owner(id) != v.first || index.slot(id).pos != v.second)
            return ::testing::AssertionFailure() << "key " << key.toStdString() << " wrong";
    }
    const auto want = orderOf(model);
    const auto got = index.ordered();
    auto w = want.begin();
    for (const std::uint32_t id : got) {
        if (w == want.end() || index.owner(id) != w->first || index.key(id) != w->second)
            return ::testing::AssertionFailure() << "index 1 out of order";
        ++w;
    }
    return ::testing::AssertionSuccess();
}

// lowerBound / upperBound / lastBefore against the model for probes that
// exist, fall between entries, and lie before and after everything.
::testing::AssertionResult boundsMatch(const KeyIndex& index, const Model& model,
                                       std::mt19937& rng) {
    const auto want = orderOf(model);
    for (int i = 0; i < 200; ++i) {
        const QByteArray owner = "o" + QByteArray::number(int(rng() % 40));
        const QByteArray key = QByteArray::number(int(rng() % 3000)) + (rng() % 2 ? "" : "x");
        const std::pair<QByteArray, QByteArray> probe{owner, key};
        auto describe = [&](std::uint32_t id) -> std::pair<QByteArray, QByteArray> {
            if (id == KeyIndex::kNone)
                return {"<none>", ""};
            return {index.owner(id).toByteArray(), index.key(id).toByteArray()};
        };
        auto lb = want.lower_bound(probe);
        auto ub = want.upper_bound(probe);
        const std::pair<QByteArray, QByteArray> none{"<none>", ""};
        if (describe(index.lowerBound(owner, key)) != (lb == want.end() ? none : *lb))
            return ::testing::AssertionFailure() << "lowerBound";
        if (describe(index.upperBound(owner, key)) != (ub == want.end() ? none : *ub))
            return ::testing::AssertionFailure() << "upperBound";
        if (describe(index.lastBefore(owner, key)) != (lb == want.begin() ? none : *std::prev(lb)))
            return ::testing::AssertionFailure() << "lastBefore";
    }
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(KeyIndex, RandomChangesKeepBothIndexesEqualToAModel) {
    for (const bool startFromTables : {false, true}) {
        SCOPED_TRACE(startFromTables ? "from tables" : "from a bulk load");
        std::mt19937 rng(startFromTables ? 7 : 3);
        KeyIndex index;
        Model model;
        std::uint32_t old = 0;
        // A bulk load with replacements and removes, as a rebuild scan does.
        index.beginBulk();
        for (int i = 0; i < 5000; ++i) {
            const QByteArray key = QByteArray::number(int(rng() % 3000));
            if (rng() % 5 == 0) {
                EXPECT_EQ(index.remove(key, old), model.erase(key) == 1);
                continue;
            }
            const QByteArray owner = "o" + QByteArray::number(int(rng() % 40));
            index.put(key, owner, 64 + 8 * std::uint64_t(i), 48, old);
            model[key] = {owner, 64 + 8 * std::uint64_t(i)};
        }
        index.endBulk();
        ASSERT_TRUE(matches(index, model));
        if (startFromTables) {
            QByteArray tables;
            std::uint64_t count = 0, arena = 0, table = 0;
            index.appendTables(tables, count, arena, table);
            KeyIndex loaded;
            QString why;
            ASSERT_TRUE(loaded.adoptTables(tables.constData(), std::size_t(tables.size()), count,
                                           arena, table, 1u << 30, why))
                << why.toStdString();
            index = loaded;
            ASSERT_TRUE(matches(index, model));
        }
        // Then single changes on top of the sorted array, checked now and then.
        for (int i = 0; i < 20000; ++i) {
            const QByteArray key = QByteArray::number(int(rng() % 3000));
            if (rng() % 3 == 0) {
                EXPECT_EQ(index.remove(key, old), model.erase(key) == 1);
            } else {
                const QByteArray owner = "o" + QByteArray::number(int(rng() % 40));
                index.put(key, owner, 8 * std::uint64_t(i) + 64, 48, old);
                model[key] = {owner, 8 * std::uint64_t(i) + 64};
            }
            if (i % 2500 == 0) {
                ASSERT_TRUE(matches(index, model)) << "after " << i;
                ASSERT_TRUE(boundsMatch(index, model, rng)) << "after " << i;
            }
        }
        ASSERT_TRUE(matches(index, model));
        ASSERT_TRUE(boundsMatch(index, model, rng));
    }
}

TEST(KeyIndex, TablesThatPointOutsideThemselvesAreRefused) {
    KeyIndex index;
    std::uint32_t old = 0;
    index.put("k1", "o", 64, 48, old);
    index.put("k2", "o", 112, 48, old);
    QByteArray tables;
    std::uint64_t count = 0, arena = 0, table = 0;
    index.appendTables(tables, count, arena, table);
    KeyIndex loaded;
    QString why;
    EXPECT_TRUE(loaded.adoptTables(tables.constData(), std::size_t(tables.size()), count, arena,
                                   table, 160, why));
    // The data end cuts off the second frame.
    EXPECT_FALSE(loaded.adoptTables(tables.constData(), std::size_t(tables.size()), count, arena,
                                    table, 120, why));
    // A table size that is no power of two, and one cut short.
    EXPECT_FALSE(loaded.adoptTables(tables.constData(), std::size_t(tables.size()), count, arena,
                                    table - 1, 160, why));
    EXPECT_FALSE(loaded.adoptTables(tables.constData(), std::size_t(tables.size()) - 1, count,
                                    arena, table, 160, why));
    // An arena offset past the arena.
    QByteArray bad = tables;
    bad[8] = char(100);
    EXPECT_FALSE(loaded.adoptTables(bad.constData(), std::size_t(bad.size()), count, arena, table,
                                    160, why));
    EXPECT_EQ(loaded.size(), 0u);
}
