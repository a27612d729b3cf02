// The window of the component list: every component with its swap information, the button
// "Configure Component...", the check box that hides components without swap information, and
// OK/Cancel. It shows an IComponentListState and forwards every action to it.
#pragma once

#include "permutor/dialogs/DialogState.h"

#include <QDialog>

#include <memory>

class QCheckBox;
class QMenu;
class QPushButton;

namespace permutor::dialogs::qt {

class TGridView;
class TSnapshotSource;

class TComponentListDialog : public QDialog {
    Q_OBJECT
public:
    explicit TComponentListDialog(IComponentListState& state, QWidget* parent = nullptr);
    ~TComponentListDialog() override;

    TGridView& Grid() const { return *FGrid; }
    QPushButton& ConfigureButton() const { return *FConfigure; }
    QCheckBox& SwappableOnlyCheck() const { return *FSwappableOnly; }
    QPushButton& OKButton() const { return *FOK; }
    QPushButton& CancelButton() const { return *FCancel; }
    // The grid's popup menu for the current selection, as a right click shows it.
    std::unique_ptr<QMenu> BuildPopupMenu();

    // Reads the state again after an action: rows, ticks, texts and the commands' availability.
    void RefreshFromState();

public slots:
    void accept() override;
    void reject() override;

private:
    void SelectionToState();
    void UpdateCommands();
    void Run(TListCommand command);
    void ShowPopupMenu(const QPoint& position);

    IComponentListState& FState;
    std::unique_ptr<TSnapshotSource> FSource;
    TGridView* FGrid = nullptr;
    QPushButton* FConfigure = nullptr;
    QCheckBox* FSwappableOnly = nullptr;
    QPushButton* FOK = nullptr;
    QPushButton* FCancel = nullptr;
    bool FRefreshing = false;
};

} // namespace permutor::dialogs::qt
