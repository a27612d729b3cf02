// The desktop window of the stand-in host: a board view with its layers, the module's commands
// in a menu and toolbar (enabled as the module says), undo and redo of each change step, saving
// with everything the command line writes beside the board, the messages panel and the figures
// of the last command as docks.
#pragma once

#include "pcbhost/gui/BoardView.h"
#include "pcbhost/gui/DesktopUI.h"
#include "pcbhost/gui/Document.h"

#include <QMainWindow>

#include <map>
#include <memory>
#include <string>

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace pcbhost::gui {

class TMainWindow : public QMainWindow {
    Q_OBJECT
public:
    // `modulePath` empty: the module beside the program.
    explicit TMainWindow(const std::string& modulePath = {});
    ~TMainWindow() override;

    // Opens a project or board; shows what went wrong and returns false when it cannot.
    bool OpenPath(const QString& path);
    // Runs a module command as its menu entry does.
    void RunCommand(const std::string& command);
    // Saves; false (after saying why) when nothing or not everything could be written.
    bool SaveDocument();
    void UndoStep();
    void RedoStep();
    // Asks whether to save unsaved work; false when the user cancels.
    bool MaybeSave();

    TDocument* Document() const { return FDocument.get(); }
    TBoardView* View() const { return FView; }
    TBoardScene* Scene() const { return FScene; }
    TDesktopUI& UI() const { return *FUI; }
    QAction* CommandAction(const std::string& command) const;
    QAction* UndoAction() const { return FUndo; }
    QAction* RedoAction() const { return FRedo; }
    QAction* SaveAction() const { return FSave; }
    QTreeWidget* MessageList() const { return FMessages; }
    QTableWidget* FiguresTable() const { return FFigures; }
    QLabel* HoverLabel() const { return FHover; }
    bool Busy() const { return FBusy; }
    // Selects the board objects a message names (double click on it).
    void SelectFromMessage(QTreeWidgetItem* item);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildActions();
    void BuildDocks();
    void UpdateActions();
    void UpdateTitle();
    void UpdateFigures();
    void UpdateLayers();
    // Lists the module's panel lines and the host's notes added since the last call.
    void ShowNewMessages();
    void AddMessage(const QString& cls, const QString& source, const QString& document, const QString& text,
                    const QString& probe = {});
    void AfterChange();
    void ShowHover(QPointF at);
    void OpenDialog();
    void AddRecent(const QString& path);
    void FillRecentMenu();

    std::string FModulePath;
    TBoardScene* FScene;
    TBoardView* FView;
    IPtr<TDesktopUI> FUI;
    std::unique_ptr<TDocument> FDocument;
    std::map<std::string, QAction*> FCommands;
    QAction *FOpen = nullptr, *FSave = nullptr, *FUndo = nullptr, *FRedo = nullptr, *FFit = nullptr;
    QAction *FZoomIn = nullptr, *FZoomOut = nullptr;
    QMenu *FRecentMenu = nullptr, *FLayersMenu = nullptr;
    QTreeWidget* FMessages = nullptr;
    QTableWidget* FFigures = nullptr;
    QLabel* FFiguresCaption = nullptr;
    QListWidget* FLayerList = nullptr;
    QLabel* FHover = nullptr;
    std::size_t FPanelShown = 0;
    bool FBusy = false;
};

} // namespace pcbhost::gui
