#include "framework/core/clock.h"

#include <QLocale>

#include <chrono>
#include <cmath>

namespace fw {
namespace {

class SteadyClock : public Clock {
public:
    double microseconds() override
    {
        using namespace std::chrono;
        return double(duration_cast<microseconds_t>(steady_clock::now() - m_start).count());
    }

private:
    using microseconds_t = std::chrono::microseconds;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

SteadyClock& steadyClock()
{
    static SteadyClock c;
    return c;
}

Clock* g_clock = nullptr;

} // namespace

void setClock(Clock* clock)
{
    g_clock = clock;
}

double Microseconds()
{
    return g_clock ? g_clock->microseconds() : steadyClock().microseconds();
}

std::int32_t Ticks()
{
    const double ticks = std::floor(Microseconds() * 60.0 / 1.0e6);
    // The clock starts near zero; a run long enough to overflow would take years.
    return ticks < 2147483647.0 ? std::int32_t(ticks) : 2147483647;
}

Date::Date() : m_when(QDateTime::currentDateTime()) {}

QString Date::LongDate() const
{
    return QLocale::c().toString(m_when.date(), QStringLiteral("dddd, MMMM d, yyyy"));
}

QString Date::LongTime() const
{
    return QLocale::c().toString(m_when.time(), QStringLiteral("h:mm:ss AP"));
}

} // namespace fw
