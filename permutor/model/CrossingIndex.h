// A spatial index over the connection lines of the swappable sub-nets. A sub-net's intersection
// list is refreshed from the lines whose bounds meet its own instead of from every swappable
// sub-net; the answer is the same list in the same order, because two lines can only cross when
// their bounds meet and the candidates are put back into the order of the swappable list.
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
    void Invalidate() { FValid = false; }
    std::size_t Size() const { return FTree.size(); }

private:
    struct TSlot {
        TSwapSubNet* SubNet = nullptr;
        bool Indexed = false;
        TBox Box;
    };
    void Slot_Set(std::uint32_t position);

    boost::geometry::index::rtree<TValue, boost::geometry::index::rstar<16>> FTree;
    std::vector<TSlot> FSlots;
    // Positions of each sub-net in the list (normally one).
    std::unordered_map<const TSwapSubNet*, std::vector<std::uint32_t>> FPositions;
    mutable std::vector<TValue> FFound;
    bool FValid = false;
};

} // namespace permutor::model
