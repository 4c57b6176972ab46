#include "core/store/engine_index.h"

#include "core/store/engine_format.h"

#include <QtCore/QtEndian>

#include <algorithm>
#include <bit>
#include <cstring>
#include <numeric>

namespace vellicar::store::engine {

namespace {

std::uint64_t mix(std::uint64_t h) {
    h ^= h >> 31;
    h *= 0x94d049bb133111ebull;
    h ^= h >> 29;
    return h;
}

// Byte order, eight bytes at a time: keys and owners are short, and a call
// to memcmp per comparison costs more than the comparison itself.
int compareBytes(QByteArrayView a, QByteArrayView b) {
    const auto* p = reinterpret_cast<const unsigned char*>(a.data());
    const auto* q = reinterpret_cast<const unsigned char*>(b.data());
    const std::size_t n = static_cast<std::size_t>(std::min(a.size(), b.size()));
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const auto x = qFromBigEndian<std::uint64_t>(p + i);
        const auto y = qFromBigEndian<std::uint64_t>(q + i);
        if (x != y)
            return x < y ? -1 : 1;
    }
    for (; i < n; ++i) {
        if (p[i] != q[i])
            return p[i] < q[i] ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// The first eight bytes (zero-padded) as a big-endian number: where two of
// these differ they order the bytes as a full comparison would.
std::uint64_t prefixOf(QByteArrayView v) {
    unsigned char b[8] = {};
    if (!v.isEmpty())
        std::memcpy(b, v.data(), static_cast<std::size_t>(std::min<qsizetype>(8, v.size())));
    std::uint64_t p = 0;
    for (unsigned char c : b)
        p = (p << 8) | c;
    return p;
}

} // namespace

std::uint32_t keyHash(QByteArrayView key) {
    const auto* p = reinterpret_cast<const unsigned char*>(key.data());
    std::size_t n = static_cast<std::size_t>(key.size());
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
    while (n >= 8) {
        h = mix(h ^ qFromLittleEndian<std::uint64_t>(p)) * 0xbf58476d1ce4e5b9ull;
        p += 8;
        n -= 8;
    }
    std::uint64_t tail = 0;
    for (std::size_t i = 0; i < n; ++i)
        tail |= std::uint64_t(p[i]) << (8 * i);
    h = mix(h ^ tail ^ 0xa5);
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

void KeyIndex::clear() {
    *this = KeyIndex();
}

int KeyIndex::compare(std::uint32_t id, QByteArrayView owner, QByteArrayView key) const {
    if (const int c = compareBytes(this->owner(id), owner))
        return c;
    return compareBytes(this->key(id), key);
}

bool KeyIndex::less(std::uint32_t a, std::uint32_t b) const {
    return compare(a, owner(b), key(b)) < 0;
}

std::uint32_t KeyIndex::find(QByteArrayView key) const {
    if (table_.empty())
        return kNone;
    const std::uint32_t h = keyHash(key);
    const std::size_t mask = table_.size() - 1;
    for (std::size_t i = h & mask;; i = (i + 1) & mask) {
        const std::uint32_t v = table_[i];
        if (!v)
            return kNone;
        const Slot& s = slots_[v - 1];
        if (s.hash == h && s.keyLength == std::uint32_t(key.size()) &&
            (key.isEmpty() || std::memcmp(arena_.data() + s.keyOff, key.data(), s.keyLength) == 0))
            return v - 1;
    }
}

void KeyIndex::reserve(std::size_t n, std::size_t arenaBytes) {
    slots_.reserve(n);
    state_.reserve(n);
    arena_.reserve(arenaBytes);
    grow(n);
}

void KeyIndex::grow(std::size_t wanted) {
    std::size_t size = std::max<std::size_t>(16, table_.size());
    wanted = std::max(wanted, live_);
    while (wanted * 10 > size * 7)
        size *= 2;
    if (size == table_.size())
        return;
    RawVector<std::uint32_t> old(size, 0);
    old.swap(table_);
    const std::size_t mask = size - 1;
    for (const std::uint32_t v : old) {
        if (!v)
            continue;
        std::size_t i = slots_[v - 1].hash & mask;
        while (table_[i])
            i = (i + 1) & mask;
        table_[i] = v;
    }
}

void KeyIndex::tableInsert(std::uint32_t id) {
    if (table_.empty() || live_ * 10 > table_.size() * 7)
        grow();
    const std::size_t mask = table_.size() - 1;
    std::size_t i = slots_[id].hash & mask;
    while (table_[i])
        i = (i + 1) & mask;
    table_[i] = id + 1;
}

void KeyIndex::tableErase(std::size_t at) {
    // Backward shift: later entries of the same probe run move up, so no
    // tombstones are needed.
    const std::size_t mask = table_.size() - 1;
    std::size_t i = at;
    table_[i] = 0;
    for (std::size_t j = (i + 1) & mask; table_[j]; j = (j + 1) & mask) {
        const std::size_t home = slots_[table_[j] - 1].hash & mask;
        const bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
        if (stays)
            continue;
        table_[i] = table_[j];
        table_[j] = 0;
        i = j;
    }
}

std::uint32_t KeyIndex::addSlot(QByteArrayView key, QByteArrayView owner, std::uint32_t hash,
                                std::uint64_t pos, std::uint32_t size) {
    std::uint32_t id;
    if (!free_.empty()) {
        id = free_.back();
        free_.pop_back();
    } else {
        id = static_cast<std::uint32_t>(slots_.size());
        slots_.emplace_back();
        state_.push_back(kFree);
    }
    Slot& s = slots_[id];
    s.pos = pos;
    s.size = size;
    s.hash = hash;
    s.keyLength = static_cast<std::uint32_t>(key.size());
    s.ownerLength = static_cast<std::uint32_t>(owner.size());
    s.keyOff = arena_.size();
    arena_.insert(arena_.end(), key.begin(), key.end());
    arena_.insert(arena_.end(), owner.begin(), owner.end());
    state_[id] = kLive;
    return id;
}

void KeyIndex::dropSlot(std::uint32_t id) {
    if (state_[id] == kInBase) {
        // Stays in base_ (skipped by lookups) until the next merge frees it.
        state_[id] = kDeadInBase;
        ++deadInBase_;
        return;
    }
    if (!bulk_) {
        const auto it =
            std::lower_bound(extra_.begin(), extra_.end(), id,
                             [this](std::uint32_t a, std::uint32_t b) { return less(a, b); });
        if (it != extra_.end() && *it == id)
            extra_.erase(it);
    }
    state_[id] = kFree;
    free_.push_back(id);
    arenaGarbage_ += std::uint64_t(slots_[id].keyLength) + slots_[id].ownerLength;
}

void KeyIndex::put(QByteArrayView key, QByteArrayView owner, std::uint64_t pos, std::uint32_t size,
                   std::uint32_t& oldSize) {
    oldSize = 0;
    const std::uint32_t h = keyHash(key);
    if (!table_.empty()) {
        const std::size_t mask = table_.size() - 1;
        for (std::size_t i = h & mask; table_[i]; i = (i + 1) & mask) {
            const std::uint32_t id = table_[i] - 1;
            Slot& s = slots_[id];
            if (s.hash != h || s.keyLength != std::uint32_t(key.size()) ||
                (!key.isEmpty() && std::memcmp(arena_.data() + s.keyOff, key.data(), s.keyLength)))
                continue;
            oldSize = s.size;
            if (compareBytes(this->owner(id), owner) == 0) {
                s.pos = pos;
                s.size = size;
                return;
            }
            // A new owner moves the record in index 1: drop it and add it afresh.
            tableErase(i);
            dropSlot(id);
            --live_;
            break;
        }
    }
    const std::uint32_t id = addSlot(key, owner, h, pos, size);
    ++live_;
    tableInsert(id);
    if (!bulk_) {
        const auto it =
            std::lower_bound(extra_.begin(), extra_.end(), id,
                             [this](std::uint32_t a, std::uint32_t b) { return less(a, b); });
        extra_.insert(it, id);
        maybeMerge();
    }
}

bool KeyIndex::remove(QByteArrayView key, std::uint32_t& oldSize) {
    if (table_.empty())
        return false;
    const std::uint32_t h = keyHash(key);
    const std::size_t mask = table_.size() - 1;
    for (std::size_t i = h & mask; table_[i]; i = (i + 1) & mask) {
        const std::uint32_t id = table_[i] - 1;
        const Slot& s = slots_[id];
        if (s.hash != h || s.keyLength != std::uint32_t(key.size()) ||
            (!key.isEmpty() && std::memcmp(arena_.data() + s.keyOff, key.data(), s.keyLength)))
            continue;
        oldSize = s.size;
        tableErase(i);
        dropSlot(id);
        --live_;
        if (!bulk_)
            maybeMerge();
        return true;
    }
    return false;
}

void KeyIndex::beginBulk() {
    merge();
    bulk_ = true;
}

void KeyIndex::endBulk() {
    bulk_ = false;
    // Everything goes into base_ with one sort. The sort key carries the
    // first eight bytes of owner and key, so most comparisons (and with
    // owners of up to eight bytes, every owner comparison) stay out of the arena.
    struct Item {
        std::uint64_t ownerPrefix;
        std::uint64_t keyPrefix;
        std::uint32_t id;
        std::uint32_t ownerLength;
    };
    std::vector<Item> items;
    items.reserve(live_);
    for (std::uint32_t id = 0; id < slots_.size(); ++id) {
        if (state_[id] == kFree)
            continue;
        state_[id] = kInBase;
        items.push_back({prefixOf(owner(id)), prefixOf(key(id)), id, slots_[id].ownerLength});
    }
    std::sort(items.begin(), items.end(), [this](const Item& a, const Item& b) {
        if (a.ownerPrefix != b.ownerPrefix)
            return a.ownerPrefix < b.ownerPrefix;
        if (a.ownerLength > 8 || b.ownerLength > 8)
            return less(a.id, b.id);
        // Equal zero-padded prefixes: the shorter owner is a prefix of the other.
        if (a.ownerLength != b.ownerLength)
            return a.ownerLength < b.ownerLength;
        if (a.keyPrefix != b.keyPrefix)
            return a.keyPrefix < b.keyPrefix;
        return compareBytes(key(a.id), key(b.id)) < 0;
    });
    base_.resize(items.size());
    for (std::size_t i = 0; i < items.size(); ++i)
        base_[i] = items[i].id;
    extra_.clear();
    deadInBase_ = 0;
}

void KeyIndex::maybeMerge() {
    if (extra_.size() + deadInBase_ > 1024 + base_.size() / 8)
        merge();
}

void KeyIndex::merge() {
    std::vector<std::uint32_t> out;
    out.reserve(live_);
    std::size_t j = 0;
    for (const std::uint32_t id : base_) {
        if (state_[id] == kDeadInBase) {
            state_[id] = kFree;
            free_.push_back(id);
            arenaGarbage_ += std::uint64_t(slots_[id].keyLength) + slots_[id].ownerLength;
            continue;
        }
        while (j < extra_.size() && less(extra_[j], id))
            out.push_back(extra_[j++]);
        out.push_back(id);
    }
    while (j < extra_.size())
        out.push_back(extra_[j++]);
    for (const std::uint32_t id : out)
        state_[id] = kInBase;
    base_.swap(out);
    extra_.clear();
    deadInBase_ = 0;
    if (arenaGarbage_ > (1u << 20) && arenaGarbage_ * 2 > arena_.size()) {
        RawVector<char> fresh;
        fresh.reserve(arena_.size() - arenaGarbage_);
        for (std::uint32_t id = 0; id < slots_.size(); ++id) {
            if (state_[id] == kFree)
                continue;
            Slot& s = slots_[id];
            const char* from = arena_.data() + s.keyOff;
            s.keyOff = fresh.size();
            fresh.insert(fresh.end(), from, from + s.keyLength + s.ownerLength);
        }
        arena_.swap(fresh);
        arenaGarbage_ = 0;
    }
}

std::uint32_t KeyIndex::baseFrom(std::size_t i) const {
    while (i < base_.size() && state_[base_[i]] == kDeadInBase)
        ++i;
    return i < base_.size() ? base_[i] : kNone;
}

std::uint32_t KeyIndex::baseBackFrom(std::size_t i) const {
    while (i > 0 && state_[base_[i - 1]] == kDeadInBase)
        --i;
    return i > 0 ? base_[i - 1] : kNone;
}

std::uint32_t KeyIndex::lowerBound(QByteArrayView owner, QByteArrayView key) const {
    auto below = [&](std::uint32_t id) { return compare(id, owner, key) < 0; };
    const std::uint32_t b = baseFrom(
        std::size_t(std::partition_point(base_.begin(), base_.end(), below) - base_.begin()));
    const auto x = std::partition_point(extra_.begin(), extra_.end(), below);
    if (x == extra_.end())
        return b;
    if (b == kNone || less(*x, b))
        return *x;
    return b;
}

std::uint32_t KeyIndex::upperBound(QByteArrayView owner, QByteArrayView key) const {
    auto notAbove = [&](std::uint32_t id) { return compare(id, owner, key) <= 0; };
    const std::uint32_t b = baseFrom(
        std::size_t(std::partition_point(base_.begin(), base_.end(), notAbove) - base_.begin()));
    const auto x = std::partition_point(extra_.begin(), extra_.end(), notAbove);
    if (x == extra_.end())
        return b;
    if (b == kNone || less(*x, b))
        return *x;
    return b;
}

std::uint32_t KeyIndex::lastBefore(QByteArrayView owner, QByteArrayView key) const {
    auto below = [&](std::uint32_t id) { return compare(id, owner, key) < 0; };
    const std::uint32_t b = baseBackFrom(
        std::size_t(std::partition_point(base_.begin(), base_.end(), below) - base_.begin()));
    const auto x = std::partition_point(extra_.begin(), extra_.end(), below);
    if (x == extra_.begin())
        return b;
    const std::uint32_t e = *(x - 1);
    if (b == kNone || less(b, e))
        return e;
    return b;
}

std::vector<std::uint32_t> KeyIndex::ordered() const {
    std::vector<std::uint32_t> out;
    out.reserve(live_);
    std::size_t j = 0;
    for (const std::uint32_t id : base_) {
        if (state_[id] == kDeadInBase)
            continue;
        while (j < extra_.size() && less(extra_[j], id))
            out.push_back(extra_[j++]);
        out.push_back(id);
    }
    while (j < extra_.size())
        out.push_back(extra_[j++]);
    return out;
}

namespace {
void putSlot(char* p, const Slot& s) {
    qToLittleEndian(s.pos, p);
    qToLittleEndian(s.keyOff, p + 8);
    qToLittleEndian(s.size, p + 16);
    qToLittleEndian(s.hash, p + 20);
    qToLittleEndian(s.keyLength, p + 24);
    qToLittleEndian(s.ownerLength, p + 28);
}
} // namespace

void KeyIndex::appendTables(QByteArray& out, std::uint64_t& count, std::uint64_t& arenaBytes,
                            std::uint64_t& tableSize) const {
    const std::vector<std::uint32_t> ids = ordered();
    count = ids.size();
    tableSize = 16;
    while (count * 10 > tableSize * 7)
        tableSize *= 2;
    arenaBytes = 0;
    for (const std::uint32_t id : ids)
        arenaBytes += std::uint64_t(slots_[id].keyLength) + slots_[id].ownerLength;
    const auto start = static_cast<std::size_t>(out.size());
    out.resize(static_cast<qsizetype>(start + sizeof(Slot) * count + 4 * tableSize + arenaBytes));
    char* slotsOut = out.data() + start;
    char* tableOut = slotsOut + sizeof(Slot) * count;
    char* arenaOut = tableOut + 4 * tableSize;
    std::vector<std::uint32_t> table(static_cast<std::size_t>(tableSize), 0);
    const std::size_t mask = static_cast<std::size_t>(tableSize) - 1;
    std::uint64_t off = 0;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        Slot s = slots_[ids[i]];
        const std::size_t n = std::size_t(s.keyLength) + s.ownerLength;
        if (n)
            std::memcpy(arenaOut + off, arena_.data() + s.keyOff, n);
        s.keyOff = off;
        off += n;
        putSlot(slotsOut + i * sizeof(Slot), s);
        std::size_t at = s.hash & mask;
        while (table[at])
            at = (at + 1) & mask;
        table[at] = static_cast<std::uint32_t>(i + 1);
    }
    for (std::size_t i = 0; i < table.size(); ++i)
        qToLittleEndian(table[i], tableOut + 4 * i);
}

bool KeyIndex::adoptTables(const char* p, std::size_t bytes, std::uint64_t count,
                           std::uint64_t arenaBytes, std::uint64_t tableSize, std::uint64_t dataEnd,
                           QString& why) {
    clear();
    if (count > bytes / sizeof(Slot) || tableSize > bytes / 4 || arenaBytes > bytes ||
        sizeof(Slot) * count + 4 * tableSize + arenaBytes != bytes) {
        why = QStringLiteral("it is cut short");
        return false;
    }
    if (!std::has_single_bit(tableSize) || tableSize <= count || count >= kNone) {
        why = QStringLiteral("its tables are malformed");
        return false;
    }
    const auto n = static_cast<std::size_t>(count);
    slots_.resize(n);
    table_.resize(static_cast<std::size_t>(tableSize));
    arena_.resize(static_cast<std::size_t>(arenaBytes));
    if (n)
        std::memcpy(slots_.data(), p, sizeof(Slot) * n);
    p += sizeof(Slot) * n;
    std::memcpy(table_.data(), p, 4 * table_.size());
    p += 4 * table_.size();
    if (arenaBytes)
        std::memcpy(arena_.data(), p, arena_.size());
    if constexpr (std::endian::native != std::endian::little) {
        for (Slot& s : slots_) {
            s.pos = qFromLittleEndian(s.pos);
            s.keyOff = qFromLittleEndian(s.keyOff);
            s.size = qFromLittleEndian(s.size);
            s.hash = qFromLittleEndian(s.hash);
            s.keyLength = qFromLittleEndian(s.keyLength);
            s.ownerLength = qFromLittleEndian(s.ownerLength);
        }
        for (std::uint32_t& v : table_)
            v = qFromLittleEndian(v);
    }
    return checkTables(dataEnd, why);
}

bool KeyIndex::checkTables(std::uint64_t dataEnd, QString& why) {
    auto refuse = [&](const char* text) {
        clear();
        why = QString::fromLatin1(text);
        return false;
    };
    const std::size_t n = slots_.size();
    const std::uint64_t arenaBytes = arena_.size();
    for (const Slot& s : slots_) {
        const std::uint64_t payload = std::uint64_t(s.keyLength) + s.ownerLength;
        if (s.keyOff > arenaBytes || payload > arenaBytes - s.keyOff)
            return refuse("an entry points outside the index file");
        if (s.pos < kDataHeaderSize || s.pos % 8 != 0 || s.size % 8 != 0 || s.pos > dataEnd ||
            s.size > dataEnd - s.pos || s.size < kFrameHeaderSize + align8(payload))
            return refuse("an entry points outside the data file");
    }
    // n filled places, each naming an entry. Counted without branches: the
    // places are filled at random, and a branch on each would mispredict.
    std::size_t used = 0;
    std::uint32_t highest = 0;
    for (const std::uint32_t v : table_) {
        used += v != 0;
        highest = std::max(highest, v);
    }
    if (used != n || highest > n)
        return refuse("its hash table is malformed");
    for (std::size_t i = 1; i < n; ++i) {
        if (!less(static_cast<std::uint32_t>(i - 1), static_cast<std::uint32_t>(i)))
            return refuse("its entries are out of order");
    }
    state_.assign(n, kInBase);
    base_.resize(n);
    std::iota(base_.begin(), base_.end(), 0u);
    live_ = n;
    return true;
}

} // namespace vellicar::store::engine
