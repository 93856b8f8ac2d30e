// Timers: Mode 2 repeats (Period 0 every few milliseconds, not a busy
// loop), Mode 0 stops, Mode 1 fires once; an exception in Action goes to the
// report and the timer keeps working; Action never runs inside itself.
#include "framework/application.h"
#include "framework/timer.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QStringList>
#include <QTest>

#include <algorithm>
#include <array>
#include <stdexcept>

namespace {

class TimerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fw::setMsgBoxHook([this](const QString& text) { m_reports << text; });
    }
    void TearDown() override { fw::setMsgBoxHook({}); }

    QStringList m_reports;
};

TEST_F(TimerTest, ModesAndPeriods)
{
    struct Case {
        const char* name;
        int mode, period;
        int waitMs;
        int minFires, maxFires;
    };
    const Case cases[] = {
        {"mode 2, period 0: again and again, not a busy loop", 2, 0, 50, 3, 40},
        {"mode 2, period 10", 2, 10, 55, 2, 6},
        {"mode 1 fires once", 1, 0, 40, 1, 1},
        {"mode 1 with a period fires once, after it", 1, 20, 60, 1, 1},
        {"mode 0 never fires", 0, 0, 30, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fw::Timer timer;
        int fires = 0;
        fw::Timer* seen = nullptr;
        timer.Action = [&](fw::Timer* t) {
            ++fires;
            seen = t;
        };
        timer.setPeriod(c.period);
        timer.setMode(c.mode);
        QTest::qWait(c.waitMs);
        EXPECT_GE(fires, c.minFires);
        EXPECT_LE(fires, c.maxFires);
        if (fires > 0) {
            EXPECT_EQ(seen, &timer) << "Action gets its timer";
        }
        if (c.mode == 1) {
            EXPECT_EQ(timer.Mode(), 0) << "a one-shot timer is off after firing";
        }
    }
}

TEST_F(TimerTest, ModeZeroStopsARepeatingTimer)
{
    fw::Timer timer;
    int fires = 0;
    timer.Action = [&](fw::Timer*) { ++fires; };
    timer.setMode(2);
    QTest::qWait(30);
    ASSERT_GT(fires, 0);
    timer.setMode(0);
    const int stopped = fires;
    QTest::qWait(30);
    EXPECT_EQ(fires, stopped);

    // Set off from its own Action, it fires no more.
    timer.Action = [&](fw::Timer* t) {
        ++fires;
        t->setMode(0);
    };
    timer.setMode(2);
    QTest::qWait(30);
    EXPECT_EQ(fires, stopped + 1);
}

TEST_F(TimerTest, ExceptionInActionIsReportedAndTheTimerGoesOn)
{
    fw::Timer timer;
    int fires = 0;
    timer.Action = [&](fw::Timer*) {
        ++fires;
        throw std::runtime_error("timer failed");
    };
    timer.setMode(2);
    QTest::qWait(40);
    EXPECT_GE(fires, 2) << "the timer keeps firing after an exception";
    ASSERT_FALSE(m_reports.isEmpty());
    EXPECT_TRUE(m_reports.front().contains(QStringLiteral("timer failed"))) << m_reports.front().toStdString();
    EXPECT_EQ(m_reports.size(), fires);

    // And the application goes on: another timer works as before.
    timer.setMode(0);
    fw::Timer other;
    int otherFires = 0;
    other.Action = [&](fw::Timer*) { ++otherFires; };
    other.setMode(1);
    QTest::qWait(20);
    EXPECT_EQ(otherFires, 1);
}

TEST_F(TimerTest, ActionDoesNotRunInsideItself)
{
    // An Action that waits in a nested event loop (as a message box does)
    // must not be entered again by its own timer meanwhile.
    fw::Timer timer;
    int depth = 0, maxDepth = 0, fires = 0;
    timer.Action = [&](fw::Timer*) {
        ++fires;
        maxDepth = std::max(maxDepth, ++depth);
        if (fires == 1)
            QTest::qWait(30);
        --depth;
    };
    timer.setMode(2);
    QTest::qWait(60);
    timer.setMode(0);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_GE(fires, 2) << "after the nested wait it fires again";

    // The same with an exception reported through a message box that
    // waits: the reports do not pile up inside each other.
    int boxDepth = 0, maxBoxDepth = 0;
    fw::setMsgBoxHook([&](const QString&) {
        maxBoxDepth = std::max(maxBoxDepth, ++boxDepth);
        QTest::qWait(20);
        --boxDepth;
    });
    timer.Action = [](fw::Timer*) { throw std::runtime_error("again"); };
    timer.setMode(2);
    QTest::qWait(60);
    timer.setMode(0);
    EXPECT_EQ(maxBoxDepth, 1);
}

TEST_F(TimerTest, ActionMayReplaceItself)
{
    fw::Timer timer;
    std::array<int, 64> big{};  // a capture too large to be stored inline
    big[63] = 7;
    int seen = 0, replaced = 0;
    timer.Action = [&timer, &seen, &replaced, big](fw::Timer*) {
        timer.Action = [&replaced](fw::Timer* t) {
            ++replaced;
            t->setMode(0);
        };
        seen = big[63];  // the running Action's own capture is still there
    };
    timer.setMode(2);
    QTest::qWait(40);
    EXPECT_EQ(seen, 7);
    EXPECT_EQ(replaced, 1);
}

} // namespace
