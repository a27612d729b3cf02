// `permutor info` on every shared board: counts read independently from the file, the
// relation between islands, nets and ratsnest lines, and the routed and unrouted boards of one
// design compared.
#include "CliTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>

using namespace clitest;
using nlohmann::json;

namespace {

class InfoOnSharedBoard : public ::testing::TestWithParam<fs::path> {};

std::string BoardName(const ::testing::TestParamInfo<fs::path>& info) {
    std::string name = info.param.stem().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

} // namespace

TEST_P(InfoOnSharedBoard, CountsAreSensible) {
    const fs::path board = GetParam();
    const json doc = InfoJson(board);
    const json& b = doc["board"];
    const std::string text = ReadFile(board);
    EXPECT_EQ(b["footprints"], CountOf(text, "(footprint "));
    EXPECT_GT(b["nets"], 0);
    EXPECT_GE(b["pads"], b["footprints"]);
    EXPECT_LE(b["swap_enabled_components"], b["footprints"]);
    // One island at least for every net with copper, and a spanning tree joins a net's islands
    // with one line fewer than it has islands; an island of zone fill alone gets none (the
    // unrouted glasgow board has two, whose vias went with the tracks).
    const std::int64_t islands = b["islands"], nets = b["nets"], connections = b["connections"];
    EXPECT_LE(connections, islands);
    EXPECT_GE(connections, islands - nets - 2);
    EXPECT_NEAR(b["ratsnest_length_in"].get<double>() * 25.4, b["ratsnest_length_mm"].get<double>(), 1e-6);
    EXPECT_GE(b["crossovers"], 0);
    if (connections == 0) {
        EXPECT_EQ(b["ratsnest_length_mm"], 0.0);
        EXPECT_EQ(b["crossovers"], 0);
    }
    // Every shared board comes with its project.
    ASSERT_TRUE(doc.contains("project"));
    EXPECT_GE(doc["project"]["sheets"], 1);
    EXPECT_GT(doc["project"]["components"], 0);
    EXPECT_GE(doc["elapsed_ms"], 0.0);
}

INSTANTIATE_TEST_SUITE_P(SharedBoards, InfoOnSharedBoard, ::testing::ValuesIn(SharedBoards()), BoardName);

TEST(Info, UnroutedGlasgowFallsApartIntoIslandsAndTheRoutedOneDoesNot) {
    const fs::path folder = SharedProjectFolder("glasgow.kicad_pro");
    const json unrouted = InfoJson(folder / "glasgow-unrouted.kicad_pcb")["board"];
    const json routed = InfoJson(folder / "glasgow.kicad_pcb")["board"];
    EXPECT_EQ(unrouted["footprints"], routed["footprints"]);
    EXPECT_EQ(unrouted["nets"], routed["nets"]);
    EXPECT_EQ(unrouted["tracks"], 0);
    EXPECT_GT(unrouted["islands"].get<double>(), 2.0 * unrouted["nets"].get<double>());
    EXPECT_GT(unrouted["ratsnest_length_mm"], 0.0);
    EXPECT_GT(unrouted["crossovers"], 0);
    // Routed: copper joins each net's pads, so about one island per net.
    EXPECT_GT(routed["tracks"], 0);
    EXPECT_LE(routed["islands"].get<double>(), 1.05 * routed["nets"].get<double>());
    EXPECT_LT(routed["connections"].get<double>(), 0.05 * unrouted["connections"].get<double>());
}

TEST(Info, TextOutputShowsTheLengthInBothUnits) {
    const fs::path board = SharedProjectFolder("glasgow.kicad_pro") / "glasgow-unrouted.kicad_pcb";
    const TRun r = Permutor({"info", board.string()});
    ASSERT_EQ(r.Code, 0) << r.Err;
    for (const char* word : {"footprints", "copper islands", "ratsnest length", " mm (", " in)",
                             "proper crossings", "schematic components", "with swap data", "Elapsed"})
        EXPECT_NE(r.Out.find(word), std::string::npos) << word;
}

TEST(Info, ASchematicAloneHasNoBoardFigures) {
    TTempFolder folder;
    const fs::path source = SharedProjectFolder("pico-ice.kicad_pro");
    // The sheet by itself, without the project beside it: a free document.
    fs::copy_file(source / "pico-ice.kicad_sch", folder.Path() / "alone.kicad_sch");
    const json doc = InfoJson(folder.Path() / "alone.kicad_sch");
    EXPECT_FALSE(doc.contains("board"));
    EXPECT_GT(doc["project"]["components"], 0);
}
