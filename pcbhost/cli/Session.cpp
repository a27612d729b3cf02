#include "pcbhost/cli/Session.h"

#include "pcbhost/cli/AbortKey.h"
#include "pcbhost/cli/BoardPicture.h"
#include "pcbhost/cli/FpgaConstraintsCli.h"
#include "pcbhost/kicad/FileIO.h"
#include "pcbhost/project/FpgaConstraints.h"

#include "pcbhost/kicad/SExpr.h"

#include "permutor/host/Text.h"

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <malloc.h>
#include <mutex>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

namespace pcbhost::cli {

namespace fs = std::filesystem;

namespace {

// A constraint file that cannot be followed stops the save; how the user gets on.
constexpr const char* cNothingSaved =
    "; nothing was saved (mend the file and run again, or keep the schematic and constraint files as "
    "they are with --no-back-annotate)";

// Swaps listed on the terminal without --verbose; an optimised board's list goes to the report.
constexpr std::size_t cSwapsListed = 10;

// Negative, zero or positive as `a` sorts before, with or after `b`, runs of digits compared as
// numbers.
int Text_CompareNatural(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool db = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (da && db) {
            std::size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei])))
                ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej])))
                ++ej;
            const std::string_view na = std::string_view(a).substr(i, ei - i);
            const std::string_view nb = std::string_view(b).substr(j, ej - j);
            const auto ta = na.substr(std::min(na.find_first_not_of('0'), na.size()));
            const auto tb = nb.substr(std::min(nb.find_first_not_of('0'), nb.size()));
            if (ta.size() != tb.size())
                return ta.size() < tb.size() ? -1 : 1;
            if (const int c = ta.compare(tb); c != 0)
                return c;
            i = ei, j = ej;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j] ? -1 : 1;
        ++i, ++j;
    }
    return (a.size() - i) == (b.size() - j) ? 0 : (a.size() - i) < (b.size() - j) ? -1 : 1;
}

std::string Normal(const std::string& path) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(fs::path(path), ec);
    return (ec ? fs::path(path) : absolute).lexically_normal().string();
}

} // namespace

TSession::TSession(const TGlobalOptions& options, TReport& report) : TSession(options, report, nullptr) {}

TSession::TSession(const TGlobalOptions& options, TReport& report, IPtr<IHostUI> ui)
    : FOptions(options), FReport(report), FUI(MakeObject<TTerminalUI>(options, report)) {
    THostSettings settings;
    settings.UI = ui ? std::move(ui) : IPtr<IHostUI>(FUI.get());
    FHost = std::make_unique<THost>(std::move(settings));
    if (options.Seed)
        FHost->ClientModel().SetRandomSeed(static_cast<std::uint32_t>(*options.Seed));
    FUI->SetPickResolver([this](const TPickOption& pick, TCoord& x, TCoord& y, std::string& error) {
        return FindPad(pick, x, y, error);
    });
    FUI->SetHighlightDescriber(
        [this](const std::vector<std::uintptr_t>& objects) { return DescribeHighlight(objects); });
    // An interactive swap reports each swap as it is made: show it before the next pick.
    FUI->SetBeforePick([this] { ReportPanelLines(); });
    FReport.SetFollowUp([this](const TReportMessage& message) { FollowUp(message); });
}

namespace {

std::atomic<bool> gFreeOnClose{true};

// What closed sessions left to the end of the process, reachable from here so that a leak check
// at exit does not count it.
struct TLeftOpen {
    std::unique_ptr<TModuleLibrary> Library;
    IPtr<TTerminalUI> UI;
    std::unique_ptr<THost> Host;
    std::unique_ptr<kicad::TKicadProject> Project;
};
std::mutex gLeftOpenLock;
std::vector<TLeftOpen*>* gLeftOpen = nullptr;

} // namespace

void TSession::SetFreeOnClose(bool free) {
    gFreeOnClose = free;
}

TSession::~TSession() {
    FReport.SetFollowUp(nullptr);
    if (FServer) {
        FServer->ReceiveShutdown();
        FServer.reset();
    }
    FUI->SetPickResolver(nullptr);
    FUI->SetHighlightDescriber(nullptr);
    FUI->SetBeforePick(nullptr);
    if (!gFreeOnClose) {
        const std::lock_guard lock(gLeftOpenLock);
        if (!gLeftOpen)
            gLeftOpen = new std::vector<TLeftOpen*>();
        gLeftOpen->push_back(
            new TLeftOpen{std::move(FLibrary), std::move(FUI), std::move(FHost), std::move(FProject)});
        return;
    }
    FProject.reset();
    FHost.reset();
    FUI.reset();
    FLibrary.reset();
}

void TSession::Open(const std::string& path) {
    FOpened = path;
    FOpenedNormal = Normal(path);
    const auto start = TClock::now();
    try {
        FProject = kicad::TKicadProject::Open(*FHost, path);
        for (const auto& warning : FProject->Warnings())
            FReport.Message({"file", "warning", "warning", warning.text()});
        ConstraintFiles_Check(FReport, *FProject);
        if (TBoard* board = FProject->Board())
            FPadNetsAtOpen = PadNets_Of(*board);
        FTimings.Add("load", start, TClock::now());
    } catch (const sexpr::ParseError& e) {
        throw TCliError(eExit_File, e.what());
    } catch (const std::system_error& e) {
        throw TCliError(eExit_File, e.what());
    } catch (const std::runtime_error& e) {
        throw TCliError(eExit_File, e.what());
    }
}

kicad::TKicadProject& TSession::Project() const {
    if (!FProject)
        throw std::logic_error("no document opened");
    return *FProject;
}

std::string TSession::ProjectName() const {
    if (FProject && FProject->IsProject())
        return FProject->ProjectPath();
    return FOpened;
}

IPtr<IServerDocumentView> TSession::View() {
    auto& project = Project();
    std::string path;
    if (Host().Workspace().FindDocument(FOpenedNormal))
        path = FOpenedNormal;
    else if (!project.BoardPath().empty())
        path = project.BoardPath();
    else
        path = project.RootSchematicPath();
    if (path.empty())
        throw TCliError(eExit_CommandError, FOpened + ": the project has neither a board nor a schematic");
    return Host().OpenView(path);
}

void TSession::LoadModule() {
    const std::string path =
        FOptions.ModulePath.empty() ? TModuleLibrary::DefaultPath() : FOptions.ModulePath;
    try {
        FLibrary = std::make_unique<TModuleLibrary>(path);
    } catch (const TModuleLoadError& e) {
        throw TCliError(eExit_File, e.what());
    }
    IPtr<IServerModule> server;
    std::int32_t status = 0;
    try {
        status = FLibrary->CreateServer(Host().Client().get(), server);
    } catch (const TModuleLoadError& e) {
        throw TCliError(eExit_File, e.what());
    }
    if (status != 0 || !server)
        throw TCliError(eExit_CommandError, "the module " + path +
                                                " could not be started (ServerFactory status " +
                                                std::to_string(status) + ")");
    FServer = server;
}

TCommandState TSession::State(const std::string& command, const std::string& parameters,
                              IServerDocumentView* view) {
    TCommandState s;
    FServer->GetCommandState(command, parameters, view, s.Enabled, s.Checked, s.Visible, s.Caption,
                             s.ImageFile);
    return s;
}

bool TSession::Launch(const std::string& command, const std::string& parameters, IServerDocumentView* view) {
    const std::size_t sinkMark = Host().SinkMessages().size();
    FPanelMark = Host().Messages().size();
    const std::size_t messageMark = FReport.Messages().size();
    const std::int32_t afterMark = Host().ClientModel().AfterCommandCount();

    const auto start = std::chrono::steady_clock::now();
    FUI->BeginWork();
    FServer->LaunchCommand(command, parameters, view);
    FUI->EndWork();
    // What the module built for its run (the optimisers' data runs to hundreds of megabytes on
    // a big board) is freed by now; handing it back lowers the peak of the save that follows,
    // which works out the connectivity of the edited schematic.
    malloc_trim(0);
    const auto end = std::chrono::steady_clock::now();
    FLastRunSeconds = std::chrono::duration<double>(end - start).count();
    FTimings.AddModuleRun(start, end, FUI->ProgressSpans());

    const auto& sink = Host().SinkMessages();
    for (std::size_t i = sinkMark; i < sink.size(); ++i)
        FReport.Message({"sink", "message", sink[i].Caption, sink[i].Text});
    ReportPanelLines();
    ReportSwapLog();

    // A known command ends with the framework's after-command step, or says why it did not.
    return Host().ClientModel().AfterCommandCount() != afterMark || FReport.Messages().size() != messageMark;
}

void TSession::ReportPanelLines() {
    const auto& panel = Host().Messages();
    for (; FPanelMark < panel.size(); ++FPanelMark) {
        const auto& line = panel[FPanelMark];
        FReport.Message({"panel", line.MessageClass, line.Source, line.Text});
    }
}

std::vector<std::string> TSession::DescribeHighlight(const std::vector<std::uintptr_t>& objects) const {
    TBoard* board = FProject ? FProject->Board() : nullptr;
    std::vector<std::string> entries;
    if (!board || objects.empty())
        return entries;
    std::unordered_map<std::uintptr_t, TPad*> pads;
    for (TPcbComponent* component : board->ComponentList())
        for (TPad* pad : component->Pads())
            pads.emplace(ObjectIdentity(pad->Interface()), pad);
    std::unordered_set<const TPad*> listed;
    std::vector<TPad*> shown;
    for (std::uintptr_t id : objects) {
        const auto found = pads.find(id);
        if (found != pads.end() && listed.insert(found->second).second)
            shown.push_back(found->second);
    }
    // By reference and pad, as a user looks them up: J1-2 before J1-10.
    std::stable_sort(shown.begin(), shown.end(), [](TPad* a, TPad* b) {
        const int byReference =
            Text_CompareNatural(a->OwnerComponent()->NameText(), b->OwnerComponent()->NameText());
        return byReference != 0 ? byReference < 0 : Text_CompareNatural(a->Name(), b->Name()) < 0;
    });
    for (TPad* pad : shown) {
        TPcbNet* net = pad->OwnerNet();
        entries.push_back(pad->OwnerComponent()->NameText() + "-" + pad->Name() + " " +
                          (net && !net->Name().empty() ? net->Name() : std::string("(no net)")));
    }
    return entries;
}

std::vector<TSwapRow> TSession::SwapRows() const {
    TBoard* board = FProject ? FProject->Board() : nullptr;
    if (!board)
        return {};
    return SwapRows_Between(*board, FPadNetsAtOpen, board->SwapLog());
}

void TSession::ReportSwapLog() {
    TBoard* board = FProject ? FProject->Board() : nullptr;
    if (!board)
        return;
    const auto rows = SwapRows();
    nlohmann::json swaps = nlohmann::json::array();
    // A pin may take part in several rows (a rotation of nets is listed as exchanges).
    std::unordered_set<std::string> changedPins;
    for (const auto& r : rows) {
        // Only --json prints the report's data: tens of thousands of rows are not held through
        // the save for nothing.
        if (FReport.Json())
            swaps.push_back({{"component", r.Component},
                             {"pin_a", r.PinA},
                             {"pin_b", r.PinB},
                             {"net_a_before", r.NetABefore},
                             {"net_b_before", r.NetBBefore},
                             {"net_a_after", r.NetAAfter},
                             {"net_b_after", r.NetBAfter}});
        changedPins.insert(r.Component + "\n" + r.PinA);
        if (!r.PinB.empty())
            changedPins.insert(r.Component + "\n" + r.PinB);
    }
    auto& data = FReport.Data();
    data["swaps"] = std::move(swaps);
    data["swaps_logged"] = board->SwapLog().size();
    if (board->SwapLog().empty() && rows.empty())
        return;
    // The log holds every swap the module committed, an optimiser's trial moves among them; what
    // the user wants to know is how the pins ended up. Gate and pair swaps are not logged.
    const std::size_t pins = changedPins.size();
    data["pins_changed"] = pins;
    const bool list = FOptions.Verbose || rows.size() <= cSwapsListed;
    const std::size_t logged = board->SwapLog().size();
    std::string how;
    if (logged > 0 && FSearching)
        how = fmt::format("{} exchange{} tried and kept during the search", logged, logged == 1 ? "" : "s");
    else if (logged > 0)
        how = fmt::format("{} swap{} made", logged, logged == 1 ? "" : "s");
    if (!list)
        how += std::string(how.empty() ? "" : "; ") + "--verbose lists them";
    FReport.Note(fmt::format("{} pin{} changed net{}", pins, pins == 1 ? "" : "s",
                             how.empty() ? "" : " (" + how + ")"));
    if (list && !FReport.Quiet())
        for (const auto& r : rows) {
            if (r.PinB.empty())
                FReport.Text() << "  " << r.Component << "-" << r.PinA << ": " << r.NetABefore << " -> "
                               << r.NetAAfter << "\n";
            else
                FReport.Text() << "  swapped " << r.Component << "-" << r.PinA << " (" << r.NetABefore
                               << ") with " << r.Component << "-" << r.PinB << " (" << r.NetBBefore << ")\n";
        }
}

std::vector<std::string> TSession::Save() {
    // A Ctrl-C now waits until every file is written: the set stays consistent.
    AbortKey::THold hold;
    struct TTimed {
        TPhaseTimes& Times;
        TClock::time_point Start = TClock::now();
        ~TTimed() { Times.Add("save", Start, TClock::now()); }
    } timed{FTimings};
    auto& project = Project();
    std::vector<std::string> written;
    if (!FOptions.Output.empty() && project.BoardPath().empty())
        throw TCliError(eExit_Usage, "--output names where the board goes, but " + FOpened + " has no board");
    // The schematic follows the board when the board is saved in place.
    if (!FOptions.NoBackAnnotate && FOptions.Output.empty() && project.Schematics() && project.Board() &&
        project.BoardFile()->Changed()) {
        try {
            ReportBackAnnotation(project.BackAnnotate());
        } catch (const kicad::TConstraintError& e) {
            throw TCliError(eExit_File, std::string(e.what()) + cNothingSaved);
        } catch (const std::system_error& e) {
            throw TCliError(eExit_File, std::string(e.what()) + cNothingSaved);
        }
        ConstraintFiles_Report(FReport, project.ConstraintFiles(), FOptions.Verbose);
    }
    const bool changed = project.Changed();
    FReport.Data()["changed"] = changed;
    if (FOptions.DryRun) {
        FReport.Data()["saved"] = nlohmann::json::array();
        if (changed)
            FReport.Note("dry run: changes not saved");
        return written;
    }
    if (changed || !FOptions.Output.empty()) {
        try {
            written = project.Save({!FOptions.NoBackup, FOptions.Output});
        } catch (const std::system_error& e) {
            throw TCliError(eExit_File, e.what());
        } catch (const sexpr::ParseError& e) {
            throw TCliError(eExit_File, e.what());
        } catch (const std::runtime_error& e) {
            throw TCliError(eExit_File, e.what());
        }
    }
    // The swaps go beside the board that was written, for back-annotation.
    TBoard* board = project.Board();
    const std::string boardWritten = !FOptions.Output.empty() ? FOptions.Output : project.BoardPath();
    const auto rows = SwapRows();
    if (board && !rows.empty() && std::find(written.begin(), written.end(), boardWritten) != written.end()) {
        const std::string csv = SwapLog_PathFor(boardWritten);
        try {
            sexpr::writeFileAtomically(csv, SwapRows_Csv(rows), false);
        } catch (const std::system_error& e) {
            throw TCliError(eExit_File, e.what());
        }
        written.push_back(csv);
    }
    FReport.Data()["saved"] = written;
    for (const auto& path : written)
        FReport.Note("wrote " + path);
    return written;
}

void TSession::CheckSaveable() const {
    if (FOptions.DryRun)
        return;
    auto& project = Project();
    std::vector<fs::path> paths;
    const std::string board = !FOptions.Output.empty() ? FOptions.Output : project.BoardPath();
    if (!board.empty()) {
        paths.emplace_back(board);
        paths.emplace_back(SwapLog_PathFor(board));
    }
    if (!FOptions.NoBackAnnotate && FOptions.Output.empty() && project.Schematics() && project.Board()) {
        for (const auto& sheet : project.Schematics()->Files())
            paths.emplace_back(sheet);
        // The FPGA pin constraint files follow the board in the same save.
        for (const auto& source : kicad::FpgaConstraints_Sources(*project.Schematics()))
            if (std::filesystem::exists(source.Path))
                paths.emplace_back(source.Path);
    }
    try {
        sexpr::checkReplaceable(paths, !FOptions.NoBackup);
    } catch (const std::system_error& e) {
        throw TCliError(eExit_File, std::string(e.what()) + "; nothing was run or written");
    }
}

void TSession::ReportBackAnnotation(const kicad::TBackAnnotation& plan) {
    // A change of swap data or switches moves no pin: nothing to say about the schematic.
    if (plan.Edits.empty() && plan.NeedsEdit.empty() && Project().BoardFile()->ChangedPads().empty())
        return;
    auto& json = FReport.Data()["back_annotation"];
    json = {{"labels_renamed", plan.LabelsRenamed},
            {"wires_cut", plan.WiresCut},
            {"labels_placed", plan.LabelsPlaced},
            {"edits", plan.Edits},
            {"needs_edit", nlohmann::json::array()}};
    for (const auto& pin : plan.NeedsEdit)
        json["needs_edit"].push_back(
            {{"reference", pin.Reference}, {"pin", pin.Pin}, {"net", pin.Net}, {"reason", pin.Reason}});
    if (FOptions.Verbose)
        for (const auto& edit : plan.Edits)
            FReport.Note("schematic: " + edit);
    FReport.Note(fmt::format("schematic: {} labels renamed, {} wires cut, {} labels placed; {} pins need a "
                             "schematic edit",
                             plan.LabelsRenamed, plan.WiresCut, plan.LabelsPlaced, plan.NeedsEdit.size()));
    for (const auto& pin : plan.NeedsEdit)
        FReport.Note(fmt::format("needs a schematic edit: {}-{} to net {}: {}", pin.Reference, pin.Pin,
                                 pin.Net, pin.Reason));
}

void TSession::Picture(const std::string& path, const std::string& title) {
    TBoard* board = FProject ? FProject->Board() : nullptr;
    if (path.empty() || !board)
        return;
    try {
        BoardPicture_Write(*board, path, title);
    } catch (const std::system_error& e) {
        throw TCliError(eExit_File, e.what());
    }
    FReport.Note("drew " + path);
}

bool TSession::FindPad(const TPickOption& pick, TCoord& x, TCoord& y, std::string& error) const {
    TPad* pad = FindPadObject(pick, error);
    if (!pad)
        return false;
    x = pad->X();
    y = pad->Y();
    return true;
}

TPad* TSession::FindPadObject(const TPickOption& pick, std::string& error) const {
    TBoard* board = FProject ? FProject->Board() : nullptr;
    if (!board) {
        error = "there is no board to find the pad on";
        return nullptr;
    }
    // References rarely hold "-" but pad names sometimes do: try every split, first first.
    for (std::size_t dash = pick.Text.find('-'); dash != std::string::npos;
         dash = pick.Text.find('-', dash + 1)) {
        TPcbComponent* component = board->FindComponent(pick.Text.substr(0, dash));
        if (!component)
            continue;
        if (TPad* pad = component->FindPad(pick.Text.substr(dash + 1)))
            return pad;
    }
    TPcbComponent* component = board->FindComponent(pick.Reference);
    error = component ? component->NameText() + " has no pad " + pick.Pad
                      : "the board has no component " + pick.Reference;
    return nullptr;
}

void TSession::FollowUp(const TReportMessage& message) {
    static constexpr std::string_view cUnlinked =
        "Not all PCB components are linked to schematic components.";
    static constexpr std::string_view cNoneEnabled = "No Components have been enabled for Swapping";
    if (message.Text.find(cUnlinked) != std::string::npos && !FUnlinkedListed) {
        FUnlinkedListed = true;
        const auto unlinked = UnlinkedFootprints();
        FReport.Data()["unlinked_footprints"] = unlinked;
        if (!unlinked.empty()) {
            constexpr std::size_t cShown = 10;
            std::string list;
            for (std::size_t i = 0; i < unlinked.size() && i < cShown; ++i)
                list += (i ? ", " : "") + unlinked[i];
            if (unlinked.size() > cShown)
                list += fmt::format(" and {} more", unlinked.size() - cShown);
            FReport.FollowUpLine(message, fmt::format("  footprints without a schematic symbol ({}): {}",
                                                      unlinked.size(), list));
        }
    }
    if (message.Text.find(cNoneEnabled) != std::string::npos && !FHinted) {
        FHinted = true;
        const std::string hint =
            "give a component swap groups and switch it on, e.g. permutor swapinfo " +
            (FProject && FProject->IsProject() ? FProject->ProjectPath() : std::string("PROJECT")) +
            " U1 --pin-swap \"Pin_1=A|Pin_2=A\" --enable-pins yes (README: \"Optimise your own board\")";
        FReport.Data()["hint"] = hint;
        FReport.FollowUpLine(message, "  hint: " + hint);
    }
}

std::vector<std::string> TSession::UnlinkedFootprints() const {
    std::vector<std::string> references;
    if (!FProject || !FProject->Project() || FProject->BoardPath().empty())
        return references;
    auto mappings = FProject->Project()->ComponentMappings(FProject->BoardPath());
    if (!mappings)
        return references;
    const std::int32_t n = mappings->UnmatchedBoardCount();
    for (std::int32_t i = 0; i < n; ++i)
        if (auto component = mappings->UnmatchedBoardComponent(i))
            references.push_back(component->Designator());
    std::sort(references.begin(), references.end(),
              [](const std::string& a, const std::string& b) { return Text_CompareNatural(a, b) < 0; });
    return references;
}

} // namespace pcbhost::cli
