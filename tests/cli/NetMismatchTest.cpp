// `permutor info` names the pins whose board net is not the net the schematic gives them: none on
// the example and the shared boards as published, the changed pads after a hand edit.
#include "CliTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

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

TEST(NetMismatches, InfoListsPadsWhoseBoardNetLeftTheSchematic) {
    TTempFolder folder;
    folder.CopyFilesOf(cExample);
    const fs::path project = folder.Path() / "demo.kicad_pro";
    ASSERT_TRUE(InfoJson(project)["net_mismatches"].empty());
    EXPECT_NE(
        Permutor({"info", project.string()}).Out.find("Pins whose board net differs from the schematic: 0\n"),
        std::string::npos);

    // Two pads of U1 trade their nets on the board only.
    const fs::path board = folder.Path() / "demo.kicad_pcb";
    Replace(board, "(net 43 \"/LVDS0_N\") (uuid \"244b49de", "(net 44 \"/LVDS0_P\") (uuid \"244b49de");
    Replace(board, "(net 44 \"/LVDS0_P\") (uuid \"1820d8c1", "(net 43 \"/LVDS0_N\") (uuid \"1820d8c1");
    const json mismatches = InfoJson(project)["net_mismatches"];
    ASSERT_EQ(mismatches.size(), 2u) << mismatches;
    EXPECT_EQ(mismatches[0],
              json({{"reference", "U1"}, {"pin", "G7"}, {"board", "/LVDS0_P"}, {"schematic", "/LVDS0_N"}}));
    EXPECT_EQ(mismatches[1],
              json({{"reference", "U1"}, {"pin", "G8"}, {"board", "/LVDS0_N"}, {"schematic", "/LVDS0_P"}}));
    const std::string text = Permutor({"info", project.string()}).Out;
    EXPECT_NE(text.find("Pins whose board net differs from the schematic: 2\n"
                        "  U1-G7: board /LVDS0_P, schematic /LVDS0_N\n"
                        "  U1-G8: board /LVDS0_N, schematic /LVDS0_P\n"),
              std::string::npos)
        << text;
}

TEST(NetMismatches, NoneOnTheSharedBoardsAsPublished) {
    std::size_t checked = 0;
    for (const fs::path& board : SharedBoards()) {
        const json doc = InfoJson(board);
        if (!doc.contains("project"))
            continue; // a board opened without its project has no schematic to compare with
        ASSERT_TRUE(doc.contains("net_mismatches")) << board;
        EXPECT_TRUE(doc["net_mismatches"].empty()) << board << doc["net_mismatches"];
        ++checked;
    }
    EXPECT_GE(checked, 5u);
}
