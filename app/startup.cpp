#include "app/startup.h"

#include "app/app.h"
#include "app/resources.h"
#include "estimation/window1.h"
#include "framework/application.h"
#include "framework/window.h"

#include <memory>

namespace app {
namespace {

std::unique_ptr<App> g_app;
QStringList g_shutdownLog;
std::function<void(const char*)> g_stepHook;
bool g_started = false;
int g_status = 0;

void step(const char* name)
{
    if (g_stepHook)
        g_stepHook(name);
}

} // namespace

void _InitFileTypes()
{
    FileTypes::_Initialize();
}

void _NewAppInstance()
{
    g_app = std::make_unique<App>();
    if (!g_app)
        throw fw::NilObjectException();
    g_app->setMenuBar(MenuBar1::instance());
    fw::_RuntimeRegisterAppObject(g_app.get());
}

void _ApplicationAddMenuHandlers() {}

void _MakeDefaultView()
{
    // The accessor makes the window, which shows itself: its layout has
    // Visible on.
    (void)Window1::instance();
}

void _Startup()
{
    step("_InitFileTypes");
    _InitFileTypes();
    step("_NewAppInstance");
    _NewAppInstance();
    step("_ApplicationAddMenuHandlers");
    _ApplicationAddMenuHandlers();
    step("_MakeDefaultView");
    _MakeDefaultView();
}

void _Main()
{
    g_started = false;
    g_status = 0;
    try {
        fw::_RunFrameworkInitialization([] { _Startup(); });
        g_started = true;
    } catch (...) {
        fw::_UnhandledException(std::current_exception());
    }
    if (!g_started) {
        g_status = 1;
        return;
    }
    try {
        g_status = fw::_RuntimeRun();
    } catch (...) {
        fw::_UnhandledException(std::current_exception());
    }
}

void finalize()
{
    g_shutdownLog = resources::releaseSoundCaches();
    fw::Window::releaseAll();
    g_shutdownLog << QStringLiteral("windows");
    if (FileTypes::pText) {
        FileTypes::pText.reset();
        g_shutdownLog << QStringLiteral("FileTypes.pText");
    }
    fw::_RuntimeRegisterAppObject(nullptr);
    g_app.reset();
    if (MenuBar1::exists()) {
        MenuBar1::releaseInstance();
        g_shutdownLog << QStringLiteral("MenuBar1");
    }
}

int runMain()
{
    _Main();
    finalize();
    return g_status;
}

const QStringList& shutdownLog()
{
    return g_shutdownLog;
}

void setStartupStepHook(std::function<void(const char*)> hook)
{
    g_stepHook = std::move(hook);
}

} // namespace app
