#include "permutor/interactive/Swappers.h"

#include "permutor/interactive/KestrelSwapper.h"
#include "permutor/interactive/PartSwapper.h"
#include "permutor/optimizers/RunDrivers.h"

namespace permutor::interactive {

void Swappers_Register() {
    using namespace permutor::optimizers;
    SwapperClass_Register(eSwapper_InteractivePins, TSwapOptimizer_InteractivePins::Create);
    SwapperClass_Register(eSwapper_InteractiveParts, TSwapOptimizer_InteractiveParts::Create);
    SwapperClass_Register(eSwapper_InteractivePairs, TSwapOptimizer_InteractivePairs::Create);
    SwapperClass_Register(eSwapper_InteractiveKESTRELPins, TSwapOptimizer_InteractiveKESTRELPins::Create);
    SwapperClass_Register(eSwapper_InteractiveKESTRELPin, TSwapOptimizer_InteractiveKESTRELPin::Create);
}

} // namespace permutor::interactive
