// `permutor query`: the route-time interface asked through the command line on the example
// project and on an FPGA board of the shared set, and what it says when it cannot answer.
#include "CliTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <set>

using namespace clitest;
using nlohmann::json;

namespace {

std::vector<std::string> PadsOf(const json& list) {
    std::vector<std::string> pads;
    for (const auto& entry : list)
        pads.push_back(entry.is_null() ? "-" : entry["pad"].get<std::string>());
    return pads;
}

class QueryTest : public ::testing::Test {
protected:
    void SetUp() override { Folder.CopyFilesOf(cExample); }
    std::string Board() const { return (Folder.Path() / "demo.kicad_pcb").string(); }
    TTempFolder Folder;
};

} // namespace

TEST_F(QueryTest, OnePadListsItsBankAndTwoPadsSayWhetherTheyMaySwap) {
    const auto before = Snapshot(Folder.Path());
    const TRun r = Permutor({"--json", "query", Board(), "U1-A1"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    const json doc = ParseJson(r);
    EXPECT_EQ(doc["mode"], "pins");
    EXPECT_EQ(doc["initialised"], true);
    EXPECT_EQ(doc["swappable"], true);
    EXPECT_EQ(doc["pads"][0]["pad"], "U1-A1");
    EXPECT_EQ(doc["pads"][0]["net"], "/B0_IO0");
    // The ball's centre as the board file writes it (100 - 3.5 mm on both axes).
    EXPECT_EQ(doc["pads"][0]["x_mm"].get<double>(), 96.5);
    EXPECT_EQ(doc["pads"][0]["y_mm"].get<double>(), 96.5);
    // BANK0: the first two columns of the ball grid, the queried ball among them.
    std::set<std::string> bank0;
    for (char row = 'A'; row <= 'H'; ++row)
        for (char column : {'1', '2'})
            bank0.insert(std::string("U1-") + row + column);
    const auto partners = PadsOf(doc["swap_partners"]);
    EXPECT_EQ(std::set<std::string>(partners.begin(), partners.end()), bank0);
    EXPECT_EQ(partners.size(), bank0.size());
    EXPECT_EQ(doc["swap_partners"][1], (json{{"pad", "U1-A2"}, {"net", "/B0_IO1"}}));

    const TRun text = Permutor({"query", Board(), "U1-A1"});
    ASSERT_EQ(text.Code, 0) << text.Err;
    EXPECT_NE(text.Out.find("U1-A1 (net /B0_IO0): swappable"), std::string::npos) << text.Out;
    EXPECT_NE(text.Out.find("may swap with (16 pads, itself included)"), std::string::npos) << text.Out;
    // One line per partner, the queried pad first (the bank's order), as in the JSON.
    EXPECT_EQ(CountOf(text.Out, "\n    U1-"), partners.size()) << text.Out;
    EXPECT_NE(text.Out.find("itself included):\n    U1-A1  /B0_IO0\n    U1-A2  /B0_IO1\n"), std::string::npos)
        << text.Out;
    EXPECT_NE(text.Out.find("    U1-H2  /B0_IO15\n"), std::string::npos) << text.Out;

    const json same = ParseJson(Permutor({"--json", "query", Board(), "U1-A1", "U1-H2"}));
    EXPECT_EQ(same["swappable"], true);
    EXPECT_FALSE(same.contains("swap_partners"));
    const TRun other = Permutor({"query", Board(), "U1-A1", "U1-A7"});
    ASSERT_EQ(other.Code, 0) << other.Err;
    EXPECT_NE(other.Out.find("U1-A1 (net /B0_IO0) and U1-A7 (net /B1_IO0): may not swap nets"),
              std::string::npos)
        << other.Out;
    // A pad of no swap group: not swappable, nothing to list.
    const json lone = ParseJson(Permutor({"--json", "query", Board(), "U1-D4"}));
    EXPECT_EQ(lone["swappable"], false);
    EXPECT_TRUE(lone["swap_partners"].empty());
    // Asking changes nothing on disk.
    EXPECT_EQ(Snapshot(Folder.Path()), before);
}

TEST_F(QueryTest, PairModeKeepsThePinsOfOnePairTogetherAndTablesThePairs) {
    EXPECT_EQ(ParseJson(Permutor({"--json", "query", "--pairs", Board(), "U1-G8", "U1-G7"}))["swappable"],
              false);
    EXPECT_EQ(ParseJson(Permutor({"--json", "query", "--pairs", Board(), "U1-G8", "U1-H8"}))["swappable"],
              true);
    EXPECT_EQ(ParseJson(Permutor({"--json", "query", "--pairs", Board(), "U1-G8", "U1-H7"}))["swappable"],
              true);
    // Two bank pins: the pair-mode model has no pin groups.
    EXPECT_EQ(ParseJson(Permutor({"--json", "query", "--pairs", Board(), "U1-A1", "U1-A2"}))["swappable"],
              false);

    const TRun r = Permutor({"--json", "query", "--pairs", "--gates", Board(), "U1-H7"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    const json doc = ParseJson(r);
    EXPECT_EQ(doc["mode"], "pairs");
    ASSERT_EQ(doc["gates"].size(), 2u);
    EXPECT_EQ(PadsOf(doc["gates"][0]), (std::vector<std::string>{"U1-G7", "U1-G8"}));
    EXPECT_EQ(PadsOf(doc["gates"][1]), (std::vector<std::string>{"U1-H7", "U1-H8"}));
    EXPECT_EQ(doc["gates"][0][1]["net"], "/LVDS0_P");

    const TRun text = Permutor({"query", "--pairs", "--gates", Board(), "U1-H7"});
    ASSERT_EQ(text.Code, 0) << text.Err;
    EXPECT_NE(text.Out.find("Pairs of the pair swap group of U1-H7 (2):"), std::string::npos) << text.Out;
    EXPECT_NE(text.Out.find("  pair  pin 1  pin 2\n  1     U1-G7  U1-G8\n  2     U1-H7  U1-H8\n"),
              std::string::npos)
        << text.Out;
}

TEST_F(QueryTest, TheQuadNandHasNoGatesInThePinModeModel) {
    // U2's gates carry part swap data only; the route-time model of pins keeps pin groups.
    const TRun r = Permutor({"--json", "query", "--gates", Board(), "U2-1"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    const json doc = ParseJson(r);
    EXPECT_TRUE(doc["gates"].is_null());
    EXPECT_EQ(doc["swappable"], false);
    const TRun text = Permutor({"query", "--gates", Board(), "U2-1"});
    EXPECT_NE(text.Out.find("U2-1: no part swap group (the pin-mode model holds pin groups only"),
              std::string::npos)
        << text.Out;
}

TEST_F(QueryTest, WhatCannotBeAnsweredIsSaidAndNothingIsWritten) {
    const TRun bad = Permutor({"query", Board(), "U1-NOPAD"});
    EXPECT_EQ(bad.Code, 1);
    EXPECT_NE(bad.Err.find("no pad NOPAD"), std::string::npos) << bad.Err;
    EXPECT_EQ(Permutor({"query", Board(), "U1"}).Code, 2);
    const TRun three = Permutor({"query", Board(), "U1-A1", "U1-A2", "U1-B1"});
    EXPECT_EQ(three.Code, 2);
    EXPECT_NE(three.Err.find("one pad, or two pads"), std::string::npos) << three.Err;

    // The board alone, without its project: a free document.
    TTempFolder alone;
    fs::copy_file(Board(), alone.Path() / "demo.kicad_pcb");
    const auto before = Snapshot(alone.Path());
    const TRun r = Permutor({"--json", "query", (alone.Path() / "demo.kicad_pcb").string(), "U1-A1"});
    EXPECT_EQ(r.Code, 1);
    const json doc = ParseJson(r);
    EXPECT_EQ(doc["initialised"], false);
    ASSERT_EQ(doc["errors"].size(), 1u);
    EXPECT_NE(doc["errors"][0].get<std::string>().find("there is no .kicad_pro beside it"), std::string::npos)
        << doc["errors"];
    EXPECT_EQ(Snapshot(alone.Path()), before);
}

// The FPGA's I/O banks as pin swap groups (from its iCE40 pin names): a pin's partners are
// exactly the pins of its bank.
TEST(Query, AnFpgaPinSwapsWithinItsBankOnASharedBoard) {
    TTempFolder folder;
    folder.CopyFilesOf(fs::path(PERMUTOR_SHARED_DIR) / "boards/glasgow/hardware/boards/glasgow");
    for (const auto& entry : fs::directory_iterator(folder.Path()))
        fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
    const fs::path board = folder.Path() / "glasgow-unrouted.kicad_pcb";
    const TRun set = Permutor({"--json", "--yes", "swapinfo", board.string(), "U30", "--group-by", "names",
                               "--enable-pins", "yes"});
    ASSERT_EQ(set.Code, 0) << set.Out << set.Err;
    const std::string swapText = ParseJson(set)["pin_swap"].get<std::string>();
    // "Pin_H7=BANK_B|..." -> bank of every pin.
    std::map<std::string, std::string> bank;
    for (std::size_t at = 0; at < swapText.size();) {
        const std::size_t bar = std::min(swapText.find('|', at), swapText.size());
        const std::string entry = swapText.substr(at, bar - at);
        const std::size_t eq = entry.find('=');
        bank["U30-" + entry.substr(4, eq - 4)] = entry.substr(eq + 1);
        at = bar + 1;
    }
    ASSERT_GT(bank.size(), 70u);

    const std::string pin = "U30-H7";
    ASSERT_EQ(bank[pin], "BANK_B");
    const TRun r = Permutor({"--json", "query", board.string(), pin});
    ASSERT_EQ(r.Code, 0) << r.Err;
    const json doc = ParseJson(r);
    EXPECT_EQ(doc["swappable"], true);
    std::set<std::string> expected;
    for (const auto& [pad, b] : bank)
        if (b == "BANK_B")
            expected.insert(pad);
    const auto partners = PadsOf(doc["swap_partners"]);
    EXPECT_EQ(std::set<std::string>(partners.begin(), partners.end()), expected);
    EXPECT_EQ(partners.size(), expected.size());

    std::string otherBank;
    for (const auto& [pad, b] : bank)
        if (b != "BANK_B" && otherBank.empty())
            otherBank = pad;
    EXPECT_EQ(ParseJson(Permutor({"--json", "query", board.string(), pin, otherBank}))["swappable"], false);
    EXPECT_EQ(ParseJson(Permutor(
                  {"--json", "query", board.string(), pin, *std::prev(expected.end())}))["swappable"],
              true);
}
