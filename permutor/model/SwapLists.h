// The two list kinds of the swap model: a typed list of record references that can be packed,
// sorted and copied, and a string list kept sorted without regard to case that accepts equal
// keys (the model's maps from ids and net keys to records).
#pragma once

#include "permutor/host/Host.h"
#include "permutor/host/Text.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace permutor::model {

// A list of references to records; it never owns them.
template <class T> class TPackedList {
public:
    std::size_t Count() const { return FItems.size(); }
    bool Empty() const { return FItems.empty(); }
    T* operator[](std::size_t index) const { return FItems[index]; }
    T* First() const { return FItems.front(); }
    T* Last() const { return FItems.back(); }

    void Add(T* item) { FItems.push_back(item); }
    void Insert(std::size_t index, T* item) { FItems.insert(FItems.begin() + std::ptrdiff_t(index), item); }
    void Delete(std::size_t index) { FItems.erase(FItems.begin() + std::ptrdiff_t(index)); }
    // Removes the first occurrence; false when the item is not in the list.
    bool Remove(T* item) {
        auto it = std::find(FItems.begin(), FItems.end(), item);
        if (it == FItems.end())
            return false;
        FItems.erase(it);
        return true;
    }
    std::ptrdiff_t IndexOf(const T* item) const {
        auto it = std::find(FItems.begin(), FItems.end(), item);
        return it == FItems.end() ? -1 : it - FItems.begin();
    }
    bool Contains(const T* item) const { return IndexOf(item) >= 0; }
    void Clear() { FItems.clear(); }
    void Reserve(std::size_t n) { FItems.reserve(n); }

    // Removes, in one pass, every entry for which `remove` holds; the others keep their order.
    template <class TPredicate> void Pack(TPredicate remove) {
        FItems.erase(std::remove_if(FItems.begin(), FItems.end(), [&](T* item) { return remove(item); }),
                     FItems.end());
    }
    // Sorts by `compare` (negative, zero or positive like a three-way comparison); not stable.
    template <class TCompare> void Sort(TCompare compare) {
        std::sort(FItems.begin(), FItems.end(), [&](T* a, T* b) { return compare(a, b) < 0; });
    }
    void Assign(const TPackedList& other) { FItems = other.FItems; }

    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }
    const std::vector<T*>& Items() const { return FItems; }

    friend bool operator==(const TPackedList& a, const TPackedList& b) { return a.FItems == b.FItems; }

private:
    std::vector<T*> FItems;
};

// The key of a board net in the model's maps: the value of its interface reference as 16
// hexadecimal digits (sixteen zeros for no net). Identity of a net is identity of that reference.
std::string Net_Key(host::IPCB_Net* net);

// A string list kept sorted, comparing ASCII letters without regard to case, accepting equal
// keys. A key equal to keys already present goes in before them, so a look-up, which finds the
// first entry in sorted order, finds the one added last.
//
// Added entries wait in a short sorted list of their own and join the main one in one merge when
// it is full or an entry is wanted by its index, so that building a list of n keys moves about
// n^2 / cWaiting entries instead of n^2 / 2. Existence tests and look-ups by key read both lists.
template <class TObject> class TSortedStringList {
public:
    struct TEntry {
        std::string Key;
        TObject Object;
    };
    static constexpr std::size_t cWaiting = 512;

    std::size_t Count() const { return FEntries.size() + FPending.size(); }
    bool Empty() const { return FEntries.empty() && FPending.empty(); }
    const std::string& Key(std::size_t index) const { return Sorted()[index].Key; }
    const TObject& Object(std::size_t index) const { return Sorted()[index].Object; }
    TObject& Object(std::size_t index) { return Sorted()[index].Object; }

    void Add(const std::string& key, TObject object) {
        FPending.insert(FPending.begin() + std::ptrdiff_t(LowerBound(FPending, key)),
                        TEntry{key, std::move(object)});
        if (FPending.size() >= cWaiting)
            Sorted();
    }
    // The index of the first entry whose key equals `key` without regard to case.
    bool Find(const std::string& key, std::size_t& index) const {
        const auto& entries = Sorted();
        index = LowerBound(entries, key);
        return index < entries.size() && host::Text_CompareNoCase(entries[index].Key, key) == 0;
    }
    std::ptrdiff_t IndexOf(const std::string& key) const {
        std::size_t index;
        return Find(key, index) ? std::ptrdiff_t(index) : -1;
    }
    // The object of the first entry with that key, or a default (empty) object. The waiting
    // entries come first: they were added after all the others.
    TObject Lookup(const std::string& key) const {
        const TEntry* entry = Latest(key);
        return entry ? entry->Object : TObject();
    }
    bool Contains(const std::string& key) const { return Latest(key) != nullptr; }
    void Delete(std::size_t index) {
        Sorted();
        FEntries.erase(FEntries.begin() + std::ptrdiff_t(index));
    }
    void Clear() {
        FEntries.clear();
        FPending.clear();
    }

    // Keyed by a board net.
    bool HasPCB(host::IPCB_Net* net) const { return Contains(Net_Key(net)); }
    // With `check` set and the net's key present, adds nothing and returns false.
    bool AddPCBObject(host::IPCB_Net* net, TObject object, bool check) {
        const std::string key = Net_Key(net);
        if (check && Contains(key))
            return false;
        Add(key, std::move(object));
        return true;
    }

    auto begin() const { return Sorted().cbegin(); }
    auto end() const { return Sorted().cend(); }

private:
    static bool Before(const TEntry& a, const TEntry& b) {
        return host::Text_CompareNoCase(a.Key, b.Key) < 0;
    }
    static std::size_t LowerBound(const std::vector<TEntry>& entries, const std::string& key) {
        auto it =
            std::lower_bound(entries.begin(), entries.end(), key, [](const TEntry& e, const std::string& k) {
                return host::Text_CompareNoCase(e.Key, k) < 0;
            });
        return std::size_t(it - entries.begin());
    }
    // The entry a look-up by key finds, without merging the waiting entries in: the first of
    // that key among them (added after all the others), else the first in the main list.
    const TEntry* Latest(const std::string& key) const {
        for (const auto* entries : {&FPending, &FEntries}) {
            const std::size_t index = LowerBound(*entries, key);
            if (index < entries->size() && host::Text_CompareNoCase((*entries)[index].Key, key) == 0)
                return &(*entries)[index];
        }
        return nullptr;
    }
    // All entries in order: the waiting ones go in before equal keys already there (a merge keeps
    // its first range first among equals).
    std::vector<TEntry>& Sorted() const {
        if (!FPending.empty()) {
            std::vector<TEntry> merged;
            merged.reserve(FEntries.size() + FPending.size());
            std::merge(std::make_move_iterator(FPending.begin()), std::make_move_iterator(FPending.end()),
                       std::make_move_iterator(FEntries.begin()), std::make_move_iterator(FEntries.end()),
                       std::back_inserter(merged), Before);
            FEntries = std::move(merged);
            FPending.clear();
        }
        return FEntries;
    }
    mutable std::vector<TEntry> FEntries;
    mutable std::vector<TEntry> FPending;
};

} // namespace permutor::model
