// The grid parts every dialog window shares, over a small table: banded header, natural sorting,
// incremental search, shades and icons, check boxes and typed cells handed to the source.
#include "permutor/dialogs/qt/BandedHeader.h"
#include "permutor/dialogs/qt/GridView.h"
#include "permutor/dialogs/qt/SortProxy.h"
#include "permutor/dialogs/qt/StatusIcons.h"
#include "permutor/dialogs/qt/TableModel.h"

#include <QApplication>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

using namespace permutor::dialogs;
using namespace permutor::dialogs::qt;

namespace {

// Three bands over six columns; a check column whose first cell has no box; one typed column.
class TSmallTable : public ITableSource {
public:
    std::vector<std::vector<std::string>> Cells = {
        {"U10", "NAND", "4/4", "", "x", "A"},
        {"U2", "BGA", "1/1", "", "", "B"},
        {"u3", "Resistor", "2/4", "", "", "C"},
        {"U9", "Buffer", "1/4", "", "", "D"},
    };
    std::vector<bool> Ticks = {false, true, false, true};
    std::vector<TDialogColumn> Columns = {
        {"Des", "Designator", 0, TColumnKind::eColumn_Text, false, true, 92, {}},
        {"Com", "Comment", 0, TColumnKind::eColumn_Text, false, true, 92, {}},
        {"Par", "Parts", 0, TColumnKind::eColumn_Text, false, true, 92, {}},
        {"Pin", "Pin Swap", 2, TColumnKind::eColumn_Check, true, true, 100, {}},
        {"Data", "Pin Swap Data", 1, TColumnKind::eColumn_Text, false, true, 97, {}},
        {"Grp", "Pin Group", 1, TColumnKind::eColumn_Text, true, true, 100, {}},
    };
    std::vector<std::string> Typed;

    int RowCount() const override { return static_cast<int>(Cells.size()); }
    int ColumnCount() const override { return static_cast<int>(Columns.size()); }
    TDialogColumn Column(int c) const override { return Columns[c]; }
    int BandCount() const override { return 3; }
    TDialogBand Band(int b) const override {
        static const char* captions[] = {"Component Information", "Configure in Schematic", "Enable in PCB"};
        return {captions[b], true};
    }
    std::string Text(int r, int c) const override { return Cells[r][c]; }
    TSwapStatusIcon Icon(int r, int c) const override {
        return c == 4 && r == 0 ? TSwapStatusIcon::eIcon_Added : TSwapStatusIcon::eIcon_None;
    }
    TCheckState Check(int r, int c) const override {
        if (c != 3 || r == 0)
            return TCheckState::eCheck_None;
        return Ticks[r] ? TCheckState::eCheck_Checked : TCheckState::eCheck_Unchecked;
    }
    bool CellEditable(int r, int c) const override { return (c == 3 && r != 0) || c == 5; }
    void SetChecked(int r, int, bool on) override { Ticks[r] = on; }
    bool SetText(int r, int c, const std::string& text) override {
        Typed.push_back(text);
        Cells[r][c] = text;
        return true;
    }
};

QStringList ColumnInViewOrder(const TGridView& grid, int column) {
    QStringList texts;
    for (int row = 0; row < grid.model()->rowCount(); ++row)
        texts.append(grid.model()->index(row, column).data().toString());
    return texts;
}

} // namespace

TEST(GridWidgets, NaturalOrderComparesNumbersByValueAndLettersWithoutCase) {
    EXPECT_LT(NaturalCompare("U9", "U10"), 0);
    EXPECT_GT(NaturalCompare("U10", "U9"), 0);
    EXPECT_LT(NaturalCompare("1/4", "2/4"), 0);
    EXPECT_LT(NaturalCompare("A2", "a10"), 0);
    EXPECT_LT(NaturalCompare("pin", "Pin2"), 0);
    EXPECT_LT(NaturalCompare("", "A"), 0);
    EXPECT_LT(NaturalCompare("B7", "B007x"), 0);
    EXPECT_EQ(NaturalCompare("IO_CLK", "IO_CLK"), 0);
    // Equal but for case still orders one way, so sorting is repeatable.
    EXPECT_NE(NaturalCompare("u3", "U3"), 0);
    EXPECT_EQ(NaturalCompare("u3", "U3") < 0, NaturalCompare("U3", "u3") > 0);
}

TEST(GridWidgets, SortingIsNaturalAndChecksSortByState) {
    TSmallTable table;
    TGridView grid(table);
    grid.sortByColumn(0, Qt::AscendingOrder);
    EXPECT_EQ(ColumnInViewOrder(grid, 0), (QStringList{"U2", "u3", "U9", "U10"}));
    grid.sortByColumn(0, Qt::DescendingOrder);
    EXPECT_EQ(ColumnInViewOrder(grid, 0), (QStringList{"U10", "U9", "u3", "U2"}));
    // No box first, then clear boxes, then ticked ones; equal cells keep the previous order, so
    // the designators stay descending among the ticked ones: a sort on two columns.
    grid.sortByColumn(3, Qt::AscendingOrder);
    EXPECT_EQ(ColumnInViewOrder(grid, 0), (QStringList{"U10", "u3", "U9", "U2"}));
    grid.sortByColumn(0, Qt::AscendingOrder);
    grid.sortByColumn(3, Qt::AscendingOrder);
    EXPECT_EQ(ColumnInViewOrder(grid, 0), (QStringList{"U10", "u3", "U2", "U9"}));
    // The tie-breaking column keeps its own direction under a descending lead.
    grid.sortByColumn(3, Qt::DescendingOrder);
    EXPECT_EQ(ColumnInViewOrder(grid, 0), (QStringList{"U2", "U9", "u3", "U10"}));
    grid.sortByColumn(0, Qt::AscendingOrder);
    grid.sortByColumn(3, Qt::AscendingOrder);
    EXPECT_EQ(grid.SourceRowAt(0), 0);
    EXPECT_EQ(grid.SourceRowAt(3), 3);
    EXPECT_EQ(grid.SourceRowAt(4), -1);
}

TEST(GridWidgets, IncrementalSearchJumpsToTheFirstRowStartingWithTheTypedText) {
    TSmallTable table;
    TGridView grid(table);
    grid.sortByColumn(0, Qt::AscendingOrder);
    grid.show();
    grid.setFocus();
    grid.setCurrentIndex(grid.model()->index(0, 0));
    QTest::keyClicks(&grid, "U1");
    EXPECT_EQ(grid.FocusedSourceRow(), 0); // U10
    grid.keyboardSearch(QString());        // a pause in typing starts a new search
    QTest::keyClick(&grid, Qt::Key_Escape);
    grid.setCurrentIndex(grid.model()->index(0, 1));
    grid.keyboardSearch("res");
    EXPECT_EQ(grid.FocusedSourceRow(), 2); // Resistor, found without regard to case
}

TEST(GridWidgets, HeaderDrawsOneBandCaptionOverItsColumnsAndKeepsBandsWhole) {
    TSmallTable table;
    TGridView grid(table);
    grid.resize(900, 300);
    grid.show();
    TBandedHeader& header = grid.Header();
    EXPECT_GE(header.sizeHint().height(), 2 * header.fontMetrics().height());
    EXPECT_EQ(header.BandOf(0), 0);
    EXPECT_EQ(header.BandOf(3), 2);
    // The band over Designator spans the three information columns, and only them.
    const QRect band = header.BandRect(1);
    EXPECT_EQ(band.left(), header.sectionViewportPosition(0));
    EXPECT_EQ(band.right() + 1, header.sectionViewportPosition(2) + header.sectionSize(2));
    EXPECT_EQ(header.BandRect(0), band);
    // A hidden column in the middle does not split its band.
    grid.setColumnHidden(1, true);
    EXPECT_EQ(header.BandRect(0).right() + 1, header.sectionViewportPosition(2) + header.sectionSize(2));
    grid.setColumnHidden(1, false);

    // Moving a column within its band is kept; into another band it is undone.
    header.moveSection(0, 2);
    EXPECT_EQ(header.logicalIndex(2), 0);
    header.moveSection(2, 0);
    header.moveSection(0, 4); // Designator between the schematic band's columns
    EXPECT_EQ(header.logicalIndex(0), 0);
    EXPECT_EQ(header.BandColumns(0), (QList<int>{0, 1, 2}));
    header.moveSection(3, 0);            // the PCB column into the middle of nowhere else: before band 0
    EXPECT_EQ(header.visualIndex(3), 0); // a whole band of one column may move to the front
    header.moveSection(0, 3);
    header.moveSection(4, 1); // a schematic column into the information band: undone
    EXPECT_EQ(header.visualIndex(4), 4);

    // The painted header shows the band caption once, centred over the band.
    const QImage image = header.grab().toImage();
    EXPECT_EQ(image.height(), header.height());
}

TEST(GridWidgets, CellsCarryShadesIconsChecksAndHandTheirEditsToTheSource) {
    TSmallTable table;
    TGridView grid(table);
    grid.SetBaseColor(QColor(200, 100, 50));
    TTableModel& model = grid.Model();
    EXPECT_EQ(model.index(0, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(184, 92, 46));
    EXPECT_EQ(model.index(0, 4).data(Qt::BackgroundRole).value<QColor>(), QColor(194, 97, 48));
    EXPECT_EQ(model.index(0, 5).data(Qt::BackgroundRole).value<QColor>(), QColor(200, 100, 50));
    EXPECT_EQ(grid.style()->styleHint(QStyle::SH_Table_GridLineColor, nullptr, &grid),
              static_cast<int>(QColor(170, 85, 42).rgba()));

    EXPECT_EQ(model.index(0, 4).data(IconKindRole).toInt(), static_cast<int>(TSwapStatusIcon::eIcon_Added));
    EXPECT_FALSE(model.index(0, 4).data(Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(model.index(1, 4).data(Qt::DecorationRole).isValid());

    // A cell without a box has none and cannot be ticked; the others can.
    EXPECT_FALSE(model.index(0, 3).data(Qt::CheckStateRole).isValid());
    EXPECT_FALSE(model.flags(model.index(0, 3)) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model.setData(model.index(0, 3), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(model.index(1, 3).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_TRUE(model.flags(model.index(2, 3)) & Qt::ItemIsUserCheckable);
    EXPECT_TRUE(model.setData(model.index(2, 3), Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(table.Ticks[2]);
    // Typed text reaches the source; read-only cells refuse it.
    EXPECT_TRUE(model.flags(model.index(1, 5)) & Qt::ItemIsEditable);
    EXPECT_TRUE(model.setData(model.index(1, 5), " 7 ", Qt::EditRole));
    EXPECT_EQ(table.Typed, (std::vector<std::string>{" 7 "}));
    EXPECT_FALSE(model.flags(model.index(1, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model.setData(model.index(1, 0), "X", Qt::EditRole));
    EXPECT_EQ(table.Cells[1][0], "U2");
}

TEST(GridWidgets, StatusIconsDifferInColourAndTheLayoutSurvivesARoundTrip) {
    const QImage modified = StatusIcon(TSwapStatusIcon::eIcon_Modified).pixmap(16, 16).toImage();
    const QImage added = StatusIcon(TSwapStatusIcon::eIcon_Added).pixmap(16, 16).toImage();
    const QImage removed = StatusIcon(TSwapStatusIcon::eIcon_Removed).pixmap(16, 16).toImage();
    // The disc's colour at its rim: amber, green, red.
    EXPECT_GT(QColor(modified.pixel(8, 2)).red(), QColor(modified.pixel(8, 2)).blue() + 100);
    EXPECT_GT(QColor(added.pixel(8, 2)).green(), QColor(added.pixel(8, 2)).red() + 50);
    EXPECT_GT(QColor(removed.pixel(8, 2)).red(), QColor(removed.pixel(8, 2)).green() + 100);
    EXPECT_TRUE(StatusIcon(TSwapStatusIcon::eIcon_None).isNull());

    TSmallTable table;
    QString saved;
    {
        TGridView grid(table);
        grid.setColumnWidth(1, 173);
        grid.Header().moveSection(0, 1);
        grid.sortByColumn(2, Qt::DescendingOrder);
        saved = grid.SaveLayout();
    }
    TGridView again(table);
    EXPECT_FALSE(again.RestoreLayout(QString()));
    ASSERT_TRUE(again.RestoreLayout(saved));
    EXPECT_EQ(again.columnWidth(1), 173);
    EXPECT_EQ(again.Header().logicalIndex(0), 1);
    EXPECT_EQ(again.Header().sortIndicatorSection(), 2);
    EXPECT_EQ(again.Header().sortIndicatorOrder(), Qt::DescendingOrder);
}
