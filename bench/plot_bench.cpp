// Cost of the plot and the history after one accepted key: updatescreen and
// makepicture at trial 1 and at trial 200, under each method (the method
// sets the difference scale and the threshold drawn), then the same work up
// to the window painted (offscreen), and the history row alone. The
// history holds n - 1 rows before each timed trial, so trial 200 is timed
// with 199 rows under the new one.

#include "app/app.h"
#include "app/resources.h"
#include "estimation/window1.h"
#include "framework/application.h"

#include "bench/bench_app.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>

#include <cmath>
#include <memory>

namespace {

class PlotWindow : public Window1 {
public:
    using Window1::diflog;
    using Window1::lastsetting;
    using Window1::makepicture;
    using Window1::mysetting;
    using Window1::settinglog;
    using Window1::startstep;
    using Window1::stepnum;
    using Window1::thediff;
    using Window1::updatescreen;
    using Window1::mydiff;
};

PlotWindow* window()
{
    static PlotWindow* w = fw::Window::implicitInstance<PlotWindow>(QStringLiteral("Window1.Window1"));
    return w;
}

// The run as it stands before trial n: n - 1 trials logged and listed.
void arrange(PlotWindow* w, int n, bool ml)
{
    w->CheckBox1()->setValue(ml);
    w->PushButton3_Action(w->PushButton3());
    w->startstep = 7;
    w->mydiff = 0.45;
    double setting = 50;
    for (int k = 1; k < n; ++k) {
        const double next = 50 + 10 * std::sin(k * 0.7);
        w->stepnum = k;
        w->lastsetting = setting;
        w->thediff = std::abs(next - setting);
        w->mysetting = next;
        w->updatescreen(next, k % 2);
        w->settinglog[std::size_t(k)] = next;
        w->diflog[std::size_t(k)] = w->thediff;
        setting = next;
    }
    w->stepnum = n;
    w->lastsetting = setting;
    w->mysetting = 47.0;
    w->thediff = std::abs(47.0 - setting);
}

// Takes the timed row off the top again.
void dropTopRow(PlotWindow* w)
{
    QTextCursor c(w->EditField2()->textEdit()->document());
    c.movePosition(QTextCursor::Start);
    c.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    c.removeSelectedText();
}

enum class Work { History, PlotAndHistory, Painted };

void run(benchmark::State& state, Work work)
{
    const int n = int(state.range(0));
    const bool ml = state.range(1) != 0;
    PlotWindow* w = window();
    arrange(w, n, ml);
    for (auto _ : state) {
        w->updatescreen(47.0, 1);
        if (work != Work::History)
            w->makepicture(47.0, n, w->thediff);
        if (work == Work::Painted)
            w->repaint();  // the number, the history and the canvas, now
        state.PauseTiming();
        dropTopRow(w);
        state.ResumeTiming();
    }
    if (w->EditField2()->textEdit()->document()->blockCount() != n)
        state.SkipWithError("the history does not hold n - 1 rows");
    state.SetLabel(ml ? "ML-PEST" : "Adaptive PEST");
}

void BM_History(benchmark::State& state) { run(state, Work::History); }
void BM_PlotAndHistory(benchmark::State& state) { run(state, Work::PlotAndHistory); }
void BM_PlotAndHistoryPainted(benchmark::State& state) { run(state, Work::Painted); }

BENCHMARK(BM_History)->ArgsProduct({{1, 200}, {0}})->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_PlotAndHistory)->ArgsProduct({{1, 200}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlotAndHistoryPainted)->ArgsProduct({{1, 200}, {0, 1}})->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    return bench::runWindowBenchmarks(argc, argv);
}
