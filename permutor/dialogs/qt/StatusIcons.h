// The status icons of swap information: modified, added, removed. Painted, not loaded, so the
// plug-in carries no image files.
#pragma once

#include "permutor/dialogs/DialogState.h"

#include <QColor>
#include <QIcon>

namespace permutor::dialogs::qt {

QIcon StatusIcon(TSwapStatusIcon icon);
// The colour an icon is painted in (amber, green, red); invalid for none.
QColor StatusIconColor(TSwapStatusIcon icon);

} // namespace permutor::dialogs::qt
