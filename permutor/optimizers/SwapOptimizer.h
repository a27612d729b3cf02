// The base of everything that changes net assignments on a swap data set: it times a run, keeps
// the cost before and after, shows a status line, tells the host's pin-swap log about every
// committed swap, and holds the abort flag that the user sets with the abort key.
#pragma once

#include "permutor/model/SwapDataSet.h"
#include "permutor/model/SwapRecords.h"

#include <cstdint>
#include <memory>
#include <string>

namespace permutor::optimizers {

using model::TSwapDataSet;
using model::TSwapSubNet;

// A time of day to the millisecond.
struct TTimeOfDay {
    std::uint16_t Hour = 0, Minute = 0, Second = 0, MilliSecond = 0;
};
// A span of whole hours, minutes and seconds.
struct TElapsedTime {
    std::uint16_t Hours = 0, Minutes = 0, Seconds = 0;
};

// The local time of day now.
TTimeOfDay TimeOfDay_Now();
// `end` - `start` on seconds of the day; an end earlier than the start is taken as the next day.
TElapsedTime Elapsed_Between(const TTimeOfDay& start, const TTimeOfDay& end);
// Hours, minutes and seconds with at least two digits each, joined by ":".
std::string Elapsed_Text(std::int64_t seconds);

// The abort flag shared by every optimiser: set by the abort poll when the user confirms, cleared
// by the automatic run before it starts.
bool Optimizer_Aborted();
void Optimizer_SetAborted(bool aborted);
// Called by the optimisers after every step. Every 50th call lets the host handle pending window
// messages and, on the abort key, asks whether to abort. Does nothing once the flag is set.
void Optimizer_AbortPoll();
// After a phase the user interrupted: asks whether to keep the partial result; Yes clears the
// flag so that the run goes on. Nothing when the flag is not set.
void Optimizer_AskToKeepPartialResult();
// Calls of the abort poll that counted, since the module was loaded.
std::int32_t Optimizer_PollCount();

class TSwapOptimizer_Abstract;
// What a class reference does for the swap runner: makes an optimiser of that class.
using TSwapOptimizerClass = std::unique_ptr<TSwapOptimizer_Abstract> (*)(TSwapDataSet& ASwapData);

class TSwapOptimizer_Abstract : public model::TSwapDataObject {
public:
    explicit TSwapOptimizer_Abstract(TSwapDataSet& ASwapData);
    const char* ClassName() const override { return "TSwapOptimizer_Abstract"; }

    // Status panel 3: crossings, connection and total cost, steps.
    virtual void ShowStatus();
    // The algorithm; true when it completed. The base does nothing and returns false.
    virtual bool Optimize();
    // Tells the host's pin-swap log about a committed swap of the two sub-nets.
    void RecordSwap(TSwapSubNet* SubNetA, TSwapSubNet* SubNetB);

    // Times and costs one Optimize.
    bool Run();
    // EndTime := now and the elapsed figures from StartTime.
    void FinishTiming();
    void FinishTimingAt(const TTimeOfDay& end);

    double CostAtStart = 0;
    double CostAtEnd = 0;
    TTimeOfDay StartTime;
    TTimeOfDay EndTime;
    TElapsedTime ElapsedTime;
    std::string ElapsedText;
    std::int32_t ElapsedSeconds = 0;
    std::int32_t Iterations = 0;
    double MaxRange = 0;
};

} // namespace permutor::optimizers
