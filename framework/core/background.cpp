#include "framework/core/background.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QThread>

#include <ctime>
#include <memory>
#include <utility>
#include <vector>

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

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

// ExcludeUserInputEvents holds back only the window system's input; input
// that sits in the posted-event queue would still be delivered. While a
// served call runs, this filter keeps such input and posts it again once
// the call is over, in order. Input inside a modal loop that a served
// handler opens (a message box) goes through as usual.
class InputHold : public QObject {
public:
    void begin()
    {
        if (m_depth++ == 0) {
            m_loopLevel = QThread::currentThread()->loopLevel();
            QCoreApplication::instance()->installEventFilter(this);
        }
    }

    void end()
    {
        if (--m_depth > 0)
            return;
        QCoreApplication::instance()->removeEventFilter(this);
        auto held = std::move(m_held);
        m_held.clear();
        for (auto& [receiver, event] : held)
            if (receiver)
                QCoreApplication::postEvent(receiver, event.release());
    }

    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        if (!isUserInput(event->type()) || QThread::currentThread()->loopLevel() != m_loopLevel)
            return false;
        m_held.emplace_back(receiver, std::unique_ptr<QEvent>(event->clone()));
        return true;
    }

private:
    int m_depth = 0;
    int m_loopLevel = 0;
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> m_held;
};

InputHold& inputHold()
{
    static InputHold* hold = new InputHold;  // lives as long as the application
    return *hold;
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
    if (QCoreApplication::instance()) {
        struct Hold {
            Hold() { inputHold().begin(); }
            ~Hold() { inputHold().end(); }
        } hold;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    // Qt's xcb platform keeps the input it read during the call in a queue
    // of its own and nothing wakes the loop for it: wake it, so that input
    // is handled as soon as the running handler returns.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->wakeUp();
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
