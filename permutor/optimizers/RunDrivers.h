// The drivers the swap commands start with a board document path: the automatic optimisation
// run and the interactive swap runner.
#pragma once

#include "permutor/model/SwapMode.h"

#include <string>

namespace permutor::optimizers {

// The interactive swappers, one per command.
enum TInteractiveSwapperKind {
    eSwapper_InteractivePins,        // TSwapOptimizer_InteractivePins
    eSwapper_InteractiveKESTRELPins, // TSwapOptimizer_InteractiveKESTRELPins
    eSwapper_InteractiveKESTRELPin,  // TSwapOptimizer_InteractiveKESTRELPin
    eSwapper_InteractiveParts,       // TSwapOptimizer_InteractiveParts
    eSwapper_InteractivePairs,       // TSwapOptimizer_InteractivePairs
};

// Automatic pin/net optimisation of the board; true when it completed without an abort that was
// kept.
bool AutoPermutor_Run(const std::string& documentPath);

// Checks the project, builds the data set for `mode`, runs one interactive swapper and reports.
// True once the project check passed.
bool InteractiveSwapper_Run(const std::string& documentPath, TInteractiveSwapperKind swapper,
                            model::TSwapMode mode, const std::string& caption);

} // namespace permutor::optimizers
