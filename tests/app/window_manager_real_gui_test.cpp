// The real program's modal windows under real window managers (Openbox,
// IceWM, xfwm4 and Metacity without compositors, each on a private Xvfb):
// every modal window the program opens reaches the screen, as the window
// manager reports it (viewable, and in its _NET_CLIENT_LIST), every time:
// the Preferences window at a first start with no settings, the Preferences
// window from the "Prefs" button, the key-capture window from the
// Preferences window's key buttons. A window manager that handles a window's
// withdrawal after its new map leaves it withdrawn: a modal window nobody
// sees, and a program that answers nothing. The fault shows at some
// repetitions only, so each is repeated and the counts are the verdict.
//
// A window without a close box asks the window manager for none (none of
// the program's windows has one; a framework window with one keeps it), and
// every window opens wholly on the screen, frame included.

#include "tests/support/main_window_screen.h"
#include "tests/support/real_desktop.h"
#include "tests/support/real_desktop_fixture.h"

#include "tests/prefs/default_prefs.h"

#include "framework/window.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QStringList>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

using namespace quorvel::test;

const QString kMainTitle = QString::fromLatin1(kMainWindowTitle);
const QString kPrefsTitle = QStringLiteral("Preferences");
const QString kKeyTitle = QStringLiteral("Select a key");

// Window coordinates of the Preferences window's controls, from their layout
// places: the success key's "Click here to select a key" (228 x 22 at
// (289, 43)) and "Cancel" (69 x 20 at (383, 341)).
const QPoint kPickSuccessKey(289 + 114, 43 + 11);
const QPoint kPrefsCancel(383 + 34, 341 + 10);

// A window manager frames and maps a window within milliseconds of the
// program's map request; a window that exists, named, and is still not on
// screen after this never will be. A key closes the key-capture window
// as quickly.
#ifdef QUORVEL_SANITIZED
constexpr int kShowMs = 8000;
constexpr int kKeyMs = 3000;
#else
constexpr int kShowMs = 3000;
constexpr int kKeyMs = 1000;
#endif

// Repetitions. Measured where a window on screen was withdrawn and mapped
// again to become modal: IceWM lost it at about half of the first starts and
// presses, Openbox at one to three in a hundred (three of eight first starts
// once under the sanitizers), xfwm4 and Metacity never. A first start or a
// press costs about a tenth of a second here, a loss the wait above.
struct Case {
    WindowManager wm;
    int firstStarts;
    int presses;  // of "Prefs", and of the key button
    // Whether it lists _NET_WM_ACTION_CLOSE for every window, whatever the
    // window asks: Openbox lets no Motif hint take its close button away;
    // xfwm4 draws none but lists the action all the same. IceWM and
    // Metacity list it only where the window's hints allow closing.
    bool offersCloseAnyway;
};
#ifdef QUORVEL_SANITIZED
const Case kCases[] = {
    {WindowManager::Openbox, 16, 15, true},
    {WindowManager::IceWM, 6, 8, false},
    {WindowManager::Xfwm4, 2, 4, true},
    {WindowManager::Metacity, 2, 4, false},
};
#else
const Case kCases[] = {
    {WindowManager::Openbox, 40, 30, true},
    {WindowManager::IceWM, 10, 15, false},
    {WindowManager::Xfwm4, 3, 6, true},
    {WindowManager::Metacity, 3, 6, false},
};
#endif

// The repetitions at which a window was lost, and how each looked.
struct Tally {
    int tried = 0;
    QStringList lostAt;
    QStringList notes;
    // "Preferences shown at 9 of 15 first starts under icewm; lost at 3, ..."
    std::string verdict(const char* window, const char* repetitions, const QString& wm) const
    {
        return QStringLiteral("%1 shown at %2 of %3 %4 under %5; lost at %6\n  %7")
            .arg(QString::fromUtf8(window))
            .arg(tried - lostAt.size())
            .arg(tried)
            .arg(QString::fromUtf8(repetitions), wm, lostAt.join(QStringLiteral(", ")),
                 notes.join(QStringLiteral("\n  ")))
            .toStdString();
    }
};

class ModalWindows : public RealDesktopTest, public ::testing::WithParamInterface<Case> {
protected:
    WindowManager windowManager() const override { return GetParam().wm; }
    QString wmName() const { return windowManagerName(GetParam().wm); }

    bool managed(unsigned long window) const
    {
        const std::vector<unsigned long> all = managedWindows(display());
        return std::find(all.begin(), all.end(), window) != all.end();
    }

    // Waits for the program's window named `title` to exist and then to be
    // on screen as the window manager reports it: viewable and among its
    // clients. Returns it, or 0 with what was seen in *seen.
    unsigned long waitForShown(const QString& title, QString* seen)
    {
        unsigned long window = 0;
        const auto made = [&] {
            const std::vector<unsigned long> named = windowsNamed(display(), title);
            window = named.empty() ? 0 : named.back();
            return window != 0;
        };
        if (!waitUntil(made, kWindowTimeoutMs)) {
            *seen = QStringLiteral("no window named \"%1\" was made; standard error:\n%2")
                        .arg(title, QString::fromLocal8Bit(m_program->standardError()));
            return 0;
        }
        if (waitUntil([&] { return made() && isViewable(display(), window) && managed(window); }, kShowMs))
            return window;
        *seen = QStringLiteral("window 0x%1 %2, %3 the window manager's client list, %4 ms after it was made")
                    .arg(window, 0, 16)
                    .arg(isViewable(display(), window) ? QStringLiteral("viewable") : QStringLiteral("not viewable"))
                    .arg(managed(window) ? QStringLiteral("in") : QStringLiteral("not in"))
                    .arg(kShowMs);
        return 0;
    }

    // Waits until no window of that name is left, mapped or not (a closed
    // window is destroyed), so the next one found is a new one.
    bool waitUntilNoneNamed(const QString& title)
    {
        return waitUntil([&] { return windowsNamed(display(), title).empty(); }, kWindowTimeoutMs);
    }

    // A key typed into the key-capture window closes it; when it does not,
    // it is pressed again (*second), so that a series can go on. False when
    // neither press closed it. The same key every time, as an operator who
    // picks the same key again types it: a key whose release the program
    // missed when the window closed on its press must still count.
    bool typeIntoKeyCapture(unsigned long capture, bool* second)
    {
        const auto gone = [&] { return windowsNamed(display(), kKeyTitle).empty(); };
        focusWindow(display(), capture);
        tapKey(display(), QStringLiteral("a"));
        *second = !waitUntil(gone, kKeyMs);
        if (!*second)
            return true;
        tapKey(display(), QStringLiteral("a"));
        return waitUntil(gone, kKeyMs);
    }

    // The main window of a program started with default settings.
    unsigned long restartOnMainWindow()
    {
        m_program.reset();
        return startOnMainWindow(kDefaultPrefs);
    }

    // From the main window, the Preferences window on screen; a lost one
    // costs a fresh program, up to three times. 0 when none showed.
    unsigned long openPreferences(unsigned long* main)
    {
        for (int attempt = 0; attempt < 3 && *main; ++attempt) {
            if (!clickInContent(display(), *main, kPrefsButton, kWindowTimeoutMs))
                return 0;
            QString seen;
            if (const unsigned long prefs = waitForShown(kPrefsTitle, &seen))
                return prefs;
            ADD_FAILURE() << "the Preferences window from \"Prefs\" under " << wmName().toStdString()
                          << " did not show: " << seen.toStdString();
            *main = restartOnMainWindow();
        }
        return 0;
    }
};

TEST_P(ModalWindows, TheFirstStartShowsThePreferencesEveryTime)
{
    Tally tally;
    QStringList unanswered;
    const QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    for (int start = 1; start <= GetParam().firstStarts; ++start) {
        ASSERT_TRUE(QDir(configHome() + QStringLiteral("/Quorvel")).removeRecursively());
        ASSERT_NO_FATAL_FAILURE(startProgram(std::nullopt));
        ++tally.tried;
        QString seen;
        const unsigned long prefs = waitForShown(kPrefsTitle, &seen);
        if (!prefs) {
            tally.lostAt << QString::number(start);
            tally.notes << QStringLiteral("start %1: %2").arg(start).arg(seen);
            m_program.reset();
            continue;
        }
        // Answered: Cancel closes it and the main window shows.
        clickAt(display(), prefs, kPrefsCancel.x(), kPrefsCancel.y());
        if (!waitUntilNoneNamed(kPrefsTitle))
            unanswered << QStringLiteral("start %1: Cancel did not close the Preferences window").arg(start);
        else if (!waitForShown(kMainTitle, &seen))
            unanswered << QStringLiteral("start %1: the main window after Cancel: %2").arg(start).arg(seen);
        m_program.reset();
    }
    EXPECT_TRUE(tally.lostAt.isEmpty()) << tally.verdict("Preferences", "first starts", wmName());
    EXPECT_TRUE(unanswered.isEmpty()) << unanswered.join(QLatin1Char('\n')).toStdString();
    std::printf("%s: %d first starts in %.1f s\n", qPrintable(wmName()), tally.tried, clock.elapsed() / 1000.0);
}

TEST_P(ModalWindows, ThePrefsButtonShowsThePreferencesEveryTime)
{
    unsigned long main = startOnMainWindow(kDefaultPrefs);
    ASSERT_NE(main, 0UL);
    Tally tally;
    for (int press = 1; press <= GetParam().presses && main; ++press) {
        ASSERT_TRUE(clickInContent(display(), main, kPrefsButton, kWindowTimeoutMs))
            << "the main window does not show, press " << press;
        ++tally.tried;
        QString seen;
        const unsigned long prefs = waitForShown(kPrefsTitle, &seen);
        if (!prefs) {
            // The program waits in a window nobody sees: a fresh one goes on.
            tally.lostAt << QString::number(press);
            tally.notes << QStringLiteral("press %1: %2").arg(press).arg(seen);
            main = restartOnMainWindow();
            continue;
        }
        clickAt(display(), prefs, kPrefsCancel.x(), kPrefsCancel.y());
        ASSERT_TRUE(waitUntilNoneNamed(kPrefsTitle)) << "Cancel did not close the Preferences window, press " << press;
    }
    EXPECT_EQ(tally.tried, GetParam().presses) << "the program did not come back after a lost window";
    EXPECT_TRUE(tally.lostAt.isEmpty())
        << tally.verdict("Preferences", "presses of \"Prefs\"", wmName());
}

TEST_P(ModalWindows, TheKeyButtonShowsTheKeyCaptureEveryTime)
{
    unsigned long main = startOnMainWindow(kDefaultPrefs);
    ASSERT_NE(main, 0UL);
    unsigned long prefs = openPreferences(&main);
    ASSERT_NE(prefs, 0UL) << "no Preferences window to try the key button in";
    Tally tally;
    QStringList ignoredAt;
    for (int press = 1; press <= GetParam().presses && prefs; ++press) {
        clickAt(display(), prefs, kPickSuccessKey.x(), kPickSuccessKey.y());
        ++tally.tried;
        QString seen;
        const unsigned long capture = waitForShown(kKeyTitle, &seen);
        if (!capture) {
            tally.lostAt << QString::number(press);
            tally.notes << QStringLiteral("press %1: %2").arg(press).arg(seen);
            main = restartOnMainWindow();
            prefs = main ? openPreferences(&main) : 0;
            continue;
        }
        bool second = false;
        ASSERT_TRUE(typeIntoKeyCapture(capture, &second)) << "two presses did not close the key-capture window, press "
                                                          << press;
        if (second)
            ignoredAt << QString::number(press);
    }
    EXPECT_EQ(tally.tried, GetParam().presses) << "no Preferences window came back after a lost window";
    EXPECT_TRUE(tally.lostAt.isEmpty())
        << tally.verdict("Select a key", "presses of \"Click here to select a key\"", wmName());
    EXPECT_TRUE(ignoredAt.isEmpty()) << "a key typed into the key-capture window closed it at "
                                     << tally.tried - tally.lostAt.size() - ignoredAt.size() << " of "
                                     << tally.tried - tally.lostAt.size() << " shown under " << wmName().toStdString()
                                     << "; the key (\"a\" each time) was ignored at "
                                     << ignoredAt.join(QStringLiteral(", ")).toStdString() << " (a second press closed it)";
    if (prefs) {
        clickAt(display(), prefs, kPrefsCancel.x(), kPrefsCancel.y());
        EXPECT_TRUE(waitUntilNoneNamed(kPrefsTitle)) << "Cancel did not close the Preferences window";
    }
}

// What a window asks the window manager for about closing it: the Motif
// hints' functions (MWM_HINTS_FUNCTIONS = 1 in the flags; MWM_FUNC_ALL = 1
// makes the listed functions the ones taken away; MWM_FUNC_CLOSE = 32); no
// functions hint allows every function.
bool asksForClose(const std::vector<long>& mwm)
{
    if (mwm.size() < 2 || !(mwm[0] & 1))
        return true;
    const long functions = mwm[1];
    return (functions & 1) ? !(functions & 32) : (functions & 32) != 0;
}

QString describeMotif(const std::vector<long>& mwm)
{
    if (mwm.size() < 2)
        return QStringLiteral("no _MOTIF_WM_HINTS");
    return QStringLiteral("_MOTIF_WM_HINTS flags 0x%1 functions 0x%2").arg(mwm[0], 0, 16).arg(mwm[1], 0, 16);
}

// The close button a window is offered, as the window manager and the
// window's own hints say, and its frame wholly on the screen.
void checkClosingAndPlace(Display* d, const Case& c, unsigned long window, const char* name, bool closeBox)
{
    const QString wm = windowManagerName(c.wm);
    SCOPED_TRACE(name);
    const std::vector<long> mwm = longProperty(d, window, "_MOTIF_WM_HINTS");
    EXPECT_EQ(asksForClose(mwm), closeBox)
        << name << (closeBox ? " has a close box" : " has no close box") << "; " << describeMotif(mwm).toStdString();
    bool listed = false;
    const QStringList actions = allowedActions(d, window, &listed);
    if (listed && (closeBox || !c.offersCloseAnyway)) {
        EXPECT_EQ(actions.contains(QStringLiteral("_NET_WM_ACTION_CLOSE")), closeBox)
            << name << ": " << wm.toStdString() << " allows " << actions.join(QLatin1Char(' ')).toStdString();
    }
    std::vector<long> frame;
    EXPECT_TRUE(waitUntil([&] { return !(frame = frameExtents(d, window)).empty(); }, kShowMs))
        << wm.toStdString() << " set no _NET_FRAME_EXTENTS on " << name;
    if (frame.empty())
        return;
    const QRect screen(0, 0, 1280, 1024);
    QRect outer;
    const auto inside = [&] {
        outer = screenGeometry(d, window).adjusted(-frame[0], -frame[2], frame[1], frame[3]);
        return screen.contains(outer);
    };
    EXPECT_TRUE(waitUntil(inside, 1000))
        << name << " with its frame spans " << outer.x() << "," << outer.y() << " to " << outer.right() << ","
        << outer.bottom() << " (frame left " << frame[0] << ", right " << frame[1] << ", top " << frame[2]
        << ", bottom " << frame[3] << ") on a screen of 1280 x 1024";
}

TEST_P(ModalWindows, NoWindowOfTheProgramOffersClosingAndEachOpensOnTheScreen)
{
    // At a first start: the Preferences window, and the key capture over it.
    unsigned long prefs = 0;
    QString seen;
    for (int attempt = 0; attempt < 3 && !prefs; ++attempt) {
        ASSERT_TRUE(QDir(configHome() + QStringLiteral("/Quorvel")).removeRecursively());
        m_program.reset();
        ASSERT_NO_FATAL_FAILURE(startProgram(std::nullopt));
        prefs = waitForShown(kPrefsTitle, &seen);
        if (!prefs)
            ADD_FAILURE() << "the Preferences window at a first start did not show: " << seen.toStdString();
    }
    ASSERT_NE(prefs, 0UL);
    checkClosingAndPlace(display(), GetParam(), prefs, "the Preferences window", false);
    clickAt(display(), prefs, kPickSuccessKey.x(), kPickSuccessKey.y());
    const unsigned long capture = waitForShown(kKeyTitle, &seen);
    ASSERT_NE(capture, 0UL) << seen.toStdString();
    checkClosingAndPlace(display(), GetParam(), capture, "the key-capture window", false);
    bool second = false;
    ASSERT_TRUE(typeIntoKeyCapture(capture, &second)) << "two presses did not close the key-capture window";
    clickAt(display(), prefs, kPrefsCancel.x(), kPrefsCancel.y());
    ASSERT_TRUE(waitUntilNoneNamed(kPrefsTitle));

    const unsigned long main = waitForShown(kMainTitle, &seen);
    ASSERT_NE(main, 0UL) << seen.toStdString();
    checkClosingAndPlace(display(), GetParam(), main, "the main window", false);
    ASSERT_TRUE(clickInContent(display(), main, kPrintSaveButton, kWindowTimeoutMs));
    const unsigned long output = waitForShown(QStringLiteral("Output"), &seen);
    ASSERT_NE(output, 0UL) << seen.toStdString();
    checkClosingAndPlace(display(), GetParam(), output, "the Output window", false);
}

// Two framework windows, one with a close box and one without, shown by the
// test below in a process of their own on its X server.
class Boxed : public fw::Window {
public:
    static inline bool s_closeBox = false;

protected:
    void Layout() override
    {
        setCloseBox(s_closeBox);
        setTitle(s_closeBox ? QStringLiteral("With a close box") : QStringLiteral("Without a close box"));
        setContentSize(300, 120);
    }
    void CreateControls() override {}
};
class BoxedToo : public Boxed {};

TEST(CloseBoxClient, DISABLED_ShowsAWindowWithAndOneWithoutACloseBox)
{
    Boxed::s_closeBox = true;
    fw::Window::implicitInstance<Boxed>(QStringLiteral("Boxed"))->Show();
    Boxed::s_closeBox = false;
    fw::Window::implicitInstance<BoxedToo>(QStringLiteral("BoxedToo"))->Show();
    // Until the test that started it has read what it needs and ends it.
    QTest::qWait(120'000);
}

TEST_P(ModalWindows, AFrameworkWindowOffersClosingExactlyWhenItHasACloseBox)
{
    m_program = std::make_unique<RealProgram>(m_server, configHome());
    QString why;
    ASSERT_TRUE(m_program->start(QCoreApplication::applicationFilePath(),
                                 {QStringLiteral("-platform"), QStringLiteral("xcb"),
                                  QStringLiteral("--gtest_also_run_disabled_tests"),
                                  QStringLiteral("--gtest_filter=CloseBoxClient.*")},
                                 &why))
        << why.toStdString();
    for (const bool closeBox : {true, false}) {
        const QString title = closeBox ? QStringLiteral("With a close box") : QStringLiteral("Without a close box");
        QString seen;
        const unsigned long window = waitForShown(title, &seen);
        ASSERT_NE(window, 0UL) << seen.toStdString() << "; the client's standard error:\n"
                               << m_program->standardError().toStdString();
        checkClosingAndPlace(display(), GetParam(), window, qPrintable(title), closeBox);
    }
}

INSTANTIATE_TEST_SUITE_P(, ModalWindows, ::testing::ValuesIn(kCases), [](const ::testing::TestParamInfo<Case>& info) {
    return windowManagerName(info.param.wm).toStdString();
});

} // namespace
