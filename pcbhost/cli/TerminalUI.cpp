#include "pcbhost/cli/TerminalUI.h"

#include "pcbhost/cli/AbortKey.h"

#include "permutor/host/Text.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <istream>
#include <ostream>
#include <utility>

namespace pcbhost::cli {

namespace {

// Redraws of the progress line at most this often: a terminal flooded with escape sequences
// slows the work it reports.
constexpr auto cRedrawInterval = std::chrono::milliseconds(100);
constexpr int cBarWidth = 30;
constexpr int cDefaultColumns = 80;
// The module's question whether to go on with its next, longer phase: after the user stopped the
// run with Ctrl-C, a run without a terminal answers it No.
constexpr const char* cNextPhaseCaption = "Confirm Iterative Optimizer?";
// Highlighted pads listed before a pick prompt; a larger board gets the first ones and a count.
constexpr std::size_t cHighlightListed = 200;

// Of several objects at a point, copper is what a pick on the board means: not the footprint
// around it nor a ratsnest line ending there.
bool IsCopperDescription(const std::string& description) {
    for (const char* kind : {"Pad ", "Via ", "Track ", "Arc ", "Region "})
        if (description.starts_with(kind))
            return true;
    return false;
}

const char* KindName(TMessageBoxKind kind) {
    switch (kind) {
    case eMessageBox_Error:
        return "error";
    case eMessageBox_Warning:
        return "warning";
    default:
        return "information";
    }
}

TModalResult Fit(bool affirmative, TQuestionButtons buttons) {
    if (buttons == eButtons_OKCancel)
        return affirmative ? eModal_OK : eModal_Cancel;
    return affirmative ? eModal_Yes : eModal_No;
}

const char* AnswerName(TModalResult r) {
    switch (r) {
    case eModal_Yes:
        return "Yes";
    case eModal_No:
        return "No";
    case eModal_OK:
        return "OK";
    case eModal_Cancel:
        return "Cancel";
    default:
        return "None";
    }
}

} // namespace

TTerminalUI::TTerminalUI(const TGlobalOptions& options, TReport& report)
    : FOptions(options), FReport(report),
      FDialogPlayer(
          [this](const std::string& prompt, std::string& line) { return ReadDialogCommand(prompt, line); },
          [this](const std::string& text) { FReport.Text() << text << std::flush; }) {
    FDialogPlayer.SetErrorSink([this](const std::string& error) {
        FReport.Text() << std::flush;
        FReport.Error(error);
    });
}

bool TTerminalUI::ReadDialogCommand(const std::string& prompt, std::string& line) {
    if (FNextDialogCommand < FOptions.DialogCommands.size()) {
        line = FOptions.DialogCommands[FNextDialogCommand++];
        // Echoed, so that the output reads as the session it stands for.
        FReport.Text() << prompt << line << "\n";
        return true;
    }
    if (!Interactive())
        return false;
    return ReadLine(prompt, line);
}

permutor::dialogs::IDialogViews* TTerminalUI::DialogViews() {
    // A person at the prompt corrects a mistyped command; a script must not run on past one.
    FDialogPlayer.SetStopOnError(!Interactive());
    return &FDialogPlayer;
}

bool TTerminalUI::HasUserInterface() {
    // A Ctrl-C is somebody at the keyboard: the module's questions about it reach the host, which
    // answers them as the user would want (see the header).
    if (FAbortPending || FStopped)
        return true;
    if (FOptions.Batch)
        return false;
    // Without a terminal the user can still answer in advance; without either there is nobody
    // to show a box to, and the module takes its non-interactive path.
    return FReport.Console().InputIsTerminal || FOptions.Yes || FOptions.No || !FOptions.Answers.empty() ||
           !FOptions.Picks.empty();
}

bool TTerminalUI::Interactive() const {
    return FReport.Console().InputIsTerminal && !FOptions.Batch;
}

void TTerminalUI::BeginWork() {
    FAbortPending = false;
    FStopped = false;
    AbortKey::SetStopping(false);
    AbortKey::BeginWork();
}
void TTerminalUI::EndWork() {
    AbortKey::EndWork();
    FAbortPending = false;
    FStatusText.clear();
    FPanelText.clear();
    ClearProgressLine();
}

void TTerminalUI::ShowMessage(TMessageBoxKind kind, const std::string& text, const std::string& caption) {
    ClearProgressLine();
    FReport.Message({"box", KindName(kind), caption, text});
}

bool TTerminalUI::ReadLine(const std::string& prompt, std::string& line) {
    ClearProgressLine();
    auto& console = FReport.Console();
    console.Err << prompt << std::flush;
    AbortKey::BeginQuestion();
    const bool ok = static_cast<bool>(std::getline(console.In, line));
    AbortKey::EndQuestion();
    if (!ok)
        console.Err << "\n";
    return ok;
}

std::optional<bool> TTerminalUI::PromptYesNo(const std::string& caption, const std::string& text,
                                             const char* choices, bool emptyMeans) {
    std::string line;
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (!ReadLine(MessageText_Show(caption, text, choices) + " ", line))
            return std::nullopt;
        if (Text_Trim(line).empty())
            return emptyMeans;
        if (auto parsed = YesNo_Parse(line))
            return parsed;
        FReport.Console().Err << "Please answer yes or no.\n";
    }
    return std::nullopt;
}

TModalResult TTerminalUI::AskAbortQuestion(const std::string& text, const std::string& caption,
                                           TQuestionButtons buttons) {
    // The box's default is No (go on), so an empty line goes on; the key press itself answers
    // when nobody can be asked, including when the terminal's input has ended.
    bool affirmative = true;
    std::string how = "Ctrl-C";
    bool printed = false;
    if (Interactive()) {
        if (auto answer =
                PromptYesNo(caption, text, buttons == eButtons_OKCancel ? "[ok/Cancel]" : "[y/N]", false)) {
            affirmative = *answer;
            how = "terminal";
        }
        printed = true;
    }
    if (affirmative) {
        FStopped = true;
        AbortKey::SetStopping(true);
    }
    const TModalResult result = Fit(affirmative, buttons);
    FReport.Question(caption, text, AnswerName(result), how, printed);
    return result;
}

TModalResult TTerminalUI::AskQuestion(const std::string& text, const std::string& caption,
                                      TQuestionButtons buttons) {
    ClearProgressLine();
    if (std::exchange(FAbortPending, false))
        return AskAbortQuestion(text, caption, buttons);
    std::string how;
    bool affirmative = true;
    bool printed = false;
    // A caption named on the command line wins over --yes/--no; the last such option counts.
    for (const auto& answer : FOptions.Answers)
        if (Text_EqualNoCase(answer.Caption, caption)) {
            affirmative = answer.Yes;
            how = "--answer";
        }
    if (how.empty() && FStopped && !Interactive() && Text_EqualNoCase(caption, cNextPhaseCaption)) {
        affirmative = false;
        how = "Ctrl-C";
    }
    if (how.empty() && (FOptions.Yes || FOptions.No)) {
        affirmative = FOptions.Yes;
        how = FOptions.Yes ? "--yes" : "--no";
    }
    if (how.empty() && Interactive()) {
        how = "default";
        if (auto answer =
                PromptYesNo(caption, text, buttons == eButtons_OKCancel ? "[OK/cancel]" : "[Y/n]", true)) {
            affirmative = *answer;
            how = "terminal";
        }
        printed = true;
    }
    if (how.empty())
        how = "default";
    const TModalResult result = Fit(affirmative, buttons);
    FReport.Question(caption, text, AnswerName(result), how, printed);
    return result;
}

bool TTerminalUI::Resolve(const TPickOption& pick, std::int32_t& x, std::int32_t& y) {
    if (pick.Kind == TPickOption::ePoint) {
        x = std::int32_t(std::lround(pick.XMM * cUnitsPerMM));
        y = std::int32_t(std::lround(pick.YMM * cUnitsPerMM));
        FLastPickLayer = pick.Layer;
        FLastPick = pick;
        return true;
    }
    std::string error = "no board to find pad " + pick.Text + " on";
    TCoord px = 0, py = 0;
    if (FResolver && FResolver(pick, px, py, error)) {
        x = px;
        y = py;
        FLastPickLayer = eV6_NoLayer;
        FLastPick = pick;
        return true;
    }
    FReport.Error("--pick " + pick.Text + ": " + error);
    return false;
}

std::string TTerminalUI::HighlightListing() const {
    if (!FDescriber || FHighlight.empty())
        return {};
    const auto entries = FDescriber(FHighlight);
    if (entries.empty())
        return {};
    const int columns = FReport.Console().ErrorColumns > 0 ? FReport.Console().ErrorColumns : cDefaultColumns;
    std::string text = fmt::format("Highlighted ({}):", entries.size());
    std::size_t lineLength = text.size();
    const std::size_t listed = std::min(entries.size(), cHighlightListed);
    for (std::size_t i = 0; i < listed; ++i) {
        const std::string item = " " + entries[i] + (i + 1 < entries.size() ? "," : "");
        if (lineLength + item.size() >= std::size_t(columns)) {
            text += "\n ";
            lineLength = 1;
        }
        text += item;
        lineLength += item.size();
    }
    if (listed < entries.size())
        text += fmt::format(" ... and {} more", entries.size() - listed);
    return text + "\n";
}

bool TTerminalUI::ChooseLocation(const std::string& prompt, std::int32_t& x, std::int32_t& y) {
    if (FBeforePick)
        FBeforePick();
    ClearProgressLine();
    FLastPick.reset();
    if (!FOptions.Picks.empty()) {
        // The picks given are the whole script: once used up, the next pick cancels.
        if (FNextPick >= FOptions.Picks.size())
            return false;
        const TPickOption& pick = FOptions.Picks[FNextPick++];
        if (FOptions.Verbose && !FReport.Json())
            FReport.Console().Out << prompt << ": " << pick.Text << "\n";
        return Resolve(pick, x, y);
    }
    if (!Interactive())
        return false;
    FReport.Console().Err << HighlightListing();
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::string line;
        if (!ReadLine(prompt + " [REF-PAD or X,Y in mm; empty cancels]: ", line))
            return false;
        if (Text_Trim(line).empty())
            return false;
        TPickOption pick;
        std::string error;
        if (!Pick_Parse(line, pick, error)) {
            FReport.Console().Err << error << "\n";
            continue;
        }
        if (Resolve(pick, x, y))
            return true;
    }
    return false;
}

std::int32_t TTerminalUI::ChooseAmong(const std::string& prompt, const std::vector<std::string>& candidates) {
    if (candidates.empty())
        return -1;
    if (FLastPick && FLastPick->Kind == TPickOption::ePad)
        for (std::size_t i = 0; i < candidates.size(); ++i)
            if (Text_StartsWithNoCase(candidates[i], "Pad " + FLastPick->Text + " "))
                return std::int32_t(i);
    if (!Interactive() || !HasUserInterface() || !FOptions.Picks.empty()) {
        const auto copper = std::find_if(candidates.begin(), candidates.end(), IsCopperDescription);
        return copper == candidates.end() ? 0 : std::int32_t(copper - candidates.begin());
    }
    ClearProgressLine();
    auto& err = FReport.Console().Err;
    err << prompt << "\n";
    for (std::size_t i = 0; i < candidates.size(); ++i)
        err << "  [" << i << "] " << candidates[i] << "\n";
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::string line;
        if (!ReadLine(fmt::format("choose 0-{} (empty cancels): ", candidates.size() - 1), line))
            return -1;
        const std::string_view t = Text_Trim(line);
        if (t.empty())
            return -1;
        std::size_t used = 0;
        try {
            const long n = std::stol(std::string(t), &used);
            if (used == t.size() && n >= 0 && std::size_t(n) < candidates.size())
                return std::int32_t(n);
        } catch (const std::exception&) {
        }
        err << "Please give a number from 0 to " << candidates.size() - 1 << ".\n";
    }
    return -1;
}

void TTerminalUI::Cursor_SetWait() {
    ++FWaitDepth;
    AbortKey::BeginWork();
}

void TTerminalUI::Cursor_Restore() {
    if (FWaitDepth > 0) {
        --FWaitDepth;
        AbortKey::EndWork();
    }
}

void TTerminalUI::Status_Begin() {
    ++FStatusDepth;
    AbortKey::BeginWork();
}

void TTerminalUI::Status_Text(const std::string& text) {
    FStatusText = text;
    if (FOptions.Verbose && !FReport.Json() && !ShowsProgress())
        FReport.Console().Out << "status: " << text << "\n";
    DrawProgress(false);
}

void TTerminalUI::Status_End() {
    if (FStatusDepth > 0) {
        --FStatusDepth;
        AbortKey::EndWork();
    }
    if (FStatusDepth == 0) {
        FStatusText.clear();
        if (FProgress.empty())
            ClearProgressLine();
        else
            DrawProgress(true);
    }
}

void TTerminalUI::StatusBar_SetPanelText(std::int32_t, const std::string& text) {
    FPanelText = text;
    if (FOptions.Verbose && !FReport.Json() && !ShowsProgress())
        FReport.Console().Out << "status: " << text << "\n";
    DrawProgress(false);
}

bool TTerminalUI::ShowsProgress() const {
    return FReport.Console().ErrorIsTerminal && !FOptions.Quiet;
}

void TTerminalUI::Progress_Begin(const std::string& caption, std::int32_t total) {
    AbortKey::BeginWork();
    FProgress.push_back({caption, std::max<std::int32_t>(total, 0), 0});
    DrawProgress(true);
}

void TTerminalUI::Progress_Step(std::int32_t steps) {
    if (FProgress.empty())
        return;
    FProgress.back().Done += steps;
    DrawProgress(false);
}

void TTerminalUI::Progress_End() {
    if (FProgress.empty())
        return;
    AbortKey::EndWork();
    FProgress.pop_back();
    if (FProgress.empty())
        FPanelText.clear();
    if (FProgress.empty() && FStatusText.empty())
        ClearProgressLine();
    else
        DrawProgress(true);
}

void TTerminalUI::DrawProgress(bool force) {
    if (!ShowsProgress() || (FProgress.empty() && FStatusText.empty()))
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && FLineShown && now - FLastDraw < cRedrawInterval)
        return;
    FLastDraw = now;
    std::string line;
    const std::string& status = !FStatusText.empty() || FProgress.empty() ? FStatusText : FPanelText;
    if (!FProgress.empty()) {
        const TProgress& p = FProgress.back();
        line = p.Caption;
        if (p.Total > 0) {
            const double fraction = std::clamp(double(p.Done) / double(p.Total), 0.0, 1.0);
            const int filled = int(fraction * cBarWidth);
            line += fmt::format(" [{}{}] {:3d}%", std::string(std::size_t(filled), '#'),
                                std::string(std::size_t(cBarWidth - filled), ' '), int(fraction * 100));
        } else {
            line += fmt::format(" ({})", p.Done);
        }
        if (!status.empty())
            line += "  ";
    }
    line += status;
    // A line longer than the terminal wraps, and the next "\r" would no longer go back over it.
    const int columns = FReport.Console().ErrorColumns > 0 ? FReport.Console().ErrorColumns : cDefaultColumns;
    if (line.size() >= std::size_t(columns))
        line.resize(std::size_t(std::max(columns - 1, 0)));
    FReport.Console().Err << "\r" << line << "\x1b[K" << std::flush;
    FLineShown = true;
}

void TTerminalUI::ClearProgressLine() {
    if (!FLineShown)
        return;
    FReport.Console().Err << "\r\x1b[K" << std::flush;
    FLineShown = false;
}

bool TTerminalUI::AbortKey_Pressed() {
    if (!AbortKey::Consume())
        return false;
    FAbortPending = true;
    return true;
}

void TTerminalUI::Highlight_Show(const std::vector<std::uintptr_t>& objects) {
    FHighlight = objects;
    if (FOptions.Verbose && !FReport.Json()) {
        FReport.Console().Out << "highlight: " << objects.size() << " object(s)\n";
        FReport.Console().Out << HighlightListing();
    }
}

void TTerminalUI::View_Redraw() {
    if (FOptions.Verbose && !FReport.Json())
        FReport.Console().Out << "view redrawn\n";
}

void TTerminalUI::Preview_ShowPins(std::uintptr_t, const std::string& pinNames) {
    if (FReport.Json() || FOptions.Quiet)
        return;
    std::string joined;
    for (char c : pinNames)
        joined += c == '\n' ? ' ' : c;
    FReport.Console().Out << "pins: " << Text_Trim(joined) << "\n";
}

} // namespace pcbhost::cli
