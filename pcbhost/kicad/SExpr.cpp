// Nodes, located errors and string quoting.
#include "SExpr.h"

#include "FileIO.h"
#include "SExprTree.h"

#include <charconv>
#include <cmath>
#include <fmt/format.h>
#include <system_error>

namespace pcbhost::sexpr {

using detail::Item;

// ---------------------------------------------------------------------------------------------
// Errors

std::string formatLocated(std::string_view file, std::uint32_t line, std::uint32_t column,
                          std::string_view message) {
    std::string out;
    out.reserve(file.size() + message.size() + 24);
    out += file;
    out += ':';
    out += std::to_string(line);
    out += ':';
    out += std::to_string(column);
    out += ": ";
    out += message;
    return out;
}

std::string ParseWarning::text() const {
    return formatLocated(file, line, column, message);
}

ParseError::ParseError(std::string file, std::uint32_t line, std::uint32_t column, std::string message)
    : std::runtime_error(formatLocated(file, line, column, message)), file_(std::move(file)), line_(line),
      column_(column), message_(std::move(message)) {}

// ---------------------------------------------------------------------------------------------
// Node

void detail::nullNode() {
    throw std::logic_error("use of a null s-expression node");
}

const detail::Tree& Node::tree() const {
    if (tree_ == nullptr) {
        detail::nullNode();
    }
    return *static_cast<const detail::Tree*>(tree_);
}

namespace {

std::string shortText(std::string_view text) {
    constexpr std::size_t kMax = 40;
    if (text.size() <= kMax) {
        return std::string(text);
    }
    return fmt::format("{}...", text.substr(0, kMax));
}

} // namespace

std::uint32_t Node::line() const {
    return tree().positionOf(begin()).line;
}
std::uint32_t Node::column() const {
    return tree().positionOf(begin()).column;
}

std::string_view Node::value() const {
    const Item& item = this->item();
    if (item.kind == Kind::List) {
        fail(fmt::format("expected an atom but found {}", describe()));
    }
    return tree().valueOf(item);
}

double Node::asDouble() const {
    std::string_view text = value();
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    double result = 0;
    const char* last = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), last, result, std::chars_format::general);
    // from_chars also reads "inf" and "nan", which no KiCad length or angle can be.
    if (text.empty() || ec != std::errc() || ptr != last || !std::isfinite(result)) {
        fail(fmt::format("expected a number but found {}", describe()));
    }
    return result;
}

std::int64_t Node::asInt() const {
    std::string_view text = value();
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    std::int64_t result = 0;
    const char* last = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), last, result);
    if (ec == std::errc::result_out_of_range) {
        fail(fmt::format("integer out of range: {}", describe()));
    }
    if (text.empty() || ec != std::errc() || ptr != last) {
        fail(fmt::format("expected an integer but found {}", describe()));
    }
    return result;
}

Node Node::parent() const {
    const Item& item = this->item();
    return item.parent == detail::kNoParent ? Node() : Node(tree_, item.parent);
}

std::size_t Node::indexInParent() const {
    const Node up = parent();
    if (!up) {
        return 0;
    }
    const Item& list = tree().items[up.index_];
    for (std::uint32_t i = 0; i < list.count; ++i) {
        if (tree().children[list.first + i] == index_) {
            return i;
        }
    }
    throw std::logic_error("s-expression tree is inconsistent");
}

Node Node::find(std::string_view keyword) const {
    for (const Node child : children()) {
        if (child.is(keyword)) {
            return child;
        }
    }
    return Node();
}

std::vector<Node> Node::findAll(std::string_view keyword) const {
    std::vector<Node> found;
    for (const Node child : children()) {
        if (child.is(keyword)) {
            found.push_back(child);
        }
    }
    return found;
}

Node Node::require(std::string_view keyword) const {
    const Node found = find(keyword);
    if (!found) {
        fail(fmt::format("expected ({} ...) in {}", keyword, describe()));
    }
    return found;
}

Node Node::atom(std::size_t index) const {
    const Node element = (*this)[index];
    if (!element) {
        // Point at where the missing element would have been: the list's closing parenthesis.
        const Item& item = this->item();
        const std::size_t at = item.kind == Kind::List ? item.end - 1 : item.begin;
        const Document::Position pos = tree().positionOf(at);
        throw ParseError(tree().fileName, pos.line, pos.column,
                         fmt::format("expected an atom at index {} of {}", index, describe()));
    }
    if (element.isList()) {
        element.fail(fmt::format("expected an atom at index {} of {} but found {}", index, describe(),
                                 element.describe()));
    }
    return element;
}

ParseError Node::error(std::string_view message) const {
    const Document::Position at = tree().positionOf(begin());
    return ParseError(tree().fileName, at.line, at.column, std::string(message));
}

void Node::fail(std::string_view message) const {
    throw error(message);
}

std::string Node::location() const {
    const Document::Position at = tree().positionOf(begin());
    return fmt::format("{}:{}:{}", tree().fileName, at.line, at.column);
}

std::string Node::describe() const {
    const Item& item = this->item();
    if (item.kind != Kind::List) {
        return fmt::format("'{}'", shortText(text()));
    }
    const std::string_view word = keyword();
    if (word.empty()) {
        return item.count == 0 ? "()" : "(...)";
    }
    return fmt::format("({}{}", shortText(word), item.count > 1 ? " ...)" : ")");
}

// ---------------------------------------------------------------------------------------------
// Document: reading and queries (edits are in SExprEdit.cpp)

Document Document::parse(std::string bytes, std::string fileName, std::string_view expectedRoot) {
    return Document(
        detail::parseTree(detail::SourceBytes(std::move(bytes)), std::move(fileName), expectedRoot));
}

Document Document::load(const std::filesystem::path& path, std::string_view expectedRoot) {
    return Document(detail::parseTree(detail::SourceBytes::load(path), path.string(), expectedRoot));
}

Node Document::root() const {
    return Node(tree_.get(), 0);
}
void Document::releaseSource() const {
    tree_->source.release(0, tree_->bytes.size());
}
void Document::releaseSource(std::string_view part) const {
    const std::string_view bytes = tree_->bytes;
    if (part.empty() || part.data() < bytes.data() || part.data() + part.size() > bytes.data() + bytes.size())
        return;
    const auto begin = static_cast<std::size_t>(part.data() - bytes.data());
    tree_->source.release(begin, begin + part.size());
}
bool Document::sourceUnchangedOnDisk() const {
    return tree_->source.unchangedOnDisk();
}
void Document::noteSourceReplaced() const {
    tree_->source.noteReplaced();
}
std::string_view Document::source() const {
    return tree_->bytes;
}
const std::string& Document::fileName() const {
    return tree_->fileName;
}
std::size_t Document::nodeCount() const {
    return tree_->items.size();
}
const std::vector<ParseWarning>& Document::warnings() const {
    return tree_->warnings;
}

std::string_view Document::lineEnding() const {
    const std::string_view bytes = tree_->bytes;
    const std::size_t newline = bytes.find('\n');
    if (newline != std::string::npos && newline > 0 && bytes[newline - 1] == '\r') {
        return "\r\n";
    }
    return "\n";
}

Document::Position Document::positionOf(std::size_t offset) const {
    return tree_->positionOf(offset);
}

ParseError Document::errorAt(std::size_t offset, std::string_view message) const {
    const Position pos = positionOf(offset);
    return ParseError(tree_->fileName, pos.line, pos.column, std::string(message));
}

// ---------------------------------------------------------------------------------------------
// Strings

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    auto hex = [&out](unsigned char c) { out += fmt::format("\\x{:02X}", c); };
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if ((c < 0x20 && c != '\t') || c == 0x7F)
                hex(c);
            else
                out += char(c);
            ++i;
            continue;
        }
        // The length of the sequence a lead byte starts, and the smallest code point it may
        // carry (shorter forms are not well-formed).
        const std::size_t length = c >= 0xC2 && c <= 0xDF   ? 2
                                   : c >= 0xE0 && c <= 0xEF ? 3
                                   : c >= 0xF0 && c <= 0xF4 ? 4
                                                            : 0;
        bool ok = length > 0 && i + length <= text.size();
        std::uint32_t code = length == 2 ? c & 0x1F : length == 3 ? c & 0x0F : c & 0x07;
        for (std::size_t k = 1; ok && k < length; ++k) {
            const auto t = static_cast<unsigned char>(text[i + k]);
            ok = (t & 0xC0) == 0x80;
            code = (code << 6) | (t & 0x3F);
        }
        ok = ok && !(length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) &&
             !(length == 4 && (code < 0x10000 || code > 0x10FFFF));
        if (ok) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            hex(c);
            ++i;
        }
    }
    return out;
}

std::string quote(std::string_view value) {
    std::string out;
    out.reserve(value.size() + 2);
    out += '"';
    for (const char c : value) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c; // tabs and all other bytes, UTF-8 included, are written as they are
            break;
        }
    }
    out += '"';
    return out;
}

bool needsQuotes(std::string_view value) {
    if (value.empty() || value.front() == '#') {
        return true;
    }
    for (const char c : value) {
        if (detail::isDelimiter(c)) {
            return true;
        }
    }
    return false;
}

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool isOctal(char c) {
    return c >= '0' && c <= '7';
}

} // namespace

std::string unescape(std::string_view body) {
    std::string out;
    out.reserve(body.size());
    std::size_t i = 0;
    while (i < body.size()) {
        const char c = body[i];
        if (c != '\\' || i + 1 >= body.size()) {
            out += c;
            ++i;
            continue;
        }
        const char e = body[i + 1];
        switch (e) {
        case '"':
        case '\\':
            out += e;
            i += 2;
            continue;
        case 'n':
            out += '\n';
            i += 2;
            continue;
        case 'r':
            out += '\r';
            i += 2;
            continue;
        case 't':
            out += '\t';
            i += 2;
            continue;
        case 'x': {
            std::size_t j = i + 2;
            int value = 0;
            while (j < body.size() && j < i + 4 && hexDigit(body[j]) >= 0) {
                value = value * 16 + hexDigit(body[j]);
                ++j;
            }
            if (j > i + 2) {
                out += static_cast<char>(value);
                i = j;
                continue;
            }
            break;
        }
        default:
            if (isOctal(e)) {
                std::size_t j = i + 1;
                int value = 0;
                while (j < body.size() && j < i + 4 && isOctal(body[j])) {
                    value = value * 8 + (body[j] - '0');
                    ++j;
                }
                if (value <= 0xFF) {
                    out += static_cast<char>(value);
                    i = j;
                    continue;
                }
            }
            break;
        }
        // Not an escape we know: keep the backslash; the bytes after it are copied as plain text.
        out += c;
        ++i;
    }
    return out;
}

} // namespace pcbhost::sexpr
