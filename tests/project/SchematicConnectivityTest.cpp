// The schematic's own connectivity on small sheets written here: which items join, how nets are
// named, and how names travel through sheets, power symbols and buses.
#include "pcbhost/project/SchematicConnectivity.h"
#include "pcbhost/project/KicadProject.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using namespace pcbhost;
using namespace pcbhost::kicad;

namespace {

const char* const cRoot = "11111111-1111-1111-1111-111111111111";

const char* const cLibrary = R"((lib_symbols
 (symbol "t:R" (in_bom yes) (on_board yes)
  (property "Reference" "R" (at 0 0 0) (effects (font (size 1.27 1.27))))
  (symbol "R_1_1"
   (pin passive line (at 0 3.81 270) (length 1.27) (name "~" (effects (font (size 1.27 1.27)))) (number "1" (effects (font (size 1.27 1.27)))))
   (pin passive line (at 0 -3.81 90) (length 1.27) (name "~" (effects (font (size 1.27 1.27)))) (number "2" (effects (font (size 1.27 1.27)))))))
 (symbol "t:IC" (in_bom yes) (on_board yes)
  (property "Reference" "U" (at 0 0 0) (effects (font (size 1.27 1.27))))
  (symbol "IC_1_1"
   (pin input line (at -5.08 0 0) (length 2.54) (name "IN" (effects (font (size 1.27 1.27)))) (number "1" (effects (font (size 1.27 1.27)))))
   (pin output line (at 5.08 0 180) (length 2.54) (name "A/B" (effects (font (size 1.27 1.27)))) (number "2" (effects (font (size 1.27 1.27)))))
   (pin power_in line (at 0 5.08 270) (length 2.54) hide (name "VDD" (effects (font (size 1.27 1.27)))) (number "3" (effects (font (size 1.27 1.27)))))))
 (symbol "t:DUAL" (in_bom yes) (on_board yes)
  (property "Reference" "U" (at 0 0 0) (effects (font (size 1.27 1.27))))
  (symbol "DUAL_1_1"
   (pin input line (at -5.08 0 0) (length 2.54) (name "X" (effects (font (size 1.27 1.27)))) (number "1" (effects (font (size 1.27 1.27)))))
   (pin input line (at 5.08 0 180) (length 2.54) (name "X" (effects (font (size 1.27 1.27)))) (number "3" (effects (font (size 1.27 1.27))))))
  (symbol "DUAL_2_1"
   (pin input line (at -5.08 0 0) (length 2.54) (name "X" (effects (font (size 1.27 1.27)))) (number "2" (effects (font (size 1.27 1.27)))))))
 (symbol "t:PWR" (power) (in_bom yes) (on_board yes)
  (property "Reference" "#PWR" (at 0 0 0) (effects (font (size 1.27 1.27))))
  (symbol "PWR_0_1"
   (pin power_in line (at 0 0 90) (length 0) hide (name "PWR" (effects (font (size 1.27 1.27)))) (number "1" (effects (font (size 1.27 1.27))))))))
)";

std::string Num(double v) {
    std::ostringstream s;
    s << v;
    return s.str();
}

// A sheet's body, item by item, as KiCad writes it.
struct TSheetText {
    std::string Body;
    int Uuid = 0;
    std::string NextUuid() {
        const std::string n = std::to_string(++Uuid);
        return "00000000-0000-0000-0000-" + std::string(12 - n.size(), '0') + n;
    }
    // A symbol placed at (x, y); `paths` are the instance paths below the root with their
    // references (for a root sheet: {{"", "R1"}}).
    TSheetText& Symbol(const std::string& lib, double x, double y,
                       std::vector<std::pair<std::string, std::string>> paths, const std::string& value = "",
                       int unit = 1, int angle = 0) {
        Body += "(symbol (lib_id \"" + lib + "\") (at " + Num(x) + " " + Num(y) + " " +
                std::to_string(angle) + ") (unit " + std::to_string(unit) + ") (uuid \"" + NextUuid() +
                "\")\n (property \"Reference\" \"" + paths.front().second +
                "\" (at 0 0 0))\n (property \"Value\" \"" + value +
                "\" (at 0 0 0))\n (instances (project \"t\"";
        for (const auto& [path, ref] : paths)
            Body += " (path \"/" + std::string(cRoot) + path + "\" (reference \"" + ref + "\") (unit " +
                    std::to_string(unit) + "))";
        Body += ")))\n";
        return *this;
    }
    // A resistor standing upright: pin 1 at (x, y - 3.81), pin 2 at (x, y + 3.81).
    TSheetText& R(const std::string& ref, double x, double y, const std::string& path = "") {
        return Symbol("t:R", x, y, {{path, ref}});
    }
    TSheetText& Wire(double x1, double y1, double x2, double y2) {
        Body += "(wire (pts (xy " + Num(x1) + " " + Num(y1) + ") (xy " + Num(x2) + " " + Num(y2) +
                ")) (uuid \"" + NextUuid() + "\"))\n";
        return *this;
    }
    TSheetText& Bus(double x1, double y1, double x2, double y2) {
        Body += "(bus (pts (xy " + Num(x1) + " " + Num(y1) + ") (xy " + Num(x2) + " " + Num(y2) +
                ")) (uuid \"" + NextUuid() + "\"))\n";
        return *this;
    }
    TSheetText& Entry(double x, double y, double dx, double dy) {
        Body += "(bus_entry (at " + Num(x) + " " + Num(y) + ") (size " + Num(dx) + " " + Num(dy) +
                ") (uuid \"" + NextUuid() + "\"))\n";
        return *this;
    }
    TSheetText& Point(const char* kind, double x, double y) {
        Body +=
            std::string("(") + kind + " (at " + Num(x) + " " + Num(y) + ") (uuid \"" + NextUuid() + "\"))\n";
        return *this;
    }
    TSheetText& Label(const char* kind, const std::string& text, double x, double y) {
        Body += std::string("(") + kind + " \"" + text + "\" (at " + Num(x) + " " + Num(y) + " 0) (uuid \"" +
                NextUuid() + "\"))\n";
        return *this;
    }
    // A sheet symbol for `file` named `name`, with pins at (x, y + 2.54 k).
    TSheetText& Sheet(const std::string& uuid, const std::string& name, const std::string& file, double x,
                      double y, const std::vector<std::string>& pins) {
        Body += "(sheet (at " + Num(x) + " " + Num(y) + ") (size 20 20) (uuid \"" + uuid +
                "\")\n (property \"Sheetname\" \"" + name + "\" (at 0 0 0))\n (property \"Sheetfile\" \"" +
                file + "\" (at 0 0 0))\n";
        for (std::size_t k = 0; k < pins.size(); ++k)
            Body += " (pin \"" + pins[k] + "\" input (at " + Num(x) + " " + Num(y + 2.54 * double(k + 1)) +
                    " 180) (uuid \"" + NextUuid() + "\"))\n";
        Body += ")\n";
        return *this;
    }
};

// A project folder with these sheets ("t.kicad_sch" is the root), opened.
class TProjectFolder {
public:
    explicit TProjectFolder(const std::vector<std::pair<std::string, TSheetText>>& sheets) {
        static int serial = 0;
        FDir = fs::temp_directory_path() /
               ("permutor-conn-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
        fs::create_directories(FDir);
        std::ofstream(FDir / "t.kicad_pro") << "{}\n";
        for (const auto& [file, sheet] : sheets)
            std::ofstream(FDir / file)
                << "(kicad_sch (version 20231120) (generator \"eeschema\") (uuid \""
                << (file == "t.kicad_sch" ? cRoot : "22222222-2222-2222-2222-222222222222")
                << "\") (paper \"A4\")\n"
                << cLibrary << sheet.Body << ")\n";
        FProject = TKicadProject::Open(FHost, (FDir / "t.kicad_pro").string());
        FConnectivity = std::make_unique<TSchematicConnectivity>(*FProject->Schematics());
    }
    // PERMUTOR_KEEP_SCHEMATICS keeps the folder, to hold the sheets against KiCad by hand.
    ~TProjectFolder() {
        if (!std::getenv("PERMUTOR_KEEP_SCHEMATICS"))
            fs::remove_all(FDir);
    }
    const TSchematicConnectivity& Nets() const { return *FConnectivity; }
    std::string Net(const std::string& ref, const std::string& pin) const {
        return FConnectivity->PinNetName(ref, pin);
    }

private:
    fs::path FDir;
    THost FHost;
    std::unique_ptr<TKicadProject> FProject;
    std::unique_ptr<TSchematicConnectivity> FConnectivity;
};

TProjectFolder Flat(const TSheetText& sheet) {
    return TProjectFolder({{"t.kicad_sch", sheet}});
}

} // namespace

TEST(SchematicConnectivity, WiresJoinAtTheirEndsAndAtJunctions) {
    TSheetText s;
    // A T without a junction: the branch's end on the other wire's middle does not join.
    s.Wire(10, 10, 30, 10).Wire(20, 10, 20, 20).R("R1", 20, 23.81).R("R2", 10, 6.19);
    // The same T with a junction joins.
    s.Wire(50, 10, 70, 10)
        .Wire(60, 10, 60, 20)
        .Point("junction", 60, 10)
        .R("R3", 60, 23.81)
        .R("R4", 50, 6.19);
    // A pin end on a wire's middle does not join it; a pin on a pin does.
    s.Wire(100, 10, 120, 10).R("R5", 110, 6.19).R("R6", 100, 6.19);
    s.R("R7", 140, 6.19).R("R8", 140, 13.81);
    // A chain of wires with a bend.
    s.Wire(10, 40, 20, 40).Wire(20, 40, 20, 50).R("R9", 10, 36.19).R("R10", 20, 53.81);
    auto p = Flat(s);
    EXPECT_EQ(p.Net("R1", "1"), "unconnected-(R1-Pad1)");
    EXPECT_EQ(p.Net("R2", "2"), "unconnected-(R2-Pad2)");
    EXPECT_EQ(p.Net("R3", "1"), "Net-(R3-Pad1)");
    EXPECT_EQ(p.Net("R4", "2"), "Net-(R3-Pad1)");
    EXPECT_EQ(p.Net("R5", "2"), "unconnected-(R5-Pad2)");
    EXPECT_EQ(p.Net("R6", "2"), "unconnected-(R6-Pad2)");
    EXPECT_EQ(p.Net("R7", "2"), "Net-(R7-Pad2)");
    EXPECT_EQ(p.Net("R8", "1"), "Net-(R7-Pad2)");
    EXPECT_EQ(p.Net("R9", "2"), "Net-(R10-Pad1)");
    EXPECT_EQ(p.Net("R10", "1"), "Net-(R10-Pad1)");
    // The subgraph of a pin holds the wires that reach it.
    std::size_t instance = 0, item = 0;
    ASSERT_TRUE(p.Nets().FindPin("R9", "2", instance, item));
    const auto& in = p.Nets().Instances()[instance];
    std::size_t wires = 0;
    for (std::size_t k : p.Nets().SubgraphItems(instance, in.SubgraphOf[item]))
        wires += in.Items[k].Kind == TSchItemKind::Wire;
    EXPECT_EQ(wires, 2u);
    EXPECT_EQ(in.SubgraphNet[std::size_t(in.SubgraphOf[item])], "Net-(R10-Pad1)");
}

TEST(SchematicConnectivity, LabelsNameTheirNetsByKindAndJoinByName) {
    TSheetText s;
    // Local labels carry the sheet's path; two on one net: the lower name wins.
    // A wire elsewhere labelled with the losing name joins that net and takes its name.
    s.Wire(10, 10, 30, 10).Label("label", "ZED", 10, 10).Label("label", "ALPHA", 30, 10).R("R1", 30, 6.19);
    s.Label("label", "ZED", 10, 60).R("R6", 10, 56.19);
    // A label on a wire's middle joins it.
    s.Wire(50, 10, 70, 10).Label("label", "MID", 60, 10).R("R2", 50, 6.19);
    // Labels of one name on separate wires are one net.
    s.Label("label", "SAME", 100, 10).R("R3", 100, 6.19).Label("label", "SAME", 120, 10).R("R4", 120, 6.19);
    // A global label is bare and beats a local label.
    s.Wire(10, 40, 30, 40)
        .Label("label", "LOCAL", 10, 40)
        .Label("global_label", "GLOB", 30, 40)
        .R("R5", 30, 36.19);
    auto p = Flat(s);
    EXPECT_EQ(p.Net("R1", "2"), "/ALPHA");
    EXPECT_EQ(p.Net("R6", "2"), "/ALPHA");
    EXPECT_EQ(p.Net("R2", "2"), "/MID");
    EXPECT_EQ(p.Net("R3", "2"), "/SAME");
    EXPECT_EQ(p.Net("R4", "2"), "/SAME");
    EXPECT_EQ(p.Net("R5", "2"), "GLOB");
    EXPECT_EQ(p.Nets().PinNet("R5", "1"), ""); // alone: no net of its own
}

TEST(SchematicConnectivity, PowerSymbolsNameNetsEverywhere) {
    TSheetText s;
    // The symbol's value names the net, not its pin; two symbols of one value are one net.
    s.Symbol("t:PWR", 10, 10, {{"", "#PWR01"}}, "VALNAME").R("R1", 10, 6.19);
    s.Symbol("t:PWR", 30, 10, {{"", "#PWR02"}}, "VALNAME").R("R2", 30, 6.19);
    // A power symbol beats a local label, a global label beats a power symbol.
    s.Symbol("t:PWR", 50, 10, {{"", "#PWR03"}}, "PY").Label("label", "AAA", 50, 10).R("R3", 50, 6.19);
    s.Symbol("t:PWR", 70, 10, {{"", "#PWR04"}}, "PX").Label("global_label", "ZZZ", 70, 10).R("R4", 70, 6.19);
    // A hidden power input of an ordinary part joins the global net of its name.
    s.Symbol("t:IC", 100, 50, {{"", "U1"}}).Symbol("t:IC", 130, 50, {{"", "U2"}});
    s.Symbol("t:PWR", 100, 80, {{"", "#PWR05"}}, "VDD").R("R5", 100, 76.19);
    auto p = Flat(s);
    EXPECT_EQ(p.Net("R1", "2"), "VALNAME");
    EXPECT_EQ(p.Net("R2", "2"), "VALNAME");
    EXPECT_EQ(p.Net("R3", "2"), "PY");
    EXPECT_EQ(p.Net("R4", "2"), "ZZZ");
    EXPECT_EQ(p.Net("U1", "3"), "VDD");
    EXPECT_EQ(p.Net("U2", "3"), "VDD");
    EXPECT_EQ(p.Net("R5", "2"), "VDD");
    // Power symbols are not components of the netlist.
    for (const auto& pin : p.Nets().PinNets())
        EXPECT_NE(pin.Reference.front(), '#');
}

TEST(SchematicConnectivity, UnnamedNetsAreNamedAfterAPin) {
    TSheetText s;
    // A named pin names the net before a numbered one; its name escapes "/".
    s.Symbol("t:IC", 50, 10, {{"", "U1"}}).Wire(44.92, 10, 40, 10).R("R1", 40, 6.19);
    s.Wire(55.08, 10, 60, 10).R("R2", 60, 6.19);
    // Units of a multi-unit part carry their letter; a name shared by two pins of the unit adds
    // the pad; the same name on another unit does not.
    s.Symbol("t:DUAL", 50, 40, {{"", "U2"}}, "", 1).Wire(44.92, 40, 40, 40).R("R3", 40, 36.19);
    s.Symbol("t:DUAL", 80, 40, {{"", "U2"}}, "", 2).Wire(74.92, 40, 70, 40).R("R4", 70, 36.19);
    s.Symbol("t:DUAL", 80, 60, {{"", "U3"}}, "", 2);
    auto p = Flat(s);
    EXPECT_EQ(p.Net("U1", "1"), "Net-(U1-IN)");
    EXPECT_EQ(p.Net("R1", "2"), "Net-(U1-IN)");
    EXPECT_EQ(p.Net("U1", "2"), "Net-(U1-A{slash}B)");
    EXPECT_EQ(p.Net("R3", "2"), "Net-(R3-Pad2)"); // "Net-(U2A-X-Pad1)" names by pad too, and sorts after
    EXPECT_EQ(p.Net("U2", "1"), "Net-(R3-Pad2)");
    EXPECT_EQ(p.Net("U2", "3"), "unconnected-(U2A-X-Pad3)");
    EXPECT_EQ(p.Net("U2", "2"), "Net-(U2B-X)");
    EXPECT_EQ(p.Net("R4", "2"), "Net-(U2B-X)");
    EXPECT_EQ(p.Net("U3", "2"), "unconnected-(U3B-X-Pad2)");
    EXPECT_EQ(p.Net("U3", "1"), ""); // unit 1 is not placed
    EXPECT_EQ(p.Net("R2", "1"), "unconnected-(R2-Pad1)");
}

TEST(SchematicConnectivity, NoConnectFlagsMakeANetUnconnected) {
    TSheetText s;
    // A flag on a pin end: the net of two pins is "unconnected" after the lower one.
    s.R("R1", 10, 6.19).R("R2", 20, 6.19).Wire(10, 10, 20, 10).Point("no_connect", 10, 10);
    // A flag on a wire's middle touches nothing.
    s.R("R3", 40, 6.19).R("R4", 60, 6.19).Wire(40, 10, 60, 10).Point("no_connect", 50, 10);
    auto p = Flat(s);
    EXPECT_EQ(p.Net("R1", "2"), "unconnected-(R1-Pad2)");
    EXPECT_EQ(p.Net("R2", "2"), "unconnected-(R1-Pad2)");
    EXPECT_EQ(p.Net("R3", "2"), "Net-(R3-Pad2)");
    EXPECT_EQ(p.Net("R4", "2"), "Net-(R3-Pad2)");
}

TEST(SchematicConnectivity, SheetPinsJoinHierarchicalLabelsPerInstance) {
    // The root uses "sub.kicad_sch" twice; each instance has its own references and nets.
    const std::string a = "/aaaaaaaa-0000-0000-0000-000000000001",
                      b = "/aaaaaaaa-0000-0000-0000-000000000002";
    TSheetText root;
    root.Sheet(a.substr(1), "chanA", "sub.kicad_sch", 100, 100, {"IN", "OUT", "LOC"});
    root.Sheet(b.substr(1), "chanB", "sub.kicad_sch", 100, 150, {"IN", "OUT", "LOC"});
    // chanA's LOC meets a local label of the parent, chanB's none: the port's own local label
    // names it there, the parent's (nearer the root) here.
    root.Label("label", "PARENT", 100, 107.62);
    // chanA's IN meets a local label; chanB's IN only a pin; both OUTs go to one global label.
    root.Wire(90, 102.54, 100, 102.54).Label("label", "SIG", 90, 102.54);
    root.R("R1", 90, 148.73).Wire(90, 152.54, 100, 152.54);
    root.Label("global_label", "OUTS", 100, 105.08).Label("global_label", "OUTS", 100, 155.08);
    TSheetText sub;
    sub.Label("hierarchical_label", "IN", 10, 10).Symbol("t:R", 10, 6.19, {{a, "R11"}, {b, "R21"}});
    sub.Label("hierarchical_label", "OUT", 30, 10).Symbol("t:R", 30, 6.19, {{a, "R12"}, {b, "R22"}});
    // A net inside the sheet that no port reaches keeps the instance's path.
    sub.Label("hierarchical_label", "LOC", 70, 10).Label("label", "CHILD", 70, 10);
    sub.Symbol("t:R", 70, 6.19, {{a, "R14"}, {b, "R24"}});
    sub.Label("label", "INNER", 50, 10).Symbol("t:R", 50, 6.19, {{a, "R13"}, {b, "R23"}});
    TProjectFolder p({{"t.kicad_sch", root}, {"sub.kicad_sch", sub}});
    EXPECT_EQ(p.Net("R11", "2"), "/SIG");      // the parent's label beats the port
    EXPECT_EQ(p.Net("R21", "2"), "/chanB/IN"); // a bare sheet pin is weaker than the port
    EXPECT_EQ(p.Net("R1", "2"), "/chanB/IN");
    EXPECT_EQ(p.Net("R12", "2"), "OUTS");
    EXPECT_EQ(p.Net("R22", "2"), "OUTS");
    EXPECT_EQ(p.Net("R14", "2"), "/PARENT");
    EXPECT_EQ(p.Net("R24", "2"), "/chanB/CHILD");
    EXPECT_EQ(p.Net("R13", "2"), "/chanA/INNER");
    EXPECT_EQ(p.Net("R23", "2"), "/chanB/INNER");
    EXPECT_EQ(p.Nets().Instances().size(), 3u);
}

TEST(SchematicConnectivity, BusMembersTravelThroughSheetsByIndexAndName) {
    const std::string a = "/aaaaaaaa-0000-0000-0000-000000000001";
    TSheetText root;
    root.Sheet(a.substr(1), "sub", "sub.kicad_sch", 100, 100, {"D[0..1]", "G{X Y}"});
    // The parent's bus is labelled DATA[4..5]: its members DATA4, DATA5 meet the child's D0, D1
    // by position.
    root.Bus(80, 102.54, 100, 102.54).Label("label", "DATA[4..5]", 90, 102.54);
    root.Label("label", "DATA5", 60, 100).R("R1", 60, 96.19);
    // The group bus passes through with its member names.
    root.Bus(80, 105.08, 100, 105.08).Label("label", "G{X Y}", 80, 105.08);
    TSheetText sub;
    sub.Label("hierarchical_label", "D[0..1]", 10, 10).Bus(10, 10, 10, 30);
    sub.Entry(10, 20, 2.54, 2.54).Wire(12.54, 22.54, 20, 22.54).Label("label", "D1", 20, 22.54);
    sub.Symbol("t:R", 20, 26.35, {{a, "R11"}});
    sub.Label("hierarchical_label", "G{X Y}", 40, 10)
        .Label("label", "G.Y", 50, 10)
        .Symbol("t:R", 50, 6.19, {{a, "R12"}});
    // A wire crossing the bus where an entry lands is not joined through the entry.
    sub.Wire(5, 20, 15, 20).Symbol("t:R", 5, 16.19, {{a, "R13"}});
    TProjectFolder p({{"t.kicad_sch", root}, {"sub.kicad_sch", sub}});
    EXPECT_EQ(p.Net("R11", "1"), "/DATA5");
    EXPECT_EQ(p.Net("R1", "2"), "/DATA5");
    EXPECT_EQ(p.Net("R12", "2"), "/G.Y");
    EXPECT_EQ(p.Net("R13", "2"), "unconnected-(R13-Pad2)");
}
