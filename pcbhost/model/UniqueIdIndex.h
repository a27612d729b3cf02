// The unique-id lookup by key instead of by scan. A project's lookup finds the first object
// whose unique id is the key (without regard to case) and that offers the asked interface, in
// this order: placed schematic units, the compiled design's components (each followed by its
// parts), board components. The index lists, for every key, the places of those objects in that
// order, so that a lookup costs the objects of one key rather than every object of the project.
//
// Whatever changes what a lookup can find (a unit placed or removed, a board component placed or
// taken off, a unique id set, a document added, removed or given its sheet or board, a new
// compiled design) moves one counter, and the index is built again when next asked. Each place
// it gives is checked against the object there before it is used: a place that no longer holds
// an object of that key has the index built again.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pcbhost {

class TProject;

inline std::atomic<std::uint64_t> GIdentityGeneration{1};
// Called by everything that changes what a unique-id lookup can find.
inline void Identity_Changed() {
    GIdentityGeneration.fetch_add(1, std::memory_order_relaxed);
}

class TUniqueIdIndex {
public:
    enum TKind : std::uint8_t { eUnit, eCompiledComponent, eCompiledPart, eBoardComponent };
    // Where an object is: its kind, the document (units, board components) or compiled component,
    // and its position there (the part's, for parts).
    struct TPlace {
        TKind Kind;
        std::uint32_t Owner, Item;
    };
    // The places of the objects whose unique id is `key`, in lookup order; built again first
    // when anything changed since it was built.
    const std::vector<TPlace>& Places(const TProject& project, std::string_view key);
    void Invalidate() { FGeneration = 0; }
    // How many times the index was built (for tests).
    std::int32_t BuildCount() const { return FBuilds; }

private:
    void Build(const TProject& project);
    std::uint64_t FGeneration = 0;
    std::int32_t FBuilds = 0;
    std::unordered_map<std::string, std::vector<TPlace>> FByKey; // by key in capitals
};

} // namespace pcbhost
