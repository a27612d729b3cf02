// What a `permutor` run tells its user: the module's message boxes, questions, messages-panel
// lines and non-interactive texts, the host's own notes and errors, and each sub-command's
// results. As text they are printed as they happen; with --json they are gathered into one JSON
// document printed at the end, so that scripts read a single object from standard output.
#pragma once

#include <nlohmann/json.hpp>

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace pcbhost::cli {

// The terminal the command line runs on. Tests pass string streams and say "no terminal".
struct TConsole {
    std::istream& In;
    std::ostream& Out;
    std::ostream& Err;
    bool InputIsTerminal = false;
    bool ErrorIsTerminal = false;
    // Width of the terminal on standard error; 0 when unknown.
    int ErrorColumns = 0;
    // Whether Ctrl-C is caught as the abort key (the real program; never in-process tests).
    bool CatchInterrupt = false;
};

// One text the module showed. Source: "box" (a message box), "sink" (a box shown without a
// user interface), "panel" (a messages-panel line). Kind: "error", "warning", "information" for
// boxes; the message class for panel lines; "message" for sink texts.
struct TReportMessage {
    std::string Source;
    std::string Kind;
    std::string Caption;
    std::string Text;
};

// The lines of a module text: its boxes break lines with carriage returns ("\r\r" between
// paragraphs), which a terminal would print over each other. Empty lines and the spaces that end a
// line are dropped.
std::vector<std::string> MessageText_Lines(const std::string& text);
// "Caption: text" on one line, or the caption and the text's lines indented below it; `tail` goes
// after the last line.
std::string MessageText_Show(const std::string& caption, const std::string& text,
                             const std::string& tail = "");

class TReport {
public:
    TReport(TConsole& console, bool json, bool quiet);

    bool Json() const { return FJson; }
    bool Quiet() const { return FQuiet; }
    TConsole& Console() const { return FConsole; }

    // A text of the module: printed now (errors to standard error), kept for --json.
    void Message(const TReportMessage& message);
    // A question and the answer it got, and how ("terminal", "--answer", "--yes", "default").
    void Question(const std::string& caption, const std::string& text, const std::string& answer,
                  const std::string& how, bool printed);
    // The host's own information ("wrote …"); --quiet drops it from the text output.
    void Note(const std::string& text);
    // A failure of the host (file, usage, module): always shown, on standard error.
    void Error(const std::string& text);
    // An extra line for standard output in text mode only (tables, listings).
    std::ostream& Text();

    // Whether the module showed an error box (or an error text without a user interface), or
    // the host reported an error.
    bool ErrorShown() const { return FErrorShown; }
    // Whether the host itself reported an error (not the module).
    bool HostErrorShown() const { return !FErrors.empty(); }
    void SetErrorShown() { FErrorShown = true; }

    // Results of the sub-command for --json.
    nlohmann::json& Data() { return FData; }
    const std::vector<TReportMessage>& Messages() const { return FMessages; }
    // The host's notes and errors so far, as strings (a window lists them).
    const nlohmann::json& Notes() const { return FNotes; }
    const nlohmann::json& Errors() const { return FErrors; }

    // Prints the JSON document (with --json) holding everything gathered and the exit code.
    void Finish(int exitCode);

    // Called after each module text is shown, so that the host can add what it knows right
    // below it (which footprints a warning means, how to get past an error).
    void SetFollowUp(std::function<void(const TReportMessage&)> followUp) { FFollowUp = std::move(followUp); }
    // A line that belongs to the module text just shown: printed to the same stream as that text.
    void FollowUpLine(const TReportMessage& message, const std::string& line);

private:
    void Show(const TReportMessage& message, bool error);

    TConsole& FConsole;
    bool FJson, FQuiet;
    bool FErrorShown = false;
    bool FFinished = false;
    std::vector<TReportMessage> FMessages;
    nlohmann::json FQuestions = nlohmann::json::array();
    nlohmann::json FNotes = nlohmann::json::array();
    nlohmann::json FErrors = nlohmann::json::array();
    nlohmann::json FData = nlohmann::json::object();
    std::function<void(const TReportMessage&)> FFollowUp;
};

} // namespace pcbhost::cli
