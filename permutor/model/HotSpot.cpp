#include "permutor/model/HotSpot.h"

#include "permutor/model/SwapDataSet.h"

#include <fmt/format.h>

namespace permutor::model {

THotSpot* THotSpot::Create(TSwapDataSet& ASwapData, host::TCoord Ax, host::TCoord Ay, host::TV6_Layer ALayer,
                           TSwapSubNet* ASubNet) {
    return ASwapData.Own(std::make_unique<THotSpot>(Ax, Ay, ALayer, ASubNet));
}

std::intptr_t THotSpot::Hash() const {
    const std::uint32_t y = std::uint32_t(Y);
    const std::uint32_t rotated = (y >> 16) | (y << 16);
    const std::uint32_t h = std::uint32_t(X) ^ rotated ^ std::uint32_t(Layer);
    return std::intptr_t(std::int32_t(h));
}

bool THotSpot::Equal(const TBucketKey* other) const {
    auto* o = dynamic_cast<const THotSpot*>(other);
    return o && o->X == X && o->Y == Y && o->Layer == Layer && o->SubNet == SubNet;
}

std::string THotSpot::GetState_Description() const {
    return fmt::format("X:{} Y:{} Layer:{}", X, Y, std::int32_t(Layer));
}

bool THotSpotList::Add(THotSpot* spot) {
    if (!FSet.insert(spot).second)
        return false;
    FItems.push_back(spot);
    return true;
}

THotSpot* THotSpotList::Find(const THotSpot& key) const {
    auto it = FSet.find(&key);
    return it == FSet.end() ? nullptr : const_cast<THotSpot*>(*it);
}

void THotSpotList::Clear() {
    FItems.clear();
    FSet.clear();
}

} // namespace permutor::model
