#include "pcbhost/cli/SubCommands.h"

#include "pcbhost/cli/BoardInfo.h"
#include "pcbhost/cli/FpgaConstraintsCli.h"
#include "pcbhost/cli/FpgaPins.h"
#include "pcbhost/cli/Query.h"
#include "pcbhost/cli/Session.h"

#include "permutor/host/Text.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <ostream>

namespace pcbhost::cli {

namespace {

constexpr const char* cAutoRunResultCaption = "Results From Net/Pin Optimization";

bool IsKnownCommand(const std::string& name) {
    return std::any_of(std::begin(cModuleCommands), std::end(cModuleCommands),
                       [&](const char* c) { return Text_EqualNoCase(c, name); });
}

const char* YesNo(bool b) {
    return b ? "yes" : "no";
}

void NoteSeed(const TGlobalOptions& options, TReport& report) {
    if (!options.Seed)
        return;
    report.Data()["seed"] = *options.Seed;
    if (options.Verbose)
        report.Note(fmt::format("seed {} makes the optimiser's random choices repeatable", *options.Seed));
}

// The commands that swap by hand, pick after pick.
bool IsInteractiveSwap(const std::string& command) {
    for (const char* name : {"RunManualPermutor", "RunManualPartSwapper", "RunManualDifferentialPairSwapper"})
        if (Text_EqualNoCase(name, command))
            return true;
    return false;
}

// The module's verdict: an error box means the command did not do its work. A swap by hand
// answers a pick it cannot use with an error and asks for the next one: once swaps were made the
// session did its work, and only the host's own errors (a --pick naming nothing) still fail it.
int Outcome(TReport& report, bool swappedByHand) {
    if (report.HostErrorShown())
        return eExit_CommandError;
    return report.ErrorShown() && !swappedByHand ? eExit_CommandError : eExit_OK;
}

// The board's own figures (as `permutor info` counts them) for the report of a command that may
// change nets; the module's report counts with its own rules.
nlohmann::json BoardJson(const TBoardFigures& figures) {
    TDocumentFigures document;
    document.Board = figures;
    return Figures_Json(document)["board"];
}

void ReportFigures(TReport& report, const TBoardFigures& before, const TBoardFigures& after, bool changed) {
    report.Data()["board_before"] = BoardJson(before);
    report.Data()["board_after"] = BoardJson(after);
    // Not the module's cross-over count, which also counts lines that only touch (such as the
    // lines fanning out from one pad) and lines that overlap along a stretch.
    if (changed)
        report.Note(fmt::format(
            "board: ratsnest {:.3f} mm -> {:.3f} mm, {} -> {} proper crossings of ratsnest lines",
            before.RatsnestLengthMM(), after.RatsnestLengthMM(), before.CrossOvers, after.CrossOvers));
}

// The module's last box with this caption, as the run's result.
void ReportResult(TReport& report, const std::string& caption) {
    const auto& messages = report.Messages();
    for (auto m = messages.rbegin(); m != messages.rend(); ++m)
        if (Text_EqualNoCase(m->Caption, caption)) {
            report.Data()["result"] = {
                {"caption", m->Caption}, {"text", m->Text}, {"lines", MessageText_Lines(m->Text)}};
            return;
        }
}

int LaunchInSession(TSession& session, TReport& report, const std::string& command,
                    const std::string& parameters, bool measure) {
    auto view = session.View();
    auto& data = report.Data();
    data["module_command"] = command;
    data["parameters"] = parameters;
    if (auto document = view->OwnerDocument())
        data["view"] = document->FileName();

    // As a menu would: a command the module disables for this document is not launched.
    const TCommandState state = session.State(command, parameters, view.get());
    if (state.Enabled == 0) {
        if (!IsKnownCommand(command))
            throw TCliError(eExit_Usage, "the module has no command named \"" + command + "\"");
        throw TCliError(eExit_CommandError, command + " is disabled for " + session.OpenedPath());
    }
    session.Picture(session.Options().SvgBefore, "before " + command);
    TBoard* board = measure ? session.Project().Board() : nullptr;
    std::optional<TBoardFigures> before;
    if (board)
        before = BoardFigures_Of(*board);
    const bool optimise = Text_EqualNoCase(command, "RunAutoPermutor");
    session.SetSearching(optimise);
    if (!session.Launch(command, parameters, view.get()))
        throw TCliError(eExit_Usage, "the module has no command named \"" + command + "\"");
    data["elapsed_s"] = session.LastRunSeconds();
    if (before)
        ReportFigures(report, *before, BoardFigures_Of(*board), session.Project().Changed());
    if (optimise) {
        ReportResult(report, cAutoRunResultCaption);
        // The module's report rounds each optimiser up to a whole second; this is the real time.
        if (data.contains("result"))
            report.Note(fmt::format("optimised in {:.2f} s", session.LastRunSeconds()));
    }
    data["interrupted"] = session.UI().Stopped();
    if (session.UI().Stopped())
        report.Note(session.Project().Changed() ? "stopped by Ctrl-C: the partial result is kept"
                                                : "stopped by Ctrl-C: the board is unchanged");
    session.Picture(session.Options().SvgAfter, "after " + command);
    // Saving clears the changed flag: ask first.
    const bool swappedByHand = IsInteractiveSwap(command) && session.Project().Changed();
    session.Save();
    const int outcome = Outcome(report, swappedByHand);
    return outcome == eExit_OK && session.PinsNeedingSchematicEdit() > 0 ? eExit_SchematicEdit : outcome;
}

TSchSymbol* FindSymbolOrNull(TSession& session, const std::string& reference) {
    return session.Project().FindSymbol(reference);
}

TPcbComponent* FindFootprint(TSession& session, const std::string& reference) {
    TBoard* board = session.Project().Board();
    return board ? board->FindComponent(reference) : nullptr;
}

[[noreturn]] void UnknownReference(TSession& session, const std::string& reference) {
    throw TCliError(eExit_CommandError, "no component \"" + reference + "\" in " + session.ProjectName());
}

} // namespace

std::string OptimizeParameters(const TSubCommandArgs& args) {
    std::vector<std::string> entries;
    if (args.NoIterative)
        entries.push_back("Iterative=False");
    if (Text_EqualNoCase(args.IterativeStart, "improve"))
        entries.push_back("IterativeStart=Improve");
    else if (Text_EqualNoCase(args.IterativeStart, "anneal"))
        entries.push_back("IterativeStart=Anneal");
    if (args.Gates)
        entries.push_back("Gates=True");
    if (args.Pairs)
        entries.push_back("Pairs=True");
    std::string text;
    for (const auto& entry : entries)
        text += (text.empty() ? "" : "|") + entry;
    return text;
}

std::string SwapKind_Command(const std::string& kind) {
    if (Text_EqualNoCase(kind, "pins"))
        return "RunManualPermutor";
    if (Text_EqualNoCase(kind, "parts"))
        return "RunManualPartSwapper";
    if (Text_EqualNoCase(kind, "pairs"))
        return "RunManualDifferentialPairSwapper";
    return {};
}

int Run_ModuleCommand(const TGlobalOptions& options, TReport& report, const std::string& document,
                      const std::string& command, const std::string& parameters,
                      const std::function<void(TSession&)>& prepare) {
    report.Data()["document"] = document;
    NoteSeed(options, report);
    TSession session(options, report);
    session.Open(document);
    // A result that cannot be saved is found out now, not after the work.
    session.CheckSaveable();
    session.LoadModule();
    if (prepare)
        prepare(session);
    return LaunchInSession(session, report, command, parameters, true);
}

int Run_Configure(const TGlobalOptions& options, TReport& report, const TSubCommandArgs& args) {
    report.Data()["document"] = args.Document;
    TSession session(options, report);
    session.Open(args.Document);
    std::string parameters;
    if (!args.Reference.empty()) {
        TSchSymbol* symbol = FindSymbolOrNull(session, args.Reference);
        if (!symbol)
            UnknownReference(session, args.Reference);
        // The component is known to the module by its first unit's unique id.
        TSchComponent* unit = symbol->Unit(1);
        if (!unit && !symbol->PlacedUnits().empty())
            unit = symbol->PlacedUnits().front();
        if (!unit)
            throw TCliError(eExit_CommandError,
                            args.Reference + " has no placed unit in " + session.ProjectName());
        parameters = "UniqueId=" + unit->UniqueIdText();
        report.Data()["reference"] = args.Reference;
    }
    session.LoadModule();
    const int code = LaunchInSession(session, report, "ConfigurePermutor", parameters, false);
    // A dialog command that failed closed the dialogs unapplied: the run did not do what it was asked.
    const auto& errors = session.UI().DialogErrors();
    report.Data()["dialog_errors"] = errors;
    return errors.empty() ? code : eExit_CommandError;
}

int Run_Commands(const TGlobalOptions& options, TReport& report, const TSubCommandArgs& args) {
    report.Data()["document"] = args.Document;
    TSession session(options, report);
    session.Open(args.Document);
    session.LoadModule();
    auto view = session.View();
    if (auto document = view->OwnerDocument())
        report.Data()["view"] = document->FileName();
    nlohmann::json list = nlohmann::json::array();
    auto& os = report.Text();
    os << fmt::format("{:<34}{:<9}{:<9}{:<9}{}\n", "Command", "Enabled", "Visible", "Checked", "Menu item");
    for (const char* command : cModuleCommands) {
        const TCommandState s = session.State(command, "", view.get());
        // The module may name its menu item; where it leaves that to the host, the host's own.
        const std::string menuItem =
            s.Caption.empty() ? std::string(ModuleCommand_MenuItem(command)) : s.Caption;
        list.push_back({{"command", command},
                        {"enabled", s.Enabled != 0},
                        {"visible", s.Visible != 0},
                        {"checked", s.Checked != 0},
                        {"caption", s.Caption},
                        {"menu_item", menuItem},
                        {"image", s.ImageFile}});
        os << fmt::format("{:<34}{:<9}{:<9}{:<9}{}\n", command, YesNo(s.Enabled != 0), YesNo(s.Visible != 0),
                          YesNo(s.Checked != 0), menuItem);
    }
    report.Data()["commands"] = std::move(list);
    return eExit_OK;
}

int Run_Query(const TGlobalOptions& options, TReport& report, const TSubCommandArgs& args) {
    return Query_Run(options, report, args);
}

int Run_Info(const TGlobalOptions& options, TReport& report, const TSubCommandArgs& args) {
    const auto start = std::chrono::steady_clock::now();
    report.Data()["document"] = args.Document;
    TSession session(options, report);
    session.Open(args.Document);
    TDocumentFigures figures;
    auto& project = session.Project();
    if (TBoard* board = project.Board())
        figures.Board = BoardFigures_Of(*board);
    if (project.Schematics())
        figures.Project = ProjectFigures_Of(project);
    if (TBoard* board = project.Board(); board && project.Schematics())
        figures.ReversedPairs = ReversedPairs_Of(*board, project);
    if (TBoard* board = project.Board(); board && project.Connectivity())
        figures.NetMismatches = NetMismatches_Of(*board, project);
    figures.ElapsedMS =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    report.Data().update(Figures_Json(figures));
    Figures_Print(report.Text(), figures);
    return eExit_OK;
}

std::string SwapText_Check(const std::string& text, const std::vector<std::string>& prefixes,
                           const std::vector<std::string>& pinDesignators, bool& unknownPin) {
    unknownPin = false;
    std::string_view rest = text;
    for (;;) {
        const auto bar = rest.find('|');
        const std::string_view entry = Text_Trim(rest.substr(0, bar));
        if (!entry.empty()) {
            const auto eq = entry.find('=');
            const std::string_view name = Text_Trim(entry.substr(0, eq == std::string_view::npos ? 0 : eq));
            if (eq == std::string_view::npos || name.empty())
                return "expected NAME=ID entries joined by \"|\", got \"" + std::string(entry) + "\"";
            // The longest prefix first: "PartPin_" also starts like "Part".
            std::string pin;
            bool matched = false;
            for (const auto& prefix : prefixes)
                if (!matched && Text_StartsWithNoCase(name, prefix)) {
                    pin = std::string(name.substr(prefix.size()));
                    matched = true;
                }
            if (!matched || pin.empty()) {
                std::string expected;
                for (const auto& prefix : prefixes)
                    expected += (expected.empty() ? "" : " or ") + prefix + "<pin>";
                return "entry \"" + std::string(entry) + "\" should be named " + expected;
            }
            if (std::none_of(pinDesignators.begin(), pinDesignators.end(),
                             [&](const std::string& d) { return Text_EqualNoCase(d, pin); })) {
                unknownPin = true;
                return "the component has no pin \"" + pin + "\" (entry \"" + std::string(entry) + "\")";
            }
        }
        if (bar == std::string_view::npos)
            break;
        rest.remove_prefix(bar + 1);
    }
    return {};
}

int Run_SwapInfo(const TGlobalOptions& options, TReport& report, const TSubCommandArgs& givenArgs) {
    TSubCommandArgs args = givenArgs;
    report.Data()["document"] = args.Document;
    report.Data()["reference"] = args.Reference;
    TSession session(options, report);
    session.Open(args.Document);
    auto& project = session.Project();
    TSchSymbol* symbol = FindSymbolOrNull(session, args.Reference);
    TPcbComponent* footprint = FindFootprint(session, args.Reference);
    if (!symbol && !footprint)
        UnknownReference(session, args.Reference);

    // Groups from the FPGA's pin data become swap data text like any given with --pin-swap.
    if (!args.GroupBy.empty() || !args.PairsFrom.empty()) {
        if (!symbol)
            throw TCliError(eExit_CommandError, args.Reference + " has no schematic component in " +
                                                    session.ProjectName() + " to hold swap data");
        if (!FpgaGroups_Assign(session, report, args, *symbol))
            return eExit_OK;
    }
    // Everything is checked before anything is changed, so a bad option changes nothing.
    std::optional<std::string> pinSwap = args.PinSwap;
    if (args.ImportSwapIds) {
        if (!symbol)
            throw TCliError(eExit_CommandError, args.Reference + " has no schematic component in " +
                                                    session.ProjectName() + " to hold swap data");
        pinSwap = ConstraintFiles_PinSwapText(session, report, *symbol);
    }
    const bool setsText = pinSwap || args.PartSwap || args.PairSwap;
    if (setsText) {
        if (!symbol)
            throw TCliError(eExit_CommandError, args.Reference + " has no schematic component in " +
                                                    session.ProjectName() + " to hold swap data");
        std::vector<std::string> pins;
        for (const auto& pin : symbol->Pins())
            pins.push_back(pin->DesignatorText());
        const std::pair<const std::optional<std::string>*, std::vector<std::string>> checks[] = {
            {&pinSwap, {"Pin_"}}, {&args.PartSwap, {"PartPin_", "Part_"}}, {&args.PairSwap, {"Pair_"}}};
        const char* names[] = {"--pin-swap", "--part-swap", "--pair-swap"};
        for (int i = 0; i < 3; ++i) {
            if (!*checks[i].first)
                continue;
            bool unknownPin = false;
            const std::string problem = SwapText_Check(**checks[i].first, checks[i].second, pins, unknownPin);
            if (!problem.empty())
                throw TCliError(unknownPin ? eExit_CommandError : eExit_Usage,
                                std::string(names[i]) + ": " + args.Reference + ": " + problem);
        }
    }
    // The switches belong to the footprint on whichever board is optimised: every board of the
    // project that has it (the board itself, an unrouted copy, a panel), or the one named.
    std::vector<TBoard*> switchBoards;
    const bool setsSwitches = args.EnablePins || args.EnableParts;
    if (!args.Board.empty() && !setsSwitches)
        throw TCliError(eExit_Usage,
                        "--board names where --enable-pins or --enable-parts go; neither was given");
    if (setsSwitches) {
        std::vector<TBoard*> candidates;
        if (!args.Board.empty()) {
            try {
                candidates.push_back(&project.BoardAt(args.Board).Board());
            } catch (const sexpr::ParseError& e) {
                throw TCliError(eExit_File, e.what());
            } catch (const std::runtime_error& e) {
                throw TCliError(eExit_File, e.what());
            }
        } else {
            if (TBoard* board = project.Board())
                candidates.push_back(board);
            for (auto* other : project.OtherBoards())
                candidates.push_back(&other->Board());
            for (const auto& skipped : project.SkippedBoards())
                report.Message({"file", "warning", "warning", "board left as it is: " + skipped});
        }
        for (TBoard* board : candidates)
            if (board->FindComponent(args.Reference))
                switchBoards.push_back(board);
        if (switchBoards.empty())
            throw TCliError(eExit_CommandError,
                            args.Reference + " has no footprint on " +
                                (args.Board.empty() ? "any board of " + session.ProjectName() : args.Board));
    }
    if ((args.AllowPinChanges || args.AllowNetLabelChanges) && !project.IsProject())
        throw TCliError(eExit_CommandError, "swap options belong to a project, and " + args.Document +
                                                " was opened without a .kicad_pro beside it");

    const bool sets = setsText || setsSwitches || args.AllowPinChanges || args.AllowNetLabelChanges;
    if (setsText) {
        std::string pin, part, pair;
        kicad::SwapFields_Compose(*symbol, pin, part, pair);
        kicad::SwapFields_Apply(*symbol, pinSwap.value_or(pin), args.PartSwap.value_or(part),
                                args.PairSwap.value_or(pair));
    }
    for (TBoard* board : switchBoards) {
        TPcbComponent* component = board->FindComponent(args.Reference);
        if (args.EnablePins)
            component->SetPinSwappingEnabled(*args.EnablePins);
        if (args.EnableParts)
            component->SetPartSwappingEnabled(*args.EnableParts);
    }
    if (args.AllowPinChanges || args.AllowNetLabelChanges) {
        kicad::TSwapOptions swapOptions = project.SwapOptions();
        swapOptions.AllowPinChanges = args.AllowPinChanges.value_or(swapOptions.AllowPinChanges);
        swapOptions.AllowNetLabelChanges =
            args.AllowNetLabelChanges.value_or(swapOptions.AllowNetLabelChanges);
        project.SetSwapOptions(swapOptions);
    }

    auto& data = report.Data();
    auto& os = report.Text();
    os << args.Reference << " in " << session.ProjectName() << "\n";
    if (symbol) {
        std::string pin, part, pair;
        kicad::SwapFields_Compose(*symbol, pin, part, pair);
        data["pin_swap"] = pin;
        data["part_swap"] = part;
        data["pair_swap"] = pair;
        auto show = [](const std::string& s) { return s.empty() ? std::string("(none)") : s; };
        os << fmt::format("  {:<10}{}\n  {:<10}{}\n  {:<10}{}\n", "PinSwap", show(pin), "PartSwap",
                          show(part), "PairSwap", show(pair));
    } else {
        os << "  (no schematic component)\n";
    }
    if (footprint) {
        data["pin_swapping_enabled"] = footprint->PinSwappingEnabled();
        data["part_swapping_enabled"] = footprint->PartSwappingEnabled();
    }
    // The boards whose switches were set, else the opened board.
    if (switchBoards.empty() && footprint)
        switchBoards.push_back(project.Board());
    if (switchBoards.empty())
        os << "  (no footprint on the board)\n";
    data["boards"] = nlohmann::json::array();
    for (TBoard* board : switchBoards) {
        TPcbComponent* component = board->FindComponent(args.Reference);
        data["boards"].push_back({{"board", board->Path()},
                                  {"pin_swapping_enabled", component->PinSwappingEnabled()},
                                  {"part_swapping_enabled", component->PartSwappingEnabled()}});
        os << fmt::format("  {:<10}{}: pin swapping {}, part swapping {}\n", "board",
                          std::filesystem::path(board->Path()).filename().string(),
                          YesNo(component->PinSwappingEnabled()), YesNo(component->PartSwappingEnabled()));
    }
    if (project.IsProject()) {
        data["allow_pin_changes"] = project.SwapOptions().AllowPinChanges;
        data["allow_net_label_changes"] = project.SwapOptions().AllowNetLabelChanges;
        os << fmt::format("  {:<10}pin changes {}, net label changes {}\n", "project",
                          YesNo(project.SwapOptions().AllowPinChanges),
                          YesNo(project.SwapOptions().AllowNetLabelChanges));
    }
    if (sets)
        session.Save();
    return eExit_OK;
}

int Run_Options(const TGlobalOptions& options, TReport& report, const TSubCommandArgs& args) {
    report.Data()["document"] = args.Document;
    TSession session(options, report);
    session.Open(args.Document);
    auto& project = session.Project();
    if (!project.IsProject())
        throw TCliError(eExit_CommandError, "swap options belong to a project, and " + args.Document +
                                                " was opened without a .kicad_pro beside it");
    const bool sets = args.AllowPinChanges || args.AllowNetLabelChanges;
    if (sets) {
        kicad::TSwapOptions swapOptions = project.SwapOptions();
        swapOptions.AllowPinChanges = args.AllowPinChanges.value_or(swapOptions.AllowPinChanges);
        swapOptions.AllowNetLabelChanges =
            args.AllowNetLabelChanges.value_or(swapOptions.AllowNetLabelChanges);
        project.SetSwapOptions(swapOptions);
    }
    const auto& current = project.SwapOptions();
    report.Data()["project"] = project.ProjectPath();
    report.Data()["allow_pin_changes"] = current.AllowPinChanges;
    report.Data()["allow_net_label_changes"] = current.AllowNetLabelChanges;
    report.Text() << project.ProjectPath() << "\n"
                  << fmt::format("  {:<26}{}\n  {:<26}{}\n", "allow pin changes",
                                 YesNo(current.AllowPinChanges), "allow net label changes",
                                 YesNo(current.AllowNetLabelChanges));
    if (sets)
        session.Save();
    return eExit_OK;
}

} // namespace pcbhost::cli
