// The life of the process as a whole: app::runMain() from start-up through
// the event loop to the shut-down, ended by each way of quitting; start-up
// steps that raise; start-up with a missing or broken Resources folder; and
// the one shared menu bar as the running application shows it.
#include "app/app.h"
#include "app/resources.h"
#include "app/startup.h"
#include "estimation/window1.h"
#include "framework/application.h"
#include "framework/files.h"
#include "tests/support/main_window.h"
#include "tests/support/private_config.h"
#include "framework/menu.h"
#include "framework/window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <vector>

namespace {

const QStringList kShutdownSounds = {
    QStringLiteral("s6"), QStringLiteral("s7"), QStringLiteral("s8"), QStringLiteral("s4"),
    QStringLiteral("s3"), QStringLiteral("s1"), QStringLiteral("s2"), QStringLiteral("s0"),
    QStringLiteral("s5"), QStringLiteral("s9"), QStringLiteral("Click"), QStringLiteral("ding2"),
};

QStringList fullShutdownLog()
{
    return kShutdownSounds + QStringList{QStringLiteral("windows"), QStringLiteral("FileTypes.pText"),
                                         QStringLiteral("MenuBar1")};
}

QString builtResources()
{
    const QByteArray build = qgetenv("QUORVEL_BUILD_DIR");
    if (!build.isEmpty())
        return QDir(QString::fromLocal8Bit(build)).filePath(QStringLiteral("Resources"));
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../Resources"));
}

Window1* mainWindow()
{
    return dynamic_cast<Window1*>(fw::Window::_GetImplicitWindow(QStringLiteral("Window1.Window1")));
}

// Every test starts with no cached resource, the default Resources folder,
// no start-up hook, message boxes recorded instead of shown, and a private
// configuration folder.
class Shell : public PrivateConfigTest {
protected:

    void SetUp() override
    {
        resources::resetAll();
        fw::setResourcesFolder(QString());
        app::setStartupStepHook({});
        fw::setMsgBoxHook([this](const QString& text) { m_messages << text; });
        // A preferences file, so that start-up shows no Preferences window.
        quorvel::test::writePrefsFile(configHome(), quorvel::test::defaultPrefsFields());
    }

    void TearDown() override
    {
        app::setStartupStepHook({});
        fw::setMsgBoxHook({});
        fw::setResourcesFolder(QString());
        fw::Window::releaseAll();
        if (MenuBar1::exists())
            MenuBar1::releaseInstance();
        resources::resetAll();
    }

    // Runs the whole process life. inLoop is called once the event loop
    // runs; a watchdog ends a loop that nothing quits, and fails the test.
    int run(const std::function<void()>& inLoop = {})
    {
        QObject scope;  // drops the timers below if the loop never runs
        m_loopRan = false;
        QTimer::singleShot(0, &scope, [&] {
            m_loopRan = true;
            if (inLoop)
                inLoop();
            // A check that stopped the callback early must not leave the
            // loop running until the watchdog.
            if (HasFatalFailure())
                fw::Quit(98);
        });
        QTimer::singleShot(5000, &scope, [] {
            ADD_FAILURE() << "the event loop was not ended";
            fw::Quit(99);
        });
        return app::runMain();
    }

    // What must hold once any run has ended.
    void expectAllReleased()
    {
        EXPECT_TRUE(fw::Window::openWindows().empty());
        EXPECT_FALSE(MenuBar1::exists());
        EXPECT_EQ(fw::appObject(), nullptr);
        EXPECT_FALSE(fw::registeredFileTypes().contains(QStringLiteral("text")));
        EXPECT_EQ(fw::findFileType(QStringLiteral("text")), nullptr);
    }

    QStringList m_messages;
    bool m_loopRan = false;
};

// A copy of the built Resources folder that a test may damage.
class ResourcesCopy {
public:
    ResourcesCopy()
    {
        const QDir from(builtResources());
        for (const QString& name : from.entryList(QDir::Files))
            QFile::copy(from.filePath(name), path(name));
    }
    QString folder() const { return m_dir.path(); }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    void garble(const QString& name) const
    {
        QFile f(path(name));
        QFile::remove(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\x13\x37 not a sound, not a picture \xff\xfe\x00\x01", 34);
    }
    void remove(const QString& name) const { QFile::remove(path(name)); }

private:
    QTemporaryDir m_dir;
};

// --- Quitting --------------------------------------------------------------

struct QuitCase {
    const char* name;
    std::function<void(Window1*)> trigger;
    int status;
};

void PrintTo(const QuitCase& c, std::ostream* os) { *os << c.name; }

class QuitRun : public Shell, public ::testing::WithParamInterface<QuitCase> {};

TEST_P(QuitRun, EndsTheLoopAndReleasesTheShellInOrder)
{
    std::vector<std::weak_ptr<fw::Sound>> sounds;
    bool checked = false;
    const int status = run([&] {
        Window1* w = mainWindow();
        ASSERT_NE(w, nullptr);
        // Shown by start-up itself, with no Show call, before the loop runs.
        EXPECT_TRUE(w->isVisible());
        EXPECT_TRUE(w->isActiveWindow() || QTest::qWaitForWindowActive(w));
        EXPECT_TRUE(fw::registeredFileTypes().contains(QStringLiteral("text")));
        const fw::FileType* type = fw::findFileType(QStringLiteral("text"));
        ASSERT_NE(type, nullptr);
        EXPECT_EQ(type->MacType(), QStringLiteral("TEXT"));
        EXPECT_EQ(type->MacCreator(), QStringLiteral("R*ch"));
        EXPECT_TRUE(type->Extensions().isEmpty());
        for (const auto& sound : {s0(), s1(), s2(), s3(), s4(), s5(), s6(), s7(), s8(), s9(), Click(), ding2()}) {
            EXPECT_NE(sound, nullptr);
            sounds.push_back(sound);
        }
        checked = true;
        GetParam().trigger(w);
    });
    ASSERT_TRUE(checked);
    EXPECT_EQ(status, GetParam().status);
    EXPECT_EQ(app::shutdownLog(), fullShutdownLog());
    expectAllReleased();
    // The caches and the window held the only references.
    for (const auto& sound : sounds)
        EXPECT_TRUE(sound.expired());
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join(QStringLiteral("; ")).toStdString();
}

const QuitCase kQuitCases[] = {
    {"FileQuitMenuItem",
     [](Window1* w) {
         ASSERT_NE(w->qtMenuBar(), nullptr);
         auto* quit = w->qtMenuBar()->findChild<QAction*>(QStringLiteral("FileQuit"));
         ASSERT_NE(quit, nullptr);
         quit->trigger();
     },
     0},
    {"CtrlQ", [](Window1* w) { QTest::keyClick(w, Qt::Key_Q, Qt::ControlModifier); }, 0},
    // An editable field with the focus takes plain keys, not the shortcut.
    {"CtrlQInAnEditField",
     [](Window1* w) {
         w->EditField1()->SetFocus();
         ASSERT_TRUE(w->EditField1()->hasFocus());
         QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q, Qt::ControlModifier);
         EXPECT_EQ(w->EditField1()->Text(), QStringLiteral("50"));
     },
     0},
    {"QuitButton", [](Window1* w) { QTest::mouseClick(w->PushButton2(), Qt::LeftButton); }, 0},
    // The framework's exit status is the process's.
    {"QuitWithStatus3", [](Window1*) { fw::Quit(3); }, 3},
};

INSTANTIATE_TEST_SUITE_P(Triggers, QuitRun, ::testing::ValuesIn(kQuitCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- A start-up step that raises -------------------------------------------

struct FailCase {
    const char* step;
    bool nilObject;       // raise the framework's nil-object exception
    QStringList released; // what the shut-down releases after the sounds
};

void PrintTo(const FailCase& c, std::ostream* os) { *os << c.step << (c.nilObject ? " (nil object)" : ""); }

class FailedStartup : public Shell, public ::testing::WithParamInterface<FailCase> {};

TEST_P(FailedStartup, ReportsSkipsTheLoopShutsDownAndFails)
{
    const FailCase& c = GetParam();
    QStringList stepsRun;
    app::setStartupStepHook([&](const char* step) {
        stepsRun << QString::fromLatin1(step);
        if (qstrcmp(step, c.step) != 0)
            return;
        if (c.nilObject)
            throw fw::NilObjectException();
        throw std::runtime_error(std::string("cannot run ") + step);
    });

    const int status = run([] { ADD_FAILURE() << "the event loop ran after a failed start-up"; });

    EXPECT_FALSE(m_loopRan);
    EXPECT_EQ(status, 1);
    // No step after the failing one ran.
    ASSERT_FALSE(stepsRun.isEmpty());
    EXPECT_EQ(stepsRun.last(), QString::fromLatin1(c.step));
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains(c.nilObject ? QStringLiteral("NilObjectException")
                                                   : QStringLiteral("cannot run %1").arg(QLatin1String(c.step))))
        << m_messages[0].toStdString();
    EXPECT_EQ(app::shutdownLog(), kShutdownSounds + c.released);
    expectAllReleased();
}

const FailCase kFailCases[] = {
    {"_InitFileTypes", false, {QStringLiteral("windows")}},
    {"_NewAppInstance", false, {QStringLiteral("windows"), QStringLiteral("FileTypes.pText")}},
    {"_ApplicationAddMenuHandlers", false,
     {QStringLiteral("windows"), QStringLiteral("FileTypes.pText"), QStringLiteral("MenuBar1")}},
    {"_MakeDefaultView", false,
     {QStringLiteral("windows"), QStringLiteral("FileTypes.pText"), QStringLiteral("MenuBar1")}},
    {"_MakeDefaultView", true,
     {QStringLiteral("windows"), QStringLiteral("FileTypes.pText"), QStringLiteral("MenuBar1")}},
};

INSTANTIATE_TEST_SUITE_P(Steps, FailedStartup, ::testing::ValuesIn(kFailCases), [](const auto& info) {
    return std::string(info.param.step + 1) + (info.param.nilObject ? "_NilObject" : "");
});

TEST_F(Shell, StartsAgainCleanlyAfterAFailedStartup)
{
    app::setStartupStepHook([](const char* step) {
        if (qstrcmp(step, "_MakeDefaultView") == 0)
            throw std::runtime_error("no window");
    });
    EXPECT_EQ(run(), 1);
    app::setStartupStepHook({});
    resources::resetAll();
    bool shown = false;
    EXPECT_EQ(run([&] {
                  shown = mainWindow() && mainWindow()->isVisible();
                  fw::Quit(0);
              }),
              0);
    EXPECT_TRUE(shown);
    EXPECT_EQ(app::shutdownLog(), fullShutdownLog());
}

// --- Start-up with a missing or broken Resources folder --------------------

struct ResourceCase {
    const char* name;
    std::function<void(const ResourcesCopy&)> prepare;  // null: no folder at all
    bool soundsLoad;     // s0..s9 and ding2
    bool clickLoads;
    bool splashLoads;
};

void PrintTo(const ResourceCase& c, std::ostream* os) { *os << c.name; }

class StartupResources : public Shell, public ::testing::WithParamInterface<ResourceCase> {};

TEST_P(StartupResources, StartsAndQuitsWithWhatItCanLoad)
{
    const ResourceCase& c = GetParam();
    ResourcesCopy copy;
    if (c.prepare) {
        c.prepare(copy);
        fw::setResourcesFolder(copy.folder());
    } else {
        fw::setResourcesFolder(copy.folder() + QStringLiteral("/does-not-exist"));
    }

    bool checked = false;
    const int status = run([&] {
        Window1* w = mainWindow();
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->isVisible());
        for (const auto& sound : {s0(), s5(), s9(), ding2()})
            EXPECT_EQ(sound != nullptr, c.soundsLoad);
        EXPECT_EQ(Click() != nullptr, c.clickLoads);
        EXPECT_EQ(NewSplash() != nullptr, c.splashLoads);
        EXPECT_EQ(w->Canvas1()->Backdrop() != nullptr, c.splashLoads);
        // Painting the canvas without its picture must work too.
        EXPECT_FALSE(w->grab().isNull());
        checked = true;
        QTest::mouseClick(w->PushButton2(), Qt::LeftButton);
    });
    EXPECT_TRUE(checked);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(app::shutdownLog(), fullShutdownLog());
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join(QStringLiteral("; ")).toStdString();
}

const ResourceCase kResourceCases[] = {
    {"AllPresent", [](const ResourcesCopy&) {}, true, true, true},
    {"NoResourcesFolder", nullptr, false, false, false},
    {"ClickAndSplashGarbage",
     [](const ResourcesCopy& r) {
         r.garble(QStringLiteral("Click"));
         r.garble(QStringLiteral("NewSplash.pct"));
     },
     true, false, false},
    {"EmptyResourcesFolder",
     [](const ResourcesCopy& r) {
         for (const QString& name : QDir(r.folder()).entryList(QDir::Files))
             r.remove(name);
     },
     false, false, false},
};

INSTANTIATE_TEST_SUITE_P(Folders, StartupResources, ::testing::ValuesIn(kResourceCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- The menu bar ------------------------------------------------------------

struct MenuEntry {
    const char* name;
    const char* text;
    const char* shortcut;  // as given to the framework
    const char* qtShortcut;
    bool quitItem;
};

const MenuEntry kFileMenu[] = {
    {"FileQuit", "Quit", "Cmd+Q", "Ctrl+Q", true},
};
const MenuEntry kEditMenu[] = {
    {"EditUndo", "&Undo", "Cmd+Z", "Ctrl+Z", false},
    {"UntitledMenu0", "-", "", "", false},
    {"EditCut", "Cu&t", "Cmd+X", "Ctrl+X", false},
    {"EditCopy", "&Copy", "Cmd+C", "Ctrl+C", false},
    {"EditPaste", "&Paste", "Cmd+V", "Ctrl+V", false},
    {"EditClear", "Clear", "", "", false},
};

// The model items of one menu and the Qt actions the window shows for them.
template <size_t N>
void expectMenu(const fw::MenuItem* menu, const QMenu* shown, const MenuEntry (&entries)[N])
{
    ASSERT_NE(menu, nullptr);
    ASSERT_NE(shown, nullptr);
    ASSERT_EQ(menu->Count(), int(N));
    const QList<QAction*> actions = shown->actions();
    ASSERT_EQ(actions.size(), qsizetype(N));
    for (size_t i = 0; i < N; ++i) {
        const MenuEntry& e = entries[i];
        SCOPED_TRACE(e.name);
        const fw::MenuItem* item = menu->Item(int(i));
        EXPECT_EQ(item->Name(), QLatin1String(e.name));
        EXPECT_EQ(item->Text(), QLatin1String(e.text));
        EXPECT_EQ(item->KeyboardShortcut(), QLatin1String(e.shortcut));
        EXPECT_TRUE(item->AutoEnable());
        EXPECT_EQ(item->Count(), 0);
        EXPECT_EQ(dynamic_cast<const fw::QuitMenuItem*>(item) != nullptr, e.quitItem);
        const QAction* action = actions[qsizetype(i)];
        EXPECT_EQ(action->isSeparator(), item->isSeparator());
        if (!action->isSeparator()) {
            EXPECT_EQ(action->objectName(), QLatin1String(e.name));
            EXPECT_EQ(action->text(), QLatin1String(e.text));
        }
        EXPECT_EQ(action->shortcut(), QKeySequence(QLatin1String(e.qtShortcut)));
    }
}

TEST_F(Shell, OneMenuBarServesTheApplicationAndTheMainWindow)
{
    bool checked = false;
    EXPECT_EQ(run([&] {
                  ASSERT_NE(fw::appObject(), nullptr);
                  Window1* w = mainWindow();
                  ASSERT_NE(w, nullptr);
                  ASSERT_TRUE(MenuBar1::exists());
                  MenuBar1* bar = MenuBar1::instance();
                  EXPECT_EQ(fw::appObject()->MenuBar(), bar);
                  EXPECT_EQ(w->MenuBar(), bar);
                  EXPECT_EQ(dynamic_cast<App*>(fw::appObject()) != nullptr, true);

                  ASSERT_EQ(bar->Count(), 2);
                  EXPECT_EQ(bar->Item(0)->Name(), QStringLiteral("FileMenu"));
                  EXPECT_EQ(bar->Item(0)->Text(), QStringLiteral("&File"));
                  EXPECT_EQ(bar->Item(1)->Name(), QStringLiteral("EditMenu"));
                  EXPECT_EQ(bar->Item(1)->Text(), QStringLiteral("&Edit"));
                  for (const fw::MenuItem* top : {bar->Item(0), bar->Item(1)}) {
                      EXPECT_TRUE(top->KeyboardShortcut().isEmpty());
                      EXPECT_TRUE(top->AutoEnable());
                  }

                  QMenuBar* shown = w->qtMenuBar();
                  ASSERT_NE(shown, nullptr);
                  EXPECT_TRUE(shown->isVisible());
                  // The content lies under the menu bar, not behind it.
                  EXPECT_GE(w->content()->y(), shown->height());
                  ASSERT_EQ(shown->actions().size(), 2);
                  EXPECT_EQ(shown->actions()[0]->text(), QStringLiteral("&File"));
                  EXPECT_EQ(shown->actions()[1]->text(), QStringLiteral("&Edit"));
                  {
                      SCOPED_TRACE("File");
                      expectMenu(bar->Child(QStringLiteral("FileMenu")), shown->actions()[0]->menu(), kFileMenu);
                  }
                  {
                      SCOPED_TRACE("Edit");
                      expectMenu(bar->Child(QStringLiteral("EditMenu")), shown->actions()[1]->menu(), kEditMenu);
                  }
                  checked = true;
                  fw::Quit(0);
              }),
              0);
    EXPECT_TRUE(checked);
}

} // namespace
