#include "permutor/dialogs/qt/DrivenViews.h"

#include "permutor/dialogs/qt/ComponentListDialog.h"
#include "permutor/dialogs/qt/ComponentSwapDialog.h"

#include "permutor/dialogs/qt/GridView.h"
#include "permutor/dialogs/qt/PopupMenu.h"

#include <QApplication>
#include <QItemSelectionModel>

namespace permutor::dialogs::qt {

void ProcessPendingEvents() {
    // Twice: work queued by the first round (a refresh after a command) runs in the second.
    for (int round = 0; round < 2; ++round)
        QApplication::processEvents();
}

int SelectRowsWhere(TGridView& grid, const QString& columnCaption,
                    const std::function<bool(const QString&)>& match) {
    const int column = grid.ColumnByCaption(columnCaption);
    if (column < 0)
        return -1;
    QItemSelection selection;
    QModelIndex first;
    for (int row = 0; row < grid.model()->rowCount(); ++row) {
        const QModelIndex index = grid.model()->index(row, column);
        if (!match(index.data().toString().trimmed()))
            continue;
        selection.select(index, index);
        if (!first.isValid())
            first = index;
    }
    grid.setFocus();
    if (first.isValid())
        grid.selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    grid.selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return static_cast<int>(grid.selectionModel()->selectedRows().size());
}

void SelectAllRows(TGridView& grid) {
    grid.setFocus();
    if (grid.model()->rowCount() > 0)
        grid.selectionModel()->setCurrentIndex(grid.model()->index(0, 0), QItemSelectionModel::NoUpdate);
    grid.selectAll();
}

QStringList ColumnTexts(const TGridView& grid, const QString& columnCaption) {
    QStringList texts;
    const int column = grid.ColumnByCaption(columnCaption);
    if (column < 0)
        return texts;
    for (int row = 0; row < grid.model()->rowCount(); ++row)
        texts.append(grid.model()->index(row, column).data().toString().trimmed());
    return texts;
}

bool TriggerMenuPath(QMenu& menu, const QStringList& path) {
    QMenu* current = &menu;
    for (qsizetype step = 0; step < path.size(); ++step) {
        QAction* action = nullptr;
        for (QAction* candidate : current->actions())
            if (!candidate->isSeparator() &&
                QString(candidate->text()).remove(u'&') == QString(path[step]).remove(u'&'))
                action = candidate;
        if (!action || !action->isVisible() || !action->isEnabled())
            return false;
        if (step + 1 == path.size()) {
            action->trigger();
            return true;
        }
        if (!action->menu())
            return false;
        current = action->menu();
    }
    return false;
}

namespace {

template <typename TDialog, typename TState, typename TScript>
bool Drive(TState& state, const TScript& script) {
    TDialog dialog(state, QApplication::activeWindow());
    dialog.show();
    ProcessPendingEvents();
    if (script)
        script(dialog);
    ProcessPendingEvents();
    return dialog.result() == QDialog::Accepted;
}

} // namespace

bool TDrivenDialogViews::ShowComponentList(IComponentListState& state) {
    ++ListShown;
    return Drive<TComponentListDialog>(state, ListScript);
}

bool TDrivenDialogViews::ShowComponentSwap(IComponentSwapState& state) {
    ++SwapShown;
    return Drive<TComponentSwapDialog>(state, SwapScript);
}

} // namespace permutor::dialogs::qt
