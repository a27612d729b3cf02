#include "pcbhost/cli/SwapReport.h"

#include <filesystem>

namespace pcbhost::cli {

namespace {

// RFC 4180 quoting, only where a field needs it.
std::string Field(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

} // namespace

std::string SwapLog_Csv(const std::vector<TSwapLogEntry>& log) {
    std::string csv = "component,pin_a,pin_b,net_a_before,net_b_before,net_a_after,net_b_after\n";
    for (const auto& e : log) {
        // Swaps stay within one component; a pad without one is named by its board text.
        const std::string component = !e.ComponentA.empty() ? e.ComponentA : e.ComponentB;
        csv += Field(component) + "," + Field(e.PinA) + "," + Field(e.PinB) + "," + Field(e.NetA) + "," +
               Field(e.NetB) + "," + Field(e.NetB) + "," + Field(e.NetA) + "\n";
    }
    return csv;
}

std::string SwapLog_PathFor(const std::string& boardPath) {
    std::filesystem::path p(boardPath);
    return (p.parent_path() / (p.stem().string() + ".swaps.csv")).string();
}

} // namespace pcbhost::cli
