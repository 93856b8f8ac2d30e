#pragma once

// Tests of the real program on a real X server: a private Xvfb that asks for
// a cookie of its own, with or without a window manager, the program
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
#include <QTemporaryDir>

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

// The window managers a private X server can run (Bare: none), each as
// Debian installs it, with its default settings and no compositor.
enum class WindowManager { Bare, Openbox, IceWM, Xfwm4, Metacity };
// "bare", "openbox", "icewm", "xfwm4", "metacity".
QString windowManagerName(WindowManager wm);

// An Xvfb of the test's own (1280x1024x24, no TCP) that admits only clients
// with its cookie, so that no other user of the machine can type into it,
// optionally with a window manager; stopped on destruction.
class PrivateXServer {
public:
    PrivateXServer();
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    // Starts the server and connects to it; with a window manager, starts it
    // too and waits until it manages the screen. False with the reason when
    // not.
    bool start(QString* why);
    bool start(WindowManager wm, QString* why);
    QString displayName() const { return m_name; }
    Display* display() const { return m_display; }
    WindowManager windowManager() const { return m_wm; }
    // The Xauthority file that holds the server's cookie.
    QString authorityFile() const;
    // DISPLAY and XAUTHORITY for a client of this server.
    void addClientEnvironment(QProcessEnvironment& env) const;

private:
    bool startWindowManager(QString* why);
    bool startProcess(QProcess& process, const QString& program, const QStringList& arguments,
                      const QProcessEnvironment& env, const QString& log, QString* why);

    QTemporaryDir m_dir;  // the cookie, the window manager's home and logs
    WindowManager m_wm = WindowManager::Bare;
    std::unique_ptr<QProcess> m_server;
    // The window manager and what it needs running (xfwm4: a session bus
    // and its settings daemon), stopped last to first.
    std::vector<std::unique_ptr<QProcess>> m_helpers;
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
    // 0 when none shows up in time (under a window manager: the program's
    // window in its frame).
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

// The top-level windows, mapped or not, bottom to top: each child of the
// root, or under a window manager the client window that a frame holds (the
// one with WM_STATE).
std::vector<unsigned long> clientWindows(Display* d);
// Those of them that are viewable.
std::vector<unsigned long> topLevelWindows(Display* d);
// Those of them named exactly `title`, in any map state.
std::vector<unsigned long> windowsNamed(Display* d, const QString& title);
// Mapped, and every ancestor too (the frame under a window manager).
bool isViewable(Display* d, unsigned long window);
// _NET_WM_NAME, else WM_NAME.
QString windowName(Display* d, unsigned long window);
// The root window: the whole screen.
unsigned long rootWindow(Display* d);
// Gives the window the keyboard focus: asks the window manager when one
// runs (_NET_ACTIVE_WINDOW, as a pager does) and, when the focus is not there
// a second later, or with none, sets it directly.
void focusWindow(Display* d, unsigned long window);

// What a window manager says: whether one runs (_NET_SUPPORTING_WM_CHECK on
// the root, naming a window that names itself), the windows it manages
// (_NET_CLIENT_LIST), the actions it allows on a window
// (_NET_WM_ALLOWED_ACTIONS, atom names; `present` tells whether it set
// them) and the frame it drew (_NET_FRAME_EXTENTS: left, right, top, bottom;
// empty when not set).
bool windowManagerRunning(Display* d);
std::vector<unsigned long> managedWindows(Display* d);
QStringList allowedActions(Display* d, unsigned long window, bool* present);
std::vector<long> frameExtents(Display* d, unsigned long window);
// A window property of 32-bit items (CARDINAL, _MOTIF_WM_HINTS, ...), any
// type; empty when the window has none.
std::vector<long> longProperty(Display* d, unsigned long window, const char* name);
// The window's place on the screen (root coordinates) and size.
QRect screenGeometry(Display* d, unsigned long window);

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
