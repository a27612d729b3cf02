// A spatial index over the connection lines of the swappable sub-nets. A sub-net's intersection
// list is refreshed from the lines whose bounds meet its own instead of from every swappable
// sub-net; the answer is the same list in the same order, because two lines can only cross when
// their bounds meet and the candidates are put back into the order of the swappable list.
//
// Most moves of the optimisers are tried and rolled back, so a changed line does not go into the
// tree at once: the slot keeps its current bounds beside the ones in the tree, and a query answers
// for such "dirty" slots from their current bounds. The dirty slots are written into the tree
// in batches; a line that returns to its old place (a rollback) costs no tree work at all.
#pragma once

#include <boost/geometry.hpp>
#include <boost/geometry/geometries/box.hpp>
#include <boost/geometry/geometries/point.hpp>
#include <boost/geometry/index/rtree.hpp>

#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

namespace permutor::model {

class TSwapSubNet;
class THotSpot;
template <class T> class TPackedList;

class TCrossingIndex {
public:
    using TPoint = boost::geometry::model::point<double, 2, boost::geometry::cs::cartesian>;
    using TBox = boost::geometry::model::box<TPoint>;
    // A line's bounds and the position of its sub-net in the swappable list.
    using TValue = std::pair<TBox, std::uint32_t>;

    // Bounds of the segment between two points; false when a point is missing.
    static bool Segment_Bounds(const THotSpot* a, const THotSpot* b, TBox& box);

    // Indexes the current line of every sub-net of `swappable`, remembering their positions.
    void Rebuild(const TPackedList<TSwapSubNet>& swappable);
    // Re-reads the line of one sub-net after its net index changed; nothing for a sub-net
    // that is not in the indexed list.
    void Update(const TSwapSubNet* S);
    // The indexed sub-nets other than S whose bounds meet S's current line, in list order.
    void Candidates(const TSwapSubNet* S, std::vector<TSwapSubNet*>& out) const;

    bool Valid() const { return FValid; }
    // Slots whose current bounds are not yet in the tree (for tests and benchmarks).
    std::size_t DirtyCount() const { return FDirty.size(); }
    // Writes every dirty slot into the tree.
    void Flush();
    // How many dirty slots wait before they are written (tests use small numbers).
    void SetMaxDirty(std::size_t count) { FMaxDirty = count; }
    void Invalidate() { FValid = false; }
    std::size_t Size() const { return FTree.size(); }

private:
    struct TSlot {
        TSwapSubNet* SubNet = nullptr;
        bool Indexed = false; // the current line has both ends
        TBox Box;             // the current line's bounds
        bool InTree = false;  // what the tree holds for this slot
        TBox TreeBox;
        bool Dirty = false; // current and tree differ; listed in FDirty
    };
    void Slot_Set(std::uint32_t position);
    static bool Same_Box(const TBox& a, const TBox& b);

    boost::geometry::index::rtree<TValue, boost::geometry::index::rstar<16>> FTree;
    std::vector<TSlot> FSlots;
    // Positions of each sub-net in the list (normally one).
    std::unordered_map<const TSwapSubNet*, std::vector<std::uint32_t>> FPositions;
    std::vector<std::uint32_t> FDirty;
    // Dirty slots beyond this many are written into the tree.
    std::size_t FMaxDirty = 64;
    mutable std::vector<TValue> FFound;
    bool FValid = false;
};

} // namespace permutor::model
