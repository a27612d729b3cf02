#include "permutor/interactive/Swappers.h"

#include "permutor/interactive/PartSwapper.h"
#include "permutor/optimizers/RunDrivers.h"

namespace permutor::interactive {

void Swappers_Register() {
    using namespace permutor::optimizers;
    SwapperClass_Register(eSwapper_InteractivePins, TSwapOptimizer_InteractivePins::Create);
    SwapperClass_Register(eSwapper_InteractiveParts, TSwapOptimizer_InteractiveParts::Create);
    SwapperClass_Register(eSwapper_InteractivePairs, TSwapOptimizer_InteractivePairs::Create);
}

} // namespace permutor::interactive
