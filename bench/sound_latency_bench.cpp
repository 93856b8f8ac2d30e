// From a response key to the first digit of the announcement heard: the real
// program on a private X server plays into a private PulseAudio null sink
// that is recorded; each iteration types one key through the X server and
// times, on the recording's clock, from the moment the key was sent to the
// first audible sample after it. The voice is up, the click and the signal
// at 0, so the first sound after a key is its first digit. Reported as the
// manual time of each iteration, with the first key's, the median and the
// worst as counters.

#include "bench/real_program_bench.h"
#include "tests/support/main_window_screen.h"
#include "tests/support/private_pulse.h"
#include "tests/support/real_desktop.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using namespace quorvel::test;

constexpr float kHeard = 0.02f;  // of full scale

struct Setup {
    QTemporaryDir config;
    PrivatePulseAudio pulse;
    std::unique_ptr<SinkRecorder> recorder;
    PrivateXServer x;
    std::unique_ptr<RealProgram> program;
    unsigned long window = 0;
    QString why;

    bool start()
    {
        if (!pulse.start(&why))
            return false;
        recorder = std::make_unique<SinkRecorder>(pulse);
        if (!recorder->start(&why) || !x.start(&why))
            return false;
        writePrefs(config.path(),
                   "PESTPREFS\t50\t7\t.45\t100\t0\t0\t121\t110\t0\t0\t20\t80\t7\t.45\t0\tENDOFFILE");
        program = std::make_unique<RealProgram>(x, config.path());
        pulse.addClientEnvironment(program->environment());
        if (!program->start(&why))
            return false;
        window = program->waitForWindow(QString::fromLatin1(kMainWindowTitle), 30000);
        if (!window) {
            why = QStringLiteral("no main window");
            return false;
        }
        if (!pressStart(x.display(), window, 10000) || !clickInContent(x.display(), window, kHistoryField, 5000)) {
            why = QStringLiteral("Start did not run");
            return false;
        }
        QThread::msleep(500);
        return true;
    }
};

void BM_KeyToFirstDigitHeard(benchmark::State& state)
{
    Setup s;
    if (!s.start()) {
        state.SkipWithError(s.why.toStdString().c_str());
        return;
    }
    std::vector<double> ms;
    int trial = 0;
    for (auto _ : state) {
        const qint64 at = s.recorder->position();
        tapKey(s.x.display(), trial++ % 3 == 0 ? QStringLiteral("n") : QStringLiteral("y"));
        double latency = -1.0;
        QElapsedTimer waited;
        waited.start();
        while (latency < 0 && waited.elapsed() < 2000) {
            QThread::msleep(5);
            const std::vector<float> after = s.recorder->samplesFrom(at);
            const auto heard = std::find_if(after.begin(), after.end(), [](float v) { return std::fabs(v) > kHeard; });
            if (heard != after.end())
                latency = double(heard - after.begin()) / PrivatePulseAudio::kRate;
        }
        if (latency < 0) {
            state.SkipWithError("a key was not followed by a digit within 2 s");
            break;
        }
        state.SetIterationTime(latency);
        ms.push_back(latency * 1000.0);
        // The rest of the announcement (two digits) before the next key.
        QThread::msleep(1500);
    }
    if (ms.empty())
        return;
    state.counters["first_ms"] = ms.front();
    std::sort(ms.begin(), ms.end());
    state.counters["median_ms"] = ms[ms.size() / 2];
    state.counters["worst_ms"] = ms.back();
}
BENCHMARK(BM_KeyToFirstDigitHeard)->Iterations(30)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return bench::runRealProgramBenchmarks(argc, argv);
}
