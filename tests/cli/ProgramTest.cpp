// The real `permutor` program, run as its own process: it finds the module beside itself, and
// what one process writes the next one reads.
#include "CliTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace clitest;

TEST(Program, FindsTheModuleBesideItself) {
    TTempFolder folder;
    folder.CopyFilesOf(SharedProjectFolder("pico-ice.kicad_pro"));
    const TRun r = Program("--json commands " + Quote(folder.Path() / "pico-ice.kicad_pcb"));
    ASSERT_EQ(r.Code, 0) << r.Out;
    EXPECT_EQ(nlohmann::json::parse(r.Out)["commands"].size(), 7u);
}

TEST(Program, ASecondProcessReadsWhatTheFirstWrote) {
    TTempFolder folder;
    folder.CopyFilesOf(SharedProjectFolder("pico-ice.kicad_pro"));
    const fs::path project = folder.Path() / "pico-ice.kicad_pro";
    // Any footprint reference of the board will do: the first one in the file.
    const std::string text = ReadFile(folder.Path() / "pico-ice.kicad_pcb");
    const auto at = text.find("(property \"Reference\" \"");
    ASSERT_NE(at, std::string::npos);
    const auto start = at + std::string("(property \"Reference\" \"").size();
    const std::string reference = text.substr(start, text.find('"', start) - start);

    const TRun set = Program("swapinfo " + Quote(project) + " '" + reference + "' --enable-parts yes");
    ASSERT_EQ(set.Code, 0) << set.Out;
    const TRun read = Program("--json swapinfo " + Quote(project) + " '" + reference + "'");
    ASSERT_EQ(read.Code, 0) << read.Out;
    EXPECT_EQ(nlohmann::json::parse(read.Out)["part_swapping_enabled"], true);
}

TEST(Program, ExitCodesReachTheShell) {
    EXPECT_EQ(Program("").Code, 2);
    EXPECT_EQ(Program("info /nonexistent.kicad_pcb").Code, 3);
    EXPECT_EQ(Program("--help").Code, 0);
}
