// The configuration dialogs' Qt windows over the real dialog logic, on a copy of the example
// project in the stand-in host: the configuration command starts as a desktop host starts it,
// and each window is clicked through as a person would (selection, popup menus, buttons).
#include "permutor/dialogs/ConfigureEntry.h"
#include "permutor/dialogs/DialogViewsLoader.h"
#include "permutor/dialogs/qt/BandedHeader.h"
#include "permutor/dialogs/qt/ComponentListDialog.h"
#include "permutor/dialogs/qt/ComponentSwapDialog.h"
#include "permutor/dialogs/qt/DrivenViews.h"
#include "permutor/dialogs/qt/GridView.h"
#include "permutor/dialogs/qt/PopupMenu.h"
#include "permutor/dialogs/qt/SnapshotSource.h"
#include "permutor/dialogs/qt/SortProxy.h"
#include "permutor/dialogs/qt/TableModel.h"
#include "permutor/host/Services.h"

#include "pcbhost/project/KicadProject.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace permutor::dialogs;
using namespace permutor::dialogs::qt;

namespace {

// The visible captions of a menu, separators as "-", sub-menus with their items in brackets.
QStringList MenuCaptions(const QMenu& menu) {
    QStringList captions;
    for (QAction* action : menu.actions()) {
        if (!action->isVisible())
            continue;
        if (action->isSeparator())
            captions.append("-");
        else
            captions.append(action->text());
    }
    return captions;
}

// The text of a cell in the row whose `keyCaption` column reads `key`.
QString CellOf(const TGridView& grid, const QString& keyCaption, const QString& key, const QString& caption) {
    const int keyColumn = grid.ColumnByCaption(keyCaption);
    const int column = grid.ColumnByCaption(caption);
    for (int row = 0; row < grid.model()->rowCount(); ++row)
        if (grid.model()->index(row, keyColumn).data().toString().trimmed() == key)
            return grid.model()->index(row, column).data().toString();
    return "<no row " + key + ">";
}

QModelIndex IndexOf(const TGridView& grid, const QString& designator, const QString& caption) {
    const int keyColumn = grid.ColumnByCaption("Designator");
    for (int row = 0; row < grid.model()->rowCount(); ++row)
        if (grid.model()->index(row, keyColumn).data().toString().trimmed() == designator)
            return grid.model()->index(row, grid.ColumnByCaption(caption));
    return {};
}

bool SelectDesignator(TGridView& grid, const QString& designator) {
    return SelectRowsWhere(grid, "Designator", [&](const QString& text) { return text == designator; }) == 1;
}

// The swap texts a component's schematic symbol holds now: pin, part, pair.
std::array<std::string, 3> SwapTexts(const pcbhost::kicad::TKicadProject& project, const char* reference) {
    std::array<std::string, 3> texts{"<no symbol>", "", ""};
    if (const auto* symbol = project.FindSymbol(reference))
        pcbhost::kicad::SwapFields_Compose(*symbol, texts[0], texts[1], texts[2]);
    return texts;
}

class DialogWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Folder =
            fs::temp_directory_path() / ("permutor-qtdlg-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Folder);
        fs::create_directories(Folder / "options");
        fs::copy(fs::path(PERMUTOR_SOURCE_DIR) / "examples/demo", Folder / "demo",
                 fs::copy_options::recursive);
        Open();
    }
    void TearDown() override {
        DialogViews_Install(nullptr);
        permutor::host::Client_Set(nullptr);
        Project.reset();
        Host.reset();
        fs::remove_all(Folder);
    }
    // A fresh host over the same copy and the same option storage (a new session).
    void Open() {
        permutor::host::Client_Set(nullptr);
        Project.reset();
        pcbhost::THostSettings settings;
        settings.OptionsDirectory = (Folder / "options").string();
        Host = std::make_unique<pcbhost::THost>(settings);
        Host->UI().SetDesktopUI(true);
        Project = pcbhost::kicad::TKicadProject::Open(*Host, (Folder / "demo/demo.kicad_pro").string());
        permutor::host::Client_Set(Host->Client().get());
        DialogViews_Install(&Views);
    }
    bool Configure() { return ConfigurePinSwap_Run(Project->BoardPath(), "", ""); }
    pcbhost::TScriptedUI& UI() { return Host->UI(); }

    fs::path Folder;
    std::unique_ptr<pcbhost::THost> Host;
    std::unique_ptr<pcbhost::kicad::TKicadProject> Project;
    TDrivenDialogViews Views;
};

TEST_F(DialogWindowsTest, ListWindowShowsTheComponentsInBandsWithTheirCommands) {
    bool ran = false;
    Views.ListScript = [&](TComponentListDialog& dialog) {
        ran = true;
        EXPECT_EQ(dialog.windowTitle(), "Configure Swapping Information In Components");
        EXPECT_EQ(dialog.size(), QSize(1016, 555));
        TGridView& grid = dialog.Grid();
        // Bands over the columns, the board's band shown (started from the board).
        const QAbstractItemModel& model = grid.Model();
        QStringList bands;
        for (int c = 0; c < model.columnCount(); ++c) {
            EXPECT_FALSE(grid.isColumnHidden(c)) << c;
            const QString band = model.headerData(c, Qt::Horizontal, BandCaptionRole).toString();
            if (bands.isEmpty() || bands.last() != band)
                bands.append(band);
        }
        EXPECT_EQ(bands, (QStringList{"Component Information", "Configure in Schematic", "Enable in PCB"}));
        EXPECT_EQ(grid.Header().BandRect(grid.ColumnByCaption("Designator")),
                  grid.Header().BandRect(grid.ColumnByCaption("Parts")));
        // Sorted ascending on "Pin Swap Data" at first.
        EXPECT_EQ(grid.horizontalHeader()->sortIndicatorSection(), grid.ColumnByCaption("Pin Swap Data"));
        EXPECT_EQ(grid.horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);
        // The example's components; the BGA's pin data and the NAND's part data read from the
        // schematic, with the board's switches as check boxes. Shades by band.
        const QStringList designators = ColumnTexts(grid, "Designator");
        EXPECT_TRUE(designators.contains("U1") && designators.contains("U2") && designators.contains("J1"))
            << designators.join(",").toStdString();
        EXPECT_TRUE(CellOf(grid, "Designator", "U1", "Pin Swap Data").startsWith("(")) << "U1 pin data";
        EXPECT_TRUE(CellOf(grid, "Designator", "U2", "Part Swap Data").startsWith("(")) << "U2 part data";
        EXPECT_EQ(CellOf(grid, "Designator", "J1", "Pin Swap Data"), "");
        EXPECT_TRUE(IndexOf(grid, "U1", "Pin Swap").data(Qt::CheckStateRole).isValid());
        EXPECT_FALSE(IndexOf(grid, "J1", "Pin Swap").data(Qt::CheckStateRole).isValid());
        const QColor base = grid.Model().BaseColor();
        EXPECT_EQ(IndexOf(grid, "U1", "Comment").data(Qt::BackgroundRole).value<QColor>(),
                  TTableModel::Shade(base, 92));
        EXPECT_EQ(IndexOf(grid, "U1", "Part Swap Data").data(Qt::BackgroundRole).value<QColor>(),
                  TTableModel::Shade(base, 97));
        EXPECT_EQ(IndexOf(grid, "U1", "Pin Swap Data").data(Qt::BackgroundRole).value<QColor>(), base);

        // The popup menu in its order; the configure command wants exactly one row.
        ASSERT_TRUE(SelectDesignator(grid, "U1"));
        EXPECT_TRUE(dialog.ConfigureButton().isEnabled());
        const QStringList menu = MenuCaptions(*dialog.BuildPopupMenu());
        EXPECT_EQ(
            menu,
            (QStringList{
                "Copy Pin-Swap Information", "Copy Part-Swap Information", "-", "Paste Pin-Swap Information",
                "Paste Part-Swap Information", "-", "Enable Pin-Swapping for All Components",
                "Disable Pin-Swapping for All Components", "-", "Enable Part-Swapping for All Components",
                "Disable Part-Swapping for All Components", "-",
                "Enable Pin-Swapping for Selected Components", "Disable Pin-Swapping for Selected Components",
                "-", "Enable Part-Swapping for Selected Components",
                "Disable Part-Swapping for Selected Components", "-", "Configure Component..."}));
        EXPECT_EQ(
            SelectRowsWhere(grid, "Designator", [](const QString& t) { return t == "U1" || t == "U2"; }), 2);
        EXPECT_FALSE(dialog.ConfigureButton().isEnabled());
        EXPECT_FALSE(FindMenuAction(*dialog.BuildPopupMenu(), "Copy Pin-Swap Information")->isEnabled());

        // Only components with swap information: the connectors leave, the two chips stay.
        const int all = grid.model()->rowCount();
        dialog.SwappableOnlyCheck().click();
        EXPECT_EQ(ColumnTexts(grid, "Designator").size(), 2);
        EXPECT_LT(grid.model()->rowCount(), all);
        dialog.SwappableOnlyCheck().click();
        EXPECT_EQ(grid.model()->rowCount(), all);

        // Nothing changed: Cancel closes without asking.
        dialog.CancelButton().click();
        EXPECT_FALSE(dialog.isVisible());
    };
    EXPECT_FALSE(Configure());
    EXPECT_TRUE(ran);
    EXPECT_TRUE(UI().Questions().empty());
    EXPECT_TRUE(UI().Boxes().empty());
}

TEST_F(DialogWindowsTest, GatesPinsByBankAndAPairMadeInTheWindowsAreWrittenOnOK) {
    const std::string nandBefore = SwapTexts(*Project, "U2")[1];
    ASSERT_NE(nandBefore.find("NAND"), std::string::npos) << nandBefore;
    int opened = 0;
    Views.SwapScript = [&](TComponentSwapDialog& dialog) {
        ++opened;
        if (dialog.windowTitle().contains("U2")) {
            // The quad NAND: its gates out of their group, then all four into a new one.
            dialog.Pages().setCurrentIndex(static_cast<int>(TSwapPage::ePage_Parts));
            EXPECT_FALSE(dialog.FilterCombo().isVisible());
            EXPECT_FALSE(dialog.PairModeCombo().isVisible());
            TGridView& subParts = dialog.Grid(TSwapList::eSwapList_SubParts);
            SelectAllRows(subParts);
            ASSERT_TRUE(TriggerMenuPath(*dialog.BuildPopupMenu(TSwapList::eSwapList_SubParts),
                                        {"Remove From Part-Swap Group"}));
            ProcessPendingEvents();
            EXPECT_EQ(ColumnTexts(subParts, "Part Group").join(","), ",,,,");
            // The four gates (not the power unit U2E) into a new group: the first number free.
            ASSERT_EQ(
                SelectRowsWhere(subParts, "Name", [](const QString& n) { return n >= "U2A" && n <= "U2D"; }),
                4);
            ASSERT_TRUE(TriggerMenuPath(*dialog.BuildPopupMenu(TSwapList::eSwapList_SubParts),
                                        {"Add To Part-Swap Group", "&New"}));
            ProcessPendingEvents();
            for (const char* gate : {"U2A", "U2B", "U2C", "U2D"})
                EXPECT_EQ(CellOf(subParts, "Name", gate, "Part Group"), "1") << gate;
            EXPECT_EQ(CellOf(subParts, "Name", "U2E", "Part Group"), "");
            // The pins of the selected gates stand on the right.
            EXPECT_GE(dialog.Grid(TSwapList::eSwapList_PartPins).model()->rowCount(), 12);
        } else {
            ASSERT_TRUE(dialog.windowTitle().contains("U1")) << dialog.windowTitle().toStdString();
            EXPECT_EQ(dialog.size(), QSize(1158, 625));
            // The BGA: every pin into the group of its IO bank.
            dialog.Pages().setCurrentIndex(static_cast<int>(TSwapPage::ePage_Pins));
            TGridView& pins = dialog.Grid(TSwapList::eSwapList_Pins);
            SelectAllRows(pins);
            ASSERT_TRUE(TriggerMenuPath(*dialog.BuildPopupMenu(TSwapList::eSwapList_Pins),
                                        {"Assign Pin-Swap Groups By", "IO Bank #"}));
            ProcessPendingEvents();
            EXPECT_EQ(CellOf(pins, "Designator", "A1", "Pin Group"),
                      CellOf(pins, "Designator", "A1", "IO Bank #"));
            EXPECT_FALSE(CellOf(pins, "Designator", "A1", "Pin Group").isEmpty());
            // A pair of its own: two pins in a new pair group, in the mode that lists single pins.
            dialog.Pages().setCurrentIndex(static_cast<int>(TSwapPage::ePage_Pairs));
            EXPECT_TRUE(dialog.PairModeCombo().isVisibleTo(&dialog));
            dialog.PairModeCombo().setCurrentIndex(0);
            ProcessPendingEvents();
            TGridView& pairs = dialog.Grid(TSwapList::eSwapList_Pairs);
            EXPECT_TRUE(pairs.isColumnHidden(1)); // "Designator 1"
            EXPECT_EQ(pairs.Model().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "Designator");
            ASSERT_EQ(
                SelectRowsWhere(pairs, "Designator", [](const QString& t) { return t == "A1" || t == "A2"; }),
                2);
            ASSERT_TRUE(TriggerMenuPath(*dialog.BuildPopupMenu(TSwapList::eSwapList_Pairs),
                                        {"Add To Pair-Swap Group", "&New"}));
            ProcessPendingEvents();
            const QString pairGroup = CellOf(pairs, "Designator", "A1", "Pair Group");
            EXPECT_FALSE(pairGroup.isEmpty());
            EXPECT_EQ(CellOf(pairs, "Designator", "A2", "Pair Group"), pairGroup);
            // The FPGA's pairs: the second pin's columns come back, wide enough to read.
            dialog.PairModeCombo().setCurrentIndex(2);
            ProcessPendingEvents();
            EXPECT_FALSE(pairs.isColumnHidden(1));
            EXPECT_EQ(pairs.Model().headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
                      "Designator 1");
            EXPECT_GE(pairs.columnWidth(1), pairs.fontMetrics().horizontalAdvance("Designator 1"));
            EXPECT_EQ(CellOf(pairs, "Designator 0", "G7", "Designator 1"), "G8");
        }
        dialog.OKButton().click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    };
    Views.ListScript = [&](TComponentListDialog& dialog) {
        TGridView& grid = dialog.Grid();
        for (const char* ref : {"U2", "U1"}) {
            ASSERT_TRUE(SelectDesignator(grid, ref));
            dialog.ConfigureButton().click();
            ProcessPendingEvents();
        }
        // Both come back marked as modified.
        EXPECT_EQ(IndexOf(grid, "U2", "Part Swap Data").data(IconKindRole).toInt(),
                  static_cast<int>(TSwapStatusIcon::eIcon_Modified));
        EXPECT_EQ(IndexOf(grid, "U1", "Pin Swap Data").data(IconKindRole).toInt(),
                  static_cast<int>(TSwapStatusIcon::eIcon_Modified));
        EXPECT_EQ(IndexOf(grid, "J1", "Pin Swap Data").data(IconKindRole).toInt(),
                  static_cast<int>(TSwapStatusIcon::eIcon_None));
        dialog.OKButton().click();
    };
    EXPECT_TRUE(Configure());
    EXPECT_EQ(opened, 2);
    // OK asked once, for both components.
    ASSERT_EQ(UI().Questions().size(), 1u);
    EXPECT_EQ(UI().Questions()[0].Caption, "Confirm Update Schmatic Sheets?");
    EXPECT_EQ(UI().Questions()[0].Text.rfind("2 Components have been modified.", 0), 0u)
        << UI().Questions()[0].Text;

    // What the logic holds now: the schematic's fields.
    const auto [u2Pins, nand, u2Pairs] = SwapTexts(*Project, "U2");
    EXPECT_NE(nand, nandBefore);
    EXPECT_NE(nand.find("Part_1=1"), std::string::npos) << nand;
    EXPECT_EQ(nand.find("NAND"), std::string::npos) << nand;
    const auto [bga, u1Parts, pairs] = SwapTexts(*Project, "U1");
    EXPECT_NE(bga.find("Pin_A1=0"), std::string::npos) << bga;
    EXPECT_EQ(bga.find("BANK"), std::string::npos) << bga;
    EXPECT_NE(pairs.find("Pair_A1="), std::string::npos) << pairs;
    EXPECT_NE(pairs.find("Pair_A2="), std::string::npos) << pairs;
}

TEST_F(DialogWindowsTest, CancelAfterAChangeAsksAndNoKeepsTheWindowOpen) {
    const bool switchBefore = Project->Board()->FindComponent("U1")->PinSwappingEnabled();
    Views.ListScript = [&](TComponentListDialog& dialog) {
        TGridView& grid = dialog.Grid();
        const QModelIndex tick = IndexOf(grid, "U1", "Pin Swap");
        ASSERT_TRUE(tick.isValid());
        const bool was = tick.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        ASSERT_TRUE(grid.model()->setData(tick, was ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole));
        ProcessPendingEvents();
        EXPECT_EQ(IndexOf(grid, "U1", "Pin Swap").data(Qt::CheckStateRole).toInt() == Qt::Checked, !was);

        UI().QueueAnswer(permutor::host::eModal_No);
        dialog.CancelButton().click();
        EXPECT_TRUE(dialog.isVisible());
        ASSERT_EQ(UI().Questions().size(), 1u);
        EXPECT_EQ(UI().Questions()[0].Caption, "Confirm Abandon Changes?");
        EXPECT_EQ(UI().Questions()[0].Text,
                  "1 Component has been modified.\r\rAre you sure that you want to lose these changes?");
        // Escape is Cancel too: asked again, and Yes closes.
        UI().QueueAnswer(permutor::host::eModal_Yes);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(UI().Questions().size(), 2u);
    };
    EXPECT_FALSE(Configure());
    EXPECT_EQ(Project->Board()->FindComponent("U1")->PinSwappingEnabled(), switchBefore);
    EXPECT_EQ(Views.ListShown, 1);
}

TEST_F(DialogWindowsTest, ColumnLayoutAndTheSwappableOnlyChoiceAreKeptForTheNextSession) {
    Views.ListScript = [&](TComponentListDialog& dialog) {
        TGridView& grid = dialog.Grid();
        grid.sortByColumn(grid.ColumnByCaption("Designator"), Qt::DescendingOrder);
        grid.setColumnWidth(grid.ColumnByCaption("Comment"), 211);
        dialog.SwappableOnlyCheck().click();
        ASSERT_TRUE(SelectDesignator(grid, "U1"));
        dialog.ConfigureButton().click();
        dialog.OKButton().click();
    };
    Views.SwapScript = [&](TComponentSwapDialog& dialog) {
        TGridView& pins = dialog.Grid(TSwapList::eSwapList_Pins);
        // "IO Bank #" sorts descending at first.
        EXPECT_EQ(pins.horizontalHeader()->sortIndicatorSection(), pins.ColumnByCaption("IO Bank #"));
        EXPECT_EQ(pins.horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
        pins.sortByColumn(pins.ColumnByCaption("Pin Name"), Qt::AscendingOrder);
        // A column hidden with "Show/Hide Columns...".
        ASSERT_TRUE(TriggerMenuPath(*dialog.BuildPopupMenu(TSwapList::eSwapList_Pins),
                                    {"Show/Hide Columns...", "Bus"}));
        ProcessPendingEvents();
        EXPECT_TRUE(pins.isColumnHidden(pins.ColumnByCaption("Bus")));
        dialog.OKButton().click();
    };
    EXPECT_TRUE(Configure());
    EXPECT_EQ(Views.SwapShown, 1);

    Open();
    bool checked = false;
    Views.ListScript = [&](TComponentListDialog& dialog) {
        TGridView& grid = dialog.Grid();
        checked = true;
        EXPECT_TRUE(dialog.SwappableOnlyCheck().isChecked());
        EXPECT_EQ(ColumnTexts(grid, "Designator"), (QStringList{"U2", "U1"}));
        EXPECT_EQ(grid.horizontalHeader()->sortIndicatorSection(), grid.ColumnByCaption("Designator"));
        EXPECT_EQ(grid.horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
        EXPECT_EQ(grid.columnWidth(grid.ColumnByCaption("Comment")), 211);
        ASSERT_TRUE(SelectDesignator(grid, "U1"));
        dialog.ConfigureButton().click();
        dialog.CancelButton().click();
    };
    Views.SwapScript = [&](TComponentSwapDialog& dialog) {
        TGridView& pins = dialog.Grid(TSwapList::eSwapList_Pins);
        EXPECT_EQ(pins.horizontalHeader()->sortIndicatorSection(), pins.ColumnByCaption("Pin Name"));
        EXPECT_TRUE(pins.isColumnHidden(pins.ColumnByCaption("Bus")));
        dialog.CancelButton().click();
    };
    EXPECT_FALSE(Configure());
    EXPECT_TRUE(checked);
}

} // namespace
