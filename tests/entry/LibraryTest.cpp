// The plug-in as the host really meets it: a shared library opened with dlopen.
#include "pcbhost/model/Host.h"
#include "pcbhost/module/ModuleLoader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>

using namespace permutor::host;

namespace {

TEST(PluginLibrary, ExportsTheEntryPointsAndCreatesTheModule) {
    pcbhost::TModuleLibrary library(PERMUTOR_MODULE_PATH);
    EXPECT_NE(library.Symbol("ServerFactory"), nullptr);
    EXPECT_NE(library.Symbol("GetMemoryInfo"), nullptr);
    EXPECT_NE(library.Symbol("GetRoutePermutor"), nullptr);

    pcbhost::THost host;
    auto& board = host.AddFreeBoard("/virtual/free.kicad_pcb");
    IPtr<IServerModule> server;
    ASSERT_EQ(library.CreateServer(host.Client().get(), server), 0);
    ASSERT_TRUE(server);
    EXPECT_EQ(server->ModuleName(), "Permutor");

    std::int32_t enabled = 0, checked = 0, visible = 0;
    std::string caption, image;
    server->GetCommandState("RunManualPermutor", "", host.OpenView(board).get(), enabled, checked, visible,
                            caption, image);
    EXPECT_EQ(enabled, -1);
    server.reset();

    // A factory failure reaches the host as a status, never as an exception.
    EXPECT_EQ(static_cast<std::uint32_t>(library.CreateServer(nullptr, server)), 0x8000FFFFu);
    EXPECT_FALSE(server);
}

TEST(PluginLibrary, ExportsOnlyItsCEntryPoints) {
    // Everything else stays hidden, so a host never binds to the module's internals.
    const std::string command = std::string("nm -D --defined-only '") + PERMUTOR_MODULE_PATH + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> names;
    char line[512];
    while (fgets(line, sizeof line, pipe)) {
        std::istringstream fields(line);
        std::string address, kind, name;
        if (fields >> address >> kind >> name)
            names.insert(name);
    }
    ASSERT_EQ(pclose(pipe), 0);
    EXPECT_EQ(names, (std::set<std::string>{"GetMemoryInfo", "GetRoutePermutor", "ServerFactory"}));
}

TEST(PluginLibrary, LoadErrorsNameTheFile) {
    try {
        pcbhost::TModuleLibrary library("/nonexistent/libnothing.so");
        FAIL() << "expected a load error";
    } catch (const pcbhost::TModuleLoadError& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent/libnothing.so"), std::string::npos);
    }
}

} // namespace
