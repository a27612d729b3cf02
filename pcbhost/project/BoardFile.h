// A KiCad board file (.kicad_pcb, KiCad 6 to 9) and the board model it fills. Keeps the parsed
// file so that saving rewrites only the tokens of what changed.
#pragma once

#include "pcbhost/kicad/SExpr.h"
#include "pcbhost/model/Board.h"

#include <map>
#include <string>
#include <vector>

namespace pcbhost::kicad {

class TBoardFile {
public:
    // Reads the file and fills `board` (which must be empty). Throws sexpr::ParseError naming the
    // file, line and column of anything it cannot read.
    TBoardFile(const std::string& path, TBoard& board);

    const std::string& Path() const { return FPath; }
    std::int64_t Version() const { return FVersion; }
    // What was odd in the file but read on past (file:line:column: what was seen).
    const std::vector<sexpr::ParseWarning>& Warnings() const { return FDoc.warnings(); }
    TBoard& Board() const { return *FBoard; }
    // Once the model is read, the file's bytes are only wanted again for saving: a large file's
    // pages go back to the system's file cache (sexpr::Document::releaseSource).
    void ReleaseSource() const { FDoc.releaseSource(); }
    // Whether the file is still the one read (see sexpr::Document::sourceUnchangedOnDisk), and
    // noting that a save replaced it.
    bool SourceUnchanged() const { return FDoc.sourceUnchangedOnDisk(); }
    void NoteReplaced() const { FDoc.noteSourceReplaced(); }

    // Whether the model differs from the file.
    bool Changed() const;
    // Pads of footprints whose net differs from the file's.
    struct TPadChange {
        std::string Reference, Pad, OldNet, NewNet;
    };
    std::vector<TPadChange> ChangedPads() const;
    // The file's text with the model's changes applied (byte-identical when nothing changed).
    std::string Render() const;

    // Footprint fields of swap switches.
    static constexpr const char* cPinSwapField = "PinSwapEnabled";
    static constexpr const char* cPartSwapField = "PartSwapEnabled";

private:
    struct TPrimitiveSource {
        TPrimitive* Primitive;
        sexpr::Node Node;
        std::string OriginalNet; // name of the net when read ("" = none)
    };
    struct TComponentSource {
        TPcbComponent* Component;
        sexpr::Node Node;
        bool PinSwap, PartSwap;
    };
    void Read();
    void ReadLayers(sexpr::Node layers);
    void ReadFootprint(sexpr::Node footprint);
    void ReadPad(sexpr::Node pad, TPcbComponent* component, double fx, double fy, double angle);
    void ReadTrack(sexpr::Node segment);
    void ReadArc(sexpr::Node arc);
    void ReadVia(sexpr::Node via);
    void ReadZone(sexpr::Node zone);
    TPcbNet* NetOf(sexpr::Node item) const;
    // Puts a read object on the board and its net, remembering where it came from.
    void PlaceOnNet(TPrimitive* primitive, sexpr::Node node, TPcbNet* net);
    TV6_Layer CopperLayer(sexpr::Node atom) const;
    TLayerSet CopperLayers(sexpr::Node layersList) const;

    std::string FPath;
    TBoard* FBoard;
    sexpr::Document FDoc;
    std::int64_t FVersion = 0;
    std::map<std::string, TV6_Layer, std::less<>> FLayerByName;
    std::vector<TV6_Layer> FCopper;
    std::map<std::int64_t, TPcbNet*> FNetByOrdinal;
    std::map<std::string, std::int64_t, std::less<>> FOrdinalByName;
    std::int64_t FMaxOrdinal = 0;
    sexpr::Node FLastNetNode;
    std::vector<TPrimitiveSource> FPrimitives;
    std::vector<TComponentSource> FComponents;
};

} // namespace pcbhost::kicad
