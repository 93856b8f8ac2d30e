// A key typed through a real X server during a wait of background-task
// calls must be handled as soon as the wait is over, with nothing else to
// wake the event loop: the xcb platform keeps the input it read during the
// calls in a queue of its own, and only the call's own wake-up of the event
// dispatcher gets it handled.
//
// The test runs this binary again as an X client of a private Xvfb (the
// xcb platform, no accessibility bus), once per event dispatcher; the client
// reports how late the key came and the test judges that.
#include "framework/core/background.h"
#include "framework/core/clock.h"
#include "tests/support/real_desktop.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <chrono>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <thread>

#include <X11/Xlib.h>

namespace {

using namespace quorvel::test;
using Clock = std::chrono::steady_clock;

// The wait after a response key: until the tick count has advanced by 31.
constexpr int kWaitTicks = 31;
// The key goes in a little before the middle of the wait, so that the
// platform has read it well before the wait ends, also on a busy machine.
constexpr int kTypeAtTick = 12;
// How late after the wait the key may be handled.
constexpr int kLateMs = 200;
// When the client gives up waiting for the key (it then wakes its own loop).
constexpr int kGiveUpMs = 2000;
const char* const kClientTest = "BackgroundWakeupClient.DISABLED_KeyTypedDuringTheWait";

// Notes when its first key arrives, then ends the loop it is given.
class KeyClock : public QWidget {
public:
    QString keys;
    Clock::time_point firstKey{};
    QEventLoop* loop = nullptr;

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        if (keys.isEmpty())
            firstKey = Clock::now();
        keys += e->text();
        if (loop)
            loop->exit();
    }
};

// Ends the loop after kGiveUpMs from a thread of its own: a timer of the
// application would wake the loop on its own, and so would this, but only
// after the deadline.
class Watchdog {
public:
    explicit Watchdog(QEventLoop& loop)
        : m_thread([this, &loop] {
              std::unique_lock lock(m_mutex);
              if (!m_done.wait_for(lock, std::chrono::milliseconds(kGiveUpMs), [this] { return m_over; }))
                  QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_over = true;
        }
        m_done.notify_one();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_over = false;
    std::thread m_thread;
};

// The X client, run only by the test below (its name keeps it out of the
// ordinary run). It writes one line to standard error: "handled N ms after
// the wait" or "not handled".
TEST(BackgroundWakeupClient, DISABLED_KeyTypedDuringTheWait)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    Display* d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr) << "no X server on DISPLAY";

    KeyClock window;
    window.setWindowTitle(QStringLiteral("wake-up"));
    window.resize(200, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    focusWindow(d, window.winId());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isActiveWindow(); }, 5000)) << "the window never got the focus";
    // Whatever showing and focusing left behind is handled before the wait.
    QTest::qWait(200);
    QCoreApplication::sendPostedEvents();

    // The program's wait: background calls until 31 ticks have passed.
    const double start = fw::Ticks();
    bool typed = false;
    for (double now = 0.0; now <= start + kWaitTicks;) {
        now = fw::Ticks();
        fw::RuntimeBackgroundTask();
        if (!typed && now >= start + kTypeAtTick) {
            tapKey(d, QStringLiteral("a"));
            typed = true;
        }
    }
    const Clock::time_point waitEnd = Clock::now();
    ASSERT_TRUE(typed);
    ASSERT_EQ(window.keys, QString()) << "a key typed during the wait is handled only after it";

    // Nothing is pending now: no timer of the application, no posted event.
    QEventLoop loop;
    window.loop = &loop;
    {
        const Watchdog watchdog(loop);
        loop.exec();
    }
    window.loop = nullptr;
    XCloseDisplay(d);
    if (window.keys.isEmpty()) {
        fprintf(stderr, "not handled\n");
    } else {
        const auto late = std::chrono::duration<double, std::milli>(window.firstKey - waitEnd).count();
        fprintf(stderr, "handled %.1f ms after the wait\n", late);
    }
    EXPECT_EQ(window.keys, QStringLiteral("a"));
}

struct Dispatcher {
    const char* name;
    const char* noGlib;  // QT_NO_GLIB
};

const Dispatcher kDispatchers[] = {
    {"the GLib event dispatcher", ""},
    {"the plain Unix event dispatcher", "1"},
};

TEST(BackgroundWakeup, AKeyTypedDuringTheWaitIsHandledRightAfterIt)
{
    PrivateXServer server;
    QString why;
    ASSERT_TRUE(server.start(&why)) << why.toStdString();
    const QTemporaryDir config;
    ASSERT_TRUE(config.isValid());

    for (const Dispatcher& dispatcher : kDispatchers) {
        SCOPED_TRACE(dispatcher.name);
        RealProgram client(server, config.path());
        client.environment().insert(QStringLiteral("QT_NO_GLIB"), QString::fromLatin1(dispatcher.noGlib));
        ASSERT_TRUE(client.start(QCoreApplication::applicationFilePath(),
                                 {QStringLiteral("-platform"), QStringLiteral("xcb"),
                                  QStringLiteral("--gtest_also_run_disabled_tests"),
                                  QStringLiteral("--gtest_filter=") + QString::fromLatin1(kClientTest)},
                                 &why))
            << why.toStdString();
        int exitCode = 0;
        ASSERT_TRUE(client.waitForExit(30'000, &exitCode)) << "the client did not end";
        const QString report = QString::fromLocal8Bit(client.standardError());

        const auto line = [&](const char* pattern) {
            return QRegularExpression(QString::fromLatin1(pattern), QRegularExpression::MultilineOption).match(report);
        };
        if (const QRegularExpressionMatch handled = line("^handled (-?[0-9.]+) ms after the wait$"); handled.hasMatch()) {
            const double late = handled.captured(1).toDouble();
            EXPECT_LT(late, kLateMs) << "the key typed during the wait was handled "
                                     << QString::number(late, 'f', 1).toStdString()
                                     << " ms after the wait ended, not right after it";
            std::cout << dispatcher.name << ": the key came " << late << " ms after the wait\n";
        } else if (line("^not handled$").hasMatch()) {
            ADD_FAILURE() << "the key typed during the wait was not handled within " << kGiveUpMs
                          << " ms after the wait ended: nothing woke the event loop for it";
        } else {
            ADD_FAILURE() << "the client did not get to the wait; its standard error:\n" << report.toStdString();
        }
        EXPECT_EQ(exitCode, 0) << report.toStdString();
    }
}

} // namespace
