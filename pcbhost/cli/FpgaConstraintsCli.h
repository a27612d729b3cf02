// The command line's side of the FPGA pin constraint files: what saving did to them, and the swap
// ids a component takes from them (`swapinfo --import-swap-ids`).
#pragma once

#include "pcbhost/cli/Report.h"
#include "pcbhost/project/FpgaConstraints.h"
#include "pcbhost/project/KicadProject.h"

#include <string>
#include <vector>

namespace pcbhost::cli {

class TSession;

// Reports the ports that follow their signals, file by file, and what could not follow.
void ConstraintFiles_Report(TReport& report, const std::vector<kicad::TConstraintFollow>& files,
                            bool verbose);

// Reads every constraint file the project's symbols name and warns of those that cannot be read:
// saving a swap of their component would stop on them, so the user hears of it before a run.
void ConstraintFiles_Check(TReport& report, const kicad::TKicadProject& project);

// The pin swap data text the constraint file named by `symbol` gives its pins (see
// FpgaConstraints_PinSwapText). TCliError when the component names no file or the file cannot be
// read; pins the file names but the component lacks are reported.
std::string ConstraintFiles_PinSwapText(TSession& session, TReport& report, const TSchSymbol& symbol);

} // namespace pcbhost::cli
