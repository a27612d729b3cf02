// kestrel: a stand-in for the external pin-configuration tool. It maps the shared block in the
// temporary folder ($TEMP, else $TMPDIR, else /tmp) and serves the module's pin queries from the
// pin-configuration files they name, until Ctrl-C.
#include "KestrelTool.h"

#include <CLI/CLI.hpp>

#include <csignal>
#include <iostream>

namespace {

std::atomic<bool> GStop{false};

void OnSignal(int) {
    GStop.store(true);
}

} // namespace

int main(int argc, char** argv) {
    kestrel::TToolOptions options;
    options.BlockPath = permutor::provider::SharedBlock_DefaultPath();
    CLI::App app{"Stand-in for the external pin-configuration tool: answers the module's pin queries "
                 "from the KESTREL.pincfg files they name and confirms swaps, writing them back.",
                 "kestrel"};
    app.add_flag("--refuse", options.Refuse, "Refuse every swap confirmation");
    app.add_option("--ack-status", options.AckStatus, "Acknowledge every request with this status")
        ->type_name("N");
    app.add_flag("--silent", options.Silent, "Log requests but never answer them");
    app.add_flag("--once", options.Once, "Stop after the first request");
    app.add_option("--log", options.LogPath, "Append one line per request and answer to FILE")
        ->type_name("FILE");
    app.add_option("--block", options.BlockPath, "The shared block (default: " + options.BlockPath + ")")
        ->type_name("FILE");
    CLI11_PARSE(app, argc, argv);

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    kestrel::TKestrelTool tool(options, std::cout, std::cerr);
    if (!tool.Start())
        return 1;
    return tool.Serve(GStop);
}
