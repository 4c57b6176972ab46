#pragma once
// The in-memory indexes of the record store, kept flat so that opening a big
// database costs a few large copies instead of one allocation per record:
// fixed-size slots pointing into one byte arena that holds every key and
// owner, an open-addressing hash table over the slots (index 0), and index 1
// as a sorted array of slots plus a small sorted overlay of recent changes,
// merged into the array when it grows. The index file stores the slots, the
// arena and the hash table as they are in memory, so loading it re-sorts and
// re-hashes nothing.
#include <QtCore/QByteArray>
#include <QtCore/QByteArrayView>
#include <QtCore/QString>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace vellicar::store::engine {

// Stable across runs and machines: the hash is stored in the index file.
std::uint32_t keyHash(QByteArrayView key);

// No initialisers: the tables are filled from the index file straight into
// memory that nobody needs to clear first.
struct Slot {
    std::uint64_t pos;    // frame offset in the data file
    std::uint64_t keyOff; // key bytes in the arena, the owner right after them
    std::uint32_t size;   // whole frame, padding included
    std::uint32_t hash;   // keyHash of the key
    std::uint32_t keyLength;
    std::uint32_t ownerLength;
};
static_assert(sizeof(Slot) == 32);

// Leaves new elements of trivial types uninitialised on resize.
template <class T> struct UninitAllocator : std::allocator<T> {
    using value_type = T;
    UninitAllocator() = default;
    template <class U> UninitAllocator(const UninitAllocator<U>&) noexcept {}
    template <class U> struct rebind { using other = UninitAllocator<U>; };
    template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <class U, class... Args> void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
template <class T> using RawVector = std::vector<T, UninitAllocator<T>>;

class KeyIndex {
public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    std::size_t size() const { return live_; }
    void clear();

    std::uint32_t find(QByteArrayView key) const; // kNone when absent
    const Slot& slot(std::uint32_t id) const { return slots_[id]; }
    QByteArrayView key(std::uint32_t id) const {
        return {arena_.data() + slots_[id].keyOff, qsizetype(slots_[id].keyLength)};
    }
    QByteArrayView owner(std::uint32_t id) const {
        return {arena_.data() + slots_[id].keyOff + slots_[id].keyLength,
                qsizetype(slots_[id].ownerLength)};
    }
    bool isLive(std::uint32_t id) const { return state_[id] == kLive || state_[id] == kInBase; }
    std::size_t slotCount() const { return slots_.size(); }

    // Adds or replaces the record under `key`; `oldSize` is the frame size of
    // the record it replaced (0 when new).
    void put(QByteArrayView key, QByteArrayView owner, std::uint64_t pos, std::uint32_t size,
             std::uint32_t& oldSize);
    // False when there was no such key; else `oldSize` is its frame size.
    bool remove(QByteArrayView key, std::uint32_t& oldSize);
    void movePos(std::uint32_t id, std::uint64_t pos) { slots_[id].pos = pos; }

    // Room for `n` records with `arenaBytes` of keys and owners, so a bulk
    // load does not grow and rehash as it goes.
    void reserve(std::size_t n, std::size_t arenaBytes);

    // While bulk loading index 1 is left alone; endBulk sorts it once.
    void beginBulk();
    void endBulk();

    // Index 1 in (owner, key) byte order. Slot ids or kNone.
    std::uint32_t lowerBound(QByteArrayView owner, QByteArrayView key) const; // first >=
    std::uint32_t upperBound(QByteArrayView owner, QByteArrayView key) const; // first >
    std::uint32_t lastBefore(QByteArrayView owner, QByteArrayView key) const; // last <
    std::vector<std::uint32_t> ordered() const; // every live slot in index-1 order

    // Index file tables: n slots in index-1 order, the hash table, the arena.
    // `positions` (if given) replaces each slot's frame position (compaction).
    void appendTables(QByteArray& out, std::uint64_t& count, std::uint64_t& arenaBytes,
                      std::uint64_t& tableSize) const;
    // Takes tables written by appendTables (whose checksum the caller has
    // checked), making sure everything they point to lies inside them and
    // inside `dataEnd`, and that index 1 is in strict order. False (with
    // `why`) otherwise.
    bool adoptTables(const char* p, std::size_t bytes, std::uint64_t count,
                     std::uint64_t arenaBytes, std::uint64_t tableSize, std::uint64_t dataEnd,
                     QString& why);

private:
    bool checkTables(std::uint64_t dataEnd, QString& why);
    enum : std::uint8_t { kFree = 0, kLive = 1, kInBase = 2, kDeadInBase = 3 };

    int compare(std::uint32_t id, QByteArrayView owner, QByteArrayView key) const;
    bool less(std::uint32_t a, std::uint32_t b) const;
    std::uint32_t addSlot(QByteArrayView key, QByteArrayView owner, std::uint32_t hash,
                          std::uint64_t pos, std::uint32_t size);
    void dropSlot(std::uint32_t id); // off index 1; freed now or at the next merge
    void tableInsert(std::uint32_t id);
    void tableErase(std::size_t at);
    void grow(std::size_t wanted = 0);
    void maybeMerge();
    void merge();
    std::uint32_t baseFrom(std::size_t i) const;
    std::uint32_t baseBackFrom(std::size_t i) const;

    RawVector<Slot> slots_;
    std::vector<std::uint8_t> state_;
    std::vector<std::uint32_t> free_;
    RawVector<char> arena_;
    std::uint64_t arenaGarbage_ = 0;
    RawVector<std::uint32_t> table_; // slot id + 1, 0 empty; size a power of two
    std::size_t live_ = 0;
    bool bulk_ = false;
    std::vector<std::uint32_t> base_;  // index 1, sorted; may hold dead slots
    std::vector<std::uint32_t> extra_; // index 1 entries not in base_, sorted
    std::size_t deadInBase_ = 0;
};

} // namespace vellicar::store::engine
