#include "pcbhost/cli/Options.h"

#include "permutor/host/Text.h"

#include <charconv>
#include <cmath>

namespace pcbhost::cli {

using namespace permutor::host;

namespace {

bool ParseNumber(std::string_view text, double& value) {
    text = Text_Trim(text);
    if (text.empty())
        return false;
    if (text.front() == '+')
        text.remove_prefix(1);
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && std::isfinite(value);
}

bool ParseInt(std::string_view text, int& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

} // namespace

std::optional<bool> YesNo_Parse(std::string_view text) {
    text = Text_Trim(text);
    for (const char* yes : {"yes", "y", "true", "1", "ok"})
        if (Text_EqualNoCase(text, yes))
            return true;
    for (const char* no : {"no", "n", "false", "0", "cancel"})
        if (Text_EqualNoCase(text, no))
            return false;
    return std::nullopt;
}

bool Answer_Parse(std::string_view text, TAnswerOption& out, std::string& error) {
    // The caption may itself hold "=", so the answer is what follows the last one.
    const auto eq = text.rfind('=');
    if (eq == std::string_view::npos) {
        error = "expected CAPTION=yes|no, got \"" + std::string(text) + "\"";
        return false;
    }
    const std::string_view caption = Text_Trim(text.substr(0, eq));
    const auto answer = YesNo_Parse(text.substr(eq + 1));
    if (caption.empty()) {
        error = "the caption before \"=\" is empty in \"" + std::string(text) + "\"";
        return false;
    }
    if (!answer) {
        error = "expected yes or no after \"=\" in \"" + std::string(text) + "\"";
        return false;
    }
    out.Caption = std::string(caption);
    out.Yes = *answer;
    return true;
}

TV6_Layer Layer_Parse(std::string_view text) {
    text = Text_Trim(text);
    if (Text_EqualNoCase(text, "F.Cu") || Text_EqualNoCase(text, "top"))
        return eV6_TopLayer;
    if (Text_EqualNoCase(text, "B.Cu") || Text_EqualNoCase(text, "bottom"))
        return eV6_BottomLayer;
    int n = 0;
    if (Text_StartsWithNoCase(text, "In") && text.size() > 5 &&
        Text_EqualNoCase(text.substr(text.size() - 3), ".Cu")) {
        if (ParseInt(text.substr(2, text.size() - 5), n) && n >= 1 && n <= 30)
            return TV6_Layer(n + 1);
        return eV6_NoLayer;
    }
    if (ParseInt(text, n) && n >= eV6_TopLayer && n <= eV6_BottomLayer)
        return TV6_Layer(n);
    return eV6_NoLayer;
}

bool Pick_Parse(std::string_view text, TPickOption& out, std::string& error) {
    out = TPickOption{};
    out.Text = std::string(Text_Trim(text));
    const std::string_view t = out.Text;
    if (t.find(',') != std::string_view::npos) {
        std::vector<std::string_view> parts;
        std::size_t start = 0;
        for (;;) {
            const auto comma = t.find(',', start);
            parts.push_back(
                t.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
            if (comma == std::string_view::npos)
                break;
            start = comma + 1;
        }
        if (parts.size() < 2 || parts.size() > 3 || !ParseNumber(parts[0], out.XMM) ||
            !ParseNumber(parts[1], out.YMM)) {
            error = "expected X,Y or X,Y,LAYER in millimetres, got \"" + out.Text + "\"";
            return false;
        }
        if (parts.size() == 3) {
            out.Layer = Layer_Parse(parts[2]);
            if (out.Layer == eV6_NoLayer) {
                error = "unknown copper layer \"" + std::string(Text_Trim(parts[2])) + "\" in \"" + out.Text +
                        "\" (use F.Cu, In1.Cu..In30.Cu, B.Cu or 1..32)";
                return false;
            }
        }
        out.Kind = TPickOption::ePoint;
        return true;
    }
    // REF-PAD; the split that matches the board is found when the pick is used, this one is
    // the usual reading (references carry no "-").
    const auto dash = t.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash + 1 == t.size()) {
        error = "expected REF-PAD (e.g. U1-3) or X,Y[,LAYER] in millimetres, got \"" + out.Text + "\"";
        return false;
    }
    out.Kind = TPickOption::ePad;
    out.Reference = std::string(t.substr(0, dash));
    out.Pad = std::string(t.substr(dash + 1));
    return true;
}

} // namespace pcbhost::cli
