// `permutor optimize --gates --pairs` on the example end to end, and the reversed-pair lines of
// `permutor info`: on the example with one pair crossed by hand, and no false alarm on the
// shared boards.
#include "CliTestSupport.h"

#include "pcbhost/cli/BoardInfo.h"
#include "pcbhost/model/Host.h"
#include "pcbhost/project/KicadProject.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>

using namespace clitest;
using nlohmann::json;

namespace {

void Replace(const fs::path& file, const std::string& from, const std::string& to) {
    std::string text = ReadFile(file);
    const auto at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    std::ofstream(file, std::ios::binary) << text;
}

} // namespace

TEST(GatesAndPairs, OptimizeExchangesGatesAndPairsOfTheExampleAndReportsEachPass) {
    TTempFolder folder;
    folder.CopyFilesOf(cExample);
    const fs::path project = folder.Path() / "demo.kicad_pro";
    const TRun run =
        Permutor({"--batch", "--seed", "1", "--json", "optimize", "--gates", "--pairs", project.string()});
    ASSERT_EQ(run.Code, 0) << run.Err << run.Out;
    const json doc = ParseJson(run);
    EXPECT_EQ(doc["parameters"], "Gates=True|Pairs=True");
    const auto lines = doc["result"]["lines"].get<std::vector<std::string>>();
    ASSERT_EQ(lines.size(), 5u) << doc["result"];
    EXPECT_EQ(lines[0].rfind("Length Reduced From 704.951 To ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[2].rfind("Gate Swaps: ", 0), 0u) << lines[2];
    EXPECT_EQ(lines[3].rfind("Pair Swaps: 1 Of 2 Exchanges Kept", 0), 0u) << lines[3];
    EXPECT_EQ(lines[4].rfind("Elapsed Time: ", 0), 0u) << lines[4];

    // The pair exchange moved both nets of LVDS0 to LVDS1's pins and back, P on P and N on N.
    pcbhost::THost host;
    auto saved = pcbhost::kicad::TKicadProject::Open(host, project.string());
    auto netOf = [&saved](const std::string& pad) {
        for (auto* p : saved->Board()->FindComponent("U1")->Pads())
            if (p->Name() == pad)
                return p->OwnerNet() ? p->OwnerNet()->Name() : std::string();
        return std::string("?");
    };
    EXPECT_EQ(netOf("G7"), "/LVDS1_N");
    EXPECT_EQ(netOf("G8"), "/LVDS1_P");
    EXPECT_EQ(netOf("H7"), "/LVDS0_N");
    EXPECT_EQ(netOf("H8"), "/LVDS0_P");
    // The exchange keeps each net on a pin of its own polarity.
    EXPECT_TRUE(InfoJson(project)["reversed_pairs"].empty());

    // The same run on the text front end shows the pass lines in the box.
    TTempFolder again;
    again.CopyFilesOf(cExample);
    const TRun text = Permutor({"--batch", "--seed", "1", "optimize", "--gates", "--pairs",
                                (again.Path() / "demo.kicad_pro").string()});
    ASSERT_EQ(text.Code, 0) << text.Err;
    EXPECT_NE(text.Out.find("\n  Pair Swaps: 1 Of 2 Exchanges Kept"), std::string::npos) << text.Out;
}

TEST(GatesAndPairs, PassesWithNothingToExchangeSaySoWithoutFailing) {
    // Without the pair and part swap data every pass has nothing to do.
    TTempFolder folder;
    folder.CopyFilesOf(cExample);
    const fs::path sch = folder.Path() / "demo.kicad_sch";
    std::string text = ReadFile(sch);
    for (const char* field : {"(property \"PairSwap\" \"", "(property \"PartSwap\" \""})
        for (auto at = text.find(field); at != std::string::npos; at = text.find(field, at + 1)) {
            const auto start = at + std::string(field).size();
            text.erase(start, text.find('"', start) - start);
        }
    std::ofstream(sch, std::ios::binary) << text;
    const TRun run = Permutor({"--batch", "--seed", "1", "--json", "optimize", "--gates", "--pairs",
                               (folder.Path() / "demo.kicad_pro").string()});
    ASSERT_EQ(run.Code, 0) << run.Err << run.Out;
    const json doc = ParseJson(run);
    std::vector<std::string> captions;
    for (const auto& m : doc["messages"])
        captions.push_back(m.value("caption", ""));
    EXPECT_NE(std::find(captions.begin(), captions.end(), "Gate Swaps"), captions.end()) << doc["messages"];
    EXPECT_NE(std::find(captions.begin(), captions.end(), "Pair Swaps"), captions.end());
    const auto lines = doc["result"]["lines"].get<std::vector<std::string>>();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[2], "Gate Swaps: none on this board");
    EXPECT_EQ(lines[3], "Pair Swaps: none on this board");
}

TEST(GatesAndPairs, PinNamesTellTheirPolarity) {
    using pcbhost::cli::PinName_Polarity;
    std::string a, b;
    EXPECT_EQ(PinName_Polarity("LVDS0_P", a), 'P');
    EXPECT_EQ(PinName_Polarity("LVDS0_N", b), 'N');
    EXPECT_EQ(a, b);
    EXPECT_EQ(PinName_Polarity("IO_L1P_T0_34", a), 'P');
    EXPECT_EQ(PinName_Polarity("IO_L1N_T0_34", b), 'N');
    EXPECT_EQ(a, b);
    EXPECT_EQ(PinName_Polarity("D+", a), 'P');
    EXPECT_EQ(PinName_Polarity("D-", b), 'N');
    EXPECT_EQ(a, b);
    EXPECT_EQ(PinName_Polarity("USB_DP", a), 'P');
    EXPECT_EQ(PinName_Polarity("USB_DM", b), 'N');
    EXPECT_EQ(a, b);
    EXPECT_EQ(PinName_Polarity("CLK2n", b), 'N');
    EXPECT_EQ(PinName_Polarity("IO_L1N_T0_35", b), 'N');
    EXPECT_NE(PinName_Polarity("IO_L1P_T0_34", a) ? a : "", b); // another bank is another pair
    for (const char* none : {"GND", "EN", "IOL_2A", "P", "_N", "VPP", "IOB_56", "A0", "VDDM", "GDP"})
        EXPECT_EQ(PinName_Polarity(none, a), 0) << none;
}

TEST(GatesAndPairs, InfoNamesAPairCrossedAtAComponent) {
    TTempFolder folder;
    folder.CopyFilesOf(cExample);
    const fs::path project = folder.Path() / "demo.kicad_pro";
    EXPECT_TRUE(InfoJson(project)["reversed_pairs"].empty());
    // Cross LVDS0 at U1 by hand: its N net onto the P pin and the other way round.
    const fs::path board = folder.Path() / "demo.kicad_pcb";
    Replace(board, "(net 43 \"/LVDS0_N\") (uuid \"244b49de", "(net 44 \"/LVDS0_P\") (uuid \"244b49de");
    Replace(board, "(net 44 \"/LVDS0_P\") (uuid \"1820d8c1", "(net 43 \"/LVDS0_N\") (uuid \"1820d8c1");
    const json reversed = InfoJson(project)["reversed_pairs"];
    ASSERT_EQ(reversed.size(), 1u) << reversed;
    EXPECT_EQ(reversed[0]["pair"], "/LVDS0");
    EXPECT_EQ(reversed[0]["component"], "U1");
    EXPECT_EQ(reversed[0]["pad_of_positive_net"], "G7");
    EXPECT_EQ(reversed[0]["pin_name_of_positive_net"], "LVDS0_N");
    EXPECT_EQ(reversed[0]["pad_of_negative_net"], "G8");
    const TRun text = Permutor({"info", project.string()});
    EXPECT_NE(text.Out.find("reversed pairs          1\n    /LVDS0 at U1: /LVDS0_P on pad G7 (LVDS0_N), "
                            "/LVDS0_N on pad G8 (LVDS0_P)\n"),
              std::string::npos)
        << text.Out;
}

TEST(GatesAndPairs, NoReversedPairOnTheSharedBoards) {
    std::size_t checked = 0;
    for (const fs::path& board : SharedBoards()) {
        const json doc = InfoJson(board);
        ASSERT_TRUE(doc.contains("reversed_pairs")) << board;
        EXPECT_TRUE(doc["reversed_pairs"].empty()) << board << doc["reversed_pairs"];
        ++checked;
    }
    EXPECT_GE(checked, 6u);
}
