// FPGA pin data on the command line: `permutor pininfo` shows a component's pin report as the
// module reads it, and `swapinfo --group-by` makes pin (and pair) swap groups from it.
#pragma once

#include "pcbhost/cli/Options.h"
#include "pcbhost/cli/Report.h"
#include "pcbhost/cli/SubCommands.h"

#include <string>

namespace pcbhost {
class TSchSymbol;
}

namespace pcbhost::cli {

class TSession;

int Run_PinInfo(const TGlobalOptions& options, TReport& report, const TSubCommandArgs& args);

// For swapinfo's --group-by and --pairs-from: works out the swap data, shows the groups and
// asks whether to write them. Sets args.PinSwap (and args.PairSwap) when the answer is yes;
// false when it is no. Throws TCliError for options it cannot follow.
bool FpgaGroups_Assign(TSession& session, TReport& report, TSubCommandArgs& args, TSchSymbol& symbol);

} // namespace pcbhost::cli
