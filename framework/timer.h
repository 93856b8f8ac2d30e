#pragma once

// A timer: Mode 0 is off, 1 fires once, 2 fires again and again until set
// to 0. Period is in milliseconds; 0 means "as soon as possible", which is
// every few milliseconds here, not a busy loop.

#include <QObject>
#include <QTimer>

#include <functional>

namespace fw {

class Timer : public QObject {
public:
    explicit Timer(QObject* parent = nullptr);

    int Mode() const { return m_mode; }
    void setMode(int mode);
    int Period() const { return m_period; }
    void setPeriod(int ms);

    // Called when the timer fires, with the timer.
    std::function<void(Timer*)> Action;

    static constexpr int kZeroPeriodMs = 4;

private:
    void fire();
    void apply();
    QTimer m_timer;
    int m_mode = 0;
    int m_period = 0;
};

} // namespace fw
