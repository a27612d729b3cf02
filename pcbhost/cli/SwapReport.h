// The swap report written beside a saved board, for back-annotating the schematic: how the nets
// of the swapped components' pads changed, as a list of pin swaps that, applied in order, turn
// the assignment the board was read with into the one it is saved with.
//
// The host's pin-swap log is not that list: it holds every swap the module committed, an
// optimiser's many trial moves among them, each with the nets its pins started the run on. The
// report takes from it only which components were swapped, and compares their pads' nets.
#pragma once

#include "pcbhost/model/Board.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace pcbhost::cli {

// One swap of the nets of two pins of a component. A pad whose new net none of its component's
// changed pads had before (a net that came from elsewhere) gets a row of its own with PinB and
// the B nets empty.
struct TSwapRow {
    std::string Component, PinA, PinB;
    std::string NetABefore, NetBBefore, NetAAfter, NetBAfter;
};

// The net name of every pad of the board ("" for a pad without a net).
using TPadNets = std::unordered_map<const TPad*, std::string>;
TPadNets PadNets_Of(TBoard& board);

// The swaps from `before` to the board's present nets for the components named in `log` and those
// enabled for pin or part swapping, in board order of components and pads.
std::vector<TSwapRow> SwapRows_Between(TBoard& board, const TPadNets& before, const TSwapLogEntries& log);

// CSV with a header line: component,pin_a,pin_b,net_a_before,net_b_before,net_a_after,net_b_after.
std::string SwapRows_Csv(const std::vector<TSwapRow>& rows);
// "<folder>/<board stem>.swaps.csv" for a board file path.
std::string SwapLog_PathFor(const std::string& boardPath);

} // namespace pcbhost::cli
