#include "framework/keys.h"

#include "framework/application.h"
#include "framework/controls.h"
#include "framework/window.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QWindow>

#include <map>
#include <utility>

namespace fw {
namespace {

// Defined at the end of the file, away from the X headers' macros.
bool enableDetectableAutoRepeat();

bool g_detectable = false;

bool editableTextFocus(QWidget* focus)
{
    if (auto* line = qobject_cast<QLineEdit*>(focus))
        return !line->isReadOnly();
    if (auto* text = qobject_cast<QPlainTextEdit*>(focus))
        return !text->isReadOnly();
    return false;
}

// The window's enabled default push button, or nullptr.
QPushButton* enabledDefaultButton(Window* window)
{
    for (QPushButton* b : window->findChildren<QPushButton*>())
        if (b->isDefault() && b->isEnabled() && b->isVisible())
            return b;
    return nullptr;
}

// Which keys are down, by native key code, from the presses and releases
// the window system delivers; and the verdict on the press being delivered.
class HeldKeys {
public:
    // A key event as it reaches a top-level window, once per event.
    void note(const QKeyEvent* key, QWindow* window)
    {
        const quint32 code = key->nativeScanCode();
        if (key->type() == QEvent::KeyRelease) {
            m_down.erase(code);
            m_lastRelease = {code, key->timestamp()};
            return;
        }
        bool repeat = key->isAutoRepeat();
        if (code != 0 && g_detectable) {
            // Qt's flag is not asked here: it marks a release and a press
            // that arrive together as a repeat. A repeat goes to the window
            // that had the press: a press that reaches another window, or
            // comes after that window is gone, is new. (A window closed by a
            // press never sees its release, which goes where the keyboard
            // focus is next, maybe nowhere of ours.)
            const auto it = m_down.find(code);
            repeat = it != m_down.end() && it->second && it->second == window;
            m_down[code] = window;
        } else if (code != 0) {
            // A server without detectable auto-repeat sends each repeat as a
            // release and a press at one time, which Qt does not always mark:
            // that guess is all there is (it takes a release and a genuine
            // press that arrive together for a repeat).
            repeat = repeat || (code == m_lastRelease.first && key->timestamp() == m_lastRelease.second);
        }
        m_press = {key, key->timestamp(), code, key->key(), repeat};
    }

    bool isRepeat(const QKeyEvent* press) const
    {
        // The press noted on its way to the window is the one the widgets
        // get; a key sent straight to a widget (in-process) has only its flag.
        if (press == m_press.event && press->timestamp() == m_press.timestamp &&
            press->nativeScanCode() == m_press.code && press->key() == m_press.key)
            return m_press.repeat;
        return press->isAutoRepeat();
    }

    // Releases made while another program had the keyboard never arrive.
    void forget() { m_down.clear(); }

private:
    struct Press {
        const QKeyEvent* event = nullptr;
        quint64 timestamp = 0;
        quint32 code = 0;
        int key = 0;
        bool repeat = false;
    };
    std::map<quint32, QPointer<QWindow>> m_down;  // the keys down, and the window that had each press
    std::pair<quint32, quint64> m_lastRelease{0, 0};
    Press m_press;
};

HeldKeys& heldKeys()
{
    static HeldKeys keys;
    return keys;
}

// Routes key presses to the framework window they belong to.
class KeyRouter : public QObject {
public:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        if (event->type() == QEvent::ApplicationDeactivate) {
            heldKeys().forget();
            return false;
        }
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        // The window system hands each key event to a top-level window
        // first, which passes it on to the focus widget.
        if (!receiver->isWidgetType()) {
            if (auto* window = qobject_cast<QWindow*>(receiver))
                heldKeys().note(key, window);
            return false;
        }
        if (event->type() != QEvent::KeyPress)
            return false;
        auto* widget = static_cast<QWidget*>(receiver);
        // A key that Qt passes on from child to parent is routed once only.
        // Qt reuses the event object for each parent in turn; a new key
        // event may sit at the same address with the same timestamp (test
        // events carry none), so the step to the parent is what tells.
        const bool passedOn = key == m_last && key->timestamp() == m_lastStamp && key->key() == m_lastKey &&
                              key->modifiers() == m_lastModifiers && m_lastReceiver &&
                              widget == m_lastReceiver->parentWidget();
        m_last = key;
        m_lastStamp = key->timestamp();
        m_lastKey = key->key();
        m_lastModifiers = key->modifiers();
        m_lastReceiver = widget;
        if (passedOn)
            return false;
        auto* window = dynamic_cast<Window*>(widget->window());
        if (!window)
            return false;
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
            return false;
        QWidget* focus = QApplication::focusWidget();
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && qobject_cast<QLineEdit*>(focus)) {
            if (QPushButton* button = enabledDefaultButton(window)) {
                if (!isKeyRepeat(key))
                    button->click();
                return true;
            }
        }
        if (editableTextFocus(focus))
            return false;
        if (auto* canvas = dynamic_cast<Canvas*>(focus); canvas && canvas->KeyDown)
            return false;  // the canvas's own KeyDown takes it
        const QString text = keyText(key);
        if (text.isEmpty())
            return false;
        // A key held down is pressed once: the keyboard's repeats are
        // swallowed, never handed to the window as new keys.
        if (isKeyRepeat(key))
            return true;
        bool handled = false;
        dispatch([&] { handled = window->Event_KeyDown(text); });
        return handled;
    }

private:
    const QKeyEvent* m_last = nullptr;
    quint64 m_lastStamp = 0;
    int m_lastKey = 0;
    Qt::KeyboardModifiers m_lastModifiers;
    QPointer<QWidget> m_lastReceiver;
};

} // namespace

QString keyText(const QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return QString(QChar(13));
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return QString(QChar(9));
    case Qt::Key_Backspace: return QString(QChar(8));
    case Qt::Key_Delete: return QString(QChar(127));
    case Qt::Key_Escape: return QString(QChar(27));
    case Qt::Key_Left: return QString(QChar(28));
    case Qt::Key_Right: return QString(QChar(29));
    case Qt::Key_Up: return QString(QChar(30));
    case Qt::Key_Down: return QString(QChar(31));
    case Qt::Key_Space: return QString(QChar(32));
    default: break;
    }
    const QString text = event->text();
    if (text.isEmpty() || text.at(0).category() == QChar::Other_Control)
        return {};
    return text;
}

bool isKeyRepeat(const QKeyEvent* press)
{
    return heldKeys().isRepeat(press);
}

void installKeyRouter()
{
    static KeyRouter* router = nullptr;
    if (!router) {
        router = new KeyRouter;
        qApp->installEventFilter(router);
        g_detectable = enableDetectableAutoRepeat();
    }
}

bool detectableAutoRepeat()
{
    return g_detectable;
}

} // namespace fw

// The X side: detectable auto-repeat on the connection Qt's xcb platform
// opened (Qt 6.4 does not ask for it). Other platforms have no X display.
#include <X11/XKBlib.h>

namespace fw {
namespace {

bool enableDetectableAutoRepeat()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display())
        return false;
    Bool supported = False;
    return XkbSetDetectableAutoRepeat(x11->display(), True, &supported) && supported;
}

} // namespace
} // namespace fw
