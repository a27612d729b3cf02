// The ends of the range of board formats we read: KiCad 5 boards are refused with a message that
// says what to do; KiCad 9 numbers its copper layers anew and they still map by stack order.
#include "pcbhost/kicad/SExpr.h"
#include "pcbhost/model/Host.h"
#include "pcbhost/project/BoardFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace pcbhost;
using namespace pcbhost::kicad;

namespace {

class BoardText : public ::testing::Test {
protected:
    void SetUp() override {
        FPath = fs::temp_directory_path() / ("permutor-format-" + std::to_string(::getpid()) + ".kicad_pcb");
    }
    void TearDown() override { fs::remove(FPath); }
    // Writes the board and reads it into a fresh host; the error's text when it is refused, else "".
    std::string Load(const std::string& text) {
        std::ofstream(FPath, std::ios::binary) << text;
        FHost = std::make_unique<THost>();
        FBoard = &FHost->AddFreeBoard(FPath.string()).Model();
        try {
            TBoardFile file(FPath.string(), *FBoard);
        } catch (const sexpr::ParseError& e) {
            return e.what();
        }
        return {};
    }
    fs::path FPath;
    std::unique_ptr<THost> FHost;
    TBoard* FBoard = nullptr;
};

} // namespace

TEST_F(BoardText, KicadFiveBoardsAreRefusedWithWhatToDo) {
    {
        const std::string error = Load("(kicad_pcb (version 20171130) (host pcbnew 5.1.9)\n"
                                       "  (layers (0 F.Cu signal) (31 B.Cu signal))\n"
                                       "  (module R_0603 (layer F.Cu) (at 1 2))\n)\n");
        EXPECT_EQ(error, FPath.string() +
                             ":1:12: this board was saved by a KiCad older than 6.0; open and save it in "
                             "KiCad 6 or later first");
    }
    {
        // A KiCad 5 footprint inside a newer board is refused where it stands.
        const std::string error = Load("(kicad_pcb (version 20211014)\n"
                                       "  (layers (0 \"F.Cu\" signal) (31 \"B.Cu\" signal))\n"
                                       "  (module R_0603 (layer F.Cu) (at 1 2))\n)\n");
        EXPECT_EQ(error, FPath.string() +
                             ":3:3: footprints in the KiCad 5 format are not supported; save the board in "
                             "KiCad 6 or later");
    }
}

TEST_F(BoardText, KicadNineLayerNumbersMapByStackOrder) {
    // KiCad 9 gives F.Cu 0, B.Cu 2 and the inner layers 4, 6, ...; the table lists them in stack
    // order and our layers follow that order, not the numbers.
    const std::string error =
        Load("(kicad_pcb\n\t(version 20241229)\n"
             "\t(layers\n\t\t(0 \"F.Cu\" signal)\n\t\t(4 \"In1.Cu\" signal)\n"
             "\t\t(6 \"In2.Cu\" signal \"GND plane\")\n\t\t(2 \"B.Cu\" signal)\n"
             "\t\t(25 \"Edge.Cuts\" user)\n\t)\n"
             "\t(net 0 \"\")\n\t(net 1 \"A\")\n"
             "\t(segment (start 0 0) (end 1 0) (width 0.2) (layer \"In2.Cu\") (net 1))\n"
             "\t(via (at 1 0) (size 0.6) (drill 0.3) (layers \"In1.Cu\" \"B.Cu\") (net 1))\n"
             "\t(embedded_fonts no)\n)\n");
    ASSERT_EQ(error, "");
    const TV6_Layer mid2 = TV6_Layer(eV6_MidLayer1 + 1);
    EXPECT_EQ(FBoard->CopperLayerList(),
              (std::vector<TV6_Layer>{eV6_TopLayer, eV6_MidLayer1, mid2, eV6_BottomLayer}));
    TPcbNet* net = FBoard->FindNet("A");
    ASSERT_NE(net, nullptr);
    bool segmentSeen = false, viaSeen = false;
    for (TPrimitive* p : net->Members()) {
        if (p->Kind() == eTrackObject) {
            segmentSeen = true;
            EXPECT_EQ(p->LayerValue(), mid2);
        } else if (auto* via = dynamic_cast<TVia*>(p)) {
            viaSeen = true;
            EXPECT_EQ(via->StartLayer(), eV6_MidLayer1);
            EXPECT_EQ(via->StopLayer(), eV6_BottomLayer);
        }
    }
    EXPECT_TRUE(segmentSeen && viaSeen);
    EXPECT_EQ(net->Islands().size(), 1u) << "the via joins the track on In2.Cu";
}

TEST_F(BoardText, ArcsWithTheirMiddleOnTheChordAreStraightTracks) {
    // KiCad keeps such arcs (tiny router fillets); a circle through them has no centre.
    const std::string error =
        Load("(kicad_pcb\n\t(version 20241229)\n"
             "\t(layers\n\t\t(0 \"F.Cu\" signal)\n\t\t(2 \"B.Cu\" signal)\n\t)\n"
             "\t(net 0 \"\")\n\t(net 1 \"A\")\n\t(net 2 \"B\")\n\t(net 3 \"C\")\n\t(net 4 \"D\")\n"
             "\t(arc (start 152.543346 103.630414) (mid 152.54203 103.629894) (end "
             "152.540714 103.629373) (width 0.3) (layer \"F.Cu\") (net 1))\n"
             "\t(arc (start 0 0) (mid 0.001 1) (end 0 2) (width 0.3) (layer \"F.Cu\") (net 2))\n"
             "\t(arc (start 0 0) (mid 0.0001 1) (end 0 2) (width 0.3) (layer \"F.Cu\") (net 3))\n"
             "\t(arc (start 0 30.48) (mid 0.0127 30.49270254) (end 0.0254 30.5054) (width 0.1) "
             "(layer \"F.Cu\") (net 4))\n"
             "\t(arc (start 0 10) (mid 1 11) (end 0 12) (width 0.3) (layer \"F.Cu\") (net 2))\n"
             ")\n");
    ASSERT_EQ(error, "");
    const auto kinds = [&](const char* name) {
        std::vector<TObjectId> found;
        for (TPrimitive* p : FBoard->FindNet(name)->Members())
            found.push_back(p->Kind());
        return found;
    };
    EXPECT_EQ(kinds("A"), std::vector<TObjectId>{eTrackObject}) << "on the chord";
    // 1 micrometre off a 2 mm chord: a circle of 0.5 m, an arc.
    EXPECT_EQ(kinds("B"), (std::vector<TObjectId>{eArcObject, eArcObject}));
    // 0.1 micrometre off: a circle of 5 m, more than board coordinates reach; straight.
    EXPECT_EQ(kinds("C"), std::vector<TObjectId>{eTrackObject});
    // A short arc whose middle is 0.7 board units off its chord: straight copper at our resolution.
    EXPECT_EQ(kinds("D"), std::vector<TObjectId>{eTrackObject});
}
