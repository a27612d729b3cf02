// The data set a run creates and frees: its log is closed before the set goes, also when an
// exception passes.
#pragma once

#include "permutor/model/SwapDataSet.h"

#include <memory>

namespace permutor::optimizers {

struct TDataSetHolder {
    std::unique_ptr<model::TSwapDataSet> Data;
    ~TDataSetHolder() {
        if (Data)
            Data->CloseLog();
    }
};

} // namespace permutor::optimizers
