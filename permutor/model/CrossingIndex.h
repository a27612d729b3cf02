// A spatial index over the connection lines of the swappable sub-nets. A sub-net's intersection
// list is refreshed from the lines whose bounds meet its own instead of from every swappable
// sub-net; the answer is the same list in the same order, because two lines can only cross when
// their bounds meet and the crossing ones are put back into the order of the swappable list.
// The tree holds a copy of each line's ends beside its bounds, so the crossing test of a
// candidate reads what the query is already looking at instead of the sub-net, its targets and
// its hot spots.
//
// Most moves of the optimisers are tried and rolled back, so a changed line does not go into the
// tree at once: the slot keeps its current line beside the one in the tree, and a query answers
// for such "dirty" slots from their current lines. The dirty slots are written into the tree
// in batches; a line that returns to its old place (a rollback) costs no tree work at all. A line
// is dirty when its ends differ from the tree's, not only its bounds: two lines with one box
// cross different lines.
#pragma once

#include "permutor/model/SegmentCross.h"

#include <boost/geometry.hpp>
#include <boost/geometry/geometries/box.hpp>
#include <boost/geometry/geometries/point.hpp>
#include <boost/geometry/index/rtree.hpp>

#include <algorithm>
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
    // The indexed sub-nets whose current lines cross S's current line (TSwapSubNet::Crosses), in
    // list order.
    void Crossing(const TSwapSubNet* S, std::vector<TSwapSubNet*>& out) const;
    // How many indexed lines cross S's current line, leaving out the lines of S and of `except`:
    // the entries Crossing would list for S other than `except`. S's line is read as it is now,
    // whether or not the index has been told of its change. The count stops at `enough`: once it
    // is reached, the remaining candidates are not tested.
    std::size_t CrossingCount(const TSwapSubNet* S, const TSwapSubNet* except,
                              std::size_t enough = std::size_t(-1)) const;

    // How many slots hold S's line: its places in the indexed list (normally one).
    std::size_t SlotsOf(const TSwapSubNet* S) const {
        auto it = FPositions.find(S);
        return it == FPositions.end() ? 0 : it->second.size();
    }
    bool Valid() const { return FValid; }
    // Slots whose current bounds are not yet in the tree (for tests and benchmarks).
    std::size_t DirtyCount() const { return FDirty.size(); }
    // Writes every dirty slot into the tree.
    void Flush();
    // How many dirty slots wait before they are written (tests use small numbers).
    void SetMaxDirty(std::size_t count) { FMaxDirty = count; }
    void Invalidate() { FValid = false; }
    std::size_t Size() const { return FTree.size(); }
    // The number of slots: no line crosses more indexed lines than this.
    std::size_t LineCount() const { return FSlots.size(); }
    // At most how many indexed lines the segment a-b can cross, without visiting any: the lines
    // whose extent along x (or y) can meet the segment's, counted in coarse bands, and the lines
    // not yet in the tree. 0 when a point is missing.
    std::size_t MostCrossing(const THotSpot* a, const THotSpot* b) const;

private:
    // What the crossing test needs of a line, 32 bytes.
    struct TLine {
        TLineEnd P1, P2;
        std::uint32_t Creation = 0; // the sub-net's creation index: the earlier one goes first
        bool Indexed = false;       // the line has both ends
    };
    // What the tree holds of a slot: its bounds, and a copy of its line so that a query tests the
    // line where the tree visits it.
    struct TEntry {
        TBox Box;
        TLine Line;
        std::uint32_t Position = 0;
    };
    struct TEntry_Box {
        using result_type = const TBox&;
        result_type operator()(const TEntry& entry) const { return entry.Box; }
    };
    struct TEntry_Equal {
        bool operator()(const TEntry& a, const TEntry& b) const {
            return a.Position == b.Position && Same_Box(a.Box, b.Box);
        }
    };
    struct TSlot {
        TSwapSubNet* SubNet = nullptr;
        TBox Box;            // the current line's bounds
        bool InTree = false; // what the tree holds for this slot: its bounds and line
        TBox TreeBox;
        TLine TreeLine;
    };
    void Slot_Set(std::uint32_t position);
    static bool Same_Box(const TBox& a, const TBox& b);
    // Same ends on the same layers: two lines with one box can still cross different lines.
    static bool Same_Line(const TLine& a, const TLine& b) {
        auto same = [](const TLineEnd& p, const TLineEnd& q) {
            return p.X == q.X && p.Y == q.Y && p.Layer == q.Layer;
        };
        return same(a.P1, b.P1) && same(a.P2, b.P2);
    }
    // Whether the query line crosses the current line of a slot, in TSwapSubNet::Crosses's order.
    // The order is chosen by pointer rather than by branching: it follows the creation numbers,
    // which a run over the candidates cannot predict.
    static bool Line_Crosses(const TLine& query, const TLine& slot) {
        const bool queryFirst = query.Creation <= slot.Creation;
        const TLine& first = queryFirst ? query : slot;
        const TLine& second = queryFirst ? slot : query;
        return Segments_Cross_Combined(first.P1, first.P2, second.P1, second.P2);
    }

    // Calls found(position) for every slot whose current line crosses S's current line, tree
    // lines first, then the dirty ones, each slot once; nothing when S's line lacks an end.
    // Candidates met after done() turns true are not tested.
    template <class TFound, class TDone>
    void Crossing_Visit(const TSwapSubNet* S, TFound&& found, TDone&& done) const;

    // Counts of the tree's lines by band of their least and greatest coordinate along one axis,
    // for MostCrossing. Bands are fixed at the rebuild; values outside fall into the end bands.
    // The tree changes in batches and is asked far more often, so the running sums are worked out
    // again when first asked after a change.
    struct TBandCounts {
        static constexpr std::int64_t cBands = 1024;
        std::int64_t Low = 0;
        int Shift = 0; // bands are 2^Shift wide: finding one takes a shift, not a division
        std::vector<std::int32_t> Least, Greatest; // lines per band
        std::int64_t Band(double v) const {
            return std::clamp<std::int64_t>((std::int64_t(v) - Low) >> Shift, 0, cBands - 1);
        }
        void Add(std::int64_t least, std::int64_t greatest, std::int32_t delta) {
            Least[std::size_t(least)] += delta;
            Greatest[std::size_t(greatest)] += delta;
            Stale = true;
        }
        // How many lines have their least (greatest) coordinate in a band before `band`.
        std::int32_t LeastBefore(std::int64_t band) const {
            Sums();
            return LeastSums[std::size_t(band)];
        }
        std::int32_t GreatestBefore(std::int64_t band) const {
            Sums();
            return GreatestSums[std::size_t(band)];
        }

    private:
        void Sums() const;
        mutable std::vector<std::int32_t> LeastSums, GreatestSums; // [b]: lines in bands 0..b-1
        mutable bool Stale = true;
    };
    void Bands_Add(const TBox& box, std::int32_t delta);
    bool Dirty(std::uint32_t position) const { return (FDirtyBits[position >> 6] >> (position & 63)) & 1u; }
    void Dirty_Set(std::uint32_t position, bool dirty) {
        const std::uint64_t bit = std::uint64_t(1) << (position & 63);
        FDirtyBits[position >> 6] =
            dirty ? FDirtyBits[position >> 6] | bit : FDirtyBits[position >> 6] & ~bit;
    }

    boost::geometry::index::rtree<TEntry, boost::geometry::index::rstar<16>, TEntry_Box, TEntry_Equal> FTree;
    std::vector<TSlot> FSlots;
    std::vector<TLine> FLines; // the current line of each slot
    // One bit per slot: its current line differs from the tree's; the slot is listed in FDirty.
    std::vector<std::uint64_t> FDirtyBits;
    TBandCounts FBandsX, FBandsY;
    // Positions of each sub-net in the list (normally one).
    std::unordered_map<const TSwapSubNet*, std::vector<std::uint32_t>> FPositions;
    std::vector<std::uint32_t> FDirty;
    // Dirty slots beyond this many are written into the tree.
    std::size_t FMaxDirty = 8;
    mutable std::vector<std::uint32_t> FFound;
    bool FValid = false;
};

} // namespace permutor::model
