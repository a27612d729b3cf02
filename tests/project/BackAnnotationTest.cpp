// The schematic follows pins that changed net on the board: labels that alone give a pin its net
// are renamed, wires to other pins are cut and a label placed when the project allows it, and
// what cannot be done is reported pin by pin. Checked by reading the saved files back and asking
// the schematic's own connectivity.
#include "pcbhost/kicad/FileIO.h"
#include "pcbhost/project/KicadProject.h"
#include "pcbhost/project/SchematicConnectivity.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace pcbhost;
using namespace pcbhost::kicad;

namespace {

// U1's four pins face left. Pin 1 has a label on its end, pin 2 a label at the end of a wire stub,
// pins 3 and 4 are wired to R1 and R2 with labels "C" and "D" on the way.
const char* const cSheet = R"((kicad_sch
	(version 20231120)
	(generator "eeschema")
	(generator_version "8.0")
	(uuid "aaaaaaaa-0000-0000-0000-000000000001")
	(paper "A4")
	(lib_symbols
		(symbol "T:Quad"
			(exclude_from_sim no) (in_bom yes) (on_board yes)
			(property "Reference" "U" (at 0 0 0) (effects (font (size 1.27 1.27))))
			(symbol "Quad_1_1"
				(pin bidirectional line (at -7.62 3.81 0) (length 2.54) (name "IO1" (effects (font (size 1.27 1.27)))) (number "1" (effects (font (size 1.27 1.27)))))
				(pin bidirectional line (at -7.62 1.27 0) (length 2.54) (name "IO2" (effects (font (size 1.27 1.27)))) (number "2" (effects (font (size 1.27 1.27)))))
				(pin bidirectional line (at -7.62 -1.27 0) (length 2.54) (name "IO3" (effects (font (size 1.27 1.27)))) (number "3" (effects (font (size 1.27 1.27)))))
				(pin bidirectional line (at -7.62 -3.81 0) (length 2.54) (name "IO4" (effects (font (size 1.27 1.27)))) (number "4" (effects (font (size 1.27 1.27)))))
			)
		)
		(symbol "T:R"
			(exclude_from_sim no) (in_bom yes) (on_board yes)
			(property "Reference" "R" (at 0 0 0) (effects (font (size 1.27 1.27))))
			(symbol "R_1_1"
				(pin passive line (at -3.81 0 0) (length 1.27) (name "~" (effects (font (size 1.27 1.27)))) (number "1" (effects (font (size 1.27 1.27)))))
				(pin passive line (at 3.81 0 180) (length 1.27) (name "~" (effects (font (size 1.27 1.27)))) (number "2" (effects (font (size 1.27 1.27)))))
			)
		)
	)
	(label "A" (at 92.38 96.19 180) (fields_autoplaced yes) (effects (font (size 1.27 1.27)) (justify right bottom)) (uuid "cccccccc-0000-0000-0000-000000000001"))
	(wire (pts (xy 92.38 98.73) (xy 87.3 98.73)) (stroke (width 0) (type default)) (uuid "cccccccc-0000-0000-0000-000000000002"))
	(label "B" (at 87.3 98.73 180) (fields_autoplaced yes) (effects (font (size 1.27 1.27)) (justify right bottom)) (uuid "cccccccc-0000-0000-0000-000000000003"))
	(wire (pts (xy 92.38 101.27) (xy 86.36 101.27)) (stroke (width 0) (type default)) (uuid "cccccccc-0000-0000-0000-000000000004"))
	(wire (pts (xy 86.36 101.27) (xy 80.01 101.27)) (stroke (width 0) (type default)) (uuid "cccccccc-0000-0000-0000-000000000005"))
	(label "C" (at 86.36 101.27 0) (fields_autoplaced yes) (effects (font (size 1.27 1.27)) (justify left bottom)) (uuid "cccccccc-0000-0000-0000-000000000006"))
	(wire (pts (xy 92.38 103.81) (xy 86.36 103.81)) (stroke (width 0) (type default)) (uuid "cccccccc-0000-0000-0000-000000000007"))
	(wire (pts (xy 86.36 103.81) (xy 80.01 103.81)) (stroke (width 0) (type default)) (uuid "cccccccc-0000-0000-0000-000000000008"))
	(label "D" (at 86.36 103.81 0) (fields_autoplaced yes) (effects (font (size 1.27 1.27)) (justify left bottom)) (uuid "cccccccc-0000-0000-0000-000000000009"))
	(symbol (lib_id "T:Quad") (at 100 100 0) (unit 1)
		(exclude_from_sim no) (in_bom yes) (on_board yes) (dnp no)
		(uuid "bbbbbbbb-0000-0000-0000-000000000001")
		(property "Reference" "U1" (at 100 90 0) (effects (font (size 1.27 1.27))))
		(property "Value" "Quad" (at 100 110 0) (effects (font (size 1.27 1.27))))
		(property "Footprint" "T:Quad" (at 100 100 0) (effects (font (size 1.27 1.27)) (hide yes)))
		(property "PinSwap" "Pin_1=A|Pin_2=A|Pin_3=A|Pin_4=A" (at 100 100 0) (effects (font (size 1.27 1.27)) (hide yes)))
		(pin "1" (uuid "dddddddd-0000-0000-0000-000000000001"))
		(pin "2" (uuid "dddddddd-0000-0000-0000-000000000002"))
		(pin "3" (uuid "dddddddd-0000-0000-0000-000000000003"))
		(pin "4" (uuid "dddddddd-0000-0000-0000-000000000004"))
		(instances (project "ba" (path "/aaaaaaaa-0000-0000-0000-000000000001" (reference "U1") (unit 1))))
	)
	(symbol (lib_id "T:R") (at 76.2 101.27 0) (unit 1)
		(exclude_from_sim no) (in_bom yes) (on_board yes) (dnp no)
		(uuid "bbbbbbbb-0000-0000-0000-000000000002")
		(property "Reference" "R1" (at 76.2 99 0) (effects (font (size 1.27 1.27))))
		(property "Value" "1k" (at 76.2 103 0) (effects (font (size 1.27 1.27))))
		(property "Footprint" "T:R" (at 76.2 101.27 0) (effects (font (size 1.27 1.27)) (hide yes)))
		(pin "1" (uuid "dddddddd-0000-0000-0000-000000000005"))
		(pin "2" (uuid "dddddddd-0000-0000-0000-000000000006"))
		(instances (project "ba" (path "/aaaaaaaa-0000-0000-0000-000000000001" (reference "R1") (unit 1))))
	)
	(symbol (lib_id "T:R") (at 76.2 103.81 0) (unit 1)
		(exclude_from_sim no) (in_bom yes) (on_board yes) (dnp no)
		(uuid "bbbbbbbb-0000-0000-0000-000000000003")
		(property "Reference" "R2" (at 76.2 106 0) (effects (font (size 1.27 1.27))))
		(property "Value" "1k" (at 76.2 108 0) (effects (font (size 1.27 1.27))))
		(property "Footprint" "T:R" (at 76.2 103.81 0) (effects (font (size 1.27 1.27)) (hide yes)))
		(pin "1" (uuid "dddddddd-0000-0000-0000-000000000007"))
		(pin "2" (uuid "dddddddd-0000-0000-0000-000000000008"))
		(instances (project "ba" (path "/aaaaaaaa-0000-0000-0000-000000000001" (reference "R2") (unit 1))))
	)
	(sheet_instances (path "/" (page "1")))
)
)";

std::string Footprint(const std::string& reference, const std::string& symbolUuid, double x,
                      const std::vector<std::pair<std::string, std::string>>& pads) {
    std::string text = "  (footprint \"T:" + reference +
                       "\" (layer \"F.Cu\") (uuid \"eeeeeeee-0000-0000-0000-" +
                       symbolUuid.substr(symbolUuid.size() - 12) + "\") (at " + std::to_string(x) +
                       " 50)\n    (property \"Reference\" \"" + reference +
                       "\" (at 0 -3 0) (layer \"F.SilkS\") (effects (font (size 1 1) (thickness 0.15))))\n"
                       "    (property \"PinSwapEnabled\" \"yes\")\n    (path \"/" +
                       symbolUuid + "\")\n";
    double y = 0;
    for (const auto& [pad, net] : pads) {
        text += "    (pad \"" + pad + "\" smd rect (at 0 " + std::to_string(y) +
                ") (size 1 1) (layers \"F.Cu\") (net " + net + "))\n";
        y += 2.54;
    }
    return text + "  )\n";
}

std::string Board() {
    return "(kicad_pcb (version 20240108) (generator \"pcbnew\") (generator_version \"8.0\")\n"
           "  (general (thickness 1.6) (legacy_teardrops no))\n  (paper \"A4\")\n"
           "  (layers (0 \"F.Cu\" signal) (31 \"B.Cu\" signal) (44 \"Edge.Cuts\" user))\n"
           "  (net 0 \"\") (net 1 \"/A\") (net 2 \"/B\") (net 3 \"/C\") (net 4 \"/D\")\n"
           "  (net 5 \"unconnected-(R1-Pad1)\") (net 6 \"unconnected-(R2-Pad1)\")\n" +
           Footprint("U1", "bbbbbbbb-0000-0000-0000-000000000001", 60,
                     {{"1", "1 \"/A\""}, {"2", "2 \"/B\""}, {"3", "3 \"/C\""}, {"4", "4 \"/D\""}}) +
           Footprint("R1", "bbbbbbbb-0000-0000-0000-000000000002", 50,
                     {{"1", "5 \"unconnected-(R1-Pad1)\""}, {"2", "3 \"/C\""}}) +
           Footprint("R2", "bbbbbbbb-0000-0000-0000-000000000003", 40,
                     {{"1", "6 \"unconnected-(R2-Pad1)\""}, {"2", "4 \"/D\""}}) +
           ")\n";
}

// Exchanges the nets of two of U1's pads on a project's board.
void SwapPadsOf(TKicadProject& project, const std::string& a, const std::string& b) {
    TPcbComponent* u1 = project.Board()->FindComponent("U1");
    TPad* pa = u1->FindPad(a);
    TPad* pb = u1->FindPad(b);
    TPcbNet* na = pa->OwnerNet();
    pa->AssignNet(pb->OwnerNet());
    pb->AssignNet(na);
}

class BackAnnotationProject : public ::testing::Test {
protected:
    void SetUp() override {
        FDir = fs::temp_directory_path() / ("permutor-backannotation-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(FDir);
        Write("ba.kicad_pro", "{\"meta\": {\"filename\": \"ba.kicad_pro\", \"version\": 1}}\n");
        Write("ba.kicad_sch", cSheet);
        Write("ba.kicad_pcb", Board());
        FProject = TKicadProject::Open(FHost, Path("ba.kicad_pro"));
    }
    void TearDown() override {
        FProject.reset();
        fs::remove_all(FDir);
    }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(FDir / name, std::ios::binary) << text;
    }
    std::string Read(const std::string& name) { return sexpr::readFile(FDir / name); }
    std::string Path(const std::string& name) { return (FDir / name).string(); }

    // Exchanges the nets of two of U1's pads on the board.
    void SwapPads(const std::string& a, const std::string& b) { SwapPadsOf(*FProject, a, b); }

    // The nets the saved schematic gives each pin, read back from disk.
    std::map<std::string, std::string> SavedPinNets() {
        THost host;
        auto project = TKicadProject::Open(host, Path("ba.kicad_pro"));
        TSchematicConnectivity conn(*project->Schematics());
        std::map<std::string, std::string> nets;
        for (const char* pin : {"U1-1", "U1-2", "U1-3", "U1-4", "R1-1", "R1-2", "R2-1", "R2-2"}) {
            const std::string name = pin;
            nets[name] = conn.PinNet(name.substr(0, 2), name.substr(3));
        }
        return nets;
    }

    fs::path FDir;
    THost FHost;
    std::unique_ptr<TKicadProject> FProject;
};

TEST_F(BackAnnotationProject, LabelsThatAloneGiveAPinItsNetAreRenamed) {
    const auto before = SavedPinNets();
    EXPECT_EQ(before.at("U1-1"), "/A");
    EXPECT_EQ(before.at("U1-2"), "/B");
    SwapPads("1", "2");
    const TBackAnnotation& plan = FProject->BackAnnotate();
    EXPECT_EQ(plan.LabelsRenamed, 2);
    EXPECT_EQ(plan.WiresCut + plan.LabelsPlaced, 0);
    EXPECT_TRUE(plan.NeedsEdit.empty());
    ASSERT_EQ(plan.Edits.size(), 2u);
    EXPECT_NE(plan.Edits[0].find("U1-1: label \"A\" -> \"B\""), std::string::npos) << plan.Edits[0];
    FProject->Save();

    // Labels keep their place and style; only their text changed.
    const std::string sheet = Read("ba.kicad_sch");
    EXPECT_NE(sheet.find("(label \"B\" (at 92.38 96.19 180) (fields_autoplaced yes)"), std::string::npos);
    EXPECT_NE(sheet.find("(label \"A\" (at 87.3 98.73 180)"), std::string::npos);
    EXPECT_EQ(sheet.size(), std::string(cSheet).size());
    EXPECT_EQ(Read("ba.kicad_sch.bak"), cSheet);

    auto after = SavedPinNets();
    EXPECT_EQ(after.at("U1-1"), "/B");
    EXPECT_EQ(after.at("U1-2"), "/A");
    after["U1-1"] = before.at("U1-1");
    after["U1-2"] = before.at("U1-2");
    EXPECT_EQ(after, before); // nobody else moved
}

TEST_F(BackAnnotationProject, PinsWiredToOtherPinsNeedTheProjectsPermission) {
    const auto before = SavedPinNets();
    SwapPads("3", "4");
    {
        const TBackAnnotation& plan = FProject->BackAnnotate();
        ASSERT_EQ(plan.NeedsEdit.size(), 2u);
        EXPECT_EQ(plan.NeedsEdit[0].Reference, "U1");
        EXPECT_EQ(plan.NeedsEdit[0].Net, "/D");
        EXPECT_NE(plan.NeedsEdit[0].Reason.find("does not allow net label changes"), std::string::npos);
        EXPECT_TRUE(plan.SheetEdits.empty());
        EXPECT_EQ(plan.LabelsRenamed + plan.WiresCut + plan.LabelsPlaced, 0);
    }

    FProject->SetSwapOptions({true, true});
    const TBackAnnotation& plan = FProject->BackAnnotate();
    EXPECT_TRUE(plan.NeedsEdit.empty());
    EXPECT_EQ(plan.WiresCut, 2);
    EXPECT_EQ(plan.LabelsPlaced, 2);
    EXPECT_EQ(plan.LabelsRenamed, 0);
    FProject->Save();

    const std::string sheet = Read("ba.kicad_sch");
    // The stubs from the pins are gone, the wires on to R1 and R2 stay.
    EXPECT_EQ(sheet.find("cccccccc-0000-0000-0000-000000000004"), std::string::npos);
    EXPECT_EQ(sheet.find("cccccccc-0000-0000-0000-000000000007"), std::string::npos);
    EXPECT_NE(sheet.find("cccccccc-0000-0000-0000-000000000005"), std::string::npos);
    // The new labels sit on the pin ends and read away from the body (the pins face left).
    EXPECT_NE(sheet.find("(label \"D\" (at 92.38 101.27 180) (fields_autoplaced yes) (effects (font (size "
                         "1.27 1.27)) (justify right bottom))"),
              std::string::npos)
        << sheet;
    EXPECT_NE(sheet.find("(label \"C\" (at 92.38 103.81 180)"), std::string::npos);

    auto after = SavedPinNets();
    EXPECT_EQ(after.at("U1-3"), "/D");
    EXPECT_EQ(after.at("U1-4"), "/C");
    after["U1-3"] = before.at("U1-3");
    after["U1-4"] = before.at("U1-4");
    EXPECT_EQ(after, before);
}

TEST_F(BackAnnotationProject, NetsNamedAfterAPinGetANameOfTheirOwnWhenAllowed) {
    // U1-1 moves onto the net KiCad named after R1's pin 1: no label can say that name.
    TBoard& board = *FProject->Board();
    board.FindComponent("U1")->FindPad("1")->AssignNet(board.FindNet("unconnected-(R1-Pad1)"));
    {
        const TBackAnnotation& plan = FProject->BackAnnotate();
        ASSERT_EQ(plan.NeedsEdit.size(), 1u);
        EXPECT_EQ(plan.NeedsEdit[0].Pin, "1");
        EXPECT_NE(
            plan.NeedsEdit[0].Reason.find("has no name a label could say, and the project does not allow"),
            std::string::npos)
            << plan.NeedsEdit[0].Reason;
        EXPECT_TRUE(plan.SheetEdits.empty());
        EXPECT_TRUE(plan.NetRenames.empty());
    }
    // Allowed, the net gets a label on the pin that stays (R1-1) and the moving pin's label says
    // the same; the board's net takes the new name.
    FProject->SetSwapOptions({true, true});
    const TBackAnnotation& plan = FProject->BackAnnotate();
    EXPECT_TRUE(plan.NeedsEdit.empty()) << plan.NeedsEdit[0].Reason;
    EXPECT_EQ(plan.LabelsPlaced, 1);
    EXPECT_EQ(plan.LabelsRenamed, 1);
    ASSERT_EQ(plan.NetRenames.size(), 1u);
    EXPECT_EQ(plan.NetRenames.at("unconnected-(R1-Pad1)"), "/R1-Pad1");
    EXPECT_EQ(board.FindComponent("R1")->FindPad("1")->OwnerNet()->Name(), "/R1-Pad1");
    FProject->Save();

    const auto after = SavedPinNets();
    EXPECT_EQ(after.at("U1-1"), "/R1-Pad1");
    EXPECT_EQ(after.at("R1-1"), "/R1-Pad1");
    THost host;
    auto reread = TKicadProject::Open(host, Path("ba.kicad_pro"));
    EXPECT_EQ(reread->Board()->FindComponent("U1")->FindPad("1")->OwnerNet()->Name(), "/R1-Pad1");
    // R1's pin faces right into its body: the label reads to the left.
    EXPECT_NE(Read("ba.kicad_sch").find("(label \"R1-Pad1\" (at 72.39 101.27 180)"), std::string::npos);
}

// A sub-sheet whose U1-1 reaches the parent's net "/PARENT" through the hierarchical label "X";
// U1-2 has a label "Y" of its own.
TEST(BackAnnotationHierarchy, ALabelTakesTheTextOfAHierarchicalLabelOfItsNewNet) {
    const fs::path dir =
        fs::temp_directory_path() / ("permutor-backannotation-hier-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    auto write = [&](const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
    };
    std::string root = cSheet;
    // The root keeps only the lib symbols and gets the sheet, with the label "PARENT" on its pin.
    root = root.substr(0, root.find("\t(label \"A\"")) +
           "\t(label \"PARENT\" (at 50 55 180) (fields_autoplaced yes) (effects (font (size 1.27 1.27)) "
           "(justify right bottom)) (uuid \"cccccccc-0000-0000-0000-0000000000a1\"))\n"
           "\t(sheet (at 50 50) (size 20 20) (fields_autoplaced yes) (stroke (width 0.1524) (type solid)) "
           "(fill (color 0 0 0 0.0000)) (uuid \"ffffffff-0000-0000-0000-000000000001\")\n"
           "\t\t(property \"Sheetname\" \"sub\" (at 50 49 0) (effects (font (size 1.27 1.27)) (justify left "
           "bottom)))\n"
           "\t\t(property \"Sheetfile\" \"sub.kicad_sch\" (at 50 71 0) (effects (font (size 1.27 1.27)) "
           "(justify left top)))\n"
           "\t\t(pin \"X\" input (at 50 55 180) (effects (font (size 1.27 1.27)) (justify left)) "
           "(uuid \"cccccccc-0000-0000-0000-0000000000a2\"))\n"
           "\t\t(instances (project \"ba\" (path \"/aaaaaaaa-0000-0000-0000-000000000001\" (page "
           "\"2\"))))\n\t)\n"
           "\t(sheet_instances (path \"/\" (page \"1\")))\n)\n";
    std::string sub = cSheet;
    const std::string symbolStart = "\t(symbol (lib_id \"T:Quad\")";
    const std::string symbolEnd = "\t(symbol (lib_id \"T:R\") (at 76.2 101.27 0)";
    std::string u1 = sub.substr(sub.find(symbolStart), sub.find(symbolEnd) - sub.find(symbolStart));
    u1.replace(u1.find("(path \"/aaaaaaaa-0000-0000-0000-000000000001\""),
               std::string("(path \"/aaaaaaaa-0000-0000-0000-000000000001\"").size(),
               "(path \"/aaaaaaaa-0000-0000-0000-000000000001/ffffffff-0000-0000-0000-000000000001\"");
    sub = sub.substr(0, sub.find("\t(label \"A\"")) +
          "\t(hierarchical_label \"X\" (shape input) (at 92.38 96.19 180) (effects (font (size 1.27 1.27)) "
          "(justify right)) (uuid \"cccccccc-0000-0000-0000-0000000000b1\"))\n"
          "\t(label \"Y\" (at 92.38 98.73 180) (fields_autoplaced yes) (effects (font (size 1.27 1.27)) "
          "(justify right bottom)) (uuid \"cccccccc-0000-0000-0000-0000000000b2\"))\n" +
          u1 + ")\n";
    sub.replace(sub.find("aaaaaaaa-0000-0000-0000-000000000001"), 36, "aaaaaaaa-0000-0000-0000-0000000000b0");
    write("ba.kicad_pro", "{\"meta\": {\"filename\": \"ba.kicad_pro\", \"version\": 1}}\n");
    write("ba.kicad_sch", root);
    write("sub.kicad_sch", sub);
    write(
        "ba.kicad_pcb",
        "(kicad_pcb (version 20240108) (generator \"pcbnew\") (generator_version \"8.0\")\n"
        "  (general (thickness 1.6) (legacy_teardrops no))\n  (paper \"A4\")\n"
        "  (layers (0 \"F.Cu\" signal) (31 \"B.Cu\" signal) (44 \"Edge.Cuts\" user))\n"
        "  (net 0 \"\") (net 1 \"/PARENT\") (net 2 \"/sub/Y\")\n"
        "  (footprint \"T:U1\" (layer \"F.Cu\") (uuid \"eeeeeeee-0000-0000-0000-000000000001\") (at 60 50)\n"
        "    (property \"Reference\" \"U1\" (at 0 -3 0) (layer \"F.SilkS\") (effects (font (size 1 1) "
        "(thickness 0.15))))\n"
        "    (property \"PinSwapEnabled\" \"yes\")\n"
        "    (path \"/ffffffff-0000-0000-0000-000000000001/bbbbbbbb-0000-0000-0000-000000000001\")\n"
        "    (pad \"1\" smd rect (at 0 0) (size 1 1) (layers \"F.Cu\") (net 1 \"/PARENT\"))\n"
        "    (pad \"2\" smd rect (at 0 2.54) (size 1 1) (layers \"F.Cu\") (net 2 \"/sub/Y\"))\n"
        "  )\n)\n");
    {
        THost host;
        auto project = TKicadProject::Open(host, (dir / "ba.kicad_pro").string());
        TSchematicConnectivity before(*project->Schematics());
        ASSERT_EQ(before.PinNet("U1", "1"), "/PARENT");
        ASSERT_EQ(before.PinNet("U1", "2"), "/sub/Y");
        TBoard& board = *project->Board();
        board.FindComponent("U1")->FindPad("2")->AssignNet(board.FindNet("/PARENT"));
        const TBackAnnotation& plan = project->BackAnnotate();
        EXPECT_TRUE(plan.NeedsEdit.empty()) << plan.NeedsEdit[0].Reason;
        ASSERT_EQ(plan.Edits.size(), 1u);
        EXPECT_NE(plan.Edits[0].find("U1-2: label \"Y\" -> \"X\""), std::string::npos) << plan.Edits[0];
        project->Save();
    }
    THost host;
    auto reread = TKicadProject::Open(host, (dir / "ba.kicad_pro").string());
    TSchematicConnectivity after(*reread->Schematics());
    EXPECT_EQ(after.PinNet("U1", "1"), "/PARENT");
    EXPECT_EQ(after.PinNet("U1", "2"), "/PARENT");
    fs::remove_all(dir);
}

} // namespace

// A sheet this large is mapped rather than read into memory. Changed on disk after it was read,
// it is not saved over (its bytes would no longer be the ones the plan refers to); replaced by
// our own save, it is saved again as usual.
TEST_F(BackAnnotationProject, ALargeSheetChangedOnDiskIsNotSavedOver) {
    FProject.reset();
    std::string big = cSheet;
    big.insert(big.rfind(')'), "\t# " + std::string(std::size_t(17) << 20, 'x') + "\n");
    Write("ba.kicad_sch", big);
    const std::string board = Read("ba.kicad_pcb");
    {
        THost host;
        auto project = TKicadProject::Open(host, Path("ba.kicad_pro"));
        SwapPadsOf(*project, "1", "2");
        EXPECT_EQ(project->BackAnnotate().LabelsRenamed, 2);
        std::ofstream(FDir / "ba.kicad_sch", std::ios::binary | std::ios::app) << "\n";
        try {
            project->Save();
            ADD_FAILURE() << "saved over a changed sheet";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), Path("ba.kicad_sch") +
                                                 ": changed on disk since it was read; nothing was "
                                                 "saved (open it again)");
        }
        EXPECT_EQ(Read("ba.kicad_sch"), big + "\n");
        EXPECT_EQ(Read("ba.kicad_pcb"), board);
    }
    THost host;
    auto project = TKicadProject::Open(host, Path("ba.kicad_pro"));
    SwapPadsOf(*project, "1", "2");
    EXPECT_EQ(project->BackAnnotate().LabelsRenamed, 2);
    project->Save();
    const std::string saved = Read("ba.kicad_sch");
    EXPECT_NE(saved.find("(label \"B\" (at 92.38 96.19 180)"), std::string::npos);
    EXPECT_EQ(saved.size(), big.size() + 1);
    project->Save(); // over the file the first save wrote, which is not a change by someone else
    EXPECT_EQ(Read("ba.kicad_sch"), saved);
}
