// One grid of the configuration dialogs: a table view over an ITableSource with a banded header,
// natural sorting, multiple selection, incremental search (type the start of a cell's text),
// column shades from the grid's base colour and grid lines in an 85% shade of it.
#pragma once

#include "permutor/dialogs/qt/TableSource.h"

#include <QTableView>

#include <vector>

namespace permutor::dialogs::qt {

class TBandedHeader;
class TSortProxy;
class TTableModel;

class TGridView : public QTableView {
    Q_OBJECT
public:
    TGridView(ITableSource& source, QWidget* parent = nullptr);

    TTableModel& Model() const { return *FModel; }
    TSortProxy& Proxy() const { return *FProxy; }
    TBandedHeader& Header() const { return *FHeader; }

    // Reads the source again: rows and columns may have changed. Sorting is kept.
    void Reload();
    // Repaints the cells after the source changed values only; selection is kept.
    void RefreshCells();
    // Hides the columns the source marks invisible and those of invisible bands.
    void ApplyColumnVisibility();

    // Source rows: the selected ones in view order, and the focused one (-1 without).
    std::vector<int> SelectedSourceRows() const;
    int FocusedSourceRow() const;
    void FocusSourceRow(int row);
    void SelectSourceRows(const std::vector<int>& rows);
    // The source row shown at a view position (-1 past the end).
    int SourceRowAt(int viewRow) const;
    // The view position of a source column caption; -1 when none has it.
    int ColumnByCaption(const QString& caption) const;

    // Widths from captions and contents, each at most `widest`; then, when they need more than
    // `available` pixels together, the widest are narrowed alike until all fit (none below 48).
    void FitColumns(int widest, int available);

    // The column layout (order, widths, sorting) as text for the options storage, and back.
    QString SaveLayout() const;
    bool RestoreLayout(const QString& text);

    void SetBaseColor(const QColor& color);

private:
    ITableSource& FSource;
    TTableModel* FModel;
    TSortProxy* FProxy;
    TBandedHeader* FHeader;
    int FWidest = 240;
    std::vector<bool> FHidden; // per column, as last applied
};

} // namespace permutor::dialogs::qt
