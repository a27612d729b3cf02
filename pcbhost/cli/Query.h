// `permutor query`: asks the module's route-time swap interface about pads of a board, the way
// the host's interactive router asks while the user routes.
#pragma once

#include "pcbhost/cli/Options.h"
#include "pcbhost/cli/Report.h"
#include "pcbhost/cli/SubCommands.h"

namespace pcbhost::cli {

// One pad: whether it is swappable and the pads it may swap with; two pads: whether they may
// swap with each other; --gates adds the first pad's gate table, --pairs asks in pair mode.
int Query_Run(const TGlobalOptions& options, TReport& report, const TSubCommandArgs& args);

} // namespace pcbhost::cli
