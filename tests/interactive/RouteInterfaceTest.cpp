// A small router: it opens the built plug-in library, starts the module as a host does, takes
// the route-time interface from GetRoutePermutor and asks only through that interface about
// boards built in code on the stand-in host.
#include "pcbhost/model/Host.h"
#include "pcbhost/module/ModuleLoader.h"
#include "permutor/entry/Exports.h"
#include "permutor/host/Route.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using namespace permutor::host;
using namespace pcbhost;

namespace {

constexpr std::uint32_t cUnexpected = 0x8000FFFFu;

std::uint32_t Status(std::int32_t s) {
    return static_cast<std::uint32_t>(s);
}

// "U1-3" for a pad the interface handed out, read through the host's interfaces.
std::string Name(IPCB_Pad* pad) {
    if (!pad)
        return "nil";
    auto component = pad->Component();
    return (component ? component->NameText() : std::string("?")) + "-" + pad->Name();
}

class RouterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(Library.CreateServer(Host.Client().get(), Server), 0); }
    void TearDown() override {
        if (Server)
            Server->ReceiveShutdown();
        Server.reset();
    }

    IPtr<IRoutePermutor> NewRouter() {
        auto proc = reinterpret_cast<TGetRoutePermutorProc>(Library.Symbol("GetRoutePermutor"));
        EXPECT_NE(proc, nullptr);
        if (!proc)
            return {};
        // Whatever the slot held, the export stores nil first and then the interface.
        IRoutePermutor* raw = reinterpret_cast<IRoutePermutor*>(std::uintptr_t(0x10));
        EXPECT_EQ(proc(&raw), 0);
        return IPtr<IRoutePermutor>::Adopt(raw);
    }
    IPtr<IRoutePermutor> InitRouter(bool pairs, bool expected = true) {
        auto router = NewRouter();
        bool built = !expected;
        EXPECT_EQ(router->I_Init(Pcb.Model().FileName(), pairs, &built), 0);
        EXPECT_EQ(built, expected);
        return router;
    }

    IPCB_Pad* Pad(const std::string& designator, const std::string& name) {
        return &Pcb.Footprint(designator).Pad(name).Model();
    }
    bool Swapable(IRoutePermutor* router, IPCB_Primitive* p) {
        bool r = true;
        EXPECT_EQ(router->I_IsPinSwapable(p, &r), 0);
        return r;
    }
    bool Swapable(IRoutePermutor* router, IPCB_Pad* a, IPCB_Pad* b) {
        bool r = true;
        EXPECT_EQ(router->I_ArePinsSwapable(a, b, &r), 0);
        return r;
    }
    std::string First(IRoutePermutor* router, IPCB_Primitive* p) {
        IPCB_Pad* raw = Unset(); // a value the call must overwrite
        EXPECT_EQ(router->I_FirstSwapPin(p, &raw), 0);
        return Taken(raw);
    }
    std::string Next(IRoutePermutor* router) {
        IPCB_Pad* raw = Unset();
        EXPECT_EQ(router->I_NextSwapPin(&raw), 0);
        return Taken(raw);
    }
    IPCB_Pad* Unset() { return FUnset.get(); }
    // The name of a pad handed out with a reference, which is released.
    std::string Taken(IPCB_Pad* raw) {
        EXPECT_NE(raw, Unset()) << "the result was not stored";
        if (raw == Unset())
            return "unset";
        return Name(IPtr<IPCB_Pad>::Adopt(raw).get());
    }
    // A whole enumeration: I_FirstSwapPin, then I_NextSwapPin until nil.
    std::vector<std::string> Enumerate(IRoutePermutor* router, IPCB_Primitive* p) {
        std::vector<std::string> names;
        for (std::string name = First(router, p); name != "nil" && names.size() < 100; name = Next(router))
            names.push_back(name);
        return names;
    }
    // SwapParts as rows of pad names, "-" for nil entries; empty with "nil" in `outerNil`.
    std::vector<std::vector<std::string>> Gates(IRoutePermutor* router, IPCB_Primitive* p, bool& nil) {
        IInterfaceList* raw = nullptr;
        EXPECT_EQ(router->SwapParts(p, &raw), 0);
        auto outer = IPtr<IInterfaceList>::Adopt(raw);
        nil = !outer;
        std::vector<std::vector<std::string>> rows;
        if (!outer)
            return rows;
        std::int32_t gates = -1;
        EXPECT_EQ(outer->Count(&gates), 0);
        for (std::int32_t g = 0; g < gates; ++g) {
            IUnknown* item = nullptr;
            EXPECT_EQ(outer->Get(g, &item), 0);
            auto inner = QueryInterface<IInterfaceList>(IPtr<IUnknown>::Adopt(item));
            EXPECT_TRUE(inner);
            std::vector<std::string> row;
            std::int32_t pins = 0;
            if (inner) {
                EXPECT_EQ(inner->Count(&pins), 0);
            }
            for (std::int32_t k = 0; k < pins; ++k) {
                IUnknown* pin = nullptr;
                EXPECT_EQ(inner->Get(k, &pin), 0);
                auto pad = QueryInterface<IPCB_Pad>(IPtr<IUnknown>::Adopt(pin));
                row.push_back(pad ? Name(pad.get()) : "-");
            }
            rows.push_back(row);
        }
        return rows;
    }

    // A component whose pins carry pin swap ids (empty: none), pads 2 mm apart on nets N<ref><i>.
    TFootprintBuilder& PinComponent(const std::string& designator, const std::vector<std::string>& ids,
                                    double x = 0) {
        auto& component = Sch.AddComponent(designator);
        auto& footprint = Pcb.AddFootprint(designator, component).PinSwapEnabled();
        for (std::size_t i = 0; i < ids.size(); ++i) {
            const std::string name = std::to_string(i + 1);
            auto& pin = component.AddPin(name);
            if (!ids[i].empty())
                pin.PinSwap(ids[i]);
            footprint.AddPad(name, x, 2.0 * double(i)).Net("N" + designator + name);
        }
        return footprint;
    }

    // The library first: it goes last, after the host and everything the module held of it.
    TModuleLibrary Library{PERMUTOR_MODULE_PATH};
    THost Host;
    TProjectBuilder& Project = Host.AddProject("/virtual/r/r.kicad_pro");
    TSchematicBuilder& Sch = Project.AddSchematic("/virtual/r/r.kicad_sch");
    TBoardBuilder& Pcb = Project.AddBoard("/virtual/r/r.kicad_pcb");
    IPtr<IServerModule> Server;
    IPtr<TPad> FUnset = MakeObject<TPad>();
};

TEST_F(RouterTest, EveryQueryBeforeASuccessfulInitIsFalseOrNil) {
    PinComponent("U1", {"A", "A", "A"});
    PinComponent("X1", {""}, 20);
    auto check = [&](IRoutePermutor* router) {
        EXPECT_FALSE(Swapable(router, Pad("U1", "1")));
        EXPECT_FALSE(Swapable(router, Pad("U1", "1"), Pad("U1", "2")));
        EXPECT_EQ(First(router, Pad("U1", "1")), "nil");
        EXPECT_EQ(Next(router), "nil");
        bool nil = false;
        EXPECT_TRUE(Gates(router, Pad("U1", "1"), nil).empty());
        EXPECT_TRUE(nil);
    };
    auto router = NewRouter();
    ASSERT_TRUE(router);
    check(router.get());

    // A document that is not open: the same.
    bool built = true;
    EXPECT_EQ(router->I_Init("/virtual/r/elsewhere.kicad_pcb", false, &built), 0);
    EXPECT_FALSE(built);
    check(router.get());

    // The same board answers once initialised.
    EXPECT_EQ(router->I_Init(Pcb.Model().FileName(), false, &built), 0);
    EXPECT_TRUE(built);
    EXPECT_TRUE(Swapable(router.get(), Pad("U1", "1"), Pad("U1", "2")));
    EXPECT_EQ(First(router.get(), Pad("U1", "1")), "U1-1");
}

TEST_F(RouterTest, AFreeDocumentOrABoardWithoutSwapComponentsMakesInitFalse) {
    PinComponent("U1", {"A", "A"});
    auto& free = Host.AddFreeBoard("/virtual/free/free.kicad_pcb");
    free.AddFootprint("U9").PinSwapEnabled().AddPad("1", 0, 0).Net("A");
    auto router = NewRouter();
    bool built = true;
    EXPECT_EQ(router->I_Init(free.Model().FileName(), false, &built), 0);
    EXPECT_FALSE(built);
    EXPECT_FALSE(Swapable(router.get(), &free.Footprint("U9").Pad("1").Model()));
    // Refused before any model is built: nothing reaches the messages panel.
    EXPECT_TRUE(Host.Messages().empty());

    // In a project but nothing enabled for swapping: the build fails and shows no box.
    Pcb.Footprint("U1").Model().SetPinSwappingEnabled(false);
    auto other = InitRouter(false, false);
    EXPECT_FALSE(Swapable(other.get(), Pad("U1", "1")));
    EXPECT_TRUE(Host.UI().Boxes().empty());
    ASSERT_FALSE(Host.Messages().empty());
    EXPECT_NE(Host.Messages().back().Text.find("No Components have been enabled for Swapping"),
              std::string::npos);
}

TEST_F(RouterTest, PinModeSwapsWithinOnePinGroupOnly) {
    PinComponent("U1", {"A", "A", "A", "B", "B", ""});
    PinComponent("X1", {"A"}, 20); // a group of one pin is no group
    auto router = InitRouter(false);
    IRoutePermutor* r = router.get();
    EXPECT_TRUE(Swapable(r, Pad("U1", "1")));
    EXPECT_TRUE(Swapable(r, Pad("U1", "5")));
    EXPECT_FALSE(Swapable(r, Pad("U1", "6")));
    EXPECT_FALSE(Swapable(r, Pad("X1", "1")));

    EXPECT_TRUE(Swapable(r, Pad("U1", "1"), Pad("U1", "3")));
    EXPECT_TRUE(Swapable(r, Pad("U1", "4"), Pad("U1", "5")));
    EXPECT_FALSE(Swapable(r, Pad("U1", "3"), Pad("U1", "4")));
    EXPECT_FALSE(Swapable(r, Pad("U1", "1"), Pad("U1", "6")));
    EXPECT_FALSE(Swapable(r, Pad("U1", "1"), Pad("X1", "1")));

    // The queried pin is part of its own enumeration; the end stays the end.
    EXPECT_EQ(Enumerate(r, Pad("U1", "2")), (std::vector<std::string>{"U1-1", "U1-2", "U1-3"}));
    EXPECT_EQ(Next(r), "nil");
    EXPECT_EQ(Next(r), "nil");
    EXPECT_EQ(Enumerate(r, Pad("U1", "5")), (std::vector<std::string>{"U1-4", "U1-5"}));
    EXPECT_TRUE(Enumerate(r, Pad("U1", "6")).empty());
}

TEST_F(RouterTest, EnumerationSkipsPinsWithoutASwappableSubNet) {
    auto& fp = PinComponent("U1", {"A", "A", "A", "A", "A"});
    // Pins 3 and 4 share copper: their sub-net belongs to neither. Pin 5's pad is kept out of
    // its net's islands: it has no sub-net at all.
    fp.Pad("4").Net("NU13");
    Pcb.AddTrack("NU13", {0, 4}, {0, 6}, 0.2);
    fp.Pad("5").Model().SetExcludedFromSubNets(true);
    auto router = InitRouter(false);
    IRoutePermutor* r = router.get();
    EXPECT_EQ(Enumerate(r, Pad("U1", "1")), (std::vector<std::string>{"U1-1", "U1-2"}));
    // A sub-net is enough to count as swappable, swap pin or not; without one, no.
    EXPECT_TRUE(Swapable(r, Pad("U1", "3")));
    EXPECT_FALSE(Swapable(r, Pad("U1", "5")));
    EXPECT_FALSE(Swapable(r, Pad("U1", "3"), Pad("U1", "1")));
    EXPECT_EQ(First(r, Pad("U1", "3")), "nil");
}

TEST_F(RouterTest, AFailedFirstSwapPinLeavesTheEnumerationWhereItWas) {
    PinComponent("U1", {"A", "A", "A", "A", ""});
    PinComponent("X1", {""}, 20);
    auto router = InitRouter(false);
    IRoutePermutor* r = router.get();
    EXPECT_EQ(First(r, Pad("U1", "1")), "U1-1");
    EXPECT_EQ(Next(r), "U1-2");
    EXPECT_EQ(First(r, Pad("U1", "5")), "nil"); // no group
    EXPECT_EQ(First(r, Pad("X1", "1")), "nil"); // no sub-net
    EXPECT_EQ(First(r, nullptr), "nil");
    EXPECT_EQ(Next(r), "U1-3");
    EXPECT_EQ(Next(r), "U1-4");
    EXPECT_EQ(Next(r), "nil");
}

TEST_F(RouterTest, PairModeSwapsWholePairsWithinTheirPairGroup) {
    auto& u3 = Sch.AddComponent("U3");
    auto& fp = Pcb.AddFootprint("U3", u3).PinSwapEnabled();
    const std::vector<std::pair<std::string, std::string>> pads = {
        {"1", "D0_P"}, {"2", "D0_N"}, {"3", "D1_P"}, {"4", "D1_N"}, {"5", "CLK"}};
    for (std::size_t i = 0; i < pads.size(); ++i) {
        u3.AddPin(pads[i].first).PairSwap("DP").PinSwap("A");
        fp.AddPad(pads[i].first, 3.0 * double(i), 0).Net(pads[i].second);
    }
    auto router = InitRouter(true);
    IRoutePermutor* r = router.get();
    EXPECT_FALSE(Swapable(r, Pad("U3", "1"), Pad("U3", "2"))); // one pair
    EXPECT_FALSE(Swapable(r, Pad("U3", "2"), Pad("U3", "2")));
    EXPECT_TRUE(Swapable(r, Pad("U3", "1"), Pad("U3", "3")));
    EXPECT_TRUE(Swapable(r, Pad("U3", "1"), Pad("U3", "4")));
    EXPECT_FALSE(Swapable(r, Pad("U3", "1"), Pad("U3", "5"))); // no pair pin: no group
    EXPECT_FALSE(Swapable(r, Pad("U3", "5")));

    // The pairs position by position, N before P; the enumeration walks pin groups only.
    bool nil = true;
    EXPECT_EQ(Gates(r, Pad("U3", "3"), nil),
              (std::vector<std::vector<std::string>>{{"U3-2", "U3-1"}, {"U3-4", "U3-3"}}));
    EXPECT_FALSE(nil);
    EXPECT_EQ(First(r, Pad("U3", "1")), "nil");

    // The same board in pin mode: one pin group of all five, no pair groups.
    auto pins = InitRouter(false);
    EXPECT_TRUE(Swapable(pins.get(), Pad("U3", "1"), Pad("U3", "2")));
    EXPECT_EQ(Enumerate(pins.get(), Pad("U3", "5")).size(), 5u);
    EXPECT_TRUE(Gates(pins.get(), Pad("U3", "1"), nil).empty());
    EXPECT_TRUE(nil);
}

TEST_F(RouterTest, GatesOfAPartGroupAreNotPartOfThePinModeModel) {
    // A quad gate with part swap data only: the route-time model of pins holds pin groups.
    auto& u2 = Sch.AddComponent("U2", 2);
    auto& fp = Pcb.AddFootprint("U2", u2).PartSwapEnabled().PinSwapEnabled();
    const char* keys[] = {"A", "B", "Y"};
    for (int unit = 1; unit <= 2; ++unit)
        for (int k = 0; k < 3; ++k) {
            const std::string name = std::to_string((unit - 1) * 3 + k + 1);
            u2.AddPin(name, unit).PartSwap("NAND").PartPinSwap(keys[k]).PinSwap(k < 2 ? "IN" : "");
            fp.AddPad(name, 0, 2.0 * std::stoi(name)).Net("N" + name);
        }
    auto router = InitRouter(false);
    bool nil = false;
    EXPECT_TRUE(Gates(router.get(), Pad("U2", "1"), nil).empty());
    EXPECT_TRUE(nil);
    EXPECT_TRUE(Swapable(router.get(), Pad("U2", "1"), Pad("U2", "5")));
    EXPECT_FALSE(Swapable(router.get(), Pad("U2", "3"), Pad("U2", "6")));
}

// A pad whose reference counting fails once armed: a host object that breaks mid-call.
class TBrokenPad : public TPad {
public:
    std::uint32_t AddRef() override {
        if (Armed)
            throw std::runtime_error("the host lost this pad");
        return TPad::AddRef();
    }
    bool Armed = false;
};

TEST_F(RouterTest, AnExceptionInsideACallBecomesTheFailureStatusAndLeavesTheResult) {
    PinComponent("U1", {"A", "A"});
    auto router = InitRouter(false);
    IRoutePermutor* r = router.get();
    auto broken = MakeObject<TBrokenPad>();
    broken->Armed = true;

    bool flag = true;
    EXPECT_EQ(Status(r->I_IsPinSwapable(broken.get(), &flag)), cUnexpected);
    EXPECT_TRUE(flag);
    flag = true;
    EXPECT_EQ(Status(r->I_ArePinsSwapable(Pad("U1", "1"), broken.get(), &flag)), cUnexpected);
    EXPECT_TRUE(flag);
    IPCB_Pad* keep = Pad("U1", "2");
    EXPECT_EQ(Status(r->I_FirstSwapPin(broken.get(), &keep)), cUnexpected);
    EXPECT_EQ(keep, Pad("U1", "2"));
    IInterfaceList* list = reinterpret_cast<IInterfaceList*>(std::uintptr_t(0x20));
    EXPECT_EQ(Status(r->SwapParts(broken.get(), &list)), cUnexpected);
    EXPECT_EQ(list, reinterpret_cast<IInterfaceList*>(std::uintptr_t(0x20)));
    broken->Armed = false;

    // No result slot is a failure too, never a crash.
    EXPECT_EQ(Status(r->I_IsPinSwapable(Pad("U1", "1"), nullptr)), cUnexpected);
    EXPECT_EQ(Status(r->I_NextSwapPin(nullptr)), cUnexpected);

    // The router still works after the failures.
    EXPECT_TRUE(Swapable(r, Pad("U1", "1"), Pad("U1", "2")));
}

TEST_F(RouterTest, TheInterfaceAnswersItsIdsAndTheListRefusesIndicesOutside) {
    auto router = NewRouter();
    EXPECT_TRUE(QueryInterface<IRoutePermutor>(router));
    EXPECT_TRUE(QueryInterface<IUnknown>(router));
    EXPECT_FALSE(QueryInterface<IInterfaceList>(router));
    EXPECT_EQ(IRoutePermutor::IID.ToString(), "{8D510271-8535-4E41-BA43-A37C88742271}");
    EXPECT_EQ(IInterfaceList::IID.ToString(), "{285DEA8A-B865-11D1-AAA7-00C04FB17A72}");

    auto& u3 = Sch.AddComponent("U3");
    auto& fp = Pcb.AddFootprint("U3", u3).PinSwapEnabled();
    const char* nets[] = {"D0_P", "D0_N", "D1_P", "D1_N"};
    for (int i = 0; i < 4; ++i) {
        u3.AddPin(std::to_string(i + 1)).PairSwap("DP");
        fp.AddPad(std::to_string(i + 1), 3.0 * i, 0).Net(nets[i]);
    }
    auto pairs = InitRouter(true);
    IInterfaceList* raw = nullptr;
    ASSERT_EQ(pairs->SwapParts(Pad("U3", "1"), &raw), 0);
    auto outer = IPtr<IInterfaceList>::Adopt(raw);
    ASSERT_TRUE(outer);
    IUnknown* item = reinterpret_cast<IUnknown*>(std::uintptr_t(0x30));
    EXPECT_EQ(Status(outer->Get(2, &item)), cUnexpected);
    EXPECT_EQ(Status(outer->Get(-1, &item)), cUnexpected);
    EXPECT_EQ(item, reinterpret_cast<IUnknown*>(std::uintptr_t(0x30)));
    EXPECT_EQ(Status(outer->Count(nullptr)), cUnexpected);
}

} // namespace
