#include "permutor/optimizers/RunDrivers.h"

#include "permutor/optimizers/DataSetHolder.h"

#include "permutor/host/Services.h"
#include "permutor/optimizers/GreedyOptimizer.h"

#include <fmt/format.h>

#include <array>
#include <cmath>
#include <memory>

namespace permutor::optimizers {

using namespace permutor::host;
using model::TSwapDataSet;

namespace {

constexpr std::int32_t cReportImageIndex = 27;

std::array<TSwapOptimizerClass, 5> GSwapperClasses{};

host::TUnit DisplayUnitOf(TSwapDataSet& data) {
    return data.PCBBoard() ? data.PCBBoard()->DisplayUnit() : host::eMetric;
}

} // namespace

std::string FormatThousands3(double value) {
    std::string digits = fmt::format("{:.3f}", std::fabs(value));
    const std::size_t point = digits.find('.');
    std::string whole = digits.substr(0, point);
    std::string grouped;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0)
            grouped += ',';
        grouped += whole[i];
    }
    const bool negative = value < 0 && digits.find_first_not_of("0.") != std::string::npos;
    return (negative ? "-" : "") + grouped + digits.substr(point);
}

std::string Report_Text(const TRunStatistics& s, host::TUnit unit, std::int32_t elapsedSeconds,
                        const std::vector<std::string>& passLines) {
    auto word = [](double before, double after) {
        if (before > after)
            return "Reduced";
        if (after > before)
            return "Increased";
        return "(No Change)";
    };
    const bool imperial = unit != host::eMetric;
    const double factor = imperial ? 1.0 : 25.4;
    auto length = [factor](double L) { return FormatThousands3(factor * L / 1e7); };
    std::string text =
        fmt::format("Length {} From {} To {} (Delta={}) {} \r\rCross-Overs {} From {} To {} (Delta={})",
                    word(s.LengthBefore, s.LengthAfter), length(s.LengthBefore), length(s.LengthAfter),
                    length(s.LengthBefore - s.LengthAfter), imperial ? "inches" : "mm",
                    word(s.CrossingsBefore, s.CrossingsAfter), s.CrossingsBefore, s.CrossingsAfter,
                    s.CrossingsBefore - s.CrossingsAfter);
    for (const auto& line : passLines)
        text += "\r\r" + line;
    if (elapsedSeconds >= 0)
        text += "\r\rElapsed Time: " + Elapsed_Text(elapsedSeconds);
    return text;
}

bool AutoPermutor_Run(const std::string& documentPath, const TAutoRunOptions& options,
                      TAutoRunResult* result) {
    TAutoRunResult local;
    TAutoRunResult& out = result ? *result : local;
    out = {};
    Optimizer_SetAborted(false);

    auto project = Project_OfDocument(documentPath);
    if (!project) {
        MessageBox_Error("Pin/Net Optimization requires that the board is part of a PCB Project");
        return false;
    }
    project->Compile();
    if (!project->CompiledDocument()) {
        MessageBox_Error("Failed to Compile: " + project->FileName());
        return false;
    }

    // Gates and pairs go first: exchanging whole gates or pairs is the coarse move, and the pin
    // passes then refine the pins of the new arrangement (an exchange after them would undo the
    // pins' fit). On the example the passes touch different nets, and the pins end exactly as a
    // pin-only run leaves them. Each pass builds its own data set from the board as the previous
    // one left it.
    bool haveBefore = false;
    std::vector<std::string> passLines;
    for (const model::TSwapMode mode : {model::eSwap_Parts, model::eSwap_DifferentialPairs}) {
        const bool gates = mode == model::eSwap_Parts;
        if (!(gates ? options.Gates : options.Pairs))
            continue;
        TPartPassResult& pass = gates ? out.Gates : out.Pairs;
        const bool passed =
            PartPass_Run(documentPath, mode, pass, haveBefore ? nullptr : &out.Statistics.LengthBefore,
                         haveBefore ? nullptr : &out.Statistics.CrossingsBefore);
        haveBefore = haveBefore || pass.Built;
        // A failed build has said why; a dropped result ends the run as it would the pin passes.
        if (!passed)
            return false;
        passLines.push_back(PartPass_ReportLine(mode, pass));
        out.ElapsedSeconds += pass.ElapsedSeconds;
    }

    TDataSetHolder holder;
    holder.Data = std::make_unique<TSwapDataSet>(documentPath, model::eSwap_Pins);
    TSwapDataSet& data = *holder.Data;
    data.OpenLog();

    bool completed = false;
    std::unique_ptr<TSwapOptimizer_Abstract> greedy, iterative;
    if (data.Build("", false)) {
        out.Built = true;
        out.Swappable = std::int32_t(data.MasterSubNetList_Swappable.Count());
        out.CostStart = data.GetTotalCost();
        if (!haveBefore)
            data.GetConnectionStatsFromBoard(out.Statistics.LengthBefore, out.Statistics.CrossingsBefore);
        data.NetConnects_RememberAndHide();

        greedy = TSwapOptimizer_Greedy::Create(data);
        if (greedy->Run()) {
            out.CostAfterGreedy = data.GetTotalCost();
            out.Iterations += greedy->Iterations;
            Optimizer_AskToKeepPartialResult();
            bool runIterative = options.Iterative;
            if (!Optimizer_Aborted()) {
                const std::int32_t locked = data.GetLockedCount();
                out.Locked = locked;
                if (locked != 0 && runIterative)
                    runIterative = MessageBox_Confirm(
                        fmt::format("The fast optimizer has completed {} out of {} swappable pins. "
                                    "\r\rContinue with iterative optimizer",
                                    locked, out.Swappable),
                        "Confirm Iterative Optimizer?");
            }
            if (!Optimizer_Aborted() && runIterative) {
                auto optimizer = std::make_unique<TSwapOptimizer_Iterative>(data);
                optimizer->Settings = options.IterativeSettings;
                TSwapOptimizer_Iterative* it = optimizer.get();
                iterative = std::move(optimizer);
                out.IterativeRan = true;
                const bool ran = iterative->Run();
                out.Iterations += it->MovesTotal;
                out.NoPairMoves = it->NoPairMoves;
                if (ran)
                    Optimizer_AskToKeepPartialResult();
            }
            completed = !Optimizer_Aborted();
        }
        out.CostEnd = data.GetTotalCost();
        out.SubNetCostEnd = data.TotalSubNetCost();
        out.CrossingsEnd = data.TotalIntersectionCount();
    }

    HostUI_ProcessMessages();
    data.RemoveAllConnectionDisplayLines();
    data.RemoveDummyNetForConnections();
    if (!Optimizer_Aborted()) {
        data.ExportChanges_ToPCB();
        data.NetConnects_RebuildAndShow();
        data.RedrawBoard();
        out.Exported = out.Built;
        if (out.Built) {
            data.GetConnectionStatsFromBoard(out.Statistics.LengthAfter, out.Statistics.CrossingsAfter);
            std::int32_t elapsed = out.ElapsedSeconds;
            for (auto* optimizer : {greedy.get(), iterative.get()})
                if (optimizer)
                    elapsed += optimizer->ElapsedSeconds;
            out.ElapsedSeconds = elapsed;
            MessageBox_Information(Report_Text(out.Statistics, DisplayUnitOf(data), elapsed, passLines),
                                   "Results From Net/Pin Optimization");
        }
    } else {
        // Nothing reaches the board; its own connection lines come back.
        data.NetConnects_RebuildAndShow();
        data.RedrawBoard();
    }
    data.CloseLog();
    holder.Data.reset();
    HostUI_ProcessMessages();
    return completed;
}

TSwapOptimizerClass SwapperClass_Get(TInteractiveSwapperKind swapper) {
    const auto index = std::size_t(swapper);
    return index < GSwapperClasses.size() ? GSwapperClasses[index] : nullptr;
}

void SwapperClass_Register(TInteractiveSwapperKind swapper, TSwapOptimizerClass swapperClass) {
    const auto index = std::size_t(swapper);
    if (index < GSwapperClasses.size())
        GSwapperClasses[index] = swapperClass;
}

std::int32_t ProjectCheck(const std::string& documentPath) {
    std::int32_t status = 1;
    auto project = Project_OfDocument(documentPath);
    if (project && project->IsPCBProject()) {
        status = 3;
        auto client = Client_Get();
        auto projectDocument = client ? client->ServerDocumentByPath(project->FullPath()) : nullptr;
        if (!projectDocument || !projectDocument->Modified()) {
            status = 2;
            if (project->CompilationOutOfDate() == 0)
                return 0;
        }
        if (status == 2) {
            project->Compile();
            status = project->CompiledDocument() ? 0 : 4;
        }
    }
    return status;
}

std::string ProjectCheck_Message(std::int32_t status) {
    switch (status) {
    case 1:
        return "Document not in a PCB project";
    case 2:
        return "Project compilation out of date";
    case 3:
        return "Project needs to be saved";
    case 4:
        return "Error compiling project";
    default:
        return {};
    }
}

bool InteractiveSwapper_Run(const std::string& documentPath, TInteractiveSwapperKind swapper,
                            model::TSwapMode mode, const std::string& caption) {
    const std::int32_t status = ProjectCheck(documentPath);
    if (status != 0) {
        MessageBox_Error(ProjectCheck_Message(status));
        return false;
    }

    TDataSetHolder holder;
    holder.Data = std::make_unique<TSwapDataSet>(documentPath, mode);
    TSwapDataSet& data = *holder.Data;
    data.OpenLog();
    if (data.Build("", true)) {
        TRunStatistics statistics;
        data.GetConnectionStatsFromBoard(statistics.LengthBefore, statistics.CrossingsBefore);
        const TSwapOptimizerClass swapperClass = SwapperClass_Get(swapper);
        if (!swapperClass) {
            // The interactive swappers register themselves when the module starts; a kind without
            // a class is a wiring mistake of ours, not something the user can change.
            MessageBox_Error(
                fmt::format("Internal Error: no swapper is registered for kind {}", int(swapper)));
        } else {
            auto optimizer = swapperClass(data);
            if (optimizer->Run()) {
                data.GetConnectionStatsFromBoard(statistics.LengthAfter, statistics.CrossingsAfter);
                auto workspace = Workspace_Obtain();
                if (auto panel = workspace ? workspace->MessagesPanel() : nullptr)
                    panel->AddMessage(cMessageClass_Information, Report_Text(statistics, DisplayUnitOf(data)),
                                      caption, data.DocumentFileName(), "", "", cReportImageIndex);
            }
        }
    }
    data.RedrawBoard();
    data.CloseLog();
    holder.Data.reset();
    HostUI_ProcessMessages();
    return true;
}

} // namespace permutor::optimizers
