// The real program on a real X server (Xvfb, the xcb platform, no
// accessibility bus) with keys typed through the X server: keys typed during
// the wait after a key, a held key, Ctrl+Q from every window, and the titles
// that a window manager reads. Outcomes are read from the screen (XGetImage)
// or from the program's exit, so the program gets no event but the keys.
#include "tests/prefs/default_prefs.h"
#include "tests/support/main_window_screen.h"
#include "tests/support/real_desktop.h"
#include "tests/support/real_desktop_fixture.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <optional>

namespace {

using namespace quorvel::test;

const QString kMainTitle = QString::fromLatin1(kMainWindowTitle);
// The wait after a key lasts until the tick count has advanced by 31.
constexpr int kWaitMs = 31 * 1000 / 60;
// How late a key typed during the wait may be handled after it ends.
constexpr int kLateMs = 150;

// Window coordinates of the centres of controls in the Preferences window,
// from their layout places.
const QPoint kPickSuccessKey(289 + 114, 43 + 11);
const QPoint kAllSuccess(289 + 10, 74 + 9);
const QPoint kAllFailure(289 + 10, 222 + 9);
const QPoint kPrefsOk(464 + 34, 341 + 10);

class RealDesktop : public RealDesktopTest {
protected:
    // Clicks a control at its layout place in the main window's content area.
    void clickInMain(unsigned long main, QPoint at)
    {
        EXPECT_TRUE(clickInContent(display(), main, at, kWindowTimeoutMs)) << "the main window does not show";
    }

    // The main window after Start, with the keyboard focus; the last event
    // before the keys is the click on Start.
    unsigned long startRun(const QByteArray& prefs = kDefaultPrefs)
    {
        const unsigned long main = startOnMainWindow(prefs);
        if (main) {
            EXPECT_TRUE(pressStart(display(), main, kWindowTimeoutMs)) << "Start did not run";
        }
        return main;
    }

    static QElapsedTimer started()
    {
        QElapsedTimer t;
        t.start();
        return t;
    }

    // The program quits within the time: its windows are gone and it ends.
    // A program built with the sanitizers checks its memory for leaks as it
    // ends, which on a busy machine takes seconds of its own.
    void expectExit(int timeoutMs, const char* what)
    {
        const QElapsedTimer since = started();
        while (!topLevelWindows(display()).empty() && since.elapsed() < timeoutMs)
            QThread::msleep(5);
        EXPECT_TRUE(topLevelWindows(display()).empty()) << what << ": its windows still show";
        int code = -2;
        ASSERT_TRUE(m_program->waitForExit(std::max<int>(0, timeoutMs - int(since.elapsed())) + kTeardownMs, &code))
            << what << ": the program still runs";
        EXPECT_EQ(code, 0) << what << "; standard error:\n" << m_program->standardError().toStdString();
    }
};

// Keys typed during the wait after a key wait in the window system's queue;
// once the wait ends they must be handled with no other event to wake the
// program. After a trial the announcement timer runs and would wake it
// anyway; after an ignored key ("x": neither response key) nothing does.
// Nothing but the keys is sent: the screen is only read, and the pointer
// stays where Start left it.
struct FirstKey {
    const char* name;
    const char* key;
    bool trial;
};
const FirstKey kFirstKeys[] = {{"after a trial key", "y", true}, {"after an ignored key", "x", false}};

TEST_F(RealDesktop, KeysTypedDuringTheWaitBecomeTrialsWithNoOtherEvent)
{
    struct Case {
        const char* name;
        QByteArray prefs;
    };
    // By Maximum-Likelihood PEST each key also runs the threshold search,
    // which serves events as it goes.
    const Case cases[] = {
        {"Adaptive PEST", kDefaultPrefs},
        {"Maximum-Likelihood PEST", "PESTPREFS\t50\t7\t.45\t0\t100\t100\t121\t110\t0\t0\t20\t80\t7\t.45\t1\tENDOFFILE"},
    };
    for (const Case& c : cases)
        for (const FirstKey& first : kFirstKeys) {
            SCOPED_TRACE(c.name);
            SCOPED_TRACE(first.name);
            const unsigned long main = startRun(c.prefs);
            ASSERT_NE(main, 0UL);
            HistoryOnScreen history(display(), main);
            ASSERT_TRUE(history.valid());
            ASSERT_EQ(history.rows(), 0);

            const QElapsedTimer clock = started();
            tapKey(display(), QString::fromLatin1(first.key));
            QThread::msleep(150);
            tapKey(display(), QStringLiteral("n"));
            QThread::msleep(150);
            tapKey(display(), QStringLiteral("y"));
            // The keys' rows, in order: "n" is a trial as the wait after the
            // first key ends, "y" as the wait after "n" ends, and not later.
            const int rows = first.trial ? 3 : 2;
            for (int row = 1; row <= rows; ++row) {
                const int waits = row - (first.trial ? 1 : 0);  // waits before this row's key is handled
                const int bound = waits * kWaitMs + kLateMs;
                EXPECT_TRUE(history.waitForRows(row, bound - int(clock.elapsed())))
                    << history.rows() << " rows " << clock.elapsed() << " ms after the first key, where row " << row
                    << " shows within " << bound << " ms";
            }
            QThread::msleep(kWaitMs + 200);
            EXPECT_EQ(history.rows(), rows) << "each response key one trial";
            m_program.reset();
        }
}

TEST_F(RealDesktop, CtrlQTypedDuringTheWaitQuitsAsTheWaitEnds)
{
    for (const FirstKey& first : kFirstKeys) {
        SCOPED_TRACE(first.name);
        const unsigned long main = startRun();
        ASSERT_NE(main, 0UL);
        tapKey(display(), QString::fromLatin1(first.key));
        QThread::msleep(150);
        tapKey(display(), QStringLiteral("ctrl+q"));
        // The wait ends kWaitMs after the key; the windows go as it ends.
        expectExit(kWaitMs - 150 + kLateMs, "Ctrl+Q typed during the wait");
        m_program.reset();
    }
}

TEST_F(RealDesktop, AHeldKeyIsOnePress)
{
    const unsigned long main = startRun();
    ASSERT_NE(main, 0UL);
    HistoryOnScreen history(display(), main);
    ASSERT_TRUE(history.valid());

    keyDown(display(), QStringLiteral("y"));
    QThread::msleep(1000);  // the keyboard repeats it meanwhile
    keyUp(display(), QStringLiteral("y"));
    QThread::msleep(2 * kWaitMs);
    EXPECT_EQ(history.rows(), 1) << "a key held for a second";

    // The next press is a trial of its own.
    tapKey(display(), QStringLiteral("n"));
    EXPECT_TRUE(history.waitForRows(2, 1000)) << history.rows() << " rows";
}

TEST_F(RealDesktop, CtrlQQuitsFromTheModalWindows)
{
    // Settings of the operator's own, which a Quit must leave as they are.
    const QByteArray own = "PESTPREFS\t40\t5\t.3\t20\t60\t70\t49\t48\t0\t0\t10\t90\t5\t.2\t0\tENDOFFILE";
    struct Case {
        const char* name;
        bool firstStart;  // else the Preferences come from the Prefs button
        bool captureKey;  // open the key-capture window over the Preferences
    };
    const Case cases[] = {{"Preferences at first start", true, false},
                          {"key capture over the Preferences at first start", true, true},
                          {"Preferences from the Prefs button", false, false},
                          {"key capture over the Preferences from the Prefs button", false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(configHome() + QStringLiteral("/Quorvel/PREFS"));
        startProgram(c.firstStart ? std::nullopt : std::optional<QByteArray>(own));
        if (!c.firstStart) {
            const unsigned long main = m_program->expectWindow(kMainTitle, kWindowTimeoutMs);
            ASSERT_NE(main, 0UL);
            clickInMain(main, kPrefsButton);
        }
        unsigned long target = m_program->expectWindow(QStringLiteral("Preferences"), kWindowTimeoutMs);
        ASSERT_NE(target, 0UL);
        if (c.captureKey) {
            clickAt(display(), target, kPickSuccessKey.x(), kPickSuccessKey.y());
            target = m_program->expectWindow(QStringLiteral("Select a key"), kWindowTimeoutMs);
            ASSERT_NE(target, 0UL);
        }
        focusWindow(display(), target);
        tapKey(display(), QStringLiteral("ctrl+q"));
        expectExit(3000, "Ctrl+Q in a modal window");
        // The file is whole: the operator's own, or the default file that the
        // Preferences window wrote as it opened at first start.
        EXPECT_EQ(prefsFile(), c.firstStart ? kDefaultPrefs : own);
        m_program.reset();
    }
}

TEST_F(RealDesktop, WindowTitlesAreExactlyTheirOwn)
{
    startProgram(std::nullopt);
    const unsigned long main = m_program->expectWindow(kMainTitle, kWindowTimeoutMs);
    ASSERT_NE(main, 0UL);
    const unsigned long prefs = m_program->expectWindow(QStringLiteral("Preferences"), kWindowTimeoutMs);
    ASSERT_NE(prefs, 0UL);

    clickAt(display(), prefs, kPickSuccessKey.x(), kPickSuccessKey.y());
    const unsigned long capture = m_program->expectWindow(QStringLiteral("Select a key"), kWindowTimeoutMs);
    ASSERT_NE(capture, 0UL);
    focusWindow(display(), capture);
    tapKey(display(), QStringLiteral("a"));
    waitUntilGone(capture, "the key-capture window");

    // A message box keeps a title of its own.
    clickAt(display(), prefs, kAllSuccess.x(), kAllSuccess.y());
    clickAt(display(), prefs, kAllFailure.x(), kAllFailure.y());
    const unsigned long message = m_program->expectWindow(QStringLiteral("Quorvel"), kWindowTimeoutMs);
    ASSERT_NE(message, 0UL);
    focusWindow(display(), message);
    tapKey(display(), QStringLiteral("Return"));
    waitUntilGone(message, "the message box");

    clickAt(display(), prefs, kPrefsOk.x(), kPrefsOk.y());
    waitUntilGone(prefs, "the Preferences window");
    clickInMain(main, kPrintSaveButton);
    const unsigned long output = m_program->expectWindow(QStringLiteral("Output"), kWindowTimeoutMs);
    ASSERT_NE(output, 0UL);
    for (unsigned long w : topLevelWindows(display()))
        EXPECT_FALSE(windowName(display(), w).contains(QStringLiteral("—"))) << windowName(display(), w).toStdString();

    // Ctrl+Q from the Output window too.
    focusWindow(display(), output);
    tapKey(display(), QStringLiteral("ctrl+q"));
    expectExit(3000, "Ctrl+Q in the Output window");
}

// No other user of the machine can type into a test's display: a client
// without the server's cookie, or with another, is refused.
TEST_F(RealDesktop, TheDisplayAdmitsOnlyClientsWithItsCookie)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString other = dir.filePath(QStringLiteral("other"));
    QFile(other).open(QIODevice::WriteOnly);
    ASSERT_EQ(QProcess::execute(QStringLiteral("xauth"), {QStringLiteral("-q"), QStringLiteral("-f"), other,
                                                          QStringLiteral("add"), m_server.displayName(),
                                                          QStringLiteral("."), QStringLiteral("0123456789abcdef0123456789abcdef")}),
              0);
    struct Case {
        const char* name;
        QString authority;
        bool admitted;
    };
    const Case cases[] = {{"no cookie", dir.filePath(QStringLiteral("none")), false},
                          {"another cookie", other, false},
                          {"the server's cookie", m_server.authorityFile(), true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QProcess client;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XAUTHORITY"), c.authority);
        client.setProcessEnvironment(env);
        client.setProcessChannelMode(QProcess::MergedChannels);
        client.start(QStringLiteral("xdpyinfo"), {QStringLiteral("-display"), m_server.displayName()});
        ASSERT_TRUE(client.waitForFinished(10'000)) << "xdpyinfo (x11-utils) did not end";
        EXPECT_EQ(client.exitStatus() == QProcess::NormalExit && client.exitCode() == 0, c.admitted)
            << client.readAll().left(300).toStdString();
    }
}

TEST_F(RealDesktop, TheHarnessFailsOnWhatItDoesNotExpect)
{
    // No window has this id: asking its name is a window gone between
    // listing and asking, which is allowed; giving it the focus is not.
    const unsigned long gone = 0x7ffff0;
    EXPECT_EQ(windowName(display(), gone), QString());
    EXPECT_TRUE(grabWindow(display(), gone).isNull());
    EXPECT_NONFATAL_FAILURE(focusWindow(display(), gone), "unexpected X error: BadWindow");
    EXPECT_NONFATAL_FAILURE(tapKey(display(), QStringLiteral("ctrl+NoSuchKey")), "unknown key name \"NoSuchKey\"");
    EXPECT_NONFATAL_FAILURE(tapKey(display(), QStringLiteral("hyper+q")), "unknown key name \"hyper\"");
}

} // namespace
