// One accepted response key in the main window: the handler's work at trial
// 1 and at trial 200 for each method (click, procedure, stopping rule,
// history row, plot redraw, announcement start), on a fake clock so that
// the half-second wait costs nothing; and from the key press to the new
// number painted, offscreen.

#include "app/app.h"
#include "app/resources.h"
#include "estimation/window1.h"
#include "framework/core/background.h"
#include "framework/core/clock.h"
#include "tests/support/fake_sound.h"

#include "bench/bench_app.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <chrono>

namespace {

constexpr double kTickUs = 1.0e6 / 60.0;

// The main window with its trial state open to the benchmark.
class BenchWindow : public Window1 {
public:
    using Window1::mystep;
    using Window1::mysetting;
    using Window1::stepnum;
    using Window1::mep;
    using Window1::reversal;
    using Window1::doubled;
};

// What a trial changes, so the same trial can be repeated.
struct Snapshot {
    std::int32_t stepnum, nrstimulus;
    double mystep, mysetting, curstim, laststim;
    decltype(BenchWindow::mep) mep, reversal, doubled;
    QString history;
};

Snapshot take(BenchWindow* w)
{
    return {w->stepnum, w->nrstimulus, w->mystep, w->mysetting, w->curstim, w->laststim,
            w->mep,     w->reversal,   w->doubled, w->EditField2()->Text()};
}

void restore(BenchWindow* w, const Snapshot& s)
{
    w->stepnum = s.stepnum;
    w->nrstimulus = s.nrstimulus;
    w->mystep = s.mystep;
    w->mysetting = s.mysetting;
    w->curstim = s.curstim;
    w->laststim = s.laststim;
    w->mep = s.mep;
    w->reversal = s.reversal;
    w->doubled = s.doubled;
    w->EditField2()->setText(s.history);
}

struct Setup {
    fw::FakeClock clock;
    BenchWindow* w = nullptr;

    Setup()
    {
        fw::setClock(&clock);
        clock.setStepPerRead(kTickUs);
        w = fw::Window::implicitInstance<BenchWindow>(QStringLiteral("Window1.Window1"));
    }
    ~Setup()
    {
        fw::Window::releaseAll();
        fw::setClock(nullptr);
    }

    // A fresh run of the method, then `trials` keys answered.
    void prepare(bool ml, int trials)
    {
        w->PushButton3_Action(w->PushButton3());
        w->CheckBox1()->setValue(ml);
        w->EditField1()->setText(ml ? QStringLiteral("20") : QStringLiteral("50"));
        w->EditField4()->setText(ml ? QStringLiteral("80") : QStringLiteral("7"));
        w->EditField3()->setText(ml ? QStringLiteral("7") : QStringLiteral("0"));
        w->mydiff2 = -1.0;  // the ML estimate stays open: every key is recorded
        w->PushButton1_Action(w->PushButton1());
        for (int k = 0; k < trials; ++k)
            w->Event_KeyDown(k % 3 ? QStringLiteral("1") : QStringLiteral("0"));
    }
};

void BM_AcceptedKey(benchmark::State& state)
{
    const bool ml = state.range(0) == 1;
    const int trial = int(state.range(1));
    Setup s;
    s.prepare(ml, trial - 1);
    const Snapshot before = take(s.w);
    for (auto _ : state) {
        state.PauseTiming();
        restore(s.w, before);
        state.ResumeTiming();
        s.w->Event_KeyDown(QStringLiteral("1"));
    }
    if (s.w->stepnum != trial)
        state.SkipWithError("the key was not a trial");
    state.SetLabel(ml ? "ML-PEST" : "Adaptive PEST");
}
BENCHMARK(BM_AcceptedKey)
    ->ArgsProduct({{0, 1}, {1, 200}})
    ->ArgNames({"ml", "trial"})
    ->Unit(benchmark::kMicrosecond);

// Notes when the big number is painted.
class PaintWatch : public QObject {
public:
    bool painted = false;
    std::chrono::steady_clock::time_point at;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint && !painted) {
            painted = true;
            at = std::chrono::steady_clock::now();
        }
        return false;
    }
};

void BM_KeyToNumberPainted(benchmark::State& state)
{
    const bool ml = state.range(0) == 1;
    Setup s;
    s.w->show();
    s.prepare(ml, 199);
    QCoreApplication::processEvents();
    const Snapshot before = take(s.w);
    PaintWatch watch;
    s.w->StaticText4()->installEventFilter(&watch);
    for (auto _ : state) {
        restore(s.w, before);
        s.w->StaticText4()->setText(QString());  // so the new number repaints
        QCoreApplication::processEvents();
        watch.painted = false;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_1, Qt::NoModifier, QStringLiteral("1"));
        const auto t0 = std::chrono::steady_clock::now();
        QApplication::sendEvent(s.w, &press);
        while (!watch.painted && std::chrono::steady_clock::now() - t0 < std::chrono::seconds(2))
            QCoreApplication::processEvents();
        if (!watch.painted) {
            state.SkipWithError("the number was never painted");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(watch.at - t0).count());
    }
    s.w->StaticText4()->removeEventFilter(&watch);
    state.SetLabel(ml ? "ML-PEST, trial 200" : "Adaptive PEST, trial 200");
}
BENCHMARK(BM_KeyToNumberPainted)->Arg(0)->Arg(1)->ArgName("ml")->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return bench::runWindowBenchmarks(argc, argv);
}
