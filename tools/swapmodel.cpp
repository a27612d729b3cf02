// swapmodel: loads a KiCad project or board into the stand-in host, optionally gives swap
// groups to components in memory, builds the swap model without a user interface and prints
// its groups, swappable sub-nets, total cost and cross-overs, and the board's connection figures.
#include "permutor/host/Services.h"
#include "permutor/model/SwapDataSet.h"

#include "pcbhost/model/Host.h"
#include "pcbhost/project/KicadProject.h"
#include "pcbhost/project/SchematicFiles.h"

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <map>

using namespace permutor::model;
using namespace pcbhost;
using namespace pcbhost::kicad;

namespace {

// "REF:ID:PIN,PIN..." → pin swap entries added to REF's swap data.
bool AddPinGroup(std::map<std::string, std::string>& entries, const std::string& spec) {
    const auto a = spec.find(':'), b = spec.find(':', a == std::string::npos ? a : a + 1);
    if (a == std::string::npos || b == std::string::npos)
        return false;
    std::string& text = entries[spec.substr(0, a)];
    const std::string id = spec.substr(a + 1, b - a - 1);
    std::size_t start = b + 1;
    while (start <= spec.size()) {
        const std::size_t comma = std::min(spec.find(',', start), spec.size());
        if (comma > start)
            text += (text.empty() ? "" : "|") + std::string("Pin_") + spec.substr(start, comma - start) +
                    "=" + id;
        start = comma + 1;
    }
    return true;
}

void PrintGroups(const char* kind, const TPackedList<TSwapGroup>& groups) {
    fmt::print("{} groups: {}\n", kind, groups.Count());
    for (TSwapGroup* g : groups)
        fmt::print("  {} {}: {} pins, {} sub-nets, {} sub-parts\n",
                   g->Component ? g->Component->GetState_Description() : "?", g->ID, g->SwapPins.Count(),
                   g->SubNets.Count(), g->SubParts.Count());
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Builds the swap model of a board and prints its figures"};
    std::string path, mode = "pins";
    std::vector<std::string> enables, pinGroups;
    std::optional<std::uint32_t> seed;
    app.add_option("PROJECT_OR_BOARD", path)->required();
    app.add_option("--mode", mode)->check(CLI::IsMember({"pins", "parts", "pairs"}));
    app.add_option("--enable", enables, "REF[:pin|part]: switch swapping on for a footprint");
    app.add_option("--pin-group", pinGroups, "REF:ID:PIN,PIN... (or *): give pins a pin swap id");
    app.add_option("--seed", seed);
    CLI11_PARSE(app, argc, argv);

    THost host;
    host.UI().SetUserInterface(false);
    host.UI().SetDefaultAnswer(true);
    if (seed)
        host.ClientModel().SetRandomSeed(*seed);
    std::unique_ptr<TKicadProject> project;
    try {
        project = TKicadProject::Open(host, path);
    } catch (const std::exception& e) {
        fmt::print(stderr, "swapmodel: {}\n", e.what());
        return 1;
    }
    if (!project || !project->Board()) {
        fmt::print(stderr, "swapmodel: no board in {}\n", path);
        return 1;
    }

    std::map<std::string, std::string> entries;
    for (const auto& g : pinGroups)
        if (!AddPinGroup(entries, g)) {
            fmt::print(stderr, "swapmodel: --pin-group wants REF:ID:PIN,PIN..., not {}\n", g);
            return 2;
        }
    for (auto& [ref, text] : entries) {
        TSchSymbol* symbol = project->FindSymbol(ref);
        TPcbComponent* footprint = project->Board()->FindComponent(ref);
        if (!symbol || !footprint) {
            fmt::print(stderr, "swapmodel: no component {}\n", ref);
            return 2;
        }
        // "Pin_*=ID" stands for every pin whose pad is on a net.
        if (const auto star = text.find("Pin_*="); star != std::string::npos) {
            const auto end = text.find('|', star);
            const std::string id = text.substr(star + 6, end == std::string::npos ? end : end - star - 6);
            text.erase(star, end == std::string::npos ? end : end - star + 1);
            for (const auto& pin : symbol->Pins())
                if (TPad* pad = footprint->FindPad(pin->DesignatorText()); pad && pad->OwnerNet())
                    text +=
                        (text.empty() ? "" : "|") + std::string("Pin_") + pin->DesignatorText() + "=" + id;
        }
        std::string pin, part, pair;
        SwapFields_Compose(*symbol, pin, part, pair);
        SwapFields_Apply(*symbol, pin.empty() ? text : pin + "|" + text, part, pair);
        footprint->SetPinSwappingEnabled(true);
    }
    for (const auto& e : enables) {
        const auto colon = e.find(':');
        const std::string ref = e.substr(0, colon),
                          what = colon == std::string::npos ? "" : e.substr(colon + 1);
        TPcbComponent* footprint = project->Board()->FindComponent(ref);
        if (!footprint || (what != "" && what != "pin" && what != "part")) {
            fmt::print(stderr, "swapmodel: --enable wants REF[:pin|part], not {}\n", e);
            return 2;
        }
        if (what != "part")
            footprint->SetPinSwappingEnabled(true);
        if (what != "pin")
            footprint->SetPartSwappingEnabled(true);
    }

    permutor::host::Client_Set(host.Client().get());
    const TSwapMode swapMode = mode == "pins"    ? eSwap_Pins
                               : mode == "parts" ? eSwap_Parts
                                                 : eSwap_DifferentialPairs;
    int status = 0;
    {
        TSwapDataSet set(project->BoardPath(), swapMode);
        set.SetSuppressDialogs(true);
        const bool built = set.Build("", false);
        fmt::print("Board: {}\nMode: {}\nBuild: {}\n", project->BoardPath(), mode,
                   built ? "complete" : "stopped");
        PrintGroups("Pin swap", set.PinSwapGroups);
        PrintGroups("Part swap", set.PartSwapGroups);
        fmt::print("Swappable sub-nets: {}\n", set.MasterSubNetList_Swappable.Count());
        fmt::print("Total cost: {:.0f}\n", set.GetTotalCost());
        fmt::print("Cross-overs: {}\n", set.TotalIntersectionCount());
        double length = 0;
        std::int32_t crossings = 0;
        set.GetConnectionStatsFromBoard(length, crossings);
        fmt::print("Board connections: length {:.2f} mm, cross-overs {}\n", length / (10000000.0 / 25.4),
                   crossings);
        fmt::print("Messages: {}\n", host.Messages().size());
        status = built ? 0 : 3;
    }
    permutor::host::Client_Set(nullptr);
    return status;
}
