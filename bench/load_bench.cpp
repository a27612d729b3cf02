// Whole-board figures of the stand-in host: opening a shared KiCad project (board and sheet
// hierarchy), then the copper islands and the ratsnest of every net.
#include "pcbhost/project/KicadProject.h"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

const char* const cBoards[] = {
    "pico-ice/Board/Rev3/pico-ice.kicad_pro",
    "ccpu-eth/boards/eth/eth.kicad_pro",
    "eurorack-pmod/hardware/eurorack-pmod-r3.3/eurorack-pmod-pcb.kicad_pro",
    "icebreaker/hardware/v1.0e/icebreaker.kicad_pro",
    "glasgow/hardware/boards/glasgow/glasgow.kicad_pro",
    "glasgow/hardware/boards/glasgow/glasgow-unrouted.kicad_pcb",
};

std::string PathOf(int index) {
    return (fs::path(PERMUTOR_SHARED_DIR) / "boards" / cBoards[index]).string();
}

void Connectivity(pcbhost::TBoard& board, std::size_t& islands, std::size_t& connections) {
    islands = connections = 0;
    for (pcbhost::TPcbNet* net : board.NetList()) {
        islands += net->Islands().size();
        connections += net->Ratsnest().size();
    }
}

// Open + islands + ratsnest, the work before any swap can start.
void BM_LoadIslandsRatsnest(benchmark::State& state) {
    const std::string path = PathOf(int(state.range(0)));
    std::size_t islands = 0, connections = 0, primitives = 0;
    for (auto _ : state) {
        pcbhost::THost host;
        auto project = pcbhost::kicad::TKicadProject::Open(host, path);
        Connectivity(*project->Board(), islands, connections);
        primitives = project->Board()->PrimitiveList().size();
        benchmark::DoNotOptimize(islands);
    }
    state.SetLabel(fs::path(path).filename().string());
    state.counters["primitives"] = double(primitives);
    state.counters["islands"] = double(islands);
    state.counters["connections"] = double(connections);
}
BENCHMARK(BM_LoadIslandsRatsnest)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->Iterations(3);

// Islands and ratsnest alone, recomputed after every net was marked out of date.
void BM_IslandsRatsnest(benchmark::State& state) {
    pcbhost::THost host;
    auto project = pcbhost::kicad::TKicadProject::Open(host, PathOf(int(state.range(0))));
    std::size_t islands = 0, connections = 0;
    for (auto _ : state) {
        for (pcbhost::TPcbNet* net : project->Board()->NetList())
            net->MarkDirty();
        Connectivity(*project->Board(), islands, connections);
    }
    state.SetLabel(fs::path(PathOf(int(state.range(0)))).filename().string());
    state.counters["islands"] = double(islands);
}
BENCHMARK(BM_IslandsRatsnest)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
