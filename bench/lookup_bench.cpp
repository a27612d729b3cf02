// The unique-id lookup as the data set's build uses it: every board component looked up by its key,
// once through the index and once by walking every object. The walk costs the project's size per
// lookup, so looking every component up grows with the square of the components; the index keeps
// it linear.
#include "pcbhost/model/Builder.h"
#include "pcbhost/model/Host.h"

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

using namespace pcbhost;

namespace {

struct TBoardOfParts {
    THost Host;
    TProjectBuilder& Project = Host.AddProject("/virtual/l/l.kicad_pro");
    std::vector<std::string> Keys;
    explicit TBoardOfParts(std::int32_t count) {
        auto& sheet = Project.AddSchematic("/virtual/l/l.kicad_sch");
        auto& pcb = Project.AddBoard("/virtual/l/l.kicad_pcb");
        for (std::int32_t i = 0; i < count; ++i) {
            const std::string designator = "R" + std::to_string(i + 1);
            auto& c = sheet.AddComponent(designator);
            c.AddPin("1").Net("N" + std::to_string(i));
            c.AddPin("2").Net("N" + std::to_string(i + 1));
            auto& fp = pcb.AddFootprint(designator, c);
            fp.AddPad("1", i, 0);
            fp.AddPad("2", i, 1);
        }
        Project.Compile();
        for (TPcbComponent* c : pcb.Model().ComponentList())
            Keys.push_back(c->Key());
    }
};

TBoardOfParts& Board(std::int32_t count) {
    static std::map<std::int32_t, std::unique_ptr<TBoardOfParts>> boards;
    auto& board = boards[count];
    if (!board)
        board = std::make_unique<TBoardOfParts>(count);
    return *board;
}

// Indexed and Fresh: the index is built again for every pass, as after a change.
template <bool Indexed, bool Fresh = false> void LookEveryComponentUp(benchmark::State& state) {
    TBoardOfParts& board = Board(std::int32_t(state.range(0)));
    TProject& project = board.Project.Model();
    for (auto _ : state) {
        if (Fresh)
            Identity_Changed();
        std::size_t found = 0;
        for (const std::string& key : board.Keys)
            found += bool(Indexed ? project.Find(key, IPCB_Component::IID)
                                  : project.Find_Plain(key, IPCB_Component::IID));
        if (found != board.Keys.size())
            state.SkipWithError("a component was not found");
        benchmark::DoNotOptimize(found);
    }
    state.counters["per lookup"] =
        benchmark::Counter(double(board.Keys.size()) * double(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_LookEveryComponentUp_Plain(benchmark::State& state) {
    LookEveryComponentUp<false>(state);
}
void BM_LookEveryComponentUp_Indexed(benchmark::State& state) {
    LookEveryComponentUp<true>(state);
}
void BM_LookEveryComponentUp_IndexedFresh(benchmark::State& state) {
    LookEveryComponentUp<true, true>(state);
}

} // namespace

BENCHMARK(BM_LookEveryComponentUp_Plain)->Arg(1000)->Arg(4000)->Arg(16000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LookEveryComponentUp_Indexed)->Arg(1000)->Arg(4000)->Arg(16000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LookEveryComponentUp_IndexedFresh)
    ->Arg(1000)
    ->Arg(4000)
    ->Arg(16000)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
