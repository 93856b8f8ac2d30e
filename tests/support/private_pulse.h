#pragma once

// A PulseAudio daemon of the test's own, with one null sink whose monitor a
// recorder writes to a file, so a test hears what a real program played.
//
// The daemon runs as a user daemon (also as root) with its own runtime and
// home folders, no default script and no idle exit; clients reach it only
// through serverAddress(). It is stopped on destruction.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace quorvel::test {

class PrivatePulseAudio {
public:
    // The sink's format: what the recorder asks for too.
    static constexpr int kRate = 44100;

    PrivatePulseAudio();
    ~PrivatePulseAudio();
    PrivatePulseAudio(const PrivatePulseAudio&) = delete;
    PrivatePulseAudio& operator=(const PrivatePulseAudio&) = delete;

    // Starts the daemon and waits until it answers; false with the reason.
    bool start(QString* why);
    // Stops it at once (a sound server that goes away under a client).
    void kill();
    // For PULSE_SERVER.
    QString serverAddress() const;
    QString sinkName() const { return QStringLiteral("quorvel_test"); }
    // What a client of this daemon needs in its environment: the server, and
    // a runtime folder of its own so nothing lands in the user's.
    void addClientEnvironment(QProcessEnvironment& env) const;
    QByteArray log();
    // The underruns of playback streams the daemon has noted so far: each is
    // a moment where a client fell behind and the sink played something
    // other than what it was sent (silence, or a slip when it caught up).
    int underruns() const;
    // The buffer each playback stream got, in ms, in the order they
    // connected: the sound a client has sent ahead of the sink, as the
    // server settled it.
    std::vector<double> playbackBuffersMs() const;

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
};

// Records the sink's monitor as raw 16-bit mono samples into a file.
class SinkRecorder {
public:
    explicit SinkRecorder(const PrivatePulseAudio& pulse);
    ~SinkRecorder();
    SinkRecorder(const SinkRecorder&) = delete;
    SinkRecorder& operator=(const SinkRecorder&) = delete;

    bool start(QString* why);
    // Samples recorded so far: the recording's clock, read before a key is
    // sent, marks when it was sent.
    qint64 position() const;
    // The samples recorded from `from` on, so far, in -1..1.
    std::vector<float> samplesFrom(qint64 from) const;
    // Stops recording and gives the samples in -1..1.
    std::vector<float> stop();
    // The overruns the recorder was told of: samples of the sink that never
    // reached the recording.
    int overruns() const;

private:
    const PrivatePulseAudio& m_pulse;
    QTemporaryDir m_dir;
    QProcess m_recorder;
};

// A private PulseAudio whose sink is recorded from the start: what a sound
// test listens through. The listener also keeps the null sink working in
// short blocks, as a sound card's does; alone, it takes in sound two seconds
// at a time.
class RecordedPulseAudio {
public:
    RecordedPulseAudio();
    // Starts the daemon, then the recorder; false with the reason.
    bool start(QString* why);
    PrivatePulseAudio& pulse() { return m_pulse; }
    SinkRecorder& recorder() { return m_recorder; }

private:
    PrivatePulseAudio m_pulse;
    SinkRecorder m_recorder;  // stops before the daemon
};

} // namespace quorvel::test
