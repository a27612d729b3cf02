// KiCad projects read into the stand-in host and written back: every public board loads, an
// unchanged save is byte-identical, changes touch only their tokens, bad files leave disk alone.
#include "pcbhost/kicad/FileIO.h"
#include "pcbhost/project/KicadProject.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;
using namespace pcbhost;
using namespace pcbhost::kicad;
using pcbhost::sexpr::Node;

namespace {

const fs::path cBoards = fs::path(PERMUTOR_SHARED_DIR) / "boards";

std::vector<fs::path> SharedProjects() {
    std::vector<fs::path> found;
    for (const auto& e : fs::recursive_directory_iterator(cBoards))
        if (e.path().extension() == ".kicad_pro")
            found.push_back(e.path());
    std::sort(found.begin(), found.end());
    return found;
}

// A private copy of a project folder, removed at the end of the test.
class TempCopy {
public:
    explicit TempCopy(const fs::path& folder) {
        FDir = fs::temp_directory_path() /
               ("permutor-project-" + std::to_string(::getpid()) + "-" + std::to_string(Counter()++));
        fs::create_directories(FDir);
        fs::copy(folder, FDir, fs::copy_options::recursive);
        for (const auto& e : fs::recursive_directory_iterator(FDir))
            fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add);
    }
    ~TempCopy() { fs::remove_all(FDir); }
    fs::path operator/(const std::string& name) const { return FDir / name; }
    const fs::path& Dir() const { return FDir; }

private:
    static int& Counter() {
        static int n = 0;
        return n;
    }
    fs::path FDir;
};

std::string Read(const fs::path& p) {
    return sexpr::readFile(p);
}

void Write(const fs::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << text;
}

TPcbNet* Net(TBoard& board, std::string_view name) {
    TPcbNet* net = board.FindNet(name);
    EXPECT_NE(net, nullptr) << name;
    return net;
}

std::size_t CopperPads(TPcbNet* net) {
    std::size_t n = 0;
    for (TPrimitive* p : net->Members())
        if (p->Kind() == ePadObject && !(p->Interface()->ExclusionFlags() & cExclusion_NoConnectivity))
            ++n;
    return n;
}

TEST(KicadProjects, EverySharedProjectLoadsAndSavesUnchangedByteForByte) {
    const auto projects = SharedProjects();
    ASSERT_GE(projects.size(), 5u);
    for (const auto& pro : projects) {
        SCOPED_TRACE(pro.string());
        THost host;
        auto project = TKicadProject::Open(host, pro.string());
        ASSERT_TRUE(project->IsProject());
        ASSERT_NE(project->Board(), nullptr);
        ASSERT_NE(project->Schematics(), nullptr);
        EXPECT_GT(project->Board()->ComponentList().size(), 50u);
        EXPECT_GT(project->Schematics()->Symbols().size(), 50u);
        EXPECT_FALSE(project->Changed());
        EXPECT_EQ(project->BoardFile()->Render(), Read(project->BoardPath()));
        EXPECT_TRUE(project->Schematics()->Render().empty());

        // Footprints on the board are the footprint lists of the file.
        const std::string text = Read(project->BoardPath());
        std::size_t footprints = 0;
        for (std::size_t at = text.find("(footprint \""); at != std::string::npos;
             at = text.find("(footprint \"", at + 1))
            ++footprints;
        EXPECT_EQ(project->Board()->ComponentList().size(), footprints);

        // Every footprint with a schematic link finds its component by unique id.
        project->Project()->Compile();
        auto mappings = project->Project()->ComponentMappings(project->BoardPath());
        ASSERT_TRUE(mappings);
        EXPECT_GT(mappings->MatchedCount(), std::int32_t(footprints * 6 / 10));
    }
}

TEST(KicadProjects, RepeatedSheetsGiveOneComponentPerInstance) {
    THost host;
    auto project =
        TKicadProject::Open(host, (cBoards / "glasgow/hardware/boards/glasgow/glasgow.kicad_pro").string());
    // io_buffer.kicad_sch is used twice: its level shifters appear under two references each.
    std::set<std::string> ids;
    std::size_t shifters = 0;
    for (const auto& symbol : project->Schematics()->Symbols())
        if (symbol->Comment.find("SN74LVC1T45") != std::string::npos) {
            ++shifters;
            ASSERT_FALSE(symbol->PlacedUnits().empty());
            ids.insert(symbol->PlacedUnits().front()->UniqueIdText());
        }
    EXPECT_GE(shifters, 16u);
    EXPECT_EQ(ids.size(), shifters); // every instance has its own unique id
    // The sheet file was read once and holds both instances.
    const auto& files = project->Schematics()->Files();
    EXPECT_EQ(std::count_if(files.begin(), files.end(),
                            [](const std::string& f) { return f.ends_with("io_buffer.kicad_sch"); }),
              1);
}

TEST(KicadProjects, IslandsOfTheUnroutedBoardArePadsUnlessAZoneJoinsThem) {
    THost host;
    auto project = TKicadProject::Open(
        host, (cBoards / "glasgow/hardware/boards/glasgow/glasgow-unrouted.kicad_pcb").string());
    TBoard& board = *project->Board();
    std::size_t checked = 0, fillAlone = 0;
    for (TPcbNet* net : board.NetList()) {
        bool hasFill = false;
        for (TPrimitive* p : net->Members())
            hasFill |= p->Kind() == eRegionObject;
        const std::size_t pads = CopperPads(net);
        if (!hasFill) {
            // Only pads that overlap (stacked pads of one footprint) share an island.
            EXPECT_LE(net->Islands().size(), pads) << net->Name();
            for (const auto& island : net->Islands())
                for (TPrimitive* p : island) {
                    EXPECT_EQ(p->Kind(), ePadObject) << net->Name();
                    EXPECT_EQ(p->OwnerComponent(), island.front()->OwnerComponent()) << net->Name();
                }
            checked += net->Islands().size() == pads;
        } else {
            EXPECT_LE(net->Islands().size(), pads + 1) << net->Name();
        }
        // The ratsnest is a spanning tree between the islands, leaving out pieces of fill alone
        // (those whose vias went with the routing).
        std::size_t joined = 0;
        for (const auto& island : net->Islands())
            joined += std::any_of(island.begin(), island.end(),
                                  [](TPrimitive* p) { return p->Kind() != eRegionObject; });
        EXPECT_EQ(net->Ratsnest().size(), joined == 0 ? 0 : joined - 1) << net->Name();
        fillAlone += net->Islands().size() - joined;
    }
    EXPECT_GT(checked, 150u);
    EXPECT_EQ(fillAlone, 2u); // on +1V2 and +3V3, inner layer 2
    EXPECT_EQ(Net(board, "Net-(R4-Pad2)")->Islands().size(), 2u);
}

TEST(KicadProjects, IslandsOfTheRoutedBoardFollowTheCopper) {
    THost host;
    auto project =
        TKicadProject::Open(host, (cBoards / "glasgow/hardware/boards/glasgow/glasgow.kicad_pro").string());
    TBoard& board = *project->Board();
    // R4 pad 2 and R5 pad 1 joined by one segment on F.Cu.
    TPcbNet* r4 = Net(board, "Net-(R4-Pad2)");
    ASSERT_EQ(r4->Islands().size(), 1u);
    std::multiset<TObjectId> kinds;
    for (TPrimitive* p : r4->Islands()[0])
        kinds.insert(p->Kind());
    EXPECT_EQ(kinds, (std::multiset<TObjectId>{ePadObject, ePadObject, eTrackObject}));
    EXPECT_TRUE(r4->Ratsnest().empty());
    // D5's anode net: two pads, two segments, one island.
    TPcbNet* d5 = Net(board, "Net-(D5-A)");
    ASSERT_EQ(d5->Islands().size(), 1u);
    EXPECT_EQ(d5->Islands()[0].size(), 4u);
    // A fully routed board has (nearly) one island per net.
    std::size_t islands = 0;
    for (TPcbNet* net : board.NetList())
        islands += net->Islands().size();
    EXPECT_LE(islands, board.NetList().size() + board.NetList().size() / 20);
}

TEST(KicadProjects, NetChangesRewriteOnlyTheirTokensAndReadBack) {
    TempCopy copy(cBoards / "glasgow/hardware/boards/glasgow");
    const fs::path pcb = copy / "glasgow.kicad_pcb";
    const std::string before = Read(pcb);
    {
        THost host;
        auto project = TKicadProject::Open(host, (copy / "glasgow.kicad_pro").string());
        TBoard& board = *project->Board();
        TPcbComponent* r4 = board.FindComponent("R4");
        ASSERT_NE(r4, nullptr);
        TPad* pad = r4->FindPad("2");
        ASSERT_NE(pad, nullptr);
        pad->AssignNet(&board.EnsureNet("NEW_NET"));
        // The segment of that net moves along.
        for (TPrimitive* p : Net(board, "Net-(R4-Pad2)")->Members())
            if (p->Kind() == eTrackObject) {
                p->AssignNet(board.FindNet("NEW_NET"));
                break;
            }
        EXPECT_TRUE(project->Changed());
        const auto written = project->Save();
        EXPECT_EQ(written, std::vector<std::string>{pcb.string()});
    }
    EXPECT_EQ(Read(copy / "glasgow.kicad_pcb.bak"), before);
    const std::string after = Read(pcb);
    // Only a few tokens changed: the file grew by the new table line and a few digits.
    EXPECT_LT(after.size() - before.size(), 80u);
    EXPECT_NE(after.find("(net 252 \"NEW_NET\")"), std::string::npos);

    THost host;
    auto reread = TKicadProject::Open(host, (copy / "glasgow.kicad_pro").string());
    TBoard& board = *reread->Board();
    EXPECT_EQ(board.FindComponent("R4")->FindPad("2")->OwnerNet()->Name(), "NEW_NET");
    EXPECT_EQ(board.FindComponent("R5")->FindPad("1")->OwnerNet()->Name(), "Net-(R4-Pad2)");
    EXPECT_EQ(Net(board, "NEW_NET")->Members().size(), 2u);
    EXPECT_FALSE(reread->Changed());
}

TEST(KicadProjects, PadsLoseTheirNetAndGainItBack) {
    TempCopy copy(cBoards / "pico-ice/Board/Rev3");
    const fs::path pcb = copy / "pico-ice.kicad_pcb";
    const std::string original = Read(pcb);
    std::string reference, padName, netName;
    {
        THost host;
        auto project = TKicadProject::Open(host, pcb.string());
        TPad* target = nullptr;
        for (TPcbComponent* c : project->Board()->ComponentList())
            for (TPad* pad : c->Pads())
                if (!target && pad->OwnerNet() && pad->OwnerNet()->Name().starts_with("unconnected-")) {
                    target = pad;
                    reference = c->NameText();
                }
        ASSERT_NE(target, nullptr) << "the board has a pad on an unconnected-(...) net";
        padName = target->Name();
        netName = target->OwnerNet()->Name();
        target->AssignNet(nullptr);
        project->Save({.KeepBackup = false, .BoardOutput = {}});
        EXPECT_FALSE(fs::exists(copy / "pico-ice.kicad_pcb.bak"));
    }
    EXPECT_LT(Read(pcb).size(), original.size());
    THost host;
    auto reread = TKicadProject::Open(host, pcb.string());
    TPad* pad = reread->Board()->FindComponent(reference)->FindPad(padName);
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(pad->OwnerNet(), nullptr);
    // The net entry stays in the table; giving the net back writes the pad's net list again
    // where KiCad keeps it, so the file is as it was.
    pad->AssignNet(reread->Board()->FindNet(netName));
    reread->Save();
    EXPECT_EQ(Read(pcb), original);
}

TEST(KicadProjects, SwapInformationRoundTripsThroughTheFiles) {
    TempCopy copy(cBoards / "ccpu-eth/boards/eth");
    const fs::path pro = copy / "eth.kicad_pro";
    std::string ref;
    {
        THost host;
        auto project = TKicadProject::Open(host, pro.string());
        // A multi-unit gate chip.
        TSchSymbol* gates = nullptr;
        for (const auto& s : project->Schematics()->Symbols())
            if (!gates && s->UnitCount() >= 4 && s->Pins().size() >= 14)
                gates = s.get();
        ASSERT_NE(gates, nullptr);
        ref = gates->Designator;
        SwapFields_Apply(*gates, "Pin_1=A|Pin_2=A", "Part_1=G|PartPin_1=IN1|Part_4=G|PartPin_4=IN1", "");
        TPcbComponent* footprint = project->Board()->FindComponent(ref);
        ASSERT_NE(footprint, nullptr);
        footprint->SetPinSwappingEnabled(true);
        footprint->SetPartSwappingEnabled(true);
        TSwapOptions options;
        options.AllowNetLabelChanges = true;
        project->SetSwapOptions(options);
        EXPECT_TRUE(project->Changed());
        const auto written = project->Save();
        EXPECT_GE(written.size(), 3u); // board, a sheet, the sidecar
    }
    THost host;
    auto project = TKicadProject::Open(host, pro.string());
    TSchSymbol* gates = project->FindSymbol(ref);
    ASSERT_NE(gates, nullptr);
    std::string pin, part, pair;
    SwapFields_Compose(*gates, pin, part, pair);
    EXPECT_EQ(pin, "Pin_1=A|Pin_2=A");
    EXPECT_EQ(part, "Part_1=G|PartPin_1=IN1|Part_4=G|PartPin_4=IN1");
    EXPECT_EQ(pair, "");
    EXPECT_TRUE(project->Board()->FindComponent(ref)->PinSwappingEnabled());
    EXPECT_TRUE(project->Board()->FindComponent(ref)->PartSwappingEnabled());
    EXPECT_TRUE(project->SwapOptions().AllowNetLabelChanges);
    EXPECT_TRUE(project->Project()->AllowNetLabelSwapping());
    EXPECT_FALSE(project->Changed());

    // Every placed unit carries the same fields; clearing them removes the fields again.
    SwapFields_Apply(*gates, "", "", "");
    project->Save();
    THost host2;
    auto cleared = TKicadProject::Open(host2, pro.string());
    SwapFields_Compose(*cleared->FindSymbol(ref), pin, part, pair);
    EXPECT_EQ(pin + part + pair, "");
}

TEST(KicadProjects, MalformedFilesGiveLocatedErrorsAndChangeNothing) {
    TempCopy copy(cBoards / "pico-ice/Board/Rev3");
    const fs::path pcb = copy / "pico-ice.kicad_pcb";
    const std::string original = Read(pcb);
    struct TCase {
        const char* What;
        std::string Text;
        const char* Expect;
    };
    const TCase cases[] = {
        {"truncated", original.substr(0, original.size() / 2), "expected"},
        {"unbalanced", original + ")", ""},
        {"wrong root", "(kicad_sch (version 20231120))", "kicad_pcb"},
        {"bad number", "(kicad_pcb (version 20240108) (layers (0 \"F.Cu\" signal)) (segment (start x 1)))",
         ""},
        {"unknown net", "(kicad_pcb (version 20240108) (layers (0 \"F.Cu\" signal)) (via (at 1 1) (net 7)))",
         "net 7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        Write(pcb, c.Text);
        THost host;
        try {
            TKicadProject::Open(host, pcb.string());
            ADD_FAILURE() << "expected an error";
        } catch (const sexpr::ParseError& e) {
            EXPECT_EQ(e.file(), pcb.string());
            EXPECT_GE(e.line(), 1u);
            EXPECT_NE(std::string(e.what()).find(pcb.string() + ":"), std::string::npos);
            EXPECT_NE(std::string(e.what()).find(c.Expect), std::string::npos) << e.what();
        }
        EXPECT_EQ(Read(pcb), c.Text); // nothing was written
        EXPECT_FALSE(fs::exists(copy / "pico-ice.kicad_pcb.bak"));
    }

    // The board and the schematic are read side by side; with both broken, the board is named,
    // as when it was read first, and a broken schematic alone is named too.
    const fs::path sch = copy / "pico-ice.kicad_sch";
    const std::string schematic = Read(sch);
    Write(sch, schematic.substr(0, schematic.size() / 3));
    for (const bool boardBroken : {true, false}) {
        SCOPED_TRACE(boardBroken ? "both broken" : "schematic broken");
        Write(pcb, boardBroken ? original.substr(0, original.size() / 2) : original);
        THost host;
        try {
            TKicadProject::Open(host, pcb.string());
            ADD_FAILURE() << "expected an error";
        } catch (const sexpr::ParseError& e) {
            EXPECT_EQ(e.file(), (boardBroken ? pcb : sch).string()) << e.what();
        }
    }
}

} // namespace

TEST(KicadProjects, SchematicChangedSaysWhetherRenderingWouldWriteAnything) {
    THost host;
    auto project =
        TKicadProject::Open(host, (fs::path(PERMUTOR_SOURCE_DIR) / "examples/demo/demo.kicad_pro").string());
    // Sheet edits are the back-annotation's to set; here they are set by hand.
    auto* sheets = const_cast<TSchematicSet*>(project->Schematics());
    ASSERT_NE(sheets, nullptr);
    auto agree = [&](bool expected, const char* what) {
        SCOPED_TRACE(what);
        EXPECT_EQ(sheets->Changed(), expected);
        EXPECT_EQ(!sheets->Render().empty(), expected);
    };
    agree(false, "as read");

    TSchSymbol* swappable = nullptr;
    std::string pin, part, pair;
    for (const auto& s : sheets->Symbols()) {
        SwapFields_Compose(*s, pin, part, pair);
        if (!swappable && pin.find('|') != std::string::npos)
            swappable = s.get();
    }
    ASSERT_NE(swappable, nullptr) << "the example has a part with pin swap data";
    SwapFields_Compose(*swappable, pin, part, pair);
    // The same entries in the other order say the same: nothing to write.
    const auto bar = pin.find('|');
    SwapFields_Apply(*swappable, pin.substr(bar + 1) + "|" + pin.substr(0, bar), part, pair);
    agree(false, "entries reordered");
    // One entry's group changed: the units' fields are rewritten.
    SwapFields_Apply(*swappable, pin.substr(0, bar) + "X|" + pin.substr(bar + 1), part, pair);
    agree(true, "a group changed");
    SwapFields_Apply(*swappable, pin, part, pair);
    agree(false, "changed back");

    // An edit of a sheet's text beyond the fields.
    Node label;
    for (Node n : sheets->Document(0).root().children())
        if (!label && (n.is("label") || n.is("global_label")))
            label = n;
    ASSERT_TRUE(label);
    sheets->SetSheetEdits({{0, {{TSchematicSet::TSheetEdit::eSetText, label.atom(1), "RENAMED"}}}});
    agree(true, "a label renamed");
    sheets->SetSheetEdits({{0, {}}});
    agree(false, "no edits left");
}
