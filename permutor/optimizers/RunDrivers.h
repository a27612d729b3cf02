// The drivers the swap commands start with a board document path: the automatic optimisation
// run and the interactive swap runner, and the report texts they share.
#pragma once

#include "permutor/model/SwapMode.h"
#include "permutor/optimizers/IterativeOptimizer.h"
#include "permutor/optimizers/PartOptimizer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace permutor::optimizers {

// The interactive swappers, one per command.
enum TInteractiveSwapperKind {
    eSwapper_InteractivePins,        // TSwapOptimizer_InteractivePins
    eSwapper_InteractiveKESTRELPins, // TSwapOptimizer_InteractiveKESTRELPins
    eSwapper_InteractiveKESTRELPin,  // TSwapOptimizer_InteractiveKESTRELPin
    eSwapper_InteractiveParts,       // TSwapOptimizer_InteractiveParts
    eSwapper_InteractivePairs,       // TSwapOptimizer_InteractivePairs
};

// Length (board units) and crossings of the board's connection lines before and after a run.
struct TRunStatistics {
    double LengthBefore = 0, LengthAfter = 0;
    std::int32_t CrossingsBefore = 0, CrossingsAfter = 0;
};

// How the automatic run goes beyond its questions.
struct TAutoRunOptions {
    // False skips the iterative optimiser as answering No to its question does.
    bool Iterative = true;
    TIterativeSettings IterativeSettings;
    // The automatic gate and pair passes, before the pin passes.
    bool Gates = false;
    bool Pairs = false;
};

// What an automatic run did, for callers that measure it.
struct TAutoRunResult {
    bool Built = false;    // the data set was built
    bool Exported = false; // the new assignment reached the board
    bool IterativeRan = false;
    TRunStatistics Statistics;
    std::int32_t Swappable = 0; // swappable sub-nets
    std::int32_t Locked = 0;    // fixed by the fast optimiser
    double CostStart = 0;       // model cost after the build
    double CostAfterGreedy = 0;
    double CostEnd = 0;
    double SubNetCostEnd = 0;      // the connection part of CostEnd
    std::int32_t CrossingsEnd = 0; // the model's crossings among swappable sub-nets at the end
    std::int32_t ElapsedSeconds = 0;
    std::int32_t Iterations = 0;  // steps of both optimisers
    std::int32_t NoPairMoves = 0; // iterative moves that found no pair
    TPartPassResult Gates;        // the gate pass, when requested
    TPartPassResult Pairs;        // the pair pass, when requested
};

// Automatic pin/net optimisation of the board; true when it completed without an abort that was
// kept.
bool AutoPermutor_Run(const std::string& documentPath, const TAutoRunOptions& options = {},
                      TAutoRunResult* result = nullptr);

// Checks the project, builds the data set for `mode`, runs one interactive swapper and reports.
// True once the project check passed.
bool InteractiveSwapper_Run(const std::string& documentPath, TInteractiveSwapperKind swapper,
                            model::TSwapMode mode, const std::string& caption);
// The class behind each swapper kind; the interactive swappers register theirs. None when the
// kind has no swapper in this build.
TSwapOptimizerClass SwapperClass_Get(TInteractiveSwapperKind swapper);
void SwapperClass_Register(TInteractiveSwapperKind swapper, TSwapOptimizerClass swapperClass);

// The project check of the interactive runner: 0 when the project is ready, else the code of
// ProjectCheck_Message.
std::int32_t ProjectCheck(const std::string& documentPath);
std::string ProjectCheck_Message(std::int32_t status);

// A number with thousands separators and three decimals ("1,234.500").
std::string FormatThousands3(double value);
// The run's report; `passLines` follow the figures, and with `elapsedSeconds` >= 0 it ends with the
// elapsed time.
std::string Report_Text(const TRunStatistics& statistics, host::TUnit unit, std::int32_t elapsedSeconds = -1,
                        const std::vector<std::string>& passLines = {});

} // namespace permutor::optimizers
