// Our ratsnest against KiCad's: on every shared board, routed and unrouted, and on the boards of
// KiCad's own demo projects, the number of connections `permutor info` reports equals the number
// of ratsnest lines KiCad counts on the same file.
#include "CliTestSupport.h"
#include "Oracle.h"

#include <gtest/gtest.h>

using namespace clitest;
namespace oracle = permutor::test::oracle;

namespace {

// KiCad's demo projects, as Debian's kicad-demos installs them.
const fs::path cKicadDemos = "/usr/share/kicad/demos";

// Every demo board our reader loads, but one. Left out: the RoyalBlue54L feather and its NFC
// antenna, which KiCad reads and ours refuses (a parenthesis too many in the feather's teardrop
// settings, an arc of the antenna whose three points lie on one line); and vme-wren, a 70 MB board
// whose ground planes make our island search compare thousands of pads and tracks with polygons of
// thousands of points, longer than a test may take under the sanitizers.
const char* const cDemoBoards[] = {
    "complex_hierarchy/complex_hierarchy.kicad_pcb",
    "custom_pads_test/custom_pads_test.kicad_pcb",
    "ecc83/ecc83-pp.kicad_pcb",
    "ecc83/ecc83-pp_v2.kicad_pcb",
    "flat_hierarchy/flat_hierarchy.kicad_pcb",
    "interf_u/interf_u.kicad_pcb",
    "kit-dev-coldfire-xilinx_5213/kit-dev-coldfire-xilinx_5213.kicad_pcb",
    "microwave/microwave.kicad_pcb",
    "multichannel/multichannel_mixer.kicad_pcb",
    "multichannel/multichannel_mixer-unrouted.kicad_pcb",
    "pic_programmer/pic_programmer.kicad_pcb",
    "sonde xilinx/sonde xilinx.kicad_pcb",
    "stickhub/StickHub.kicad_pcb",
    "test_pads_inside_pads/test_pads_inside_pads.kicad_pcb",
    "test_xil_95108/carte_test.kicad_pcb",
    "tiny_tapeout/tinytapeout-demo.kicad_pcb",
    "video/video.kicad_pcb",
};

std::vector<fs::path> BoardsToCompare() {
    std::vector<fs::path> boards = SharedBoards();
    for (const char* demo : cDemoBoards)
        boards.push_back(cKicadDemos / demo);
    return boards;
}

std::string TestName(const ::testing::TestParamInfo<fs::path>& info) {
    std::string name = info.param.parent_path().filename().string() + "_" + info.param.stem().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

class ConnectionsAgreeWithKicad : public ::testing::TestWithParam<fs::path> {};

} // namespace

TEST_P(ConnectionsAgreeWithKicad, OnTheBoard) {
    ORACLE_REQUIRE_KICAD();
    const fs::path source = GetParam();
    ASSERT_TRUE(fs::exists(source)) << source << " is missing (the demos come with kicad-demos 9)";
    // Both read a copy of the board alone: connectivity needs nothing else, and neither program
    // can leave anything beside the originals.
    TTempFolder folder;
    const fs::path board = folder.Path() / source.filename();
    fs::copy_file(source, board);

    const nlohmann::json info = InfoJson(board);
    ASSERT_TRUE(info.contains("board")) << info.dump(2);
    const std::int64_t ours = info["board"]["connections"];
    const int kicad = oracle::KicadUnconnectedCount(board.string());
    EXPECT_EQ(ours, kicad) << source;
}

INSTANTIATE_TEST_SUITE_P(Boards, ConnectionsAgreeWithKicad, ::testing::ValuesIn(BoardsToCompare()), TestName);
