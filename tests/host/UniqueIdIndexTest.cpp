// The unique-id lookup by index finds, for every key and interface, what walking every object of
// the project in lookup order finds, while units, footprints, documents and ids come and go; and
// it builds its index once per change, not once per lookup.
#include "pcbhost/model/Builder.h"
#include "pcbhost/model/Host.h"
#include "pcbhost/model/Schematic.h"
#include "permutor/host/Text.h"

#include <gtest/gtest.h>

#include <set>

using namespace pcbhost;
using permutor::host::Text_Upper;

namespace {

struct TUniqueIdIndexFixture : ::testing::Test {
    THost Host;
    TProjectBuilder& Project = Host.AddProject("/virtual/u/u.kicad_pro");
    TSchematicBuilder& Sheet = Project.AddSchematic("/virtual/u/u.kicad_sch");
    TSchematicBuilder& Sub = Project.AddSchematic("/virtual/u/sub.kicad_sch");
    TBoardBuilder& Pcb = Project.AddBoard("/virtual/u/u.kicad_pcb");
    TProject& Model = Project.Model();

    // Every key the project's objects have, in two spellings, and keys nothing has.
    std::vector<std::string> Keys() {
        std::vector<std::string> keys{"\\no\\such", "", "  "};
        for (const auto& d : Model.Documents()) {
            if (d->Sheet())
                for (const auto& u : d->Sheet()->Units())
                    keys.push_back(u->UniqueIdText());
            if (d->Board())
                for (TPcbComponent* c : d->Board()->ComponentList())
                    keys.push_back(c->Key());
        }
        if (Model.Compiled())
            for (const auto& c : Model.Compiled()->Data()->Components) {
                keys.push_back(c->UniqueIdText);
                for (const auto& p : c->Parts)
                    keys.push_back(p->UniqueId());
            }
        const std::size_t n = keys.size();
        for (std::size_t i = 0; i < n; ++i)
            keys.push_back(" " + Text_Upper(keys[i]) + " ");
        return keys;
    }

    // Both lookups agree on every key and interface; returns how many keys found something.
    std::size_t Agree() {
        std::size_t found = 0;
        for (const std::string& key : Keys())
            for (const TGuid* iid : {&ISch_Component::IID, &IComponent::IID, &IPart::IID,
                                     &IPCB_Component::IID, &IUnknown::IID}) {
                auto indexed = Model.Find(key, *iid);
                auto plain = Model.Find_Plain(key, *iid);
                EXPECT_EQ(indexed.get(), plain.get()) << "'" << key << "'";
                found += bool(indexed);
            }
        return found;
    }
};

} // namespace

TEST_F(TUniqueIdIndexFixture, FindsWhatTheWalkFindsAsObjectsComeAndGo) {
    std::vector<TComponentBuilder*> parts;
    for (int i = 0; i < 12; ++i) {
        auto& c = (i % 3 == 2 ? Sub : Sheet).AddComponent("U" + std::to_string(i + 1), 1 + i % 3);
        for (int unit = 1; unit <= 1 + i % 3; ++unit)
            c.AddPin(std::to_string(unit), unit).Net("N" + std::to_string(i * 10 + unit));
        if (i % 4 != 3)
            Pcb.AddFootprint("U" + std::to_string(i + 1), c).AddPad("1", i, 0);
        parts.push_back(&c);
    }
    Project.Compile();
    const std::size_t before = Agree();
    EXPECT_GT(before, 50u);

    // Looking up builds the index once; nothing changed, so it is not built again.
    const std::int32_t builds = Model.IdIndex().BuildCount();
    Agree();
    EXPECT_EQ(Model.IdIndex().BuildCount(), builds);

    // A unit taken off, a unit given the id of another (the first in lookup order wins).
    parts[4]->Unplace(2);
    parts[7]->SetUniqueId(1, parts[1]->UniqueId(1));
    Agree();
    EXPECT_GT(Model.IdIndex().BuildCount(), builds);

    // A footprint taken off the board and put back, another one added, one given a unit's id as
    // its key.
    TBoard& board = Pcb.Model();
    IPtr<TPcbComponent> u2(board.FindComponent("U2"));
    board.Unplace(u2.get());
    Agree();
    board.Place(u2.get());
    Agree();
    Pcb.AddFootprint("U4", *parts[3]).AddPad("1", 40, 0);
    Agree();
    board.FindComponent("U5")->SetKey(parts[0]->UniqueId(1));
    Agree();

    // A new compiled design, then a sheet leaving the project.
    Project.Compile();
    Agree();
    Model.RemoveDocument(&Sub.Document());
    EXPECT_GT(Agree(), 20u);
}

TEST_F(TUniqueIdIndexFixture, APlaceThatNoLongerHoldsItsKeyHasTheIndexBuiltAgain) {
    auto& u1 = Sheet.AddComponent("U1", 2);
    u1.AddPin("1", 1);
    u1.AddPin("2", 2);
    auto& u2 = Sheet.AddComponent("U2");
    u2.AddPin("1");
    const std::string first = u1.UniqueId(1), second = u2.UniqueId(1);
    ASSERT_TRUE(Model.Find(first, ISch_Component::IID));

    // Ids exchanged without the counter moving, as a change the index was not told of would.
    const std::uint64_t generation = GIdentityGeneration.load();
    u1.SetUniqueId(1, second);
    u2.SetUniqueId(1, first);
    GIdentityGeneration = generation;
    const std::int32_t builds = Model.IdIndex().BuildCount();
    auto found = Model.Find(first, ISch_Component::IID);
    ASSERT_TRUE(found);
    EXPECT_EQ(static_cast<ISch_Component*>(found.get()), static_cast<ISch_Component*>(u2.Unit(1)));
    EXPECT_EQ(Model.IdIndex().BuildCount(), builds + 1);
    EXPECT_GT(Agree(), 0u);
}
