// The swap model's hot paths on generated boards of 200, 2,000 and 10,000 swappable sub-nets:
// the intersection refresh of one sub-net (plain walk over the swappable list, and through the
// spatial index), and a swap transaction (begin then rollback, begin then commit).
#include "permutor/host/Services.h"
#include "permutor/model/SwapDataSet.h"

#include "pcbhost/model/Host.h"
#include "tests/model/RandomBoard.h"

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <random>

using namespace permutor::model;

namespace {

constexpr std::int32_t cPinsPerComponent = 8;

// One host and one built data set per size, made on first use and kept for every benchmark.
struct TBoardCase {
    pcbhost::THost Host;
    std::unique_ptr<TSwapDataSet> Set;
};

TSwapDataSet& DataSet(std::int64_t subNets) {
    static std::map<std::int64_t, std::unique_ptr<TBoardCase>> cases;
    auto& c = cases[subNets];
    if (!c) {
        c = std::make_unique<TBoardCase>();
        permutor::host::Client_Set(c->Host.Client().get());
        auto& project = c->Host.AddProject("/virtual/b/b.kicad_pro");
        auto& sch = project.AddSchematic("/virtual/b/b.kicad_sch");
        auto& pcb = project.AddBoard("/virtual/b/b.kicad_pcb");
        testing::RandomBoard_Build(sch, pcb,
                                   {std::int32_t(subNets / cPinsPerComponent), cPinsPerComponent, 2, 12},
                                   std::uint32_t(subNets));
        c->Set = std::make_unique<TSwapDataSet>("/virtual/b/b.kicad_pcb", eSwap_Pins);
        c->Set->SetSuppressDialogs(true);
        c->Set->Build("", false);
    }
    permutor::host::Client_Set(c->Host.Client().get());
    return *c->Set;
}

void Refresh(benchmark::State& state, bool fast) {
    TSwapDataSet& set = DataSet(state.range(0));
    const auto& all = set.MasterSubNetList_Swappable;
    std::size_t i = 0, listed = 0;
    for (auto _ : state) {
        TSwapSubNet* s = all[i++ % all.Count()];
        fast ? s->BuildIntersectingSubNetList_Fast() : s->BuildIntersectingSubNetList_Plain();
        listed += s->FIntersectingSubNets.Count();
    }
    state.counters["swappable"] = double(all.Count());
    state.counters["crossings"] = double(set.TotalIntersectionCount());
    benchmark::DoNotOptimize(listed);
}

// Pairs of one group, as the random search proposes them.
void Transaction(benchmark::State& state, bool fast, bool commit) {
    TSwapDataSet& set = DataSet(state.range(0));
    set.SetFastCrossings(fast);
    set.RandomGenerator.SetSeed(1);
    const auto& groups = set.PinSwapGroups;
    std::int32_t g = 0;
    for (auto _ : state) {
        TSwapSubNet *a = nullptr, *b = nullptr;
        groups[std::size_t(g++) % groups.Count()]->GetRandomSubNetPair(a, b, 4);
        if (!a)
            continue;
        set.SwapSubNets_Begin(a, b);
        commit ? set.SwapSubNets_Commit(a, b) : set.SwapSubNets_Rollback(a, b);
    }
    set.SetFastCrossings(true);
}

void BM_Refresh_Plain(benchmark::State& state) {
    Refresh(state, false);
}
void BM_Refresh_Fast(benchmark::State& state) {
    Refresh(state, true);
}
void BM_BeginRollback_Plain(benchmark::State& state) {
    Transaction(state, false, false);
}
void BM_BeginRollback_Fast(benchmark::State& state) {
    Transaction(state, true, false);
}
void BM_BeginCommit_Plain(benchmark::State& state) {
    Transaction(state, false, true);
}
void BM_BeginCommit_Fast(benchmark::State& state) {
    Transaction(state, true, true);
}

#define SIZES ->Arg(200)->Arg(2000)->Arg(10000)->Unit(benchmark::kMicrosecond)
BENCHMARK(BM_Refresh_Plain) SIZES;
BENCHMARK(BM_Refresh_Fast) SIZES;
BENCHMARK(BM_BeginRollback_Plain) SIZES;
BENCHMARK(BM_BeginRollback_Fast) SIZES;
BENCHMARK(BM_BeginCommit_Plain) SIZES;
BENCHMARK(BM_BeginCommit_Fast) SIZES;

} // namespace

BENCHMARK_MAIN();
