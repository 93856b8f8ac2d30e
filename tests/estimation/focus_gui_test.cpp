// Keyboard focus and what assistive technology sees in the main window and
// the Preferences window: Tab and Shift+Tab cycle through the fields that can
// be typed into and never reach the response handler; clicks on buttons,
// boxes and sliders leave the focus where it was; a wheel over a pop-up menu
// changes nothing; the group boxes hold their controls; each field is named
// by its label and says whether it is read-only.
#include "prefs/window2.h"
#include "tests/support/main_window.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <QWheelEvent>

#include <vector>

namespace {

using quorvel::test::kTickUs;

// The control a widget belongs to (an edit field's editor has no name).
QString controlOf(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget())
        if (!w->objectName().isEmpty())
            return w->objectName();
    return QStringLiteral("nothing");
}

QString focused()
{
    return controlOf(QApplication::focusWidget());
}

class Focus : public quorvel::test::MainWindowTest {
protected:
    // Every key but the failure key is a success: a key that reaches the
    // response handler runs a trial.
    QStringList prefsFields() const override
    {
        QStringList f = MainWindowTest::prefsFields();
        f[8] = QStringLiteral("1");
        return f;
    }

    void SetUp() override
    {
        MainWindowTest::SetUp();
        // A key that reaches the handler ends its wait at once.
        clock.setStepPerRead(kTickUs);
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    }

    void key(Qt::Key k)
    {
        QTest::keyClick(QApplication::focusWidget(), k, k == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
    }

    bool noTrialRan() const { return w->stepnum == 0 && w->EditField2()->Text().isEmpty(); }
};

TEST_F(Focus, TabAndShiftTabCycleThroughTheFieldsAndRunNoTrial)
{
    ASSERT_TRUE(w->successall);
    struct Case {
        const char* name;
        Qt::Key key;
        std::vector<const char*> visits;  // after each of nine presses
    };
    const Case cases[] = {
        {"Tab", Qt::Key_Tab,
         {"EditField3", "EditField4", "EditField6", "EditField7", "EditField1", "EditField3", "EditField4",
          "EditField6", "EditField7"}},
        {"Shift+Tab", Qt::Key_Backtab,
         {"EditField7", "EditField6", "EditField4", "EditField3", "EditField1", "EditField7", "EditField6",
          "EditField4", "EditField3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        w->EditField1()->SetFocus();
        for (const char* expected : c.visits) {
            key(c.key);
            EXPECT_EQ(focused(), QString::fromLatin1(expected));
        }
        EXPECT_TRUE(noTrialRan()) << w->EditField2()->Text().toStdString();
    }
    // No field was typed into.
    EXPECT_EQ(w->EditField6()->Text(), QStringLiteral("0"));
    EXPECT_EQ(w->EditField7()->Text(), QStringLiteral("0"));
}

TEST_F(Focus, TheDistanceFieldsOpenedByAdjustAreTheOnlyTabStopsDuringARun)
{
    w->EditField1()->SetFocus();
    QTest::mouseClick(w->PushButton1(), Qt::LeftButton);
    ASSERT_FALSE(w->PushButton1()->isEnabled()) << "started";
    EXPECT_EQ(focused(), QStringLiteral("EditField1")) << "a click on Start leaves the focus";

    QTest::mouseClick(w->BevelButton1(), Qt::LeftButton);
    ASSERT_EQ(w->BevelButton1()->Caption(), QStringLiteral("Continue"));
    EXPECT_EQ(focused(), QStringLiteral("EditField7")) << "Adjust puts it there";
    for (const char* expected : {"EditField6", "EditField7", "EditField6"}) {
        key(Qt::Key_Tab);
        EXPECT_EQ(focused(), QString::fromLatin1(expected));
    }
    EXPECT_TRUE(noTrialRan());
}

TEST_F(Focus, ClicksOnButtonsBoxesAndSlidersLeaveTheFocusWhereItWas)
{
    w->EditField4()->SetFocus();
    struct Case {
        const char* name;
        QWidget* target;
    };
    const Case cases[] = {
        {"Reset, in its group", w->PushButton3()},
        {"Use ML-PEST, in its group", w->CheckBox1()},
        {"voice volume, in its group", w->Slider1()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTest::mouseClick(c.target, Qt::LeftButton, {}, QPoint(c.target->width() / 4, c.target->height() / 2));
        EXPECT_EQ(focused(), QStringLiteral("EditField4"));
    }
    EXPECT_TRUE(w->CheckBox1()->Value()) << "the click reached the box inside its group";
}

TEST_F(Focus, AWheelOverAClosedPopupMenuChangesNothing)
{
    press(QStringLiteral("1"));  // an estimate, so the quick reference has values
    const QString value = w->StaticText7()->Text();
    const QString corrected = w->StaticText13()->Text();
    ASSERT_NE(value, QStringLiteral("0"));
    fw::PopupMenu* menu = w->PopupMenu1();
    const int index = menu->ListIndex();
    for (int delta : {-120, 120, -360}) {
        SCOPED_TRACE(delta);
        const QPointF at(menu->width() / 2.0, menu->height() / 2.0);
        QWheelEvent wheel(at, menu->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(menu, &wheel);
        EXPECT_EQ(menu->ListIndex(), index);
        EXPECT_EQ(w->StaticText7()->Text(), value);
        EXPECT_EQ(w->StaticText13()->Text(), corrected);
    }
}

// Assistive technology's view of a widget.
QAccessibleInterface* accessible(QWidget* widget)
{
    return QAccessible::queryAccessibleInterface(widget);
}

struct Named {
    const char* field;
    const char* name;
    bool readOnly;
};

void expectFieldsNamed(const fw::Window* w, const std::vector<Named>& fields)
{
    for (const Named& f : fields) {
        SCOPED_TRACE(f.field);
        auto* field = w->control<fw::EditField>(QString::fromLatin1(f.field));
        QAccessibleInterface* editor = accessible(field->editor());
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->role(), QAccessible::EditableText);
        EXPECT_EQ(editor->text(QAccessible::Name), QString::fromLatin1(f.name));
        EXPECT_EQ(bool(editor->state().readOnly), f.readOnly);
        // The wrapper around the editor carries the same name.
        EXPECT_EQ(accessible(field)->text(QAccessible::Name), QString::fromLatin1(f.name));
    }
}

// Sliders are named by their labels too (inside a group, Qt would give them
// the group's caption).
void expectSlidersNamed(const fw::Window* w, const std::vector<std::pair<const char*, const char*>>& sliders)
{
    for (const auto& [slider, name] : sliders) {
        SCOPED_TRACE(slider);
        QAccessibleInterface* a = accessible(w->control<fw::Slider>(QString::fromLatin1(slider)));
        EXPECT_EQ(a->role(), QAccessible::Slider);
        EXPECT_EQ(a->text(QAccessible::Name), QString::fromLatin1(name));
    }
}

// Each control is found among its group's accessible children, and the group
// is its accessible parent.
void expectGroupsHold(const fw::Window* w, const std::vector<std::pair<const char*, std::vector<const char*>>>& groups)
{
    for (const auto& [group, members] : groups) {
        SCOPED_TRACE(group);
        auto* box = w->control<fw::GroupBox>(QString::fromLatin1(group));
        QAccessibleInterface* g = accessible(box);
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g->role(), QAccessible::Grouping);
        EXPECT_EQ(g->text(QAccessible::Name), box->Caption());
        EXPECT_EQ(g->childCount(), int(members.size()));
        for (const char* member : members) {
            SCOPED_TRACE(member);
            auto* widget = qobject_cast<QWidget*>(w->controlObject(QString::fromLatin1(member)));
            ASSERT_NE(widget, nullptr);
            QAccessibleInterface* child = accessible(widget);
            EXPECT_GE(g->indexOfChild(child), 0);
            ASSERT_NE(child->parent(), nullptr);
            EXPECT_EQ(child->parent()->object(), box);
        }
    }
}

TEST_F(Focus, TheMainWindowsGroupsHoldTheirControlsAndFieldsAreNamedByTheirLabels)
{
    expectGroupsHold(w, {{"GroupBox1",
                          {"PushButton3", "Slider1", "PushButton4", "PushButton6", "Slider2", "Slider3", "StaticText10",
                           "StaticText11", "StaticText12", "CheckBox1"}},
                         {"GroupBox2", {"StaticText13", "StaticText14", "StaticText15"}},
                         {"GroupBox3", {"StaticText18", "StaticText19", "BevelButton1"}}});

    const char* history = "#    SETTING  ROUND MEP   DIFF";
    expectFieldsNamed(w, {{"EditField1", "Initial output value:", false},
                          {"EditField3", "Diff. Threshold:", false},
                          {"EditField4", "Step Size:", false},
                          {"EditField2", history, true},
                          {"EditField6", "Distance to target:", false},
                          {"EditField7", "Distance to M1:", false}});
    EXPECT_TRUE(accessible(w->EditField5()->editor())->state().readOnly);
    expectSlidersNamed(w, {{"Slider1", "Voice Volume:"}, {"Slider2", "Signal Volume:"}, {"Slider3", "Click Volume:"}});

    // The names follow the labels when the method changes them; Start locks
    // the fields and Reset opens them again.
    w->CheckBox1()->setValue(true);
    QTest::mouseClick(w->PushButton1(), Qt::LeftButton);
    expectFieldsNamed(w, {{"EditField1", "Lower Bound:", true},
                          {"EditField3", "Spread:", true},
                          {"EditField4", "Upper Bound:", true},
                          {"EditField6", "Distance to target:", true},
                          {"EditField7", "Distance to M1:", true}});
    QTest::mouseClick(w->PushButton3(), Qt::LeftButton);
    expectFieldsNamed(w, {{"EditField1", "Lower Bound:", false}, {"EditField7", "Distance to M1:", false}});
}

TEST_F(Focus, ThePreferencesWindowsGroupsHoldTheirControlsAndFieldsAreNamedByTheirLabels)
{
    Window2* prefs = Window2::instance();
    expectGroupsHold(prefs, {{"GroupBox1", {}},
                             {"GroupBox2", {"EditField7", "StaticText12"}},
                             {"GroupBox3", {"PushButton2", "CheckBox1", "StaticText5"}},
                             {"GroupBox4", {"PushButton3", "CheckBox2", "StaticText6"}}});
    expectFieldsNamed(prefs, {{"EditField1", "Initial output value:", false},
                              {"EditField3", "Diff. Threshold:", false},
                              {"EditField4", "Step Size:", false},
                              {"EditField2", "Lower Boundary:", false},
                              {"EditField5", "Relative threshold spread:", false},
                              {"EditField6", "Upper Boundary:", false},
                              {"EditField7", "Diff. Threshold:", false}});
    expectSlidersNamed(prefs,
                       {{"Slider1", "Speech Volume:"}, {"Slider2", "Signal Volume:"}, {"Slider3", "Click Volume:"}});

    // Tab visits every field, in the layout's order, and comes round again.
    prefs->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(prefs));
    prefs->EditField1()->SetFocus();
    for (const char* expected :
         {"EditField3", "EditField4", "EditField2", "EditField5", "EditField6", "EditField7", "EditField1"}) {
        key(Qt::Key_Tab);
        EXPECT_EQ(focused(), QString::fromLatin1(expected));
    }
    prefs->Close();
}

TEST_F(Focus, TheWindowHasItsMenuBarsItemsByName)
{
    struct Case {
        fw::MenuItem* item;
        const char* text;
    };
    const Case cases[] = {
        {w->EditMenu(), "&Edit"}, {w->EditClear(), "Clear"},   {w->EditPaste(), "&Paste"},
        {w->EditCopy(), "&Copy"}, {w->EditCut(), "Cu&t"},      {w->UntitledMenu0(), "-"},
        {w->EditUndo(), "&Undo"}, {w->FileMenu(), "&File"},    {w->FileQuit(), "Quit"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_NE(c.item, nullptr);
        EXPECT_EQ(c.item->Text(), QString::fromLatin1(c.text));
    }
    EXPECT_NE(dynamic_cast<fw::QuitMenuItem*>(w->FileQuit()), nullptr);
    EXPECT_EQ(w->EditMenu()->Child(QStringLiteral("EditClear")), w->EditClear());
    // The menu bar has no item of this name: the accessor finds none.
    EXPECT_EQ(w->UntitledMenu1(), nullptr);
}

} // namespace
