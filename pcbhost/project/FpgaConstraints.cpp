#include "pcbhost/project/FpgaConstraints.h"

#include "pcbhost/model/Board.h"
#include "pcbhost/model/Schematic.h"
#include "pcbhost/project/SchematicFiles.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

namespace pcbhost::kicad {

namespace fs = std::filesystem;

namespace {

// Pad names compare without regard to letter case: a file's "a1" is the board's "A1".
std::string Key(std::string_view name) {
    std::string key(name);
    for (char& c : key)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

std::string Located(const TConstraintFile& file, std::uint32_t line) {
    return file.Path + ":" + std::to_string(line);
}

std::string ShownNet(const std::string& net) {
    return net.empty() ? std::string("(no net)") : net;
}

std::string ResolvePath(const std::string& sheetFile, std::string value) {
    std::replace(value.begin(), value.end(), '\\', '/');
    const bool absolute =
        value.front() == '/' ||
        (value.size() > 1 && std::isalpha(static_cast<unsigned char>(value[0])) && value[1] == ':');
    if (absolute)
        return fs::path(value).lexically_normal().string();
    return (fs::path(sheetFile).parent_path() / value).lexically_normal().string();
}

} // namespace

std::vector<TConstraintSource> FpgaConstraints_Sources(const TSchematicSet& set) {
    std::vector<TConstraintSource> sources;
    for (const auto& placed : set.PlacedSymbols()) {
        const std::string& value = placed.Constraints;
        if (value.empty() || placed.Reference.empty() || placed.Reference[0] == '#')
            continue;
        const std::string& sheet = set.Files()[set.SheetVisits()[placed.Visit].File];
        TConstraintSource source{placed.Reference, ResolvePath(sheet, value)};
        if (std::none_of(sources.begin(), sources.end(), [&](const TConstraintSource& s) {
                return s.Reference == source.Reference && s.Path == source.Path;
            }))
            sources.push_back(std::move(source));
    }
    return sources;
}

std::vector<std::string> FpgaConstraints_PathsOf(const TSchematicSet& set, const std::string& reference) {
    std::vector<std::string> paths;
    for (const auto& source : FpgaConstraints_Sources(set))
        if (source.Reference == reference)
            paths.push_back(source.Path);
    return paths;
}

TConstraintFollow ConstraintFile_Follow(const TConstraintFile& file, const std::string& reference,
                                        const TComponentPinNets& nets) {
    TConstraintFollow follow;
    follow.Path = file.Path;
    follow.Reference = reference;
    follow.OldText = file.Text;

    std::map<std::string, std::string> padOfKey;
    for (const auto& [pad, net] : nets.After)
        padOfKey.emplace(Key(pad), pad);
    auto before = [&](const std::string& pad) {
        const auto it = nets.Before.find(pad);
        return it != nets.Before.end() ? it->second : nets.After.at(pad);
    };
    auto changed = [&](const std::string& pad) { return before(pad) != nets.After.at(pad); };

    std::vector<std::string> newPins(file.Pins.size());
    std::set<std::string> portOnPad; // pads a port sits on after the swaps
    for (std::size_t i = 0; i < file.Pins.size(); ++i) {
        const auto& record = file.Pins[i];
        const auto found = padOfKey.find(Key(record.Pin));
        if (found == padOfKey.end()) {
            follow.Problems.push_back(fmt::format("{}: port {} is on pin {}, which {} does not have",
                                                  Located(file, record.Line), record.Port, record.Pin,
                                                  reference));
            continue;
        }
        const std::string& pad = found->second;
        if (!changed(pad)) {
            portOnPad.insert(pad);
            continue;
        }
        // The pin that the port's signal now sits on: the only pin carrying it, else the only one
        // of the changed pins that does.
        const std::string net = before(pad);
        std::vector<std::string> carriers, changedCarriers;
        for (const auto& [candidate, now] : nets.After)
            if (now == net) {
                carriers.push_back(candidate);
                if (changed(candidate))
                    changedCarriers.push_back(candidate);
            }
        const std::vector<std::string>& choice = carriers.size() == 1 ? carriers : changedCarriers;
        if (choice.size() != 1) {
            std::string where;
            for (const auto& c : carriers)
                where += (where.empty() ? "" : ", ") + c;
            follow.Problems.push_back(
                carriers.empty()
                    ? fmt::format("{}: port {} on pin {}: its net {} is on no pin of {} any more; left on {}",
                                  Located(file, record.Line), record.Port, record.Pin, ShownNet(net),
                                  reference, record.Pin)
                    : fmt::format("{}: port {} on pin {}: its net {} is now on pins {} of {}; left on {}",
                                  Located(file, record.Line), record.Port, record.Pin, ShownNet(net), where,
                                  reference, record.Pin));
            continue;
        }
        const std::string& target = choice.front();
        portOnPad.insert(target);
        if (Key(target) == Key(record.Pin))
            continue;
        newPins[i] = target;
        follow.Moves.push_back({record.Port, record.Pin, target, record.Line});
    }
    // A pin that took a signal no port was on: the FPGA design knows nothing to put there.
    for (const auto& [pad, net] : nets.After)
        if (changed(pad) && !net.empty() && !portOnPad.count(pad))
            follow.Problems.push_back(fmt::format("{}: pin {} of {} now carries {}, but no port of the file "
                                                  "was on its signal",
                                                  file.Path, pad, reference, net));
    follow.NewText = ConstraintFile_Rewrite(file, newPins);
    return follow;
}

std::vector<TConstraintFollow> FpgaConstraints_Plan(const TSchematicSet& set, const TBoard& board,
                                                    const std::vector<TPinChange>& changes) {
    std::vector<TConstraintFollow> plans;
    std::map<std::string, std::string> referenceOfPath;
    for (const auto& source : FpgaConstraints_Sources(set)) {
        const auto [it, fresh] = referenceOfPath.emplace(source.Path, source.Reference);
        if (!fresh)
            throw TConstraintError(source.Path + ": named in \"" + cFpgaConstraintsField + "\" of both " +
                                   it->second + " and " + source.Reference +
                                   "; a pin constraint file belongs to one FPGA");
        TPcbComponent* component = board.FindComponent(source.Reference);
        if (!component)
            continue;
        TComponentPinNets nets;
        for (TPad* pad : component->Pads()) {
            TPcbNet* net = pad->OwnerNet();
            nets.After[pad->Name()] = net ? net->Name() : std::string();
        }
        bool any = false;
        for (const auto& change : changes)
            if (change.Reference == source.Reference && nets.After.count(change.Pin)) {
                nets.Before[change.Pin] = change.OldNet;
                any = any || change.OldNet != nets.After[change.Pin];
            }
        if (!any)
            continue;
        plans.push_back(ConstraintFile_Follow(ConstraintFile_Read(source.Path), source.Reference, nets));
    }
    return plans;
}

std::string FpgaConstraints_PinSwapText(const TConstraintFile& file, const TSchSymbol& symbol,
                                        std::vector<std::string>& problems) {
    std::map<std::string, const TPinConstraint*> recordOfPin;
    std::set<std::string> symbolPins;
    for (const auto& pin : symbol.Pins())
        symbolPins.insert(Key(pin->DesignatorText()));
    for (const auto& record : file.Pins) {
        if (!symbolPins.count(Key(record.Pin))) {
            problems.push_back(fmt::format("{}: port {} is on pin {}, which {} does not have",
                                           Located(file, record.Line), record.Port, record.Pin,
                                           symbol.Designator));
            continue;
        }
        if (record.SwapId.find_first_of("|=") != std::string::npos)
            throw TConstraintError(Located(file, record.Line) + ": SWAPID \"" + record.SwapId +
                                   "\" cannot hold \"|\" or \"=\"");
        const auto [it, fresh] = recordOfPin.emplace(Key(record.Pin), &record);
        if (!fresh && it->second->SwapId != record.SwapId)
            problems.push_back(fmt::format("{}: pin {} has the swap id \"{}\" on line {} already; \"{}\" "
                                           "is not used",
                                           Located(file, record.Line), record.Pin, it->second->SwapId,
                                           it->second->Line, record.SwapId));
    }
    std::string text;
    for (const auto& pin : symbol.Pins()) {
        const auto it = recordOfPin.find(Key(pin->DesignatorText()));
        if (it == recordOfPin.end() || it->second->SwapId.empty())
            continue;
        text += (text.empty() ? "" : "|") + std::string("Pin_") + pin->DesignatorText() + "=" +
                it->second->SwapId;
    }
    return text;
}

} // namespace pcbhost::kicad
