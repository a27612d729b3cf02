// `permutor swap kestrel|kestrel-pin`: the swaps the external pin-configuration tool must agree
// to. The host offers the tool's extension, and for kestrel-pin the first pick is the pad the
// command applies to (the board's current object) rather than a click the module asks for.
#pragma once

#include "pcbhost/cli/Options.h"
#include "pcbhost/cli/Report.h"

#include <string>

namespace pcbhost::cli {

// The module command of `swap kestrel` or `swap kestrel-pin`; empty for another word.
std::string KestrelKind_Command(const std::string& kind);

int Run_KestrelSwap(const TGlobalOptions& options, TReport& report, const std::string& document,
                    const std::string& kind);

} // namespace pcbhost::cli
