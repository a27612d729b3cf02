#include "permutor/optimizers/SwapOptimizer.h"

#include "permutor/host/Services.h"

#include <fmt/format.h>

#include <chrono>
#include <ctime>

namespace permutor::optimizers {

using namespace permutor::host;

namespace {

// Shared by every optimiser of the module: one user-interface thread runs them all.
bool GAborted = false;
std::int32_t GPollCount = 0;

constexpr std::int32_t cPollInterval = 50;
constexpr std::int32_t cSecondsPerDay = 86400;

std::int32_t SecondOfDay(const TTimeOfDay& t) {
    return std::int32_t(t.Hour) * 3600 + std::int32_t(t.Minute) * 60 + std::int32_t(t.Second);
}

} // namespace

TTimeOfDay TimeOfDay_Now() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    return {std::uint16_t(local.tm_hour), std::uint16_t(local.tm_min), std::uint16_t(local.tm_sec),
            std::uint16_t(ms)};
}

TElapsedTime Elapsed_Between(const TTimeOfDay& start, const TTimeOfDay& end) {
    std::int32_t seconds = SecondOfDay(end) - SecondOfDay(start);
    if (seconds < 0)
        seconds += cSecondsPerDay;
    return {std::uint16_t(seconds / 3600), std::uint16_t(seconds / 60 % 60), std::uint16_t(seconds % 60)};
}

std::string Elapsed_Text(std::int64_t seconds) {
    return fmt::format("{:02}:{:02}:{:02}", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

bool Optimizer_Aborted() {
    return GAborted;
}

void Optimizer_SetAborted(bool aborted) {
    GAborted = aborted;
}

void Optimizer_AskToKeepPartialResult() {
    if (GAborted && MessageBox_Confirm("This phase of the optimization was interrupted.\r\rDo you wish to "
                                       "continue with the partial results?",
                                       "Confirm Continue With Net/Pin Assignment"))
        GAborted = false;
}

std::int32_t Optimizer_PollCount() {
    return GPollCount;
}

void Optimizer_AbortPoll() {
    if (GAborted)
        return;
    ++GPollCount;
    if (GPollCount % cPollInterval != 0)
        return;
    auto ui = HostUI_Get();
    if (!ui)
        return;
    // Every pending message is handled in one poll; each abort key press is its own question.
    ui->ProcessMessages();
    while (ui->AbortKey_Pressed())
        if (MessageBox_Confirm("Abort Pin/Net Optimization Yes/No?", "Confirm", false)) {
            GAborted = true;
            break;
        }
}

TSwapOptimizer_Abstract::TSwapOptimizer_Abstract(TSwapDataSet& ASwapData) : TSwapDataObject(ASwapData) {
    StartTime = TimeOfDay_Now();
    EndTime = StartTime;
}

void TSwapOptimizer_Abstract::ShowStatus() {
    auto ui = HostUI_Get();
    if (!ui)
        return;
    ui->StatusBar_SetPanelText(
        3, fmt::format(" X-Overs:{} ConnectionCost:{:.3f} TotalCost:{:.3f} Iterations:{}",
                       SwapData->TotalIntersectionCount(), SwapData->TotalSubNetCost() / 1e6,
                       SwapData->GetTotalCost() / 1e6, Iterations));
}

bool TSwapOptimizer_Abstract::Optimize() {
    return false;
}

void TSwapOptimizer_Abstract::RecordSwap(TSwapSubNet* SubNetA, TSwapSubNet* SubNetB) {
    if (!Board())
        return;
    auto log = Board()->PinSwapLog();
    if (!log || !SubNetA->SwapPin || !SubNetB->SwapPin)
        return;
    IPCB_Pad* padA = SubNetA->SwapPin->Pin_PCB().get();
    IPCB_Pad* padB = SubNetB->SwapPin->Pin_PCB().get();
    if (!padA || !padB)
        return;
    auto netOf = [](TSwapSubNet* S) -> IPCB_Net* {
        return S->Net_Original ? S->Net_Original->Net_PCB().get() : nullptr;
    };
    log->RecordSwap(padA, padB, netOf(SubNetA), netOf(SubNetB));
}

bool TSwapOptimizer_Abstract::Run() {
    if (Board())
        Board()->ViewUpdate(1);
    CostAtStart = SwapData->GetTotalCost();
    Iterations = 0;
    StartTime = TimeOfDay_Now();
    const bool result = Optimize();
    CostAtEnd = SwapData->GetTotalCost();
    FinishTiming();
    if (Board())
        Board()->ViewUpdate(1);
    return result;
}

void TSwapOptimizer_Abstract::FinishTiming() {
    FinishTimingAt(TimeOfDay_Now());
}

void TSwapOptimizer_Abstract::FinishTimingAt(const TTimeOfDay& end) {
    EndTime = end;
    ElapsedTime = Elapsed_Between(StartTime, EndTime);
    ElapsedSeconds = std::int32_t(ElapsedTime.Hours) * 3600 + ElapsedTime.Minutes * 60 + ElapsedTime.Seconds;
    ElapsedText = Elapsed_Text(ElapsedSeconds);
    // A finished run is reported as taking at least one second.
    if (ElapsedSeconds == 0)
        ElapsedSeconds = 1;
}

} // namespace permutor::optimizers
