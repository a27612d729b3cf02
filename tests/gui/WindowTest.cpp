// The desktop window as a user drives it: open the example, run the commands from their actions,
// pick pads with mouse clicks, answer the boxes, undo, redo and save; the files written are read
// back by a fresh host.
#include "WindowFixture.h"

#include <QLabel>
#include <QTableWidget>
#include <QTreeWidget>

#include <fstream>

namespace pcbhost::gui::test {
namespace {

TEST_F(TWindowTest, OpensTheExampleAndDrawsEveryLayerWithTheRatsnest) {
    ASSERT_TRUE(Open());
    TBoardScene* scene = Window->Scene();
    QStringList layers;
    for (const auto& layer : scene->Layers())
        layers << layer.Name;
    EXPECT_EQ(layers, (QStringList{"F.Cu", "B.Cu", "Through-hole pads and vias", "Ratsnest"}));
    const auto figures = Window->Document()->Figures();
    EXPECT_GT(figures.Connections, 0);
    EXPECT_EQ(scene->RatsnestLineCount(), std::size_t(figures.Connections));
    // The view fits the copper: the pads' extent with a small margin.
    QRectF pads;
    for (TPcbComponent* component : Window->Document()->Board()->ComponentList())
        for (TPad* pad : component->Pads())
            pads |= QRectF(ToSceneMM(double(pad->X())), ToSceneMM(double(pad->Y())), 0.001, 0.001);
    EXPECT_TRUE(pads.adjusted(-10, -10, 10, 10).contains(scene->BoardRect()));
    EXPECT_TRUE(scene->BoardRect().contains(pads));
    EXPECT_TRUE(Window->View()->mapToScene(Window->View()->viewport()->rect()).boundingRect().contains(pads));
    EXPECT_TRUE(Window->windowTitle().startsWith("demo[*]"));
    EXPECT_FALSE(Window->isWindowModified());
    EXPECT_FALSE(Window->SaveAction()->isEnabled());
    EXPECT_FALSE(Window->UndoAction()->isEnabled());

    // Commands as the module's state says: the swap commands on, the external tool's pin command
    // only with a pin in context.
    EXPECT_TRUE(Window->CommandAction("RunAutoPermutor")->isEnabled());
    EXPECT_TRUE(Window->CommandAction("RunManualPermutor")->isEnabled());
    EXPECT_FALSE(Window->CommandAction("KESTRELPinSwap")->isEnabled());

    // The pad under the cursor, with its net; a hidden layer hides its pads from the cursor too.
    QTest::mouseMove(Window->View()->viewport(), PointOf("U1", "A1"));
    EXPECT_TRUE(Window->HoverLabel()->text().startsWith("U1  pad A1  net /B0_IO0"))
        << Window->HoverLabel()->text().toStdString();
    const QPointF centre(ToSceneMM(double(Pad("U1", "A1")->X())), ToSceneMM(double(Pad("U1", "A1")->Y())));
    ASSERT_EQ(scene->PadAt(centre), Pad("U1", "A1"));
    scene->SetLayerVisible(Pad("U1", "A1")->IsThroughHole() ? cLayer_ThroughHole : eV6_TopLayer, false);
    EXPECT_EQ(scene->PadAt(centre), nullptr);

    // Zoom about the cursor and back to the whole board.
    const double fitted = Window->View()->Zoom();
    QTest::mouseMove(Window->View()->viewport(), PointOf("U1", "A1"));
    Window->View()->ZoomBy(2);
    EXPECT_NEAR(Window->View()->Zoom(), fitted * 2, fitted * 1e-6);
    Window->View()->Fit();
    EXPECT_NEAR(Window->View()->Zoom(), fitted, fitted * 1e-6);
}

TEST_F(TWindowTest, ClickingTwoPadsOfABankSwapsThemAndUndoRedoFollow) {
    ASSERT_TRUE(Open());
    const double before = Figure(0, 1).toDouble();
    QueueClick("U1", "A1");
    QueueClick("U1", "H2");
    Window->CommandAction("RunManualPermutor")->trigger();
    ASSERT_GE(Prompts.size(), 3) << "two picks, then the next one is cancelled with Escape";
    EXPECT_FALSE(Window->UI().WaitingForPick());
    EXPECT_FALSE(Window->Busy());

    EXPECT_EQ(NetOf("U1", "A1"), "/B0_IO15");
    EXPECT_EQ(NetOf("U1", "H2"), "/B0_IO0");
    const QStringList texts = MessageTexts();
    const auto line = std::find_if(texts.begin(), texts.end(), [](const QString& t) {
        return t.startsWith("Interactive Pin-Swap:U1-A1(/B0_IO0) With U1-H2(/B0_IO15)");
    });
    ASSERT_NE(line, texts.end()) << texts.join("\n").toStdString();
    EXPECT_TRUE(Window->isWindowModified());
    EXPECT_TRUE(Window->UndoAction()->isEnabled());
    EXPECT_FALSE(Window->RedoAction()->isEnabled());
    EXPECT_LT(Figure(0, 1).toDouble(), Figure(0, 0).toDouble()) << "the figures show the shorter ratsnest";
    EXPECT_DOUBLE_EQ(Figure(0, 0).toDouble(), before);
    EXPECT_TRUE(RatsnestShownIsCurrent());

    // A double click on the message line selects the two pads it names.
    Window->SelectFromMessage(Window->MessageList()->topLevelItem(int(line - texts.begin())));
    std::vector<TPrimitive*> selected = Window->Scene()->Highlighted();
    EXPECT_EQ(selected.size(), 2u);
    EXPECT_NE(std::find(selected.begin(), selected.end(), Pad("U1", "H2")), selected.end());

    Window->UndoAction()->trigger();
    EXPECT_EQ(NetOf("U1", "A1"), "/B0_IO0");
    EXPECT_EQ(NetOf("U1", "H2"), "/B0_IO15");
    EXPECT_FALSE(Window->isWindowModified()) << "back at the state as opened";
    EXPECT_TRUE(RatsnestShownIsCurrent());
    ASSERT_TRUE(Window->RedoAction()->isEnabled());
    Window->RedoAction()->trigger();
    EXPECT_EQ(NetOf("U1", "A1"), "/B0_IO15");
    EXPECT_TRUE(RatsnestShownIsCurrent());
    EXPECT_TRUE(Window->isWindowModified());
}

TEST_F(TWindowTest, OptimisingShowsFiguresBeforeAndAfterAndUndoesAsOneStep) {
    ASSERT_TRUE(Open());
    const auto opened = Window->Document()->Figures();
    AnswerCaption["Confirm Iterative Optimizer?"] = QMessageBox::No;
    Window->CommandAction("RunAutoPermutor")->trigger();
    EXPECT_TRUE(Boxes.filter("Results From Net/Pin Optimization").size() == 1)
        << Boxes.join("\n").toStdString();
    const auto optimised = Window->Document()->Figures();
    EXPECT_LT(optimised.RatsnestLength, opened.RatsnestLength);
    EXPECT_EQ(Figure(0, 0), QString::number(opened.RatsnestLengthMM(), 'f', 2));
    EXPECT_EQ(Figure(0, 1), QString::number(optimised.RatsnestLengthMM(), 'f', 2));
    EXPECT_EQ(Figure(2, 1).toLongLong(), optimised.CrossOvers);
    EXPECT_TRUE(Window->isWindowModified());

    Window->UndoAction()->trigger();
    EXPECT_DOUBLE_EQ(Window->Document()->Figures().RatsnestLength, opened.RatsnestLength);
    EXPECT_FALSE(Window->UndoAction()->isEnabled()) << "the whole run is one step";
    Window->RedoAction()->trigger();
    EXPECT_DOUBLE_EQ(Window->Document()->Figures().RatsnestLength, optimised.RatsnestLength);
}

TEST_F(TWindowTest, GateSwapIsSavedWithItsSchematicAndSwapReportAndReadsBack) {
    ASSERT_TRUE(Open());
    const std::string gateA = NetOf("U2", "1"), gateB = NetOf("U2", "4");
    QueueClick("U2", "1");
    QueueClick("U2", "4");
    Window->CommandAction("RunManualPartSwapper")->trigger();
    EXPECT_TRUE(MessageTexts().filter("U2(1) With U2(2)").size() == 1)
        << MessageTexts().join("\n").toStdString();
    EXPECT_EQ(NetOf("U2", "1"), gateB);
    EXPECT_EQ(NetOf("U2", "4"), gateA);

    const auto boardTime = fs::last_write_time(Dir / "demo.kicad_pcb");
    ASSERT_TRUE(Window->SaveDocument());
    EXPECT_FALSE(Window->isWindowModified());
    EXPECT_FALSE(Window->SaveAction()->isEnabled());
    EXPECT_NE(fs::last_write_time(Dir / "demo.kicad_pcb"), boardTime);
    EXPECT_TRUE(fs::exists(Dir / "demo.kicad_pcb.bak"));
    EXPECT_TRUE(fs::exists(Dir / "demo.kicad_sch.bak")) << "the schematic follows the board";
    EXPECT_TRUE(MessageTexts().filter("wrote ").size() >= 2) << MessageTexts().join("\n").toStdString();

    // A fresh host reads what was written.
    TMainWindow reader(PERMUTOR_MODULE_PATH);
    ASSERT_TRUE(reader.OpenPath(QString::fromStdString((Dir / "demo.kicad_pro").string())));
    TBoard* board = reader.Document()->Board();
    EXPECT_EQ(board->FindComponent("U2")->FindPad("1")->OwnerNet()->Name(), gateB);
    EXPECT_EQ(board->FindComponent("U2")->FindPad("4")->OwnerNet()->Name(), gateA);
    EXPECT_FALSE(reader.isWindowModified());

    // Undoing the saved change makes the window modified again.
    Window->UndoAction()->trigger();
    EXPECT_TRUE(Window->isWindowModified());
}

TEST_F(TWindowTest, ClosingAsksBeforeDroppingWorkAndABadFileKeepsTheOpenProject) {
    ASSERT_TRUE(Open());
    QueueClick("U1", "A1");
    QueueClick("U1", "H2");
    Window->CommandAction("RunManualPermutor")->trigger();
    ASSERT_TRUE(Window->isWindowModified());

    AnswerCaption["Unsaved changes"] = QMessageBox::Cancel;
    EXPECT_FALSE(Window->close());
    EXPECT_TRUE(Window->isVisible());
    EXPECT_EQ(Boxes.filter("Unsaved changes").size(), 1);

    // Opening another file asks the same; a file that cannot be read says why and changes nothing.
    std::ofstream(Dir / "broken.kicad_pcb") << "(kicad_pcb (version 20221018) (net 0 \"\")\n";
    AnswerCaption["Unsaved changes"] = QMessageBox::Discard;
    EXPECT_FALSE(Window->OpenPath(QString::fromStdString((Dir / "broken.kicad_pcb").string())));
    const QStringList errors = Boxes.filter("Cannot open");
    ASSERT_EQ(errors.size(), 1) << Boxes.join("\n").toStdString();
    EXPECT_TRUE(errors.front().contains("broken.kicad_pcb")) << errors.front().toStdString();
    EXPECT_EQ(NetOf("U1", "A1"), "/B0_IO15") << "the open project is kept with its changes";

    AnswerCaption["Unsaved changes"] = QMessageBox::Discard;
    EXPECT_TRUE(Window->close());
    EXPECT_EQ(fs::exists(Dir / "demo.kicad_pcb.bak"), false) << "discarding writes nothing";
}

} // namespace
} // namespace pcbhost::gui::test
