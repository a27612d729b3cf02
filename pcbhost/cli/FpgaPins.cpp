#include "pcbhost/cli/FpgaPins.h"

#include "pcbhost/cli/Session.h"
#include "pcbhost/fpga/PinFunctions.h"
#include "pcbhost/model/PinInfo.h"

#include "permutor/host/Services.h"
#include "permutor/host/Text.h"
#include "permutor/model/FpgaData.h"

#include <fmt/format.h>

#include <algorithm>
#include <map>
#include <set>

namespace pcbhost::cli {

using permutor::model::TFpgaDataHolder;
using permutor::model::TFpgaTable;
using namespace permutor::model; // the prff_ kinds

namespace {

constexpr const char* cKindNames[cPinReportFileFieldKindCount] = {
    "Pin",   "Net", "IO Bank", "IO Standard", "Diff Pair", "Slew",
    "Drive", "IO",  "VREF",    "Clock",       "Config",    "Special"};

// The module reads the report through the host's client, as it would inside the host.
class TModuleClient {
public:
    explicit TModuleClient(THost& host) { permutor::host::Client_Set(host.Client().get()); }
    ~TModuleClient() { permutor::host::Client_Set(nullptr); }
};

struct TFpgaData {
    std::shared_ptr<TFpgaDataHolder> Holder;
    std::string ReportPath, Format;
};

IPtr<IComponent> DesignComponent(TSession& session, const std::string& reference) {
    IPtr<IProject> project(session.Project().Project());
    if (!project)
        return nullptr;
    project->Compile();
    auto design = project->CompiledDocument();
    const std::int32_t n = design ? design->ComponentCount() : 0;
    for (std::int32_t i = 0; i < n; ++i)
        if (auto c = design->Component(i); c && c->Designator() == reference)
            return c;
    return nullptr;
}

// The component's pin data as the module loads it; the report's path and format for messages.
// Throws TCliError when there is no report or it cannot be read.
TFpgaData LoadFpgaData(TSession& session, const std::string& reference) {
    IPtr<IComponent> component = DesignComponent(session, reference);
    if (!component)
        throw TCliError(eExit_CommandError, "no component \"" + reference + "\" in " + session.ProjectName());
    TModuleClient client(session.Host());
    TFpgaData data;
    IPtr<IComponentInfo> info;
    try {
        info = permutor::model::FpgaData_FindComponentInfo(component.get());
    } catch (const fpga::TPinReportError& e) {
        throw TCliError(eExit_File, e.what());
    }
    data.Holder = TFpgaDataHolder::Create(info.get());
    if (!data.Holder->PinsData())
        throw TCliError(eExit_CommandError,
                        reference + " has no FPGA pin report: give its symbol the field \"" + cPinInfoField +
                            "\" with the report's path (relative to the sheet)");
    for (std::int32_t i = 0; i < component->ImplementationCount(); ++i)
        if (auto impl = component->Implementation(i);
            impl && Text_EqualNoCase(impl->ModelType(), cFpgaPinInfoModelType))
            for (std::int32_t l = 0; l < impl->DataFileLinkCount() && data.ReportPath.empty(); ++l) {
                const std::string path = permutor::model::FpgaData_ResolveLocation(
                    component->OwnerDocumentPath(), impl->DataFileLinkLocation(l));
                if (auto doc = session.Host().Client()->ServerDocumentByPath(path)) {
                    data.ReportPath = path;
                    if (auto* report = dynamic_cast<TPinReportDocument*>(doc.get()))
                        data.Format = report->Report().Format;
                }
            }
    return data;
}

std::string ColumnTitle(const TFpgaTable::TColumn& column) {
    if (column.Name == "FpgaData_PinName")
        return "Pin";
    if (column.Name == "FpgaData_DiffPair")
        return "Partner";
    if (column.Tag >= 0 && column.Tag < cPinReportFileFieldKindCount)
        return cKindNames[column.Tag];
    return column.DisplayLabel;
}

// A group name the swap data text can hold.
std::string GroupName(std::string_view value) {
    std::string name;
    for (char c : value)
        name += std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' ? c : '_';
    return name;
}

// Net names of a differential pair: equal but for a final _P/_N or +/-.
bool NetsFormPair(const std::string& a, const std::string& b) {
    if (a.size() != b.size() || a.empty())
        return false;
    auto stem = [](const std::string& n, char& polarity) {
        polarity = 0;
        if (n.size() >= 2 && n[n.size() - 2] == '_' &&
            (Text_UpperChar(n.back()) == 'P' || Text_UpperChar(n.back()) == 'N'))
            polarity = Text_UpperChar(n.back());
        else if (n.back() == '+' || n.back() == '-')
            polarity = n.back() == '+' ? 'P' : 'N';
        return n.substr(0, n.size() - 1);
    };
    char pa, pb;
    const std::string sa = stem(a, pa), sb = stem(b, pb);
    return pa && pb && pa != pb && Text_EqualNoCase(sa, sb);
}

} // namespace

int Run_PinInfo(const TGlobalOptions& options, TReport& report, const TSubCommandArgs& args) {
    report.Data()["document"] = args.Document;
    report.Data()["reference"] = args.Reference;
    TSession session(options, report);
    session.Open(args.Document);
    const TFpgaData data = LoadFpgaData(session, args.Reference);
    TFpgaTable& table = *data.Holder->PinsData();

    // The pin first, then the known fields, the report's other columns and the partner.
    std::vector<std::int32_t> order;
    const std::int32_t pinColumn = table.FindColumn("FpgaData_PinName");
    order.push_back(pinColumn);
    for (std::size_t c = 0; c < table.Columns().size(); ++c)
        if (std::int32_t(c) != pinColumn)
            order.push_back(std::int32_t(c));

    nlohmann::json columns = nlohmann::json::array(), pins = nlohmann::json::array();
    std::vector<std::size_t> widths;
    for (std::int32_t c : order) {
        const auto& column = table.Columns()[std::size_t(c)];
        columns.push_back({{"name", column.Name},
                           {"title", ColumnTitle(column)},
                           {"tag", column.Tag},
                           {"boolean", column.Boolean}});
        widths.push_back(ColumnTitle(column).size());
    }
    std::vector<std::vector<std::string>> rows;
    for (std::int32_t r = 0; r < table.RowCount(); ++r) {
        table.SetCurrentRow(r);
        std::vector<std::string> row;
        nlohmann::json pin = nlohmann::json::object();
        for (std::size_t i = 0; i < order.size(); ++i) {
            const auto& column = table.Columns()[std::size_t(order[i])];
            row.push_back(table.Text(order[i]));
            if (column.Boolean)
                pin[column.Name] = table.Boolean(order[i]);
            else
                pin[column.Name] = row.back();
            widths[i] = std::max(widths[i], row.back().size());
        }
        rows.push_back(std::move(row));
        pins.push_back(std::move(pin));
    }
    report.Data()["report"] = data.ReportPath;
    report.Data()["format"] = data.Format;
    report.Data()["columns"] = columns;
    report.Data()["pins"] = pins;

    auto& os = report.Text();
    os << fmt::format("{} in {}: {} pins from {} ({})\n", args.Reference, session.ProjectName(), rows.size(),
                      data.ReportPath, data.Format);
    auto print = [&](const std::vector<std::string>& cells) {
        std::string line = " ";
        for (std::size_t i = 0; i < cells.size(); ++i)
            line += " " + fmt::format("{:<{}}", cells[i], widths[i]);
        line.erase(line.find_last_not_of(' ') + 1);
        os << line << "\n";
    };
    std::vector<std::string> titles;
    for (std::int32_t c : order)
        titles.push_back(ColumnTitle(table.Columns()[std::size_t(c)]));
    print(titles);
    for (const auto& row : rows)
        print(row);
    return eExit_OK;
}

bool FpgaGroups_Assign(TSession& session, TReport& report, TSubCommandArgs& args, TSchSymbol& symbol) {
    // What to group by, and which roles to let in.
    std::set<std::string> include;
    for (std::size_t at = 0; at <= args.Include.size();) {
        const std::size_t comma = std::min(args.Include.find(',', at), args.Include.size());
        const std::string word = Text_Upper(Text_Trim(std::string_view(args.Include).substr(at, comma - at)));
        if (!word.empty()) {
            if (word != "CLK" && word != "VREF" && word != "CONFIG" && word != "SPECIAL")
                throw TCliError(eExit_Usage,
                                "--include: expected clk, vref, config or special, got \"" + word + "\"");
            include.insert(word);
        }
        at = comma + 1;
    }
    const std::string by = args.GroupBy;
    const bool byNames = Text_EqualNoCase(by, "names");
    std::string fieldTitle;
    if (Text_StartsWithNoCase(by, "field:"))
        fieldTitle = by.substr(6);
    else if (!by.empty() && !byNames && !Text_EqualNoCase(by, "bank") && !Text_EqualNoCase(by, "iostandard"))
        throw TCliError(eExit_Usage,
                        "--group-by: expected bank, iostandard, field:TITLE or names, got \"" + by + "\"");
    if (!args.PairsFrom.empty() && !Text_EqualNoCase(args.PairsFrom, "fpga"))
        throw TCliError(eExit_Usage, "--pairs-from: expected fpga, got \"" + args.PairsFrom + "\"");
    if (byNames && !args.PairsFrom.empty())
        throw TCliError(eExit_Usage,
                        "--pairs-from fpga needs the component's pin report, not --group-by names");

    TFpgaData data;
    std::int32_t fieldColumn = -1;
    if (!byNames) {
        data = LoadFpgaData(session, args.Reference);
        if (!fieldTitle.empty()) {
            std::string titles;
            for (std::size_t c = 0; c < data.Holder->PinsData()->Columns().size(); ++c) {
                const auto& column = data.Holder->PinsData()->Columns()[c];
                if (Text_EqualNoCase(ColumnTitle(column), fieldTitle))
                    fieldColumn = std::int32_t(c);
                titles += (titles.empty() ? "" : ", ") + ColumnTitle(column);
            }
            if (fieldColumn < 0)
                throw TCliError(eExit_Usage, "--group-by field:" + fieldTitle + ": the pin report of " +
                                                 args.Reference + " has no such column; it has " + titles);
        }
    }

    // The nets on the board where there is one, else the schematic's.
    std::map<std::string, std::string> netOf;
    for (const auto& pin : symbol.Pins())
        netOf[pin->DesignatorText()] = pin->NetName().starts_with("unconnected-(") ? "" : pin->NetName();
    if (TBoard* board = session.Project().Board())
        if (TPcbComponent* footprint = board->FindComponent(args.Reference))
            for (TPad* pad : footprint->Pads()) {
                auto net = pad->Net();
                // KiCad names the net of a lone pad "unconnected-(...)".
                netOf[pad->Name()] =
                    net && !net->Name().starts_with("unconnected-(") ? net->Name() : std::string();
            }

    struct TGroup {
        std::vector<std::string> Pins;
        std::int32_t WithNets = 0;
    };
    std::map<std::string, TGroup> groups, pairGroups;
    std::map<std::string, std::int32_t> leftOut;
    std::vector<std::pair<std::string, std::string>> pinEntries, pairEntries;
    std::set<std::string> paired;

    auto flag = [&](const std::string& pin, TPinReportFileFieldKind kind) {
        std::string text;
        data.Holder->GetStringValue(pin, kind, text);
        return text == "True";
    };
    // Pairs first: a pin that swaps as half of a pair stays out of the pin groups.
    if (!args.PairsFrom.empty()) {
        TFpgaTable& table = *data.Holder->PinsData();
        const std::int32_t partnerColumn = table.FindColumn("FpgaData_DiffPair");
        for (const auto& pin : symbol.Pins()) {
            const std::string name = pin->DesignatorText();
            if (!data.Holder->FindPinInfo(name))
                continue;
            const std::string partner = table.Text(partnerColumn);
            if (partner.empty() || !netOf.count(partner) || !NetsFormPair(netOf[name], netOf[partner]))
                continue;
            std::string bank;
            data.Holder->GetStringValue(name, prff_IoBank, bank);
            const std::string group = "DP" + (bank.empty() ? std::string() : "_BANK_" + GroupName(bank));
            pairEntries.push_back({name, group});
            pairGroups[group].Pins.push_back(name);
            ++pairGroups[group].WithNets;
            paired.insert(name);
        }
    }
    if (!by.empty())
        for (const auto& pin : symbol.Pins()) {
            const std::string name = pin->DesignatorText();
            if (paired.count(name))
                continue;
            fpga::TPinRoles roles;
            std::string key;
            if (byNames) {
                if (!fpga::PinName_BankAndRoles(pin->PinName(), key, roles)) {
                    ++leftOut["no bank in its name"];
                    continue;
                }
                key = "BANK_" + key;
            } else {
                if (!data.Holder->FindPinInfo(name)) {
                    ++leftOut["not in the pin report"];
                    continue;
                }
                roles = {flag(name, prff_IoPin), flag(name, prff_VrefPin), flag(name, prff_ClkPin),
                         flag(name, prff_ConfigPin), flag(name, prff_SpecialPin)};
                std::string value;
                if (fieldColumn >= 0) {
                    data.Holder->FindPinInfo(name);
                    value = data.Holder->PinsData()->Text(fieldColumn);
                } else {
                    data.Holder->GetStringValue(
                        name, Text_EqualNoCase(by, "bank") ? prff_IoBank : prff_IoStandard, value);
                }
                key = value.empty()                  ? ""
                      : Text_EqualNoCase(by, "bank") ? "BANK_" + GroupName(value)
                                                     : GroupName(value);
            }
            const char* reason = !roles.Io                                    ? "not I/O"
                                 : roles.Clk && !include.count("CLK")         ? "clock"
                                 : roles.Vref && !include.count("VREF")       ? "VREF"
                                 : roles.Config && !include.count("CONFIG")   ? "configuration"
                                 : roles.Special && !include.count("SPECIAL") ? "special"
                                 : key.empty()                                ? "no value to group by"
                                                                              : nullptr;
            if (roles.Io && !roles.Clk && !roles.Vref && !roles.Config && !roles.Special && key.empty())
                reason = "no value to group by";
            if (reason) {
                ++leftOut[reason];
                continue;
            }
            pinEntries.push_back({name, key});
            groups[key].Pins.push_back(name);
            if (!netOf[name].empty())
                ++groups[key].WithNets;
        }

    // Shown before anything is written.
    auto& os = report.Text();
    nlohmann::json shown = nlohmann::json::array();
    os << fmt::format("{} swap groups{}{}:\n", args.Reference, by.empty() ? "" : " by " + by,
                      data.ReportPath.empty() ? std::string(" (from its pin names)")
                                              : " (from " + data.ReportPath + ")");
    os << fmt::format("  {:<20}{:>6}{:>11}\n", "group", "pins", "with nets");
    auto show = [&](const std::map<std::string, TGroup>& list, const char* kind) {
        for (const auto& [name, group] : list) {
            os << fmt::format("  {:<20}{:>6}{:>11}{}\n", name, group.Pins.size(), group.WithNets,
                              std::string(kind) == "pair" ? "  (pairs)" : "");
            shown.push_back(
                {{"group", name}, {"kind", kind}, {"pins", group.Pins}, {"pins_with_nets", group.WithNets}});
        }
    };
    show(groups, "pin");
    show(pairGroups, "pair");
    std::string left;
    for (const auto& [reason, count] : leftOut)
        left += (left.empty() ? "" : ", ") + fmt::format("{} {}", count, reason);
    if (!left.empty())
        os << "  left out: " << left
           << (leftOut.count("clock") || leftOut.count("VREF") || leftOut.count("configuration") ||
                       leftOut.count("special")
                   ? " (see --include)"
                   : "")
           << "\n";
    report.Data()["groups"] = shown;
    report.Data()["left_out"] = leftOut;
    if (groups.empty() && pairGroups.empty())
        throw TCliError(eExit_CommandError,
                        "no pin of " + args.Reference + " falls into a group; nothing written");

    const auto answer =
        session.Host().HostUI()->AskQuestion("Write these groups as the swap data of " + args.Reference + "?",
                                             "Assign Pin-Swap Groups", eButtons_YesNo);
    if (answer != eModal_Yes) {
        report.Note("nothing written");
        return false;
    }
    auto join = [](const std::vector<std::pair<std::string, std::string>>& entries, const char* prefix) {
        std::string text;
        for (const auto& [pin, group] : entries)
            text += (text.empty() ? "" : "|") + std::string(prefix) + pin + "=" + group;
        return text;
    };
    if (!by.empty())
        args.PinSwap = join(pinEntries, "Pin_");
    if (!args.PairsFrom.empty())
        args.PairSwap = join(pairEntries, "Pair_");
    return true;
}

} // namespace pcbhost::cli
