// What a swap data set is built for; fixed when the data set is created.
#pragma once

#include <cstdint>

namespace permutor::model {

enum TSwapMode : std::int32_t {
    eSwap_All = 0,
    eSwap_Parts = 1,
    eSwap_Pins = 2,
    eSwap_PinsKESTREL = 3,
    eSwap_DifferentialPairs = 4,
};

} // namespace permutor::model
