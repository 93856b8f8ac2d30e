// Menus: the Qt menu bar built from a model (order, separators,
// shortcuts), Ctrl+Q on a Quit item ending the event loop from a window
// with or without a visible bar, and the standard Edit items acting on the
// focused text field only.
#include "framework/application.h"
#include "framework/controls.h"
#include "framework/menu.h"
#include "framework/window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

std::unique_ptr<fw::MenuItem> item(const QString& name, const QString& text, const QString& shortcut,
                                   bool quit = false)
{
    std::unique_ptr<fw::MenuItem> m = quit ? std::make_unique<fw::QuitMenuItem>() : std::make_unique<fw::MenuItem>();
    m->setName(name);
    m->setAutoEnable(true);
    m->setText(text);
    if (text != QStringLiteral("-"))
        m->setKeyboardShortcut(shortcut);
    return m;
}

// File: Quit; Edit: Undo, separator, Cut, Copy, Paste, Clear.
std::unique_ptr<fw::MenuBar> makeModel()
{
    auto bar = std::make_unique<fw::MenuBar>();
    bar->Append(item(QStringLiteral("FileMenu"), QStringLiteral("&File"), {}));
    bar->Child(QStringLiteral("FileMenu"))
        ->Append(item(QStringLiteral("FileQuit"), QStringLiteral("Quit"), QStringLiteral("Cmd+Q"), true));
    bar->Append(item(QStringLiteral("EditMenu"), QStringLiteral("&Edit"), {}));
    const struct {
        const char *name, *text, *shortcut;
    } edit[] = {{"EditUndo", "&Undo", "Cmd+Z"}, {"UntitledMenu0", "-", ""},     {"EditCut", "Cu&t", "Cmd+X"},
                {"EditCopy", "&Copy", "Cmd+C"}, {"EditPaste", "&Paste", "Cmd+V"}, {"EditClear", "Clear", ""}};
    for (const auto& e : edit)
        bar->Child(QStringLiteral("EditMenu"))
            ->Append(item(QString::fromLatin1(e.name), QString::fromLatin1(e.text), QString::fromLatin1(e.shortcut)));
    return bar;
}

class MenuWindow : public fw::Window {
public:
    static inline fw::MenuBar* model = nullptr;
    static inline bool barVisible = true;
    static inline bool setTwice = false;
    static inline bool ownBar = true;  // false: no menu bar of its own
    fw::EditField* field = nullptr;
    fw::EditField* memo = nullptr;
    fw::PushButton* button = nullptr;

protected:
    void Layout() override
    {
        setMenuBarVisible(barVisible);
        if (ownBar)
            setMenuBar(model);
        if (setTwice)
            setMenuBar(model);
        setContentSize(300, 200);
    }

    void CreateControls() override
    {
        field = new fw::EditField(content(), false);
        field->setGeometry(10, 10, 150, 24);
        registerControl(QStringLiteral("Field"), field);
        memo = new fw::EditField(content(), true);
        memo->setGeometry(10, 40, 150, 80);
        registerControl(QStringLiteral("Memo"), memo);
        button = new fw::PushButton(content());
        button->setGeometry(10, 130, 100, 24);
        registerControl(QStringLiteral("Button"), button);
    }
};

class Menus : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_model = makeModel();
        MenuWindow::model = m_model.get();
        MenuWindow::barVisible = true;
        MenuWindow::setTwice = false;
        MenuWindow::ownBar = true;
        QApplication::clipboard()->clear();
    }

    void TearDown() override
    {
        if (fw::Window* w = fw::Window::_GetImplicitWindow(QStringLiteral("MenuWindow")))
            w->Close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        MenuWindow::model = nullptr;
        QApplication::clipboard()->clear();
    }

    MenuWindow* openWindow()
    {
        auto* w = fw::Window::implicitInstance<MenuWindow>(QStringLiteral("MenuWindow"));
        w->Show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w));
        return w;
    }

    static QAction* action(QWidget* window, const char* name)
    {
        return window->findChild<QAction*>(QString::fromLatin1(name));
    }

    std::unique_ptr<fw::MenuBar> m_model;
};

TEST_F(Menus, QtMenuBarFollowsTheModel)
{
    MenuWindow* w = openWindow();
    QMenuBar* bar = w->qtMenuBar();
    ASSERT_NE(bar, nullptr);
    const QList<QAction*> menus = bar->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), QStringLiteral("&File"));
    EXPECT_EQ(menus[1]->text(), QStringLiteral("&Edit"));

    struct Entry {
        QString text;
        bool separator;
        QString shortcut;
    };
    auto entries = [](QMenu* menu) {
        std::vector<Entry> out;
        for (QAction* a : menu->actions())
            out.push_back({a->text(), a->isSeparator(), a->shortcut().toString()});
        return out;
    };
    const std::vector<Entry> file = entries(menus[0]->menu());
    ASSERT_EQ(file.size(), 1u) << "File holds Quit only";
    EXPECT_EQ(file[0].text, QStringLiteral("Quit"));
    EXPECT_EQ(file[0].shortcut, QStringLiteral("Ctrl+Q"));

    const std::vector<Entry> edit = entries(menus[1]->menu());
    const Entry expected[] = {{QStringLiteral("&Undo"), false, QStringLiteral("Ctrl+Z")},
                              {QString(), true, QString()},
                              {QStringLiteral("Cu&t"), false, QStringLiteral("Ctrl+X")},
                              {QStringLiteral("&Copy"), false, QStringLiteral("Ctrl+C")},
                              {QStringLiteral("&Paste"), false, QStringLiteral("Ctrl+V")},
                              {QStringLiteral("Clear"), false, QString()}};
    ASSERT_EQ(edit.size(), std::size(expected));
    for (size_t i = 0; i < edit.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(edit[i].text, expected[i].text);
        EXPECT_EQ(edit[i].separator, expected[i].separator);
        EXPECT_EQ(edit[i].shortcut, expected[i].shortcut);
    }
    EXPECT_EQ(fw::qtShortcutText(QStringLiteral("Cmd+Q")), QStringLiteral("Ctrl+Q"));
}

TEST_F(Menus, CtrlQQuitsFromAnyWindow)
{
    struct Case {
        const char* name;
        bool barVisible;
        bool focusField;
        bool setTwice;
        bool ownBar = true;
    };
    const Case cases[] = {{"menu bar shown, button focused", true, false, false},
                          {"menu bar shown, text field focused", true, true, false},
                          {"no visible menu bar", false, false, false},
                          {"no visible menu bar, set twice", false, false, true},
                          {"only the application's menu bar", true, false, false, false},
                          {"only the application's menu bar, text field focused", true, true, false, false}};
    // The application object carries the menu bar, as at start-up.
    fw::Application app;
    app.setMenuBar(m_model.get());
    fw::_RuntimeRegisterAppObject(&app);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MenuWindow::barVisible = c.barVisible;
        MenuWindow::setTwice = c.setTwice;
        MenuWindow::ownBar = c.ownBar;
        MenuWindow* w = openWindow();
        QWidget* target = c.focusField ? static_cast<QWidget*>(w->field->lineEdit()) : w->button;
        target->setFocus();
        QTimer::singleShot(0, target, [target] { QTest::keyClick(target, Qt::Key_Q, Qt::ControlModifier); });
        QTimer safety;  // ends the loop if Quit never comes
        safety.setSingleShot(true);
        QObject::connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(77); });
        safety.start(2000);
        EXPECT_EQ(fw::_RuntimeRun(), 0) << "Quit ended the event loop";
        w->Close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    fw::_RuntimeRegisterAppObject(nullptr);
}

TEST_F(Menus, EditItemsActOnTheFocusedField)
{
    MenuWindow* w = openWindow();
    QLineEdit* line = w->field->lineEdit();
    QClipboard* clip = QApplication::clipboard();
    line->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), line);
    QTest::keyClicks(line, QStringLiteral("hello"));

    line->selectAll();
    action(w, "EditCopy")->trigger();
    EXPECT_EQ(clip->text(), QStringLiteral("hello"));
    EXPECT_EQ(w->field->Text(), QStringLiteral("hello"));

    line->setSelection(0, 2);
    action(w, "EditCut")->trigger();
    EXPECT_EQ(w->field->Text(), QStringLiteral("llo"));
    EXPECT_EQ(clip->text(), QStringLiteral("he"));

    line->setCursorPosition(3);
    action(w, "EditPaste")->trigger();
    EXPECT_EQ(w->field->Text(), QStringLiteral("llohe"));

    line->setSelection(0, 3);
    action(w, "EditClear")->trigger();
    EXPECT_EQ(w->field->Text(), QStringLiteral("he"));
    EXPECT_EQ(clip->text(), QStringLiteral("he")) << "Clear leaves the clipboard alone";

    action(w, "EditUndo")->trigger();
    EXPECT_EQ(w->field->Text(), QStringLiteral("llohe"));

    // The multi-line field too.
    QPlainTextEdit* memo = w->memo->textEdit();
    memo->setFocus();
    memo->setPlainText(QStringLiteral("abc"));
    memo->selectAll();
    action(w, "EditCut")->trigger();
    EXPECT_EQ(w->memo->Text(), QString());
    action(w, "EditPaste")->trigger();
    action(w, "EditPaste")->trigger();
    EXPECT_EQ(w->memo->Text(), QStringLiteral("abcabc"));
}

TEST_F(Menus, EditItemsDoNothingWithoutAnEditableFocusedField)
{
    MenuWindow* w = openWindow();
    w->field->setText(QStringLiteral("keep"));
    w->field->lineEdit()->selectAll();
    QApplication::clipboard()->setText(QStringLiteral("clip"));

    const struct {
        const char* name;
        QWidget* focus;
    } cases[] = {{"a push button has the focus", w->button}, {"no control has the focus", w->content()}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.focus->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), c.focus);
        for (const char* name : {"EditUndo", "EditCut", "EditCopy", "EditPaste", "EditClear"}) {
            SCOPED_TRACE(name);
            QAction* a = action(w, name);
            ASSERT_NE(a, nullptr);
            a->trigger();
            m_model->Child(QStringLiteral("EditMenu"))->Child(QString::fromLatin1(name))->action();
            EXPECT_EQ(w->field->Text(), QStringLiteral("keep"));
            EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("clip"));
        }
    }

    // A read-only field can be copied from but not changed.
    w->field->setReadOnly(true);
    w->field->lineEdit()->setFocus();
    w->field->lineEdit()->selectAll();
    for (const char* name : {"EditCut", "EditPaste", "EditClear", "EditUndo"})
        action(w, name)->trigger();
    EXPECT_EQ(w->field->Text(), QStringLiteral("keep"));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("clip"));
    action(w, "EditCopy")->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("keep"));
}

} // namespace
