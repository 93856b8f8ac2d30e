// Cost of the estimation engines: the threshold search over 2, 202 and 1000
// recorded stimuli, the step rule at the last trial of a full run, and the
// background-task call that every loop pass makes.

#include "estimation/core/adaptive_pest.h"
#include "estimation/core/ml_pest.h"
#include "framework/core/background.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

namespace {

// Deterministic pseudo-random numbers, so every run times the same data.
class Lcg {
public:
    std::uint32_t next()
    {
        m_state = m_state * 1664525u + 1013904223u;
        return m_state >> 8;
    }
    double unit() { return static_cast<double>(next()) / 16777216.0; }

private:
    std::uint32_t m_state = 12345u;
};

// The two seeds of a run, then trials near a simulated threshold of 47 %
// with a spread of 10 %, as a real run concentrates its stimuli there.
estimation::MlPest makeData(int stimuli)
{
    estimation::MlPest ml;
    ml.startBestPest(30, 70);
    Lcg rng;
    while (ml.nrstimulus < stimuli) {
        const int stim = 40 + static_cast<int>(rng.next() % 15);
        const double pMep = 0.5 * std::erfc(-(stim - 47.0) / (4.7 * std::sqrt(2.0)));
        ml.insertstimulus(stim, rng.unit() < pMep ? 1 : 0);
    }
    return ml;
}

void BM_finalThreshold(benchmark::State& state)
{
    estimation::MlPest ml = makeData(static_cast<int>(state.range(0)));
    const long long callsBefore = fw::backgroundTaskCalls();
    for (auto _ : state)
        benchmark::DoNotOptimize(ml.finalThreshold(10.0));
    state.counters["yields/call"] = static_cast<double>(fw::backgroundTaskCalls() - callsBefore)
        / static_cast<double>(state.iterations());
}
BENCHMARK(BM_finalThreshold)->Arg(2)->Arg(202)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_funcfinal(benchmark::State& state)
{
    estimation::MlPest ml = makeData(static_cast<int>(state.range(0)));
    ml.relsigmafinal = 10.0;
    double t = 47.3;
    for (auto _ : state) {
        benchmark::DoNotOptimize(t);
        benchmark::DoNotOptimize(ml.funcfinal(t));
    }
}
BENCHMARK(BM_funcfinal)->Arg(1000)->Unit(benchmark::kMicrosecond);

// A full run of alternating pairs of responses; each iteration answers the
// 200th trial on a copy of the state after 199.
void BM_runpestTrial200(benchmark::State& state)
{
    estimation::AdaptivePest base;
    base.startstep = 4;
    base.mysetting = 50.0;
    for (int k = 1; k < estimation::AdaptivePest::kMaxTrials; ++k)
        base.mysetting = base.runpest((k / 2) % 2);
    for (auto _ : state) {
        estimation::AdaptivePest run = base;
        benchmark::DoNotOptimize(run.runpest(1));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_runpestTrial200)->Unit(benchmark::kMicrosecond);

void BM_RuntimeBackgroundTask(benchmark::State& state)
{
    for (auto _ : state)
        fw::RuntimeBackgroundTask();
}
BENCHMARK(BM_RuntimeBackgroundTask);

} // namespace

BENCHMARK_MAIN();
