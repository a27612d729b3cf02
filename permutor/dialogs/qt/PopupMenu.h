// Builds a Qt menu from a dialog state's menu description. Choosing an item hands its id back.
#pragma once

#include "permutor/dialogs/DialogState.h"

#include <QMenu>

#include <functional>
#include <vector>

namespace permutor::dialogs::qt {

void FillMenu(QMenu& menu, const std::vector<TMenuItem>& items, const std::function<void(int)>& run);

// The action of `menu` (sub-menus searched too) with this caption, "&" markers ignored; none
// when there is none. Tests and scripts reach menu items by what the user reads.
QAction* FindMenuAction(const QMenu& menu, const QString& caption);

} // namespace permutor::dialogs::qt
