// The real program on a private Xvfb (xcb platform, no accessibility bus):
// from a response key typed through the X server to its history row on
// screen, read back through XGetImage every few milliseconds. Two cases: a
// key typed while nothing else runs, and a key typed 0.15 s into the
// half-second wait after the key before it (its row can come only once that
// wait has ended). One repetition is one key; medians and the worst count.

#include "tests/support/main_window_screen.h"
#include "bench/real_program_bench.h"
#include "tests/support/real_desktop.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace quorvel::test;

namespace {

constexpr int kTimeoutMs = 20'000;
constexpr int kWaitMs = 31 * 1000 / 60;  // the wait after every key

// One program for the whole run, after Start.
struct Session {
    QTemporaryDir config;
    PrivateXServer server;
    std::unique_ptr<RealProgram> program;
    unsigned long main = 0;
    std::unique_ptr<HistoryOnScreen> history;
    int keys = 0;

    bool open()
    {
        QString why;
        if (!config.isValid() || !server.start(&why) || !writeDefaultPrefs(config.path())) {
            std::fprintf(stderr, "no private X server: %s\n", qPrintable(why));
            return false;
        }
        program = std::make_unique<RealProgram>(server, config.path());
        if (!program->start(&why)) {
            std::fprintf(stderr, "%s\n", qPrintable(why));
            return false;
        }
        main = program->waitForWindow(QString::fromLatin1(kMainWindowTitle), kTimeoutMs);
        if (!main || !pressStart(server.display(), main, kTimeoutMs))
            return false;
        history = std::make_unique<HistoryOnScreen>(server.display(), main);
        return history->valid();
    }

    // Types a key and returns the milliseconds until the history changes.
    double keyToRow(const QImage& before)
    {
        // A run holds 200 trials: Reset is not needed for the keys used here.
        tapKey(server.display(), ++keys % 2 ? QStringLiteral("y") : QStringLiteral("n"));
        QElapsedTimer clock;
        clock.start();
        if (history->waitForChange(before, kTimeoutMs).isNull())
            return -1.0;
        return double(clock.nsecsElapsed()) / 1e6;
    }
};

// Made on first use; stopped (the program, then its X server) at the end.
std::unique_ptr<Session>& sessionSlot()
{
    static std::unique_ptr<Session> s;
    return s;
}

Session* session()
{
    static bool tried = false;
    if (!tried) {
        tried = true;
        auto made = std::make_unique<Session>();
        if (made->open())
            sessionSlot() = std::move(made);
    }
    return sessionSlot().get();
}

void reportMs(benchmark::State& state, double ms)
{
    if (ms < 0) {
        state.SkipWithError("no history row");
        return;
    }
    state.SetIterationTime(ms / 1000.0);
}

Session* sessionFor(benchmark::State& state)
{
    Session* s = session();
    if (!s)
        state.SkipWithError("the real program did not start");
    return s;
}

void BM_KeyToRowWhenIdle(benchmark::State& state)
{
    Session* s = sessionFor(state);
    if (!s)
        return;
    for (auto _ : state) {
        reportMs(state, s->keyToRow(s->history->grab()));
        QThread::msleep(kWaitMs + 100);  // its own wait ends before the next key
    }
}

void BM_KeyTypedDuringTheWaitToRow(benchmark::State& state)
{
    Session* s = sessionFor(state);
    if (!s)
        return;
    for (auto _ : state) {
        QElapsedTimer first;
        first.start();
        if (s->keyToRow(s->history->grab()) < 0) {
            state.SkipWithError("no history row for the first key");
            return;
        }
        QThread::msleep(static_cast<unsigned long>(std::max<qint64>(0, 150 - first.elapsed())));
        reportMs(state, s->keyToRow(s->history->grab()));
        QThread::msleep(kWaitMs + 100);
    }
}

double worst(const std::vector<double>& v)
{
    return v.empty() ? 0.0 : *std::max_element(v.begin(), v.end());
}

// Twenty keys, one a repetition, timed by the screen.
void twentyKeys(benchmark::internal::Benchmark* b)
{
    b->UseManualTime()
        ->Iterations(1)
        ->Repetitions(20)
        ->ComputeStatistics("worst", worst)
        ->ReportAggregatesOnly(true)
        ->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_KeyToRowWhenIdle)->Apply(twentyKeys);
BENCHMARK(BM_KeyTypedDuringTheWaitToRow)->Apply(twentyKeys);

int main(int argc, char** argv)
{
    return bench::runRealProgramBenchmarks(argc, argv, [] { sessionSlot().reset(); });
}
