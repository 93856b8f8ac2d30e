#pragma once

// Tests of the real program on a real X server: a private Xvfb, the program
// started on it with the xcb platform and no accessibility bus, keys and
// clicks typed through the X server (XTest), and the screen read back through
// XGetImage, which sends the program no event.
//
// No accessibility bus on purpose: its traffic wakes the program's event
// loop and hides input that would otherwise wait.

#include <QByteArray>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

typedef struct _XDisplay Display;

namespace quorvel::test {

// How long the real program may take to show its first window (start-up
// under the sanitizers is slow), and the extra time a sanitized program gets
// to end (its leak check at exit).
inline constexpr int kWindowTimeoutMs = 20'000;
#ifdef QUORVEL_SANITIZED
inline constexpr int kTeardownMs = 20'000;
#else
inline constexpr int kTeardownMs = 0;
#endif

// What the harness finds wrong: an X error it did not expect (a window gone
// between listing and asking it is expected), a key name X does not know, a
// window that never showed. Each is handed to the handler set here, which
// the tests make a failure of the running test; with none set it is written
// to standard error and the program aborts. Returns the previous handler.
using FailureHandler = std::function<void(const QString& what)>;
FailureHandler setFailureHandler(FailureHandler handler);

// An Xvfb of the test's own (1280x1024x24, no TCP), stopped on destruction.
class PrivateXServer {
public:
    PrivateXServer();
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    // Starts the server and connects to it; false with the reason when not.
    bool start(QString* why);
    QString displayName() const { return m_name; }
    Display* display() const { return m_display; }

private:
    std::unique_ptr<QProcess> m_server;
    QString m_name;
    Display* m_display = nullptr;
};

// The real program (build/bin/quorvel) on a private X server, with its own
// configuration folder; killed on destruction when still running.
class RealProgram {
public:
    RealProgram(PrivateXServer& server, const QString& configHome);
    ~RealProgram();
    RealProgram(const RealProgram&) = delete;
    RealProgram& operator=(const RealProgram&) = delete;

    // The environment it starts with; add to it before start().
    QProcessEnvironment& environment() { return m_env; }
    bool start(QString* why);
    // Another program (a test binary run again as an X client) in the same
    // environment; its standard output is dropped too.
    bool start(const QString& program, const QStringList& arguments, QString* why);
    // The first viewable top-level window whose name is exactly `title`, or
    // 0 when none shows up in time.
    unsigned long waitForWindow(const QString& title, int timeoutMs);
    // The same for a window that must show: when none does, a failure naming
    // it, with what the program wrote to standard error so far.
    unsigned long expectWindow(const QString& title, int timeoutMs);
    // True when the program ended in time; the exit code is -1 after a crash.
    bool waitForExit(int timeoutMs, int* exitCode);
    QByteArray standardError();
    qint64 pid() const;

private:
    PrivateXServer& m_server;
    QProcessEnvironment m_env;
    QProcess m_process;
    QByteArray m_stderr;
};

// The first viewable top-level window whose name is exactly `title`, or 0
// after timeoutMs.
unsigned long waitForWindow(Display* d, const QString& title, int timeoutMs);
// Polls every 20 ms until `done` holds; false when it still does not after
// timeoutMs.
bool waitUntil(const std::function<bool()>& done, int timeoutMs);

// The viewable top-level windows, bottom to top.
std::vector<unsigned long> topLevelWindows(Display* d);
// _NET_WM_NAME, else WM_NAME.
QString windowName(Display* d, unsigned long window);
// The root window: the whole screen.
unsigned long rootWindow(Display* d);
// Gives the window the keyboard focus (there is no window manager).
void focusWindow(Display* d, unsigned long window);

// Keys by X keysym name ("y", "space", "Tab", "Return", "Control_L"); a
// name X does not know, or a key the keyboard lacks, is a failure.
void keyDown(Display* d, const QString& keysym);
void keyUp(Display* d, const QString& keysym);
// A press and release, with modifiers joined by '+': "ctrl+q", "shift+Tab".
void tapKey(Display* d, const QString& combo);
// A left click at a point of the window (window coordinates).
void clickAt(Display* d, unsigned long window, int x, int y);
// Moves the pointer to a point of the window and turns the wheel: notches
// towards the user when positive, away when negative, none to move only.
void wheelAt(Display* d, unsigned long window, int x, int y, int notches);

// What the screen shows of the window now.
QImage grabWindow(Display* d, unsigned long window);
// What the screen shows of a part of the window (window coordinates); small
// parts read fast enough to poll every few milliseconds.
QImage grabWindow(Display* d, unsigned long window, const QRect& area);

// A default preferences file in configHome/Quorvel/PREFS, so that no
// Preferences window waits at start-up.
bool writeDefaultPrefs(const QString& configHome);
// The same with contents of the test's own.
bool writePrefs(const QString& configHome, const QByteArray& contents);

} // namespace quorvel::test
