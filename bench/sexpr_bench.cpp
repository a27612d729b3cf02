// Parse and render times of the shared KiCad files, the largest board first. Loading a board is on
// the path of every command, so parsing has to stay far below the time a user notices.
#include "pcbhost/kicad/FileIO.h"
#include "pcbhost/kicad/SExpr.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

using namespace pcbhost::sexpr;
namespace fs = std::filesystem;

namespace {

const fs::path kBoards = fs::path(PERMUTOR_SHARED_DIR) / "boards";

const char* const kFiles[] = {
    "glasgow/hardware/boards/glasgow/glasgow.kicad_pcb",
    "ccpu-eth/boards/eth/eth.kicad_pcb",
    "pico-ice/Board/Rev3/pico-ice.kicad_pcb",
    "icebreaker/hardware/v1.0e/icebreaker.kicad_pcb",
    "eurorack-pmod/hardware/eurorack-pmod-r3.3/eurorack-pmod-pcb.kicad_pcb",
    "icebreaker/hardware/v1.0e/icebreaker.kicad_sch",
};

void parseFile(benchmark::State& state, const char* relative) {
    const std::string bytes = readFile(kBoards / relative);
    std::size_t nodes = 0;
    for (auto _ : state) {
        const Document doc = Document::parse(bytes, relative);
        nodes = doc.nodeCount();
        benchmark::DoNotOptimize(nodes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.counters["nodes"] = static_cast<double>(nodes);
    state.counters["MB"] = static_cast<double>(bytes.size()) / 1e6;
}

// A save: one net changed on every pad that has one, then render and re-read.
void editRenderReparse(benchmark::State& state) {
    const std::string bytes = readFile(kBoards / kFiles[0]);
    const Document original = Document::parse(bytes, kFiles[0], "kicad_pcb");
    std::size_t edits = 0;
    for (auto _ : state) {
        Document doc = original;
        edits = 0;
        for (const Node footprint : doc.root().findAll("footprint")) {
            for (const Node pad : footprint.findAll("pad")) {
                if (const Node net = pad.find("net")) {
                    doc.setAtom(net[1], "0");
                    doc.setAtom(net[2], "");
                    edits += 2;
                }
            }
        }
        const Document again = doc.reparse();
        benchmark::DoNotOptimize(again.nodeCount());
    }
    state.counters["splices"] = static_cast<double>(edits);
}

void renderUnchanged(benchmark::State& state) {
    const Document doc = Document::parse(readFile(kBoards / kFiles[0]), kFiles[0]);
    for (auto _ : state) {
        std::string out = doc.render();
        benchmark::DoNotOptimize(out.data());
    }
}

} // namespace

BENCHMARK_CAPTURE(parseFile, glasgow_pcb, kFiles[0])->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(parseFile, ccpu_eth_pcb, kFiles[1])->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(parseFile, pico_ice_pcb, kFiles[2])->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(parseFile, icebreaker_pcb, kFiles[3])->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(parseFile, eurorack_pcb, kFiles[4])->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(parseFile, icebreaker_sch, kFiles[5])->Unit(benchmark::kMillisecond);
BENCHMARK(renderUnchanged)->Unit(benchmark::kMillisecond);
BENCHMARK(editRenderReparse)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
