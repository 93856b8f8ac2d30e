#include "tests/support/real_desktop.h"

#include "tests/prefs/default_prefs.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QThread>

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

} // namespace

FailureHandler setFailureHandler(FailureHandler handler)
{
    return std::exchange(failureHandler(), std::move(handler));
}

PrivateXServer::PrivateXServer() = default;

PrivateXServer::~PrivateXServer()
{
    if (m_display)
        XCloseDisplay(m_display);
    if (m_server && m_server->state() != QProcess::NotRunning) {
        m_server->terminate();
        if (!m_server->waitForFinished(3000)) {
            m_server->kill();
            m_server->waitForFinished(3000);
        }
    }
}

bool PrivateXServer::start(QString* why)
{
    // Xvfb picks a free display and writes its number to descriptor 3,
    // which the shell joins to our standard output.
    m_server = std::make_unique<QProcess>();
    m_server->setProcessChannelMode(QProcess::SeparateChannels);
    m_server->start(QStringLiteral("sh"),
                    {QStringLiteral("-c"),
                     QStringLiteral("exec Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>&1")});
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
    XSetErrorHandler(onXError);
    m_display = XOpenDisplay(m_name.toLatin1().constData());
    if (!m_display) {
        *why = QStringLiteral("cannot connect to Xvfb on ") + m_name;
        return false;
    }
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(m_display, &event, &error, &major, &minor)) {
        *why = QStringLiteral("Xvfb on ") + m_name + QStringLiteral(" has no XTest extension");
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
    m_env.insert(QStringLiteral("DISPLAY"), server.displayName());
    m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    m_env.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "QT_ACCESSIBILITY",
                             "WAYLAND_DISPLAY", "XAUTHORITY"})
        m_env.remove(QString::fromLatin1(name));
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

std::vector<unsigned long> topLevelWindows(Display* d)
{
    std::vector<unsigned long> out;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count))
        return out;
    {
        const WindowMayBeGone gone(d);
        for (unsigned int i = 0; i < count; ++i) {
            XWindowAttributes a{};
            if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable)
                out.push_back(children[i]);
        }
    }
    if (children)
        XFree(children);
    return out;
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

void focusWindow(Display* d, unsigned long window)
{
    XSetInputFocus(d, window, RevertToParent, CurrentTime);
    settle(d);
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
