// Response keys of the real program on a private X server (xcb, no
// accessibility bus), typed through XTest and judged by the history rows on
// screen: every genuine press is a trial, also when its release and the next
// press reach the server together (a remote display does that); a held key
// is one trial; Return in a parameter field presses Start, and once Start is
// greyed Return is a response key like any other.
#include "tests/support/main_window_screen.h"
#include "tests/support/real_desktop.h"
#include "tests/support/real_desktop_fixture.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QImage>
#include <QThread>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

using namespace quorvel::test;

// The wait after a key lasts until the tick count has advanced by 31.
constexpr int kWaitMs = 31 * 1000 / 60;

// Success "y" (121), failure "n" (110), Adaptive PEST.
const QByteArray kKeysYN = "PESTPREFS\t50\t7\t.45\t0\t100\t100\t121\t110\t0\t0\t20\t80\t7\t.45\t0\tENDOFFILE";
// Success Return (13), failure "n".
const QByteArray kReturnIsSuccess = "PESTPREFS\t50\t7\t.45\t0\t100\t100\t13\t110\t0\t0\t20\t80\t7\t.45\t0\tENDOFFILE";


class ResponseKeys : public RealDesktopTest {
protected:
    // A release of the key and its next press in one request to the server,
    // as one network write of a remote display carries them.
    void releaseAndPressTogether(const char* keysym)
    {
        const KeyCode code = XKeysymToKeycode(display(), XStringToKeysym(keysym));
        XTestFakeKeyEvent(display(), code, False, CurrentTime);
        XTestFakeKeyEvent(display(), code, True, CurrentTime);
        XSync(display(), False);
    }
};

TEST_F(ResponseKeys, SixPressesWhoseReleasesComeWithTheNextPressAreSixTrials)
{
    const unsigned long main = startOnMainWindow(kKeysYN);
    ASSERT_NE(main, 0UL);
    ASSERT_TRUE(pressStart(display(), main, kWindowTimeoutMs)) << "Start did not run";
    HistoryOnScreen history(display(), main);
    ASSERT_TRUE(history.valid());
    ASSERT_EQ(history.rows(), 0);

    keyDown(display(), QStringLiteral("y"));
    for (int i = 0; i < 5; ++i) {
        QThread::msleep(120);  // well under the keyboard's repeat delay
        releaseAndPressTogether("y");
    }
    keyUp(display(), QStringLiteral("y"));
    // Each trial waits half a second; the presses queue meanwhile.
    EXPECT_TRUE(history.waitForRows(6, 6 * kWaitMs + 3000)) << history.rows() << " rows from six presses";
    QThread::msleep(kWaitMs + 300);
    EXPECT_EQ(history.rows(), 6) << "six presses";
}

TEST_F(ResponseKeys, AKeyHeldForTwoSecondsIsOneTrialAndTheNextPressAnother)
{
    const unsigned long main = startOnMainWindow(kKeysYN);
    ASSERT_NE(main, 0UL);
    ASSERT_TRUE(pressStart(display(), main, kWindowTimeoutMs)) << "Start did not run";
    HistoryOnScreen history(display(), main);
    ASSERT_TRUE(history.valid());

    keyDown(display(), QStringLiteral("y"));
    QThread::msleep(2000);  // the server repeats it meanwhile
    keyUp(display(), QStringLiteral("y"));
    QThread::msleep(2 * kWaitMs + 300);
    EXPECT_EQ(history.rows(), 1) << "a key held for two seconds";

    tapKey(display(), QStringLiteral("y"));
    EXPECT_TRUE(history.waitForRows(2, 2000)) << history.rows() << " rows after the next press";
    QThread::msleep(kWaitMs + 300);
    EXPECT_EQ(history.rows(), 2);
}

TEST_F(ResponseKeys, ReturnInAFieldStartsTheRunAndThenIsAResponse)
{
    const unsigned long main = startOnMainWindow(kReturnIsSuccess);
    ASSERT_NE(main, 0UL);
    const int top = waitForContentTop(display(), main, kWindowTimeoutMs);
    ASSERT_GE(top, 0);
    HistoryOnScreen history(display(), main);
    ASSERT_TRUE(history.valid());
    const QRect start = kStartButtonArea.translated(0, top);
    const QImage startBefore = grabWindow(display(), main, start);

    ASSERT_TRUE(clickInContent(display(), main, kInitialOutputField, kWindowTimeoutMs));
    focusWindow(display(), main);
    QThread::msleep(200);
    tapKey(display(), QStringLiteral("Return"));
    QDeadlineTimer deadline(3000);
    while (grabWindow(display(), main, start) == startBefore && !deadline.hasExpired())
        QThread::msleep(5);
    EXPECT_NE(grabWindow(display(), main, start), startBefore) << "Return in the field did not press Start";
    EXPECT_EQ(history.rows(), 0) << "Return pressed Start, not a trial as well";

    // Start is greyed: Return, the success key here, is a trial.
    QThread::msleep(200);
    tapKey(display(), QStringLiteral("Return"));
    EXPECT_TRUE(history.waitForRows(1, 2000)) << history.rows() << " rows after Return";
    QThread::msleep(kWaitMs + 300);
    EXPECT_EQ(history.rows(), 1);
}

} // namespace
