#include "pcbhost/project/ConstraintFile.h"

#include "pcbhost/kicad/FileIO.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <string_view>

namespace pcbhost::kicad {

namespace {

// A word of a line and where it starts in the file's text.
struct TWord {
    std::string_view Text;
    std::size_t Offset = 0;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

// The id of a "SWAPID=<id>" in a comment; empty without one.
std::string SwapIdOf(std::string_view comment) {
    for (std::size_t i = 0; i + 6 <= comment.size(); ++i) {
        if (!EqualNoCase(comment.substr(i, 6), "SWAPID"))
            continue;
        std::size_t j = i + 6;
        while (j < comment.size() && IsBlank(comment[j]))
            ++j;
        if (j >= comment.size() || comment[j] != '=')
            continue;
        ++j;
        while (j < comment.size() && IsBlank(comment[j]))
            ++j;
        std::size_t k = j;
        while (k < comment.size() && !IsBlank(comment[k]) && comment[k] != '\n')
            ++k;
        return std::string(comment.substr(j, k - j));
    }
    return {};
}

// Reads a file line by line, keeping each line's place, and builds the error of a line.
class TLines {
public:
    TLines(const std::string& path, std::string_view text) : FPath(path), FText(text) {
        // A byte-order mark some editors put first is no part of the first line's first word.
        if (FText.substr(0, 3) == "\xEF\xBB\xBF")
            FNext = 3;
    }
    bool Next() {
        if (FNext > FText.size() || (FNext == FText.size() && FLine > 0))
            return false;
        FBegin = FNext;
        const std::size_t nl = FText.find('\n', FBegin);
        FEnd = nl == std::string_view::npos ? FText.size() : nl;
        FNext = FEnd + 1;
        ++FLine;
        return true;
    }
    std::size_t Begin() const { return FBegin; }
    std::size_t End() const { return FEnd; }
    std::uint32_t Line() const { return FLine; }
    std::string_view Text() const { return FText; }
    [[noreturn]] void Fail(const std::string& what) const {
        throw TConstraintError(FPath + ":" + std::to_string(FLine) + ": " + what);
    }

private:
    std::string FPath;
    std::string_view FText;
    std::size_t FBegin = 0, FEnd = 0, FNext = 0;
    std::uint32_t FLine = 0;
};

// Whitespace-separated words of text[begin, end).
std::vector<TWord> PlainWords(std::string_view text, std::size_t begin, std::size_t end) {
    std::vector<TWord> words;
    std::size_t i = begin;
    while (i < end) {
        while (i < end && IsBlank(text[i]))
            ++i;
        const std::size_t start = i;
        while (i < end && !IsBlank(text[i]))
            ++i;
        if (i > start)
            words.push_back({text.substr(start, i - start), start});
    }
    return words;
}

// A word without its enclosing quotes or braces (and the blanks just inside braces).
TWord Inner(TWord word) {
    const auto& t = word.Text;
    if (t.size() >= 2 && ((t.front() == '"' && t.back() == '"') || (t.front() == '{' && t.back() == '}') ||
                          (t.front() == '[' && t.back() == ']'))) {
        std::size_t b = 1, e = t.size() - 1;
        while (b < e && IsBlank(t[b]))
            ++b;
        while (e > b && IsBlank(t[e - 1]))
            --e;
        return {t.substr(b, e - b), word.Offset + b};
    }
    return word;
}

// ---- Tcl files (.xdc, .qsf) ----

// The commands of text[begin, end) split into Tcl words; a "#" where a command starts makes the
// rest of the line a comment.
struct TTclLine {
    std::vector<std::vector<TWord>> Commands;
    std::string_view Comment;
    bool Unbalanced = false;
};

TTclLine ScanTcl(std::string_view text, std::size_t begin, std::size_t end) {
    TTclLine line;
    std::vector<TWord> command;
    std::size_t i = begin;
    auto closeCommand = [&] {
        if (!command.empty())
            line.Commands.push_back(std::move(command));
        command.clear();
    };
    while (true) {
        while (i < end && IsBlank(text[i]))
            ++i;
        if (i >= end)
            break;
        if (text[i] == ';') {
            closeCommand();
            ++i;
            continue;
        }
        if (text[i] == '#' && command.empty()) {
            line.Comment = text.substr(i, end - i);
            break;
        }
        const std::size_t start = i;
        if (text[i] == '{') {
            int depth = 0;
            for (; i < end; ++i) {
                if (text[i] == '\\') {
                    ++i;
                    continue;
                }
                if (text[i] == '{')
                    ++depth;
                else if (text[i] == '}' && --depth == 0)
                    break;
            }
            if (i >= end)
                line.Unbalanced = true;
            else
                ++i;
        } else if (text[i] == '"') {
            for (++i; i < end && text[i] != '"'; ++i)
                if (text[i] == '\\')
                    ++i;
            if (i >= end)
                line.Unbalanced = true;
            else
                ++i;
        } else {
            int depth = 0;
            for (; i < end; ++i) {
                const char c = text[i];
                if (c == '\\') {
                    ++i;
                    continue;
                }
                if (c == '[')
                    ++depth;
                else if (c == ']' && depth > 0)
                    --depth;
                else if (depth == 0 && (IsBlank(c) || c == ';'))
                    break;
            }
            if (depth > 0)
                line.Unbalanced = true;
        }
        command.push_back({text.substr(start, std::min(i, end) - start), start});
    }
    closeCommand();
    return line;
}

// The one port of "[get_ports NAME]"; fails the line for anything else.
std::string PortOf(const TLines& lines, TWord objects, const char* command) {
    if (objects.Text.size() < 2 || objects.Text.front() != '[' || objects.Text.back() != ']')
        lines.Fail(std::string(command) + ": expected [get_ports PORT] after the pin, found \"" +
                   std::string(objects.Text) + "\"");
    const TWord inner = Inner(objects);
    const TTclLine call = ScanTcl(lines.Text(), inner.Offset, inner.Offset + inner.Text.size());
    if (call.Commands.size() != 1 || call.Commands[0].empty() || call.Commands[0][0].Text != "get_ports")
        lines.Fail(std::string(command) + ": expected [get_ports PORT], found \"" +
                   std::string(objects.Text) + "\"");
    std::vector<TWord> names;
    for (std::size_t i = 1; i < call.Commands[0].size(); ++i)
        if (call.Commands[0][i].Text.front() != '-')
            names.push_back(Inner(call.Commands[0][i]));
    if (names.size() != 1 || names[0].Text.empty() ||
        std::any_of(names[0].Text.begin(), names[0].Text.end(), IsBlank))
        lines.Fail(std::string(command) + ": a package pin takes exactly one port, found \"" +
                   std::string(objects.Text) + "\"");
    return std::string(names[0].Text);
}

constexpr const char* cTclCommentHint =
    " (a comment after a command needs \";\" before \"#\" in a Tcl constraint file)";

void ParseXdc(TLines& lines, TConstraintFile& file) {
    const std::string_view text = lines.Text();
    while (lines.Next()) {
        const TTclLine line = ScanTcl(text, lines.Begin(), lines.End());
        const std::string swapId = SwapIdOf(line.Comment);
        for (const auto& words : line.Commands) {
            const bool mentionsPin = std::any_of(words.begin(), words.end(), [](const TWord& w) {
                for (std::size_t i = 0; i + 11 <= w.Text.size(); ++i)
                    if (EqualNoCase(w.Text.substr(i, 11), "PACKAGE_PIN"))
                        return true;
                return false;
            });
            if (!mentionsPin)
                continue;
            if (line.Unbalanced)
                lines.Fail("unbalanced braces, brackets or quotes (a command over several lines is not "
                           "supported)");
            if (words[0].Text != "set_property")
                lines.Fail("PACKAGE_PIN outside a set_property command (a command over several lines is "
                           "not supported)");
            TPinConstraint record;
            record.Line = lines.Line();
            record.SwapId = swapId;
            std::size_t objects = 3;
            if (words.size() > 1 && words[1].Text == "-dict") {
                if (words.size() < 3)
                    lines.Fail("set_property -dict: expected a list of properties");
                const TWord dict = Inner(words[2]);
                const auto entries = PlainWords(text, dict.Offset, dict.Offset + dict.Text.size());
                bool found = false;
                // "-dict [list K V ...]" is the same list as "-dict {K V ...}".
                const std::size_t first = !entries.empty() && entries[0].Text == "list" ? 1 : 0;
                for (std::size_t i = first; i + 1 < entries.size(); i += 2)
                    if (EqualNoCase(entries[i].Text, "PACKAGE_PIN")) {
                        if (found)
                            lines.Fail("set_property -dict: PACKAGE_PIN given twice");
                        found = true;
                        const TWord pin = Inner(entries[i + 1]);
                        record.Pin = std::string(pin.Text);
                        record.PinOffset = pin.Offset;
                        record.PinLength = pin.Text.size();
                    }
                if (!found)
                    lines.Fail("set_property -dict: PACKAGE_PIN has no value");
            } else {
                if (words.size() < 3 || !EqualNoCase(words[1].Text, "PACKAGE_PIN"))
                    lines.Fail("expected set_property PACKAGE_PIN PIN [get_ports PORT]");
                const TWord pin = Inner(words[2]);
                record.Pin = std::string(pin.Text);
                record.PinOffset = pin.Offset;
                record.PinLength = pin.Text.size();
            }
            if (words.size() != objects + 1) {
                const bool comment = words.size() > objects + 1 && words[objects + 1].Text.front() == '#';
                lines.Fail("set_property PACKAGE_PIN: expected the pin and one [get_ports PORT]" +
                           std::string(comment ? cTclCommentHint : ""));
            }
            if (record.Pin.empty() || std::any_of(record.Pin.begin(), record.Pin.end(), IsBlank))
                lines.Fail("set_property PACKAGE_PIN: expected one pin name");
            record.Port = PortOf(lines, words[objects], "set_property PACKAGE_PIN");
            file.Pins.push_back(std::move(record));
        }
    }
}

void ParseQsf(TLines& lines, TConstraintFile& file) {
    const std::string_view text = lines.Text();
    while (lines.Next()) {
        const TTclLine line = ScanTcl(text, lines.Begin(), lines.End());
        const std::string swapId = SwapIdOf(line.Comment);
        for (const auto& words : line.Commands) {
            if (words[0].Text != "set_location_assignment")
                continue;
            if (line.Unbalanced)
                lines.Fail("unbalanced braces or quotes");
            std::optional<TWord> location, port;
            for (std::size_t i = 1; i < words.size(); ++i) {
                const std::string_view w = words[i].Text;
                if (w == "-to" || w == "-from" || w == "-comment" || w == "-tag" || w == "-section_id") {
                    if (i + 1 >= words.size())
                        lines.Fail("set_location_assignment: " + std::string(w) + " has no value");
                    if (w == "-to")
                        port = Inner(words[i + 1]);
                    ++i;
                } else if (w == "-disable" || w == "-remove") {
                } else if (w.front() == '#') {
                    lines.Fail("set_location_assignment: unexpected \"#\"" + std::string(cTclCommentHint));
                } else if (!location) {
                    location = Inner(words[i]);
                } else {
                    lines.Fail("set_location_assignment: unexpected \"" + std::string(w) + "\"");
                }
            }
            if (!location)
                lines.Fail("set_location_assignment: no location");
            // Other locations (I/O banks, logic cells) place no port on a package pin.
            if (!StartsWithNoCase(location->Text, "PIN_"))
                continue;
            if (!port || port->Text.empty())
                lines.Fail("set_location_assignment: no -to PORT");
            if (location->Text.size() == 4)
                lines.Fail("set_location_assignment: PIN_ without a pin name");
            TPinConstraint record;
            record.Port = std::string(port->Text);
            record.Pin = std::string(location->Text.substr(4));
            record.PinOffset = location->Offset + 4;
            record.PinLength = record.Pin.size();
            record.Line = lines.Line();
            record.SwapId = swapId;
            file.Pins.push_back(std::move(record));
        }
    }
}

// ---- .pcf ----

void ParsePcf(TLines& lines, TConstraintFile& file) {
    const std::string_view text = lines.Text();
    while (lines.Next()) {
        std::size_t end = lines.End();
        std::string_view comment;
        const std::size_t hash = text.substr(lines.Begin(), end - lines.Begin()).find('#');
        if (hash != std::string_view::npos) {
            comment = text.substr(lines.Begin() + hash, end - lines.Begin() - hash);
            end = lines.Begin() + hash;
        }
        const auto words = PlainWords(text, lines.Begin(), end);
        if (words.empty() || words[0].Text != "set_io")
            continue;
        std::vector<TWord> operands;
        for (std::size_t i = 1; i < words.size(); ++i) {
            const std::string_view w = words[i].Text;
            if (w == "-pullup" || w == "-pullup_resistor") {
                if (++i >= words.size())
                    lines.Fail("set_io: " + std::string(w) + " has no value");
            } else if (w.front() != '-') {
                operands.push_back(words[i]);
            }
        }
        if (operands.size() != 2)
            lines.Fail("set_io: expected a port and a pin, found " + std::to_string(operands.size()) +
                       " word(s)");
        TPinConstraint record;
        record.Port = std::string(operands[0].Text);
        record.Pin = std::string(operands[1].Text);
        record.PinOffset = operands[1].Offset;
        record.PinLength = operands[1].Text.size();
        record.Line = lines.Line();
        record.SwapId = SwapIdOf(comment);
        file.Pins.push_back(std::move(record));
    }
}

// ---- .lpf ----

// The statements of a line, split at ";" outside quotes; words keep their quotes. A "#" or "//"
// outside quotes starts the comment. `terminated` tells whether the last statement ended in ";".
struct TLpfLine {
    std::vector<std::vector<TWord>> Statements;
    std::string_view Comment;
    bool Terminated = true, Unbalanced = false;
};

TLpfLine ScanLpf(std::string_view text, std::size_t begin, std::size_t end) {
    TLpfLine line;
    std::vector<TWord> statement;
    std::size_t i = begin;
    while (true) {
        while (i < end && IsBlank(text[i]))
            ++i;
        if (i >= end)
            break;
        if (text[i] == '#' || text.substr(i, 2) == "//") {
            line.Comment = text.substr(i, end - i);
            break;
        }
        if (text[i] == ';') {
            line.Statements.push_back(std::move(statement));
            statement.clear();
            ++i;
            continue;
        }
        const std::size_t start = i;
        if (text[i] == '"') {
            for (++i; i < end && text[i] != '"'; ++i) {
            }
            if (i >= end)
                line.Unbalanced = true;
            else
                ++i;
        } else {
            while (i < end && !IsBlank(text[i]) && text[i] != ';' && text[i] != '"' && text[i] != '#')
                ++i;
        }
        statement.push_back({text.substr(start, std::min(i, end) - start), start});
    }
    if (!statement.empty()) {
        line.Statements.push_back(std::move(statement));
        line.Terminated = false;
    }
    return line;
}

void ParseLpf(TLines& lines, TConstraintFile& file) {
    const std::string_view text = lines.Text();
    while (lines.Next()) {
        const TLpfLine line = ScanLpf(text, lines.Begin(), lines.End());
        for (std::size_t s = 0; s < line.Statements.size(); ++s) {
            const auto& words = line.Statements[s];
            if (words.empty() || !EqualNoCase(words[0].Text, "LOCATE"))
                continue;
            if (line.Unbalanced)
                lines.Fail("LOCATE: a quote is not closed");
            if (s + 1 == line.Statements.size() && !line.Terminated)
                lines.Fail("LOCATE: the statement does not end in \";\" on its line");
            if (words.size() != 5 || !EqualNoCase(words[1].Text, "COMP") ||
                !EqualNoCase(words[3].Text, "SITE"))
                lines.Fail("expected LOCATE COMP \"PORT\" SITE \"PIN\";");
            const TWord port = Inner(words[2]), pin = Inner(words[4]);
            if (port.Text.empty() || pin.Text.empty())
                lines.Fail("LOCATE COMP: empty port or pin name");
            TPinConstraint record;
            record.Port = std::string(port.Text);
            record.Pin = std::string(pin.Text);
            record.PinOffset = pin.Offset;
            record.PinLength = pin.Text.size();
            record.Line = lines.Line();
            record.SwapId = SwapIdOf(line.Comment);
            file.Pins.push_back(std::move(record));
        }
    }
}

} // namespace

TConstraintFormat ConstraintFormat_Of(const std::string& path) {
    const std::string extension = std::filesystem::path(path).extension().string();
    if (EqualNoCase(extension, ".pcf"))
        return TConstraintFormat::ePcf;
    if (EqualNoCase(extension, ".xdc"))
        return TConstraintFormat::eXdc;
    if (EqualNoCase(extension, ".lpf"))
        return TConstraintFormat::eLpf;
    if (EqualNoCase(extension, ".qsf"))
        return TConstraintFormat::eQsf;
    throw TConstraintError(path +
                           ": not a pin constraint file the host knows (expected .pcf, .xdc, .lpf or .qsf)");
}

const char* ConstraintFormat_Name(TConstraintFormat format) {
    switch (format) {
    case TConstraintFormat::ePcf:
        return "pcf";
    case TConstraintFormat::eXdc:
        return "xdc";
    case TConstraintFormat::eLpf:
        return "lpf";
    case TConstraintFormat::eQsf:
        return "qsf";
    }
    return "";
}

TConstraintFile ConstraintFile_Parse(const std::string& path, TConstraintFormat format, std::string text) {
    TConstraintFile file;
    file.Path = path;
    file.Format = format;
    file.Text = std::move(text);
    TLines lines(path, file.Text);
    switch (format) {
    case TConstraintFormat::ePcf:
        ParsePcf(lines, file);
        break;
    case TConstraintFormat::eXdc:
        ParseXdc(lines, file);
        break;
    case TConstraintFormat::eLpf:
        ParseLpf(lines, file);
        break;
    case TConstraintFormat::eQsf:
        ParseQsf(lines, file);
        break;
    }
    return file;
}

TConstraintFile ConstraintFile_Read(const std::string& path) {
    const TConstraintFormat format = ConstraintFormat_Of(path);
    return ConstraintFile_Parse(path, format, sexpr::readFile(path));
}

std::string ConstraintFile_Rewrite(const TConstraintFile& file, const std::vector<std::string>& newPins) {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < file.Pins.size() && i < newPins.size(); ++i)
        if (!newPins[i].empty())
            order.push_back(i);
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return file.Pins[a].PinOffset < file.Pins[b].PinOffset; });
    std::string out;
    out.reserve(file.Text.size() + 16);
    std::size_t at = 0;
    for (std::size_t i : order) {
        const auto& pin = file.Pins[i];
        out.append(file.Text, at, pin.PinOffset - at);
        out += newPins[i];
        at = pin.PinOffset + pin.PinLength;
    }
    out.append(file.Text, at, std::string::npos);
    return out;
}

} // namespace pcbhost::kicad
