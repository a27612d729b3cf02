#include "permutor/optimizers/RunDrivers.h"

#include "permutor/host/Services.h"

namespace permutor::optimizers {

// These drivers arrive with the optimisers and swappers; until then a launch says so plainly.
bool AutoPermutor_Run(const std::string&, const TAutoRunOptions&, TAutoRunResult*) {
    host::MessageBox_Error("Not available in this build");
    return false;
}

bool InteractiveSwapper_Run(const std::string&, TInteractiveSwapperKind, model::TSwapMode,
                            const std::string&) {
    host::MessageBox_Error("Not available in this build");
    return false;
}

} // namespace permutor::optimizers
