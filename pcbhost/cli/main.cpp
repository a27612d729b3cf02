// The `permutor` program: the command line on the real terminal.
#include "pcbhost/cli/Cli.h"
#include "pcbhost/cli/Session.h"

#include <iostream>
#include <sys/ioctl.h>
#include <unistd.h>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    pcbhost::cli::TConsole console{std::cin, std::cout, std::cerr};
    console.InputIsTerminal = isatty(STDIN_FILENO) != 0;
    console.ErrorIsTerminal = isatty(STDERR_FILENO) != 0;
    winsize size{};
    if (console.ErrorIsTerminal && ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0)
        console.ErrorColumns = size.ws_col;
    console.CatchInterrupt = true;
    // The process ends with the command: what it opened goes with the process.
    pcbhost::cli::TSession::SetFreeOnClose(false);
    return pcbhost::cli::Cli_Main(args, console);
}
