// Return and Enter and the default button: "Start" is drawn as the default
// button and pressed by Return from a one-line field while it is enabled;
// once a run greys it, Return is a key like any other (a response where it
// is the configured key). The Preferences window has no default button.

#include "prefs/window2.h"
#include "tests/support/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

namespace {

using quorvel::test::kTickUs;

class DefaultButton : public quorvel::test::MainWindowTest {
protected:
    // Success key Return (13), failure "0".
    QStringList prefsFields() const override
    {
        QStringList f = MainWindowTest::prefsFields();
        f[6] = QStringLiteral("13");
        return f;
    }

    void SetUp() override
    {
        MainWindowTest::SetUp();
        clock.setStepPerRead(kTickUs);  // the wait after a key ends at once
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    }

    void typeInto(fw::EditField* field, Qt::Key key)
    {
        field->SetFocus();
        ASSERT_EQ(QApplication::focusWidget(), field->editor());
        QTest::keyClick(field->editor(), key);
    }
};

TEST_F(DefaultButton, ReturnInAFieldPressesStartThenIsAResponse)
{
    const struct {
        const char* name;
        Qt::Key key;
    } cases[] = {{"Return", Qt::Key_Return}, {"Enter", Qt::Key_Enter}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        w->PushButton3_Action(w->PushButton3());
        w->EditField1()->setText(QStringLiteral("60"));
        typeInto(w->EditField1(), c.key);
        EXPECT_FALSE(w->PushButton1()->isEnabled()) << "Start did not run";
        EXPECT_EQ(w->StaticText4()->Text().toStdString(), "60");
        EXPECT_EQ(w->stepnum, 0) << "Return pressed Start and ran a trial as well";

        // Start is greyed: the same key, still in that (now read-only) field,
        // is the success key.
        typeInto(w->EditField1(), c.key);
        EXPECT_EQ(w->stepnum, 1);
        EXPECT_EQ(w->mep[1], 1);
    }
}

TEST_F(DefaultButton, OtherKeysAndFieldsLeaveStartAlone)
{
    // Another key in the field is typed into it; Return in the multi-line
    // history (read-only) is a response key, not Start.
    typeInto(w->EditField1(), Qt::Key_5);
    EXPECT_TRUE(w->PushButton1()->isEnabled());
    EXPECT_EQ(w->EditField1()->Text().toStdString(), "505");
    w->EditField2()->SetFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(w->PushButton1()->isEnabled());
    EXPECT_EQ(w->stepnum, 1) << "Return, the success key, ran one trial";
}

TEST_F(DefaultButton, ThePreferencesWindowHasNone)
{
    fw::Window::setModalHook(QStringLiteral("Window2.Window2"), [](fw::Window* window) {
        auto* d = dynamic_cast<Window2*>(window);
        ASSERT_NE(d, nullptr);
        d->EditField1()->SetFocus();
        QTest::keyClick(d->EditField1()->editor(), Qt::Key_Return);
        EXPECT_FALSE(d->closed()) << "Return closed the Preferences window";
        d->PushButton5()->click();
    });
    w->PushButton6()->click();
    fw::Window::setModalHook(QStringLiteral("Window2.Window2"), nullptr);
}

} // namespace
