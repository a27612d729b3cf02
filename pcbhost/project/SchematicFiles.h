// A KiCad schematic hierarchy (.kicad_sch, KiCad 6 to 9): the root sheet and every sheet below
// it, read into the stand-in host's schematic model. Swap identifiers travel as hidden symbol
// fields; saving rewrites only those fields.
#pragma once

#include "pcbhost/kicad/SExpr.h"
#include "pcbhost/model/Schematic.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pcbhost {
class TBoard;
}

namespace pcbhost::kicad {

// Symbol fields that carry a component's swap data ("Pin_1=A|Pin_2=A", ...).
inline constexpr const char* cPinSwapField = "PinSwap";
inline constexpr const char* cPartSwapField = "PartSwap";
inline constexpr const char* cPairSwapField = "PairSwap";

// Turns swap data text into per-pin identifiers and back, in the host's own terms: entries
// "Pin_<designator>=<id>", "Part_…", "PartPin_…", "Pair_…" joined by "|".
void SwapFields_Apply(TSchSymbol& symbol, const std::string& pinSwap, const std::string& partSwap,
                      const std::string& pairSwap);
void SwapFields_Compose(const TSchSymbol& symbol, std::string& pinSwap, std::string& partSwap,
                        std::string& pairSwap);

class TSchematicSet {
public:
    // Creates the schematic document of a path (registering it with the host) when first seen.
    using TDocumentFactory = std::function<TSchDocument&(const std::string& path)>;

    // Reads the root sheet and its hierarchy. `projectName` picks the instance block of KiCad 7+
    // files. Throws sexpr::ParseError naming the file, line and column of what it cannot read.
    TSchematicSet(const std::string& rootPath, const std::string& projectName, TDocumentFactory factory);
    ~TSchematicSet();

    // Net labels and ports at pin ends join the nets of those pins: with a board, the pin's pad
    // decides the net name.
    void ResolveLabels(TBoard* board);

    const std::vector<std::string>& Files() const { return FFileOrder; }
    // What was odd in the sheets but read on past, sheet by sheet.
    std::vector<sexpr::ParseWarning> Warnings() const;
    const std::vector<std::shared_ptr<TSchSymbol>>& Symbols() const { return FSymbolList; }
    // Files whose swap fields differ from the model, with their new text.
    std::map<std::string, std::string> Render() const;
    bool Changed() const { return !Render().empty(); }

private:
    struct TFile;
    struct TUnitSource;
    struct TLabel;
    void Visit(const std::string& path, const std::vector<std::string>& sheetUuids,
               const std::string& sheetNames, int depth);
    TFile& FileOf(const std::string& path);

    std::string FRootPath, FProjectName, FRootUuid;
    TDocumentFactory FFactory;
    std::map<std::string, std::unique_ptr<TFile>> FFiles;
    std::vector<std::string> FFileOrder;
    std::map<std::string, std::shared_ptr<TSchSymbol>> FSymbols; // by reference
    std::vector<std::shared_ptr<TSchSymbol>> FSymbolList;
    std::vector<TUnitSource> FUnits;
    std::vector<TLabel> FLabels;
    std::map<std::string, std::pair<std::string, std::int32_t>> FLegacyInstances; // KiCad 6 path -> ref, unit
};

} // namespace pcbhost::kicad
