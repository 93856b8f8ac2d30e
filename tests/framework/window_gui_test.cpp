// Windows: which keys reach Event_KeyDown and as what text, implicit
// instances (found while open, built anew after Close), the build order,
// Show of a hidden or minimised window, and ShowModal with the test hooks.
#include "framework/application.h"
#include "framework/controls.h"
#include "framework/core/nil.h"
#include "framework/window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <vector>

namespace {

QString code(int c)
{
    return QString(QChar(c));
}

// Deletes the windows that Close left for deletion.
void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// An editable field, a read-only field, a push button and an editable
// multi-line field, in this tab order; records every key it is given.
class KeyWindow : public fw::Window {
public:
    fw::EditField* editable = nullptr;
    fw::EditField* readOnly = nullptr;
    fw::PushButton* button = nullptr;
    fw::EditField* multiline = nullptr;
    QStringList keys;
    bool handled = true;
    int buttonPresses = 0;

    bool Event_KeyDown(const QString& key) override
    {
        keys << key;
        return handled;
    }

protected:
    void Layout() override
    {
        setTitle(QStringLiteral("Keys"));
        setContentSize(320, 200);
    }

    void CreateControls() override
    {
        editable = new fw::EditField(content(), false);
        editable->setGeometry(10, 10, 120, 24);
        registerControl(QStringLiteral("Editable"), editable);
        readOnly = new fw::EditField(content(), false);
        readOnly->setGeometry(10, 40, 120, 24);
        readOnly->setText(QStringLiteral("fixed"));
        readOnly->setReadOnly(true);
        registerControl(QStringLiteral("ReadOnly"), readOnly);
        button = new fw::PushButton(content());
        button->setGeometry(10, 70, 120, 24);
        button->setCaption(QStringLiteral("Start"));
        button->Action = [this] { ++buttonPresses; };
        registerControl(QStringLiteral("Button"), button);
        multiline = new fw::EditField(content(), true);
        multiline->setGeometry(140, 10, 160, 100);
        registerControl(QStringLiteral("Multiline"), multiline);
    }
};

class Keys : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_window = fw::Window::implicitInstance<KeyWindow>(QStringLiteral("KeyWindow"));
        m_window->Show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window));
    }

    void TearDown() override
    {
        m_window->Close();
        flushDeletes();
    }

    // Gives the control the focus and returns the widget that has it.
    QWidget* focus(QWidget* control)
    {
        control->setFocus(Qt::OtherFocusReason);
        return QApplication::focusWidget();
    }

    KeyWindow* m_window = nullptr;
};

TEST_F(Keys, TypedCharactersGoToTheWindowUnlessAnEditableFieldTakesThem)
{
    struct Case {
        const char* control;
        bool toWindow;
    };
    const Case cases[] = {{"Button", true}, {"ReadOnly", true}, {"Editable", false}, {"Multiline", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        m_window->keys.clear();
        m_window->editable->setText(QString());
        m_window->multiline->setText(QString());
        auto* control = static_cast<QWidget*>(m_window->controlObject(QString::fromLatin1(c.control)));
        QWidget* target = focus(control);
        ASSERT_NE(target, nullptr);
        QTest::keyClicks(target, QStringLiteral("aab1Y"));
        if (c.toWindow) {
            EXPECT_EQ(m_window->keys, (QStringList{QStringLiteral("a"), QStringLiteral("a"), QStringLiteral("b"),
                                                   QStringLiteral("1"), QStringLiteral("Y")}))
                << "each key once, repeated keys too";
        } else {
            EXPECT_TRUE(m_window->keys.isEmpty()) << m_window->keys.join(QLatin1Char(',')).toStdString();
            EXPECT_EQ(static_cast<fw::EditField*>(control)->Text(), QStringLiteral("aab1Y"))
                << "the field takes the keys";
        }
    }
    EXPECT_EQ(m_window->readOnly->Text(), QStringLiteral("fixed"));
}

TEST_F(Keys, TabInAnEditableFieldMovesTheFocusToTheNextEditableField)
{
    // Over the read-only field and the button, both ways, round the window.
    QTest::keyClick(focus(m_window->editable), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), m_window->multiline->textEdit());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), m_window->editable->lineEdit());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), m_window->multiline->textEdit());
    EXPECT_EQ(m_window->multiline->Text(), QString()) << "no tab character typed";
    EXPECT_EQ(m_window->editable->Text(), QString());
    EXPECT_TRUE(m_window->keys.isEmpty()) << "Tab is not given to the window";

    // A read-only field takes no keys: Tab goes to the window.
    QTest::keyClick(focus(m_window->readOnly), Qt::Key_Tab);
    EXPECT_EQ(m_window->keys, QStringList{code(9)});
    EXPECT_EQ(QApplication::focusWidget(), m_window->readOnly->lineEdit()) << "handled, so the focus stays";
}

TEST_F(Keys, OnlyFieldsTakeTheFocusAndAClickElsewhereLeavesIt)
{
    EXPECT_EQ(m_window->button->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(m_window->readOnly->lineEdit()->focusPolicy(), Qt::ClickFocus) << "a click selects in it";
    // The policy follows the field's state both ways.
    m_window->editable->setReadOnly(true);
    EXPECT_EQ(m_window->editable->lineEdit()->focusPolicy(), Qt::ClickFocus);
    m_window->editable->setReadOnly(false);
    EXPECT_EQ(m_window->editable->lineEdit()->focusPolicy(), Qt::StrongFocus);

    focus(m_window->editable);
    QTest::mouseClick(m_window->button, Qt::LeftButton);
    EXPECT_EQ(m_window->buttonPresses, 1);
    EXPECT_EQ(QApplication::focusWidget(), m_window->editable->lineEdit());
    QTest::mouseClick(m_window->readOnly->lineEdit(), Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), m_window->readOnly->lineEdit());
}

TEST_F(Keys, KeysWithoutTextArriveAsCodes)
{
    struct Case {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int expected;
    };
    const Case cases[] = {
        {"Return", Qt::Key_Return, Qt::NoModifier, 13}, {"Enter", Qt::Key_Enter, Qt::KeypadModifier, 13},
        {"Tab", Qt::Key_Tab, Qt::NoModifier, 9},        {"Backspace", Qt::Key_Backspace, Qt::NoModifier, 8},
        {"Delete", Qt::Key_Delete, Qt::NoModifier, 127}, {"Escape", Qt::Key_Escape, Qt::NoModifier, 27},
        {"Left", Qt::Key_Left, Qt::NoModifier, 28},     {"Right", Qt::Key_Right, Qt::NoModifier, 29},
        {"Up", Qt::Key_Up, Qt::NoModifier, 30},         {"Down", Qt::Key_Down, Qt::NoModifier, 31},
        {"Space", Qt::Key_Space, Qt::NoModifier, 32},
    };
    QWidget* target = focus(m_window->readOnly);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_window->keys.clear();
        QTest::keyClick(target, c.key, c.modifiers);
        EXPECT_EQ(m_window->keys, QStringList{code(c.expected)});
    }
    EXPECT_EQ(QApplication::focusWidget(), target);
}

TEST_F(Keys, ShortcutsAndModifierKeysAreNotRouted)
{
    QWidget* target = focus(m_window->readOnly);
    QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_X, Qt::AltModifier);
    QTest::keyClick(target, Qt::Key_Shift);
    QTest::keyClick(target, Qt::Key_F5);
    EXPECT_TRUE(m_window->keys.isEmpty()) << m_window->keys.join(QLatin1Char(',')).toStdString();
}

TEST_F(Keys, UppercaseStaysUppercase)
{
    QWidget* target = focus(m_window->readOnly);
    QTest::keyClick(target, 'Y');
    QKeyEvent shifted(QEvent::KeyPress, Qt::Key_Y, Qt::ShiftModifier, QStringLiteral("Y"));
    QApplication::sendEvent(target, &shifted);
    EXPECT_EQ(m_window->keys, (QStringList{QStringLiteral("Y"), QStringLiteral("Y")}));
}

TEST_F(Keys, AKeyHeldDownIsOnePress)
{
    // A key event as the X server gives it: a scan code and the server time.
    auto send = [](QWidget* to, QEvent::Type type, quint32 scan, quint64 time, bool autoRepeat) {
        QKeyEvent e(type, Qt::Key_Y, Qt::NoModifier, scan, 0, 0, QStringLiteral("y"), autoRepeat);
        e.setTimestamp(time);
        QApplication::sendEvent(to, &e);
    };
    struct Step {
        QEvent::Type type;
        quint32 scan;
        quint64 time;
        bool autoRepeat;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        int presses;  // keys that reach the window
    };
    const auto press = QEvent::KeyPress;
    const auto release = QEvent::KeyRelease;
    const Case cases[] = {
        {"repeats that Qt marks", {{press, 29, 100, false}, {release, 29, 600, true}, {press, 29, 600, true},
                                   {release, 29, 633, true}, {press, 29, 633, true}, {release, 29, 650, false}}, 1},
        // Presses that come with the last release (a remote display) are
        // genuine: only the repeat flag marks a repeat here.
        {"presses at the time of the last release", {{press, 29, 100, false}, {release, 29, 600, false},
                                                     {press, 29, 600, false}, {release, 29, 633, false},
                                                     {press, 29, 633, false}, {release, 29, 650, false}}, 3},
        {"the same key pressed again", {{press, 29, 100, false}, {release, 29, 180, false},
                                        {press, 29, 260, false}, {release, 29, 300, false}}, 2},
        {"another key at the release's time", {{press, 29, 100, false}, {release, 29, 180, false},
                                               {press, 30, 180, false}, {release, 30, 200, false}}, 2},
    };
    QWidget* target = focus(m_window->button);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_window->keys.clear();
        for (const Step& st : c.steps)
            send(target, st.type, st.scan, st.time, st.autoRepeat);
        EXPECT_EQ(m_window->keys.size(), c.presses);
    }
    EXPECT_EQ(m_window->buttonPresses, 0);
}

TEST_F(Keys, AnUnhandledKeyIsRoutedOnceAndGoesOnToQt)
{
    m_window->handled = false;
    QWidget* target = focus(m_window->readOnly);
    // Qt passes an ignored key on to the parents; the window sees it once.
    QTest::keyClick(target, 'x');
    EXPECT_EQ(m_window->keys, QStringList{QStringLiteral("x")});
    QTest::keyClick(m_window->content(), 'z');
    EXPECT_EQ(m_window->keys, (QStringList{QStringLiteral("x"), QStringLiteral("z")}));
    EXPECT_EQ(m_window->readOnly->Text(), QStringLiteral("fixed"));

    m_window->keys.clear();
    QTest::keyClick(target, Qt::Key_Tab);
    EXPECT_EQ(m_window->keys, QStringList{code(9)});
    EXPECT_EQ(QApplication::focusWidget(), m_window->multiline->textEdit())
        << "an unhandled Tab moves the focus to the next editable field";
}

// Records the order in which the window is built.
class OrderWindow : public fw::Window {
public:
    static inline QStringList log;
    void Event_Open() override { log << QStringLiteral("Event_Open"); }

protected:
    void Layout() override
    {
        log << QStringLiteral("Layout");
        setContentSize(120, 80);
    }

    void CreateControls() override
    {
        log << QStringLiteral("CreateControls");
        for (const QString& name : {QStringLiteral("First"), QStringLiteral("Second")}) {
            auto* b = new fw::PushButton(content());
            registerControl(name, b);
            b->Open = [name] { log << QStringLiteral("Open ") + name; };
        }
    }
};

class ImplicitWindows : public ::testing::Test {
protected:
    void SetUp() override { OrderWindow::log.clear(); }
    void TearDown() override
    {
        for (const char* name : {"OrderWindow", "ModalWindow"}) {
            fw::Window::setModalHook(QString::fromLatin1(name), {});
            if (fw::Window* w = fw::Window::_GetImplicitWindow(QString::fromLatin1(name)))
                w->Close();
        }
        flushDeletes();
    }
};

TEST_F(ImplicitWindows, OneOpenInstanceAndANewOneAfterClose)
{
    const QString cls = QStringLiteral("OrderWindow");
    EXPECT_EQ(fw::Window::_GetImplicitWindow(cls), nullptr);
    auto* first = fw::Window::implicitInstance<OrderWindow>(cls);
    EXPECT_EQ(OrderWindow::log, (QStringList{QStringLiteral("Layout"), QStringLiteral("CreateControls"),
                                             QStringLiteral("Open First"), QStringLiteral("Open Second"),
                                             QStringLiteral("Event_Open")}));
    EXPECT_TRUE(first->isVisible()) << "visible on creation by default";
    EXPECT_EQ(fw::Window::implicitInstance<OrderWindow>(cls), first);
    EXPECT_EQ(fw::Window::_GetImplicitWindow(cls), first);
    EXPECT_EQ(OrderWindow::log.count(QStringLiteral("Event_Open")), 1) << "built once while open";

    // Controls by name, in creation order; a wrong name or type raises.
    EXPECT_EQ(first->controlNames(), (QStringList{QStringLiteral("First"), QStringLiteral("Second")}));
    EXPECT_NE(first->control<fw::PushButton>(QStringLiteral("Second")), nullptr);
    EXPECT_THROW(first->control<fw::PushButton>(QStringLiteral("Third")), fw::NilObjectException);
    EXPECT_THROW(first->control<fw::EditField>(QStringLiteral("First")), fw::NilObjectException);

    QPointer<fw::Window> old(first);
    first->Close();
    EXPECT_TRUE(old->closed());
    EXPECT_EQ(fw::Window::_GetImplicitWindow(cls), nullptr) << "a closed window is not found again";
    OrderWindow::log.clear();
    auto* second = fw::Window::implicitInstance<OrderWindow>(cls);
    EXPECT_NE(second, old.data());
    EXPECT_FALSE(second->closed());
    EXPECT_EQ(OrderWindow::log.size(), 5);
    EXPECT_EQ(OrderWindow::log.value(4), QStringLiteral("Event_Open")) << "Event_Open runs again";
    flushDeletes();
    EXPECT_TRUE(old.isNull()) << "the closed window is deleted";
}

TEST_F(ImplicitWindows, ShowBringsBackAHiddenOrMinimisedWindow)
{
    struct Case {
        const char* name;
        Qt::WindowStates before;
        bool hidden;
        Qt::WindowStates after;
    };
    const Case cases[] = {
        {"shown", Qt::WindowNoState, false, Qt::WindowNoState},
        {"hidden", Qt::WindowNoState, true, Qt::WindowNoState},
        {"minimised", Qt::WindowMinimized, false, Qt::WindowNoState},
        {"minimised from maximised", Qt::WindowMinimized | Qt::WindowMaximized, false, Qt::WindowMaximized},
        {"maximised", Qt::WindowMaximized, false, Qt::WindowMaximized},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* w = fw::Window::implicitInstance<OrderWindow>(QStringLiteral("OrderWindow"));
        w->setWindowState(c.before);
        if (c.hidden)
            w->hide();
        w->Show();
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(w->windowState() & ~Qt::WindowActive, c.after);
        w->Close();
    }
}

TEST_F(ImplicitWindows, ShowModalReturnsWhenTheWindowCloses)
{
    const QString cls = QStringLiteral("ModalWindow");
    struct Case {
        const char* name;
        bool closeInHook;
    };
    const Case cases[] = {{"the hook closes it", true}, {"closed later from a timer", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool hookRan = false, modalWhileOpen = false, timedOut = false;
        fw::Window::setModalHook(cls, [&](fw::Window* w) {
            hookRan = true;
            if (c.closeInHook) {
                w->Close();
                return;
            }
            QTimer::singleShot(20, w, [w, &modalWhileOpen] {
                modalWhileOpen = QApplication::activeModalWidget() == w;
                w->Close();
            });
        });
        auto* w = fw::Window::implicitInstance<OrderWindow>(cls);
        QPointer<fw::Window> guard(w);
        QTimer::singleShot(3000, w, [guard, &timedOut] {
            if (guard && !guard->closed()) {
                timedOut = true;
                guard->Close();
            }
        });
        w->ShowModal();
        EXPECT_TRUE(hookRan);
        EXPECT_FALSE(timedOut) << "ShowModal returned only through the safety timer";
        EXPECT_EQ(fw::Window::_GetImplicitWindow(cls), nullptr);
        if (!c.closeInHook) {
            EXPECT_TRUE(modalWhileOpen) << "the window is modal while ShowModal waits";
        }
        flushDeletes();
    }
}

// Counts the times a window is shown and hidden, and whether it was modal
// each time it was shown.
class MapLog : public QObject {
public:
    QStringList events;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* w = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show)
            events << (w->windowModality() == Qt::ApplicationModal ? QStringLiteral("show modal")
                                                                   : QStringLiteral("show"));
        else if (event->type() == QEvent::Hide)
            events << QStringLiteral("hide");
        return false;
    }
};

TEST_F(ImplicitWindows, AWindowReachesTheScreenOnceAlreadyAsWhatItIs)
{
    // A window manager may leave a window withdrawn when it is hidden and
    // shown again at once: a window made by a handler is mapped once, by
    // ShowModal already modal, or when that handler returns.
    const QString cls = QStringLiteral("ModalWindow");
    struct Case {
        const char* name;
        bool modal;
        const char* expected;  // until it is closed
    };
    const Case cases[] = {
        {"shown modally by the handler that made it", true, "show modal, hide"},
        {"left to show when that handler returns", false, "show"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MapLog log;
        bool visibleInHook = false, visibleAfterOpen = true;
        fw::Window::setModalHook(cls, [&](fw::Window* w) {
            visibleInHook = w->isVisible();
            w->Close();
        });
        fw::Window* made = nullptr;
        fw::dispatch([&] {
            made = fw::Window::implicitInstance<OrderWindow>(cls);
            made->installEventFilter(&log);
            visibleAfterOpen = made->isVisible();
            if (c.modal)
                made->ShowModal();
        });
        EXPECT_FALSE(visibleAfterOpen) << "not on screen before the handler shows it or returns";
        EXPECT_EQ(log.events.join(QStringLiteral(", ")).toStdString(), c.expected);
        if (c.modal) {
            EXPECT_TRUE(visibleInHook) << "on screen while modal";
        } else {
            EXPECT_TRUE(made->isVisible()) << "on screen once the handler returned";
            made->Close();
        }
        flushDeletes();
    }
}

TEST_F(ImplicitWindows, WindowsStillToShowAreShownBeforeAModalOne)
{
    // Shown during the modal loop, they would cover the modal window.
    bool hookRan = false, otherOnScreen = false;
    fw::Window::setModalHook(QStringLiteral("ModalWindow"), [&](fw::Window* w) {
        fw::Window* other = fw::Window::_GetImplicitWindow(QStringLiteral("OrderWindow"));
        hookRan = true;
        otherOnScreen = other && other->isVisible();
        w->Close();
    });
    fw::dispatch([&] {
        (void)fw::Window::implicitInstance<OrderWindow>(QStringLiteral("OrderWindow"));
        fw::Window::implicitInstance<OrderWindow>(QStringLiteral("ModalWindow"))->ShowModal();
    });
    EXPECT_TRUE(hookRan);
    EXPECT_TRUE(otherOnScreen) << "the window made first is on screen while the modal one shows";
}

} // namespace
