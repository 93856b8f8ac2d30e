#include "framework/core/background.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <chrono>

namespace fw {
namespace {

std::function<void()>& hook()
{
    static std::function<void()> h;
    return h;
}

long long g_calls = 0;
std::chrono::steady_clock::time_point g_lastServed;

constexpr auto kMinGap = std::chrono::milliseconds(2);

} // namespace

void RuntimeBackgroundTask()
{
    ++g_calls;
    const auto now = std::chrono::steady_clock::now();
    if (now - g_lastServed < kMinGap)
        return;
    g_lastServed = now;
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
    g_lastServed = {};
    return old;
}

long long backgroundTaskCalls()
{
    return g_calls;
}

} // namespace fw
