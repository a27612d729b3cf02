// Wall-clock times of the phases of one command run (`optimize --timings`): loading, the
// module's own phases as its progress displays bracket them, the board figures and saving.
#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace pcbhost::cli {

using TClock = std::chrono::steady_clock;

// A progress display the module opened, with when it opened and closed.
struct TProgressSpan {
    std::string Caption;
    TClock::time_point Begin, End;
    int Depth = 0; // 0: not inside another display
    bool Ended = false;
};

class TPhaseTimes {
public:
    // Adds to a phase (a phase named twice is summed, in the place it was first named).
    void Add(const std::string& phase, double seconds);
    void Add(const std::string& phase, TClock::time_point begin, TClock::time_point end);
    const std::vector<std::pair<std::string, double>>& Phases() const { return FPhases; }
    double Total() const;
    // "load 1.20 s, build 0.31 s, …, total 3.02 s"
    std::string Line() const;

    // Splits one module command, run from `begin` to `end`, into phases by the top-level
    // progress displays it showed: "build" before the first display, one phase per display
    // (the optimisers by their short names), "export" from the board update to the end, and
    // "module (other)" for what lies between displays (questions, the module's own steps).
    void AddModuleRun(TClock::time_point begin, TClock::time_point end,
                      const std::vector<TProgressSpan>& spans);

private:
    std::vector<std::pair<std::string, double>> FPhases;
};

// The short phase name of a progress display's caption: "greedy", "iterative", "export", or
// the caption itself without its trailing dots.
std::string Phase_OfCaption(const std::string& caption);

} // namespace pcbhost::cli
