// The background-task call inside long loops: it serves timers but leaves
// user input queued for afterwards, in order, and costs next to nothing
// when it comes too soon after the last served call.
#include "framework/core/background.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace {

// Records the keys and clicks it receives.
class InputRecorder : public QWidget {
public:
    QString keys;
    int clicks = 0;

protected:
    void keyPressEvent(QKeyEvent* e) override { keys += e->text(); }
    void mousePressEvent(QMouseEvent*) override { ++clicks; }
};

// A served call: the hook reset makes the next call count as the first.
void servedBackgroundCall()
{
    fw::setBackgroundHook({});
    fw::RuntimeBackgroundTask();
}

class BackgroundTask : public ::testing::Test {
protected:
    void TearDown() override { fw::setBackgroundHook({}); }
};

TEST_F(BackgroundTask, ServesTimersButNotUserInput)
{
    InputRecorder widget;
    widget.resize(50, 50);
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));

    int fired = 0;
    QTimer::singleShot(0, &widget, [&] { ++fired; });
    for (char c : {'a', 'b'})
        QCoreApplication::postEvent(&widget, new QKeyEvent(QEvent::KeyPress, Qt::Key_A + (c - 'a'), Qt::NoModifier,
                                                           QString(QLatin1Char(c))));
    QCoreApplication::postEvent(&widget, new QMouseEvent(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5),
                                                         Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));

    for (int i = 0; i < 3; ++i) {
        servedBackgroundCall();
        QTest::qSleep(3);
    }
    EXPECT_EQ(fired, 1) << "a pending timer is served";
    EXPECT_EQ(widget.keys, QString()) << "keys wait until the running handler has returned";
    EXPECT_EQ(widget.clicks, 0) << "so do clicks";

    QCoreApplication::processEvents();
    EXPECT_EQ(widget.keys, QStringLiteral("ab")) << "then they arrive, in order";
    EXPECT_EQ(widget.clicks, 1);
}

TEST_F(BackgroundTask, AModalLoopOpenedByAServedTimerGetsInput)
{
    // A handler served from the loop may open a message box; its own loop
    // must still take keys, or it could never be answered.
    InputRecorder widget;
    QString seenInside;
    QTimer::singleShot(0, &widget, [&] {
        QEventLoop modal;
        QTimer::singleShot(0, &modal, [&] {
            QCoreApplication::postEvent(&widget,
                                        new QKeyEvent(QEvent::KeyPress, Qt::Key_C, Qt::NoModifier, QStringLiteral("c")));
            QTimer::singleShot(10, &modal, &QEventLoop::quit);
        });
        modal.exec();
        seenInside = widget.keys;
    });
    servedBackgroundCall();
    EXPECT_EQ(seenInside, QStringLiteral("c"));
}

TEST_F(BackgroundTask, ServesTimersFromALongLoop)
{
    // A repeating timer keeps firing while a loop calls the task.
    int fired = 0;
    QTimer timer;
    timer.setInterval(1);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++fired; });
    timer.start();
    // On a busy machine the loop may get little time: it runs until the
    // timer has fired five times, or two seconds have passed.
    QElapsedTimer clock;
    clock.start();
    while (fired < 5 && clock.elapsed() < 2000)
        fw::RuntimeBackgroundTask();
    EXPECT_GE(fired, 5);
}

TEST_F(BackgroundTask, AWaitMadeOfCallsServesTimersEveryFewMilliseconds)
{
    // The wait after a key is made of calls. Over a second of them a 2 ms
    // timer fires each time a call is served: about 250 times when one is
    // served every 2 ms, at most four times when only every 300 ms. A busy
    // machine that runs this loop a fraction of the time still gives it
    // about a hundred.
    int fired = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(2);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++fired; });
    timer.start();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 1000)
        fw::RuntimeBackgroundTask();
    EXPECT_GE(fired, 12) << "timer fires in a second of calls";
}

TEST_F(BackgroundTask, ThrottledCallsAreCheap)
{
    // A busy event queue must not slow the loop down: most calls come
    // sooner than 2 ms after the last served one.
    QTimer busy;
    busy.setInterval(0);
    QObject::connect(&busy, &QTimer::timeout, [] {});
    busy.start();
    int served = 0;
    fw::setBackgroundHook([&] {
        ++served;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    const long long before = fw::backgroundTaskCalls();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 200'000; ++i)
        fw::RuntimeBackgroundTask();
    const qint64 ms = clock.elapsed();
    EXPECT_LT(ms, 100);
    EXPECT_EQ(fw::backgroundTaskCalls() - before, 200'000);
    EXPECT_GE(served, 1);
    EXPECT_LE(served, ms / 2 + 2) << "served at most once every 2 ms";
}

} // namespace
