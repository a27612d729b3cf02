// The round trip of one candidate query through the shared block to the stand-in tool running as
// its own process: the median of 100 queries (the cache emptied before each, so every one goes to
// the tool), with the module's specified 100 ms poll and with shorter polls, to show what the poll
// interval costs. Usage: kestrel_bench [QUERIES]
#include "permutor/provider/KestrelProvider.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace permutor::provider;

namespace {

constexpr const char* cConfig = R"(<pinConfiguration component="U1">
  <swapSet name="BANK0"><pin name="1" signal="S1"/><pin name="2" signal="S2"/><pin name="3" signal="S3"/></swapSet>
</pinConfiguration>
)";

pid_t StartTool(const fs::path& folder) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("TEMP", folder.c_str(), 1);
        ::freopen("/dev/null", "w", stdout);
        ::execl(KESTREL_TOOL_PATH, KESTREL_TOOL_PATH, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

struct TFigures {
    double Median = 0, Min = 0, Max = 0;
};

TFigures Measure(const std::string& block, const std::string& config, std::int32_t pollMs, int queries) {
    TKestrelProvider provider(cKestrelWaitMs, pollMs, block);
    provider.SetKESTRELCfgPath(config);
    std::vector<double> ms;
    for (int i = 0; i < queries; ++i) {
        provider.ClearCache();
        const auto start = std::chrono::steady_clock::now();
        const std::int32_t status = provider.SwapPins("1", "2", true);
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        if (status != 200) {
            std::fprintf(stderr, "query %d: status %d\n", i, status);
            std::exit(1);
        }
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.front(), ms.back()};
}

} // namespace

int main(int argc, char** argv) {
    const int queries = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    std::string pattern = (fs::temp_directory_path() / "kestrel-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return 1;
    const fs::path folder = pattern;
    const std::string config = (folder / "KESTREL.pincfg").string();
    std::ofstream(config) << cConfig;
    const std::string block = (folder / cBlockFileName).string();

    const pid_t tool = StartTool(folder);
    // Serving once the block is there and the tool has looked at it.
    for (int i = 0; i < 200 && !fs::exists(block); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    std::printf("round trip of one get_swap_pins query to the stand-in tool, %d queries each\n", queries);
    std::printf("%-12s %10s %10s %10s\n", "module poll", "median ms", "min ms", "max ms");
    double at100 = 0, at1 = 0;
    for (std::int32_t poll : {100, 10, 1}) {
        const TFigures f = Measure(block, config, poll, queries);
        std::printf("%9d ms %10.2f %10.2f %10.2f\n", poll, f.Median, f.Min, f.Max);
        if (poll == 100)
            at100 = f.Median;
        if (poll == 1)
            at1 = f.Median;
    }
    std::printf("the 100 ms poll costs %.2f ms of the %.2f ms median (the tool's own work and a 1 ms poll: "
                "%.2f ms)\n",
                at100 - at1, at100, at1);

    ::kill(tool, SIGTERM);
    ::waitpid(tool, nullptr, 0);
    fs::remove_all(folder);
    return 0;
}
