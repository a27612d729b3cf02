// Views that open the real dialog windows but, instead of waiting for a person, hand each window
// to a script that clicks through it (widget tests, the screenshot tool). The window is shown and
// laid out before the script runs; what the script leaves unclosed counts as cancelled.
#pragma once

#include "permutor/dialogs/DialogState.h"

#include <QMenu>
#include <QStringList>

#include <functional>

namespace permutor::dialogs::qt {

class TComponentListDialog;
class TComponentSwapDialog;
class TGridView;

class TDrivenDialogViews : public IDialogViews {
public:
    std::function<void(TComponentListDialog&)> ListScript;
    std::function<void(TComponentSwapDialog&)> SwapScript;
    int ListShown = 0;
    int SwapShown = 0;

    bool ShowComponentList(IComponentListState& state) override;
    bool ShowComponentSwap(IComponentSwapState& state) override;
};

// Selects the rows whose text in the column of that caption passes `match` (and focuses the
// first); answers how many. -1 when no column has that caption.
int SelectRowsWhere(TGridView& grid, const QString& columnCaption,
                    const std::function<bool(const QString&)>& match);
// All rows of the grid.
void SelectAllRows(TGridView& grid);
// The texts of a column in the grid's current order.
QStringList ColumnTexts(const TGridView& grid, const QString& columnCaption);

// Follows captions through a menu's sub-menus ("&" markers ignored) and triggers the last; false
// when an entry is missing, hidden or disabled.
bool TriggerMenuPath(QMenu& menu, const QStringList& path);

// Lets queued work run (menu commands run after their menu closed, edits refresh the window).
void ProcessPendingEvents();

} // namespace permutor::dialogs::qt
