// Preferences files that cannot be written or read: a read-only
// configuration folder, a "PREFS" that is a folder, a named pipe or a link
// to /dev/null, and a disk that fills up while "OK" saves (write() failed by
// strace in a child process); a file far too large to read; no home to
// keep the settings in, or a folder that cannot be made. Each time a message
// names the file and the true reason, an existing file keeps every byte,
// "OK" keeps the dialog open with what was typed, and the program goes on
// and can still be quit.
#include "app/startup.h"
#include "estimation/window1.h"
#include "prefs/window2.h"
#include "tests/prefs/prefs_fixture.h"
#include "tests/support/root_file_access.h"
#include "tests/support/traced_child.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <functional>
#include <optional>

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

using quorvel::test::kDefaultPrefs;
using quorvel::test::prefsPath;
using quorvel::test::readPrefs;
using quorvel::test::WithoutRootFileAccess;
using quorvel::test::writePrefs;

const QByteArray kStored = "PESTPREFS\t62.5\t5\t.3\t10\t20\t30\t65\t66\t1\t0\t12\t88\t9\t.25\t0\tENDOFFILE";
const QString kPrefsWindow = QStringLiteral("Window2.Window2");

class PrefsFaults : public quorvel::test::PrefsTest {
protected:
    void TearDown() override
    {
        chmod(QFile::encodeName(fw::configFolder()).constData(), 0700);
        QDir(prefsPath()).removeRecursively();
        PrefsTest::TearDown();
    }

    // Makes the configuration folder read-only; false when this process
    // can write into it all the same.
    bool readOnlyFolder()
    {
        chmod(QFile::encodeName(fw::configFolder()).constData(), 0500);
        QFile probe(QDir(fw::configFolder()).filePath(QStringLiteral("probe")));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            return false;
        }
        return true;
    }

    bool said(const QString& what) const
    {
        for (const QString& m : messages)
            if (m.contains(prefsPath()) && m.contains(what))
                return true;
        return false;
    }
};

TEST_F(PrefsFaults, ReadOnlyFolderKeepsTheOldFile)
{
    writePrefs(kStored);
    WithoutRootFileAccess lowered;
    if (!readOnlyFolder())
        GTEST_SKIP() << "this process writes into read-only folders";
    Window1* w = Window1::instance();
    EXPECT_EQ(w->successkey, 65);
    EXPECT_TRUE(messages.isEmpty()) << "reading is fine";

    bool stayedOpen = false;
    answer(kPrefsWindow, [&](fw::Window* d) {
        auto* dialog = dynamic_cast<Window2*>(d);
        dialog->EditField1()->setText(QStringLiteral("99"));
        dialog->tempsuccesskey = 70;
        dialog->PushButton4()->click();
        // The message, and the dialog stays with what was typed.
        stayedOpen = !dialog->closed();
        EXPECT_EQ(dialog->EditField1()->Text(), QStringLiteral("99"));
        EXPECT_EQ(dialog->tempsuccesskey, 70);
        EXPECT_EQ(w->successkey, 65) << "the main window is not touched";
        EXPECT_EQ(messages.size(), 1);
        dialog->PushButton5()->click();
    });
    w->PushButton6()->click();
    EXPECT_TRUE(stayedOpen) << "OK whose save fails keeps the dialog open";
    ASSERT_EQ(messages.size(), 1) << messages.join(u'|').toStdString();
    EXPECT_TRUE(said(QStringLiteral("could not be saved"))) << messages.join(u'|').toStdString();
    EXPECT_TRUE(said(QStringLiteral("cannot be written: Permission denied"))) << messages.join(u'|').toStdString();
    EXPECT_FALSE(said(QStringLiteral("No such file"))) << messages.join(u'|').toStdString();
    EXPECT_EQ(readPrefs(), kStored);
    EXPECT_EQ(QDir(fw::configFolder()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("PREFS")});
    EXPECT_EQ(fw::Window::_GetImplicitWindow(kPrefsWindow), nullptr) << "Cancel closes it";
    EXPECT_EQ(w->successkey, 65) << "the main window goes on with the file it has";
    EXPECT_EQ(w->EditField1()->Text(), QStringLiteral("62.5"));
    EXPECT_FALSE(w->closed());
}

TEST_F(PrefsFaults, ReadOnlyFolderOnFirstStartShowsTheDialogOnce)
{
    WithoutRootFileAccess lowered;
    if (!readOnlyFolder())
        GTEST_SKIP() << "this process writes into read-only folders";
    for (const char* button : {"PushButton4", "PushButton5"}) {
        SCOPED_TRACE(button);
        messages.clear();
        int shows = 0;
        answer(kPrefsWindow, [&](fw::Window* d) {
            ++shows;
            d->control<fw::PushButton>(QString::fromLatin1(button))->click();
            // "OK" cannot save: the dialog waits for "Cancel".
            EXPECT_EQ(d->closed(), button[10] == '5');
            if (!d->closed())
                d->control<fw::PushButton>(QStringLiteral("PushButton5"))->click();
        });
        Window1* w = Window1::instance();
        EXPECT_EQ(shows, 1);
        // The opening's save, and "OK"'s own.
        EXPECT_EQ(messages.size(), button[10] == '4' ? 2 : 1) << messages.join(u'|').toStdString();
        EXPECT_TRUE(said(QStringLiteral("could not be saved")));
        EXPECT_FALSE(QFileInfo::exists(prefsPath()));
        EXPECT_EQ(w->EditField1()->Text(), QStringLiteral("50")) << "the built-in values stand";
        EXPECT_EQ(w->EditField4()->Text(), QStringLiteral("7"));
        fw::Window::releaseAll();
    }
}

TEST_F(PrefsFaults, PrefsThatIsNoFileIsNeverTouched)
{
    struct Case {
        const char* name;
        std::function<void()> make;
        const char* reason;
        std::function<bool()> intact;
    };
    const QString keep = QDir(prefsPath()).filePath(QStringLiteral("keep"));
    const QByteArray path = QFile::encodeName(prefsPath());
    const auto isDevNull = [] {
        struct stat st {};
        return stat("/dev/null", &st) == 0 && S_ISCHR(st.st_mode);
    };
    const Case cases[] = {
        {"a folder",
         [&] {
             ASSERT_TRUE(QDir().mkpath(prefsPath()));
             QFile inside(keep);
             ASSERT_TRUE(inside.open(QIODevice::WriteOnly));
             inside.write("kept");
         },
         "it is a folder, not a file",
         [&] {
             QFile inside(keep);
             return QFileInfo(prefsPath()).isDir() && inside.open(QIODevice::ReadOnly) && inside.readAll() == "kept";
         }},
        {"a named pipe", [&] { ASSERT_EQ(mkfifo(path.constData(), 0600), 0); }, "it is not a regular file",
         [&] {
             struct stat st {};
             return lstat(path.constData(), &st) == 0 && S_ISFIFO(st.st_mode);
         }},
        {"a link to /dev/null", [&] { ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), prefsPath())); },
         "it is not a regular file",
         [&] { return QFileInfo(prefsPath()).symLinkTarget() == QStringLiteral("/dev/null") && isDevNull(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages.clear();
        c.make();
        const QString reason = QString::fromLatin1(c.reason);
        int shows = 0;
        answer(kPrefsWindow, [&](fw::Window*) { ++shows; });
        Window1* w = Window1::instance();
        EXPECT_EQ(shows, 0) << "something is there: nothing to create";
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(said(QStringLiteral("could not be read: ") + reason)) << messages.join(u'|').toStdString();
        EXPECT_EQ(w->successkey, 49);

        // The dialog opens with its layout values; "OK" cannot save and
        // keeps it open with what was typed, and "Cancel" leaves.
        messages.clear();
        bool stayedOpen = false;
        answer(kPrefsWindow, [&](fw::Window* d) {
            auto* dialog = dynamic_cast<Window2*>(d);
            EXPECT_EQ(dialog->EditField1()->Text(), QStringLiteral("50"));
            dialog->EditField1()->setText(QStringLiteral("77"));
            // Nothing may write here, whatever "OK" does.
            ASSERT_EQ(fw::FolderItem(prefsPath()).CreateTextFile(), nullptr);
            dialog->PushButton4()->click();
            stayedOpen = !dialog->closed();
            EXPECT_EQ(dialog->EditField1()->Text(), QStringLiteral("77"));
            dialog->PushButton5()->click();
        });
        w->PushButton6()->click();
        EXPECT_TRUE(stayedOpen);
        EXPECT_EQ(messages.size(), 3) << messages.join(u'|').toStdString();  // open, OK, the load after Cancel
        EXPECT_TRUE(said(QStringLiteral("could not be saved to the file \u201C%1\u201D: %2").arg(prefsPath(), reason)))
            << messages.join(u'|').toStdString();
        for (const QString& m : messages)
            EXPECT_FALSE(m.contains(QStringLiteral("Unknown error"))) << m.toStdString();
        EXPECT_TRUE(c.intact()) << "left exactly as it was";
        EXPECT_EQ(QDir(fw::configFolder()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                  c.name[2] == 'f' ? QStringList{} : QStringList{QStringLiteral("PREFS")})
            << "no temporary file is left";
        EXPECT_EQ(w->successkey, 49) << "the main window keeps its settings";
        fw::Window::releaseAll();
        QDir(prefsPath()).removeRecursively();
        QFile::remove(prefsPath());
    }
}

// The process's memory, in KiB, from /proc/self/status: "VmRSS" now,
// "VmHWM" its peak since the last resetPeakMemory().
long memoryKiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').first().toLong();
    return -1;
}

bool resetPeakMemory()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

// A "PREFS" far larger than any preferences file (here 1 GiB, sparse, with a
// good record at its head) is not read: the window opens at once with its
// built-in values, a message names the file and says it is too large, and
// the file stays as it is.
TEST_F(PrefsFaults, HugePrefsIsNotReadWhole)
{
    writePrefs(kStored);
    constexpr qint64 kSize = qint64(1) << 30;
    ASSERT_TRUE(QFile::resize(prefsPath(), kSize));
    if (!resetPeakMemory())
        GTEST_SKIP() << "the peak memory cannot be reset here";
    const long before = memoryKiB("VmRSS:");
    QElapsedTimer clock;
    clock.start();
    Window1* w = Window1::instance();
    const qint64 ms = clock.elapsed();
    const long grown = memoryKiB("VmHWM:") - before;
    EXPECT_LT(ms, 1000) << "the window took " << ms << " ms";
    EXPECT_LT(grown, 100 * 1024) << "memory grew by " << grown << " KiB";
    ASSERT_FALSE(messages.isEmpty());
    for (const QString& m : messages)
        EXPECT_TRUE(m.contains(prefsPath()) && m.contains(QStringLiteral("too large"))) << m.toStdString();
    EXPECT_EQ(w->successkey, 49) << "nothing is taken from it";
    EXPECT_EQ(w->EditField1()->Text(), QStringLiteral("50"));

    // The Preferences window shows its own values, and Cancel leaves the
    // file alone.
    answer(kPrefsWindow, [](fw::Window* d) {
        auto* dialog = dynamic_cast<Window2*>(d);
        EXPECT_EQ(dialog->EditField1()->Text(), QStringLiteral("50"));
        EXPECT_EQ(dialog->tempsuccesskey, 121);
        dialog->PushButton5()->click();
    });
    w->PushButton6()->click();
    EXPECT_EQ(QFileInfo(prefsPath()).size(), kSize);
    QFile f(prefsPath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.read(kStored.size()), kStored);
}

// No usable home, or a configuration folder that cannot be made: the
// message says so, the Preferences window still shows its defaults, and
// nothing is written anywhere else.
TEST_F(PrefsFaults, NowhereToKeepTheSettingsIsSaid)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("file"));
    const QString locked = dir.filePath(QStringLiteral("locked"));
    {
        QFile blocker(file);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QDir().mkpath(locked));
    ASSERT_EQ(chmod(QFile::encodeName(locked).constData(), 0500), 0);
    const bool rootConfigBefore = QFileInfo::exists(QStringLiteral("/.config/Quorvel"));

    struct Case {
        const char* name;
        std::optional<QString> xdg;
        QString passwordHome;
        QString said;  // what the message must hold
    };
    const Case cases[] = {
        {"no HOME, and / in the password database", std::nullopt, QStringLiteral("/"),
         QStringLiteral("The preferences could not be saved: there is no home folder to keep the settings in "
                        "(HOME is not set and the password database gives \u201C/\u201D)")},
        {"a file in the way", file, QString(),
         QStringLiteral("\u201C%1\u201D is a file, not a folder").arg(file)},
        {"permission denied", locked + QStringLiteral("/cfg"), QString(),
         QStringLiteral("the folder \u201C%1/cfg\u201D cannot be made: Permission denied").arg(locked)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages.clear();
        quorvel::test::ConfigEnvironment env;
        WithoutRootFileAccess lowered;
        env.set("HOME", std::nullopt);
        env.set("XDG_CONFIG_HOME", c.xdg);
        const QString passwordHome = c.passwordHome;
        fw::setPasswordHomeLookup([passwordHome] { return passwordHome; });
        int shows = 0;
        answer(kPrefsWindow, [&](fw::Window* d) {
            ++shows;
            EXPECT_EQ(dynamic_cast<Window2*>(d)->EditField1()->Text(), QStringLiteral("50"));
            d->control<fw::PushButton>(QStringLiteral("PushButton5"))->click();
        });
        Window1* w = Window1::instance();
        EXPECT_EQ(shows, 1);
        ASSERT_EQ(messages.size(), 1) << messages.join(u'|').toStdString();
        EXPECT_TRUE(messages[0].contains(c.said)) << messages[0].toStdString();
        EXPECT_FALSE(messages[0].contains(QStringLiteral("does not exist"))) << messages[0].toStdString();
        EXPECT_EQ(w->EditField1()->Text(), QStringLiteral("50"));
        fw::Window::releaseAll();
    }
    EXPECT_EQ(QFileInfo::exists(QStringLiteral("/.config/Quorvel")), rootConfigBefore) << "nothing under /";
    EXPECT_EQ(QDir(locked).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{});
    chmod(QFile::encodeName(locked).constData(), 0700);
}

// The disk-full test's child: started with these variables, it opens the
// main window over the existing file, saves once through "Prefs" and "OK"
// while nothing fails (so that first-use work is done), says it is ready,
// waits until the tracer answers a probe, and then saves a changed value.
// It reports by exit code, since every write may be failing.
constexpr const char* kChildConfig = "QUORVEL_PREFS_CHILD_CONFIG";
constexpr int kChildOk = 0, kChildNoMessage = 3, kChildFileChanged = 4, kChildSettingsChanged = 5,
              kChildNoTracer = 6, kChildNotQuit = 7, kChildWarmUp = 8;

TEST(PrefsDiskFullChild, Run)
{
    const QByteArray config = qgetenv(kChildConfig);
    if (config.isEmpty())
        GTEST_SKIP() << "runs only as the disk-full test's child";
    qputenv("XDG_CONFIG_HOME", config);
    QStringList messages;
    fw::setMsgBoxHook([&](const QString& m) { messages << m; });
    QString newValue = QStringLiteral("62.5");
    fw::Window::setModalHook(kPrefsWindow, [&](fw::Window* d) {
        auto* dialog = dynamic_cast<Window2*>(d);
        dialog->EditField1()->setText(newValue);
        dialog->PushButton4()->click();
        // A save that failed keeps the dialog open until "Cancel".
        if (!dialog->closed())
            dialog->PushButton5()->click();
    });
    const QByteArray before = readPrefs();
    Window1* w = Window1::instance();
    w->PushButton6()->click();
    if (!messages.isEmpty() || readPrefs() != before)
        _exit(kChildWarmUp);

    if (!quorvel::test::waitForTracer())
        _exit(kChildNoTracer);

    newValue = QStringLiteral("99");
    w->PushButton6()->click();
    if (messages.size() != 1 || !messages[0].contains(prefsPath()) ||
        !messages[0].contains(QStringLiteral("No space left on device")))
        _exit(kChildNoMessage);
    if (readPrefs() != before)
        _exit(kChildFileChanged);
    if (w->EditField1()->Text() != QStringLiteral("62.5"))
        _exit(kChildSettingsChanged);
    // The program runs on: its event loop ends by the main window's "Quit".
    QTimer::singleShot(0, w, [w] { w->PushButton2()->click(); });
    QTimer::singleShot(20'000, [] { _exit(kChildNotQuit); });
    _exit(fw::_RuntimeRun() == 0 ? kChildOk : kChildNotQuit);
}

TEST_F(PrefsFaults, DiskFullDuringSaveKeepsTheOldFile)
{
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace.isEmpty())
        GTEST_SKIP() << "strace is not installed";
    writePrefs(kStored);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildConfig), configHome());
    QByteArray printed;
    const int code = quorvel::test::runTracedChild(strace, {QStringLiteral("--gtest_filter=PrefsDiskFullChild.Run")}, env,
                                                   QStringLiteral("inject=write:error=ENOSPC"), &printed);
    EXPECT_EQ(code, kChildOk) << printed.toStdString();
    EXPECT_EQ(readPrefs(), kStored) << "the old file keeps every byte";
    EXPECT_EQ(QDir(fw::configFolder()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("PREFS")})
        << "no temporary file is left";
}

} // namespace
