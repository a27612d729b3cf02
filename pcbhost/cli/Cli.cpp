#include "pcbhost/cli/Cli.h"

#include "pcbhost/cli/AbortKey.h"
#include "pcbhost/cli/FpgaPins.h"
#include "pcbhost/cli/KestrelSwap.h"
#include "pcbhost/cli/Session.h"
#include "pcbhost/cli/SubCommands.h"

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <ostream>

namespace pcbhost::cli {

namespace {

constexpr const char* cFooter = R"(Exit codes:
  0  the command ran
  1  the module showed an error box, or the request could not be met
     (unknown reference or command disabled for the document, a board the route-time
     interface cannot model, ...); `swap` ends with 0 when swaps were made, even if some
     picks were answered with an error
  2  the command line is wrong
  3  a file could not be read or written (the message names file:line:column); nothing was written
  4  the board was saved, but the schematic could not follow every swapped pin: the pins listed as
     "needs a schematic edit" need one by hand (see --no-back-annotate)

Questions are answered by --answer for their caption, else by --yes/--no, else on the terminal,
else with their default (Yes/OK). Picks on the board come from --pick options in order; when
they run out the pick is cancelled; without any, a terminal prompts for them, listing the
highlighted pads first. A pick on a pad means the pad, not its footprint or a ratsnest line.
`swap` repeats until its first pick is cancelled; every swap is reported as it is made and all
are saved together at the end (with <board>.swaps.csv beside the board).

Ctrl-C while a command works asks whether to stop it (on a terminal), or stops it (without one,
also with --batch): the partial result is kept and saved, and no further optimiser phase starts.
A second Ctrl-C, or one while a question waits, quits at once and saves nothing. Files are
always replaced whole: a Ctrl-C during a save takes effect once every file is written.)";

// A yes|no option kept as "not given" until it is.
CLI::Option* AddYesNo(CLI::App* app, const std::string& name, std::optional<bool>& target,
                      const std::string& description) {
    return app
        ->add_option_function<std::string>(
            name, [&target](const std::string& v) { target = YesNo_Parse(v); }, description)
        ->check(CLI::Validator(
            [](std::string& v) {
                return YesNo_Parse(v) ? std::string() : "expected yes or no, got \"" + v + "\"";
            },
            ""))
        ->type_name("yes|no");
}

// The global options as --help lists them, for the foot of each sub-command's help.
std::string GlobalOptions_Text(const CLI::App& app) {
    std::string text = "Global options (before or after the sub-command):\n";
    for (const CLI::Option* option : app.get_options()) {
        std::string name = option->get_name(false, true);
        if (name == "-h,--help")
            continue;
        if (option->get_expected_min() > 0 && !option->get_type_name().empty())
            name += " " + option->get_type_name();
        text += fmt::format("  {:<28}{}\n", name, option->get_description());
    }
    return text;
}

// The first word of the command line that is neither an option nor an option's value: what the
// user meant as the sub-command. Empty when there is none.
std::string FirstWord(const CLI::App& app, const std::vector<std::string>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--")
            return i + 1 < args.size() ? args[i + 1] : std::string();
        if (arg.empty() || arg[0] != '-')
            return arg;
        if (arg.find('=') != std::string::npos)
            continue;
        // An option that takes a value swallows the next word.
        try {
            const CLI::Option* option = app.get_option(arg);
            if (option->get_expected_min() > 0)
                ++i;
        } catch (const CLI::OptionNotFound&) {
        }
    }
    return {};
}

} // namespace

int Cli_Main(const std::vector<std::string>& args, TConsole& console) {
    CLI::App app{"Pin, gate and differential-pair swapping on KiCad boards.", "permutor"};
    app.require_subcommand(1, 1);
    app.fallthrough();
    app.footer(cFooter);
    // A single-valued option given twice takes the last value, as scripts that append options expect.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

    TGlobalOptions options;
    std::vector<std::string> answers, picks;
    app.add_flag("--batch", options.Batch, "Run without a user interface: questions take their default");
    auto* yes = app.add_flag("--yes", options.Yes, "Answer every question with Yes/OK");
    auto* no = app.add_flag("--no", options.No, "Answer every question with No/Cancel");
    yes->excludes(no);
    app.add_option("--answer", answers, "Answer the question with this caption (any letter case)")
        ->type_name("CAPTION=yes|no")
        ->allow_extra_args(false);
    app.add_option("--pick", picks,
                   "A pick on the board: a pad's centre, or a point in mm (repeatable, in order)")
        ->type_name("REF-PAD|X,Y[,LAYER]")
        ->allow_extra_args(false);
    std::uint64_t seed = 0;
    auto* seedOption =
        app.add_option("--seed", seed, "Seed of the optimiser's random choices")->type_name("N");
    app.add_flag("--json", options.Json, "Print the report and messages as one JSON document");
    app.add_flag("--dry-run", options.DryRun, "Save nothing");
    app.add_option("--output", options.Output, "Write the board to FILE instead of over the original")
        ->type_name("FILE");
    app.add_flag("--no-backup", options.NoBackup, "Keep no .bak of files that are replaced");
    app.add_flag("--no-back-annotate", options.NoBackAnnotate,
                 "Leave the schematic as it is when pads change nets (the swap report is still written)");
    app.add_option("--svg-before", options.SvgBefore, "Draw the board and its ratsnest before the command")
        ->type_name("FILE");
    app.add_option("--svg-after", options.SvgAfter, "Draw the board and its ratsnest after the command")
        ->type_name("FILE");
    app.add_option("--module", options.ModulePath,
                   "The module library (default: $PERMUTOR_MODULE, else libpermutor.so beside this program)")
        ->type_name("PATH");
    app.add_flag("-q,--quiet", options.Quiet, "Print only what the module reports and errors");
    app.add_flag("-v,--verbose", options.Verbose, "Also print highlights, redraws, status texts and picks");

    TSubCommandArgs a;
    auto* optimize =
        app.add_subcommand("optimize", "Optimise pin, gate and pair assignments (RunAutoPermutor)");
    optimize->add_option("document", a.Document, "A .kicad_pro or .kicad_pcb")->required();
    optimize->add_flag("--no-iterative", a.NoIterative,
                       "Run the fast optimiser only, without the iterative one (Iterative=False)");
    optimize
        ->add_option("--iterative-start", a.IterativeStart,
                     "How the iterative optimiser starts: improve (keep only improving exchanges; the "
                     "default) or anneal (also accept some worse ones while hot; slower, now and then "
                     "a little better) (IterativeStart=Improve|Anneal)")
        ->check(CLI::IsMember({"improve", "anneal"}, CLI::ignore_case))
        ->type_name("improve|anneal");
    optimize->add_flag("--gates", a.Gates,
                       "First exchange whole gates of multi-part components where that shortens and "
                       "untangles the connections (Gates=True)");
    optimize->add_flag("--pairs", a.Pairs,
                       "First exchange whole differential pairs where that shortens and untangles the "
                       "connections (Pairs=True)");

    auto* swap = app.add_subcommand("swap", "Swap by hand: pins, parts (gates) or differential pairs");
    swap->add_option("kind", a.SwapKind, "pins | parts | pairs | kestrel | kestrel-pin")
        ->required()
        ->check(CLI::IsMember({"pins", "parts", "pairs", "kestrel", "kestrel-pin"}, CLI::ignore_case));
    swap->add_option("document", a.Document, "A .kicad_pcb or .kicad_pro")->required();

    auto* configure = app.add_subcommand("configure", "Configure pin swapping (ConfigurePermutor)");
    configure->add_option("document", a.Document, "A .kicad_pro, .kicad_sch or .kicad_pcb")->required();
    configure->add_option("component", a.Reference, "The reference of the component to configure");
    configure
        ->add_option("--do", options.DialogCommands,
                     "A command for the dialogs, as typed at their prompt (repeatable, in order; "
                     "e.g. --do \"open U2\" --do ok --do ok); type help at the prompt for the list")
        ->type_name("COMMAND")
        ->allow_extra_args(false);

    auto* query = app.add_subcommand("query", "Ask the route-time interface about pads");
    query->add_option("document", a.Document, "A .kicad_pcb or .kicad_pro")->required();
    query
        ->add_option("pads", a.Pads, "One pad (its swap partners) or two (whether they may swap), as REF-PAD")
        ->required();
    query->add_flag(
        "--gates", a.Gates,
        "Also list the gates (or pairs) of the first pad's part swap group, position by position");
    query->add_flag("--pairs", a.Pairs, "Ask in differential-pair mode: pairs swap within their pair group");

    auto* commands = app.add_subcommand("commands", "Show the state of every module command for a document");
    commands->add_option("document", a.Document, "A .kicad_pro, .kicad_pcb or .kicad_sch")->required();

    auto* run = app.add_subcommand("run", "Run any module command by name");
    run->add_option("command", a.Command, "The module command, e.g. RunManualPermutor")->required();
    run->add_option("document", a.Document, "The document whose view is the command's context")->required();
    run->add_option("--params", a.Parameters, "The command's parameters, Name=Value|Name=Value")
        ->type_name("TEXT");

    auto* info = app.add_subcommand("info", "Figures of a board and project: islands, ratsnest, crossings");
    info->add_option("document", a.Document, "A .kicad_pro, .kicad_pcb or .kicad_sch")->required();

    auto* swapinfo = app.add_subcommand("swapinfo", "Show or set a component's swap data and switches");
    swapinfo->add_option("project", a.Document, "A .kicad_pro (or a board or sheet of one)")->required();
    swapinfo->add_option("reference", a.Reference, "The component's reference")->required();
    swapinfo->add_option("--pin-swap", a.PinSwap, "Pin swap data, e.g. Pin_1=A|Pin_2=A")->type_name("TEXT");
    swapinfo->add_option("--part-swap", a.PartSwap, "Part swap data (Part_<pin>=, PartPin_<pin>=)")
        ->type_name("TEXT");
    swapinfo->add_option("--pair-swap", a.PairSwap, "Pair swap data (Pair_<pin>=)")->type_name("TEXT");
    swapinfo
        ->add_flag("--import-swap-ids", a.ImportSwapIds,
                   "Pin swap data from the \"# SWAPID=<id>\" comments of the pin constraint file that the "
                   "symbol's field \"FpgaConstraints\" names")
        ->excludes("--pin-swap");
    AddYesNo(swapinfo, "--enable-pins", a.EnablePins,
             "Pin swapping switch of the footprint, on every board of the project that has it");
    AddYesNo(swapinfo, "--enable-parts", a.EnableParts, "Part swapping switch of the footprint");
    swapinfo
        ->add_option("--board", a.Board,
                     "Set the switches on this board file only (default: on every board of the project's "
                     "folder that has the footprint)")
        ->type_name("FILE");
    AddYesNo(swapinfo, "--allow-pin-changes", a.AllowPinChanges, "Project option: swaps may change pins");
    AddYesNo(swapinfo, "--allow-net-label-changes", a.AllowNetLabelChanges,
             "Project option: swaps may change net labels");
    swapinfo
        ->add_option(
            "--group-by", a.GroupBy,
            "Put the FPGA's I/O pins into pin swap groups by their bank, I/O standard or a column of "
            "its pin report; names: by the bank its pin names encode (no pin report needed)")
        ->type_name("bank|iostandard|field:TITLE|names")
        ->excludes("--pin-swap");
    swapinfo
        ->add_option("--include", a.Include,
                     "With --group-by: also group I/O pins that are clock inputs, VREF, configuration or "
                     "special pins (left out by default)")
        ->type_name("clk,vref,config,special");
    swapinfo
        ->add_option("--pairs-from", a.PairsFrom,
                     "Pair swap data from the pin report's differential partners, for pins whose nets form "
                     "a differential pair")
        ->type_name("fpga")
        ->excludes("--pair-swap");

    auto* pininfo = app.add_subcommand("pininfo", "Show an FPGA's pin report as the module reads it");
    pininfo->add_option("project", a.Document, "A .kicad_pro (or a board or sheet of one)")->required();
    pininfo->add_option("reference", a.Reference, "The FPGA's reference")->required();

    auto* projectOptions = app.add_subcommand("options", "Show or set the project's swap options");
    projectOptions->add_option("project", a.Document, "A .kicad_pro")->required();
    AddYesNo(projectOptions, "--allow-pin-changes", a.AllowPinChanges, "Swaps may change pins");
    AddYesNo(projectOptions, "--allow-net-label-changes", a.AllowNetLabelChanges,
             "Swaps may change net labels");

    // A sub-command's --help shows its own options, then the global ones (which may stand
    // anywhere on the line); the exit codes and how questions and picks work stay with the
    // program's own --help.
    const std::string subFooter =
        GlobalOptions_Text(app) + "\nExit codes and how questions, picks and Ctrl-C work: permutor --help\n";
    for (CLI::App* sub : app.get_subcommands({}))
        sub->footer(subFooter);

    std::vector<std::string> argv{"permutor"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<const char*> pointers;
    for (const auto& s : argv)
        pointers.push_back(s.c_str());
    try {
        app.parse(int(pointers.size()), pointers.data());
    } catch (const CLI::ParseError& e) {
        // A mistyped sub-command would otherwise read as "a subcommand is required".
        if (app.get_subcommands().empty() && e.get_exit_code() != 0)
            if (const std::string word = FirstWord(app, args); !word.empty()) {
                console.Err << "permutor: \"" << word << "\" is not a sub-command; the sub-commands are:\n";
                for (const CLI::App* sub : app.get_subcommands({}))
                    console.Err << fmt::format("  {:<11}{}\n", sub->get_name(), sub->get_description());
                console.Err << "Run permutor --help for the global options and exit codes.\n";
                return eExit_Usage;
            }
        const int code = app.exit(e, console.Out, console.Err);
        return code == 0 ? eExit_OK : eExit_Usage;
    }

    if (seedOption->count() > 0)
        options.Seed = seed;
    for (const auto& text : answers) {
        TAnswerOption answer;
        std::string error;
        if (!Answer_Parse(text, answer, error)) {
            console.Err << "permutor: --answer: " << error << "\n";
            return eExit_Usage;
        }
        options.Answers.push_back(answer);
    }
    for (const auto& text : picks) {
        TPickOption pick;
        std::string error;
        if (!Pick_Parse(text, pick, error)) {
            console.Err << "permutor: --pick: " << error << "\n";
            return eExit_Usage;
        }
        options.Picks.push_back(pick);
    }

    TReport report(console, options.Json, options.Quiet);
    AbortKey::Reset();
    if (console.CatchInterrupt)
        AbortKey::Install(true);
    int code = eExit_OK;
    try {
        if (optimize->parsed()) {
            report.Data()["command"] = "optimize";
            code = Run_ModuleCommand(options, report, a.Document, "RunAutoPermutor", OptimizeParameters(a));
        } else if (swap->parsed()) {
            report.Data()["command"] = "swap";
            code = KestrelKind_Command(a.SwapKind).empty()
                       ? Run_ModuleCommand(options, report, a.Document, SwapKind_Command(a.SwapKind), "")
                       : Run_KestrelSwap(options, report, a.Document, a.SwapKind);
        } else if (configure->parsed()) {
            report.Data()["command"] = "configure";
            code = Run_Configure(options, report, a);
        } else if (query->parsed()) {
            report.Data()["command"] = "query";
            code = Run_Query(options, report, a);
        } else if (commands->parsed()) {
            report.Data()["command"] = "commands";
            code = Run_Commands(options, report, a);
        } else if (run->parsed()) {
            report.Data()["command"] = "run";
            code = Run_ModuleCommand(options, report, a.Document, a.Command, a.Parameters);
        } else if (info->parsed()) {
            report.Data()["command"] = "info";
            code = Run_Info(options, report, a);
        } else if (swapinfo->parsed()) {
            report.Data()["command"] = "swapinfo";
            code = Run_SwapInfo(options, report, a);
        } else if (pininfo->parsed()) {
            report.Data()["command"] = "pininfo";
            code = Run_PinInfo(options, report, a);
        } else if (projectOptions->parsed()) {
            report.Data()["command"] = "options";
            code = Run_Options(options, report, a);
        }
    } catch (const TCliError& e) {
        report.Error(e.what());
        code = e.Code();
    } catch (const std::exception& e) {
        report.Error(std::string("internal error: ") + e.what());
        code = eExit_CommandError;
    }
    if (console.CatchInterrupt)
        AbortKey::Uninstall();
    AbortKey::Reset();
    report.Finish(code);
    return code;
}

} // namespace pcbhost::cli
