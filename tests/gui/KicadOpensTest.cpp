// The walk-through a designer makes in the window: optimise, swap two pins and two gates by
// clicking, undo, redo, save; KiCad then opens what was saved and finds the board's ratsnest
// where we do and no new net conflict with the schematic.
#include "WindowFixture.h"

#include "Oracle.h"

namespace pcbhost::gui::test {
namespace {

namespace oracle = permutor::test::oracle;

TEST_F(TWindowTest, WhatTheWindowSavesOpensInKicadWithoutNewNetConflicts) {
    ORACLE_REQUIRE_KICAD();
    const std::string board = (Dir / "demo.kicad_pcb").string();
    const auto conflictsBefore = oracle::ParityConflicts(board);
    ASSERT_TRUE(Open());

    AnswerCaption["Confirm Iterative Optimizer?"] = QMessageBox::No;
    Window->CommandAction("RunAutoPermutor")->trigger();
    QueueClick("U1", "A1");
    QueueClick("U1", "H2");
    Window->CommandAction("RunManualPermutor")->trigger();
    QueueClick("U2", "1");
    QueueClick("U2", "4");
    Window->CommandAction("RunManualPartSwapper")->trigger();
    const std::string gateNet = NetOf("U2", "1");
    Window->UndoAction()->trigger();
    EXPECT_NE(NetOf("U2", "1"), gateNet);
    Window->RedoAction()->trigger();
    EXPECT_EQ(NetOf("U2", "1"), gateNet);
    ASSERT_TRUE(Window->SaveDocument());

    std::string why;
    EXPECT_TRUE(oracle::BoardOpens(board, &why)) << why;
    EXPECT_TRUE(oracle::SchematicOpens((Dir / "demo.kicad_sch").string(), &why)) << why;
    EXPECT_EQ(oracle::KicadUnconnectedCount(board), Window->Document()->Figures().Connections);
    EXPECT_EQ(oracle::NewConflicts(conflictsBefore, oracle::ParityConflicts(board), "net_conflict"),
              std::vector<oracle::TParityConflict>{});
}

} // namespace
} // namespace pcbhost::gui::test
