// `permutor swap kestrel|kestrel-pin` on a copy of the example, with the stand-in tool running as
// its own process and TEMP pointing to the test's folder: the example's U1 names its
// KESTREL.pincfg in a symbol field, the tool answers from that copy and follows the swap.
#include "CliTestSupport.h"

#include "../provider/KestrelProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

using namespace clitest;

namespace {

class KestrelCli : public ::testing::Test {
protected:
    void SetUp() override {
        Folder.CopyFilesOf(cExample);
        if (const char* temp = std::getenv("TEMP"))
            SavedTemp = temp;
        ::setenv("TEMP", Temp.Path().c_str(), 1);
        Tool = std::make_unique<kestreltest::TKestrelProcess>(Temp.Path(), std::vector<std::string>{});
        ASSERT_TRUE(Tool->Serving()) << Tool->Errors();
    }
    // TEMP also steers where temporary folders go: the next test gets it back.
    void TearDown() override {
        Tool.reset();
        if (SavedTemp)
            ::setenv("TEMP", SavedTemp->c_str(), 1);
        else
            ::unsetenv("TEMP");
    }
    std::optional<std::string> SavedTemp;
    TTempFolder Folder;
    kestreltest::TTestFolder Temp;
    std::unique_ptr<kestreltest::TKestrelProcess> Tool;
    fs::path Board = Folder.Path() / "demo.kicad_pcb";
    fs::path Config = Folder.Path() / "KESTREL.pincfg";
};

TEST_F(KestrelCli, TheToolsCandidateIsSwappedSavedAndFollowedByTheToolsFile) {
    const TRun r = Permutor({"--pick", "U1-A2", "--pick", "U1-B1", "swap", "kestrel", Board.string()});
    EXPECT_EQ(r.Code, 0) << r.Out << r.Err;
    EXPECT_NE(r.Out.find("Interactive Pin-Swap:U1-A2(/B0_IO1) With U1-B1(/B0_IO2)"), std::string::npos)
        << r.Out;
    const TNets nets = PadNets(Board);
    EXPECT_EQ(nets.at("U1-A2"), "/B0_IO2");
    EXPECT_EQ(nets.at("U1-B1"), "/B0_IO1");
    const std::string config = ReadFile(Config);
    EXPECT_NE(config.find("<pin name=\"A2\" signal=\"B0_IO2\"/>"), std::string::npos) << config;
    EXPECT_NE(config.find("<pin name=\"B1\" signal=\"B0_IO1\"/>"), std::string::npos) << config;
}

TEST_F(KestrelCli, KestrelPinTakesThePickedPadAndALockedPinHasNoCandidates) {
    TRun r = Permutor({"--pick", "U1-A1", "swap", "kestrel-pin", Board.string()});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_NE(r.Out.find("No swap candidates for selected pin [U1-A1]"), std::string::npos) << r.Out;
    EXPECT_EQ(PadNets(Board), PadNets(cExample / "demo.kicad_pcb"));

    r = Permutor({"--pick", "U1-C1", "--pick", "U1-C2", "swap", "kestrel-pin", Board.string()});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_NE(r.Out.find("Interactive Pin-Swap:U1-C1("), std::string::npos) << r.Out;

    r = Permutor({"swap", "kestrel-pin", Board.string()});
    EXPECT_EQ(r.Code, 2);
    EXPECT_NE(r.Err.find("--pick REF-PAD"), std::string::npos) << r.Err;
    r = Permutor({"--pick", "U1-Z9", "swap", "kestrel-pin", Board.string()});
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Err.find("U1-Z9"), std::string::npos) << r.Err;
}

} // namespace
