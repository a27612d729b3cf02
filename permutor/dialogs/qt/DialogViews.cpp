#include "permutor/dialogs/qt/DialogViews.h"

#include "permutor/dialogs/qt/ComponentListDialog.h"
#include "permutor/dialogs/qt/ComponentSwapDialog.h"

#include <QApplication>
#include <QScreen>

namespace permutor::dialogs::qt {

namespace {

// The desktop front end owns the application object; a host that loads the views without one
// (a scripted run) gets one made here, once, for the life of the process.
void EnsureApplication() {
    if (QApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "permutor";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    (void)application;
}

// Centred over the window that is active now: the host's main window, or the list dialog when
// the component dialog opens from it.
QWidget* OwnerWindow() {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

template <typename TDialog, typename TState> bool RunModal(TState& state) {
    TDialog dialog(state, OwnerWindow());
    dialog.setWindowModality(Qt::ApplicationModal);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace

TQtDialogViews::TQtDialogViews() {
    EnsureApplication();
}

bool TQtDialogViews::ShowComponentList(IComponentListState& state) {
    return RunModal<TComponentListDialog>(state);
}

bool TQtDialogViews::ShowComponentSwap(IComponentSwapState& state) {
    return RunModal<TComponentSwapDialog>(state);
}

} // namespace permutor::dialogs::qt

extern "C" __attribute__((visibility("default"))) permutor::dialogs::IDialogViews*
permutor_CreateDialogViews() {
    // One set of views per process; the module keeps the pointer and never deletes it.
    static permutor::dialogs::qt::TQtDialogViews views;
    return &views;
}
