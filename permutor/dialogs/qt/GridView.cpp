#include "permutor/dialogs/qt/GridView.h"

#include "permutor/dialogs/qt/BandedHeader.h"
#include "permutor/dialogs/qt/SortProxy.h"
#include "permutor/dialogs/qt/TableModel.h"

#include <QItemSelectionModel>
#include <QProxyStyle>

#include <algorithm>

namespace permutor::dialogs::qt {

namespace {

// Grid lines in a shade of the grid's own colour rather than the style's grey.
class TGridLineStyle : public QProxyStyle {
public:
    QColor Lines;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == QStyle::SH_Table_GridLineColor && Lines.isValid())
            return static_cast<int>(Lines.rgba());
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

TGridView::TGridView(ITableSource& source, QWidget* parent)
    : QTableView(parent), FSource(source), FModel(new TTableModel(source, this)),
      FProxy(new TSortProxy(this)), FHeader(new TBandedHeader(this)) {
    FProxy->setSourceModel(FModel);
    setHorizontalHeader(FHeader);
    setModel(FProxy);
    setSortingEnabled(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    setWordWrap(false);
    setTabKeyNavigation(false);
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    FHeader->setStretchLastSection(true);
    auto* style = new TGridLineStyle;
    style->setParent(this);
    setStyle(style);
    SetBaseColor(palette().color(QPalette::Base));
    ApplyColumnVisibility();
}

void TGridView::SetBaseColor(const QColor& color) {
    FModel->SetBaseColor(color);
    static_cast<TGridLineStyle*>(style())->Lines = TTableModel::Shade(color, 85);
    viewport()->update();
}

void TGridView::Reload() {
    const int sortColumn = FHeader->sortIndicatorSection();
    const Qt::SortOrder order = FHeader->sortIndicatorOrder();
    FModel->Reload();
    ApplyColumnVisibility();
    if (sortColumn >= 0 && sortColumn < FModel->columnCount())
        sortByColumn(sortColumn, order);
}

void TGridView::RefreshCells() {
    FModel->RefreshCells();
    FProxy->invalidate();
    ApplyColumnVisibility();
    viewport()->update();
    FHeader->viewport()->update();
}

void TGridView::ApplyColumnVisibility() {
    for (int column = 0; column < FSource.ColumnCount(); ++column) {
        const TDialogColumn info = FSource.Column(column);
        const bool bandShown =
            info.Band < 0 || info.Band >= FSource.BandCount() || FSource.Band(info.Band).Visible;
        const bool hide = !info.Visible || !bandShown;
        if (FHidden.size() < static_cast<std::size_t>(column + 1))
            FHidden.resize(column + 1, false);
        // A column hidden since the grid was laid out has no width of its own yet. (The header
        // forgets hidden sections when the model resets; hence our own record.)
        if (!hide && FHidden[column]) {
            setColumnHidden(column, false);
            resizeColumnToContents(column);
            setColumnWidth(column, qMin(columnWidth(column) + 8, FWidest));
        }
        setColumnHidden(column, hide);
        FHidden[column] = hide;
    }
}

std::vector<int> TGridView::SelectedSourceRows() const {
    std::vector<std::pair<int, int>> rows; // view row, source row
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.emplace_back(index.row(), FProxy->mapToSource(index).row());
    std::sort(rows.begin(), rows.end());
    std::vector<int> result;
    for (const auto& [view, source] : rows)
        result.push_back(source);
    return result;
}

int TGridView::FocusedSourceRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? FProxy->mapToSource(current).row() : -1;
}

void TGridView::FocusSourceRow(int row) {
    const QModelIndex index = FProxy->mapFromSource(FModel->index(row, 0));
    if (index.isValid())
        setCurrentIndex(index);
}

void TGridView::SelectSourceRows(const std::vector<int>& rows) {
    QItemSelection selection;
    for (const int row : rows) {
        const QModelIndex index = FProxy->mapFromSource(FModel->index(row, 0));
        if (index.isValid())
            selection.select(index, index);
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (!rows.empty())
        selectionModel()->setCurrentIndex(FProxy->mapFromSource(FModel->index(rows.front(), 0)),
                                          QItemSelectionModel::NoUpdate);
}

int TGridView::SourceRowAt(int viewRow) const {
    if (viewRow < 0 || viewRow >= FProxy->rowCount())
        return -1;
    return FProxy->mapToSource(FProxy->index(viewRow, 0)).row();
}

int TGridView::ColumnByCaption(const QString& caption) const {
    for (int column = 0; column < FModel->columnCount(); ++column)
        if (FModel->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString() == caption)
            return column;
    return -1;
}

void TGridView::FitColumns(int widest, int available) {
    FWidest = widest;
    resizeColumnsToContents();
    std::vector<int> widths;
    for (int column = 0; column < FModel->columnCount(); ++column) {
        const int width = qMin(columnWidth(column) + 8, widest);
        setColumnWidth(column, width);
        if (!isColumnHidden(column))
            widths.push_back(width);
    }
    const auto total = [&widths](int cap) {
        int sum = 0;
        for (const int width : widths)
            sum += qMin(width, cap);
        return sum;
    };
    if (available <= 0 || total(widest) <= available)
        return;
    // The largest cap that fits, found by halving; columns narrower than it keep their width.
    int low = 48;
    int high = widest;
    while (low < high) {
        const int middle = (low + high + 1) / 2;
        if (total(middle) <= available)
            low = middle;
        else
            high = middle - 1;
    }
    for (int column = 0; column < FModel->columnCount(); ++column)
        setColumnWidth(column, qMin(columnWidth(column), low));
}

QString TGridView::SaveLayout() const {
    return QString::fromLatin1(FHeader->saveState().toBase64());
}

bool TGridView::RestoreLayout(const QString& text) {
    if (text.isEmpty())
        return false;
    const bool restored = FHeader->restoreState(QByteArray::fromBase64(text.toLatin1()));
    // The source decides which columns exist; a saved layout only orders and sizes them.
    ApplyColumnVisibility();
    return restored;
}

} // namespace permutor::dialogs::qt
