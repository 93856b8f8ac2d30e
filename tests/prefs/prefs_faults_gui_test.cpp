// Preferences files that cannot be written or read: a read-only
// configuration folder, a "PREFS" that is a folder, a named pipe or a link
// to /dev/null, and a disk that fills up while "OK" saves (write() failed by
// strace in a child process). Each time a message names the file and the
// true reason, an existing file keeps every byte, "OK" keeps the dialog open
// with what was typed, and the program goes on and can still be quit.
#include "app/startup.h"
#include "estimation/window1.h"
#include "prefs/window2.h"
#include "tests/prefs/prefs_fixture.h"
#include "tests/support/root_file_access.h"
#include "tests/support/traced_child.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <functional>

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
