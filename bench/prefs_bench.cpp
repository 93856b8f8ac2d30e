// The preferences: opening the Preferences window until it is on screen
// (offscreen platform, over an existing file), and one load of the file
// into the main window. Both run in a private configuration folder.

#include "estimation/window1.h"
#include "framework/window.h"
#include "prefs/window2.h"

#include "bench/bench_app.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWindow>

namespace {

const QByteArray kPrefs = "PESTPREFS\t50\t7\t.45\t0\t100\t100\t121\t110\t0\t0\t20\t80\t7\t.45\t0\tENDOFFILE";

void OpenPreferencesWindow(benchmark::State& state)
{
    for (auto _ : state) {
        Window2* w = Window2::instance();
        while (!(w->windowHandle() && w->windowHandle()->isExposed()))
            QCoreApplication::processEvents();
        benchmark::DoNotOptimize(w);
        state.PauseTiming();
        w->Close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}
BENCHMARK(OpenPreferencesWindow)->Unit(benchmark::kMillisecond);

void LoadPrefs(benchmark::State& state)
{
    Window1* w = Window1::instance();
    for (auto _ : state)
        w->loadprefs();
    benchmark::DoNotOptimize(w->successkey);
}
BENCHMARK(LoadPrefs)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return bench::runWindowBenchmarks(argc, argv, kPrefs);
}
