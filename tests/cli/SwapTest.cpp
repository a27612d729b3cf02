// `permutor swap pins|parts|pairs` end to end with the real module on copies of the example:
// scripted picks, the report lines and error texts the user sees, the saved board with its swap
// report, the exit code, and the dry run.
#include "CliTestSupport.h"

#include "pcbhost/model/Host.h"
#include "pcbhost/project/KicadProject.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <map>

using namespace clitest;
using nlohmann::json;

namespace {

// The pads whose nets differ between two readings.
std::map<std::string, std::pair<std::string, std::string>> Changes(const TNets& before, const TNets& after) {
    std::map<std::string, std::pair<std::string, std::string>> r;
    for (const auto& [pad, net] : before)
        if (after.at(pad) != net)
            r[pad] = {net, after.at(pad)};
    return r;
}

// The texts of the messages of one source ("panel", "box") in a --json document.
std::vector<std::string> Texts(const json& doc, const std::string& source) {
    std::vector<std::string> r;
    for (const auto& m : doc["messages"])
        if (m["source"] == source)
            r.push_back(m["text"]);
    return r;
}

// The first pad, other than `except`, on a net.
std::string PadOn(const TNets& nets, const std::string& net, const std::string& except) {
    for (const auto& [pad, n] : nets)
        if (n == net && pad != except)
            return pad;
    return {};
}

class SwapCli : public ::testing::Test {
protected:
    void SetUp() override {
        Folder.CopyFilesOf(cExample);
        Before = PadNets(Board);
    }
    // `permutor --json --pick P... swap KIND board`.
    json Swap(const std::string& kind, const std::vector<std::string>& picks, int expectedCode,
              std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"--json"};
        for (const auto& pick : picks)
            args.insert(args.end(), {"--pick", pick});
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), {"swap", kind, Board.string()});
        const TRun r = Permutor(args);
        EXPECT_EQ(r.Code, expectedCode) << r.Out << r.Err;
        return ParseJson(r);
    }
    // The module's report lines (those of the swaps, then the run's closing report).
    static std::vector<std::string> SwapLines(const json& doc) {
        std::vector<std::string> r;
        for (const auto& text : Texts(doc, "panel"))
            if (text.rfind("Length ", 0) != 0)
                r.push_back(text);
        return r;
    }

    TTempFolder Folder;
    fs::path Board = Folder.Path() / "demo.kicad_pcb";
    TNets Before;
};

TEST_F(SwapCli, PinsMovesTheChosenSubNetToTheTargetAndSavesTheBoardWithItsReport) {
    const std::string a1 = Before.at("U1-A1"), b2 = Before.at("U1-B2");
    const json doc = Swap("pins", {"U1-A1", "U1-B2"}, 0);
    EXPECT_EQ(SwapLines(doc),
              std::vector<std::string>{"Interactive Pin-Swap:U1-A1(" + a1 + ") With U1-B2(" + b2 + ")"});
    EXPECT_EQ(doc["module_command"], "RunManualPermutor");
    // The saved board reloads with the two nets exchanged and nothing else changed.
    const auto changes = Changes(Before, PadNets(Board));
    EXPECT_EQ(changes, (std::map<std::string, std::pair<std::string, std::string>>{{"U1-A1", {a1, b2}},
                                                                                   {"U1-B2", {b2, a1}}}));
    EXPECT_TRUE(fs::exists(Folder.Path() / "demo.kicad_pcb.bak"));
    EXPECT_EQ(ReadFile(Folder.Path() / "demo.swaps.csv"),
              "component,pin_a,pin_b,net_a_before,net_b_before,net_a_after,net_b_after\n"
              "U1,A1,B2," +
                  a1 + "," + b2 + "," + b2 + "," + a1 + "\n");
    ASSERT_EQ(doc["swaps"].size(), 1u);
    EXPECT_EQ(doc["swaps"][0]["pin_a"], "A1");

    // As text: the report line is printed for the user.
    TTempFolder again;
    again.CopyFilesOf(cExample);
    const TRun text = Permutor({"--pick", "U1-A1", "--pick", "U1-B2", "--dry-run", "swap", "pins",
                                (again.Path() / "demo.kicad_pcb").string()});
    EXPECT_EQ(text.Code, 0) << text.Err;
    EXPECT_NE(
        text.Out.find("Interactive Pin-Swap:U1-A1(" + a1 + ") With U1-B2(" + b2 + ")  (Pin/Net Swapper)"),
        std::string::npos)
        << text.Out;
}

TEST_F(SwapCli, PartsExchangesTwoGatesOfTheQuadNand) {
    const json doc = Swap("parts", {"U2-1", "U2-4"}, 0);
    EXPECT_EQ(SwapLines(doc), std::vector<std::string>{"Interactive Sub-Part Swap: U2(1) With U2(2)"});
    const TNets after = PadNets(Board);
    for (const auto& [a, b] :
         std::vector<std::pair<std::string, std::string>>{{"1", "4"}, {"2", "5"}, {"3", "6"}}) {
        EXPECT_EQ(after.at("U2-" + a), Before.at("U2-" + b));
        EXPECT_EQ(after.at("U2-" + b), Before.at("U2-" + a));
    }
    EXPECT_EQ(Changes(Before, after).size(), 6u);
    // Gate swaps are reported beside the board too, as pin swaps.
    const std::string csv = ReadFile(Folder.Path() / "demo.swaps.csv");
    EXPECT_EQ(CountOf(csv, "\nU2,"), 3u) << csv;
}

TEST_F(SwapCli, PairsExchangesTheTwoLvdsPairs) {
    const json doc = Swap("pairs", {"U1-G8", "U1-H8"}, 0);
    EXPECT_EQ(SwapLines(doc), std::vector<std::string>{"Differential-Pair Swap: /LVDS0 With /LVDS1"});
    const TNets after = PadNets(Board);
    EXPECT_EQ(after.at("U1-G8"), Before.at("U1-H8"));
    EXPECT_EQ(after.at("U1-G7"), Before.at("U1-H7"));
    EXPECT_EQ(after.at("U1-H8"), Before.at("U1-G8"));
    EXPECT_EQ(after.at("U1-H7"), Before.at("U1-G7"));
    EXPECT_EQ(Changes(Before, after).size(), 4u);
}

TEST_F(SwapCli, PicksTheSwappersRefuseShowTheirErrorsAndOnlyAFruitlessSessionFails) {
    // A1 is in BANK0, A7 in BANK1: no BANK0 pin carries A7's net. Then a good swap.
    json doc = Swap("pins", {"U1-A1", "U1-A7", "U1-A1", "U1-A2"}, 0);
    EXPECT_EQ(Texts(doc, "box"),
              std::vector<std::string>{"There is no valid swappable sub-net for this net"});
    EXPECT_EQ(SwapLines(doc).size(), 1u);
    EXPECT_EQ(Changes(Before, PadNets(Board)).size(), 2u);

    // The connector's end of a gate's net and of a pair's net belong to no gate and no pair.
    const std::string gateEnd = PadOn(Before, Before.at("U2-1"), "U2-1");
    const std::string pairEnd = PadOn(Before, Before.at("U1-G8"), "U1-G8");
    ASSERT_FALSE(gateEnd.empty());
    ASSERT_FALSE(pairEnd.empty());
    const auto files = Snapshot(Folder.Path());
    doc = Swap("parts", {gateEnd}, 1);
    EXPECT_EQ(Texts(doc, "box"), std::vector<std::string>{"This sub-net is part of an Invalid Sub-Part"});
    EXPECT_EQ(doc["exit_code"], 1);
    doc = Swap("pairs", {pairEnd}, 1);
    EXPECT_EQ(Texts(doc, "box"),
              std::vector<std::string>{"This sub-net is part of an Invalid Differential Pair"});
    EXPECT_TRUE(SwapLines(doc).empty());
    EXPECT_EQ(Snapshot(Folder.Path()), files);
}

TEST_F(SwapCli, APinWithoutANetIsNoTarget) {
    // Take A7's net off its pad in the copy.
    std::string board = ReadFile(Board);
    const std::size_t pad = board.find("(pad \"A7\"");
    ASSERT_NE(pad, std::string::npos);
    const std::size_t net = board.find("(net ", pad);
    const std::size_t end = board.find(')', net);
    board.erase(net, end - net + 1);
    { std::ofstream(Board, std::ios::binary) << board; }
    const json doc = Swap("pins", {"U1-A1", "U1-A7"}, 1);
    EXPECT_EQ(Texts(doc, "box"), std::vector<std::string>{"Invalid Net for this sub-net"});
    EXPECT_TRUE(SwapLines(doc).empty());
}

TEST_F(SwapCli, VerboseListsTheHighlightedPadsWithTheirNets) {
    const TRun r = Permutor({"--verbose", "--dry-run", "--pick", "U1-A1", "swap", "pins", Board.string()});
    EXPECT_EQ(r.Code, 0) << r.Err;
    // The two banks first, then where U1-A1 may go: its bank's pins and their connector pads.
    EXPECT_NE(r.Out.find("Highlighted (28): U1-A1 " + Before.at("U1-A1") + ", U1-A2 " + Before.at("U1-A2")),
              std::string::npos)
        << r.Out;
    EXPECT_NE(r.Out.find("Highlighted (30): J1-"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("Choose Sub-Net to move: U1-A1\n"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("J1-2 " + Before.at("J1-2") + ", J1-3 "), std::string::npos) << r.Out;
}

TEST_F(SwapCli, ADryRunSavesNothingAndThePictureShowsTheResult) {
    const auto files = Snapshot(Folder.Path());
    const fs::path svg = Folder.Path() / ".." / (Folder.Path().filename().string() + "-after.svg");
    const json doc = Swap("pins", {"U1-A1", "U1-B2"}, 0, {"--dry-run", "--svg-after", svg.string()});
    EXPECT_EQ(SwapLines(doc).size(), 1u);
    EXPECT_EQ(doc["changed"], true);
    EXPECT_TRUE(doc["saved"].empty());
    EXPECT_EQ(Snapshot(Folder.Path()), files);
    ASSERT_TRUE(fs::exists(svg));
    EXPECT_NE(ReadFile(svg).find("<svg"), std::string::npos);
    fs::remove(svg);
    // Nothing picked: nothing swapped, nothing shown, success.
    const json none = Swap("pins", {}, 0, {"--yes"});
    EXPECT_TRUE(SwapLines(none).empty());
    EXPECT_TRUE(Texts(none, "box").empty());
}

} // namespace
