// Preferences files that cannot be written or read: a read-only
// configuration folder, a "PREFS" that is a folder, and a disk that fills
// up while "OK" saves (write() failed by strace in a child process). Each
// time a message names the file and the reason, an existing file keeps
// every byte, and the program goes on and can still be quit.
#include "app/startup.h"
#include "estimation/window1.h"
#include "prefs/window2.h"
#include "tests/prefs/prefs_fixture.h"
#include "tests/support/traced_child.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

using quorvel::test::kDefaultPrefs;
using quorvel::test::prefsPath;
using quorvel::test::readPrefs;
using quorvel::test::writePrefs;

const QByteArray kStored = "PESTPREFS\t62.5\t5\t.3\t10\t20\t30\t65\t66\t1\t0\t12\t88\t9\t.25\t0\tENDOFFILE";
const QString kPrefsWindow = QStringLiteral("Window2.Window2");

// Root writes into any folder; for as long as this lives, the calling
// thread (which does every file operation here) gives up that power.
class WithoutRootFileAccess {
public:
    WithoutRootFileAccess()
    {
        if (geteuid() != 0)
            return;
        m_header = {_LINUX_CAPABILITY_VERSION_3, 0};
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            lowered[cap / 32].effective &= ~(1u << (cap % 32));
        m_dropped = syscall(SYS_capset, &m_header, lowered) == 0;
    }
    ~WithoutRootFileAccess()
    {
        if (m_dropped)
            syscall(SYS_capset, &m_header, m_saved);
    }

private:
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_dropped = false;
};

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

    answer(kPrefsWindow, [](fw::Window* d) {
        auto* dialog = dynamic_cast<Window2*>(d);
        dialog->EditField1()->setText(QStringLiteral("99"));
        dialog->tempsuccesskey = 70;
        dialog->PushButton4()->click();
    });
    w->PushButton6()->click();
    ASSERT_EQ(messages.size(), 1) << messages.join(u'|').toStdString();
    EXPECT_TRUE(said(QStringLiteral("could not be saved"))) << messages.join(u'|').toStdString();
    EXPECT_TRUE(said(QStringLiteral("Permission denied"))) << messages.join(u'|').toStdString();
    EXPECT_EQ(readPrefs(), kStored);
    EXPECT_EQ(QDir(fw::configFolder()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("PREFS")});
    EXPECT_EQ(fw::Window::_GetImplicitWindow(kPrefsWindow), nullptr) << "OK still closes the dialog";
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

TEST_F(PrefsFaults, PrefsThatIsAFolderIsNeverTouched)
{
    ASSERT_TRUE(QDir().mkpath(prefsPath()));
    {
        QFile inside(QDir(prefsPath()).filePath(QStringLiteral("keep")));
        ASSERT_TRUE(inside.open(QIODevice::WriteOnly));
        inside.write("kept");
    }
    int shows = 0;
    answer(kPrefsWindow, [&](fw::Window*) { ++shows; });
    Window1* w = Window1::instance();
    EXPECT_EQ(shows, 0) << "a folder is there: nothing to create";
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(said(QStringLiteral("could not be read: it is a folder"))) << messages.join(u'|').toStdString();
    EXPECT_EQ(w->successkey, 49);

    // The dialog opens with its layout values and "OK" cannot save.
    messages.clear();
    answer(kPrefsWindow, [](fw::Window* d) {
        auto* dialog = dynamic_cast<Window2*>(d);
        EXPECT_EQ(dialog->EditField1()->Text(), QStringLiteral("50"));
        dialog->PushButton4()->click();
    });
    w->PushButton6()->click();
    EXPECT_EQ(messages.size(), 3) << messages.join(u'|').toStdString();  // open, OK, the load after it
    EXPECT_TRUE(said(QStringLiteral("could not be saved")));
    EXPECT_TRUE(QFileInfo(prefsPath()).isDir());
    QFile inside(QDir(prefsPath()).filePath(QStringLiteral("keep")));
    ASSERT_TRUE(inside.open(QIODevice::ReadOnly));
    EXPECT_EQ(inside.readAll(), QByteArray("kept"));
    EXPECT_EQ(QDir(fw::configFolder()).entryList(QDir::Files | QDir::Hidden), QStringList{});
    EXPECT_EQ(w->successkey, 121) << "OK gave the dialog's keys; no file took them back";
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
