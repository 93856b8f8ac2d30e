// The report: from a press of "Print/Save" until the 200-row report is in
// the Output window's field (into the open window, and into a new one after
// "Close"), and "Print" of that report into a PDF through the styled-text
// printer, offscreen.

#include "app/app.h"
#include "app/resources.h"
#include "estimation/window1.h"
#include "framework/core/background.h"
#include "framework/printing.h"
#include "report/window4.h"
#include "tests/support/fake_sound.h"

#include "bench/bench_app.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

// The main window as a 200-trial run leaves it.
Window1* mainWindow()
{
    static Window1* w = nullptr;
    if (w)
        return w;
    w = Window1::instance();
    QString rows;
    for (int i = 200; i >= 1; --i)
        rows += QStringLiteral("%1    %2    %3    %4     %5\r")
                    .arg(i, -3)
                    .arg(45.0 + (i % 9) / 4.0, 0, 'f', 2)
                    .arg(45 + (i % 9) / 4)
                    .arg(i % 2)
                    .arg(0.25 * (i % 5), 0, 'f', 2);
    w->EditField2()->setText(rows);
    w->StaticText4()->setText(QStringLiteral("46"));
    w->mydate = QStringLiteral("Tuesday, March 3, 2026");
    w->mytime = QStringLiteral("2:05:09 PM");
    w->totaltime = 612.3456;
    return w;
}

void BM_ShowReportInOpenWindow(benchmark::State& state)
{
    Window1* w = mainWindow();
    w->PushButton4()->click();
    for (auto _ : state) {
        w->PushButton4()->click();
        benchmark::DoNotOptimize(Window4::instance()->EditField1()->Text().size());
    }
    state.SetLabel("200 rows");
}
BENCHMARK(BM_ShowReportInOpenWindow)->Unit(benchmark::kMillisecond);

void BM_ShowReportInNewWindow(benchmark::State& state)
{
    Window1* w = mainWindow();
    for (auto _ : state) {
        state.PauseTiming();
        if (auto* open = fw::Window::_GetImplicitWindow(QStringLiteral("Window4.Window4")))
            open->Close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
        w->PushButton4()->click();
        QCoreApplication::processEvents();  // shown and painted
    }
    state.SetLabel("200 rows, window made and shown");
}
BENCHMARK(BM_ShowReportInNewWindow)->Unit(benchmark::kMillisecond);

void BM_PrintReportToPdf(benchmark::State& state)
{
    Window1* w = mainWindow();
    w->PushButton4()->click();
    const QString pdf = QDir(bench::folder()).filePath(QStringLiteral("report.pdf"));
    fw::setPrinterDialogHook([pdf](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    });
    for (auto _ : state)
        Window4::instance()->PushButton1()->click();
    fw::setPrinterDialogHook({});
    state.counters["bytes"] = double(QFileInfo(pdf).size());
    state.SetLabel("236 lines, 5 pages");
}
BENCHMARK(BM_PrintReportToPdf)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return bench::runWindowBenchmarks(argc, argv);
}
