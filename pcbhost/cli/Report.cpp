#include "pcbhost/cli/Report.h"

#include "pcbhost/kicad/SExpr.h"
#include "permutor/host/Text.h"

#include <ostream>
#include <sstream>

namespace pcbhost::cli {

namespace {

// Output that --json swallows: tables go into the JSON document instead.
std::ostringstream& Discard() {
    static thread_local std::ostringstream sink;
    sink.str({});
    return sink;
}

bool IsError(const TReportMessage& m) {
    if (m.Source == "box")
        return m.Kind == "error";
    if (m.Source == "sink")
        return permutor::host::Text_EqualNoCase(m.Caption, "Error");
    return permutor::host::Text_EqualNoCase(m.Kind, "error");
}

} // namespace

std::vector<std::string> MessageText_Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        line.erase(line.find_last_not_of(" \t") + 1);
        if (!line.empty())
            lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::string MessageText_Show(const std::string& caption, const std::string& text, const std::string& tail) {
    const auto lines = MessageText_Lines(text);
    if (lines.size() <= 1) {
        const std::string line = lines.empty() ? std::string() : lines.front();
        std::string shown = caption.empty() ? line : line.empty() ? caption : caption + ": " + line;
        return tail.empty() ? shown : shown + " " + tail;
    }
    std::string shown = caption.empty() ? std::string() : caption + ":\n";
    for (std::size_t i = 0; i < lines.size(); ++i)
        shown += (caption.empty() && i == 0 ? "" : "  ") + lines[i] + (i + 1 < lines.size() ? "\n" : "");
    return tail.empty() ? shown : shown + " " + tail;
}

TReport::TReport(TConsole& console, bool json, bool quiet) : FConsole(console), FJson(json), FQuiet(quiet) {}

void TReport::Message(const TReportMessage& message) {
    FMessages.push_back(message);
    const bool error = IsError(message);
    if (error)
        FErrorShown = true;
    if (!FJson)
        Show(message, error);
    if (FFollowUp)
        FFollowUp(message);
}

void TReport::FollowUpLine(const TReportMessage& message, const std::string& line) {
    if (FJson)
        return;
    std::ostream& os = IsError(message) || message.Kind == "warning" ? FConsole.Err : FConsole.Out;
    os << line << "\n";
    os.flush();
}

void TReport::Show(const TReportMessage& message, bool error) {
    std::ostream& os = error || message.Kind == "warning" ? FConsole.Err : FConsole.Out;
    if (message.Source == "panel") {
        // Some classes carry their brackets already ("[Information]").
        const bool bracketed = message.Kind.starts_with("[");
        os << (bracketed ? "" : "[") << message.Kind << (bracketed ? " " : "] ")
           << MessageText_Show("", message.Text);
        if (!message.Caption.empty())
            os << "  (" << message.Caption << ")";
        os << "\n";
    } else {
        os << MessageText_Show(message.Caption, message.Text) << "\n";
    }
    os.flush();
}

void TReport::Question(const std::string& caption, const std::string& text, const std::string& answer,
                       const std::string& how, bool printed) {
    FQuestions.push_back({{"caption", caption}, {"text", text}, {"answer", answer}, {"how", how}});
    if (FJson || printed || FQuiet)
        return;
    FConsole.Out << MessageText_Show(caption, text, "-> " + answer + " (" + how + ")") << "\n";
}

void TReport::Note(const std::string& text) {
    FNotes.push_back(text);
    if (!FJson && !FQuiet)
        FConsole.Out << text << "\n";
}

void TReport::Error(const std::string& textIn) {
    // Messages may quote what a file holds, and a file may be anything.
    const std::string text = sexpr::printable(textIn);
    FErrors.push_back(text);
    FErrorShown = true;
    FConsole.Err << "permutor: " << text << "\n";
    FConsole.Err.flush();
}

std::ostream& TReport::Text() {
    return FJson ? Discard() : FConsole.Out;
}

void TReport::Finish(int exitCode) {
    if (FFinished)
        return;
    FFinished = true;
    if (!FJson) {
        FConsole.Out.flush();
        return;
    }
    nlohmann::json doc = FData;
    nlohmann::json messages = nlohmann::json::array();
    for (const auto& m : FMessages)
        messages.push_back(
            {{"source", m.Source}, {"kind", m.Kind}, {"caption", m.Caption}, {"text", m.Text}});
    doc["messages"] = std::move(messages);
    doc["questions"] = FQuestions;
    doc["notes"] = FNotes;
    doc["errors"] = FErrors;
    doc["exit_code"] = exitCode;
    FConsole.Out << doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    FConsole.Out.flush();
}

} // namespace pcbhost::cli
