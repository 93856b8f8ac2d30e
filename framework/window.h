#pragma once

// The framework's window. A window class builds itself in construct():
// Layout (menu bar and window settings), CreateControls (controls made,
// registered by name and bound to handlers), the controls' Open events and
// then Event_Open. Each class has one implicit instance, found by class name
// while the window is open; a closed window is never found again.
//
// A window reaches the screen once, already as what it is: one visible on
// creation shows at once when made outside any handler (the main window at
// start-up), else when the handler that made it returns, unless that handler
// shows it first, so ShowModal maps it once, already modal. It opens centred
// on the screen, and the window manager is asked for no title-bar button the
// window lacks (no close button without a close box).
//
// Keys: a key goes to the window's Event_KeyDown unless an editable text
// field has the focus (it takes the key; Tab and Shift+Tab move the focus to
// the next or previous editable field) or a Ctrl, Alt or Meta shortcut is
// pressed; the whole route, repeats and Return included, is framework/keys.h.
// Only edit fields ever hold the focus (see controls.h). A key the handler
// returns false for goes on to Qt (Tab moves the focus).

#include "framework/core/nil.h"

#include <QColor>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

class QAction;
class QMenuBar;
class QEventLoop;

// Declares a window's accessor of one of its controls, named after it:
// FW_CONTROL(fw::EditField, EditField1) gives EditField1().
#define FW_CONTROL(Type, Name) \
    Type* Name() const { return control<Type>(QStringLiteral(#Name)); }

// Declares a window's accessor of an item of its menu bar, looked up by
// name: FW_MENU_ITEM(FileQuit) gives FileQuit(), nullptr when there is none.
#define FW_MENU_ITEM(Name) \
    fw::MenuItem* Name() const { return menuItem(QStringLiteral(#Name)); }

namespace fw {

class MenuBar;
class MenuItem;

class Window : public QWidget {
public:
    Window();
    ~Window() override;

    // Builds the window and opens it; called once by the implicit accessor.
    void construct(const QString& className);
    QString className() const { return m_className; }

    // Events.
    virtual void Event_Open() {}
    virtual bool Event_KeyDown(const QString& key);

    // Shows the window (a window made by a handler and visible on creation
    // otherwise shows when that handler returns).
    void Show();
    // Shows the window modally and returns when it has closed.
    void ShowModal();
    void Close();
    bool closed() const { return m_closed; }

    // Window settings, applied by Layout.
    QString Title() const { return windowTitle(); }
    void setTitle(const QString& title) { setWindowTitle(title); }
    void setContentSize(int width, int height);
    int contentWidth() const;
    int contentHeight() const;
    void setBackColor(const QColor& color);
    void setCloseBox(bool on);
    bool CloseBox() const { return m_closeBox; }
    void setMinimizeBox(bool on);
    void setMaximizeBox(bool on);
    // A resizeable window keeps its size between the limits (content area);
    // the content area follows the window and the controls keep their places.
    void setResizeable(bool on, int minWidth = 64, int minHeight = 64, int maxWidth = 32000,
                       int maxHeight = 32000);
    bool Resizeable() const { return m_resizeable; }
    void setVisibleOnCreation(bool on) { m_visibleOnCreation = on; }
    void setMenuBar(fw::MenuBar* bar);
    fw::MenuBar* MenuBar() const { return m_menuBarModel; }
    void setMenuBarVisible(bool on) { m_menuBarVisible = on; }
    QMenuBar* qtMenuBar() const { return m_qtMenuBar; }
    // The item of that name anywhere in the window's menu bar, or nullptr.
    fw::MenuItem* menuItem(const QString& name) const;

    // The content area, where controls live; their positions are from its
    // top-left corner.
    QWidget* content() const { return m_content; }

    // Controls, registered by name in creation order.
    void registerControl(const QString& name, QObject* control);
    QObject* controlObject(const QString& name) const;
    template <class T> T* control(const QString& name) const
    {
        return nn(dynamic_cast<T*>(controlObject(name)), "NilObjectException");
    }
    QStringList controlNames() const;

    // The open window registered under a class name, or nullptr.
    static Window* _GetImplicitWindow(const QString& className);
    template <class W> static W* implicitInstance(const QString& className)
    {
        if (Window* open = _GetImplicitWindow(className))
            return nn(dynamic_cast<W*>(open));
        auto* w = new W();
        w->construct(className);
        return w;
    }
    // Every open window, oldest first.
    static std::vector<Window*> openWindows();
    // Deletes every window (at shut-down).
    static void releaseAll();

    // Tests answer a modal window of a class through a hook, called once it
    // is shown; when the hook leaves it open, the modal loop runs as usual.
    using ModalHook = std::function<void(Window*)>;
    static ModalHook setModalHook(const QString& className, ModalHook hook);

protected:
    virtual void Layout() {}
    virtual void CreateControls() {}
    // Makes a control of class T, registers it under its name and places it,
    // its position given from the content area's corner, in the content
    // area or, when `group` is given, in that group box as its child.
    template <class T, class... Args>
    T* makeControl(const QString& name, QWidget* group, int left, int top, int width, int height, Args&&... args)
    {
        auto* c = new T(group ? group : content(), std::forward<Args>(args)...);
        registerControl(name, c);
        c->setBounds(left, top, width, height);
        return c;
    }
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void unregister();
    // Maps the window (placed and given its hints the first time).
    void showNow();
    static void showPendingWindows(const Window* except);
    void waitUntilWithdrawn();
    void applyWindowFlags();
    int menuBarHeight() const;
    QString m_className;
    QWidget* m_content = nullptr;
    QMenuBar* m_qtMenuBar = nullptr;
    std::vector<QAction*> m_shortcutActions;  // without a visible menu bar
    fw::MenuBar* m_menuBarModel = nullptr;
    bool m_menuBarVisible = true;
    bool m_closeBox = true;
    bool m_minimizeBox = false;
    bool m_maximizeBox = false;
    bool m_resizeable = false;
    QSize m_minContent{64, 64}, m_maxContent{32000, 32000};
    bool m_visibleOnCreation = true;
    bool m_showPending = false;  // visible on creation, shown when its handler returns
    bool m_placed = false;
    bool m_closed = false;
    bool m_constructed = false;
    QEventLoop* m_modalLoop = nullptr;
    std::vector<std::pair<QString, QObject*>> m_controls;
};

} // namespace fw
