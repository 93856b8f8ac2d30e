// The start without a display (tools/headless-display, which tools/run-app
// uses): the real program on a VNC display of its own, seen and driven only
// through the VNC protocol, as an operator's viewer does. Checks that only
// the user who started it can reach the display, that a window manager
// places the windows and gives them the keyboard (keys act without a click
// first), that a taken socket is passed over, and that nothing it started is
// left when the program or the script ends.
#include "tests/prefs/default_prefs.h"
#include "tests/support/main_window_screen.h"
#include "tests/support/real_desktop.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <cerrno>
#include <cstddef>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <ostream>
#include <map>
#include <memory>
#include <vector>

#include <arpa/inet.h>
#include <grp.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

// Xlib last: its macros clash with Qt's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

using namespace quorvel::test;

const QString kMainTitle = QString::fromLatin1(kMainWindowTitle);
#ifdef QUORVEL_SANITIZED
constexpr int kStartMs = 40'000;
constexpr int kEndMs = 30'000;
#else
constexpr int kStartMs = 20'000;
constexpr int kEndMs = 5'000;
#endif
constexpr QRgb kContentGrey = 0xffbfbfbf;
// Content-area places of the main window's parts (layout pixels).
const QRect kPlot(9, 13, 550, 387);
const QRect kGettingStarted(570, 13, 315, 243);
const QPoint kPrintSave(789 + 40, 198 + 10);
// A point of the screen that no window covers at these tests' stages: the
// pointer rests there while keys are typed, so that they reach a window only
// through the keyboard focus.
const QPoint kBareDesktop(5, 1015);
constexpr uint32_t kControl = 0xffe3;  // X keysyms
constexpr uint32_t kKeyQ = 0x71;
constexpr uint32_t kKeyY = 0x79;
constexpr uid_t kNobody = 65534;

// A connection to a Unix socket: a path, or "@name" in the abstract
// namespace, which has no file and so no mode.
int unixSocket(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray p = QFile::encodeName(path);
    const size_t length = std::min<size_t>(p.size(), sizeof addr.sun_path - 1);
    std::memcpy(addr.sun_path, p.constData(), length);
    socklen_t size = sizeof addr;
    if (p.startsWith('@')) {
        addr.sun_path[0] = '\0';
        size = socklen_t(offsetof(sockaddr_un, sun_path) + length);
    }
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), size) == 0)
        return fd;
    const int saved = errno;
    if (fd >= 0)
        ::close(fd);
    errno = saved;
    return -1;
}

// A VNC viewer of the least kind: RFB 3.8 with no security type (the socket's
// mode is the lock), raw 32-bit pixels, keys and the pointer.
class RfbClient {
public:
    ~RfbClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    bool open(const QString& socketPath, QString* why)
    {
        m_fd = unixSocket(socketPath);
        if (m_fd < 0)
            return fail(why, QStringLiteral("connect: ") + QString::fromLocal8Bit(std::strerror(errno)));
        char version[12];
        if (!read(version, 12) || std::memcmp(version, "RFB 003.", 8) != 0)
            return fail(why, QStringLiteral("no RFB greeting"));
        if (!write("RFB 003.008\n", 12))
            return fail(why, QStringLiteral("greeting not sent"));
        uint8_t count = 0;
        if (!read(&count, 1) || count == 0)
            return fail(why, QStringLiteral("the server offers no security type"));
        std::vector<uint8_t> types(count);
        if (!read(types.data(), count))
            return fail(why, QStringLiteral("security types cut short"));
        if (std::find(types.begin(), types.end(), 1) == types.end())
            return fail(why, QStringLiteral("the server does not offer security type None"));
        const uint8_t none = 1, shared = 1;
        uint32_t result = 1;
        if (!write(&none, 1) || !read(&result, 4) || ntohl(result) != 0)
            return fail(why, QStringLiteral("security handshake refused"));
        uint8_t init[24];
        if (!write(&shared, 1) || !read(init, 24))
            return fail(why, QStringLiteral("no ServerInit"));
        m_width = init[0] << 8 | init[1];
        m_height = init[2] << 8 | init[3];
        const uint32_t nameLength = uint32_t(init[20]) << 24 | init[21] << 16 | init[22] << 8 | init[23];
        std::vector<char> name(nameLength);
        if (!read(name.data(), nameLength))
            return fail(why, QStringLiteral("desktop name cut short"));
        // SetPixelFormat: 32 bits, depth 24, little-endian, true colour,
        // 0x00RRGGBB; then SetEncodings: Raw only.
        const uint8_t format[20] = {0, 0, 0, 0, 32, 24, 0, 1, 0, 255, 0, 255, 0, 255, 16, 8, 0, 0, 0, 0};
        const uint8_t encodings[8] = {2, 0, 0, 1, 0, 0, 0, 0};
        if (!write(format, 20) || !write(encodings, 8))
            return fail(why, QStringLiteral("pixel format not sent"));
        m_screen = QImage(m_width, m_height, QImage::Format_RGB32);
        m_screen.fill(Qt::black);
        return true;
    }

    // The whole screen as the server sends it now.
    QImage screen()
    {
        const uint8_t request[10] = {3, 0, 0, 0, 0, 0, uint8_t(m_width >> 8), uint8_t(m_width),
                                     uint8_t(m_height >> 8), uint8_t(m_height)};
        if (!write(request, 10))
            return {};
        for (;;) {
            uint8_t type = 0;
            if (!read(&type, 1))
                return {};
            if (type == 0)
                return readUpdate() ? m_screen : QImage();
            if (!skipMessage(type))
                return {};
        }
    }

    void key(uint32_t keysym, bool down)
    {
        const uint8_t event[8] = {4, uint8_t(down), 0, 0, uint8_t(keysym >> 24), uint8_t(keysym >> 16),
                                  uint8_t(keysym >> 8), uint8_t(keysym)};
        write(event, 8);
    }

    void tap(uint32_t keysym)
    {
        key(keysym, true);
        key(keysym, false);
    }

    void pointer(QPoint at, bool pressed)
    {
        const uint8_t event[6] = {5, uint8_t(pressed), uint8_t(at.x() >> 8), uint8_t(at.x()), uint8_t(at.y() >> 8),
                                  uint8_t(at.y())};
        write(event, 6);
    }

    void click(QPoint at)
    {
        pointer(at, false);
        pointer(at, true);
        pointer(at, false);
    }

    void drag(QPoint from, QPoint to)
    {
        pointer(from, false);
        pointer(from, true);
        for (int i = 1; i <= 10; ++i) {
            pointer(from + (to - from) * i / 10, true);
            QThread::msleep(20);
        }
        pointer(to, false);
    }

private:
    static bool fail(QString* why, const QString& what)
    {
        *why = what;
        return false;
    }

    bool readUpdate()
    {
        uint8_t head[3];
        if (!read(head, 3))
            return false;
        for (int n = head[1] << 8 | head[2]; n > 0; --n) {
            uint8_t r[12];
            if (!read(r, 12))
                return false;
            const int x = r[0] << 8 | r[1], y = r[2] << 8 | r[3], w = r[4] << 8 | r[5], h = r[6] << 8 | r[7];
            if (r[8] || r[9] || r[10] || r[11] || x + w > m_width || y + h > m_height)
                return false;  // only Raw was asked for
            std::vector<uint32_t> pixels(size_t(w) * h);
            if (!read(pixels.data(), pixels.size() * 4))
                return false;
            for (int row = 0; row < h; ++row)
                for (int col = 0; col < w; ++col)
                    m_screen.setPixel(x + col, y + row, pixels[size_t(row) * w + col] | 0xff000000);
        }
        return true;
    }

    bool skipMessage(uint8_t type)
    {
        uint8_t head[7];
        if (type == 2)  // Bell
            return true;
        if (type == 1) {  // SetColourMapEntries
            if (!read(head, 5))
                return false;
            std::vector<char> rest(size_t(head[3] << 8 | head[4]) * 6);
            return read(rest.data(), rest.size());
        }
        if (type == 3) {  // ServerCutText
            if (!read(head, 7))
                return false;
            std::vector<char> rest(uint32_t(head[3]) << 24 | head[4] << 16 | head[5] << 8 | head[6]);
            return read(rest.data(), rest.size());
        }
        return false;
    }

    bool read(void* into, size_t size)
    {
        auto* p = static_cast<char*>(into);
        const QDeadlineTimer deadline(10'000);
        while (size > 0) {
            pollfd pfd{m_fd, POLLIN, 0};
            if (::poll(&pfd, 1, int(deadline.remainingTime())) <= 0)
                return false;
            const ssize_t n = ::read(m_fd, p, size);
            if (n <= 0)
                return false;
            p += n;
            size -= size_t(n);
        }
        return true;
    }

    bool write(const void* from, size_t size)
    {
        const auto* p = static_cast<const char*>(from);
        while (size > 0) {
            const ssize_t n = ::send(m_fd, p, size, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            p += n;
            size -= size_t(n);
        }
        return true;
    }

    int m_fd = -1;
    int m_width = 0;
    int m_height = 0;
    QImage m_screen;
};

// What a process as another user gets from a route to the display: refused,
// let in, or the probe itself failed.
enum class Probe { Refused, LetIn, Failed };

std::ostream& operator<<(std::ostream& out, Probe p)
{
    return out << (p == Probe::Refused ? "refused" : p == Probe::LetIn ? "let in" : "the probe failed");
}

// Runs `attempt` in a child process as user nobody; it returns true when
// the route let it in.
template <typename Attempt>
Probe asNobody(Attempt attempt)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
            ::setresuid(kNobody, kNobody, kNobody) != 0)
            ::_exit(2);
        ::_exit(attempt() ? 1 : 0);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return Probe::Failed;
    return WEXITSTATUS(status) == 0 ? Probe::Refused : WEXITSTATUS(status) == 1 ? Probe::LetIn : Probe::Failed;
}

// An X connection set up with no authorization: true when the server
// accepts it.
bool xServerLetsInWithoutCookie(const QString& socketPath)
{
    const int fd = unixSocket(socketPath);
    if (fd < 0)
        return false;
    const uint8_t setup[12] = {'l', 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    uint8_t answer = 0;
    const bool in = ::write(fd, setup, 12) == 12 && ::read(fd, &answer, 1) == 1 && answer == 1;
    ::close(fd);
    return in;
}

// The file's inode, 0 when there is no such file.
ino_t inodeOf(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

struct ProcessInfo {
    qint64 parent = 0;
    QString name;
};

std::map<qint64, ProcessInfo> processes()
{
    std::map<qint64, ProcessInfo> out;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        QFile stat(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        if (!number || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const int open = line.indexOf('('), close = line.lastIndexOf(')');
        const QList<QByteArray> rest = line.mid(close + 2).split(' ');
        if (open < 0 || close < 0 || rest.size() < 2)
            continue;
        out[pid] = {rest[1].toLongLong(), QString::fromLocal8Bit(line.mid(open + 1, close - open - 1))};
    }
    return out;
}

// Every process below `root`, with its name.
std::map<qint64, QString> descendants(qint64 root)
{
    const std::map<qint64, ProcessInfo> all = processes();
    std::map<qint64, QString> out;
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& [pid, info] : all)
            if ((info.parent == root || out.count(info.parent)) && !out.count(pid)) {
                out[pid] = info.name;
                grew = true;
            }
    }
    return out;
}

bool alive(qint64 pid, const QString& name)
{
    const std::map<qint64, ProcessInfo> all = processes();
    const auto it = all.find(pid);
    return it != all.end() && it->second.name == name;
}

QString environmentOf(qint64 pid, const QByteArray& name)
{
    QFile file(QStringLiteral("/proc/%1/environ").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& entry : file.readAll().split('\0'))
        if (entry.startsWith(name + '='))
            return QString::fromLocal8Bit(entry.mid(name.size() + 1));
    return {};
}

// The socket inodes that the processes hold open.
QSet<QString> socketInodes(const std::map<qint64, QString>& pids)
{
    QSet<QString> out;
    for (const auto& [pid, name] : pids) {
        const QString folder = QStringLiteral("/proc/%1/fd").arg(pid);
        for (const QString& fd : QDir(folder).entryList(QDir::System | QDir::NoDotAndDotDot)) {
            const QString target = QFileInfo(folder + QLatin1Char('/') + fd).symLinkTarget();
            static const QRegularExpression socket(QStringLiteral("socket:\\[(\\d+)\\]$"));
            if (const auto m = socket.match(target); m.hasMatch())
                out.insert(m.captured(1));
        }
    }
    return out;
}

// The ways in that those sockets offer: "tcp" / "udp" for any internet
// socket, the path (or @name) of each listening Unix socket.
QStringList listeningRoutes(const QSet<QString>& inodes)
{
    QStringList out;
    for (const char* table : {"tcp", "tcp6", "udp", "udp6"}) {
        QFile file(QStringLiteral("/proc/net/") + QLatin1String(table));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : file.readAll().split('\n').mid(1)) {
            const QList<QByteArray> f = line.simplified().split(' ');
            if (f.size() > 9 && inodes.contains(QString::fromLatin1(f[9])))
                out << QString::fromLatin1(table) + QLatin1Char(' ') + QString::fromLatin1(f[1]);
        }
    }
    QFile unix(QStringLiteral("/proc/net/unix"));
    if (unix.open(QIODevice::ReadOnly))
        for (const QByteArray& line : unix.readAll().split('\n').mid(1)) {
            const QList<QByteArray> f = line.simplified().split(' ');
            const bool listens = f.size() > 7 && (f[3].toUInt(nullptr, 16) & 0x10000);
            if (listens && inodes.contains(QString::fromLatin1(f[6])))
                out << QString::fromLocal8Bit(f[7]);
        }
    return out;
}

// The script under test, for the report when its X server goes away under
// the test's own connection (Xlib ends the test program then).
QProcess* g_script = nullptr;

int reportLostServer(Display*)
{
    if (g_script) {
        g_script->waitForFinished(2000);
        std::cerr << "The X server went away under the test; the script ended with " << g_script->exitCode() << " and wrote:\n"
                  << g_script->readAllStandardOutput().toStdString() << g_script->readAllStandardError().toStdString();
    }
    std::_Exit(1);
}

// Windows come and go while the test reads them: such errors are not fatal.
int ignoreXError(Display*, XErrorEvent*)
{
    return 0;
}

class HeadlessStart : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_runtime.isValid() && m_config.isValid());
        ASSERT_TRUE(QFile::setPermissions(m_runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                                QFileDevice::ExeOwner));
    }

    void TearDown() override
    {
        if (HasFailure() && m_rfb) {
            const QString file = qEnvironmentVariable("QUORVEL_BUILD_DIR") + QStringLiteral("/headless_start_") +
                                 QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                                 QStringLiteral(".png");
            if (m_rfb->screen().save(file))
                std::cerr << "The screen at the failure: " << file.toStdString() << "\n";
        }
        m_rfb.reset();
        if (m_display)
            XCloseDisplay(m_display);
        m_display = nullptr;
        if (m_script.state() != QProcess::NotRunning) {
            m_script.terminate();
            m_script.waitForFinished(kEndMs);
        }
        for (const auto& [pid, name] : m_started)
            if (alive(pid, name))
                ::kill(pid_t(pid), SIGKILL);
    }

    QString usualSocket() const { return m_runtime.path() + QStringLiteral("/quorvel-vnc"); }

    // Starts the script as tools/run-app does on a machine without a display;
    // returns the socket it names for the viewer.
    QString start(bool withPrefs)
    {
        if (withPrefs) {
            EXPECT_TRUE(writeDefaultPrefs(m_config.path()));
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "DBUS_SESSION_BUS_ADDRESS",
                                 "QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "QT_ACCESSIBILITY"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
        env.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
        // As for the program on Xvfb: libxkbcommon-x11's strndup key names
        // trip the strict string checks before any code of ours runs.
        QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
        asan.replace(QStringLiteral("strict_string_checks=1"), QStringLiteral("strict_string_checks=0"));
        if (!asan.isEmpty())
            env.insert(QStringLiteral("ASAN_OPTIONS"), asan);
        m_script.setProcessEnvironment(env);
        // Should the test program end abruptly, the script still ends
        // everything it started.
        m_script.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_script.setProcessChannelMode(QProcess::SeparateChannels);
        m_script.start(QStringLiteral("bash"), {qEnvironmentVariable("QUORVEL_SOURCE_DIR") + QStringLiteral("/tools/headless-display"),
                                                qEnvironmentVariable("QUORVEL_BUILD_DIR") + QStringLiteral("/bin/quorvel")});
        EXPECT_TRUE(m_script.waitForStarted(5000));
        static const QRegularExpression named(QStringLiteral("through the socket (\\S+)\n"));
        const QDeadlineTimer deadline(kStartMs);
        while (!deadline.hasExpired() && m_script.state() == QProcess::Running) {
            m_script.waitForReadyRead(50);
            m_out += m_script.readAllStandardOutput();
            if (const auto m = named.match(QString::fromLocal8Bit(m_out)); m.hasMatch())
                return m.captured(1);
        }
        ADD_FAILURE() << "the script named no socket; it wrote:\n"
                      << m_out.toStdString() << m_script.readAllStandardError().toStdString();
        return {};
    }

    // Connects through the VNC socket and, once the program's windows show,
    // to the X display with the program's cookie (for window places only).
    void connect(const QString& socket)
    {
        m_rfb = std::make_unique<RfbClient>();
        QString why;
        ASSERT_TRUE(m_rfb->open(socket, &why)) << why.toStdString();
        const QDeadlineTimer deadline(kStartMs);
        qint64 program = 0;
        while (!program && !deadline.hasExpired()) {
            for (const auto& [pid, name] : descendants(m_script.processId()))
                if (name == QStringLiteral("quorvel"))
                    program = pid;
            QThread::msleep(20);
        }
        ASSERT_NE(program, 0) << "the program did not start";
        m_xDisplay = environmentOf(program, "DISPLAY");
        m_xAuthority = environmentOf(program, "XAUTHORITY");
        ASSERT_FALSE(m_xDisplay.isEmpty());
        qputenv("XAUTHORITY", QFile::encodeName(m_xAuthority));
        m_display = XOpenDisplay(m_xDisplay.toLatin1().constData());
        ASSERT_NE(m_display, nullptr) << "no X connection with the program's cookie";
        g_script = &m_script;
        XSetIOErrorHandler(reportLostServer);
        XSetErrorHandler(ignoreXError);
    }

    // The program's viewable window with this exact title, whether a window
    // manager framed it or not, or 0 after the time.
    unsigned long waitForClient(const QString& title)
    {
        const QDeadlineTimer deadline(kStartMs);
        do {
            // A framed window is a child of its frame, a top-level window.
            for (unsigned long top : topLevelWindows(m_display)) {
                if (windowName(m_display, top) == title)
                    return settled(top);
                ::Window root = 0, parent = 0, *children = nullptr;
                unsigned int count = 0;
                unsigned long found = 0;
                if (XQueryTree(m_display, top, &root, &parent, &children, &count)) {
                    for (unsigned int i = 0; i < count && !found; ++i)
                        if (windowName(m_display, children[i]) == title)
                            found = children[i];
                    if (children)
                        XFree(children);
                }
                if (found)
                    return settled(found);
            }
            QThread::msleep(20);
        } while (!deadline.hasExpired() && m_script.state() == QProcess::Running);
        ADD_FAILURE() << "no window named \"" << title.toStdString() << "\"";
        return 0;
    }

    // The window once the window manager has framed it: a window shown anew
    // (a modal one is shown twice) is briefly unframed. Without a window
    // manager it stays so; the checks of the frame then fail.
    unsigned long settled(unsigned long window)
    {
        waitUntil([&] { return frameRect(window) != clientRect(window); }, 2000);
        return window;
    }

    // The window's own area on the screen.
    QRect clientRect(unsigned long window) const
    {
        XWindowAttributes a{};
        int x = 0, y = 0;
        ::Window child = 0;
        XGetWindowAttributes(m_display, window, &a);
        XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), 0, 0, &x, &y, &child);
        return QRect(x, y, a.width, a.height);
    }

    // The window with the frame that the window manager drew around it.
    QRect frameRect(unsigned long window) const
    {
        const QRect client = clientRect(window);
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        const Atom extents = XInternAtom(m_display, "_NET_FRAME_EXTENTS", False);
        if (XGetWindowProperty(m_display, window, extents, 0, 4, False, XA_CARDINAL, &type, &format, &count, &after,
                               &data) != Success || !data || count != 4) {
            if (data)
                XFree(data);
            return client;
        }
        const auto* e = reinterpret_cast<const long*>(data);
        const QRect frame = client.adjusted(-int(e[0]), -int(e[2]), int(e[1]), int(e[3]));
        XFree(data);
        return frame;
    }

    // Where the main window's content area begins on the screen, found by
    // its grey in what the VNC server sends; -1 when it does not show.
    int contentTopOnScreen(unsigned long main)
    {
        const QRect client = clientRect(main);
        const QDeadlineTimer deadline(kStartMs);
        do {
            const QImage screen = m_rfb->screen();
            for (int y = client.top(); !screen.isNull() && y < client.top() + 80 && y < screen.height(); ++y)
                if (screen.pixel(client.left() + 3, y) == kContentGrey)
                    return y;
            QThread::msleep(50);
        } while (!deadline.hasExpired());
        return -1;
    }

    // Notes what the script started and lets go of the X display, which
    // goes away with it.
    void beforeTheEnd()
    {
        m_started = descendants(m_script.processId());
        const QString number = m_xDisplay.mid(1);
        m_xFiles.clear();
        for (const QString& file : {QStringLiteral("/tmp/.X11-unix/X") + number, QStringLiteral("/tmp/.X%1-lock").arg(number)})
            if (const ino_t inode = inodeOf(file))
                m_xFiles[file] = inode;
        EXPECT_FALSE(m_xFiles.empty()) << "the X display has no socket";
        if (m_display)
            XCloseDisplay(m_display);
        m_display = nullptr;
        g_script = nullptr;
    }

    // Ctrl+Q through the viewer, the pointer on the bare desktop.
    void typeCtrlQ()
    {
        m_rfb->pointer(kBareDesktop, false);
        m_rfb->key(kControl, true);
        m_rfb->tap(kKeyQ);
        m_rfb->key(kControl, false);
    }

    // Waits until the script ends; its exit status, or -1.
    int waitForEnd(int timeoutMs)
    {
        if (!m_script.waitForFinished(timeoutMs))
            return -1;
        m_out += m_script.readAllStandardOutput();
        return m_script.exitStatus() == QProcess::NormalExit ? m_script.exitCode() : -1;
    }

    // Nothing that the script started is left: no process, no socket, no X
    // display, no folder of its own. `others` is a socket of another server
    // in the runtime folder, which stays.
    void expectNothingLeft(const QString& socket, const QString& others = {})
    {
        for (const auto& [pid, name] : m_started)
            EXPECT_FALSE(alive(pid, name)) << name.toStdString() << " (" << pid << ") still runs";
        EXPECT_FALSE(QFileInfo::exists(socket)) << socket.toStdString() << " is left";
        // Another X server may take the display number at once: only the
        // files of this one count.
        for (const auto& [file, inode] : m_xFiles)
            EXPECT_NE(inodeOf(file), inode) << file.toStdString() << " is left";
        EXPECT_FALSE(QFileInfo::exists(m_xAuthority)) << "the cookie file is left";
        QStringList left = QDir(m_runtime.path()).entryList({QStringLiteral("quorvel*")},
                                                            QDir::AllEntries | QDir::System | QDir::Hidden);
        left.removeAll(QFileInfo(others).fileName());
        EXPECT_TRUE(left.isEmpty()) << "left in the runtime folder: " << left.join(QLatin1Char(' ')).toStdString();
    }

    // Every route into the display refuses another user, and the server and
    // the window manager offer no other.
    void expectOnlyTheOwnerGetsIn(const QString& socket)
    {
        m_started = descendants(m_script.processId());
        const QString xSocket = QStringLiteral("/tmp/.X11-unix/X") + m_xDisplay.mid(1);
        QStringList routes = listeningRoutes(socketInodes(m_started));
        routes.removeAll(socket);
        routes.removeAll(xSocket);
        routes.removeAll(QLatin1Char('@') + xSocket);
        EXPECT_TRUE(routes.isEmpty()) << "other ways in: " << routes.join(QLatin1Char(' ')).toStdString();

        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(socket).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u) << "the VNC socket's mode";
        EXPECT_EQ(st.st_uid, ::getuid());
        ASSERT_EQ(::stat(QFile::encodeName(m_xAuthority).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 077, 0u) << "the cookie file is open to others";
        if (::geteuid() != 0) {
            std::cerr << "Not run as root: a connection as another user was not tried.\n";
            return;
        }
        const QByteArray vnc = QFile::encodeName(socket), x = QFile::encodeName(xSocket);
        const QByteArray cookie = QFile::encodeName(m_xAuthority);
        EXPECT_EQ(asNobody([&] {
                      const int fd = unixSocket(QFile::decodeName(vnc));
                      return fd >= 0;
                  }),
                  Probe::Refused)
            << "user nobody reached the VNC socket";
        for (const QByteArray& route : {x, '@' + x})
            EXPECT_EQ(asNobody([&] { return xServerLetsInWithoutCookie(QFile::decodeName(route)); }), Probe::Refused)
                << "user nobody reached the X display at " << route.toStdString() << " without the cookie";
        EXPECT_EQ(asNobody([&] { return ::access(cookie.constData(), R_OK) == 0; }), Probe::Refused)
            << "user nobody can read the cookie";
    }

    QTemporaryDir m_runtime;
    QTemporaryDir m_config;
    QProcess m_script;
    QByteArray m_out;
    std::unique_ptr<RfbClient> m_rfb;
    Display* m_display = nullptr;
    QString m_xDisplay;
    QString m_xAuthority;
    std::map<qint64, QString> m_started;
    std::map<QString, ino_t> m_xFiles;  // the X server's socket and lock file
};

TEST_F(HeadlessStart, OnlyItsOwnerReachesItAndTheViewersKeysActWithoutAClickFirst)
{
    const QString socket = start(true);
    ASSERT_EQ(socket.toStdString(), usualSocket().toStdString());
    ASSERT_NO_FATAL_FAILURE(connect(socket));
    const unsigned long main = waitForClient(kMainTitle);
    ASSERT_NE(main, 0UL);
    expectOnlyTheOwnerGetsIn(socket);

    // A title bar, and the window moves with it.
    const QRect before = clientRect(main);
    const QRect frame = frameRect(main);
    EXPECT_GE(before.top() - frame.top(), 12) << "no title bar over the main window";

    m_rfb->drag(QPoint(before.center().x(), frame.top() + 5), QPoint(before.center().x() + 60, frame.top() + 45));
    waitUntil([&] { return clientRect(main).topLeft() != before.topLeft(); }, 3000);
    EXPECT_EQ(clientRect(main).topLeft() - before.topLeft(), QPoint(60, 40)) << "dragged by its title bar";

    // Start clicked through the viewer, then the success key: a trial.
    const int top = contentTopOnScreen(main);
    ASSERT_GE(top, 0) << "the main window's grey does not show through the viewer";
    const QPoint origin(clientRect(main).left(), top);
    const QRect startButton = QRect(586, 198, 80, 20).translated(origin);
    const QImage idle = m_rfb->screen().copy(startButton);
    m_rfb->click(origin + kStartButton);
    ASSERT_TRUE(waitUntil([&] { return m_rfb->screen().copy(startButton) != idle; }, 5000)) << "Start did not run";
    const QRect history = historyTextArea(0).translated(origin);
    ASSERT_EQ(textRows(m_rfb->screen().copy(history)), 0);
    m_rfb->pointer(kBareDesktop, false);
    m_rfb->tap(kKeyY);
    waitUntil([&] { return textRows(m_rfb->screen().copy(history)) > 0; }, 3000);
    EXPECT_EQ(textRows(m_rfb->screen().copy(history)), 1) << "the success key typed through the viewer";

    // The Output window opens beside the plot and takes the keyboard: Ctrl+Q
    // typed at once quits.
    m_rfb->click(origin + kPrintSave);
    const unsigned long output = waitForClient(QStringLiteral("Output"));
    ASSERT_NE(output, 0UL);
    EXPECT_FALSE(frameRect(output).intersects(kPlot.translated(origin)))
        << "the Output window covers the plot";
    beforeTheEnd();
    typeCtrlQ();
    EXPECT_EQ(waitForEnd(kEndMs), 0) << "Ctrl+Q typed through the viewer; the script wrote:\n"
                                    << m_out.toStdString() << m_script.readAllStandardError().toStdString();
    expectNothingLeft(socket);
}

TEST_F(HeadlessStart, AtTheFirstStartThePreferencesLeaveTheControlsInSightAndTakeTheKeys)
{
    const QString socket = start(false);
    ASSERT_NO_FATAL_FAILURE(connect(socket));
    const unsigned long main = waitForClient(kMainTitle);
    const unsigned long prefs = waitForClient(QStringLiteral("Preferences"));
    ASSERT_TRUE(main && prefs);
    const QRect prefsFrame = frameRect(prefs);
    const int top = contentTopOnScreen(main);
    EXPECT_GE(top, 0) << "the main window's content does not show: something covers it";
    if (top >= 0) {
        const QPoint content(clientRect(main).left(), top);
        EXPECT_FALSE(prefsFrame.intersects(kGettingStarted.translated(content))) << "the Preferences hide the controls";
        EXPECT_FALSE(prefsFrame.intersects(kPlot.translated(content))) << "the Preferences hide the plot";
    }
    EXPECT_GE(clientRect(prefs).top() - prefsFrame.top(), 12) << "no title bar over the Preferences";
    EXPECT_TRUE(QRect(0, 0, 1280, 1024).contains(prefsFrame)) << "the Preferences are partly off the screen";

    beforeTheEnd();
    typeCtrlQ();
    EXPECT_EQ(waitForEnd(kEndMs), 0) << "Ctrl+Q typed through the viewer at the first start";
    expectNothingLeft(socket);
}

TEST_F(HeadlessStart, ATakenSocketIsPassedOverAndASignalEndsEverything)
{
    enum class Usual { Free, HeldByAnother, LeftByAKilledStart };
    struct Case {
        const char* name;
        Usual usual;
        int signal;
        int status;
        bool privateRuntime;  // else the runtime folder is open to others (0755)
    };
    const Case cases[] = {
        {"held by another server, SIGTERM", Usual::HeldByAnother, SIGTERM, 143, true},
        {"left by a killed start, SIGHUP", Usual::LeftByAKilledStart, SIGHUP, 129, true},
        {"free, SIGINT (Ctrl+C)", Usual::Free, SIGINT, 130, true},
        {"runtime folder open to others, SIGTERM", Usual::Free, SIGTERM, 143, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
        ASSERT_TRUE(QFile::setPermissions(m_runtime.path(), c.privateRuntime ? owner
                                                                             : owner | QFileDevice::ReadGroup |
                                                                                   QFileDevice::ExeGroup |
                                                                                   QFileDevice::ReadOther |
                                                                                   QFileDevice::ExeOther));
        int other = -1;
        if (c.usual != Usual::Free) {
            other = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_un addr{};
            addr.sun_family = AF_UNIX;
            std::strcpy(addr.sun_path, QFile::encodeName(usualSocket()).constData());
            ASSERT_EQ(::bind(other, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
            ASSERT_EQ(::listen(other, 1), 0);
            if (c.usual == Usual::LeftByAKilledStart) {
                ::close(other);  // the file stays, with nothing behind it
                other = -1;
            }
        }
        m_out.clear();
        const QString socket = start(true);
        const QString expected = c.usual == Usual::HeldByAnother ? usualSocket() + QStringLiteral("-2") : usualSocket();
        const QString folder = QFileInfo(socket).path();
        if (c.privateRuntime) {
            EXPECT_EQ(socket.toStdString(), expected.toStdString());
        } else {
            // A private folder of its own in place of the open one.
            EXPECT_NE(folder.toStdString(), m_runtime.path().toStdString());
            struct stat st {};
            EXPECT_EQ(::stat(QFile::encodeName(folder).constData(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, 0700u) << folder.toStdString();
            EXPECT_EQ(st.st_uid, ::getuid());
        }
        if (c.usual == Usual::HeldByAnother) {
            EXPECT_TRUE(m_out.contains((usualSocket() + QStringLiteral(" is in use: this display uses ") + socket + QLatin1Char('.')).toLocal8Bit()))
                << m_out.toStdString();
        }
        ASSERT_NO_FATAL_FAILURE(connect(socket));
        ASSERT_NE(waitForClient(kMainTitle), 0UL);
        beforeTheEnd();
        ::kill(pid_t(m_script.processId()), c.signal);
        EXPECT_EQ(waitForEnd(kEndMs), c.status);
        expectNothingLeft(socket, other >= 0 ? usualSocket() : QString());
        if (!c.privateRuntime) {
            EXPECT_FALSE(QFileInfo::exists(folder)) << "the private folder " << folder.toStdString() << " is left";
        }
        if (other >= 0) {
            const int probe = unixSocket(usualSocket());
            EXPECT_GE(probe, 0) << "the other server's socket was taken from it";
            if (probe >= 0)
                ::close(probe);
            ::close(other);
            QFile::remove(usualSocket());
        }
        m_rfb.reset();
    }
}

} // namespace
