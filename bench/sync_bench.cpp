// Sampling cost: one binary search and a blend per sample.
#include "sync.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

void BM_SampleTrack(benchmark::State& state)
{
    const int keyCount = static_cast<int>(state.range(0));
    std::vector<TrackKey> keys;
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (int i = 0; i < keyCount; ++i) keys.push_back({i * 3, value(random), i % 4});
    char name[] = "bench";
    SyncTrack track{name, keys.data(), keyCount};

    // Rows drawn up front so that the loop measures sampling alone.
    std::vector<double> rows(4096);
    std::uniform_real_distribution<double> row(-10.0, keyCount * 3.0 + 10.0);
    for (double& r : rows) r = row(random);

    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(sync_sample_track(&track, rows[i]));
        i = (i + 1) & (rows.size() - 1);
    }
}
BENCHMARK(BM_SampleTrack)->Arg(10)->Arg(10000);

} // namespace

BENCHMARK_MAIN();
