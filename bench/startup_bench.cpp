// Start-up of the whole application: from process start to the main window
// shown, on the offscreen platform, and the peak memory of that process.
// The program takes no command line, so this benchmark runs itself again as
// the child: `startup_bench --startup-child FD` starts the application
// exactly as main() does, writes one byte to FD once the event loop runs
// with the main window shown, and quits. The parent times fork to that byte
// and reads the child's peak resident size from wait4().

#include "app/startup.h"
#include "estimation/window1.h"
#include "framework/application.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTimer>

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

constexpr char kChildFlag[] = "--startup-child";
constexpr int kChildTimeoutMs = 20000;

// The child: the application's own start-up, then one byte when shown.
int runChild(int fd)
{
    int argc = 1;
    char name[] = "quorvel";
    char* argv[] = {name, nullptr};
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quorvel"));
    QApplication::setQuitOnLastWindowClosed(false);
    QTimer::singleShot(0, &qapp, [fd] {
        auto* w = fw::Window::_GetImplicitWindow(QStringLiteral("Window1.Window1"));
        const char shown = (w && w->isVisible()) ? 'S' : 'N';
        if (::write(fd, &shown, 1) != 1)
            std::_Exit(3);
        ::close(fd);
        fw::Quit(0);
    });
    return app::runMain();
}

struct ChildRun {
    bool ok = false;
    std::string error;
    double seconds = 0;      // fork to the window shown
    double peakRssMb = 0;    // the child's peak resident set
};

ChildRun startChild(const std::string& self, const std::string& configDir)
{
    ChildRun run;
    int fds[2];
    if (::pipe(fds) != 0) {
        run.error = "pipe failed";
        return run;
    }
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) {
        run.error = "fork failed";
        return run;
    }
    if (pid == 0) {
        ::close(fds[0]);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("XDG_CONFIG_HOME", configDir.c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", configDir.c_str(), 1);
        const std::string fd = std::to_string(fds[1]);
        ::execl(self.c_str(), self.c_str(), kChildFlag, fd.c_str(), static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    ::close(fds[1]);
    // A child that never shows its window (say, stopped in a dialog) is
    // ended, not waited for.
    char shown = 0;
    ssize_t got = -1;
    pollfd wait{fds[0], POLLIN, 0};
    if (::poll(&wait, 1, kChildTimeoutMs) == 1)
        got = ::read(fds[0], &shown, 1);
    const auto t1 = std::chrono::steady_clock::now();
    ::close(fds[0]);
    if (got != 1)
        ::kill(pid, SIGKILL);

    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) {
        run.error = "wait4 failed";
        return run;
    }
    if (got != 1 || shown != 'S') {
        run.error = got == 1 ? "the main window was not shown" : "no main window shown within the time limit";
        return run;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        run.error = "the child did not exit with status 0";
        return run;
    }
    run.ok = true;
    run.seconds = std::chrono::duration<double>(t1 - t0).count();
    run.peakRssMb = double(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
    return run;
}

std::string selfPath()
{
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

void BM_StartupToMainWindowShown(benchmark::State& state)
{
    const std::string self = selfPath();
    char tmpl[] = "/tmp/quorvel-startup-bench-XXXXXX";
    const char* config = ::mkdtemp(tmpl);
    if (self.empty() || !config) {
        state.SkipWithError("cannot find the benchmark program or make a config folder");
        return;
    }
    double peak = 0;
    double rssSum = 0;
    for (auto _ : state) {
        const ChildRun run = startChild(self, config);
        if (!run.ok) {
            state.SkipWithError(run.error.c_str());
            break;
        }
        state.SetIterationTime(run.seconds);
        rssSum += run.peakRssMb;
        peak = std::max(peak, run.peakRssMb);
    }
    state.counters["peak_rss_MB"] = benchmark::Counter(rssSum, benchmark::Counter::kAvgIterations);
    state.counters["max_peak_rss_MB"] = peak;
    // Leave no files behind: the child may have written its preferences.
    std::error_code ignored;
    std::filesystem::remove_all(config, ignored);
}

BENCHMARK(BM_StartupToMainWindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], kChildFlag) == 0)
        return runChild(std::atoi(argv[2]));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
