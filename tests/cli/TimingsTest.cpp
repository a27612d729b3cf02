// How one module run is split into phases by the progress displays it showed.
#include "pcbhost/cli/Timings.h"

#include <gtest/gtest.h>

#include <map>

using namespace pcbhost::cli;

namespace {

TClock::time_point At(double seconds) {
    return TClock::time_point(
        std::chrono::duration_cast<TClock::duration>(std::chrono::duration<double>(seconds)));
}

std::map<std::string, double> Split(double begin, double end, const std::vector<TProgressSpan>& spans) {
    TPhaseTimes times;
    times.AddModuleRun(At(begin), At(end), spans);
    std::map<std::string, double> r;
    for (const auto& [phase, seconds] : times.Phases())
        r[phase] = seconds;
    EXPECT_NEAR(times.Total(), end - begin, 1e-9) << "the phases cover the run exactly once";
    return r;
}

} // namespace

TEST(Timings, AnAutomaticRunSplitsIntoBuildTheOptimisersAndExport) {
    // build 0-2, greedy 2-3, a question 3-3.5, iterative 3.5-9, export from 9 to the run's end
    // (the board update's display closes at 9.5, the module's own last steps follow).
    const auto phases = Split(10, 20,
                              {{"Local Pin/Net Optimizer...", At(12), At(13), 0, true},
                               {"Iterative Pin/Net Optimizer...", At(13.5), At(19), 0, true},
                               {"inner", At(14), At(15), 1, true},
                               {"Updating PCB with Pin/Net Changes...", At(19), At(19.5), 0, true}});
    EXPECT_NEAR(phases.at("build"), 2, 1e-9);
    EXPECT_NEAR(phases.at("greedy"), 1, 1e-9);
    EXPECT_NEAR(phases.at("module (other)"), 0.5, 1e-9);
    EXPECT_NEAR(phases.at("iterative"), 5.5, 1e-9);
    EXPECT_NEAR(phases.at("export"), 1, 1e-9);
    EXPECT_EQ(phases.count("inner"), 0u) << "a display inside another is part of it";
}

TEST(Timings, ARunWithoutDisplaysIsOnePhaseAndOthersKeepTheirCaption) {
    auto phases = Split(0, 3, {});
    EXPECT_NEAR(phases.at("module"), 3, 1e-9);
    EXPECT_EQ(phases.size(), 1u);

    // A display that never closed runs to the end; a caption the host does not know names itself.
    phases = Split(0, 4, {{"Swapping Parts...", At(1), At(0), 0, false}});
    EXPECT_NEAR(phases.at("build"), 1, 1e-9);
    EXPECT_NEAR(phases.at("Swapping Parts"), 3, 1e-9);
}

TEST(Timings, PhasesNamedTwiceAreSummedAndTheLineListsThemInOrder) {
    TPhaseTimes times;
    times.Add("load", 1.0);
    times.Add("board figures", 0.25);
    times.Add("load", 0.5);
    EXPECT_EQ(times.Line(), "load 1.50 s, board figures 0.25 s, total 1.75 s");
    EXPECT_EQ(TPhaseTimes().Line(), "total 0.00 s");
}
