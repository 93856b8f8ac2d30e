#include "framework/window.h"

#include "framework/application.h"
#include "framework/controls.h"
#include "framework/keys.h"
#include "framework/menu.h"
#include "framework/x11_hints.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QMenuBar>
#include <QPointer>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <map>

namespace fw {
namespace {

std::vector<Window*>& registry()
{
    static std::vector<Window*> windows;
    return windows;
}

std::map<QString, Window::ModalHook>& modalHooks()
{
    static std::map<QString, Window::ModalHook> hooks;
    return hooks;
}

} // namespace

Window::Window() : QWidget(nullptr, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_content = new QWidget(this);
    m_content->setObjectName(QStringLiteral("content"));
    m_content->setAutoFillBackground(true);
    installKeyRouter();
}

Window::~Window()
{
    unregister();
}

void Window::construct(const QString& className)
{
    if (m_constructed)
        return;
    m_constructed = true;
    m_className = className;
    registry().push_back(this);
    Layout();
    // A window without a menu bar of its own still answers the application
    // menu bar's shortcuts (Ctrl+Q quits from every window).
    if (!m_menuBarModel)
        if (Application* app = appObject(); app && app->MenuBar())
            m_shortcutActions = app->MenuBar()->addShortcuts(this);
    CreateControls();
    // Group boxes only frame: the window's controls laid over them stay on top.
    for (const auto& [name, object] : m_controls)
        if (auto* group = dynamic_cast<GroupBox*>(object))
            group->lower();
    // A window made outside any handler (the main window at start-up) shows
    // at once; one made by a handler shows when that handler returns, unless
    // the handler shows it first: ShowModal then maps it once, already modal.
    if (m_visibleOnCreation) {
        m_showPending = true;
        whenHandlerReturns([self = QPointer<Window>(this)] {
            if (self && self->m_showPending)
                self->showNow();
        });
    }
    for (const auto& [name, object] : m_controls)
        if (auto* rc = dynamic_cast<RectControl*>(object); rc && rc->Open)
            dispatch(rc->Open);
    dispatch([this] { Event_Open(); });
}

bool Window::Event_KeyDown(const QString&)
{
    return false;
}

void Window::showNow()
{
    m_showPending = false;
    if (m_closed)
        return;
    if (!m_placed) {
        m_placed = true;
        // The window manager places the window; once it has, a window that
        // does not lie wholly on the screen is moved onto it. Only just
        // after the first show: later moves are the user's.
        m_keepOnScreen = true;
        QTimer::singleShot(300, this, [this] { keepOnScreen(); });
        QTimer::singleShot(2000, this, [this] { m_keepOnScreen = false; });
        // The native window gets its hints before it is first mapped; it
        // keeps them (a change of flags later sets them again).
        winId();
        x11::setWindowFunctions(this, m_closeBox, m_minimizeBox, m_maximizeBox && m_resizeable, m_resizeable);
    }
    show();
}

void Window::keepOnScreen()
{
    QWindow* native = windowHandle();
    QScreen* screen = this->screen();
    if (!m_keepOnScreen || !native || !screen || !isVisible())
        return;
    const QRect area = screen->availableGeometry();
    const QRect frame = native->frameGeometry();
    if (area.contains(frame))
        return;
    // Right and bottom edges inside first, then left and top, so that a
    // window larger than the screen shows its title bar.
    QPoint at = frame.topLeft();
    at.setX(std::max(area.left(), std::min(at.x(), area.right() + 1 - frame.width())));
    at.setY(std::max(area.top(), std::min(at.y(), area.bottom() + 1 - frame.height())));
    m_keepOnScreen = false;
    native->setFramePosition(at);
}

void Window::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    keepOnScreen();
}

void Window::showPendingWindows(const Window* except)
{
    const std::vector<Window*> windows = registry();
    for (Window* w : windows)
        if (w != except && w->m_showPending)
            w->showNow();
}

void Window::Show()
{
    if (m_closed)
        return;
    // A minimised window comes back, maximised again if it was.
    if (windowState() & Qt::WindowMinimized)
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    showNow();
    raise();
    activateWindow();
}

void Window::ShowModal()
{
    if (m_closed)
        return;
    // Windows still waiting for their handler to return are mapped first:
    // mapped later, during the modal loop, they would cover this one.
    showPendingWindows(this);
    // Qt applies a modality only when the window is mapped. A window already
    // on screen is hidden first, and mapped again only once the window
    // manager has withdrawn it: mapped sooner, it can stay withdrawn, never
    // seen. (A window made by the handler that shows it modally is not on
    // screen yet and is mapped once, already modal.)
    if (isVisible() && windowModality() != Qt::ApplicationModal) {
        hide();
        waitUntilWithdrawn();
    }
    setWindowModality(Qt::ApplicationModal);
    showNow();
    raise();
    activateWindow();
    QPointer<Window> self(this);
    if (auto it = modalHooks().find(m_className); it != modalHooks().end() && it->second) {
        ModalHook hook = it->second;
        dispatch([&] { hook(this); });
    }
    if (!self || m_closed)
        return;
    QEventLoop loop;
    m_modalLoop = &loop;
    loop.exec(QEventLoop::DialogExec);
    if (self)
        m_modalLoop = nullptr;
}

void Window::waitUntilWithdrawn()
{
    // Bounded: a window manager that never answers does not hang the program.
    constexpr int kMaxWaitMs = 2000;
    for (int waited = 0; waited < kMaxWaitMs && x11::managedByWindowManager(this); waited += 5) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(5);
    }
}

void Window::Close()
{
    if (m_closed)
        return;
    m_closed = true;
    m_showPending = false;
    unregister();
    hide();
    if (m_modalLoop)
        m_modalLoop->quit();
    deleteLater();
}

void Window::closeEvent(QCloseEvent* event)
{
    // A window without a close box is closed only by the application.
    if (!m_closeBox && !m_closed) {
        event->ignore();
        return;
    }
    event->accept();
    Close();
}

void Window::setContentSize(int width, int height)
{
    m_content->setFixedSize(width, height);
    const int top = menuBarHeight();
    m_content->move(0, top);
    if (m_qtMenuBar)
        m_qtMenuBar->setGeometry(0, 0, width, top);
    if (!m_resizeable) {
        setFixedSize(width, height + top);
        return;
    }
    setMinimumSize(m_minContent.width(), m_minContent.height() + top);
    setMaximumSize(m_maxContent.width(), std::min(m_maxContent.height() + top, QWIDGETSIZE_MAX));
    resize(width, height + top);
}

int Window::menuBarHeight() const
{
    return m_qtMenuBar ? m_qtMenuBar->sizeHint().height() : 0;
}

void Window::setResizeable(bool on, int minWidth, int minHeight, int maxWidth, int maxHeight)
{
    m_resizeable = on;
    m_minContent = QSize(minWidth, minHeight);
    m_maxContent = QSize(maxWidth, maxHeight);
    applyWindowFlags();
    setContentSize(m_content->width(), m_content->height());
}

void Window::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!m_resizeable)
        return;
    // The content area fills the window; nothing on it moves.
    const int top = menuBarHeight();
    m_content->setFixedSize(width(), std::max(0, height() - top));
    if (m_qtMenuBar)
        m_qtMenuBar->setGeometry(0, 0, width(), top);
}

int Window::contentWidth() const
{
    return m_content->width();
}

int Window::contentHeight() const
{
    return m_content->height();
}

void Window::setBackColor(const QColor& color)
{
    QPalette pal = m_content->palette();
    pal.setColor(QPalette::Window, color);
    // The text of a disabled check box or label stays readable on this
    // colour: the style's disabled grey can be the colour itself.
    pal.setColor(QPalette::Disabled, QPalette::WindowText, color.lightness() > 127 ? color.darker(180) : color.lighter(180));
    m_content->setPalette(pal);
}

void Window::setCloseBox(bool on)
{
    m_closeBox = on;
    applyWindowFlags();
}

void Window::setMinimizeBox(bool on)
{
    m_minimizeBox = on;
    applyWindowFlags();
}

void Window::setMaximizeBox(bool on)
{
    m_maximizeBox = on;
    applyWindowFlags();
}

void Window::applyWindowFlags()
{
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (m_closeBox)
        flags |= Qt::WindowCloseButtonHint;
    if (m_minimizeBox)
        flags |= Qt::WindowMinimizeButtonHint;
    if (m_maximizeBox && m_resizeable)
        flags |= Qt::WindowMaximizeButtonHint;
    if (!isVisible()) {
        setWindowFlags(flags);
        return;
    }
    // On screen, the native window takes the new flags as it stands: never
    // hidden and mapped again.
    overrideWindowFlags(flags);
    if (QWindow* native = windowHandle())
        native->setFlags(flags);
    x11::setWindowFunctions(this, m_closeBox, m_minimizeBox, m_maximizeBox && m_resizeable, m_resizeable);
}

void Window::setMenuBar(fw::MenuBar* bar)
{
    m_menuBarModel = bar;
    delete m_qtMenuBar;
    m_qtMenuBar = nullptr;
    for (QAction* act : m_shortcutActions)
        delete act;
    m_shortcutActions.clear();
    if (!bar)
        return;
    if (m_menuBarVisible) {
        m_qtMenuBar = bar->buildQtMenuBar(this);
        m_qtMenuBar->setNativeMenuBar(false);
    } else {
        m_shortcutActions = bar->addShortcuts(this);
    }
    setContentSize(m_content->width(), m_content->height());
}

fw::MenuItem* Window::menuItem(const QString& name) const
{
    return m_menuBarModel ? m_menuBarModel->Find(name) : nullptr;
}

void Window::registerControl(const QString& name, QObject* control)
{
    control->setObjectName(name);
    m_controls.emplace_back(name, control);
}

QObject* Window::controlObject(const QString& name) const
{
    for (const auto& [n, object] : m_controls)
        if (n == name)
            return object;
    return nullptr;
}

QStringList Window::controlNames() const
{
    QStringList names;
    for (const auto& entry : m_controls)
        names << entry.first;
    return names;
}

Window* Window::_GetImplicitWindow(const QString& className)
{
    for (Window* w : registry())
        if (w->m_className == className && !w->m_closed)
            return w;
    return nullptr;
}

std::vector<Window*> Window::openWindows()
{
    return registry();
}

void Window::releaseAll()
{
    const std::vector<Window*> windows = registry();
    for (Window* w : windows) {
        w->m_closed = true;
        delete w;
    }
    registry().clear();
}

Window::ModalHook Window::setModalHook(const QString& className, ModalHook hook)
{
    ModalHook old = modalHooks()[className];
    modalHooks()[className] = std::move(hook);
    return old;
}

void Window::unregister()
{
    std::erase(registry(), this);
}

} // namespace fw
