// The window that edits one component's swap groups: the pages "Pin Swapping", "Differential
// Pair Swapping" and "Part Swapping", the pin filter, the pair mode, the FPGA import and
// OK/Cancel. It shows an IComponentSwapState and forwards every action to it.
#pragma once

#include "permutor/dialogs/DialogState.h"

#include <QDialog>

#include <array>
#include <memory>

class QComboBox;
class QMenu;
class QPushButton;
class QTabWidget;

namespace permutor::dialogs::qt {

class TGridView;
class TSnapshotSource;

class TComponentSwapDialog : public QDialog {
    Q_OBJECT
public:
    explicit TComponentSwapDialog(IComponentSwapState& state, QWidget* parent = nullptr);
    ~TComponentSwapDialog() override;

    TGridView& Grid(TSwapList list) const { return *FGrids[static_cast<int>(list)]; }
    QTabWidget& Pages() const { return *FPages; }
    QComboBox& FilterCombo() const { return *FFilter; }
    QComboBox& PairModeCombo() const { return *FPairMode; }
    QPushButton& ImportButton() const { return *FImport; }
    QPushButton& OKButton() const { return *FOK; }
    QPushButton& CancelButton() const { return *FCancel; }
    // A list's popup menu for its current selection, as a right click shows it.
    std::unique_ptr<QMenu> BuildPopupMenu(TSwapList list);

    // Reads every list and control again after an action.
    void RefreshFromState();

public slots:
    void accept() override;
    void reject() override;

private:
    TGridView* MakeGrid(TSwapList list);
    void SelectionToState(TSwapList list);
    void RefreshList(TSwapList list);
    void UpdateControls();
    void ShowPopupMenu(TSwapList list, const QPoint& position);

    IComponentSwapState& FState;
    std::array<std::unique_ptr<TSnapshotSource>, 4> FSources;
    std::array<TGridView*, 4> FGrids{};
    QTabWidget* FPages = nullptr;
    QPushButton* FImport = nullptr;
    QComboBox* FFilter = nullptr;
    QComboBox* FPairMode = nullptr;
    QPushButton* FOK = nullptr;
    QPushButton* FCancel = nullptr;
    bool FRefreshing = false;
};

} // namespace permutor::dialogs::qt
