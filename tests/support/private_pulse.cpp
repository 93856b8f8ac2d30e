#include "tests/support/private_pulse.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cstring>

namespace quorvel::test {
namespace {

QString socketPath(const QTemporaryDir& dir)
{
    return dir.filePath(QStringLiteral("native"));
}

int countInFile(const QString& path, const QByteArray& what)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return int(f.readAll().count(what));
}

} // namespace

PrivatePulseAudio::PrivatePulseAudio() = default;

PrivatePulseAudio::~PrivatePulseAudio()
{
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(3000)) {
            m_daemon.kill();
            m_daemon.waitForFinished(3000);
        }
    }
}

QString PrivatePulseAudio::serverAddress() const
{
    return QStringLiteral("unix:") + socketPath(m_dir);
}

void PrivatePulseAudio::addClientEnvironment(QProcessEnvironment& env) const
{
    env.insert(QStringLiteral("PULSE_SERVER"), serverAddress());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.filePath(QStringLiteral("client-runtime")));
}

bool PrivatePulseAudio::start(QString* why)
{
    if (!m_dir.isValid()) {
        *why = QStringLiteral("no temporary folder for PulseAudio");
        return false;
    }
    const QString runtime = m_dir.filePath(QStringLiteral("runtime"));
    const QString home = m_dir.filePath(QStringLiteral("home"));
    for (const QString& d : {runtime, home, m_dir.filePath(QStringLiteral("client-runtime"))}) {
        QDir().mkpath(d);
        QFile::setPermissions(d, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "DISPLAY", "PULSE_SERVER", "PULSE_RUNTIME_PATH",
                             "PULSE_STATE_PATH", "PULSE_CONFIG_PATH"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    m_daemon.setProcessEnvironment(env);
    m_daemon.setProcessChannelMode(QProcess::MergedChannels);
    // A user daemon, also as root: no system mode, no default script, no
    // exit when idle, no pid file; one null sink and one socket of its own.
    // Real-time scheduling where allowed, as a desktop's daemon has.
    m_daemon.start(QStringLiteral("pulseaudio"),
                   {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--system=no"),
                    QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--use-pid-file=no"),
                    QStringLiteral("--realtime=yes"), QStringLiteral("--high-priority=yes"),
                    // Debug level for the underrun notes of the native protocol.
                    QStringLiteral("--log-target=file:") + m_dir.filePath(QStringLiteral("daemon.log")),
                    QStringLiteral("--log-level=debug"),
                    QStringLiteral("--load=module-null-sink sink_name=") + sinkName() +
                        QStringLiteral(" rate=%1 channels=1").arg(kRate),
                    QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") + socketPath(m_dir)});
    if (!m_daemon.waitForStarted(5000)) {
        *why = QStringLiteral("PulseAudio could not be started (is the pulseaudio package installed?): ") +
               m_daemon.errorString();
        return false;
    }
    // Ready once a client gets an answer through the socket.
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (m_daemon.state() == QProcess::NotRunning)
            break;
        if (QFileInfo::exists(socketPath(m_dir))) {
            QProcess info;
            QProcessEnvironment clientEnv = QProcessEnvironment::systemEnvironment();
            addClientEnvironment(clientEnv);
            info.setProcessEnvironment(clientEnv);
            info.start(QStringLiteral("pactl"), {QStringLiteral("info")});
            if (info.waitForFinished(3000) && info.exitStatus() == QProcess::NormalExit && info.exitCode() == 0)
                return true;
        }
        QThread::msleep(50);
    }
    *why = QStringLiteral("PulseAudio did not answer on its socket: ") + QString::fromLocal8Bit(log());
    return false;
}

void PrivatePulseAudio::kill()
{
    m_daemon.kill();
    m_daemon.waitForFinished(3000);
}

QByteArray PrivatePulseAudio::log()
{
    QFile f(m_dir.filePath(QStringLiteral("daemon.log")));
    return m_daemon.readAll() + (f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray());
}

int PrivatePulseAudio::underruns() const
{
    // "Implicit underrun of 'name'" or "Explicit underrun of 'name'"; a
    // stream's normal end is a "drain".
    return countInFile(m_dir.filePath(QStringLiteral("daemon.log")), "underrun of '");
}

std::vector<double> PrivatePulseAudio::playbackBuffersMs() const
{
    // "Final latency 46.44 ms = 11.61 ms + 2*11.61 ms + 11.61 ms" for a
    // playback stream (sink, twice the request size, the rest); a recording
    // stream's line has no "2*".
    std::vector<double> out;
    QFile f(m_dir.filePath(QStringLiteral("daemon.log")));
    if (!f.open(QIODevice::ReadOnly))
        return out;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine();
        const qsizetype at = line.indexOf("Final latency ");
        if (at < 0 || !line.contains("2*"))
            continue;
        const QByteArray rest = line.mid(at + qsizetype(std::strlen("Final latency ")));
        out.push_back(rest.left(rest.indexOf(' ')).toDouble());
    }
    return out;
}

SinkRecorder::SinkRecorder(const PrivatePulseAudio& pulse) : m_pulse(pulse) {}

SinkRecorder::~SinkRecorder()
{
    if (m_recorder.state() != QProcess::NotRunning) {
        m_recorder.kill();
        m_recorder.waitForFinished(3000);
    }
}

bool SinkRecorder::start(QString* why)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    m_pulse.addClientEnvironment(env);
    m_recorder.setProcessEnvironment(env);
    m_recorder.setStandardOutputFile(m_dir.filePath(QStringLiteral("recording.raw")));
    // Verbose: it says "Stream overrun." for each overrun.
    m_recorder.setStandardErrorFile(m_dir.filePath(QStringLiteral("recorder.log")));
    m_recorder.start(QStringLiteral("parec"),
                     {QStringLiteral("--verbose"), QStringLiteral("--raw"), QStringLiteral("--format=s16le"),
                      QStringLiteral("--rate=%1").arg(PrivatePulseAudio::kRate), QStringLiteral("--channels=1"),
                      QStringLiteral("--latency-msec=5"), QStringLiteral("--device=") + m_pulse.sinkName() +
                                                              QStringLiteral(".monitor")});
    if (!m_recorder.waitForStarted(5000)) {
        *why = QStringLiteral("parec could not be started (pulseaudio-utils): ") + m_recorder.errorString();
        return false;
    }
    // Running once samples arrive: the null sink's monitor always delivers.
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() && m_recorder.state() == QProcess::Running) {
        if (position() > 0)
            return true;
        QThread::msleep(10);
    }
    QFile log(m_dir.filePath(QStringLiteral("recorder.log")));
    *why = QStringLiteral("parec recorded nothing: ") +
           QString::fromLocal8Bit(log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray());
    return false;
}

qint64 SinkRecorder::position() const
{
    return QFileInfo(m_dir.filePath(QStringLiteral("recording.raw"))).size() / 2;
}

std::vector<float> SinkRecorder::stop()
{
    m_recorder.terminate();
    if (!m_recorder.waitForFinished(3000)) {
        m_recorder.kill();
        m_recorder.waitForFinished(3000);
    }
    return samplesFrom(0);
}

int SinkRecorder::overruns() const
{
    return countInFile(m_dir.filePath(QStringLiteral("recorder.log")), "Stream overrun.");
}

std::vector<float> SinkRecorder::samplesFrom(qint64 from) const
{
    QFile f(m_dir.filePath(QStringLiteral("recording.raw")));
    std::vector<float> out;
    if (!f.open(QIODevice::ReadOnly) || !f.seek(2 * from))
        return out;
    QByteArray raw = f.readAll();
    raw.chop(raw.size() % 2);
    out.resize(std::size_t(raw.size() / 2));
    for (std::size_t i = 0; i < out.size(); ++i) {
        std::int16_t s;
        std::memcpy(&s, raw.constData() + 2 * i, 2);
        out[i] = float(s) / 32768.0f;
    }
    return out;
}

RecordedPulseAudio::RecordedPulseAudio() : m_recorder(m_pulse) {}

bool RecordedPulseAudio::start(QString* why)
{
    return m_pulse.start(why) && m_recorder.start(why);
}

} // namespace quorvel::test
