// An ITableSource over one list of a dialog state. The state answers whole vectors (bands,
// columns, rows), so they are read once per refresh and kept; edits go back to the state by the
// row's record, and the caller refreshes afterwards.
#pragma once

#include "permutor/dialogs/qt/TableSource.h"

#include <functional>
#include <vector>

namespace permutor::dialogs::qt {

class TSnapshotSource : public ITableSource {
public:
    struct THooks {
        std::function<std::vector<TDialogBand>()> Bands;
        std::function<std::vector<TDialogColumn>()> Columns;
        std::function<std::vector<TDialogRow>()> Rows;
        std::function<bool(int record, int column, bool checked)> SetCheck;
        std::function<bool(int record, int column, const std::string& text)> SetText;
    };

    explicit TSnapshotSource(THooks hooks);

    // Reads bands, columns and rows from the state again.
    void Refresh();

    int Record(int row) const;
    // The row showing a record; -1 when it is not listed.
    int RowOfRecord(int record) const;
    const TDialogRow& Row(int row) const { return FRows.at(row); }

    int RowCount() const override { return static_cast<int>(FRows.size()); }
    int ColumnCount() const override { return static_cast<int>(FColumns.size()); }
    TDialogColumn Column(int column) const override;
    int BandCount() const override { return static_cast<int>(FBands.size()); }
    TDialogBand Band(int band) const override;
    std::string Text(int row, int column) const override;
    TSwapStatusIcon Icon(int row, int column) const override;
    TCheckState Check(int row, int column) const override;
    bool CellEditable(int row, int column) const override;
    void SetChecked(int row, int column, bool checked) override;
    bool SetText(int row, int column, const std::string& text) override;

private:
    const TDialogCell* Cell(int row, int column) const;
    // How deep a tree row sits (0 for a top-level row or a grid row).
    int Depth(int row) const;

    THooks FHooks;
    std::vector<TDialogBand> FBands;
    std::vector<TDialogColumn> FColumns;
    std::vector<TDialogRow> FRows;
};

} // namespace permutor::dialogs::qt
