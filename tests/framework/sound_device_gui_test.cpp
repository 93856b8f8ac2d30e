// The device backend on a real output device, a private PulseAudio: a sound
// plays for its length from Play, sounds overlap, a second Play starts a
// sound over, the volume is the level heard in the recorded output, the
// stream keeps enough sound ahead of the server to last out a busy moment, and a
// sound server that goes away in the middle of a sound
// never holds a caller that waits for it: the sounds go on silently for their
// length, and standard error says so once.

#include "framework/sound.h"
#include "tests/support/private_pulse.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QThread>

#include <cmath>
#include <memory>

namespace {

using quorvel::test::PrivatePulseAudio;
using quorvel::test::RecordedPulseAudio;
using quorvel::test::SinkRecorder;

QString resource(const char* name)
{
    return qEnvironmentVariable("QUORVEL_SOURCE_DIR", QStringLiteral(".")) + QStringLiteral("/Resources/") +
           QString::fromLatin1(name);
}

double durationMs(const char* name)
{
    const auto d = fw::decodeSoundFile(resource(name));
    return d ? d->durationMs() : -1.0;
}

// Milliseconds from now until the sound stops playing, or -1 past `limitMs`.
double msUntilSilent(fw::Sound& sound, int limitMs)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < limitMs) {
        if (!sound.IsPlaying())
            return double(t.nsecsElapsed()) / 1e6;
        QThread::msleep(2);
    }
    return -1.0;
}

TEST(SoundDevice, PlaysOverlapsRestartsAndSurvivesTheServerGoingAway)
{
    QString why;
    RecordedPulseAudio sound;
    ASSERT_TRUE(sound.start(&why)) << why.toStdString();
    PrivatePulseAudio& pulse = sound.pulse();
    SinkRecorder& recorder = sound.recorder();
    // Before the first sound: the output device opens with it.
    QProcessEnvironment env;
    pulse.addClientEnvironment(env);
    for (const QString& name : env.keys())
        qputenv(name.toLocal8Bit().constData(), env.value(name).toLocal8Bit());

    testing::internal::CaptureStderr();
    const std::shared_ptr<fw::Sound> digit = fw::openDeviceSound(resource("s0"));
    const std::shared_ptr<fw::Sound> signal = fw::openDeviceSound(resource("ding2"));
    ASSERT_NE(digit, nullptr);
    ASSERT_NE(signal, nullptr);
    ASSERT_TRUE(fw::soundDeviceAvailable());
    const double digitMs = durationMs("s0"), signalMs = durationMs("ding2");

    // The stream the server settled for the program (its last playback
    // stream: the library tries one with its own defaults first) holds at
    // least 90 ms ahead: with 46 ms it ran dry on a machine loaded past its
    // cores, heard as gaps inside the digits.
    const std::vector<double> buffers = pulse.playbackBuffersMs();
    ASSERT_FALSE(buffers.empty()) << pulse.log().toStdString();
    EXPECT_GE(buffers.back(), 90.0);

    // From Play to the end of its samples; the first play too.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        EXPECT_FALSE(digit->IsPlaying());
        digit->Play();
        EXPECT_TRUE(digit->IsPlaying());
        const double ms = msUntilSilent(*digit, 3000);
        EXPECT_GT(ms, digitMs - 30.0);
        EXPECT_LT(ms, digitMs + 200.0);
    }

    // Two sounds at once both play; one ending leaves the other playing.
    digit->Play();
    signal->Play();
    EXPECT_TRUE(digit->IsPlaying());
    EXPECT_TRUE(signal->IsPlaying());
    EXPECT_GT(msUntilSilent(*signal, 3000), signalMs - 30.0);
    EXPECT_TRUE(digit->IsPlaying()) << "the longer digit still plays";
    EXPECT_GT(msUntilSilent(*digit, 3000), 0.0);

    // A second Play starts the sound over; a volume of 0 plays it unheard.
    digit->setVolume(0);
    digit->Play();
    QThread::msleep(200);
    digit->Play();
    const double again = msUntilSilent(*digit, 3000);
    EXPECT_GT(again, digitMs - 30.0) << "played from its start again";
    EXPECT_EQ(digit->Volume(), 0);

    // The volume is the gain heard: the same digit at 100, 25 and 0, the
    // level taken over the whole of it.
    const auto levelAt = [&](int volume) {
        digit->setVolume(volume);
        QThread::msleep(100);
        const qint64 from = recorder.position();
        digit->Play();
        EXPECT_GT(msUntilSilent(*digit, 3000), 0.0);
        QThread::msleep(100);
        double energy = 0.0;
        for (const float v : recorder.samplesFrom(from))
            energy += double(v) * v;
        return std::sqrt(energy);
    };
    const double full = levelAt(100), quarter = levelAt(25), none = levelAt(0);
    EXPECT_GT(full, 10.0) << "the digit at full volume is heard";
    EXPECT_NEAR(quarter / full, 0.25, 0.03);
    EXPECT_LT(none, 0.01 * full) << "a volume of 0 is not heard";
    digit->setVolume(100);

    // The server goes away while the digit plays: the caller waiting for its
    // end is let go, and later sounds keep their pace in silence.
    digit->Play();
    QThread::msleep(50);
    pulse.kill();
    const double lost = msUntilSilent(*digit, 5000);
    EXPECT_GE(lost, 0.0) << "the digit never ended";
    EXPECT_LT(lost, digitMs + 2500.0);
    QThread::msleep(200);
    EXPECT_FALSE(fw::soundDeviceAvailable());
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        signal->Play();
        EXPECT_TRUE(signal->IsPlaying());
        const double ms = msUntilSilent(*signal, 3000);
        EXPECT_GT(ms, signalMs - 30.0);
        EXPECT_LT(ms, signalMs + 100.0);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Quorvel: the sound device was lost; the cue sounds and the spoken digits are silent.\n");
}

} // namespace
