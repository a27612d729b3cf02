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

void TCrossingIndex::Rebuild(const TPackedList<TSwapSubNet>& swappable) {
    FSlots.assign(swappable.Count(), TSlot{});
    FPositions.clear();
    std::vector<TValue> values;
    values.reserve(swappable.Count());
    for (std::uint32_t i = 0; i < swappable.Count(); ++i) {
        FSlots[i].SubNet = swappable[i];
        FPositions[swappable[i]].push_back(i);
        Slot_Set(i);
        if (FSlots[i].Indexed)
            values.emplace_back(FSlots[i].Box, i);
    }
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
        if (slot.Indexed)
            FTree.remove(TValue(slot.Box, position));
        Slot_Set(position);
        if (slot.Indexed)
            FTree.insert(TValue(slot.Box, position));
    }
}

void TCrossingIndex::Candidates(const TSwapSubNet* S, std::vector<TSwapSubNet*>& out) const {
    out.clear();
    TBox box;
    if (!Segment_Bounds(S->Point1(), S->Point2(), box))
        return;
    FFound.clear();
    FTree.query(bgi::intersects(box), std::back_inserter(FFound));
    std::sort(FFound.begin(), FFound.end(),
              [](const TValue& a, const TValue& b) { return a.second < b.second; });
    for (const TValue& value : FFound)
        if (FSlots[value.second].SubNet != S)
            out.push_back(FSlots[value.second].SubNet);
}

} // namespace permutor::model
