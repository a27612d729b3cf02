// The swap report's rows come from an index of the pads still to be settled by the net they hold.
// Here they are held against the plain search (every later pad tried for each pad) on components
// whose nets were shuffled, repeated nets and nets from outside included, and replayed.
#include "pcbhost/cli/SwapReport.h"
#include "pcbhost/model/Host.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

using namespace pcbhost;
using namespace pcbhost::cli;

namespace {

// The rows of one component by the plain search.
std::vector<TSwapRow> PlainRows(TPcbComponent& component, const TPadNets& before) {
    struct TChange {
        TPad* Pad;
        std::string Now, Wanted;
    };
    std::vector<TChange> changes;
    for (TPad* pad : component.Pads()) {
        const std::string now = pad->OwnerNet() ? pad->OwnerNet()->Name() : "";
        if (before.at(pad) != now)
            changes.push_back({pad, before.at(pad), now});
    }
    std::vector<TSwapRow> rows;
    for (std::size_t i = 0; i < changes.size(); ++i) {
        TChange& a = changes[i];
        if (a.Now == a.Wanted)
            continue;
        TChange* holder = nullptr;
        for (std::size_t j = i + 1; j < changes.size(); ++j) {
            TChange& b = changes[j];
            if (b.Now != a.Wanted || b.Now == b.Wanted)
                continue;
            if (!holder || b.Wanted == a.Now)
                holder = &b;
            if (b.Wanted == a.Now)
                break;
        }
        if (!holder) {
            rows.push_back({component.NameText(), a.Pad->Name(), "", a.Now, "", a.Wanted, ""});
        } else {
            rows.push_back({component.NameText(), a.Pad->Name(), holder->Pad->Name(), a.Now, holder->Now,
                            holder->Now, a.Now});
            holder->Now = a.Now;
        }
        a.Now = a.Wanted;
    }
    return rows;
}

std::string Text(const std::vector<TSwapRow>& rows) {
    std::string out;
    for (const auto& r : rows)
        out += r.Component + " " + r.PinA + "/" + r.PinB + " " + r.NetABefore + "," + r.NetBBefore + " -> " +
               r.NetAAfter + "," + r.NetBAfter + "\n";
    return out;
}

} // namespace

TEST(SwapRows, ShuffledNetsGiveThePlainSearchsRowsAndReplayToTheBoard) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        THost host;
        auto& pcb = host.AddFreeBoard("/virtual/s/s.kicad_pcb");
        auto& u1 = pcb.AddFootprint("U1").PinSwapEnabled(true);
        auto& j1 = pcb.AddFootprint("J1");
        // Few nets for many pads: nets repeat, and pads without a net take part too.
        const int pads = 20 + int(seed) * 7, nets = 3 + int(seed % 5) * 4;
        for (int p = 0; p < pads; ++p) {
            const int n = int(random() % unsigned(nets + 1));
            u1.AddPad("P" + std::to_string(p), p, 0).Net(n == nets ? "" : "N" + std::to_string(n));
        }
        j1.AddPad("1", 0, 10).Net("OUTSIDE");
        TBoard& board = pcb.Model();
        const TPadNets before = PadNets_Of(board);

        // Shuffle the nets among the pads, then move a few pads to a net of their own or outside.
        std::vector<TPcbNet*> held;
        for (TPad* pad : u1.Model().Pads())
            held.push_back(pad->OwnerNet());
        std::shuffle(held.begin(), held.end(), random);
        for (std::size_t p = 0; p < held.size(); ++p)
            u1.Model().Pads()[p]->AssignNet(held[p]);
        if (seed % 3 == 0)
            u1.Model().Pads()[1]->AssignNet(board.FindNet("OUTSIDE"));
        if (seed % 4 == 0)
            u1.Model().Pads()[2]->AssignNet(nullptr);

        const auto rows = SwapRows_Between(board, before, board.SwapLog());
        EXPECT_EQ(Text(rows), Text(PlainRows(u1.Model(), before)));
        EXPECT_FALSE(rows.empty());

        // Replayed on the nets as read, the rows end on the board's nets.
        std::map<std::string, std::string> replay;
        for (TPad* pad : u1.Model().Pads())
            replay[pad->Name()] = before.at(pad);
        for (const auto& r : rows) {
            EXPECT_EQ(replay[r.PinA], r.NetABefore);
            replay[r.PinA] = r.NetAAfter;
            if (!r.PinB.empty()) {
                EXPECT_EQ(replay[r.PinB], r.NetBBefore);
                replay[r.PinB] = r.NetBAfter;
            }
        }
        for (TPad* pad : u1.Model().Pads())
            EXPECT_EQ(replay[pad->Name()], pad->OwnerNet() ? pad->OwnerNet()->Name() : "") << pad->Name();
    }
}
