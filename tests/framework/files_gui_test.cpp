// Text files: byte-exact round trip, replacing, folders that cannot be
// written, the configuration folder behind bare names, and the atomic save
// surviving a disk that fills up during the write (failures injected into
// a child process by strace).
#include "framework/files.h"
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
