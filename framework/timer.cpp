#include "framework/timer.h"

#include "framework/application.h"

#include <algorithm>

namespace fw {

Timer::Timer(QObject* parent) : QObject(parent)
{
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] { fire(); });
}

void Timer::setMode(int mode)
{
    if (mode == m_mode)
        return;
    m_mode = mode;
    apply();
}

void Timer::setPeriod(int ms)
{
    m_period = std::max(0, ms);
    if (m_mode != 0)
        apply();
}

void Timer::apply()
{
    if (m_mode == 0) {
        m_timer.stop();
        return;
    }
    m_timer.setSingleShot(m_mode == 1);
    m_timer.start(m_period > 0 ? m_period : kZeroPeriodMs);
}

void Timer::fire()
{
    if (m_mode == 1) {
        m_mode = 0;
        m_timer.stop();
    }
    // A copy, so that an Action may replace or clear itself while it runs.
    if (const auto action = Action)
        dispatch([&] { action(this); });
}

} // namespace fw
