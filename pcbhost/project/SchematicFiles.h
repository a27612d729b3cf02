// A KiCad schematic hierarchy (.kicad_sch, KiCad 6 to 9): the root sheet and every sheet below
// it, read into the stand-in host's schematic model. Swap identifiers travel as hidden symbol
// fields; saving rewrites only those fields.
#pragma once

#include "pcbhost/kicad/SExpr.h"
#include "pcbhost/model/Schematic.h"

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pcbhost {
class TBoard;
}

namespace pcbhost::kicad {

class TSchematicConnectivity;

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

// The value of a symbol's (or sheet's) property, "" when it has none.
std::string PropertyValue(sexpr::Node symbol, std::string_view key);
// The same as a view of the document's text, valid while the document is.
std::string_view PropertyView(sexpr::Node symbol, std::string_view key);
// The first of `elements` with the keyword; null when there is none.
sexpr::Node FindElement(const std::vector<sexpr::Node>& elements, std::string_view keyword);
// Splits a library sub-symbol's name "NAME_U_S" into unit and style from the right; false when it
// is not of that form.
bool SubSymbolUnit(std::string_view name, std::int32_t& unit, std::int32_t& style);

class TSchematicSet {
public:
    // Creates the schematic document of a path (registering it with the host) when first seen.
    using TDocumentFactory = std::function<TSchDocument&(const std::string& path)>;
    // Reads a sheet's file, or stands in for it (a hierarchy as it would be saved, checked before
    // it is written). Called once per file.
    using TSheetReader = std::function<sexpr::Document(const std::string& path)>;

    // Reads the root sheet and its hierarchy. `projectName` picks the instance block of KiCad 7+
    // files. Throws sexpr::ParseError naming the file, line and column of what it cannot read.
    // `reader`, when given, reads the files instead of sexpr::Document::load.
    // Without a `factory` the set holds the hierarchy and its placed symbols only, as much as
    // connectivity needs, and no schematic models.
    TSchematicSet(const std::string& rootPath, const std::string& projectName, TDocumentFactory factory,
                  TSheetReader reader = {});
    ~TSchematicSet();

    // Gives every pin its net and places every net label and port on the net the schematic's
    // connectivity gives it (a label at a pin end is placed at that pin).
    void ResolveNets(const TSchematicConnectivity& connectivity);

    const std::vector<std::string>& Files() const { return FFileOrder; }
    // The parsed text of Files()[file].
    const sexpr::Document& Document(std::size_t file) const;
    // Lets the system take back the pages of large sheet files until they are next read
    // (sexpr::Document::releaseSource).
    void ReleaseSources() const;
    // The first sheet file that is no longer the one read (sexpr::Document::sourceUnchangedOnDisk),
    // "" when none; and noting that a save replaced a sheet file.
    std::string ChangedOnDisk() const;
    void NoteReplaced(const std::string& path) const;
    // The root list's elements of Files()[file] as they read with the edits of the document the
    // sheet reader handed over (its own nodes where no edit touched them).
    const std::vector<sexpr::Node>& Elements(std::size_t file) const;

    // One visit of a sheet file: the root, or a sheet reached through a chain of sheet symbols.
    struct TSheetVisit {
        std::string UuidPath; // "/" for the root, else "/<sheet uuid>/<sheet uuid>..."
        std::string NamePath; // "/" or "/<name>/<name>/"
        std::size_t File = 0;
        std::int32_t Parent = -1; // the visit whose sheet symbol led here; -1 for the root
        sexpr::Node Sheet;        // that sheet symbol (in the parent's file); null for the root
    };
    // Every placed symbol of every visit, power symbols and unannotated ones included.
    struct TPlacedSymbol {
        std::size_t Visit = 0;
        sexpr::Node Symbol, Lib; // Lib: its library symbol in the file's lib_symbols (may be null)
        std::string Reference;   // in this visit
        std::int32_t Unit = 1, Style = 1;
        // The symbol's "Value" and "FpgaConstraints" fields ("" when it has none), read with the
        // rest: asking the file again later would walk every pin entry of a large part.
        std::string Value, Constraints;
    };
    const std::vector<TSheetVisit>& SheetVisits() const { return FVisits; }
    const std::vector<TPlacedSymbol>& PlacedSymbols() const { return FPlaced; }

    // The format version of Files()[index].
    std::int64_t FileVersion(std::size_t index) const;

    // An edit of a sheet's text beyond the swap fields (the back-annotation's labels and wires),
    // applied when the files are rendered.
    struct TSheetEdit {
        enum TKind { eSetText, eRemove, eInsertLineAfter } Kind;
        sexpr::Node Node; // the atom to set, the node to remove, the node to insert after
        std::string Text;
    };
    // Makes the edit on a copy of the sheet's document.
    static void ApplyEdit(sexpr::Document& doc, const TSheetEdit& edit);
    void SetSheetEdits(std::map<std::size_t, std::vector<TSheetEdit>> edits) {
        FSheetEdits = std::move(edits);
    }
    const std::map<std::size_t, std::vector<TSheetEdit>>& SheetEdits() const { return FSheetEdits; }
    // What was odd in the sheets but read on past, sheet by sheet.
    std::vector<sexpr::ParseWarning> Warnings() const;
    const std::vector<std::shared_ptr<TSchSymbol>>& Symbols() const { return FSymbolList; }
    // Files whose swap fields differ from the model, with their new text.
    std::map<std::string, std::string> Render() const;
    // The same files as documents carrying the edits, to be written without rendering them whole.
    std::map<std::string, sexpr::Document> Edited() const;
    const std::string& RootPath() const { return FRootPath; }
    const std::string& ProjectName() const { return FProjectName; }
    // Whether Render() has anything to write, without rendering.
    bool Changed() const;

private:
    struct TFile;
    struct TUnitSource;
    struct TLabel;
    void Visit(const std::string& path, const std::vector<std::string>& sheetUuids,
               const std::string& sheetNames, int depth, std::int32_t parent, sexpr::Node sheet);
    TFile& FileOf(const std::string& path);
    void NoteSwapKinds(const TSchSymbol& component);
    void ReleaseFields(const TUnitSource& unit) const;

    std::string FRootPath, FProjectName, FRootUuid;
    TDocumentFactory FFactory;
    std::map<std::string, std::unique_ptr<TFile>> FFiles;
    std::vector<std::string> FFileOrder;
    std::map<std::string, std::shared_ptr<TSchSymbol>> FSymbols; // by reference
    std::vector<std::shared_ptr<TSchSymbol>> FSymbolList;
    std::vector<TUnitSource> FUnits;
    // Which kinds of swap data (pin, part, pair) each component has so far: a later unit's field
    // is only read when its component lacks that kind.
    std::map<const TSchSymbol*, std::array<bool, 3>> FSwapKinds;
    std::vector<TLabel> FLabels;
    std::vector<TSheetVisit> FVisits;
    std::vector<TPlacedSymbol> FPlaced;
    std::map<std::string, std::pair<std::string, std::int32_t>> FLegacyInstances; // KiCad 6 path -> ref, unit
    TSheetReader FReader;
    std::map<std::size_t, std::vector<TSheetEdit>> FSheetEdits;
};

} // namespace pcbhost::kicad
