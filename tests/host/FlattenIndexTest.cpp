// Flattening a design pairs symbols with footprints and pins with pads through indexes. Here the
// result is held against a plain walk that tries every footprint for every symbol and every pad
// for every pin, on boards made to trip an index (pad names repeated or differing in letter case,
// source ids shared or in other case, footprints and symbols without a partner) and on real
// projects.
#include "pcbhost/model/Host.h"
#include "pcbhost/project/KicadProject.h"

#include "permutor/host/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <random>

namespace fs = std::filesystem;
using namespace pcbhost;
using permutor::host::Text_EqualNoCase;

namespace {

// What a flattened design says, one line per fact, in the design's own order.
std::vector<std::string> Summary(const TDesignData& data) {
    std::vector<std::string> out;
    auto netOf = [](TDesignPin& pin) {
        auto net = pin.OwningNet();
        return net ? net->Name() : std::string("-");
    };
    for (auto& c : data.Components) {
        out.push_back("component " + c->DesignatorText + " board " + c->BoardKey);
        for (auto& p : c->Pins)
            out.push_back("  pin " + p->DesignatorText() + " " + netOf(*p));
    }
    for (auto& b : data.BoardComponents) {
        out.push_back("footprint " + b->DesignatorText + " " + b->BoardKey);
        for (auto& p : b->Pins)
            out.push_back("  pad " + p->DesignatorText() + " " + netOf(*p));
    }
    for (auto& [sch, pcb] : data.Matched)
        out.push_back("matched " + sch->DesignatorText + " " + pcb->BoardKey);
    for (auto* c : data.UnmatchedSchematic)
        out.push_back("unmatched symbol " + c->Designator());
    for (auto* c : data.UnmatchedBoard)
        out.push_back("unmatched footprint " + c->BoardKey);
    for (auto& n : data.Nets)
        out.push_back("net " + n->Name() + " " + std::to_string(n->MemberCount(1)) + " " +
                      std::to_string(n->MemberCount(2)) + " " + std::to_string(n->MemberCount(3)));
    return out;
}

// The same facts by the plain walk: for each symbol in sheet order, the first footprint in board
// order not yet taken whose source id equals a placed unit's path in any letter case; for each
// pin, the first pad of its name, else the first of its name in any case; for each footprint,
// one pin per pad name.
std::vector<std::string> PlainSummary(const std::vector<TSchDocument*>& sheets, TBoard* board,
                                      bool pinNetsFromSchematic = false) {
    std::vector<TSchSymbol*> symbols;
    for (TSchDocument* sheet : sheets)
        for (auto& unit : sheet->Units())
            if (std::find(symbols.begin(), symbols.end(), &unit->Symbol()) == symbols.end())
                symbols.push_back(&unit->Symbol());
    std::vector<TPcbComponent*> footprints = board ? board->ComponentList() : std::vector<TPcbComponent*>();
    std::vector<TPcbComponent*> footprintOf(symbols.size(), nullptr);
    std::vector<bool> taken(footprints.size(), false);
    for (std::size_t s = 0; s < symbols.size(); ++s)
        for (std::size_t f = 0; f < footprints.size() && !footprintOf[s]; ++f)
            for (TSchComponent* unit : symbols[s]->PlacedUnits())
                if (!taken[f] && !footprints[f]->SourceUniqueId().empty() &&
                    Text_EqualNoCase(footprints[f]->SourceUniqueId(), unit->UniqueIdText())) {
                    footprintOf[s] = footprints[f];
                    taken[f] = true;
                    break;
                }
    std::vector<std::string> out, nets;
    std::map<std::string, std::array<int, 3>> members;
    auto note = [&](const std::string& net, int list) {
        if (!members.count(net))
            nets.push_back(net);
        ++members[net][std::size_t(list)];
    };
    for (std::size_t s = 0; s < symbols.size(); ++s) {
        out.push_back("component " + symbols[s]->Designator + " board " +
                      (footprintOf[s] ? footprintOf[s]->Key() : std::string()));
        for (auto& pin : symbols[s]->Pins()) {
            std::string net;
            if (TPcbComponent* fp = pinNetsFromSchematic ? nullptr : footprintOf[s]) {
                TPad* pad = nullptr;
                for (TPad* q : fp->Pads())
                    if (!pad && q->Name() == pin->DesignatorText())
                        pad = q;
                for (TPad* q : fp->Pads())
                    if (!pad && Text_EqualNoCase(q->Name(), pin->DesignatorText()))
                        pad = q;
                if (pad && pad->OwnerNet())
                    net = pad->OwnerNet()->Name();
            } else {
                net = pin->NetName();
            }
            out.push_back("  pin " + pin->DesignatorText() + " " + (net.empty() ? "-" : net));
            if (!net.empty())
                note(net, 0);
        }
    }
    for (TSchDocument* sheet : sheets)
        for (auto& label : sheet->Labels())
            note(label->NetName(), label->IsPort() ? 2 : 1);
    for (TPcbComponent* fp : footprints) {
        out.push_back("footprint " + fp->NameText() + " " + fp->Key());
        std::vector<std::string> names;
        for (TPad* pad : fp->Pads()) {
            if (std::find(names.begin(), names.end(), pad->Name()) != names.end())
                continue;
            names.push_back(pad->Name());
            const std::string net = pad->OwnerNet() ? pad->OwnerNet()->Name() : std::string();
            out.push_back("  pad " + pad->Name() + " " + (net.empty() || !members.count(net) ? "-" : net));
        }
    }
    for (TPcbComponent* fp : footprints) {
        auto it = std::find(footprintOf.begin(), footprintOf.end(), fp);
        if (it != footprintOf.end())
            out.push_back("matched " + symbols[std::size_t(it - footprintOf.begin())]->Designator + " " +
                          fp->Key());
    }
    for (std::size_t s = 0; s < symbols.size(); ++s)
        if (!footprintOf[s])
            out.push_back("unmatched symbol " + symbols[s]->Designator);
    for (TPcbComponent* fp : footprints)
        if (std::find(footprintOf.begin(), footprintOf.end(), fp) == footprintOf.end())
            out.push_back("unmatched footprint " + fp->Key());
    for (const auto& net : nets)
        out.push_back("net " + net + " " + std::to_string(members[net][0]) + " " +
                      std::to_string(members[net][1]) + " " + std::to_string(members[net][2]));
    return out;
}

std::vector<TSchDocument*> SheetsOf(const TProject& project) {
    std::vector<TSchDocument*> sheets;
    for (auto& d : project.Documents())
        if (d->Sheet() && !d->Sheet()->IsLibrary())
            sheets.push_back(d->Sheet());
    return sheets;
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

TEST(FlattenIndex, PairsSymbolsFootprintsPinsAndPadsAsThePlainWalkDoes) {
    THost host;
    auto& project = host.AddProject("/virtual/f/f.kicad_pro");
    auto& sheet = project.AddSchematic("/virtual/f/f.kicad_sch");
    auto& pcb = project.AddBoard("/virtual/f/f.kicad_pcb");

    // U1: pins "a" and "B" meet pads named "A" and "b" only in another case; pad "1" twice (the
    // first one's net counts); pin "X" has no pad. Its footprint's source id is in upper case.
    auto& u1 = sheet.AddComponent("U1");
    for (const char* pin : {"1", "a", "B", "X", "c"})
        u1.AddPin(pin);
    // U2 has two units: unit 2's path matches a footprint listed before unit 1's, so that one
    // pairs (the first on the board); the other stays unmatched.
    auto& u2 = sheet.AddComponent("U2", 2);
    u2.AddPin("1", 1);
    u2.AddPin("2", 2);
    // U3 and U4 share a source id on two footprints: U3 (first in sheet order) takes the first.
    auto& u3 = sheet.AddComponent("U3");
    u3.AddPin("1").Net("SCH_ONLY");
    auto& u4 = sheet.AddComponent("U4");
    u4.AddPin("1").Net("LONELY");
    u4.SetUniqueId(1, u3.UniqueId(1));
    auto& u5 = sheet.AddComponent("U5"); // no footprint at all
    u5.AddPin("1").Net("FREE");
    sheet.AddNetLabel("A_NET", u1.Pin("a"));
    sheet.AddPort("FREE", 5, 5);

    auto& f1 = pcb.AddFootprint("U1", [&] {
        std::string id = u1.UniqueId(1);
        std::transform(id.begin(), id.end(), id.begin(), [](char c) { return char(std::toupper(c)); });
        return id;
    }());
    f1.AddPad("1", 0, 0).Net("FIRST");
    f1.AddPad("1", 1, 0).Net("SECOND");
    f1.AddPad("A", 2, 0).Net("A_NET");
    f1.AddPad("a2", 3, 0).Net("WRONG");
    f1.AddPad("b", 4, 0).Net("B_NET");
    f1.AddPad("B ", 5, 0).Net("WRONG");
    f1.AddPad("C", 6, 0).Net("UPPER");
    f1.AddPad("c", 7, 0).Net("EXACT");
    pcb.AddFootprint("U2b", u2.UniqueId(2)).AddPad("2", 10, 0).Net("U2_UNIT2");
    pcb.AddFootprint("U2a", u2.UniqueId(1)).AddPad("1", 11, 0).Net("U2_UNIT1");
    pcb.AddFootprint("U3", u3.UniqueId(1)).AddPad("1", 20, 0).Net("SHARED_FIRST");
    pcb.AddFootprint("U4", Lower(u3.UniqueId(1))).AddPad("1", 21, 0).Net("SHARED_SECOND");
    pcb.AddFootprint("H1").AddPad("1", 30, 0);
    pcb.AddFootprint("H2", "\\no\\such").AddPad("1", 31, 0).Net("FIRST");

    TProject& model = project.Model();
    auto data = Design_Flatten(SheetsOf(model), &pcb.Model());
    EXPECT_EQ(Summary(*data), PlainSummary(SheetsOf(model), &pcb.Model()));

    // And what the walk says, spelled out.
    std::map<std::string, std::string> nets, pairedWith;
    for (auto& c : data->Components)
        for (auto& p : c->Pins) {
            auto net = p->OwningNet();
            nets[c->DesignatorText + "-" + p->DesignatorText()] = net ? net->Name() : "";
        }
    for (auto& [sch, board] : data->Matched)
        pairedWith[sch->DesignatorText] = board->DesignatorText;
    EXPECT_EQ(nets["U1-1"], "FIRST");
    EXPECT_EQ(nets["U1-a"], "A_NET");
    EXPECT_EQ(nets["U1-B"], "B_NET");
    EXPECT_EQ(nets["U1-X"], "");
    EXPECT_EQ(nets["U1-c"], "EXACT") << "the pad of the very name before one in another case";
    EXPECT_EQ(nets["U2-2"], "U2_UNIT2");
    EXPECT_EQ(nets["U2-1"], "") << "the footprint of unit 1 is not the component's";
    EXPECT_EQ(nets["U3-1"], "SHARED_FIRST");
    EXPECT_EQ(nets["U4-1"], "SHARED_SECOND") << "the second footprint of a shared id is still free";
    EXPECT_EQ(nets["U5-1"], "FREE");
    EXPECT_EQ(pairedWith,
              (std::map<std::string, std::string>{{"U1", "U1"}, {"U2", "U2b"}, {"U3", "U3"}, {"U4", "U4"}}));
    ASSERT_EQ(data->UnmatchedBoard.size(), 3u);
    EXPECT_EQ(data->UnmatchedBoard[0]->Designator(), "U2a");
    ASSERT_EQ(data->UnmatchedSchematic.size(), 1u);
    EXPECT_EQ(data->UnmatchedSchematic[0]->Designator(), "U5");
    ASSERT_EQ(data->BoardComponents[0]->Pins.size(), 7u) << "one board pin per pad name";
}

TEST(FlattenIndex, ManyFootprintsInShuffledOrderPairAsThePlainWalkDoes) {
    // Enough symbols and pads that a slip in the order the index keeps shows.
    THost host;
    auto& project = host.AddProject("/virtual/g/g.kicad_pro");
    auto& sheet = project.AddSchematic("/virtual/g/g.kicad_sch");
    auto& pcb = project.AddBoard("/virtual/g/g.kicad_pcb");
    std::mt19937 random(7);
    std::vector<TComponentBuilder*> parts;
    for (int i = 0; i < 40; ++i) {
        auto& c = sheet.AddComponent("U" + std::to_string(i), 1 + i % 3);
        for (int p = 0; p < 12; ++p)
            c.AddPin((p % 2 ? "p" : "P") + std::to_string(p % 7), p % 3 == 0 ? 0 : 1 + p % (1 + i % 3));
        parts.push_back(&c);
    }
    std::vector<int> order(60);
    for (int i = 0; i < 60; ++i)
        order[std::size_t(i)] = i;
    std::shuffle(order.begin(), order.end(), random);
    for (int i : order) {
        auto& owner = *parts[std::size_t(i % 40)];
        const std::string id = owner.UniqueId(1 + (i / 40 + i) % (1 + (i % 40) % 3));
        auto& fp = pcb.AddFootprint("F" + std::to_string(i), i % 5 == 0 ? Lower(id) : id);
        for (int p = 0; p < 9; ++p)
            fp.AddPad((p % 3 ? "p" : "P") + std::to_string((p * 5 + i) % 7), p, i)
                .Net("N" + std::to_string(random() % 30));
    }
    TProject& model = project.Model();
    model.Compile();
    EXPECT_EQ(Summary(*model.Compiled()->Data()), PlainSummary(SheetsOf(model), &pcb.Model()));
}

TEST(FlattenIndex, RealProjectsCompileAsThePlainWalkDoes) {
    std::vector<fs::path> projects{fs::path(PERMUTOR_SOURCE_DIR) / "examples/demo/demo.kicad_pro"};
    const fs::path boards = fs::path(PERMUTOR_SHARED_DIR) / "boards";
    if (fs::exists(boards))
        for (const auto& e : fs::recursive_directory_iterator(boards))
            if (e.path().extension() == ".kicad_pro" && projects.size() < 6)
                projects.push_back(e.path());
    for (const auto& path : projects) {
        SCOPED_TRACE(path.string());
        THost host;
        std::unique_ptr<kicad::TKicadProject> project;
        try {
            project = kicad::TKicadProject::Open(host, path.string());
        } catch (const std::exception& e) {
            continue; // a project this host cannot read is another test's business
        }
        if (!project->Project() || !project->Board())
            continue;
        TProject& model = *project->Project();
        model.Compile();
        const auto& data = *model.Compiled()->Data();
        const auto fast = Summary(data),
                   plain = PlainSummary(SheetsOf(model), project->Board(), model.PinNetsFromSchematic());
        EXPECT_EQ(fast.size(), plain.size());
        for (std::size_t i = 0; i < std::min(fast.size(), plain.size()); ++i)
            if (fast[i] != plain[i]) {
                ADD_FAILURE() << "first difference at line " << i << ": " << fast[i] << " | " << plain[i];
                break;
            }
        // And with the nets of the footprints' pads.
        EXPECT_EQ(Summary(*Design_Flatten(SheetsOf(model), project->Board(), false)),
                  PlainSummary(SheetsOf(model), project->Board(), false));
        if (path.filename() == "demo.kicad_pro") {
            EXPECT_GE(data.Matched.size(), 5u) << "the example's parts have their footprints";
        }
    }
}
