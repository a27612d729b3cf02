#include "permutor/model/CrossingIndex.h"

#include "permutor/model/SwapRecords.h"

#include <algorithm>
#include <iterator>

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
    slot.Indexed = Segment_Bounds(slot.SubNet->Point1(), slot.SubNet->Point2(), slot.Box);
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
    FPositions.clear();
    std::vector<TValue> values;
    values.reserve(swappable.Count());
    for (std::uint32_t i = 0; i < swappable.Count(); ++i) {
        FSlots[i].SubNet = swappable[i];
        FPositions[swappable[i]].push_back(i);
        Slot_Set(i);
        FSlots[i].InTree = FSlots[i].Indexed;
        FSlots[i].TreeBox = FSlots[i].Box;
        if (FSlots[i].Indexed)
            values.emplace_back(FSlots[i].Box, i);
    }
    FDirty.clear();
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
        Slot_Set(position);
        const bool dirty = slot.Indexed != slot.InTree || (slot.Indexed && !Same_Box(slot.Box, slot.TreeBox));
        if (dirty == slot.Dirty)
            continue;
        slot.Dirty = dirty;
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
        if (slot.InTree)
            FTree.remove(TValue(slot.TreeBox, position));
        slot.InTree = slot.Indexed;
        slot.TreeBox = slot.Box;
        if (slot.InTree)
            FTree.insert(TValue(slot.TreeBox, position));
        slot.Dirty = false;
    }
    FDirty.clear();
}

void TCrossingIndex::Candidates(const TSwapSubNet* S, std::vector<TSwapSubNet*>& out) const {
    out.clear();
    TBox box;
    if (!Segment_Bounds(S->Point1(), S->Point2(), box))
        return;
    FFound.clear();
    FTree.query(bgi::intersects(box), std::back_inserter(FFound));
    // A dirty slot answers from its current bounds, not from the tree's.
    if (!FDirty.empty()) {
        std::erase_if(FFound, [this](const TValue& value) { return FSlots[value.second].Dirty; });
        for (std::uint32_t position : FDirty)
            if (FSlots[position].Indexed && boost::geometry::intersects(FSlots[position].Box, box))
                FFound.emplace_back(FSlots[position].Box, position);
    }
    std::sort(FFound.begin(), FFound.end(),
              [](const TValue& a, const TValue& b) { return a.second < b.second; });
    for (const TValue& value : FFound)
        if (FSlots[value.second].SubNet != S)
            out.push_back(FSlots[value.second].SubNet);
}

} // namespace permutor::model
