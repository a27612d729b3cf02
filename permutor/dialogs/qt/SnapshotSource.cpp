#include "permutor/dialogs/qt/SnapshotSource.h"

#include <utility>

namespace permutor::dialogs::qt {

TSnapshotSource::TSnapshotSource(THooks hooks) : FHooks(std::move(hooks)) {
    Refresh();
}

void TSnapshotSource::Refresh() {
    FBands = FHooks.Bands ? FHooks.Bands() : std::vector<TDialogBand>{};
    FColumns = FHooks.Columns ? FHooks.Columns() : std::vector<TDialogColumn>{};
    FRows = FHooks.Rows ? FHooks.Rows() : std::vector<TDialogRow>{};
}

int TSnapshotSource::Record(int row) const {
    return row >= 0 && row < RowCount() ? FRows[row].Record : -1;
}

int TSnapshotSource::RowOfRecord(int record) const {
    for (int row = 0; row < RowCount(); ++row)
        if (FRows[row].Record == record)
            return row;
    return -1;
}

TDialogColumn TSnapshotSource::Column(int column) const {
    return column >= 0 && column < ColumnCount() ? FColumns[column] : TDialogColumn{};
}

TDialogBand TSnapshotSource::Band(int band) const {
    return band >= 0 && band < BandCount() ? FBands[band] : TDialogBand{};
}

const TDialogCell* TSnapshotSource::Cell(int row, int column) const {
    if (row < 0 || row >= RowCount() || column < 0)
        return nullptr;
    const auto& cells = FRows[row].Cells;
    return column < static_cast<int>(cells.size()) ? &cells[column] : nullptr;
}

int TSnapshotSource::Depth(int row) const {
    int depth = 0;
    int parent = FRows[row].Parent;
    // Bounded by the row count, so a malformed parent chain cannot loop.
    while (parent >= 0 && depth < RowCount()) {
        ++depth;
        const int parentRow = RowOfRecord(parent);
        parent = parentRow >= 0 ? FRows[parentRow].Parent : -1;
    }
    return depth;
}

std::string TSnapshotSource::Text(int row, int column) const {
    const TDialogCell* cell = Cell(row, column);
    if (!cell)
        return {};
    // A tree drawn as a table: children are indented under their parent in the first column.
    if (column == 0 && FRows[row].Parent >= 0)
        return std::string(4 * Depth(row), ' ') + cell->Text;
    return cell->Text;
}

TSwapStatusIcon TSnapshotSource::Icon(int row, int column) const {
    const TDialogCell* cell = Cell(row, column);
    return cell ? cell->Icon : TSwapStatusIcon::eIcon_None;
}

TCheckState TSnapshotSource::Check(int row, int column) const {
    const TDialogCell* cell = Cell(row, column);
    return cell ? cell->Check : TCheckState::eCheck_None;
}

bool TSnapshotSource::CellEditable(int row, int column) const {
    const TDialogCell* cell = Cell(row, column);
    return cell && cell->Editable;
}

void TSnapshotSource::SetChecked(int row, int column, bool checked) {
    if (FHooks.SetCheck && FHooks.SetCheck(Record(row), column, checked))
        FRows[row].Cells[column].Check =
            checked ? TCheckState::eCheck_Checked : TCheckState::eCheck_Unchecked;
}

bool TSnapshotSource::SetText(int row, int column, const std::string& text) {
    return FHooks.SetText && FHooks.SetText(Record(row), column, text);
}

} // namespace permutor::dialogs::qt
