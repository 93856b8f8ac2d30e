#include "framework/core/background.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <ctime>

namespace fw {
namespace {

std::function<void()>& hook()
{
    static std::function<void()> h;
    return h;
}

long long g_calls = 0;
long long g_lastServedNs = 0;

constexpr long long kMinGapNs = 2'000'000;

// The coarse monotonic clock costs a few nanoseconds a reading; its
// resolution (a few milliseconds) is fine for spacing out served calls.
long long nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return static_cast<long long>(ts.tv_sec) * 1'000'000'000LL + ts.tv_nsec;
}

} // namespace

void RuntimeBackgroundTask()
{
    ++g_calls;
    const long long now = nowNs();
    if (now - g_lastServedNs < kMinGapNs)
        return;
    g_lastServedNs = now;
    if (hook()) {
        hook()();
        return;
    }
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

std::function<void()> setBackgroundHook(std::function<void()> h)
{
    auto old = std::move(hook());
    hook() = std::move(h);
    g_lastServedNs = 0;
    return old;
}

long long backgroundTaskCalls()
{
    return g_calls;
}

} // namespace fw
