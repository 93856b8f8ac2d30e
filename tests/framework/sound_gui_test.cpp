// Sound: the Qt backend on the real cue files (no audio device here, so
// IsPlaying must end by the sound's duration), the volume range, files that
// are not sounds, the WAV length reader, and the replaceable factory.
#include "framework/files.h"
#include "framework/sound.h"
#include "tests/support/fake_sound.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <memory>

namespace {

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

TEST_F(SoundTest, QtBackendPlaysForTheFileDurationWithoutAnAudioDevice)
{
    struct Case {
        const char* file;
        double minMs, maxMs;  // the generated files' lengths
    };
    const Case cases[] = {{"Click", 10, 40}, {"s0", 300, 800}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = resource(QString::fromLatin1(c.file));
        const double ms = fw::wavDurationMs(path);
        ASSERT_GE(ms, c.minMs);
        ASSERT_LE(ms, c.maxMs);

        auto item = std::make_shared<fw::FolderItem>(path);
        std::shared_ptr<fw::Sound> sound = item->OpenAsSound();
        ASSERT_NE(sound, nullptr);
        EXPECT_FALSE(sound->IsPlaying()) << "not playing before Play";
        sound->setVolume(40);
        sound->Play();
        EXPECT_TRUE(sound->IsPlaying()) << "playing right after Play";
        QTest::qWait(int(ms) + 40);
        EXPECT_FALSE(sound->IsPlaying()) << "over once the duration has passed";
        EXPECT_EQ(sound->Volume(), 40);

        // Played again, it plays again; Stop ends it at once.
        sound->Play();
        EXPECT_TRUE(sound->IsPlaying());
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
    std::shared_ptr<fw::Sound> real = fw::openQtSound(resource(QStringLiteral("Click")));
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
        EXPECT_EQ(fw::openQtSound(path), nullptr);
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

QByteArray riff(const QByteArray& chunks, const char* form = "WAVE")
{
    QByteArray body(form, 4);
    body.append(chunks);
    return chunk("RIFF", body);
}

TEST_F(SoundTest, WavDurationFromHeaders)
{
    const QByteArray pcm8k = fmtBody(1, 1, 8000, 16);  // 16000 bytes a second
    const QByteArray second(16000, '\x01');
    struct Case {
        const char* name;
        QByteArray file;
        double expected;  // -1: not a readable WAV
    };
    const Case cases[] = {
        {"one second mono", riff(chunk("fmt ", pcm8k) + chunk("data", second)), 1000},
        {"stereo 44.1 kHz", riff(chunk("fmt ", fmtBody(1, 2, 44100, 16)) + chunk("data", QByteArray(17640, 0))), 100},
        {"empty data", riff(chunk("fmt ", pcm8k) + chunk("data", {})), 0},
        {"data size past the end counts what is there",
         riff(chunk("fmt ", pcm8k) + chunk("data", QByteArray(8000, 0), 1 << 30)), 500},
        {"odd-sized chunk before data is padded",
         riff(chunk("fmt ", pcm8k) + chunk("LIST", QByteArray("abc", 3)) + QByteArray(1, '\0') +
              chunk("data", QByteArray(1600, 0))),
         100},
        {"fmt with extension bytes", riff(chunk("fmt ", fmtBody(1, 1, 8000, 16, 2)) + chunk("data", second)), 1000},
        {"long fmt chunk", riff(chunk("fmt ", fmtBody(1, 1, 8000, 16, 84)) + chunk("data", second)), 1000},
        {"extensible PCM", riff(chunk("fmt ", fmtBody(0xFFFE, 1, 8000, 16, 24)) + chunk("data", second)), 1000},
        {"compressed format", riff(chunk("fmt ", fmtBody(2, 1, 8000, 4)) + chunk("data", second)), -1},
        {"zero byte rate", riff(chunk("fmt ", fmtBody(1, 1, 0, 16)) + chunk("data", second)), -1},
        {"data before fmt", riff(chunk("data", second) + chunk("fmt ", pcm8k)), -1},
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
        if (c.expected < 0) {
            EXPECT_LT(fw::wavDurationMs(f.fileName()), 0);
            EXPECT_EQ(fw::openQtSound(f.fileName()), nullptr);
        } else {
            EXPECT_NEAR(fw::wavDurationMs(f.fileName()), c.expected, 1e-9);
        }
    }
    EXPECT_LT(fw::wavDurationMs(dir.filePath(QStringLiteral("missing"))), 0);
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
    // The factory's end puts the Qt backend back.
    std::shared_ptr<fw::Sound> real = fw::openSound(click);
    ASSERT_NE(real, nullptr);
    EXPECT_EQ(dynamic_cast<FakeSound*>(real.get()), nullptr);
}

} // namespace
