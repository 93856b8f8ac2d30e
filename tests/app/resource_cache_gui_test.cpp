// The thirteen resource accessors and their caches: a sound is tried once
// per run, whatever became of its file since; the splash picture is tried
// on each call until it loads and then kept; with every file present each
// accessor hands out one object; the shut-down empties the sound caches; a
// sound file that cannot be loaded is named once on standard error, with why.
#include "app/resources.h"
#include "framework/files.h"
#include "framework/sound.h"
#include "tests/support/noise_bytes.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

#include <functional>
#include <memory>
#include <ostream>

namespace {

using SoundAccessor = std::shared_ptr<fw::Sound> (*)();

struct NamedSound {
    const char* file;
    SoundAccessor get;
};

const NamedSound kSounds[] = {
    {"s0", s0}, {"s1", s1}, {"s2", s2}, {"s3", s3}, {"s4", s4},       {"s5", s5},
    {"s6", s6}, {"s7", s7}, {"s8", s8}, {"s9", s9}, {"Click", Click}, {"ding2", ding2},
};

QString builtResources()
{
    const QByteArray build = qgetenv("QUORVEL_BUILD_DIR");
    if (!build.isEmpty())
        return QDir(QString::fromLocal8Bit(build)).filePath(QStringLiteral("Resources"));
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../Resources"));
}

// Each test gets its own copy of the Resources folder to take files from,
// put them back or spoil them, and counts how often each sound file is
// opened (the real loader does the work).
class ResourceCache : public ::testing::Test {
public:
    QString folder() const { return m_dir.path(); }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    void take(const QString& name) { ASSERT_TRUE(QFile::rename(path(name), path(name + QStringLiteral(".away")))); }
    void putBack(const QString& name)
    {
        QFile::remove(path(name));
        ASSERT_TRUE(QFile::rename(path(name + QStringLiteral(".away")), path(name)));
    }
    // Moves the good file away and leaves bytes no loader reads in its place.
    void garble(const QString& name)
    {
        take(name);
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("RIFF\x04\x00\x00\x00WAVEjunk and more junk", 30);
    }

protected:
    void SetUp() override
    {
        resources::resetAll();
        const QDir from(builtResources());
        ASSERT_FALSE(from.entryList(QDir::Files).isEmpty()) << "no Resources at " << from.path().toStdString();
        for (const QString& name : from.entryList(QDir::Files))
            ASSERT_TRUE(QFile::copy(from.filePath(name), path(name)));
        fw::setResourcesFolder(m_dir.path());
        fw::setSoundFactory([this](const QString& file) {
            ++m_opens[QFileInfo(file).fileName()];
            return fw::openDeviceSound(file);
        });
    }

    void TearDown() override
    {
        fw::setSoundFactory({});
        fw::setResourcesFolder(QString());
        resources::resetAll();
    }

    QTemporaryDir m_dir;
    QHash<QString, int> m_opens;
};

TEST_F(ResourceCache, WithEveryFilePresentEachAccessorKeepsOneObject)
{
    for (const NamedSound& s : kSounds) {
        SCOPED_TRACE(s.file);
        const auto first = s.get();
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(s.get(), first);
        EXPECT_EQ(s.get(), first);
        EXPECT_EQ(m_opens.value(QLatin1String(s.file)), 1);
    }
    // The twelve are twelve different sounds.
    for (const NamedSound& a : kSounds)
        for (const NamedSound& b : kSounds)
            if (&a != &b) {
                EXPECT_NE(a.get(), b.get()) << a.file << " vs " << b.file;
            }

    const auto pic = NewSplash();
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(pic->Width(), 550);
    EXPECT_EQ(pic->Height(), 387);
    EXPECT_EQ(NewSplash(), pic);
    // Kept, so the file is not needed any more.
    take(QStringLiteral("NewSplash.pct"));
    EXPECT_EQ(NewSplash(), pic);
}

// A sound that fails once stays nil for the rest of the run.
struct FailedSound {
    const char* name;
    std::function<void(ResourceCache&)> spoil;
    std::function<void(ResourceCache&)> repair;
    int opens;  // loader calls for "Click" over the whole case
};

void PrintTo(const FailedSound& c, std::ostream* os) { *os << c.name; }

class SoundTriedOnce : public ResourceCache, public ::testing::WithParamInterface<FailedSound> {};

TEST_P(SoundTriedOnce, LaterCallsReturnNilEvenOnceTheFileIsBack)
{
    const FailedSound& c = GetParam();
    c.spoil(*this);
    EXPECT_EQ(Click(), nullptr);
    c.repair(*this);
    EXPECT_EQ(Click(), nullptr);
    EXPECT_EQ(Click(), nullptr);
    EXPECT_EQ(m_opens.value(QStringLiteral("Click")), c.opens);
    // The other sounds are not held back by it.
    EXPECT_NE(ding2(), nullptr);
    EXPECT_NE(s0(), nullptr);
}

const FailedSound kFailedSounds[] = {
    {"Missing", [](ResourceCache& t) { t.take(QStringLiteral("Click")); },
     [](ResourceCache& t) { t.putBack(QStringLiteral("Click")); }, 0},
    {"Unreadable", [](ResourceCache& t) { t.garble(QStringLiteral("Click")); },
     [](ResourceCache& t) { t.putBack(QStringLiteral("Click")); }, 1},
    {"NoResourcesFolder", [](ResourceCache& t) { fw::setResourcesFolder(t.path(QStringLiteral("missing"))); },
     [](ResourceCache& t) { fw::setResourcesFolder(t.folder()); }, 0},
};

INSTANTIATE_TEST_SUITE_P(Click, SoundTriedOnce, ::testing::ValuesIn(kFailedSounds),
                         [](const auto& info) { return std::string(info.param.name); });

// What goes to standard error while it lives.
class StandardErrorCapture {
public:
    StandardErrorCapture()
    {
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        if (m_file.open())
            ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StandardErrorCapture() { restore(); }
    QString text()
    {
        restore();
        m_file.seek(0);
        return QString::fromUtf8(m_file.readAll());
    }

private:
    void restore()
    {
        std::fflush(stderr);
        if (m_saved >= 0) {
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
            m_saved = -1;
        }
    }
    QTemporaryFile m_file;
    int m_saved = -1;
};

// The lines of a text that name a file.
QStringList linesNaming(const QString& text, const QString& file)
{
    QStringList found;
    for (const QString& line : text.split(QLatin1Char('\n')))
        if (line.contains(QLatin1Char('"') + file + QLatin1Char('"')))
            found << line;
    return found;
}

// A 16-bit mono WAV header of our own: the rate and the data length as given.
QByteArray wavHeader(quint32 rate, quint32 dataBytes)
{
    QByteArray h;
    auto u32 = [&h](quint32 v) { for (int i = 0; i < 4; ++i) h.append(char((v >> (8 * i)) & 0xff)); };
    auto u16 = [&h](quint16 v) { h.append(char(v & 0xff)); h.append(char(v >> 8)); };
    h.append("RIFF");
    u32(36 + dataBytes);
    h.append("WAVEfmt ");
    u32(16);
    u16(1);         // PCM
    u16(1);         // mono
    u32(rate);
    u32(rate * 2);  // bytes per second
    u16(2);         // bytes per frame
    u16(16);        // bits
    h.append("data");
    u32(dataBytes);
    return h;
}

// A sound file that cannot be loaded is named once on standard error, with
// the reason, and the accessor gives nil as before.
struct DamagedSound {
    const char* name;
    QByteArray contents;  // what the file holds; "(missing)" takes it away
    const char* reason;   // words the line must hold
};

void PrintTo(const DamagedSound& c, std::ostream* os) { *os << c.name; }

class DamagedSoundNamed : public ResourceCache, public ::testing::WithParamInterface<DamagedSound> {};

TEST_P(DamagedSoundNamed, OneLineNamesTheFileAndWhy)
{
    const DamagedSound& c = GetParam();
    fw::setSoundFactory({});  // the real loader, reasons and all
    take(QStringLiteral("s0"));
    if (c.contents != "(missing)") {
        QFile f(path(QStringLiteral("s0")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(c.contents), c.contents.size());
    }
    StandardErrorCapture err;
    EXPECT_EQ(s0(), nullptr);
    EXPECT_EQ(s0(), nullptr);
    EXPECT_NE(s1(), nullptr) << "the other digits still load";
    const QString text = err.text();
    const QStringList lines = linesNaming(text, path(QStringLiteral("s0")));
    ASSERT_EQ(lines.size(), 1) << "standard error:\n" << text.toStdString();
    EXPECT_TRUE(lines.first().contains(QLatin1String(c.reason))) << lines.first().toStdString();
    EXPECT_TRUE(linesNaming(text, path(QStringLiteral("s1"))).isEmpty()) << "a good file is not named";
}

const DamagedSound kDamagedSounds[] = {
    {"Missing", "(missing)", "it is missing"},
    {"Empty", QByteArray(), "it is empty"},
    {"Noise", quorvel::test::noiseBytes(8000, 2463534242u), "not a sound file"},
    {"HeaderOnly", QByteArray("RIFF\x04\x00\x00\x00WAVEjunk and more junk", 30), "not a sound file"},
    {"AbsurdRate", wavHeader(3, 2000) + QByteArray(2000, '\x10'), "sample rate of 3 Hz"},
    {"NoSamples", wavHeader(44100, 0), "no sound"},
};

INSTANTIATE_TEST_SUITE_P(s0, DamagedSoundNamed, ::testing::ValuesIn(kDamagedSounds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ResourceCache, EachSoundIsNamedWhenThereIsNoResourcesFolder)
{
    fw::setResourcesFolder(path(QStringLiteral("missing")));
    StandardErrorCapture err;
    for (const NamedSound& s : kSounds) {
        EXPECT_EQ(s.get(), nullptr);
        EXPECT_EQ(s.get(), nullptr);
    }
    const QString text = err.text();
    for (const NamedSound& s : kSounds) {
        const QStringList lines = linesNaming(text, QLatin1String(s.file));
        ASSERT_EQ(lines.size(), 1) << s.file << "; standard error:\n" << text.toStdString();
        EXPECT_TRUE(lines.first().contains(QLatin1String("no Resources folder"))) << lines.first().toStdString();
    }
}

// The picture is tried again on each call while it cannot be loaded.
struct LatePicture {
    const char* name;
    std::function<void(ResourceCache&)> spoil;
    std::function<void(ResourceCache&)> repair;
};

void PrintTo(const LatePicture& c, std::ostream* os) { *os << c.name; }

class SplashRetried : public ResourceCache, public ::testing::WithParamInterface<LatePicture> {};

TEST_P(SplashRetried, NextCallAfterTheFileIsBackLoadsAndKeepsIt)
{
    const LatePicture& c = GetParam();
    c.spoil(*this);
    EXPECT_EQ(NewSplash(), nullptr);
    EXPECT_EQ(NewSplash(), nullptr);
    c.repair(*this);
    const auto pic = NewSplash();
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(pic->Width(), 550);
    c.spoil(*this);
    EXPECT_EQ(NewSplash(), pic);
}

const LatePicture kLatePictures[] = {
    {"Missing", [](ResourceCache& t) { t.take(QStringLiteral("NewSplash.pct")); },
     [](ResourceCache& t) { t.putBack(QStringLiteral("NewSplash.pct")); }},
    {"Unreadable", [](ResourceCache& t) { t.garble(QStringLiteral("NewSplash.pct")); },
     [](ResourceCache& t) { t.putBack(QStringLiteral("NewSplash.pct")); }},
    {"NoResourcesFolder", [](ResourceCache& t) { fw::setResourcesFolder(t.path(QStringLiteral("missing"))); },
     [](ResourceCache& t) { fw::setResourcesFolder(t.folder()); }},
};

INSTANTIATE_TEST_SUITE_P(NewSplash, SplashRetried, ::testing::ValuesIn(kLatePictures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ResourceCache, ShutDownEmptiesTheSoundCachesInItsOrderAndNotThePicture)
{
    std::vector<std::weak_ptr<fw::Sound>> held;
    for (const NamedSound& s : kSounds)
        held.push_back(s.get());
    const auto pic = NewSplash();
    ASSERT_NE(pic, nullptr);

    EXPECT_EQ(resources::releaseSoundCaches(),
              (QStringList{QStringLiteral("s6"), QStringLiteral("s7"), QStringLiteral("s8"), QStringLiteral("s4"),
                           QStringLiteral("s3"), QStringLiteral("s1"), QStringLiteral("s2"), QStringLiteral("s0"),
                           QStringLiteral("s5"), QStringLiteral("s9"), QStringLiteral("Click"),
                           QStringLiteral("ding2")}));
    for (size_t i = 0; i < held.size(); ++i)
        EXPECT_TRUE(held[i].expired()) << kSounds[i].file;
    EXPECT_EQ(NewSplash(), pic);
}

} // namespace
