#include "framework/application.h"

#include "framework/core/nil.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include <algorithm>
#include <utility>
#include <vector>

namespace fw {
namespace {

Application* g_app = nullptr;
std::function<void(const QString&)> g_msgBoxHook;
std::vector<FileType*> g_fileTypes;
int g_quitCode = 0;
bool g_running = false;      // the application's event loop runs
bool g_quitPending = false;  // Quit came before that loop ran
int g_handlerDepth = 0;
// Actions waiting for the handler at that depth to return.
std::vector<std::pair<int, std::function<void()>>> g_afterHandler;

void runActionsAfterDepth(int depth)
{
    // An action may queue more (a window shown may run code); take them in
    // order, one at a time.
    for (;;) {
        auto it = std::find_if(g_afterHandler.begin(), g_afterHandler.end(),
                               [depth](const auto& entry) { return entry.first > depth; });
        if (it == g_afterHandler.end())
            return;
        const std::function<void()> action = std::move(it->second);
        g_afterHandler.erase(it);
        action();
    }
}

} // namespace

void _RuntimeRegisterAppObject(Application* app)
{
    g_app = app;
}

Application* appObject()
{
    return g_app;
}

void _RunFrameworkInitialization(const std::function<void()>& startup)
{
    g_quitCode = 0;
    g_quitPending = false;
    startup();
}

int _RuntimeRun()
{
    // A Quit given during start-up (in a modal window, or while a long loop
    // served events) ends the run as soon as it would begin.
    if (g_quitPending) {
        g_quitPending = false;
        return g_quitCode;
    }
    g_running = true;
    const int status = QApplication::exec();
    g_running = false;
    return status != 0 ? status : g_quitCode;
}

void Quit(int code)
{
    g_quitCode = code;
    // Qt forgets an exit asked for before its main loop has started.
    if (!g_running)
        g_quitPending = true;
    QCoreApplication::exit(code);
}

void _UnhandledException(const std::exception_ptr& error)
{
    QString what = QStringLiteral("an unknown error");
    try {
        std::rethrow_exception(error);
    } catch (const NilObjectException&) {
        what = QStringLiteral("NilObjectException");
    } catch (const std::exception& e) {
        what = QString::fromUtf8(e.what());
    } catch (...) {
    }
    MsgBox(QStringLiteral("An exception was not handled: %1.").arg(what));
}

void dispatch(const std::function<void()>& handler)
{
    ++g_handlerDepth;
    try {
        // A copy: a handler may rebind the control event it was called from.
        const std::function<void()> call = handler;
        call();
    } catch (...) {
        _UnhandledException(std::current_exception());
    }
    --g_handlerDepth;
    try {
        runActionsAfterDepth(g_handlerDepth);
    } catch (...) {
        _UnhandledException(std::current_exception());
    }
}

void whenHandlerReturns(std::function<void()> action)
{
    if (g_handlerDepth == 0) {
        action();
        return;
    }
    g_afterHandler.emplace_back(g_handlerDepth, std::move(action));
}

void MsgBox(const QString& text)
{
    if (g_msgBoxHook) {
        g_msgBoxHook(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

std::function<void(const QString&)> setMsgBoxHook(std::function<void(const QString&)> hook)
{
    auto old = std::move(g_msgBoxHook);
    g_msgBoxHook = std::move(hook);
    return old;
}

FileType::~FileType()
{
    std::erase(g_fileTypes, this);
}

QString FileType::toString()
{
    if (!m_registered) {
        m_registered = true;
        g_fileTypes.push_back(this);
    }
    return m_name;
}

QStringList registeredFileTypes()
{
    QStringList names;
    for (const FileType* t : g_fileTypes)
        names << t->Name();
    return names;
}

const FileType* findFileType(const QString& name)
{
    for (const FileType* t : g_fileTypes)
        if (t->Name().compare(name, Qt::CaseInsensitive) == 0)
            return t;
    return nullptr;
}

} // namespace fw
