#pragma once

// What the benchmarks of the real program share: the program is found in the
// build folder unless QUORVEL_BUILD_DIR names another, and the benchmarks run
// without a window of their own (the program draws on a private X server).

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <functional>

namespace bench {

// `atEnd` runs once the benchmarks are done, while the application still
// lives: there a benchmark stops the program and the X server it started.
inline int runRealProgramBenchmarks(int argc, char** argv, const std::function<void()>& atEnd = {})
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("QUORVEL_BUILD_DIR"))
        qputenv("QUORVEL_BUILD_DIR", QUORVEL_DEFAULT_BUILD_DIR);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (atEnd)
        atEnd();
    return 0;
}

} // namespace bench
