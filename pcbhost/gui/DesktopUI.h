// The host's user-interface services in the desktop window: message boxes and questions as Qt
// message boxes, "choose location" as a click on the board (Escape or a right click cancels) with
// the module's prompt in the status bar, a choice among objects under the click, a progress dialog
// whose Cancel is the abort key, the module's highlight and status texts.
#pragma once

#include "permutor/host/Host.h"

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QEventLoop;
class QLabel;
class QProgressDialog;
class QStatusBar;
class QWidget;

namespace pcbhost::gui {

using namespace permutor::host;

class TBoardView;

class TDesktopUI : public QObject, public TUnknownImpl<IHostUI> {
    Q_OBJECT
public:
    TDesktopUI(QWidget* window, TBoardView* view, QStatusBar* statusBar);
    ~TDesktopUI() override;

    // Ends a pick that waits (the window closes): it counts as cancelled.
    void CancelPick();
    bool WaitingForPick() const { return FPickLoop != nullptr; }
    // Clears the module's status panel (its text is stale once the command is over).
    void ClearPanelText();
    // The prompt of the pick that waits, else empty.
    const QString& PickPrompt() const { return FPrompt; }

    // ---- IHostUI ----
    bool HasUserInterface() override { return true; }
    bool DesktopUIRunning() override { return true; }
    void ShowMessage(TMessageBoxKind kind, const std::string& text, const std::string& caption) override;
    TModalResult AskQuestion(const std::string& text, const std::string& caption,
                             TQuestionButtons buttons) override;
    bool ChooseLocation(const std::string& prompt, std::int32_t& x, std::int32_t& y) override;
    std::int32_t ChooseAmong(const std::string& prompt, const std::vector<std::string>& candidates) override;
    void Cursor_SetWait() override;
    void Cursor_Restore() override;
    void Status_Begin() override;
    void Status_Text(const std::string& text) override;
    void Status_End() override;
    void StatusBar_SetPanelText(std::int32_t panel, const std::string& text) override;
    void Progress_Begin(const std::string& caption, std::int32_t total) override;
    void Progress_Step(std::int32_t steps) override;
    void Progress_End() override;
    void ProcessMessages() override;
    bool AbortKey_Pressed() override;
    void Highlight_Show(const std::vector<std::uintptr_t>& objects) override;
    void View_Redraw() override;
    void Preview_ShowPins(std::uintptr_t viewHandle, const std::string& pinNames) override;

signals:
    // A modal box or dialog is about to run its own event loop (tests answer it from there).
    void ModalAboutToShow(QWidget* dialog);
    // The host waits for a click on the board.
    void PickRequested(const QString& prompt);
    // A message box was shown: its caption and text, lines joined with "\n".
    void MessageShown(const QString& caption, const QString& text);
    void HighlightChanged();

private:
    int RunModal(QWidget* dialog);
    void ShowProgress();

    QPointer<QWidget> FWindow;
    TBoardView* FView;
    QStatusBar* FStatusBar;
    QLabel* FPanelLabel;
    QEventLoop* FPickLoop = nullptr;
    QString FPrompt;
    bool FPicked = false;
    QPointF FPickAt;
    // The pad under the last click: of several objects there, the one the user meant.
    std::string FPickedPad;
    std::int32_t FWaitDepth = 0, FStatusDepth = 0;
    struct TProgress {
        QString Caption;
        std::int64_t Total = 0, Done = 0;
    };
    std::vector<TProgress> FProgress;
    std::unique_ptr<QProgressDialog> FProgressDialog;
    bool FAbortPressed = false;
};

// Module texts break lines with carriage returns: as a box shows them.
QString ModuleText(const std::string& text);

} // namespace pcbhost::gui
