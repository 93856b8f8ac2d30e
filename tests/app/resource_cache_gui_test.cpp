// The thirteen resource accessors and their caches: a sound is tried once
// per run, whatever became of its file since; the splash picture is tried
// on each call until it loads and then kept; with every file present each
// accessor hands out one object; the shut-down empties the sound caches.
#include "app/resources.h"
#include "framework/files.h"
#include "framework/sound.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>

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
