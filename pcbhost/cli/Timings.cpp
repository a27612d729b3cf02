#include "pcbhost/cli/Timings.h"

#include "permutor/host/Text.h"

#include <fmt/format.h>

#include <algorithm>

namespace pcbhost::cli {

namespace {

double Seconds(TClock::time_point begin, TClock::time_point end) {
    return std::max(0.0, std::chrono::duration<double>(end - begin).count());
}

} // namespace

void TPhaseTimes::Add(const std::string& phase, double seconds) {
    for (auto& [name, total] : FPhases)
        if (name == phase) {
            total += seconds;
            return;
        }
    FPhases.emplace_back(phase, seconds);
}

void TPhaseTimes::Add(const std::string& phase, TClock::time_point begin, TClock::time_point end) {
    Add(phase, Seconds(begin, end));
}

double TPhaseTimes::Total() const {
    double total = 0;
    for (const auto& phase : FPhases)
        total += phase.second;
    return total;
}

std::string TPhaseTimes::Line() const {
    std::string line;
    for (const auto& [name, seconds] : FPhases)
        line += fmt::format("{}{} {:.2f} s", line.empty() ? "" : ", ", name, seconds);
    return line + fmt::format("{}total {:.2f} s", line.empty() ? "" : ", ", Total());
}

std::string Phase_OfCaption(const std::string& caption) {
    auto contains = [&caption](std::string_view part) {
        return permutor::host::Text_FindNoCase(caption, part) != std::string_view::npos;
    };
    if (contains("Local Pin/Net Optimizer"))
        return "greedy";
    if (contains("Iterative Pin/Net Optimizer"))
        return "iterative";
    if (contains("Updating PCB"))
        return "export";
    std::string name = caption;
    while (!name.empty() && (name.back() == '.' || name.back() == ' '))
        name.pop_back();
    return name.empty() ? "module (other)" : name;
}

void TPhaseTimes::AddModuleRun(TClock::time_point begin, TClock::time_point end,
                               const std::vector<TProgressSpan>& spans) {
    TClock::time_point at = begin;
    bool first = true;
    for (const TProgressSpan& span : spans) {
        if (span.Depth != 0 || span.Begin < begin || span.Begin > end)
            continue;
        const std::string phase = Phase_OfCaption(span.Caption);
        Add(first ? "build" : "module (other)", at, span.Begin);
        first = false;
        // The board update runs on into the module's last steps (the schematic's side).
        const TClock::time_point spanEnd = phase == "export" || !span.Ended ? end : std::min(span.End, end);
        Add(phase, span.Begin, spanEnd);
        at = std::max(at, spanEnd);
    }
    Add(first ? "module" : "module (other)", at, end);
}

} // namespace pcbhost::cli
