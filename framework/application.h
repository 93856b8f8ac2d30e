#pragma once

// The application object, the file type record, quitting, message boxes and
// the unhandled-exception report. Every handler the framework calls goes
// through dispatch(), so an exception that escapes it ends in the report and
// the application keeps running.

#include <QString>
#include <QStringList>

#include <exception>
#include <functional>
#include <memory>

namespace fw {

class MenuBar;

class Application {
public:
    virtual ~Application() = default;
    fw::MenuBar* MenuBar() const { return m_menuBar; }
    void setMenuBar(fw::MenuBar* bar) { m_menuBar = bar; }

private:
    fw::MenuBar* m_menuBar = nullptr;
};

// Registers the application object (not owned); nullptr clears it.
void _RuntimeRegisterAppObject(Application* app);
Application* appObject();

// Runs the framework's initialisation and then startup once.
void _RunFrameworkInitialization(const std::function<void()>& startup);
// The event loop; returns the exit status given to Quit.
int _RuntimeRun();
// Ends the event loop (and any modal loop) with the given status.
void Quit(int code = 0);

// The framework's report of an exception that no handler caught.
void _UnhandledException(const std::exception_ptr& error);
// Calls a handler; an exception escaping it goes to the report.
void dispatch(const std::function<void()>& handler);
// Runs `action` once the handler running now has returned (at once when no
// handler runs); actions queued in one handler run in the order given.
void whenHandlerReturns(std::function<void()> action);

// A message box; tests answer it through the hook (which gets the text).
void MsgBox(const QString& text);
std::function<void(const QString&)> setMsgBoxHook(std::function<void(const QString&)> hook);

// A file type record; converting it to String registers it with the
// framework, and releasing it deregisters it.
class FileType {
public:
    ~FileType();
    QString Name() const { return m_name; }
    void setName(const QString& v) { m_name = v; }
    QString Extensions() const { return m_extensions; }
    void setExtensions(const QString& v) { m_extensions = v; }
    QString MacType() const { return m_macType; }
    void setMacType(const QString& v) { m_macType = v; }
    QString MacCreator() const { return m_macCreator; }
    void setMacCreator(const QString& v) { m_macCreator = v; }
    // The String form: the Name; registers the type on first conversion.
    QString toString();

private:
    QString m_name, m_extensions, m_macType, m_macCreator;
    bool m_registered = false;
};

// Names of the file types registered now, in registration order.
QStringList registeredFileTypes();
// The registered type of that name (ASCII case-insensitive), or nullptr.
const FileType* findFileType(const QString& name);

} // namespace fw
