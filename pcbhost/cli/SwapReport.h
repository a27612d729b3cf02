// The swap report written beside a saved board: every committed swap, in order, for
// back-annotating the schematic.
#pragma once

#include "pcbhost/model/Board.h"

#include <string>
#include <vector>

namespace pcbhost::cli {

// CSV with a header line: component,pin_a,pin_b,net_a_before,net_b_before,net_a_after,net_b_after.
// Applying the rows in order turns the old assignment into the new one.
std::string SwapLog_Csv(const std::vector<TSwapLogEntry>& log);
// "<folder>/<board stem>.swaps.csv" for a board file path.
std::string SwapLog_PathFor(const std::string& boardPath);

} // namespace pcbhost::cli
