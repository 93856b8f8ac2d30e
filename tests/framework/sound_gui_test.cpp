// Sound: the device backend on the real cue files without a device (every
// sound silent, IsPlaying true for the sound's duration), the volume range,
// files that are not sounds, the decoder on damaged and unusual files, and
// the replaceable factory.
#include "framework/files.h"
#include "framework/sound.h"
#include "tests/support/fake_sound.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cstring>
#include <memory>

namespace {

// This process has no sound device, whatever the machine has: the only
// backend OpenAL Soft may try is PulseAudio, at a server that is not there.
const bool kNoDevice = [] {
    qputenv("ALSOFT_DRIVERS", "pulse");
    qputenv("PULSE_SERVER", "unix:/nonexistent/quorvel-no-sound-server");
    return true;
}();

using quorvel::test::FakeSound;
using quorvel::test::FakeSoundFactory;

QString resource(const QString& name)
{
    return qEnvironmentVariable("QUORVEL_SOURCE_DIR", QStringLiteral(".")) + QStringLiteral("/Resources/") + name;
}

class SoundTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        fw::setSoundFactory({});
        fw::setClock(nullptr);
    }
};

TEST_F(SoundTest, WithoutADeviceASoundPlaysSilentlyForItsDuration)
{
    ASSERT_TRUE(kNoDevice);
    EXPECT_FALSE(fw::soundDeviceAvailable());
    struct Case {
        const char* file;
        double minMs, maxMs;  // the generated files' lengths
    };
    const Case cases[] = {{"Click", 10, 40}, {"s0", 300, 800}, {"ding2", 250, 350}};
    fw::FakeClock clock;
    fw::setClock(&clock);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = resource(QString::fromLatin1(c.file));
        const auto decoded = fw::decodeSoundFile(path);
        ASSERT_TRUE(decoded.has_value());
        const double ms = decoded->durationMs();
        ASSERT_GE(ms, c.minMs);
        ASSERT_LE(ms, c.maxMs);

        auto item = std::make_shared<fw::FolderItem>(path);
        std::shared_ptr<fw::Sound> sound = item->OpenAsSound();
        ASSERT_NE(sound, nullptr);
        EXPECT_FALSE(sound->IsPlaying()) << "not playing before Play";
        sound->setVolume(40);
        sound->Play();
        EXPECT_TRUE(sound->IsPlaying()) << "playing right after Play";
        clock.advance((ms - 1.0) * 1000.0);
        EXPECT_TRUE(sound->IsPlaying()) << "still playing just before its end";
        clock.advance(2000.0);
        EXPECT_FALSE(sound->IsPlaying()) << "over once the duration has passed";
        EXPECT_EQ(sound->Volume(), 40);

        // Played again, it plays again from the start; Stop ends it at once.
        sound->Play();
        clock.advance(ms * 500.0);
        sound->Play();
        clock.advance(ms * 700.0);
        EXPECT_TRUE(sound->IsPlaying()) << "a second Play starts the sound over";
        sound->Stop();
        EXPECT_FALSE(sound->IsPlaying());
    }
}

TEST_F(SoundTest, VolumeIsClampedAndStaysWithTheSound)
{
    struct Case {
        int set, expected;
    };
    const Case cases[] = {{-1, 0}, {-100000, 0}, {0, 0}, {1, 1}, {55, 55}, {100, 100}, {101, 100}, {1 << 30, 100}};
    std::shared_ptr<fw::Sound> real = fw::openDeviceSound(resource(QStringLiteral("Click")));
    ASSERT_NE(real, nullptr);
    FakeSound fake(15);
    for (fw::Sound* sound : {real.get(), static_cast<fw::Sound*>(&fake)}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.set);
            sound->setVolume(c.set);
            EXPECT_EQ(sound->Volume(), c.expected);
            sound->Play();
            EXPECT_EQ(sound->Volume(), c.expected) << "Play keeps the volume";
            sound->Stop();
        }
    }
    ASSERT_EQ(fake.playVolumes().size(), std::size(cases));
    EXPECT_EQ(fake.playVolumes().front(), 0);
    EXPECT_EQ(fake.playVolumes().back(), 100);
}

TEST_F(SoundTest, FilesThatAreNotSoundsGiveNil)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile text(dir.filePath(QStringLiteral("notes")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("RIFF is not enough\n");
    text.close();
    const QString paths[] = {resource(QStringLiteral("NewSplash.pct")), resource(QStringLiteral("no-such-sound")),
                             text.fileName(), dir.path()};
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(std::make_shared<fw::FolderItem>(path)->OpenAsSound(), nullptr);
        EXPECT_EQ(fw::openDeviceSound(path), nullptr);
        EXPECT_FALSE(fw::decodeSoundFile(path).has_value());
    }
}

// A RIFF/WAVE file from chunks; sizes are written as given.
QByteArray chunk(const char* id, const QByteArray& body, qint64 declaredSize = -1)
{
    QByteArray out(id, 4);
    char size[4];
    qToLittleEndian<quint32>(quint32(declaredSize < 0 ? body.size() : declaredSize), size);
    out.append(size, 4);
    out.append(body);
    return out;
}

QByteArray fmtBody(quint16 format, quint16 channels, quint32 rate, quint16 bits, int extra = 0)
{
    QByteArray b(16 + extra, '\0');
    qToLittleEndian<quint16>(format, b.data());
    qToLittleEndian<quint16>(channels, b.data() + 2);
    qToLittleEndian<quint32>(rate, b.data() + 4);
    qToLittleEndian<quint32>(rate * channels * bits / 8, b.data() + 8);
    qToLittleEndian<quint16>(quint16(channels * bits / 8), b.data() + 12);
    qToLittleEndian<quint16>(bits, b.data() + 14);
    return b;
}

// WAVE_FORMAT_EXTENSIBLE with the PCM sub-format.
QByteArray extensiblePcm(quint16 channels, quint32 rate, quint16 bits)
{
    QByteArray b = fmtBody(0xFFFE, channels, rate, bits, 24);
    qToLittleEndian<quint16>(22, b.data() + 16);
    qToLittleEndian<quint16>(bits, b.data() + 18);
    qToLittleEndian<quint32>(channels == 1 ? 4 : 3, b.data() + 20);
    const unsigned char pcm[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    std::memcpy(b.data() + 24, pcm, 16);
    return b;
}

QByteArray riff(const QByteArray& chunks, const char* form = "WAVE")
{
    QByteArray body(form, 4);
    body.append(chunks);
    return chunk("RIFF", body);
}

// A WAV file of 16-bit samples from the given values.
QByteArray pcm16(const std::vector<qint16>& values)
{
    QByteArray b(int(values.size() * 2), '\0');
    for (std::size_t i = 0; i < values.size(); ++i)
        qToLittleEndian<qint16>(values[i], b.data() + 2 * i);
    return b;
}

TEST_F(SoundTest, DecodingDamagedAndUnusualFiles)
{
    const QByteArray pcm8k = fmtBody(1, 1, 8000, 16);  // 16000 bytes a second
    const QByteArray second(16000, '\x01');
    struct Case {
        const char* name;
        QByteArray file;
        double expectedMs;  // -1: a sound that failed to load
        int channels = 1;
    };
    const Case cases[] = {
        {"one second mono", riff(chunk("fmt ", pcm8k) + chunk("data", second)), 1000},
        {"stereo 44.1 kHz", riff(chunk("fmt ", fmtBody(1, 2, 44100, 16)) + chunk("data", QByteArray(17640, 0))), 100, 2},
        {"four channels are mixed to one",
         riff(chunk("fmt ", fmtBody(1, 4, 8000, 16)) + chunk("data", QByteArray(6400, 0))), 100, 1},
        {"8-bit", riff(chunk("fmt ", fmtBody(1, 1, 8000, 8)) + chunk("data", QByteArray(4000, '\x80'))), 500},
        {"data cut short plays what is there",
         riff(chunk("fmt ", pcm8k) + chunk("data", QByteArray(8000, 0), 1 << 30)), 500},
        {"odd-sized chunk before data is padded",
         riff(chunk("fmt ", pcm8k) + chunk("LIST", QByteArray("abc", 3)) + QByteArray(1, '\0') +
              chunk("data", QByteArray(1600, 0))),
         100},
        {"fmt with extension bytes", riff(chunk("fmt ", fmtBody(1, 1, 8000, 16, 2)) + chunk("data", second)), 1000},
        {"long fmt chunk", riff(chunk("fmt ", fmtBody(1, 1, 8000, 16, 84)) + chunk("data", second)), 1000},
        {"extensible PCM", riff(chunk("fmt ", extensiblePcm(1, 8000, 16)) + chunk("data", second)), 1000},
        {"extensible with no sub-format", riff(chunk("fmt ", fmtBody(0xFFFE, 1, 8000, 16, 24)) + chunk("data", second)),
         -1},
        {"compressed format", riff(chunk("fmt ", fmtBody(2, 1, 8000, 4)) + chunk("data", second)), -1},
        {"data before fmt", riff(chunk("data", second) + chunk("fmt ", pcm8k)), -1},
        {"zero length", riff(chunk("fmt ", pcm8k) + chunk("data", {})), -1},
        {"zero sample rate", riff(chunk("fmt ", fmtBody(1, 1, 0, 16)) + chunk("data", second)), -1},
        // 16000 samples at 2 a second would play for over two hours.
        {"absurd sample rate", riff(chunk("fmt ", fmtBody(1, 1, 2, 16)) + chunk("data", second)), -1},
        {"no data chunk", riff(chunk("fmt ", pcm8k)), -1},
        {"short fmt chunk", riff(chunk("fmt ", pcm8k.left(10)) + chunk("data", second)), -1},
        {"chunk larger than the file", riff(chunk("fmt ", pcm8k) + chunk("JUNK", {}, 0xFFFFFFF0u)), -1},
        {"not WAVE", riff(chunk("fmt ", pcm8k) + chunk("data", second), "AVI "), -1},
        {"truncated header", QByteArray("RIFF\x10\0\0\0WA", 10), -1},
        {"empty file", QByteArray(), -1},
        {"text", QByteArray("hello, this is not a sound at all\n"), -1},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile f(dir.filePath(QStringLiteral("sound")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(c.file);
        f.close();
        const auto decoded = fw::decodeSoundFile(f.fileName());
        const std::shared_ptr<fw::Sound> sound = fw::openDeviceSound(f.fileName());
        if (c.expectedMs < 0) {
            EXPECT_FALSE(decoded.has_value());
            EXPECT_EQ(sound, nullptr);
            continue;
        }
        ASSERT_TRUE(decoded.has_value());
        EXPECT_NEAR(decoded->durationMs(), c.expectedMs, 1e-9);
        EXPECT_EQ(decoded->channels, c.channels);
        ASSERT_NE(sound, nullptr);
        // A sound that loaded ends: silent here, it plays for its length.
        fw::FakeClock clock;
        fw::setClock(&clock);
        sound->Play();
        EXPECT_TRUE(sound->IsPlaying());
        clock.advance((c.expectedMs + 1.0) * 1000.0);
        EXPECT_FALSE(sound->IsPlaying());
        fw::setClock(nullptr);
    }
    EXPECT_FALSE(fw::decodeSoundFile(dir.filePath(QStringLiteral("missing"))).has_value());
}

TEST_F(SoundTest, DecodedSamplesAreTheFileSamples)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::vector<qint16> mono = {0, 1, -1, 32767, -32768, 1234};
    const std::vector<qint16> quad = {100, 200, 300, 400, -4, -4, -4, -4};
    struct Case {
        const char* name;
        QByteArray file;
        std::vector<std::int16_t> samples;
    };
    const Case cases[] = {
        {"mono", riff(chunk("fmt ", fmtBody(1, 1, 8000, 16)) + chunk("data", pcm16(mono))), {0, 1, -1, 32767, -32768, 1234}},
        {"four channels averaged", riff(chunk("fmt ", fmtBody(1, 4, 8000, 16)) + chunk("data", pcm16(quad))), {250, -4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile f(dir.filePath(QString::fromLatin1(c.name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.file);
        f.close();
        const auto decoded = fw::decodeSoundFile(f.fileName());
        ASSERT_TRUE(decoded.has_value());
        EXPECT_EQ(decoded->samples, c.samples);
        EXPECT_EQ(decoded->sampleRate, 8000);
    }
}

TEST_F(SoundTest, FactoryReplacesTheBackend)
{
    const QString click = resource(QStringLiteral("Click"));
    {
        FakeSoundFactory factory(15);
        factory.setMissing(QStringLiteral("s1"));
        factory.install();
        std::shared_ptr<fw::Sound> s = std::make_shared<fw::FolderItem>(click)->OpenAsSound();
        ASSERT_NE(s, nullptr);
        auto* fake = dynamic_cast<FakeSound*>(s.get());
        ASSERT_NE(fake, nullptr) << "OpenAsSound goes through the installed factory";
        EXPECT_EQ(fake, factory.sound(QStringLiteral("Click")));
        EXPECT_EQ(fw::openSound(resource(QStringLiteral("s1"))), nullptr);
        EXPECT_EQ(factory.opened(), (QStringList{QStringLiteral("Click"), QStringLiteral("s1")}));

        // The fake plays for its duration on the framework clock.
        fw::FakeClock clock;
        fw::setClock(&clock);
        s->setVolume(70);
        s->Play();
        EXPECT_TRUE(s->IsPlaying());
        clock.advance(14'999);
        EXPECT_TRUE(s->IsPlaying());
        clock.advance(1);
        EXPECT_FALSE(s->IsPlaying());
        fw::setClock(nullptr);
        EXPECT_EQ(fake->playVolumes(), std::vector<int>{70});
        EXPECT_EQ(factory.playLog(), QStringList{QStringLiteral("Click")});
    }
    // The factory's end puts the device backend back.
    std::shared_ptr<fw::Sound> real = fw::openSound(click);
    ASSERT_NE(real, nullptr);
    EXPECT_EQ(dynamic_cast<FakeSound*>(real.get()), nullptr);
}

} // namespace
