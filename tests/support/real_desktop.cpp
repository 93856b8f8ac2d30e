#include "tests/support/real_desktop.h"

#include "tests/prefs/default_prefs.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringList>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

// Xlib last: its macros (None, Bool, KeyPress, ...) clash with Qt's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace quorvel::test {
namespace {

FailureHandler& failureHandler()
{
    static FailureHandler handler;
    return handler;
}

void fail(const QString& what)
{
    if (failureHandler()) {
        failureHandler()(what);
        return;
    }
    std::fprintf(stderr, "harness failure: %s\n", qPrintable(what));
    std::abort();
}

// The one kind of X error that is allowed now, or 0 for none.
unsigned char g_allowedError = 0;

int onXError(Display* d, XErrorEvent* e)
{
    if (g_allowedError && e->error_code == g_allowedError)
        return 0;
    char text[256] = {};
    XGetErrorText(d, e->error_code, text, sizeof text);
    fail(QStringLiteral("unexpected X error: %1 (request %2.%3, resource 0x%4)")
             .arg(QString::fromLocal8Bit(text))
             .arg(e->request_code)
             .arg(e->minor_code)
             .arg(e->resourceid, 0, 16));
    return 0;
}

// Windows come and go while a test reads them: a window closed between
// listing and reading it gives BadWindow, which is allowed while this
// lives; any other error still fails. Errors of earlier requests are
// judged first, outside it.
class WindowMayBeGone {
public:
    explicit WindowMayBeGone(Display* d) : m_display(d)
    {
        XSync(d, False);
        m_saved = std::exchange(g_allowedError, static_cast<unsigned char>(BadWindow));
    }
    ~WindowMayBeGone()
    {
        XSync(m_display, False);
        g_allowedError = m_saved;
    }
    WindowMayBeGone(const WindowMayBeGone&) = delete;
    WindowMayBeGone& operator=(const WindowMayBeGone&) = delete;

private:
    Display* m_display;
    unsigned char m_saved;
};

void settle(Display* d)
{
    XSync(d, False);
}

KeyCode keycodeOf(Display* d, const QString& keysym)
{
    const KeySym sym = XStringToKeysym(keysym.toLatin1().constData());
    if (sym == NoSymbol) {
        fail(QStringLiteral("unknown key name \"%1\"").arg(keysym));
        return 0;
    }
    const KeyCode code = XKeysymToKeycode(d, sym);
    if (!code)
        fail(QStringLiteral("the keyboard has no key \"%1\"").arg(keysym));
    return code;
}

void sendKey(Display* d, const QString& keysym, bool down)
{
    if (const KeyCode code = keycodeOf(d, keysym)) {
        XTestFakeKeyEvent(d, code, down ? True : False, CurrentTime);
        settle(d);
    }
}

QString modifierKeysym(const QString& name)
{
    const QString n = name.toLower();
    if (n == QStringLiteral("ctrl") || n == QStringLiteral("control"))
        return QStringLiteral("Control_L");
    if (n == QStringLiteral("shift"))
        return QStringLiteral("Shift_L");
    if (n == QStringLiteral("alt"))
        return QStringLiteral("Alt_L");
    return name;
}

// Runs a short tool (xauth) to its end; false with the reason when it fails.
bool runTool(const QString& program, const QStringList& arguments, QString* why)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(program, arguments);
    if (tool.waitForFinished(10'000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0)
        return true;
    *why = QStringLiteral("%1 %2 failed (is it installed?): %3 %4")
               .arg(program, arguments.join(QLatin1Char(' ')), tool.errorString(),
                    QString::fromLocal8Bit(tool.readAll()));
    return false;
}

void stopProcess(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

QString readLog(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll().right(4000)) : QString();
}

} // namespace

QString windowManagerName(WindowManager wm)
{
    switch (wm) {
    case WindowManager::Bare:
        return QStringLiteral("bare");
    case WindowManager::Openbox:
        return QStringLiteral("openbox");
    case WindowManager::IceWM:
        return QStringLiteral("icewm");
    case WindowManager::Xfwm4:
        return QStringLiteral("xfwm4");
    case WindowManager::Metacity:
        return QStringLiteral("metacity");
    }
    return {};
}

FailureHandler setFailureHandler(FailureHandler handler)
{
    return std::exchange(failureHandler(), std::move(handler));
}

PrivateXServer::PrivateXServer() = default;

PrivateXServer::~PrivateXServer()
{
    if (m_display)
        XCloseDisplay(m_display);
    for (auto it = m_helpers.rbegin(); it != m_helpers.rend(); ++it)
        stopProcess(**it);
    if (m_server)
        stopProcess(*m_server);
}

QString PrivateXServer::authorityFile() const
{
    return m_dir.filePath(QStringLiteral("Xauthority"));
}

void PrivateXServer::addClientEnvironment(QProcessEnvironment& env) const
{
    env.insert(QStringLiteral("DISPLAY"), m_name);
    env.insert(QStringLiteral("XAUTHORITY"), authorityFile());
}

bool PrivateXServer::start(QString* why)
{
    return start(WindowManager::Bare, why);
}

bool PrivateXServer::start(WindowManager wm, QString* why)
{
    m_wm = wm;
    if (!m_dir.isValid()) {
        *why = QStringLiteral("no temporary folder for the X server's cookie");
        return false;
    }
    // A random cookie in a file only we can read. The server takes every
    // cookie of the file, whatever display it is written for; the entry for
    // its real number follows once it has one.
    QByteArray cookie(16, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(cookie.data()), cookie.size() / 4);
    const QString hex = QString::fromLatin1(cookie.toHex());
    {
        QFile file(authorityFile());
        if (!file.open(QIODevice::WriteOnly) ||
            !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            *why = QStringLiteral("cannot make ") + authorityFile();
            return false;
        }
    }
    const QString mit = QStringLiteral("MIT-MAGIC-COOKIE-1");
    if (!runTool(QStringLiteral("xauth"), {QStringLiteral("-q"), QStringLiteral("-f"), authorityFile(),
                                           QStringLiteral("add"), QStringLiteral(":0"), mit, hex},
                 why))
        return false;

    // Xvfb picks a free display and writes its number to descriptor 3,
    // which the shell joins to our standard output.
    m_server = std::make_unique<QProcess>();
    m_server->setProcessChannelMode(QProcess::SeparateChannels);
    m_server->start(QStringLiteral("sh"),
                    {QStringLiteral("-c"),
                     QStringLiteral("exec Xvfb -displayfd 3 -auth \"$1\" -nolisten tcp -screen 0 1280x1024x24 3>&1"),
                     QStringLiteral("sh"), authorityFile()});
    if (!m_server->waitForStarted(5000)) {
        *why = QStringLiteral("Xvfb could not be started: ") + m_server->errorString();
        return false;
    }
    QByteArray out;
    const QDeadlineTimer deadline(10'000);
    while (!out.contains('\n') && !deadline.hasExpired() && m_server->state() == QProcess::Running) {
        m_server->waitForReadyRead(100);
        out += m_server->readAllStandardOutput();
    }
    if (!out.contains('\n')) {
        *why = QStringLiteral("Xvfb gave no display number (is the xvfb package installed?): ") +
               QString::fromLocal8Bit(m_server->readAllStandardError());
        return false;
    }
    m_name = QLatin1Char(':') + QString::fromLatin1(out.trimmed());
    if (!runTool(QStringLiteral("xauth"),
                 {QStringLiteral("-q"), QStringLiteral("-f"), authorityFile(), QStringLiteral("remove"), QStringLiteral(":0")},
                 why) ||
        !runTool(QStringLiteral("xauth"), {QStringLiteral("-q"), QStringLiteral("-f"), authorityFile(),
                                           QStringLiteral("add"), m_name, mit, hex},
                 why))
        return false;

    XSetErrorHandler(onXError);
    // Our own connection shows the cookie; the defaults come back after.
    XSetAuthorization(const_cast<char*>("MIT-MAGIC-COOKIE-1"), 18, cookie.data(), cookie.size());
    m_display = XOpenDisplay(m_name.toLatin1().constData());
    XSetAuthorization(nullptr, 0, nullptr, 0);
    if (!m_display) {
        *why = QStringLiteral("cannot connect to Xvfb on ") + m_name;
        return false;
    }
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(m_display, &event, &error, &major, &minor)) {
        *why = QStringLiteral("Xvfb on ") + m_name + QStringLiteral(" has no XTest extension");
        return false;
    }
    return m_wm == WindowManager::Bare || startWindowManager(why);
}

bool PrivateXServer::startProcess(QProcess& process, const QString& program, const QStringList& arguments,
                                  const QProcessEnvironment& env, const QString& log, QString* why)
{
    process.setProcessEnvironment(env);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(log);
    process.setStandardErrorFile(log, QIODevice::Append);
    process.start(program, arguments);
    if (process.waitForStarted(5000))
        return true;
    *why = QStringLiteral("%1 could not be started (is it installed?): %2").arg(program, process.errorString());
    return false;
}

bool PrivateXServer::startWindowManager(QString* why)
{
    // A home, settings and runtime folder of its own: it reads and writes
    // none of the user's files, and reaches no session bus of the user's.
    const QString home = m_dir.filePath(QStringLiteral("wm-home"));
    const QString runtime = m_dir.filePath(QStringLiteral("wm-runtime"));
    for (const QString& d : {home, runtime}) {
        QDir().mkpath(d);
        QFile::setPermissions(d, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER", "WAYLAND_DISPLAY", "ICEWM_PRIVCFG"})
        env.remove(QString::fromLatin1(name));
    addClientEnvironment(env);
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    // Metacity keeps its settings in memory instead of asking dconf.
    env.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
    const QString log = m_dir.filePath(QStringLiteral("wm.log"));

    QString program;
    QStringList arguments;
    switch (m_wm) {
    case WindowManager::Bare:
        return true;
    case WindowManager::Openbox:
        program = QStringLiteral("openbox");
        arguments = {QStringLiteral("--sm-disable")};
        break;
    case WindowManager::IceWM:
        program = QStringLiteral("icewm");
        break;
    case WindowManager::Xfwm4: {
        // xfwm4 reads its settings from xfconfd, which a session bus starts
        // on demand (and which ends with the bus): a private bus.
        const QString bus = QStringLiteral("unix:path=") + runtime + QStringLiteral("/bus");
        auto daemon = std::make_unique<QProcess>();
        if (!startProcess(*daemon, QStringLiteral("dbus-daemon"),
                          {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--address=") + bus},
                          env, m_dir.filePath(QStringLiteral("bus.log")), why))
            return false;
        m_helpers.push_back(std::move(daemon));
        if (!waitUntil([&] { return QFileInfo::exists(runtime + QStringLiteral("/bus")); }, 5000)) {
            *why = QStringLiteral("the session bus for xfwm4 did not start: ") +
                   readLog(m_dir.filePath(QStringLiteral("bus.log")));
            return false;
        }
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus);
        program = QStringLiteral("xfwm4");
        arguments = {QStringLiteral("--compositor=off"), QStringLiteral("--sm-client-disable")};
        break;
    }
    case WindowManager::Metacity:
        program = QStringLiteral("metacity");
        arguments = {QStringLiteral("--compositor=none"), QStringLiteral("--sm-disable")};
        break;
    }
    auto wm = std::make_unique<QProcess>();
    if (!startProcess(*wm, program, arguments, env, log, why))
        return false;
    QProcess& running = *wm;
    m_helpers.push_back(std::move(wm));
    // It has the screen once it names its check window on the root.
    if (!waitUntil([&] { return windowManagerRunning(m_display) || running.state() != QProcess::Running; }, 15'000) ||
        running.state() != QProcess::Running) {
        *why = QStringLiteral("%1 did not take the screen of %2; its output:\n%3").arg(program, m_name, readLog(log));
        return false;
    }
    // It manages windows once it has framed one of ours. Measured here:
    // Openbox names its check window before it handles map requests, and a
    // window mapped in that moment stays unmapped for good; a probe that is
    // not framed within a while is made again.
    const Window root = DefaultRootWindow(m_display);
    const auto managing = [&](Window probe) {
        const std::vector<unsigned long> all = managedWindows(m_display);
        return std::find(all.begin(), all.end(), probe) != all.end() && isViewable(m_display, probe);
    };
    const QDeadlineTimer deadline(15'000);
    bool framed = false;
    while (!framed && !deadline.hasExpired() && running.state() == QProcess::Running) {
        const Window probe = XCreateSimpleWindow(m_display, root, 0, 0, 10, 10, 0, 0, 0);
        XStoreName(m_display, probe, "window manager probe");
        XMapWindow(m_display, probe);
        settle(m_display);
        framed = waitUntil([&] { return managing(probe); }, 500);
        XDestroyWindow(m_display, probe);
        settle(m_display);
        waitUntil([&] { return !managing(probe); }, 1000);
    }
    if (!framed) {
        *why = QStringLiteral("%1 framed no window on %2; its output:\n%3").arg(program, m_name, readLog(log));
        return false;
    }
    return true;
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

RealProgram::RealProgram(PrivateXServer& server, const QString& configHome) : m_server(server)
{
    m_env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "QT_ACCESSIBILITY",
                             "WAYLAND_DISPLAY"})
        m_env.remove(QString::fromLatin1(name));
    server.addClientEnvironment(m_env);
    m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    m_env.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    // Under AddressSanitizer: libxkbcommon-x11 hands strndup key names that
    // are not NUL-terminated, as strndup allows, and the strict string
    // checks take that for an overflow while the xcb platform starts, before
    // any code of ours runs. The program runs without them; every other
    // check stays.
    QString asan = m_env.value(QStringLiteral("ASAN_OPTIONS"));
    if (asan.contains(QStringLiteral("strict_string_checks=1"))) {
        asan.replace(QStringLiteral("strict_string_checks=1"), QStringLiteral("strict_string_checks=0"));
        m_env.insert(QStringLiteral("ASAN_OPTIONS"), asan);
    }
}

RealProgram::~RealProgram()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

bool RealProgram::start(QString* why)
{
    const QString build = qEnvironmentVariable("QUORVEL_BUILD_DIR");
    const QString program = build + QStringLiteral("/bin/quorvel");
    if (build.isEmpty() || !QFile::exists(program)) {
        *why = QStringLiteral("the program was not found at ") + program;
        return false;
    }
    return start(program, {}, why);
}

bool RealProgram::start(const QString& program, const QStringList& arguments, QString* why)
{
    m_process.setProcessEnvironment(m_env);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(5000)) {
        *why = QStringLiteral("the program could not be started: ") + m_process.errorString();
        return false;
    }
    return true;
}

unsigned long RealProgram::waitForWindow(const QString& title, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    unsigned long window = 0;
    while (!(window = test::waitForWindow(m_server.display(), title, 0))) {
        m_stderr += m_process.readAllStandardError();
        if (deadline.hasExpired() || m_process.state() != QProcess::Running)
            return 0;
        QThread::msleep(20);
    }
    return window;
}

unsigned long RealProgram::expectWindow(const QString& title, int timeoutMs)
{
    const unsigned long window = waitForWindow(title, timeoutMs);
    if (!window)
        fail(QStringLiteral("no window named \"%1\"; standard error:\n%2")
                 .arg(title, QString::fromLocal8Bit(standardError())));
    return window;
}

bool RealProgram::waitForExit(int timeoutMs, int* exitCode)
{
    if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(timeoutMs))
        return false;
    m_stderr += m_process.readAllStandardError();
    *exitCode = m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    return true;
}

QByteArray RealProgram::standardError()
{
    m_stderr += m_process.readAllStandardError();
    return m_stderr;
}

qint64 RealProgram::pid() const
{
    return m_process.processId();
}

unsigned long waitForWindow(Display* d, const QString& title, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    do {
        for (unsigned long w : topLevelWindows(d))
            if (windowName(d, w) == title)
                return w;
        if (deadline.hasExpired())
            return 0;
        QThread::msleep(20);
    } while (true);
}

namespace {

bool hasProperty(Display* d, unsigned long window, Atom property)
{
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    const bool found = XGetWindowProperty(d, window, property, 0, 0, False, AnyPropertyType, &type, &format, &items,
                                          &after, &data) == Success &&
                       type != 0;
    if (data)
        XFree(data);
    return found;
}

std::vector<unsigned long> childrenOf(Display* d, unsigned long window)
{
    std::vector<unsigned long> out;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(d, window, &root, &parent, &children, &count))
        out.assign(children, children + count);
    if (children)
        XFree(children);
    return out;
}

// The window a frame holds: the nearest descendant with WM_STATE, which
// only a window manager sets; the window itself with none.
unsigned long clientOf(Display* d, unsigned long top, Atom wmState)
{
    std::vector<unsigned long> level{top};
    for (int depth = 0; depth < 4 && !level.empty(); ++depth) {
        std::vector<unsigned long> next;
        for (unsigned long w : level) {
            if (hasProperty(d, w, wmState))
                return w;
            for (unsigned long c : childrenOf(d, w))
                next.push_back(c);
        }
        level = std::move(next);
    }
    return top;
}

} // namespace

std::vector<unsigned long> clientWindows(Display* d)
{
    const WindowMayBeGone gone(d);
    const Atom wmState = XInternAtom(d, "WM_STATE", False);
    std::vector<unsigned long> out;
    for (unsigned long top : childrenOf(d, DefaultRootWindow(d))) {
        // Only a mapped child of the root is looked into: an unmapped one is
        // a window that no window manager holds (yet), or one of the window
        // manager's own that it keeps hidden.
        XWindowAttributes a{};
        if (!XGetWindowAttributes(d, top, &a))
            continue;
        out.push_back(a.map_state == IsUnmapped ? top : clientOf(d, top, wmState));
    }
    return out;
}

std::vector<unsigned long> topLevelWindows(Display* d)
{
    std::vector<unsigned long> out;
    for (unsigned long w : clientWindows(d))
        if (isViewable(d, w))
            out.push_back(w);
    return out;
}

std::vector<unsigned long> windowsNamed(Display* d, const QString& title)
{
    std::vector<unsigned long> out;
    for (unsigned long w : clientWindows(d))
        if (windowName(d, w) == title)
            out.push_back(w);
    return out;
}

bool isViewable(Display* d, unsigned long window)
{
    const WindowMayBeGone gone(d);
    XWindowAttributes a{};
    return XGetWindowAttributes(d, window, &a) && a.map_state == IsViewable;
}

QString windowName(Display* d, unsigned long window)
{
    const WindowMayBeGone gone(d);
    const Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, window, netName, 0, 4096, False, utf8, &type, &format, &items, &after, &data) ==
            Success &&
        data) {
        const QString name = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<int>(items));
        XFree(data);
        if (type == utf8)
            return name;
    }
    char* plain = nullptr;
    if (XFetchName(d, window, &plain) && plain) {
        const QString name = QString::fromLatin1(plain);
        XFree(plain);
        return name;
    }
    return {};
}

unsigned long rootWindow(Display* d)
{
    return DefaultRootWindow(d);
}

namespace {

// The focus is on the window or on one of its descendants.
bool focusIsIn(Display* d, unsigned long window)
{
    const WindowMayBeGone gone(d);
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(d, &focus, &revert);
    for (Window w = focus; w && w != PointerRoot && w != DefaultRootWindow(d);) {
        if (w == window)
            return true;
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(d, w, &root, &parent, &children, &count))
            return false;
        if (children)
            XFree(children);
        w = parent;
    }
    return false;
}

} // namespace

void focusWindow(Display* d, unsigned long window)
{
    if (windowManagerRunning(d)) {
        // As a pager asks for it (source 2): the window manager raises the
        // window and gives it the focus in its own way.
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = window;
        e.xclient.message_type = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = 2;
        e.xclient.data.l[1] = CurrentTime;
        XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
        settle(d);
        if (waitUntil([&] { return focusIsIn(d, window); }, 1000))
            return;
    }
    XSetInputFocus(d, window, RevertToParent, CurrentTime);
    settle(d);
}

std::vector<long> longProperty(Display* d, unsigned long window, const char* name)
{
    const WindowMayBeGone gone(d);
    std::vector<long> out;
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, window, XInternAtom(d, name, False), 0, 1024, False, AnyPropertyType, &type, &format,
                           &items, &after, &data) == Success &&
        data && format == 32) {
        // Xlib hands 32-bit items as longs.
        const auto* items32 = reinterpret_cast<const long*>(data);
        out.assign(items32, items32 + items);
    }
    if (data)
        XFree(data);
    return out;
}

bool windowManagerRunning(Display* d)
{
    const std::vector<long> check = longProperty(d, DefaultRootWindow(d), "_NET_SUPPORTING_WM_CHECK");
    if (check.size() != 1)
        return false;
    const std::vector<long> self = longProperty(d, static_cast<unsigned long>(check[0]), "_NET_SUPPORTING_WM_CHECK");
    return self.size() == 1 && self[0] == check[0];
}

std::vector<unsigned long> managedWindows(Display* d)
{
    std::vector<unsigned long> out;
    for (long w : longProperty(d, DefaultRootWindow(d), "_NET_CLIENT_LIST"))
        out.push_back(static_cast<unsigned long>(w));
    return out;
}

QStringList allowedActions(Display* d, unsigned long window, bool* present)
{
    const std::vector<long> atoms = longProperty(d, window, "_NET_WM_ALLOWED_ACTIONS");
    {
        const WindowMayBeGone gone(d);
        *present = hasProperty(d, window, XInternAtom(d, "_NET_WM_ALLOWED_ACTIONS", False));
    }
    QStringList out;
    for (long atom : atoms)
        if (char* name = XGetAtomName(d, static_cast<Atom>(atom))) {
            out << QString::fromLatin1(name);
            XFree(name);
        }
    return out;
}

std::vector<long> frameExtents(Display* d, unsigned long window)
{
    std::vector<long> e = longProperty(d, window, "_NET_FRAME_EXTENTS");
    if (e.size() != 4)
        e.clear();
    return e;
}

QRect screenGeometry(Display* d, unsigned long window)
{
    const WindowMayBeGone gone(d);
    XWindowAttributes a{};
    int x = 0, y = 0;
    Window child = 0;
    if (!XGetWindowAttributes(d, window, &a) ||
        !XTranslateCoordinates(d, window, DefaultRootWindow(d), 0, 0, &x, &y, &child))
        return {};
    return QRect(x, y, a.width, a.height);
}

void keyDown(Display* d, const QString& keysym)
{
    sendKey(d, keysym, true);
}

void keyUp(Display* d, const QString& keysym)
{
    sendKey(d, keysym, false);
}

void tapKey(Display* d, const QString& combo)
{
    // Every name is looked up first: a combination with an unknown name
    // fails once and sends nothing.
    QStringList names = combo.split(QLatin1Char('+'));
    for (int i = 0; i + 1 < names.size(); ++i)
        names[i] = modifierKeysym(names[i]);
    std::vector<KeyCode> codes;
    for (const QString& name : names)
        if (const KeyCode code = keycodeOf(d, name))
            codes.push_back(code);
        else
            return;
    for (const KeyCode code : codes) {
        XTestFakeKeyEvent(d, code, True, CurrentTime);
        settle(d);
    }
    for (auto it = codes.crbegin(); it != codes.crend(); ++it) {
        XTestFakeKeyEvent(d, *it, False, CurrentTime);
        settle(d);
    }
}

void clickAt(Display* d, unsigned long window, int x, int y)
{
    int rx = 0, ry = 0;
    Window child = 0;
    XTranslateCoordinates(d, window, DefaultRootWindow(d), x, y, &rx, &ry, &child);
    XTestFakeMotionEvent(d, DefaultScreen(d), rx, ry, CurrentTime);
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    settle(d);
}

void wheelAt(Display* d, unsigned long window, int x, int y, int notches)
{
    int rx = 0, ry = 0;
    Window child = 0;
    XTranslateCoordinates(d, window, DefaultRootWindow(d), x, y, &rx, &ry, &child);
    XTestFakeMotionEvent(d, DefaultScreen(d), rx, ry, CurrentTime);
    // X reports the wheel as buttons 4 (away from the user) and 5 (towards).
    const unsigned button = notches < 0 ? 4 : 5;
    for (int i = 0; i < std::abs(notches); ++i) {
        XTestFakeButtonEvent(d, button, True, CurrentTime);
        XTestFakeButtonEvent(d, button, False, CurrentTime);
    }
    settle(d);
}

QImage grabWindow(Display* d, unsigned long window)
{
    XWindowAttributes a{};
    {
        const WindowMayBeGone gone(d);
        if (!XGetWindowAttributes(d, window, &a) || a.width <= 0 || a.height <= 0)
            return {};
    }
    return grabWindow(d, window, QRect(0, 0, a.width, a.height));
}

QImage grabWindow(Display* d, unsigned long window, const QRect& area)
{
    // Read from the root window: what the screen shows at the window's place.
    if (area.width() <= 0 || area.height() <= 0)
        return {};
    int rx = 0, ry = 0;
    Window child = 0;
    {
        const WindowMayBeGone gone(d);
        if (!XTranslateCoordinates(d, window, DefaultRootWindow(d), area.x(), area.y(), &rx, &ry, &child))
            return {};
    }
    XImage* image = XGetImage(d, DefaultRootWindow(d), rx, ry, static_cast<unsigned>(area.width()),
                              static_cast<unsigned>(area.height()), AllPlanes, ZPixmap);
    if (!image)
        return {};
    QImage out(area.width(), area.height(), QImage::Format_RGB32);
    for (int y = 0; y < area.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < area.width(); ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            line[x] = qRgb(static_cast<int>((p & image->red_mask) >> 16), static_cast<int>((p & image->green_mask) >> 8),
                           static_cast<int>(p & image->blue_mask));
        }
    }
    XDestroyImage(image);
    return out;
}

bool writePrefs(const QString& configHome, const QByteArray& contents)
{
    const QString folder = configHome + QStringLiteral("/Quorvel");
    if (!QDir().mkpath(folder))
        return false;
    QFile file(folder + QStringLiteral("/PREFS"));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

bool writeDefaultPrefs(const QString& configHome)
{
    return writePrefs(configHome, kDefaultPrefs);
}

} // namespace quorvel::test
