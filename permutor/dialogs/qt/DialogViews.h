// The desktop views of the configuration dialogs: each Show call opens the Qt window over the
// state and runs it modally.
#pragma once

#include "permutor/dialogs/DialogState.h"

namespace permutor::dialogs::qt {

class TQtDialogViews : public IDialogViews {
public:
    TQtDialogViews();
    bool ShowComponentList(IComponentListState& state) override;
    bool ShowComponentSwap(IComponentSwapState& state) override;
};

} // namespace permutor::dialogs::qt
