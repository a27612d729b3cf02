#include "pcbhost/gui/DesktopUI.h"

#include "pcbhost/gui/BoardView.h"

#include <QApplication>
#include <QEventLoop>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStatusBar>

#include <algorithm>

namespace pcbhost::gui {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

bool IsCopperDescription(const std::string& description) {
    for (const char* kind : {"Pad ", "Via ", "Track ", "Arc ", "Region "})
        if (description.starts_with(kind))
            return true;
    return false;
}

} // namespace

QString ModuleText(const std::string& text) {
    QString shown = Q(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QChar('\r'), QChar('\n'));
    return shown.trimmed();
}

TDesktopUI::TDesktopUI(QWidget* window, TBoardView* view, QStatusBar* statusBar)
    : FWindow(window), FView(view), FStatusBar(statusBar), FPanelLabel(new QLabel(statusBar)) {
    FStatusBar->addPermanentWidget(FPanelLabel);
    connect(FView, &TBoardView::Clicked, this, [this](QPointF at) {
        if (!FPickLoop)
            return;
        FPicked = true;
        FPickAt = at;
        FPickLoop->quit();
    });
    connect(FView, &TBoardView::CancelRequested, this, [this] { CancelPick(); });
}

TDesktopUI::~TDesktopUI() {
    while (FWaitDepth > 0)
        Cursor_Restore();
}

void TDesktopUI::CancelPick() {
    if (!FPickLoop)
        return;
    FPicked = false;
    FPickLoop->quit();
}

int TDesktopUI::RunModal(QWidget* dialog) {
    // A box over a wait cursor would show the wrong cursor.
    const bool waiting = QApplication::overrideCursor() != nullptr;
    if (waiting)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    emit ModalAboutToShow(dialog);
    int result = 0;
    if (auto* box = qobject_cast<QMessageBox*>(dialog))
        result = box->exec();
    else if (auto* input = qobject_cast<QDialog*>(dialog))
        result = input->exec();
    if (waiting)
        QApplication::restoreOverrideCursor();
    return result;
}

void TDesktopUI::ShowMessage(TMessageBoxKind kind, const std::string& text, const std::string& caption) {
    const QMessageBox::Icon icon = kind == eMessageBox_Error     ? QMessageBox::Critical
                                   : kind == eMessageBox_Warning ? QMessageBox::Warning
                                                                 : QMessageBox::Information;
    QMessageBox box(icon, Q(caption), ModuleText(text), QMessageBox::Ok, FWindow);
    emit MessageShown(Q(caption), ModuleText(text));
    RunModal(&box);
}

TModalResult TDesktopUI::AskQuestion(const std::string& text, const std::string& caption,
                                     TQuestionButtons buttons) {
    const bool okCancel = buttons == eButtons_OKCancel;
    const auto yes = okCancel ? QMessageBox::Ok : QMessageBox::Yes;
    const auto no = okCancel ? QMessageBox::Cancel : QMessageBox::No;
    QMessageBox box(QMessageBox::Question, Q(caption), ModuleText(text), yes | no, FWindow);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    const int answer = RunModal(&box);
    if (okCancel)
        return answer == QMessageBox::Ok ? eModal_OK : eModal_Cancel;
    return answer == QMessageBox::Yes ? eModal_Yes : eModal_No;
}

bool TDesktopUI::ChooseLocation(const std::string& prompt, std::int32_t& x, std::int32_t& y) {
    if (FPickLoop)
        return false;
    // The progress dialog and wait cursor of the work around the pick stay out of the way.
    const bool waiting = QApplication::overrideCursor() != nullptr;
    if (waiting)
        QApplication::setOverrideCursor(Qt::CrossCursor);
    if (FProgressDialog)
        FProgressDialog->hide();
    FPrompt = Q(prompt);
    FStatusBar->showMessage(FPrompt + tr("  (click on the board; Escape or right click cancels)"));
    QEventLoop loop;
    FPickLoop = &loop;
    FPicked = false;
    FView->SetPicking(true);
    emit PickRequested(FPrompt);
    loop.exec();
    FPickLoop = nullptr;
    FView->SetPicking(false);
    FPrompt.clear();
    FStatusBar->clearMessage();
    if (waiting)
        QApplication::restoreOverrideCursor();
    if (FProgressDialog)
        FProgressDialog->show();
    FPickedPad.clear();
    if (!FPicked)
        return false;
    x = ToBoardUnits(FPickAt.x());
    y = ToBoardUnits(FPickAt.y());
    if (TPad* pad = FView->BoardScene()->PadAt(FPickAt)) {
        const std::string owner = pad->OwnerComponent() ? pad->OwnerComponent()->NameText() + "-" : "";
        FPickedPad = "Pad " + owner + pad->Name() + " ";
        // The pad's centre: where the module looks for it, as if the user had hit it exactly.
        x = pad->X();
        y = pad->Y();
    }
    return true;
}

std::int32_t TDesktopUI::ChooseAmong(const std::string& prompt, const std::vector<std::string>& candidates) {
    if (candidates.empty())
        return -1;
    if (!FPickedPad.empty())
        for (std::size_t i = 0; i < candidates.size(); ++i)
            if (candidates[i].starts_with(FPickedPad))
                return std::int32_t(i);
    if (std::count_if(candidates.begin(), candidates.end(), IsCopperDescription) == 1)
        return std::int32_t(std::find_if(candidates.begin(), candidates.end(), IsCopperDescription) -
                            candidates.begin());
    QInputDialog dialog(FWindow);
    dialog.setWindowTitle(tr("Choose an object"));
    dialog.setLabelText(Q(prompt));
    QStringList items;
    for (const auto& c : candidates)
        items << Q(c);
    dialog.setComboBoxItems(items);
    dialog.setComboBoxEditable(false);
    if (RunModal(&dialog) != QDialog::Accepted)
        return -1;
    return std::int32_t(items.indexOf(dialog.textValue()));
}

void TDesktopUI::Cursor_SetWait() {
    if (FWaitDepth++ == 0)
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TDesktopUI::Cursor_Restore() {
    if (FWaitDepth > 0 && --FWaitDepth == 0)
        QApplication::restoreOverrideCursor();
}

void TDesktopUI::Status_Begin() {
    ++FStatusDepth;
}

void TDesktopUI::Status_Text(const std::string& text) {
    FStatusBar->showMessage(Q(text));
    if (FProgressDialog)
        FProgressDialog->setLabelText(FProgress.back().Caption + "\n" + Q(text));
}

void TDesktopUI::Status_End() {
    if (FStatusDepth > 0 && --FStatusDepth == 0)
        FStatusBar->clearMessage();
}

void TDesktopUI::StatusBar_SetPanelText(std::int32_t, const std::string& text) {
    FPanelLabel->setText(Q(text));
}

void TDesktopUI::ClearPanelText() {
    FPanelLabel->clear();
}

void TDesktopUI::Progress_Begin(const std::string& caption, std::int32_t total) {
    FProgress.push_back({Q(caption), std::max<std::int32_t>(total, 0), 0});
    ShowProgress();
}

void TDesktopUI::ShowProgress() {
    if (FProgress.empty()) {
        FProgressDialog.reset();
        return;
    }
    if (!FProgressDialog) {
        FProgressDialog = std::make_unique<QProgressDialog>(FWindow);
        FProgressDialog->setWindowModality(Qt::WindowModal);
        FProgressDialog->setMinimumDuration(300);
        FProgressDialog->setAutoReset(false);
        FProgressDialog->setAutoClose(false);
        // Cancel is the abort key: the module sees it at its next poll and asks what to keep.
        connect(FProgressDialog.get(), &QProgressDialog::canceled, this, [this] {
            FAbortPressed = true;
            FProgressDialog->reset();
        });
    }
    const TProgress& p = FProgress.back();
    FProgressDialog->setWindowTitle(p.Caption);
    FProgressDialog->setLabelText(p.Caption);
    // A display without a total shows a busy bar.
    FProgressDialog->setRange(0, p.Total > 0 ? int(std::min<std::int64_t>(p.Total, 1 << 30)) : 0);
    FProgressDialog->setValue(int(std::min(p.Done, p.Total)));
}

void TDesktopUI::Progress_Step(std::int32_t steps) {
    if (FProgress.empty())
        return;
    TProgress& p = FProgress.back();
    p.Done += steps;
    if (FProgressDialog && p.Total > 0)
        FProgressDialog->setValue(int(std::min(p.Done, p.Total)));
}

void TDesktopUI::Progress_End() {
    if (FProgress.empty())
        return;
    FProgress.pop_back();
    ShowProgress();
}

void TDesktopUI::ProcessMessages() {
    // Repaints and the progress dialog's Cancel; the window's own commands are off while work runs.
    QApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool TDesktopUI::AbortKey_Pressed() {
    ProcessMessages();
    return std::exchange(FAbortPressed, false);
}

void TDesktopUI::Highlight_Show(const std::vector<std::uintptr_t>& objects) {
    FView->BoardScene()->SetHighlight(objects);
    emit HighlightChanged();
}

void TDesktopUI::View_Redraw() {
    FView->BoardScene()->RefreshRatsnest();
    FView->viewport()->update();
}

void TDesktopUI::Preview_ShowPins(std::uintptr_t, const std::string& pinNames) {
    QString joined = Q(pinNames).simplified();
    FStatusBar->showMessage(tr("Pins: %1").arg(joined));
}

} // namespace pcbhost::gui
