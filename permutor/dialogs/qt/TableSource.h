// What a grid of the configuration dialogs shows, as the Qt model reads it: columns in bands,
// cell texts, status icons and check boxes. Each dialog's state is adapted to this one shape
// (TSnapshotSource), so that one model, one header and one proxy serve every list.
#pragma once

#include "permutor/dialogs/DialogState.h"

#include <string>

namespace permutor::dialogs::qt {

class ITableSource {
public:
    virtual ~ITableSource() = default;
    virtual int RowCount() const = 0;
    virtual int ColumnCount() const = 0;
    virtual TDialogColumn Column(int column) const = 0;
    virtual int BandCount() const = 0;
    virtual TDialogBand Band(int band) const = 0;
    virtual std::string Text(int row, int column) const = 0;
    virtual TSwapStatusIcon Icon(int, int) const { return TSwapStatusIcon::eIcon_None; }
    virtual TCheckState Check(int, int) const { return TCheckState::eCheck_None; }
    // Whether this cell's text or check box may be changed by the user.
    virtual bool CellEditable(int, int) const { return false; }
    virtual void SetChecked(int, int, bool) {}
    // A typed value; the source may change it (trim it) or refuse it.
    virtual bool SetText(int, int, const std::string&) { return false; }
};

} // namespace permutor::dialogs::qt
