#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>

namespace fw {

// One clock behind Ticks and Microseconds, replaceable by tests.
class Clock {
public:
    virtual ~Clock() = default;
    // Microseconds since an arbitrary fixed start.
    virtual double microseconds() = 0;
};

// Installs a clock (not owned); nullptr restores the real, monotonic one.
void setClock(Clock* clock);

double Microseconds();
// Sixtieths of a second, from the same clock.
std::int32_t Ticks();

// A test clock: stands still unless advanced, or moves a fixed amount on
// every reading so that polling loops end without real waiting.
class FakeClock : public Clock {
public:
    double microseconds() override
    {
        const double now = m_now;
        m_now += m_stepPerRead;
        return now;
    }
    void advance(double us) { m_now += us; }
    void setStepPerRead(double us) { m_stepPerRead = us; }

private:
    double m_now = 1.0e6;
    double m_stepPerRead = 0.0;
};

// The current date and time, with the long forms the report uses.
class Date {
public:
    Date();
    explicit Date(const QDateTime& when) : m_when(when) {}
    QString LongDate() const;
    QString LongTime() const;
    const QDateTime& when() const { return m_when; }

private:
    QDateTime m_when;
};

} // namespace fw
