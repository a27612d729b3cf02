// The host's user-interface services on a terminal. Message boxes print their caption and text;
// questions are answered from --answer/--yes/--no, else asked on the terminal, else take their
// default (Yes/OK); picks on the board come from --pick options in order, else from a prompt
// that lists the highlighted pads first (a pick that names a pad means that pad, where its
// footprint and ratsnest lines lie too); long work shows a progress bar on standard error when
// that is a terminal; Ctrl-C is the abort key. With --batch there is no user interface: the
// module then sends its texts to the host's non-interactive sink and takes the default answers
// itself.
//
// The question the module asks about a Ctrl-C ("abort?") is asked on the terminal when there is
// one, its default being No as the module's box has it; without a terminal the key press itself
// is the answer, Yes. Once the user has stopped the work that way, a run without a terminal
// answers the module for them: the UI counts as present (also with --batch) so that the module's
// follow-up questions reach it, the partial result is kept (their default) and no further phase
// is started ("Confirm Iterative Optimizer?" is answered No unless --answer names it).
#pragma once

#include "pcbhost/cli/Options.h"
#include "pcbhost/cli/Report.h"
#include "pcbhost/model/DialogPlayer.h"

#include "permutor/host/Host.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pcbhost::cli {

using namespace permutor::host;

class TTerminalUI : public TUnknownImpl<IHostUI> {
public:
    // Turns a pick into board units; false with a reason when it names nothing on the board.
    using TPickResolver =
        std::function<bool(const TPickOption& pick, TCoord& x, TCoord& y, std::string& error)>;

    // Names the highlighted board objects for the user ("U1-A1 /B0_IO3"), one entry per pad.
    using THighlightDescriber =
        std::function<std::vector<std::string>(const std::vector<std::uintptr_t>& objects)>;

    TTerminalUI(const TGlobalOptions& options, TReport& report);

    void SetPickResolver(TPickResolver resolver) { FResolver = std::move(resolver); }
    void SetHighlightDescriber(THighlightDescriber describer) { FDescriber = std::move(describer); }
    // Called before every pick, so that what the module reported since the last one is shown
    // before the user is asked again.
    void SetBeforePick(std::function<void()> hook) { FBeforePick = std::move(hook); }
    // The layer of the last pick that named one (X,Y,LAYER), else eV6_NoLayer.
    TV6_Layer LastPickLayer() const { return FLastPickLayer; }
    // Picks given on the command line and not used yet.
    std::size_t PendingPicks() const { return FOptions.Picks.size() - FNextPick; }
    // Long work of the host itself (a command running): arms the abort key.
    void BeginWork();
    void EndWork();
    // Whether the user stopped the command with Ctrl-C and confirmed it.
    bool Stopped() const { return FStopped; }

    // ---- IHostUI ----
    bool HasUserInterface() override;
    bool DesktopUIRunning() override { return false; }
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
    void ProcessMessages() override {}
    bool AbortKey_Pressed() override;
    void Highlight_Show(const std::vector<std::uintptr_t>& objects) override;
    void View_Redraw() override;
    void Preview_ShowPins(std::uintptr_t viewHandle, const std::string& pinNames) override;
    // The dialogs on the terminal: their commands come from --do, then from the prompt when a
    // person is at the terminal; a script stops at its first failing command.
    permutor::dialogs::IDialogViews* DialogViews() override;
    // The dialog commands that failed.
    const std::vector<std::string>& DialogErrors() const { return FDialogPlayer.Errors(); }

private:
    bool Interactive() const;
    // One line from the terminal; false at end of input.
    bool ReadLine(const std::string& prompt, std::string& line);
    // The next dialog command: from --do, else from the prompt; false when there is none.
    bool ReadDialogCommand(const std::string& prompt, std::string& line);
    // Asks on the terminal until yes or no (an empty line meaning `emptyMeans`); nothing when the
    // input ends or five answers could not be read.
    std::optional<bool> PromptYesNo(const std::string& caption, const std::string& text, const char* choices,
                                    bool emptyMeans);
    bool Resolve(const TPickOption& pick, std::int32_t& x, std::int32_t& y);
    // The highlighted objects as the describer names them, wrapped to the terminal's width.
    std::string HighlightListing() const;
    bool ShowsProgress() const;
    void DrawProgress(bool force);
    void ClearProgressLine();
    TModalResult AskAbortQuestion(const std::string& text, const std::string& caption,
                                  TQuestionButtons buttons);

    const TGlobalOptions& FOptions;
    TReport& FReport;
    TPickResolver FResolver;
    THighlightDescriber FDescriber;
    std::function<void()> FBeforePick;
    // The last highlight shown, and the last pick that named something on the board: when
    // several objects lie at a picked point, a pick that named a pad means that pad.
    std::vector<std::uintptr_t> FHighlight;
    std::optional<TPickOption> FLastPick;
    std::size_t FNextPick = 0;
    TV6_Layer FLastPickLayer = eV6_NoLayer;
    std::int32_t FWaitDepth = 0, FStatusDepth = 0;
    // The progress line shows the innermost display; ending it brings back the one around it.
    struct TProgress {
        std::string Caption;
        std::int64_t Total = 0, Done = 0;
    };
    std::vector<TProgress> FProgress;
    // The text of a Status_Begin bracket, shown while it is open; the status panel's text, shown
    // beside a progress display (without one it would be a stale line on the terminal).
    std::string FStatusText, FPanelText;
    std::chrono::steady_clock::time_point FLastDraw{};
    bool FLineShown = false;
    // A Ctrl-C was handed to the module: the next question is the one it asks about the key.
    bool FAbortPending = false;
    // The user confirmed stopping the running command.
    bool FStopped = false;
    std::size_t FNextDialogCommand = 0;
    TDialogPlayer FDialogPlayer;
};

} // namespace pcbhost::cli
