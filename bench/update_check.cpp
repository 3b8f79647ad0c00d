// The update step and the offer run on every 4 ms tick of the main thread (the menu asks for the
// offer to decide whether to rebuild); these measure that per-tick share when no check is due,
// plus the parsers that run once per check.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/common/stop_signal.hpp"
#include "core/update/release.hpp"
#include "core/update/stored_state.hpp"
#include "core/update/update_check.hpp"
#include "core/update/version.hpp"

namespace thumbrover {
namespace {

std::filesystem::path bench_state_file() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "thumbrover-bench.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    const auto path = std::filesystem::path(pattern) / "update.toml";
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    const StoredUpdate stored{now, Release{"0.2.0", "https://thumbrover.app/download",
                                           "Smoother scrolling and a sharper ring."}};
    if (!save_stored_update(path, stored)) std::abort();
    return path;
}

UpdateCheckDeps no_network(const std::filesystem::path& state_file) {
    UpdateCheckDeps deps;
    deps.state_file = state_file;
    deps.fetch = [](StopToken) -> Result<Release> { return Error{"no network in a benchmark"}; };
    deps.start_thread = [](std::function<void()>) { std::abort(); };
    return deps;
}

void BM_UpdateStepNotDue(benchmark::State& state) {
    const auto path = bench_state_file();
    UpdateCheck check(no_network(path));
    check.step();
    for (auto _ : state)
        check.step();
    std::filesystem::remove_all(path.parent_path());
}
BENCHMARK(BM_UpdateStepNotDue);

void BM_CurrentOffer(benchmark::State& state) {
    const auto path = bench_state_file();
    UpdateCheck check(no_network(path));
    for (auto _ : state)
        benchmark::DoNotOptimize(check.current_offer());
    std::filesystem::remove_all(path.parent_path());
}
BENCHMARK(BM_CurrentOffer);

void BM_ParseVersion(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(parse_version(" v12.345.6789-rc1 "));
}
BENCHMARK(BM_ParseVersion);

void BM_ReleaseFromJson(benchmark::State& state) {
    const std::string json =
        R"({"version":"0.2.0","url":"https://thumbrover.app/download","notes":"Smoother )"
        R"(scrolling and a sharper ring.","published":"2024-05-01"})";
    for (auto _ : state)
        benchmark::DoNotOptimize(release_from_json(json));
}
BENCHMARK(BM_ReleaseFromJson);

}  // namespace
}  // namespace thumbrover

BENCHMARK_MAIN();
