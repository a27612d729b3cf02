#include "permutor/model/CrossingIndex.h"

#include "permutor/model/SwapRecords.h"

#include <boost/iterator/function_output_iterator.hpp>

#include <algorithm>
#include <tuple>

namespace permutor::model {

namespace bgi = boost::geometry::index;

bool TCrossingIndex::Segment_Bounds(const THotSpot* a, const THotSpot* b, TBox& box) {
    if (!a || !b)
        return false;
    box = TBox(TPoint(std::min(a->X, b->X), std::min(a->Y, b->Y)),
               TPoint(std::max(a->X, b->X), std::max(a->Y, b->Y)));
    return true;
}

void TCrossingIndex::Slot_Set(std::uint32_t position) {
    TSlot& slot = FSlots[position];
    TLine& line = FLines[position];
    const THotSpot* p1 = slot.SubNet->Point1();
    const THotSpot* p2 = slot.SubNet->Point2();
    line.Indexed = Segment_Bounds(p1, p2, slot.Box);
    if (line.Indexed) {
        line.P1 = {p1->X, p1->Y, p1->Layer};
        line.P2 = {p2->X, p2->Y, p2->Layer};
    }
}

bool TCrossingIndex::Same_Box(const TBox& a, const TBox& b) {
    namespace bg = boost::geometry;
    return bg::get<bg::min_corner, 0>(a) == bg::get<bg::min_corner, 0>(b) &&
           bg::get<bg::min_corner, 1>(a) == bg::get<bg::min_corner, 1>(b) &&
           bg::get<bg::max_corner, 0>(a) == bg::get<bg::max_corner, 0>(b) &&
           bg::get<bg::max_corner, 1>(a) == bg::get<bg::max_corner, 1>(b);
}

void TCrossingIndex::Rebuild(const TPackedList<TSwapSubNet>& swappable) {
    FSlots.assign(swappable.Count(), TSlot{});
    FLines.assign(swappable.Count(), TLine{});
    FDirtyBits.assign((swappable.Count() + 63) / 64, 0);
    FPositions.clear();
    std::vector<TEntry> values;
    values.reserve(swappable.Count());
    for (std::uint32_t i = 0; i < swappable.Count(); ++i) {
        FSlots[i].SubNet = swappable[i];
        FLines[i].Creation = swappable[i]->CreationIndex;
        FPositions[swappable[i]].push_back(i);
        Slot_Set(i);
        FSlots[i].InTree = FLines[i].Indexed;
        FSlots[i].TreeBox = FSlots[i].Box;
        FSlots[i].TreeLine = FLines[i];
        if (FLines[i].Indexed)
            values.push_back(TEntry{FSlots[i].Box, FLines[i], i});
    }
    FDirty.clear();
    // Bands over the extent of the lines as they are now.
    namespace bg = boost::geometry;
    std::int64_t lowX = 0, highX = 0, lowY = 0, highY = 0;
    for (std::size_t k = 0; k < values.size(); ++k) {
        const TBox& box = values[k].Box;
        const std::int64_t x0 = std::int64_t(bg::get<bg::min_corner, 0>(box));
        const std::int64_t x1 = std::int64_t(bg::get<bg::max_corner, 0>(box));
        const std::int64_t y0 = std::int64_t(bg::get<bg::min_corner, 1>(box));
        const std::int64_t y1 = std::int64_t(bg::get<bg::max_corner, 1>(box));
        lowX = k == 0 ? x0 : std::min(lowX, x0);
        highX = k == 0 ? x1 : std::max(highX, x1);
        lowY = k == 0 ? y0 : std::min(lowY, y0);
        highY = k == 0 ? y1 : std::max(highY, y1);
    }
    for (auto [bands, low, high] : {std::tuple{&FBandsX, lowX, highX}, std::tuple{&FBandsY, lowY, highY}}) {
        bands->Low = low;
        bands->Shift = 0;
        while ((std::int64_t(1) << bands->Shift) * TBandCounts::cBands <= high - low)
            ++bands->Shift;
        bands->Least.assign(std::size_t(TBandCounts::cBands), 0);
        bands->Greatest.assign(std::size_t(TBandCounts::cBands), 0);
    }
    for (const TEntry& entry : values)
        Bands_Add(entry.Box, +1);
    // Bulk loading packs the tree better than inserting one line at a time.
    FTree = decltype(FTree)(values.begin(), values.end());
    FValid = true;
}

void TCrossingIndex::Update(const TSwapSubNet* S) {
    auto it = FPositions.find(S);
    if (it == FPositions.end())
        return;
    for (std::uint32_t position : it->second) {
        TSlot& slot = FSlots[position];
        TLine& line = FLines[position];
        Slot_Set(position);
        const bool dirty = line.Indexed != slot.InTree || (line.Indexed && !Same_Line(line, slot.TreeLine));
        if (dirty == Dirty(position))
            continue;
        Dirty_Set(position, dirty);
        if (dirty)
            FDirty.push_back(position);
        else
            FDirty.erase(std::find(FDirty.begin(), FDirty.end(), position));
    }
    if (FDirty.size() > FMaxDirty)
        Flush();
}

void TCrossingIndex::Flush() {
    for (std::uint32_t position : FDirty) {
        TSlot& slot = FSlots[position];
        if (slot.InTree) {
            FTree.remove(TEntry{slot.TreeBox, TLine{}, position});
            Bands_Add(slot.TreeBox, -1);
        }
        slot.InTree = FLines[position].Indexed;
        slot.TreeBox = slot.Box;
        slot.TreeLine = FLines[position];
        if (slot.InTree) {
            FTree.insert(TEntry{slot.TreeBox, FLines[position], position});
            Bands_Add(slot.TreeBox, +1);
        }
        Dirty_Set(position, false);
    }
    FDirty.clear();
}

void TCrossingIndex::TBandCounts::Sums() const {
    if (!Stale)
        return;
    LeastSums.assign(Least.size() + 1, 0);
    GreatestSums.assign(Greatest.size() + 1, 0);
    for (std::size_t b = 0; b < Least.size(); ++b) {
        LeastSums[b + 1] = LeastSums[b] + Least[b];
        GreatestSums[b + 1] = GreatestSums[b] + Greatest[b];
    }
    Stale = false;
}

// The x bands count the least and greatest x of each line, the y bands its y.
void TCrossingIndex::Bands_Add(const TBox& box, std::int32_t delta) {
    namespace bg = boost::geometry;
    FBandsX.Add(FBandsX.Band(bg::get<bg::min_corner, 0>(box)), FBandsX.Band(bg::get<bg::max_corner, 0>(box)),
                delta);
    FBandsY.Add(FBandsY.Band(bg::get<bg::min_corner, 1>(box)), FBandsY.Band(bg::get<bg::max_corner, 1>(box)),
                delta);
}

// A tree line that meets the box reaches its least x and starts by its greatest x; the bands
// only ever round towards counting a line in. Lines whose least and greatest fall on either side
// are not both counted out, since a line's least x is not past its greatest.
std::size_t TCrossingIndex::MostCrossing(const THotSpot* a, const THotSpot* b) const {
    TBox box;
    if (!Segment_Bounds(a, b, box))
        return 0;
    namespace bg = boost::geometry;
    const std::int32_t inTree = std::int32_t(FTree.size());
    auto along = [inTree](const TBandCounts& bands, double low, double high) {
        const std::int32_t before = bands.GreatestBefore(bands.Band(low));
        const std::int32_t after = inTree - bands.LeastBefore(bands.Band(high) + 1);
        return inTree - before - after;
    };
    const std::int32_t byX = along(FBandsX, bg::get<bg::min_corner, 0>(box), bg::get<bg::max_corner, 0>(box));
    const std::int32_t byY = along(FBandsY, bg::get<bg::min_corner, 1>(box), bg::get<bg::max_corner, 1>(box));
    return std::size_t(std::max(0, std::min(byX, byY))) + FDirty.size();
}

template <class TFound, class TDone>
void TCrossingIndex::Crossing_Visit(const TSwapSubNet* S, TFound&& found, TDone&& done) const {
    TBox box;
    const THotSpot* p1 = S->Point1();
    const THotSpot* p2 = S->Point2();
    if (!Segment_Bounds(p1, p2, box))
        return;
    TLine query;
    query.P1 = {p1->X, p1->Y, p1->Layer};
    query.P2 = {p2->X, p2->Y, p2->Layer};
    query.Creation = S->CreationIndex;
    // A dirty slot answers from its current line, not from the tree's bounds.
    FTree.query(bgi::intersects(box), boost::make_function_output_iterator([&](const TEntry& entry) {
                    if (!done() && Line_Crosses(query, entry.Line) && !Dirty(entry.Position))
                        found(entry.Position);
                }));
    for (std::uint32_t position : FDirty) {
        const TLine& line = FLines[position];
        if (!done() && line.Indexed && boost::geometry::intersects(FSlots[position].Box, box) &&
            Line_Crosses(query, line))
            found(position);
    }
}

void TCrossingIndex::Crossing(const TSwapSubNet* S, std::vector<TSwapSubNet*>& out) const {
    out.clear();
    FFound.clear();
    Crossing_Visit(
        S, [this](std::uint32_t position) { FFound.push_back(position); }, [] { return false; });
    std::sort(FFound.begin(), FFound.end());
    for (std::uint32_t position : FFound)
        if (FSlots[position].SubNet != S)
            out.push_back(FSlots[position].SubNet);
}

std::size_t TCrossingIndex::CrossingCount(const TSwapSubNet* S, const TSwapSubNet* except,
                                          std::size_t enough) const {
    std::size_t count = 0;
    Crossing_Visit(
        S,
        [&](std::uint32_t position) {
            const TSwapSubNet* other = FSlots[position].SubNet;
            count += other != S && other != except;
        },
        [&] { return count >= enough; });
    return count;
}

} // namespace permutor::model
