// Text files: byte-exact round trip, replacing, folders that cannot be
// written, the configuration folder behind bare names, and the atomic save
// surviving a disk that fills up during the write (failures injected into
// a child process by strace); where the configuration folder goes without
// HOME, and why it cannot be made; a read with a size limit.
#include "framework/files.h"
#include "tests/support/private_config.h"
#include "tests/support/root_file_access.h"
#include "tests/support/traced_child.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The child half of the failed-write tests: when the test starts this
// executable with these variables set, it saves the file before main runs
// and reports by exit code, since every write (stderr too) may be failing.
//
// It first saves once to a scratch file, while nothing fails, then waits
// for the tracer and only then saves over the target.
constexpr const char* kChildTarget = "QUORVEL_FILES_CHILD_TARGET";
constexpr const char* kChildScratch = "QUORVEL_FILES_CHILD_SCRATCH";
constexpr const char* kChildBytes = "QUORVEL_FILES_CHILD_BYTES";
constexpr const char* kChildPiece = "QUORVEL_FILES_CHILD_PIECE";
constexpr int kChildCloseTrue = 0, kChildCloseFalse = 3, kChildNoStream = 4, kChildNoTracer = 5;

int childSave(const char* path, qsizetype bytes, qsizetype piece)
{
    auto stream = fw::GetFolderItem(QString::fromUtf8(path))->CreateTextFile();
    if (!stream)
        return kChildNoStream;
    const QString text(piece, QLatin1Char('n'));
    for (qsizetype done = 0; done < bytes; done += piece)
        stream->Write(text.left(std::min(piece, bytes - done)));
    return stream->Close() ? kChildCloseTrue : kChildCloseFalse;
}

[[maybe_unused]] const bool g_childRan = [] {
    const char* target = std::getenv(kChildTarget);
    const char* scratch = std::getenv(kChildScratch);
    if (!target || !scratch)
        return false;
    const qsizetype bytes = qEnvironmentVariableIntValue(kChildBytes);
    const qsizetype piece = std::max(1, qEnvironmentVariableIntValue(kChildPiece));
    if (childSave(scratch, bytes, piece) != kChildCloseTrue)
        _exit(kChildNoStream);
    _exit(quorvel::test::waitForTracer() ? childSave(target, bytes, piece) : kChildNoTracer);
}();

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// Writes the pieces through the framework; returns Close's result.
bool writeText(const QString& path, const QStringList& pieces)
{
    auto stream = fw::GetFolderItem(path)->CreateTextFile();
    if (!stream)
        return false;
    for (const QString& p : pieces)
        stream->Write(p);
    return stream->Close();
}

TEST(TextFiles, RoundTripIsByteForByte)
{
    struct Case {
        const char* name;
        QStringList pieces;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"carriage returns kept", {QStringLiteral("PESTPREFS\r1\r"), QStringLiteral("50\r\r")},
         QByteArray("PESTPREFS\r1\r50\r\r")},
        {"tabs and line feeds kept", {QStringLiteral("a\tb\nc\r\nd")}, QByteArray("a\tb\nc\r\nd")},
        {"non-ASCII as UTF-8 without a BOM", {QString::fromUtf8("Größe µV €\r"), QString::fromUtf8("\xF0\x9D\x84\x9E")},
         QByteArray("Gr\xC3\xB6\xC3\x9F" "e \xC2\xB5V \xE2\x82\xAC\r\xF0\x9D\x84\x9E")},
        {"nothing written gives an empty file", {}, QByteArray()},
        {"empty pieces add nothing", {QString(), QStringLiteral("x"), QString()}, QByteArray("x")},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QStringLiteral("report.txt"));
        ASSERT_TRUE(writeText(path, c.pieces));
        EXPECT_EQ(readBytes(path), c.bytes);
        auto in = fw::GetFolderItem(path)->OpenAsTextFile();
        ASSERT_NE(in, nullptr);
        EXPECT_FALSE(in->isEOF() && !c.bytes.isEmpty());
        EXPECT_EQ(in->ReadAll(), c.pieces.join(QString()));
        EXPECT_TRUE(in->isEOF());
        EXPECT_EQ(in->ReadAll(), QString()) << "nothing left after ReadAll";
    }
}

TEST(TextFiles, CreateReplacesOnlyWhenClosed)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("PREFS"));
    const QByteArray old("a much longer old content that must not leave a tail\r");
    writeBytes(path, old);

    auto stream = fw::GetFolderItem(path)->CreateTextFile();
    ASSERT_NE(stream, nullptr);
    stream->Write(QStringLiteral("new\r"));
    EXPECT_EQ(readBytes(path), old) << "the target is untouched until Close";
    EXPECT_TRUE(stream->Close());
    EXPECT_TRUE(stream->errorString().isEmpty());
    EXPECT_EQ(readBytes(path), QByteArray("new\r"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("PREFS")});

    // A stream released without Close still saves what was written.
    stream = fw::GetFolderItem(path)->CreateTextFile();
    ASSERT_NE(stream, nullptr);
    stream->Write(QStringLiteral("dropped"));
    stream.reset();
    EXPECT_EQ(readBytes(path), QByteArray("dropped"));
}

TEST(TextFiles, UnwritableFolderGivesNilAndAReason)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    writeBytes(dir.filePath(QStringLiteral("plain-file")), "x");
    const QString paths[] = {
        dir.filePath(QStringLiteral("no/such/folder/PREFS")),
        dir.filePath(QStringLiteral("plain-file/PREFS")),  // the "folder" is a file
        QStringLiteral("/proc/quorvel-cannot-write-here"),  // not writable, even by root
    };
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        auto item = fw::GetFolderItem(path);
        EXPECT_EQ(item->CreateTextFile(), nullptr);
        EXPECT_FALSE(item->lastError().isEmpty());
        EXPECT_EQ(item->OpenAsTextFile(), nullptr);
        EXPECT_FALSE(QFileInfo::exists(path));
    }
    EXPECT_EQ(fw::GetFolderItem(dir.path())->OpenAsTextFile(), nullptr) << "a folder is not a text file";
}

TEST(TextFiles, BareNameLivesInTheConfigFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    const bool had = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    auto item = fw::GetFolderItem(QStringLiteral("PREFS"));
    if (had)
        qputenv("XDG_CONFIG_HOME", saved);
    else
        qunsetenv("XDG_CONFIG_HOME");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->path(), dir.path() + QStringLiteral("/Quorvel/PREFS"));
    EXPECT_EQ(item->Name(), QStringLiteral("PREFS"));
    EXPECT_TRUE(QFileInfo(dir.path() + QStringLiteral("/Quorvel")).isDir()) << "the folder is made";
    EXPECT_FALSE(item->Exists());
    EXPECT_EQ(fw::GetFolderItem(QString()), nullptr);
}

// Where the settings go: never under "/", never into a home made up on the
// spot, and a reason when there is nowhere to keep them.
TEST(TextFiles, SettingsFolderComesFromAUsableHome)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString home = dir.filePath(QStringLiteral("home"));
    const QString other = dir.filePath(QStringLiteral("other"));
    const QString missing = dir.filePath(QStringLiteral("gone"));
    ASSERT_TRUE(QDir().mkpath(home));
    ASSERT_TRUE(QDir().mkpath(other));
    {
        QFile file(dir.filePath(QStringLiteral("file")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const bool rootConfigBefore = QFileInfo::exists(QStringLiteral("/.config/Quorvel"));

    struct Case {
        const char* name;
        std::optional<QString> homeVar, xdgVar;
        QString passwordHome;
        QString folder;      // where PREFS goes; empty: no reference at all
        const char* reason;  // words of the reason when there is none
    };
    const std::optional<QString> unset;
    const Case cases[] = {
        {"HOME unset: the password database's home", unset, unset, home, home + QStringLiteral("/.config/Quorvel"), ""},
        {"HOME empty: the same", QString(), QString(), home, home + QStringLiteral("/.config/Quorvel"), ""},
        {"HOME set: HOME", other, unset, home, other + QStringLiteral("/.config/Quorvel"), ""},
        {"XDG_CONFIG_HOME set: it", unset, other + QStringLiteral("/cfg"), home, other + QStringLiteral("/cfg/Quorvel"), ""},
        {"a relative XDG_CONFIG_HOME is left aside", unset, QStringLiteral("cfg"), home, home + QStringLiteral("/.config/Quorvel"), ""},
        {"the password database gives /", unset, unset, QStringLiteral("/"), QString(), "gives \u201C/\u201D"},
        {"HOME is /", QStringLiteral("/"), unset, home, QString(), "HOME gives \u201C/\u201D"},
        {"HOME is //", QStringLiteral("//"), unset, home, QString(), "HOME gives \u201C//\u201D"},
        {"the password database gives a missing folder", unset, unset, missing, QString(), "which does not exist"},
        {"HOME is a file", dir.filePath(QStringLiteral("file")), unset, home, QString(), "which is not a folder"},
        {"the password database gives nothing", unset, unset, QString(), QString(), "gives none"},
        {"a relative home", QStringLiteral("somewhere"), unset, home, QString(), "HOME gives \u201Csomewhere\u201D"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        quorvel::test::ConfigEnvironment env;
        env.set("HOME", c.homeVar);
        env.set("XDG_CONFIG_HOME", c.xdgVar);
        const QString passwordHome = c.passwordHome;
        fw::setPasswordHomeLookup([passwordHome] { return passwordHome; });
        const auto item = fw::GetFolderItem(QStringLiteral("PREFS"));
        if (c.folder.isEmpty()) {
            EXPECT_EQ(item, nullptr) << item->path().toStdString();
            EXPECT_TRUE(fw::configFolderProblem().contains(QStringLiteral("no home folder")))
                << fw::configFolderProblem().toStdString();
            EXPECT_TRUE(fw::configFolderProblem().contains(QString::fromUtf8(c.reason)))
                << fw::configFolderProblem().toStdString();
        } else {
            ASSERT_NE(item, nullptr);
            EXPECT_EQ(item->path(), c.folder + QStringLiteral("/PREFS"));
            EXPECT_TRUE(QFileInfo(c.folder).isDir()) << "the folder is made";
            EXPECT_EQ(fw::configFolderProblem(), QString());
        }
        EXPECT_FALSE(QFileInfo::exists(missing)) << "no home is made up";
    }
    EXPECT_EQ(QFileInfo::exists(QStringLiteral("/.config/Quorvel")), rootConfigBefore) << "nothing under /";
}

// A configuration folder that cannot be made says why, not "does not exist".
TEST(TextFiles, SettingsFolderThatCannotBeMadeSaysWhy)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString locked = dir.filePath(QStringLiteral("locked"));
    const QString file = dir.filePath(QStringLiteral("file"));
    ASSERT_TRUE(QDir().mkpath(locked));
    ASSERT_EQ(chmod(QFile::encodeName(locked).constData(), 0500), 0);
    QFile blocker(file);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    struct Case {
        const char* name;
        QString xdg;
        QString reason;
    };
    const Case cases[] = {
        {"permission denied", locked + QStringLiteral("/cfg"),
         QStringLiteral("the folder \u201C%1/cfg\u201D cannot be made: Permission denied").arg(locked)},
        {"a file in the way", file + QStringLiteral("/cfg"),
         QStringLiteral("\u201C%1\u201D is a file, not a folder").arg(file)},
        {"the folder itself is a file", file,
         QStringLiteral("\u201C%1\u201D is a file, not a folder").arg(file)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        quorvel::test::ConfigEnvironment env;
        quorvel::test::WithoutRootFileAccess lowered;
        env.set("XDG_CONFIG_HOME", c.xdg);
        const auto item = fw::GetFolderItem(QStringLiteral("PREFS"));
        ASSERT_NE(item, nullptr);
        EXPECT_TRUE(fw::configFolderProblem().contains(c.reason)) << fw::configFolderProblem().toStdString();
        EXPECT_EQ(item->CreateTextFile(), nullptr);
        EXPECT_TRUE(item->lastError().contains(c.reason)) << item->lastError().toStdString();
        EXPECT_FALSE(item->lastError().contains(QStringLiteral("does not exist"))) << item->lastError().toStdString();
    }
    chmod(QFile::encodeName(locked).constData(), 0700);
}

// A text file read with a limit: the limit itself reads, a byte more does not.
TEST(TextFiles, ReadWithALimit)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("t"));
    writeBytes(path, QByteArray(100, 'a'));
    auto item = fw::GetFolderItem(path);
    auto in = item->OpenAsTextFile(100);
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(in->ReadAll(), QString(100, QLatin1Char('a')));
    EXPECT_EQ(item->OpenAsTextFile(99), nullptr);
    EXPECT_EQ(item->lastError(), QStringLiteral("it is too large (100 bytes, more than 99)"));
}

// A disk that fills up during the save: strace makes write() fail with
// ENOSPC in a child that saves over an existing file.
class FailedWrite : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
        if (m_strace.isEmpty())
            GTEST_SKIP() << "strace is not installed";
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(m_scratch.isValid());
        m_target = m_dir.filePath(QStringLiteral("PREFS"));
    }

    // Runs the child with strace attached; returns the child's exit code.
    int runChild(const QString& injection, qsizetype bytes, qsizetype piece)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kChildTarget), m_target);
        env.insert(QString::fromLatin1(kChildScratch), m_scratch.filePath(QStringLiteral("scratch")));
        env.insert(QString::fromLatin1(kChildBytes), QString::number(bytes));
        env.insert(QString::fromLatin1(kChildPiece), QString::number(piece));
        return quorvel::test::runTracedChild(m_strace, {}, env, injection);
    }

    QString m_strace;
    QTemporaryDir m_dir, m_scratch;
    QString m_target;
};

TEST_F(FailedWrite, OldContentStaysAndTheFailureIsReported)
{
    const QByteArray old("PESTPREFS\r1\r\xC3\xA4\r0.5\r");
    struct Case {
        const char* name;
        const char* injection;
        qsizetype bytes, piece;
    };
    const Case cases[] = {
        {"the final write fails", "inject=write:error=ENOSPC", 200, 200},
        {"a later write of a large text fails", "inject=write:error=ENOSPC:when=3+", 1 << 20, 10'000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(m_target, old);
        EXPECT_EQ(runChild(QString::fromLatin1(c.injection), c.bytes, c.piece), kChildCloseFalse)
            << "Close must report the failed write";
        EXPECT_EQ(readBytes(m_target), old) << "the old content stays byte for byte";
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("PREFS")})
            << "no temporary file is left";
    }

    // Without a failure the same child replaces the file.
    EXPECT_EQ(runChild(QStringLiteral("trace=all"), 1 << 20, 10'000), kChildCloseTrue);
    EXPECT_EQ(readBytes(m_target), QByteArray(1 << 20, 'n'));
}

} // namespace
