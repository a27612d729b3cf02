// The `permutor` command line: the host's menu in a terminal. Cli_Main parses the arguments,
// runs one sub-command against the stand-in host and returns the exit code; main() only hands
// it the real terminal, and tests call it in-process with string streams.
#pragma once

#include "pcbhost/cli/Report.h"

#include <string>
#include <vector>

namespace pcbhost::cli {

// `args` without the program name. Returns a TExitCode.
int Cli_Main(const std::vector<std::string>& args, TConsole& console);

} // namespace pcbhost::cli
