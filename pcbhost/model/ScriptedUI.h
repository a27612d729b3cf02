// User-interface services played from a script: for tests and batch runs. Every box and
// question is recorded; answers, picked points, choices and abort-key presses come from queues
// the caller fills. A terminal or desktop front end implements IHostUI in its own way.
#pragma once

#include "pcbhost/model/DialogPlayer.h"
#include "permutor/host/Host.h"

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace pcbhost {

using namespace permutor::host;

struct TMessageBoxRecord {
    TMessageBoxKind Kind = eMessageBox_Information;
    std::string Text;
    std::string Caption;
};

struct TQuestionRecord {
    std::string Text;
    std::string Caption;
    TQuestionButtons Buttons = eButtons_YesNo;
    TModalResult Answer = eModal_None;
};

struct TChoiceRecord {
    std::string Prompt;
    std::vector<std::string> Candidates;
    std::int32_t Answer = -1;
};

struct TProgressRecord {
    std::string Caption;
    std::int32_t Total = 0;
    std::int32_t Steps = 0;
    bool Ended = false;
};

class TScriptedUI : public TUnknownImpl<IHostUI> {
public:
    TScriptedUI() { FDialogPlayer.SetStopOnError(true); }

    // ---- script ----
    void SetUserInterface(bool present) { FHasUserInterface = present; }
    // Whether this script plays a desktop front end (default: no).
    void SetDesktopUI(bool desktop) { FDesktopUI = desktop; }
    // Answers for the next questions, in order. Yes/OK and No/Cancel stand for each other, so
    // a queued eModal_Yes answers an OK/Cancel question with eModal_OK.
    void QueueAnswer(TModalResult answer) { FAnswers.push_back(answer); }
    // The answer to every question with this caption (compared without case), before the queue.
    void SetAnswerForCaption(const std::string& caption, TModalResult answer) {
        FCaptionAnswers[caption] = answer;
    }
    // The answer when neither applies (default: Yes or OK).
    void SetDefaultAnswer(bool affirmative) { FDefaultAffirmative = affirmative; }
    // Points picked on the board, in board units; when the queue is empty a pick cancels.
    void QueuePick(TCoord x, TCoord y) { FPicks.push_back({{x, y}, {}}); }
    void QueuePickMM(double x, double y);
    // A pick that means one object where several lie: when the host then asks which, the first
    // candidate whose description starts with `candidate` is chosen (e.g. "Pad U1-3 ").
    void QueuePickOf(TCoord x, TCoord y, const std::string& candidate) {
        FPicks.push_back({{x, y}, candidate});
    }
    // Indices chosen among candidates; when the queue is empty the choice is cancelled (-1).
    void QueueChoice(std::int32_t index) { FChoices.push_back(index); }
    // One abort-key press, seen by the next AbortKey_Pressed; or a press seen after `polls`
    // further polls (to abort in the middle of long work).
    void PressAbortKey() { ++FAbortPresses; }
    void PressAbortKeyAfterPolls(std::int32_t polls) { FAbortAfterPolls = polls; }

    // Commands for the dialogs' own form (see TDialogPlayer), in order; when they run out, the
    // open dialogs close with Cancel. The first command that fails cancels them too.
    void QueueDialogCommand(const std::string& command) { FDialogCommands.push_back(command); }
    void ClearDialogCommands() { FDialogCommands.clear(); }
    // What the dialogs printed, and the commands that failed.
    const std::string& DialogTranscript() const { return FDialogTranscript; }
    const std::vector<std::string>& DialogErrors() const { return FDialogPlayer.Errors(); }
    std::size_t PendingDialogCommands() const { return FDialogCommands.size(); }

    // ---- records ----
    const std::vector<TMessageBoxRecord>& Boxes() const { return FBoxes; }
    const std::vector<TQuestionRecord>& Questions() const { return FQuestions; }
    const std::vector<TChoiceRecord>& Choices() const { return FChoiceRecords; }
    const std::vector<std::string>& PickPrompts() const { return FPickPrompts; }
    const std::vector<std::string>& StatusTexts() const { return FStatusTexts; }
    const std::map<std::int32_t, std::string>& StatusBar() const { return FStatusBar; }
    const std::vector<TProgressRecord>& Progress() const { return FProgress; }
    const std::vector<std::vector<std::uintptr_t>>& Highlights() const { return FHighlights; }
    const std::vector<std::string>& PreviewPins() const { return FPreviewPins; }
    std::int32_t WaitCursorDepth() const { return FWaitDepth; }
    std::int32_t StatusDepth() const { return FStatusDepth; }
    std::int32_t ProcessMessagesCount() const { return FProcessMessages; }
    std::int32_t AbortPolls() const { return FAbortPolls; }
    std::int32_t RedrawCount() const { return FRedraws; }
    std::size_t PendingPicks() const { return FPicks.size(); }
    std::size_t PendingAnswers() const { return FAnswers.size(); }

    // ---- IHostUI ----
    bool HasUserInterface() override { return FHasUserInterface; }
    bool DesktopUIRunning() override { return FDesktopUI; }
    void ShowMessage(TMessageBoxKind kind, const std::string& text, const std::string& caption) override;
    TModalResult AskQuestion(const std::string& text, const std::string& caption,
                             TQuestionButtons buttons) override;
    bool ChooseLocation(const std::string& prompt, std::int32_t& x, std::int32_t& y) override;
    std::int32_t ChooseAmong(const std::string& prompt, const std::vector<std::string>& candidates) override;
    void Cursor_SetWait() override { ++FWaitDepth; }
    void Cursor_Restore() override;
    void Status_Begin() override { ++FStatusDepth; }
    void Status_Text(const std::string& text) override { FStatusTexts.push_back(text); }
    void Status_End() override;
    void StatusBar_SetPanelText(std::int32_t panel, const std::string& text) override {
        FStatusBar[panel] = text;
    }
    void Progress_Begin(const std::string& caption, std::int32_t total) override;
    void Progress_Step(std::int32_t steps) override;
    void Progress_End() override;
    void ProcessMessages() override { ++FProcessMessages; }
    bool AbortKey_Pressed() override;
    void Highlight_Show(const std::vector<std::uintptr_t>& objects) override {
        FHighlights.push_back(objects);
    }
    void View_Redraw() override { ++FRedraws; }
    void Preview_ShowPins(std::uintptr_t, const std::string& pinNames) override {
        FPreviewPins.push_back(pinNames);
    }
    permutor::dialogs::IDialogViews* DialogViews() override { return &FDialogPlayer; }

private:
    bool FHasUserInterface = true;
    bool FDesktopUI = false;
    std::deque<TModalResult> FAnswers;
    std::map<std::string, TModalResult> FCaptionAnswers;
    bool FDefaultAffirmative = true;
    struct TPick {
        TCoordPoint At;
        std::string Candidate;
    };
    std::deque<TPick> FPicks;
    // The object the last pick meant, for the choice that may follow it.
    std::string FPickCandidate;
    std::deque<std::int32_t> FChoices;
    std::int32_t FAbortPresses = 0;
    std::int32_t FAbortAfterPolls = -1;
    std::int32_t FAbortPolls = 0;

    std::vector<TMessageBoxRecord> FBoxes;
    std::vector<TQuestionRecord> FQuestions;
    std::vector<TChoiceRecord> FChoiceRecords;
    std::vector<std::string> FPickPrompts;
    std::vector<std::string> FStatusTexts;
    std::map<std::int32_t, std::string> FStatusBar;
    std::vector<TProgressRecord> FProgress;
    std::vector<std::vector<std::uintptr_t>> FHighlights;
    std::vector<std::string> FPreviewPins;
    std::int32_t FWaitDepth = 0, FStatusDepth = 0, FProcessMessages = 0, FRedraws = 0;
    std::deque<std::string> FDialogCommands;
    std::string FDialogTranscript;
    TDialogPlayer FDialogPlayer{[this](const std::string& prompt, std::string& line) {
                                    if (FDialogCommands.empty())
                                        return false;
                                    line = FDialogCommands.front();
                                    FDialogCommands.pop_front();
                                    FDialogTranscript += prompt + line + "\n";
                                    return true;
                                },
                                [this](const std::string& text) { FDialogTranscript += text; }};
};

} // namespace pcbhost
