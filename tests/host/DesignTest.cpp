// The workspace and compiled design of the in-memory host: compile, component mappings,
// unique-id lookup, schematic units sharing swap identifiers, net member lists, location keys.
#include "pcbhost/model/Host.h"
#include "pcbhost/model/Schematic.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

using namespace pcbhost;

namespace {

struct TDesignFixture : ::testing::Test {
    THost Host;
    TProjectBuilder& Project = Host.AddProject("/virtual/d/d.kicad_pro");
    TSchematicBuilder& Sheet = Project.AddSchematic("/virtual/d/d.kicad_sch");
    TBoardBuilder& Pcb = Project.AddBoard("/virtual/d/d.kicad_pcb");
    TProject& Model = Project.Model();

    // A two-unit gate with pins 1,2 (unit 1), 3,4 (unit 2) and 7 common to both.
    TComponentBuilder& Gate() {
        auto& u1 = Sheet.AddComponent("U1", 2).Comment("74HC00").Footprint("SOIC-14");
        u1.AddField("Value", "74HC00");
        u1.AddPin("1", 1).PinSwap("A").PartSwap("G").PartPinSwap("IN1");
        u1.AddPin("2", 1).PinSwap("A").PartSwap("G").PartPinSwap("IN2");
        u1.AddPin("3", 2).PinSwap("A").PartSwap("G").PartPinSwap("IN1");
        u1.AddPin("4", 2).PinSwap("A").PartSwap("G").PartPinSwap("IN2");
        u1.AddPin("7", 0);
        return u1;
    }

    TDesignComponent* Compiled(const std::string& designator) {
        for (auto& c : Model.Compiled()->Data()->Components)
            if (c->DesignatorText == designator)
                return c.get();
        return nullptr;
    }

    std::map<std::string, std::string> PinNets(IComponent& c) {
        std::map<std::string, std::string> r;
        for (int i = 0; i < c.PinCount(); ++i) {
            auto pin = c.Pin(i);
            auto net = pin->OwningNet();
            r[pin->Designator()] = net ? net->Name() : "";
        }
        return r;
    }
};

} // namespace

TEST_F(TDesignFixture, CompileTakesPinNetsFromTheMatchingFootprintsPads) {
    auto& u1 = Gate();
    u1.Pin("1").Net("FROM_SCHEMATIC");
    auto& u2 = Sheet.AddComponent("U2");
    u2.AddPin("1").Net("LONELY");
    auto& fp = Pcb.AddFootprint("U1", u1).PinSwapEnabled(true);
    fp.AddPad("1", 0, 0).Net("A");
    fp.AddPad("2", 1, 0).Net("B");
    fp.AddPad("3", 2, 0).Net("C");
    fp.AddPad("4", 3, 0);
    fp.AddPad("7", 4, 0).Net("GND");
    Pcb.AddFootprint("H1").AddPad("1", 20, 0);
    Project.Compile();

    IPtr<IDocument> compiled = Model.CompiledDocument();
    ASSERT_TRUE(compiled);
    ASSERT_EQ(compiled->ComponentCount(), 2);
    TDesignComponent* gate = Compiled("U1");
    ASSERT_TRUE(gate);
    EXPECT_EQ(PinNets(*gate), (std::map<std::string, std::string>{
                                  {"1", "A"}, {"2", "B"}, {"3", "C"}, {"4", ""}, {"7", "GND"}}));
    EXPECT_EQ(PinNets(*Compiled("U2")), (std::map<std::string, std::string>{{"1", "LONELY"}}))
        << "a component without a footprint keeps its schematic nets";
    EXPECT_EQ(gate->Comment(), "74HC00");
    EXPECT_EQ(gate->Footprint(), "SOIC-14");
    EXPECT_EQ(gate->UniqueId(), u1.UniqueId(1));

    auto mappings = Model.ComponentMappings(Pcb.Path());
    ASSERT_EQ(mappings->MatchedCount(), 1);
    EXPECT_EQ(mappings->MatchedSchematicComponent(0).get(), static_cast<IComponent*>(gate));
    auto boardSide = mappings->MatchedBoardComponent(0);
    EXPECT_EQ(boardSide->Designator(), "U1");
    EXPECT_EQ(boardSide->OwnerDocumentPath(), Pcb.Path());
    EXPECT_EQ(boardSide->UniqueId(), u1.UniqueId(1));
    ASSERT_EQ(mappings->UnmatchedSchematicCount(), 1);
    EXPECT_EQ(mappings->UnmatchedSchematicComponent(0)->Designator(), "U2");
    ASSERT_EQ(mappings->UnmatchedBoardCount(), 1);
    EXPECT_EQ(mappings->UnmatchedBoardComponent(0)->Designator(), "H1");
    EXPECT_FALSE(mappings->MatchedSchematicComponent(1));
    EXPECT_EQ(Model.ComponentMappings("/virtual/other.kicad_pcb")->MatchedCount(), 0);
}

TEST_F(TDesignFixture, BoardChangesMakeTheCompiledDesignOutOfDate) {
    auto& u1 = Gate();
    auto& fp = Pcb.AddFootprint("U1", u1);
    TPad& pad1 = fp.AddPad("1", 0, 0).Net("A").Model();
    fp.AddPad("2", 1, 0).Net("B");
    auto extended = QueryInterface<IExtendedProject>(static_cast<IProject*>(&Model));
    ASSERT_TRUE(extended);
    EXPECT_NE(Model.CompilationOutOfDate(), 0);
    Project.Compile();
    EXPECT_EQ(Model.CompilationOutOfDate(), 0);
    EXPECT_EQ(extended->NeedsCompiling(), 0);

    pad1.AssignNet(Pcb.Model().FindNet("B"));
    EXPECT_NE(Model.CompilationOutOfDate(), 0);
    EXPECT_NE(extended->NeedsCompiling(), 0);
    EXPECT_EQ(PinNets(*Compiled("U1"))["1"], "A") << "the compiled design shows the old nets until compiled";
    Model.Compile();
    EXPECT_EQ(PinNets(*Compiled("U1"))["1"], "B");

    Pcb.Document().NotifyChanged();
    EXPECT_NE(Model.CompilationOutOfDate(), 0);
}

TEST_F(TDesignFixture, WithoutABoardPinNetsComeFromTheSchematic) {
    THost host;
    auto& project = host.AddProject("/virtual/s/s.kicad_pro");
    auto& sheet = project.AddSchematic("/virtual/s/s.kicad_sch");
    auto& r1 = sheet.AddComponent("R1");
    r1.AddPin("1").Net("VCC");
    r1.AddPin("2").Net("OUT");
    auto& r2 = sheet.AddComponent("R2");
    r2.AddPin("1").Net("OUT");
    r2.AddPin("2");
    project.Compile();
    auto compiled = project.Model().Compiled()->Data();
    TDesignNet* out = compiled->FindNet("OUT");
    ASSERT_TRUE(out);
    ASSERT_EQ(out->MemberCount(1), 2);
    auto first = QueryInterface<INetItem>(out->Member(1, 0));
    auto second = QueryInterface<INetItem>(out->Member(1, 1));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->OwningComponent()->Designator(), "R1");
    EXPECT_EQ(second->OwningComponent()->Designator(), "R2");
    EXPECT_EQ(first->CrossProbeId(), "R1-2");
    EXPECT_EQ(first->OwningNet().get(), static_cast<INet*>(out));
}

TEST_F(TDesignFixture, EveryPlacedUnitIsAComponentSharingOnePinStore) {
    auto& u1 = Gate();
    Project.Compile();
    TSchComponent* unit1 = u1.Unit(1);
    TSchComponent* unit2 = u1.Unit(2);
    ASSERT_TRUE(unit1 && unit2);
    EXPECT_NE(unit1->UniqueId(), unit2->UniqueId());
    EXPECT_EQ(unit2->Designator(), "U1");
    EXPECT_EQ(unit2->PartCount(), 2);

    // Children: the field, then every pin of the symbol in order.
    ASSERT_EQ(unit2->ChildCount(), 6);
    EXPECT_EQ(unit2->Child(0)->ObjectId(), eSchParameter);
    EXPECT_FALSE(QueryInterface<ISch_Pin>(unit2->Child(0)));
    std::vector<std::string> designators;
    for (int i = 0; i < unit2->ChildCount(); ++i)
        if (auto pin = QueryInterface<ISch_Pin>(unit2->Child(i)))
            designators.push_back(pin->Designator());
    EXPECT_EQ(designators, (std::vector<std::string>{"1", "2", "3", "4", "7"}));
    EXPECT_FALSE(unit2->Child(6));

    // Writing through unit 2 is seen by unit 1 and by the compiled design pin at once.
    auto pin3ofUnit2 = QueryInterface<ISch_Pin>(unit2->Child(3));
    unit2->BeginModify();
    pin3ofUnit2->SetSwapId(eSwapId_Pair, "D1");
    unit2->EndModify();
    auto pin3ofUnit1 = QueryInterface<ISch_Pin>(unit1->Child(3));
    EXPECT_EQ(pin3ofUnit1->SwapId(eSwapId_Pair), "D1");
    EXPECT_EQ(pin3ofUnit1->SwapId(eSwapId_PartPin), "IN1");
    TDesignComponent* gate = Compiled("U1");
    EXPECT_EQ(gate->Pin(2)->SwapId(eSwapId_Pair), "D1");
    EXPECT_EQ(gate->Pin(2)->PartNumber(), 2);
    EXPECT_EQ(gate->Pin(4)->PartNumber(), 0);
    EXPECT_TRUE(u1.Model().SwapIdsChanged());
    EXPECT_EQ(unit2->ModifyCount(), 1);
    EXPECT_FALSE(unit2->InModify());
}

TEST_F(TDesignFixture, SubPartsCountEveryUnitAndPlacedOnesSeparately) {
    auto& u5 = Sheet.AddComponent("U5", 4);
    u5.AddPin("1", 1);
    u5.Unplace(3);
    Project.Compile();
    TDesignComponent* c = Compiled("U5");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->SubPartCount(), 4);
    EXPECT_EQ(c->PlacedSubPartCount(), 3);
    EXPECT_EQ(c->SubPart(1)->UniqueId(), u5.UniqueId(2));
    EXPECT_EQ(c->SubPart(1)->PartNumber(), 2);
    EXPECT_EQ(c->SubPart(2)->UniqueId(), "") << "an unplaced unit has no instance";
    EXPECT_EQ(c->SubPart(1)->DocumentPath(), Sheet.Path());
    EXPECT_FALSE(c->SubPart(4));
}

TEST_F(TDesignFixture, UnitsOnAnotherSheetKeepTheirOwnDocument) {
    auto& sub = Project.AddSchematic("/virtual/d/sub.kicad_sch");
    auto& u1 = Gate();
    u1.MoveUnitTo(2, sub);
    Project.Compile();
    TDesignComponent* c = Compiled("U1");
    EXPECT_EQ(c->SubPart(0)->DocumentPath(), Sheet.Path());
    EXPECT_EQ(c->SubPart(1)->DocumentPath(), sub.Path());
    EXPECT_EQ(c->Pin(2)->DocumentPath(), sub.Path()) << "pin 3 belongs to unit 2";
    EXPECT_EQ(u1.Unit(2)->Sheet(), &sub.Model());
    EXPECT_EQ(sub.Model().Units().size(), 1u);
}

TEST_F(TDesignFixture, UniqueIdLookupFindsSchematicDesignAndBoardObjects) {
    auto& u1 = Gate();
    Pcb.AddFootprint("U1", u1).AddPad("1", 0, 0);
    Project.Compile();
    auto lookup = Model.UniqueIdLookup();
    lookup->Begin();

    auto unit2 = lookup->FindByUniqueId(u1.UniqueId(2), ISch_Component::IID);
    ASSERT_TRUE(unit2);
    EXPECT_EQ(static_cast<ISch_Component*>(unit2.get()), static_cast<ISch_Component*>(u1.Unit(2)))
        << "the result is the asked interface";
    auto sameByCase = lookup->FindByUniqueId(Text_Upper(u1.UniqueId(2)), ISch_Component::IID);
    EXPECT_EQ(sameByCase, unit2);

    auto design = QueryInterface<IComponent>(lookup->FindByUniqueId(u1.UniqueId(1), IComponent::IID));
    ASSERT_TRUE(design);
    EXPECT_EQ(design->Designator(), "U1");
    auto part = QueryInterface<IPart>(lookup->FindByUniqueId(u1.UniqueId(2), IPart::IID));
    ASSERT_TRUE(part);
    EXPECT_EQ(part->PartNumber(), 2);

    auto boardSide = Model.ComponentMappings(Pcb.Path())->MatchedBoardComponent(0);
    auto board = QueryInterface<IPCB_Component>(
        lookup->FindByUniqueId(boardSide->BoardObjectKey(), IPCB_Component::IID));
    ASSERT_TRUE(board);
    EXPECT_EQ(board.get(), static_cast<IPCB_Component*>(Pcb.Model().FindComponent("U1")));

    EXPECT_FALSE(lookup->FindByUniqueId(u1.UniqueId(1), IPCB_Component::IID)) << "no object offers that";
    EXPECT_FALSE(lookup->FindByUniqueId("\\no\\such", ISch_Component::IID));
    EXPECT_FALSE(lookup->FindByUniqueId("", IUnknown::IID));
    lookup->End();
    EXPECT_EQ(Model.LookupBegins, 1);
    EXPECT_EQ(Model.LookupEnds, 1);
}

TEST_F(TDesignFixture, NetLabelsAndPortsAtAPinShareItsLocationKey) {
    auto& j1 = Sheet.AddComponent("J1");
    auto& pin1 = j1.AddPin("1").Net("SIG").At(10, 20);
    auto& pin2 = j1.AddPin("2").Net("SIG").At(10, 25);
    Sheet.AddNetLabel("SIG", pin1).AddPort("SIG", pin1).AddNetLabel("SIG", 40, 40);
    Project.Compile();
    TDesignNet* sig = Model.Compiled()->Data()->FindNet("SIG");
    ASSERT_TRUE(sig);
    ASSERT_EQ(sig->MemberCount(1), 2);
    ASSERT_EQ(sig->MemberCount(2), 2);
    ASSERT_EQ(sig->MemberCount(3), 1);
    std::int32_t key1 = sig->Member(1, 0)->LocationKey();
    EXPECT_EQ(key1, pin1.Model().LocationKey());
    EXPECT_NE(key1, pin2.Model().LocationKey());
    auto countAt = [&](int list, std::int32_t key) {
        int n = 0;
        for (int i = 0; i < sig->MemberCount(list); ++i)
            n += sig->Member(list, i)->LocationKey() == key;
        return n;
    };
    EXPECT_EQ(countAt(1, key1), 1);
    EXPECT_EQ(countAt(2, key1), 1);
    EXPECT_EQ(countAt(3, key1), 1);
    EXPECT_EQ(countAt(2, pin2.Model().LocationKey()), 0);
    // Pins at the same point of the same sheet share a key; the same point elsewhere does not.
    EXPECT_EQ(LocationKeyOf(Sheet.Path(), 10, 20), key1);
    EXPECT_NE(LocationKeyOf("/virtual/d/other.kicad_sch", 10, 20), key1);
    EXPECT_FALSE(sig->Member(4, 0));
}

TEST_F(TDesignFixture, DesignDifferentialPairsFollowNetNames) {
    auto& j1 = Sheet.AddComponent("J1");
    j1.AddPin("1").Net("RX_P");
    j1.AddPin("2").Net("RX_N");
    j1.AddPin("3").Net("TX_P");
    // A sheet's own design data takes its nets from the schematic.
    IPtr<IDocument> sheetDocument = Model.FindDocument(Sheet.Path());
    ASSERT_EQ(sheetDocument->DifferentialPairCount(), 1);
    auto pair = sheetDocument->DifferentialPair(0);
    EXPECT_EQ(pair->Name(), "RX");
    ASSERT_EQ(pair->NetCount(), 2);
    EXPECT_EQ(pair->Net(0)->Name(), "RX_P");
    EXPECT_EQ(pair->Net(1)->Name(), "RX_N");
}

TEST_F(TDesignFixture, DocumentsKnowTheirKindProjectAndComponents) {
    auto& u1 = Gate();
    Pcb.AddFootprint("U1", u1).AddPad("1", 0, 0);
    Pcb.AddFootprint("MH1").AddPad("1", 9, 9);
    IWorkspace* workspace = &Host.Workspace();
    auto sheet = workspace->DocumentByPath(Sheet.Path());
    auto board = workspace->DocumentByPath(Pcb.Path());
    ASSERT_TRUE(sheet && board);
    EXPECT_EQ(sheet->Kind(), "SCH");
    EXPECT_EQ(board->Kind(), "PCB");
    EXPECT_EQ(board->FileName(), Pcb.Path());
    EXPECT_EQ(board->OwningProject().get(), static_cast<IProject*>(&Model));
    EXPECT_EQ(sheet->ComponentCount(), 1);
    EXPECT_EQ(sheet->Component(0)->Designator(), "U1");
    ASSERT_EQ(board->ComponentCount(), 2) << "the board document lists its footprints";
    EXPECT_EQ(board->Component(1)->Designator(), "MH1");
    EXPECT_FALSE(workspace->DocumentByPath("/virtual/d/none.kicad_sch"));

    EXPECT_EQ(Model.FileName(), "d.kicad_pro");
    EXPECT_EQ(Model.FullPath(), "/virtual/d/d.kicad_pro");
    EXPECT_TRUE(Model.IsPCBProject());
    EXPECT_TRUE(Model.AllowPinSwapping());
    EXPECT_FALSE(Model.AllowNetLabelSwapping());
    Project.AllowPinSwapping(false).AllowNetLabelSwapping(true);
    EXPECT_FALSE(Model.AllowPinSwapping());
    EXPECT_TRUE(Model.AllowNetLabelSwapping());
    EXPECT_EQ(Model.DocumentCount(), 2);
    EXPECT_EQ(workspace->ProjectCount(), 1);
    EXPECT_EQ(workspace->Project(0).get(), static_cast<IProject*>(&Model));
}

TEST_F(TDesignFixture, FreeDocumentsBelongToTheFreeDocumentsProject) {
    auto& loose = Host.AddFreeBoard("/virtual/loose.kicad_pcb");
    loose.AddFootprint("R9").AddPad("1", 0, 0).Net("N");
    IWorkspace* workspace = &Host.Workspace();
    auto document = workspace->DocumentByPath(loose.Path());
    ASSERT_TRUE(document);
    auto free = workspace->FreeDocumentsProject();
    EXPECT_EQ(document->OwningProject(), free);
    EXPECT_FALSE(free->IsPCBProject());
    EXPECT_EQ(workspace->ProjectCount(), 1) << "the free-documents project is not listed";
    EXPECT_EQ(document->ComponentCount(), 1);
    auto board = QueryInterface<IPCB_ServerInterface>(Host.Client())->BoardByDocumentPath(loose.Path());
    EXPECT_EQ(board.get(), static_cast<IPCB_Board*>(&loose.Model()));
    EXPECT_THROW(Host.AddFreeBoard("/virtual/loose.kicad_pcb"), std::invalid_argument);
}

TEST_F(TDesignFixture, SelectionCountsKindsAndLibrariesOfferTheirState) {
    auto& u1 = Gate();
    auto& r1 = Sheet.AddComponent("R1");
    Sheet.Select(r1).Select(u1, 2).MakeCurrent();
    IPtr<ISch_ServerInterface> sch = QueryInterface<ISch_ServerInterface>(Host.Client());
    ASSERT_TRUE(sch);
    auto current = sch->CurrentSheet();
    ASSERT_TRUE(current);
    EXPECT_EQ(current->SelectionCount(), 2);
    EXPECT_EQ(current->SelectedCountOfKinds(std::uint64_t(1) << eSchComponent), 2);
    EXPECT_EQ(current->SelectedCountOfKinds(std::uint64_t(1) << eSchPin), 0);
    auto second = QueryInterface<ISch_Component>(current->SelectedObject(1));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->UniqueId(), u1.UniqueId(2));
    EXPECT_FALSE(current->SelectedObject(2));
    EXPECT_FALSE(QueryInterface<ISch_Lib>(sch->CurrentDocument()));

    auto& library = Project.AddLibrary("/virtual/d/parts.kicad_sym");
    library.AddComponent("74HC00", 4).AddPin("1", 1).PinSwap("A");
    library.CurrentComponentState(3).MakeCurrent();
    EXPECT_FALSE(sch->CurrentSheet());
    auto lib = QueryInterface<ISch_Lib>(sch->CurrentDocument());
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->CurrentComponentState(), 3);
    EXPECT_FALSE(QueryInterface<ISch_Sheet>(sch->CurrentDocument()));
    auto libraryDocument = Host.Workspace().DocumentByPath(library.Path());
    EXPECT_EQ(libraryDocument->Kind(), "SCHLIB");
    ASSERT_EQ(libraryDocument->ComponentCount(), 1);
    EXPECT_EQ(libraryDocument->Component(0)->Pin(0)->SwapId(eSwapId_Pin), "A");
    EXPECT_EQ(sch->SheetByPath(Sheet.Path()).get(), static_cast<ISch_Sheet*>(&Sheet.Model()));
    EXPECT_FALSE(sch->SheetByPath(library.Path()));
}

TEST_F(TDesignFixture, ImplementationsAndDeviceKeysReachTheDesignComponent) {
    auto& fpga = Sheet.AddComponent("U9")
                     .DeviceKey("XC7A35T")
                     .Implementation("PCBLIB", "FGG484", "")
                     .Implementation("PINFILE", "u9.pin", "/virtual/d/u9.pin");
    fpga.AddPin("A1");
    Project.Compile();
    TDesignComponent* c = Compiled("U9");
    EXPECT_EQ(c->DeviceKey(), "XC7A35T");
    ASSERT_EQ(c->ImplementationCount(), 2);
    EXPECT_EQ(c->Implementation(1)->ModelName(), "u9.pin");
    ASSERT_EQ(c->ChildItemCount(), 1) << "only the implementation with a file is a child item";
    EXPECT_EQ(c->ChildItem(0)->FileName(), "u9.pin");
    EXPECT_EQ(c->ChildItem(0)->FullPath(), "/virtual/d/u9.pin");
    c->Refresh();
    EXPECT_EQ(c->RefreshCount, 1);
}

TEST(DesignWithoutBuilders, ModelFilledDirectlyCompilesLikeABuiltOne) {
    // What a file loader does: create the model objects and hand them to the host.
    THost host;
    TProject& project = host.Workspace().AddProject("/virtual/l/l.kicad_pro");
    auto sheet = MakeObject<TSchDocument>("/virtual/l/l.kicad_sch", false);
    auto symbol = sheet->AddSymbol("Q1", 1);
    symbol->AddPin("1", 0).LoadSwapId(eSwapId_Pin, "S");
    symbol->AddPin("2", 0).LoadSwapId(eSwapId_Pin, "S");
    sheet->PlaceUnit(symbol, 1, "\\root\\q1");
    host.AddSchematicDocument(project, *sheet);

    auto board = MakeObject<TBoard>("/virtual/l/l.kicad_pcb");
    auto footprint = MakeObject<TPcbComponent>();
    footprint->SetNameText("Q1");
    footprint->SetSourceUniqueId("\\ROOT\\Q1");
    footprint->SetKey("fp-q1");
    board->Place(footprint.get());
    for (const char* name : {"1", "2"}) {
        auto pad = MakeObject<TPad>();
        pad->SetName(name);
        pad->SetSize(MM(1), MM(1));
        pad->SetPosition(name[0] == '1' ? 0 : MM(3), 0);
        footprint->AddPad(pad.get());
        board->Place(pad.get());
        pad->AssignNet(&board->EnsureNet(std::string("NET") + name));
    }
    host.AddBoardDocument(project, *board);
    project.Compile();

    auto mappings = project.ComponentMappings(board->Path());
    ASSERT_EQ(mappings->MatchedCount(), 1) << "paths match without regard to case";
    auto pins = mappings->MatchedSchematicComponent(0);
    EXPECT_EQ(pins->Pin(1)->OwningNet()->Name(), "NET2");
    EXPECT_EQ(pins->Pin(1)->SwapId(eSwapId_Pin), "S");
    EXPECT_EQ(symbol->Pins()[0]->WriteCount(), 0) << "loading is not writing";
    EXPECT_EQ(QueryInterface<IPCB_ServerInterface>(host.Client())->BoardByDocumentPath(board->Path()).get(),
              static_cast<IPCB_Board*>(board.get()));
}

// The location key as first written: the whole text formatted, then hashed.
std::int32_t FormattedLocationKey(std::string_view sheetPath, double x, double y) {
    const std::string text = fmt::format("{}|{:.3f}|{:.3f}", sheetPath, x, y);
    std::uint32_t h = 2166136261u;
    for (unsigned char c : text)
        h = (h ^ c) * 16777619u;
    return std::int32_t(h & 0x7FFFFFFF);
}

TEST(LocationKeys, HashingPieceByPieceGivesTheKeyOfTheFormattedText) {
    std::mt19937_64 random(5);
    std::vector<double> values = {0.0,    -0.0, -0.0004, 0.0005, -0.0005, 0.0015,
                                  2.5e-4, 1e6,  -1e9,    1e70,   -3e200};
    // Exact ties at the fourth decimal (sixteenths), points on KiCad's grids, pin ends placed by
    // a rotation, and values a hair either side of a rounding boundary.
    for (int k = -4000; k <= 4000; ++k) {
        values.push_back(k / 16.0);
        values.push_back(k * 0.0001);
        values.push_back(k * 1.27 + 0.635);
    }
    std::uniform_int_distribution<int> grid(-200000, 200000), step(-80, 80);
    std::uniform_real_distribution<double> angle(0, 6.283185307179586);
    for (int i = 0; i < 20000; ++i) {
        const double a = angle(random);
        values.push_back(grid(random) * 0.0254 + std::cos(a) * step(random) * 1.27);
        const double boundary = grid(random) * 0.001 + 0.0005;
        values.push_back(std::nextafter(boundary, -1e300));
        values.push_back(boundary);
        values.push_back(std::nextafter(boundary, 1e300));
    }
    std::size_t checked = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double x = values[i], y = values[(i * 7919 + 13) % values.size()];
        for (const char* sheet : {"", "/", "/Power/Sub sheet/"}) {
            ASSERT_EQ(LocationKeyOf(sheet, x, y), FormattedLocationKey(sheet, x, y))
                << sheet << " " << fmt::format("{:.17g} {:.17g}", x, y);
            ++checked;
        }
    }
    EXPECT_GT(checked, 200000u);
}
