// The real program on a real X server with files that are not what they
// should be: digit sounds that are empty or noise are named on standard
// error, once each, and the run goes on; a preferences file of 1 GiB is not
// read, so the program answers at once and stays small; a user without a
// usable home is told, and no folder is made anywhere.
#include "tests/prefs/default_prefs.h"
#include "tests/support/main_window_screen.h"
#include "tests/support/noise_bytes.h"
#include "tests/support/real_desktop.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace quorvel::test;

const QString kMainTitle = QString::fromLatin1(kMainWindowTitle);

// A kilobyte figure of /proc/<pid>/status ("VmHWM", "VmRSS").
long statusKiB(qint64 pid, const char* field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(QByteArray(field) + ':'))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').first().toLong();
    return -1;
}

class DamagedFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_config.isValid());
        ASSERT_TRUE(m_tree.isValid());
        QString why;
        ASSERT_TRUE(m_server.start(&why)) << why.toStdString();
    }

    // What the screen showed when a test failed, kept for a look.
    void TearDown() override
    {
        if (HasFailure()) {
            const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
            const QString file = qEnvironmentVariable("QUORVEL_BUILD_DIR") + QStringLiteral("/damaged_files_") +
                                 QString::fromLatin1(info->name()) + QStringLiteral(".png");
            if (grabWindow(display(), rootWindow(display())).save(file))
                std::cerr << "The screen at the failure: " << file.toStdString() << "\n";
        }
        m_program.reset();
        if (m_savedBuild)
            qputenv("QUORVEL_BUILD_DIR", *m_savedBuild);
    }

    // The program copied into a tree of the test's own, beside a copy of the
    // Resources folder, which it finds as its folder's parent's child.
    QString copyProgram()
    {
        const QString build = qEnvironmentVariable("QUORVEL_BUILD_DIR");
        const QString bin = m_tree.filePath(QStringLiteral("bin"));
        const QString resources = m_tree.filePath(QStringLiteral("Resources"));
        EXPECT_TRUE(QDir().mkpath(bin) && QDir().mkpath(resources));
        EXPECT_TRUE(QFile::copy(build + QStringLiteral("/bin/quorvel"), bin + QStringLiteral("/quorvel")));
        const QDir from(build + QStringLiteral("/Resources"));
        EXPECT_FALSE(from.entryList(QDir::Files).isEmpty());
        for (const QString& name : from.entryList(QDir::Files))
            EXPECT_TRUE(QFile::copy(from.filePath(name), QDir(resources).filePath(name)));
        return resources;
    }

    // Starts the copy (RealProgram starts <QUORVEL_BUILD_DIR>/bin/quorvel)
    // over that preferences file, made longer when a size is given.
    void startCopy(const QByteArray& prefs, qint64 size = 0)
    {
        ASSERT_TRUE(writePrefs(m_config.path(), prefs));
        if (size) {
            ASSERT_TRUE(QFile::resize(prefsPath(), size));
        }
        m_clock.start();
        m_savedBuild = qgetenv("QUORVEL_BUILD_DIR");
        qputenv("QUORVEL_BUILD_DIR", QFile::encodeName(m_tree.path()));
        m_program = std::make_unique<RealProgram>(m_server, m_config.path());
        QString why;
        ASSERT_TRUE(m_program->start(&why)) << why.toStdString();
        qputenv("QUORVEL_BUILD_DIR", *m_savedBuild);
        m_savedBuild.reset();
    }

    void expectCleanExit()
    {
        int code = -2;
        ASSERT_TRUE(m_program->waitForExit(5000 + kTeardownMs, &code)) << "the program still runs";
        EXPECT_EQ(code, 0) << m_program->standardError().toStdString();
    }

    Display* display() const { return m_server.display(); }
    QString prefsPath() const { return m_config.path() + QStringLiteral("/Quorvel/PREFS"); }

    QTemporaryDir m_config, m_tree;
    PrivateXServer m_server;
    std::unique_ptr<RealProgram> m_program;  // stops before the server
    std::optional<QByteArray> m_savedBuild;
    QElapsedTimer m_clock;  // from the start
};

TEST_F(DamagedFiles, EachDamagedDigitIsNamedOnceAndTheRunGoesOn)
{
    const QString resources = copyProgram();
    const QString s0 = resources + QStringLiteral("/s0");
    const QString s5 = resources + QStringLiteral("/s5");
    {
        QFile empty(s0);
        ASSERT_TRUE(empty.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QFile noisy(s5);
        ASSERT_TRUE(noisy.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(noisy.write(noiseBytes(20000)), 20000);
    }
    // The voice on, so the damaged digits are asked for while the run goes.
    QByteArray prefs = kDefaultPrefs;
    prefs.replace("\t.45\t0\t100\t100\t", "\t.45\t100\t100\t100\t");
    ASSERT_NE(prefs, kDefaultPrefs);
    startCopy(prefs);
    const unsigned long main = m_program->waitForWindow(kMainTitle, kWindowTimeoutMs);
    ASSERT_NE(main, 0UL) << m_program->standardError().toStdString();
    ASSERT_TRUE(pressStart(display(), main, kWindowTimeoutMs)) << "Start did not run";
    HistoryOnScreen history(display(), main);
    ASSERT_TRUE(history.valid());
    // Each key a trial, with 50 (two damaged digits) and the next outputs
    // announced as far as their sounds go.
    for (int trial = 1; trial <= 3; ++trial) {
        tapKey(display(), trial % 2 ? QStringLiteral("y") : QStringLiteral("n"));
        EXPECT_TRUE(history.waitForRows(trial, 5000)) << history.rows() << " rows after key " << trial;
        QThread::msleep(1500);  // the wait after the key and the announcement
    }
    tapKey(display(), QStringLiteral("ctrl+q"));
    expectCleanExit();

    const QStringList lines = QString::fromUtf8(m_program->standardError()).split(QLatin1Char('\n'));
    auto naming = [&lines](const QString& file) {
        QStringList found;
        for (const QString& line : lines)
            if (line.contains(QLatin1Char('"') + file + QLatin1Char('"')))
                found << line;
        return found;
    };
    const QString all = lines.join(QLatin1Char('\n'));
    const QStringList aboutS0 = naming(s0), aboutS5 = naming(s5);
    ASSERT_EQ(aboutS0.size(), 1) << all.toStdString();
    EXPECT_TRUE(aboutS0[0].contains(QStringLiteral("it is empty"))) << aboutS0[0].toStdString();
    ASSERT_EQ(aboutS5.size(), 1) << all.toStdString();
    EXPECT_TRUE(aboutS5[0].contains(QStringLiteral("not a sound file"))) << aboutS5[0].toStdString();
    for (const char* good : {"s1", "s2", "s3", "s4", "s6", "s7", "s8", "s9", "Click", "ding2"})
        EXPECT_TRUE(naming(resources + QLatin1Char('/') + QLatin1String(good)).isEmpty()) << good;
}

TEST_F(DamagedFiles, AHugePreferencesFileIsNotRead)
{
    copyProgram();
    startCopy(kDefaultPrefs, qint64(1) << 30);

    // The message comes up, and the program has stayed small.
    const unsigned long box = m_program->waitForWindow(QStringLiteral("Quorvel"), kWindowTimeoutMs);
    const qint64 shownMs = m_clock.elapsed();
    ASSERT_NE(box, 0UL) << m_program->standardError().toStdString();
    const long peakKiB = statusKiB(m_program->pid(), "VmHWM");
    std::cout << "message after " << shownMs << " ms; peak memory " << peakKiB / 1024 << " MiB\n";
    EXPECT_GT(peakKiB, 0);
    // Reading the file whole costs gigabytes; the sanitizers' own shadow
    // memory adds tens of megabytes to any program.
#ifdef QUORVEL_SANITIZED
    constexpr long kPeakLimitKiB = 400 * 1024;
#else
    constexpr long kPeakLimitKiB = 100 * 1024;
#endif
    EXPECT_LT(peakKiB, kPeakLimitKiB) << "peak memory " << peakKiB << " KiB";
#ifndef QUORVEL_SANITIZED
    EXPECT_LT(shownMs, 5000) << "a start that reads the file whole takes many seconds";
#endif
    focusWindow(display(), box);
    tapKey(display(), QStringLiteral("Return"));
    const QElapsedTimer since = [] { QElapsedTimer t; t.start(); return t; }();
    auto boxShown = [&] {
        const std::vector<unsigned long> all = topLevelWindows(display());
        return std::find(all.begin(), all.end(), box) != all.end();
    };
    while (boxShown() && since.elapsed() < kWindowTimeoutMs)
        QThread::msleep(5);
    ASSERT_FALSE(boxShown()) << "Return did not close the message";
    // The main window answers: Start runs.
    const unsigned long main = m_program->waitForWindow(kMainTitle, kWindowTimeoutMs);
    ASSERT_NE(main, 0UL);
    ASSERT_TRUE(pressStart(display(), main, kWindowTimeoutMs)) << "Start did not run";
    // The built-in keys (1 and 0), as for a file without the header.
    HistoryOnScreen history(display(), main);
    ASSERT_TRUE(history.valid());
    tapKey(display(), QStringLiteral("1"));
    EXPECT_TRUE(history.waitForRows(1, 5000)) << "the key made no trial";
    EXPECT_EQ(QFileInfo(prefsPath()).size(), qint64(1) << 30) << "the file is left as it is";
    QThread::msleep(1000);
    tapKey(display(), QStringLiteral("ctrl+q"));
    expectCleanExit();
}

// A user with no usable home: HOME and XDG_CONFIG_HOME unset, and the
// password database naming a home that is not there ("nobody"'s
// /nonexistent). The program says so and makes no folder anywhere.
TEST_F(DamagedFiles, NoHomeIsAMessageAndNothingIsMade)
{
    const struct passwd* nobody = getpwnam("nobody");
    if (geteuid() != 0 || !nobody || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        GTEST_SKIP() << "needs root, the user nobody and setpriv";
    const QString home = QFile::decodeName(nobody->pw_dir);
    if (home.isEmpty() || QFileInfo::exists(home))
        GTEST_SKIP() << "nobody's home " << home.toStdString() << " is there";
    const bool rootConfigBefore = QFileInfo::exists(QStringLiteral("/.config"));

    // The copy runs as nobody, through a wrapper in its place.
    copyProgram();
    const QString bin = m_tree.filePath(QStringLiteral("bin"));
    ASSERT_TRUE(QFile::rename(bin + QStringLiteral("/quorvel"), bin + QStringLiteral("/quorvel.real")));
    {
        QFile wrapper(bin + QStringLiteral("/quorvel"));
        ASSERT_TRUE(wrapper.open(QIODevice::WriteOnly));
        wrapper.write(QStringLiteral("#!/bin/sh\nexec setpriv --reuid=%1 --regid=%2 --clear-groups \"%3/quorvel.real\"\n")
                          .arg(nobody->pw_uid)
                          .arg(nobody->pw_gid)
                          .arg(bin)
                          .toUtf8());
    }
    ASSERT_EQ(chmod(QFile::encodeName(bin + QStringLiteral("/quorvel")).constData(), 0755), 0);
    ASSERT_EQ(system(QStringLiteral("chmod -R a+rX '%1'").arg(m_tree.path()).toUtf8().constData()), 0);

    // The display's cookie, in a copy that only nobody reads.
    const QString cookie = m_tree.filePath(QStringLiteral("Xauthority"));
    ASSERT_TRUE(QFile::copy(m_server.authorityFile(), cookie));
    ASSERT_EQ(chown(QFile::encodeName(cookie).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(chmod(QFile::encodeName(cookie).constData(), 0600), 0);

    m_program = std::make_unique<RealProgram>(m_server, m_config.path());
    m_program->environment().remove(QStringLiteral("HOME"));
    m_program->environment().remove(QStringLiteral("XDG_CONFIG_HOME"));
    m_program->environment().insert(QStringLiteral("XAUTHORITY"), cookie);
    const QByteArray savedBuild = qgetenv("QUORVEL_BUILD_DIR");
    qputenv("QUORVEL_BUILD_DIR", QFile::encodeName(m_tree.path()));
    QString why;
    const bool started = m_program->start(&why);
    qputenv("QUORVEL_BUILD_DIR", savedBuild);
    ASSERT_TRUE(started) << why.toStdString();

    // The Preferences window's opening cannot save the default file: the
    // message says so, and the Preferences window, shown once its opening
    // is over, follows when the message is answered.
    const unsigned long message = m_program->waitForWindow(QStringLiteral("Quorvel"), kWindowTimeoutMs);
    EXPECT_NE(message, 0UL) << "no message; standard error:\n" << m_program->standardError().toStdString();
    if (message) {
        focusWindow(m_server.display(), message);
        tapKey(m_server.display(), QStringLiteral("Return"));
    }
    EXPECT_NE(m_program->waitForWindow(QStringLiteral("Preferences"), kWindowTimeoutMs), 0UL)
        << m_program->standardError().toStdString();
    EXPECT_FALSE(QFileInfo::exists(home)) << "a home was made";
    EXPECT_EQ(QFileInfo::exists(QStringLiteral("/.config")), rootConfigBefore) << "a folder was made under /";
    m_program.reset();
}

} // namespace
