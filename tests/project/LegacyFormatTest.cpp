// A KiCad 6 project written by hand in the layout KiCad 6 uses: bare tstamps, fp_text
// references, root symbol_instances, "Sheet name"/"Sheet file" keys, plain footprint properties.
#include "pcbhost/kicad/FileIO.h"
#include "pcbhost/project/KicadProject.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace pcbhost;
using namespace pcbhost::kicad;

namespace {

const char* const cBoard = R"((kicad_pcb (version 20211014) (generator pcbnew)

  (general
    (thickness 1.6)
  )

  (layers
    (0 "F.Cu" signal)
    (1 "In1.Cu" signal)
    (2 "In2.Cu" signal)
    (31 "B.Cu" signal)
    (44 "Edge.Cuts" user)
  )

  (net 0 "")
  (net 1 "/A")
  (net 2 "/B")

  (footprint "Lib:Dual" (layer "F.Cu")
    (tedit 5B301BBD) (tstamp 11111111-0000-0000-0000-000000000001)
    (at 10 10 90)
    (property "PinSwapEnabled" "yes")
    (property "Sheetfile" "child.kicad_sch")
    (path "/22222222-0000-0000-0000-000000000001/33333333-0000-0000-0000-000000000001")
    (fp_text reference "U7" (at 0 -2) (layer "F.SilkS")
      (effects (font (size 1 1) (thickness 0.15)))
      (tstamp 11111111-0000-0000-0000-000000000002)
    )
    (pad "1" smd rect (at -1 0 90) (size 1 1) (layers "F.Cu" "F.Paste" "F.Mask")
      (net 1 "/A") (tstamp 11111111-0000-0000-0000-000000000003))
    (pad "2" thru_hole circle (at 1 0 90) (size 1.5 1.5) (drill 0.8) (layers *.Cu *.Mask)
      (net 2 "/B") (tstamp 11111111-0000-0000-0000-000000000004))
  )

  (segment (start 10 9) (end 20 9) (width 0.25) (layer "F.Cu") (net 1) (tstamp 11111111-0000-0000-0000-000000000005))
  (via blind (at 20 9) (size 0.6) (drill 0.3) (layers "F.Cu" "In1.Cu") (net 1) (tstamp 11111111-0000-0000-0000-000000000006))

)
)";

const char* const cRoot = R"((kicad_sch (version 20211123) (generator eeschema)

  (uuid 44444444-0000-0000-0000-000000000001)

  (paper "A4")

  (lib_symbols
  )

  (sheet (at 50 50) (size 20 20)
    (uuid 22222222-0000-0000-0000-000000000001)
    (property "Sheet name" "Child" (id 0) (at 50 49 0)
      (effects (font (size 1.27 1.27)))
    )
    (property "Sheet file" "child.kicad_sch" (id 1) (at 50 71 0)
      (effects (font (size 1.27 1.27)))
    )
  )

  (sheet_instances
    (path "/" (page "1"))
    (path "/22222222-0000-0000-0000-000000000001" (page "2"))
  )

  (symbol_instances
    (path "/22222222-0000-0000-0000-000000000001/33333333-0000-0000-0000-000000000001"
      (reference "U7") (unit 1) (value "Dual") (footprint "Lib:Dual")
    )
    (path "/22222222-0000-0000-0000-000000000001/33333333-0000-0000-0000-000000000002"
      (reference "U7") (unit 2) (value "Dual") (footprint "Lib:Dual")
    )
  )
)
)";

const char* const cChild = R"((kicad_sch (version 20211123) (generator eeschema)

  (uuid 55555555-0000-0000-0000-000000000001)

  (paper "A4")

  (lib_symbols
    (symbol "Lib:Dual" (in_bom yes) (on_board yes)
      (property "Reference" "U" (id 0) (at 0 0 0)
        (effects (font (size 1.27 1.27)))
      )
      (symbol "Dual_1_1"
        (pin input line (at -5.08 0 0) (length 2.54)
          (name "X" (effects (font (size 1.27 1.27))))
          (number "1" (effects (font (size 1.27 1.27))))
        )
      )
      (symbol "Dual_2_1"
        (pin input line (at -5.08 0 0) (length 2.54)
          (name "Y" (effects (font (size 1.27 1.27))))
          (number "2" (effects (font (size 1.27 1.27))))
        )
      )
    )
  )

  (label "A" (at 94.92 100 0)
    (effects (font (size 1.27 1.27)) (justify left bottom))
    (uuid 66666666-0000-0000-0000-000000000001)
  )

  (symbol (lib_id "Lib:Dual") (at 100 100 0) (unit 1)
    (in_bom yes) (on_board yes)
    (uuid 33333333-0000-0000-0000-000000000001)
    (property "Reference" "U7" (id 0) (at 100 95 0)
      (effects (font (size 1.27 1.27)))
    )
    (property "Value" "Dual" (id 1) (at 100 105 0)
      (effects (font (size 1.27 1.27)))
    )
    (property "Datasheet" "" (id 3) (at 100 100 0)
      (effects (font (size 1.27 1.27)) hide)
    )
    (pin "1" (uuid 77777777-0000-0000-0000-000000000001))
  )

  (symbol (lib_id "Lib:Dual") (at 150 100 0) (unit 2)
    (in_bom yes) (on_board yes)
    (uuid 33333333-0000-0000-0000-000000000002)
    (property "Reference" "U7" (id 0) (at 150 95 0)
      (effects (font (size 1.27 1.27)))
    )
    (property "Value" "Dual" (id 1) (at 150 105 0)
      (effects (font (size 1.27 1.27)))
    )
    (property "Datasheet" "" (id 3) (at 150 100 0)
      (effects (font (size 1.27 1.27)) hide)
    )
    (property "PinSwap" "Pin_1=S|Pin_2=S" (id 4) (at 150 100 0)
      (effects (font (size 1.27 1.27)) hide)
    )
    (pin "2" (uuid 77777777-0000-0000-0000-000000000002))
  )
)
)";

class LegacyProject : public ::testing::Test {
protected:
    void SetUp() override {
        FDir = fs::temp_directory_path() / ("permutor-legacy-" + std::to_string(::getpid()));
        fs::create_directories(FDir);
        Write("legacy.kicad_pro", "{\"meta\": {\"filename\": \"legacy.kicad_pro\", \"version\": 1}}\n");
        Write("legacy.kicad_pcb", cBoard);
        Write("legacy.kicad_sch", cRoot);
        Write("child.kicad_sch", cChild);
    }
    void TearDown() override { fs::remove_all(FDir); }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(FDir / name, std::ios::binary) << text;
    }
    std::string Read(const std::string& name) { return sexpr::readFile(FDir / name); }
    std::string Path(const std::string& name) { return (FDir / name).string(); }
    fs::path FDir;
};

TEST_F(LegacyProject, ReadsBoardAndHierarchy) {
    THost host;
    auto project = TKicadProject::Open(host, Path("legacy.kicad_pro"));
    TBoard& board = *project->Board();
    EXPECT_EQ(
        board.CopperLayerList(),
        (std::vector<TV6_Layer>{eV6_TopLayer, eV6_MidLayer1, TV6_Layer(eV6_MidLayer1 + 1), eV6_BottomLayer}));

    TPcbComponent* u7 = board.FindComponent("U7");
    ASSERT_NE(u7, nullptr);
    EXPECT_TRUE(u7->PinSwappingEnabled());
    EXPECT_FALSE(u7->PartSwappingEnabled());
    EXPECT_EQ(u7->SourceUniqueId(),
              "\\22222222-0000-0000-0000-000000000001\\33333333-0000-0000-0000-000000000001");
    // Footprint at 90 degrees: local (-1, 0) lands at (10, 11), local (1, 0) at (10, 9).
    TPad* pad1 = u7->FindPad("1");
    TPad* pad2 = u7->FindPad("2");
    ASSERT_TRUE(pad1 && pad2);
    EXPECT_EQ(pad1->X(), MM(10));
    EXPECT_EQ(pad1->Y(), MM(11));
    EXPECT_EQ(pad2->Y(), MM(9));
    EXPECT_EQ(pad1->LayerValue(), eV6_TopLayer);
    EXPECT_EQ(pad2->LayerValue(), eV6_MultiLayer);

    // The blind via spans the top and first inner layer only.
    for (TPrimitive* p : board.PrimitiveList())
        if (p->Kind() == eViaObject) {
            auto via = QueryInterface<IPCB_Via>(p->Interface());
            EXPECT_EQ(via->StartLayer(), eV6_TopLayer);
            EXPECT_EQ(via->StopLayer(), eV6_MidLayer1);
        }

    // Two units of one component placed from the child sheet, instance data from the root.
    TSchSymbol* symbol = project->FindSymbol("U7");
    ASSERT_NE(symbol, nullptr);
    EXPECT_EQ(symbol->UnitCount(), 2);
    ASSERT_EQ(symbol->PlacedUnits().size(), 2u);
    EXPECT_EQ(symbol->PlacedUnits()[0]->UniqueIdText(), u7->SourceUniqueId());
    ASSERT_EQ(symbol->Pins().size(), 2u);
    EXPECT_EQ(symbol->FindPin("1")->Unit(), 1);
    EXPECT_EQ(symbol->FindPin("2")->Unit(), 2);
    // The swap field of the second unit speaks for the component.
    EXPECT_EQ(symbol->FindPin("1")->SwapId(eSwapId_Pin), "S");
    EXPECT_EQ(symbol->FindPin("2")->SwapId(eSwapId_Pin), "S");
    // The local label sits on pin 1's end and names the pin's net: a local label of the sheet
    // "Child" is "/Child/A", whatever the (hand-made) board calls the pad's net.
    bool labelAtPin = false;
    project->Project()->Compile();
    auto compiled = project->Project()->CompiledDocument();
    for (std::int32_t i = 0; i < compiled->ComponentCount(); ++i) {
        auto c = compiled->Component(i);
        for (std::int32_t p = 0; p < c->PinCount(); ++p) {
            auto pin = c->Pin(p);
            if (pin->Designator() != "1")
                continue;
            auto net = pin->OwningNet();
            ASSERT_TRUE(net);
            EXPECT_EQ(net->Name(), "/Child/A");
            for (std::int32_t m = 0; m < net->MemberCount(2); ++m)
                labelAtPin |= net->Member(2, m)->LocationKey() == pin->LocationKey();
        }
    }
    EXPECT_TRUE(labelAtPin);
    // Unit 1 lacks the field unit 2 has: a save would give it the same field.
    EXPECT_TRUE(project->Changed());
    const auto files = project->Schematics()->Render();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_NE(files.begin()->second.find("(property \"PinSwap\" \"Pin_1=S|Pin_2=S\" (id 4)"),
              std::string::npos);
}

TEST_F(LegacyProject, WritesInTheFilesOwnStyle) {
    {
        THost host;
        auto project = TKicadProject::Open(host, Path("legacy.kicad_pro"));
        TBoard& board = *project->Board();
        board.FindComponent("U7")->SetPartSwappingEnabled(true);
        board.FindComponent("U7")->FindPad("2")->AssignNet(board.FindNet("/A"));
        pcbhost::kicad::SwapFields_Apply(*project->FindSymbol("U7"), "Pin_1=T", "", "");
        project->Save();
    }
    const std::string pcb = Read("legacy.kicad_pcb");
    EXPECT_NE(pcb.find("(property \"PartSwapEnabled\" \"yes\")"), std::string::npos); // the plain v6 form
    EXPECT_NE(pcb.find("(net 1 \"/A\") (tstamp 11111111-0000-0000-0000-000000000004)"), std::string::npos);
    const std::string child = Read("child.kicad_sch");
    // Unit 1 gains the field with the next free id, unit 2's field changes in place.
    EXPECT_NE(child.find("(property \"PinSwap\" \"Pin_1=T\" (id 4)"), std::string::npos);
    EXPECT_EQ(child.find("Pin_1=S"), std::string::npos);
    EXPECT_EQ(Read("legacy.kicad_sch"), cRoot); // nothing to change in the root

    THost host;
    auto reread = TKicadProject::Open(host, Path("legacy.kicad_pro"));
    EXPECT_EQ(reread->FindSymbol("U7")->FindPin("1")->SwapId(eSwapId_Pin), "T");
    EXPECT_EQ(reread->FindSymbol("U7")->FindPin("2")->SwapId(eSwapId_Pin), "");
    EXPECT_TRUE(reread->Board()->FindComponent("U7")->PartSwappingEnabled());
    EXPECT_FALSE(reread->Changed());
}

} // namespace

TEST_F(LegacyProject, SheetFieldsNamedInTheUsersLanguageAreReadByTheirIds) {
    // A French KiCad 6 writes the sheet's fields in French; KiCad reads them by (id 0) and (id 1).
    std::string root = Read("legacy.kicad_sch");
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"\"Sheet name\"", "\"Nom feuille\""},
                                   {"\"Sheet file\"", "\"Fichier de feuille\""}}) {
        const auto at = root.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        root.replace(at, from.size(), to);
    }
    Write("legacy.kicad_sch", root);
    THost host;
    auto project = TKicadProject::Open(host, Path("legacy.kicad_pro"));
    // U7 lives on the child sheet: found only when the file field was understood.
    TSchSymbol* symbol = project->FindSymbol("U7");
    ASSERT_NE(symbol, nullptr);
    ASSERT_EQ(symbol->PlacedUnits().size(), 2u);
    EXPECT_EQ(symbol->PlacedUnits()[0]->UniqueIdText(),
              project->Board()->FindComponent("U7")->SourceUniqueId());

    // Without the id nothing says which field is the file: the error names the sheet's place.
    const auto id = root.find("(id 1)");
    ASSERT_NE(id, std::string::npos);
    root.erase(id, 6);
    Write("legacy.kicad_sch", root);
    THost again;
    try {
        TKicadProject::Open(again, Path("legacy.kicad_pro"));
        FAIL() << "expected a located error";
    } catch (const std::exception& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find("legacy.kicad_sch:"), std::string::npos) << what;
        EXPECT_NE(what.find("(id 1)"), std::string::npos) << what;
    }
}

// A French KiCad 6 project, optimised: the labels on the swapped pins follow, and KiCad 6's own
// file style is kept for what is written.
TEST_F(LegacyProject, LocalizedProjectBackAnnotatesTheLabelsOfSwappedPins) {
    std::string root = Read("legacy.kicad_sch");
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"\"Sheet name\"", "\"Nom feuille\""},
                                   {"\"Sheet file\"", "\"Fichier de feuille\""}})
        root.replace(root.find(from), from.size(), to);
    Write("legacy.kicad_sch", root);
    // Both pins get their net from a label on the child sheet, and the board names them as KiCad does.
    std::string child = Read("child.kicad_sch");
    const std::string labelB =
        "  (label \"B\" (at 144.92 100 0)\n    (effects (font (size 1.27 1.27)) (justify left "
        "bottom))\n    (uuid 66666666-0000-0000-0000-000000000002)\n  )\n\n";
    child.insert(child.find("  (symbol (lib_id"), labelB);
    Write("child.kicad_sch", child);
    std::string pcb = Read("legacy.kicad_pcb");
    for (const auto& [from, to] :
         {std::pair<std::string, std::string>{"\"/A\"", "\"/Child/A\""}, {"\"/B\"", "\"/Child/B\""}})
        for (auto at = pcb.find(from); at != std::string::npos; at = pcb.find(from, at + to.size()))
            pcb.replace(at, from.size(), to);
    Write("legacy.kicad_pcb", pcb);

    {
        THost host;
        auto project = TKicadProject::Open(host, Path("legacy.kicad_pro"));
        EXPECT_EQ(project->Connectivity()->PinNet("U7", "2"), "/Child/B");
        TBoard& board = *project->Board();
        TPcbComponent* u7 = board.FindComponent("U7");
        u7->FindPad("1")->AssignNet(board.FindNet("/Child/B"));
        u7->FindPad("2")->AssignNet(board.FindNet("/Child/A"));
        const TBackAnnotation& plan = project->BackAnnotate();
        EXPECT_EQ(plan.LabelsRenamed, 2);
        EXPECT_TRUE(plan.NeedsEdit.empty());
        // Planning lets go of the schematic's connectivity before its checks; asked for again, it
        // is worked out anew as the sheets read, and planning once more gives the same plan.
        EXPECT_EQ(project->Connectivity()->PinNet("U7", "2"), "/Child/B");
        EXPECT_EQ(project->BackAnnotate().LabelsRenamed, 2);
        project->Save();
    }
    const std::string saved = Read("child.kicad_sch");
    EXPECT_NE(saved.find("(label \"B\" (at 94.92 100 0)"), std::string::npos);
    EXPECT_NE(saved.find("(label \"A\" (at 144.92 100 0)"), std::string::npos);
    EXPECT_EQ(Read("legacy.kicad_sch"), root);
    THost host;
    auto reread = TKicadProject::Open(host, Path("legacy.kicad_pro"));
    EXPECT_EQ(reread->Connectivity()->PinNet("U7", "1"), "/Child/B");
    EXPECT_EQ(reread->Connectivity()->PinNet("U7", "2"), "/Child/A");
    EXPECT_FALSE(reread->BoardFile()->Changed());
}

// A sheet used twice has one set of labels for both uses: renaming them for the swapped pins of
// one use would move the pins of the other, so the check of the edited schematic refuses, and
// the pins are reported instead.
TEST_F(LegacyProject, LabelsOfASheetUsedTwiceStayWhenOnlyOneUseSwaps) {
    std::string root = Read("legacy.kicad_sch");
    const std::string second =
        "  (sheet (at 90 50) (size 20 20)\n    (uuid 22222222-0000-0000-0000-000000000002)\n"
        "    (property \"Sheet name\" \"Other\" (id 0) (at 90 49 0)\n      (effects (font (size 1.27 "
        "1.27)))\n    )\n"
        "    (property \"Sheet file\" \"child.kicad_sch\" (id 1) (at 90 71 0)\n      (effects (font (size "
        "1.27 "
        "1.27)))\n    )\n  )\n\n";
    root.insert(root.find("  (sheet_instances"), second);
    const std::string instances =
        "    (path \"/22222222-0000-0000-0000-000000000002/33333333-0000-0000-0000-000000000001\"\n"
        "      (reference \"U8\") (unit 1) (value \"Dual\") (footprint \"Lib:Dual\")\n    )\n"
        "    (path \"/22222222-0000-0000-0000-000000000002/33333333-0000-0000-0000-000000000002\"\n"
        "      (reference \"U8\") (unit 2) (value \"Dual\") (footprint \"Lib:Dual\")\n    )\n";
    root.insert(root.find("  )\n)", root.find("(symbol_instances")), instances);
    Write("legacy.kicad_sch", root);
    std::string child = Read("child.kicad_sch");
    child.insert(
        child.find("  (symbol (lib_id"),
        "  (label \"B\" (at 144.92 100 0)\n    (effects (font (size 1.27 1.27)) (justify left bottom))\n"
        "    (uuid 66666666-0000-0000-0000-000000000002)\n  )\n\n");
    Write("child.kicad_sch", child);

    THost host;
    auto project = TKicadProject::Open(host, Path("legacy.kicad_pro"));
    ASSERT_EQ(project->Connectivity()->PinNet("U8", "1"), "/Other/A");
    ASSERT_EQ(project->Connectivity()->PinNet("U7", "2"), "/Child/B");
    // Only U7, the first use, swaps (the hand-made board has U7 alone, on nets of its own).
    TBoard& board = *project->Board();
    TPcbComponent* u7 = board.FindComponent("U7");
    TPcbNet* a = u7->FindPad("1")->OwnerNet();
    u7->FindPad("1")->AssignNet(u7->FindPad("2")->OwnerNet());
    u7->FindPad("2")->AssignNet(a);
    std::vector<TPinChange> changes;
    for (const auto& pad : project->BoardFile()->ChangedPads())
        changes.push_back({pad.Reference, pad.Pad, pad.OldNet,
                           pad.NewNet == "/A"   ? "/Child/A"
                           : pad.NewNet == "/B" ? "/Child/B"
                                                : pad.NewNet});
    ASSERT_EQ(changes.size(), 2u);
    const TBackAnnotation plan = BackAnnotation_Plan(*project->Schematics(), changes, false);
    EXPECT_EQ(plan.LabelsRenamed, 0);
    EXPECT_TRUE(plan.SheetEdits.empty());
    ASSERT_EQ(plan.NeedsEdit.size(), 2u);
    for (const auto& pin : plan.NeedsEdit) {
        EXPECT_EQ(pin.Reference, "U7");
        EXPECT_NE(pin.Reason.find("would not hold: U8-"), std::string::npos) << pin.Reason;
    }
}
