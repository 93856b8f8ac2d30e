// The unhandled-exception report: an exception escaping a control's
// handler becomes a message box naming it, and the application goes on.
#include "framework/application.h"
#include "framework/controls.h"
#include "framework/core/nil.h"
#include "framework/window.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <QTest>

#include <functional>
#include <stdexcept>

namespace {

class ButtonWindow : public fw::Window {
public:
    fw::PushButton* failing = nullptr;
    fw::PushButton* working = nullptr;
    int worked = 0;

protected:
    void Layout() override { setContentSize(200, 80); }
    void CreateControls() override
    {
        failing = new fw::PushButton(content());
        failing->setGeometry(10, 10, 80, 24);
        registerControl(QStringLiteral("Failing"), failing);
        working = new fw::PushButton(content());
        working->setGeometry(100, 10, 80, 24);
        working->Action = [this] { ++worked; };
        registerControl(QStringLiteral("Working"), working);
    }
};

class UnhandledException : public ::testing::Test {
protected:
    void SetUp() override
    {
        fw::setMsgBoxHook([this](const QString& text) { m_reports << text; });
        m_window = fw::Window::implicitInstance<ButtonWindow>(QStringLiteral("ButtonWindow"));
    }
    void TearDown() override
    {
        fw::setMsgBoxHook({});
        m_window->Close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QStringList m_reports;
    ButtonWindow* m_window = nullptr;
};

TEST_F(UnhandledException, ReportNamesTheErrorAndTheApplicationGoesOn)
{
    struct Case {
        const char* name;
        std::function<void()> action;
        const char* named;
    };
    const Case cases[] = {
        {"call on nil", [] { fw::nn(static_cast<fw::PushButton*>(nullptr))->click(); }, "NilObjectException"},
        {"nil with its own text", [] { throw fw::NilObjectException("window gone"); }, "NilObjectException"},
        {"runtime error", [] { throw std::runtime_error("disk on fire"); }, "disk on fire"},
        {"not a std::exception", [] { throw 42; }, "unknown error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_reports.clear();
        m_window->failing->Action = c.action;
        QTest::mouseClick(m_window->failing, Qt::LeftButton);
        ASSERT_EQ(m_reports.size(), 1) << "one report per escaped exception";
        EXPECT_TRUE(m_reports[0].contains(QString::fromLatin1(c.named))) << m_reports[0].toStdString();

        // The window and its other controls still work.
        const int before = m_window->worked;
        QTest::mouseClick(m_window->working, Qt::LeftButton);
        EXPECT_EQ(m_window->worked, before + 1);
        EXPECT_FALSE(m_window->closed());
    }
}

TEST_F(UnhandledException, FromKeyAndOpenHandlersToo)
{
    // Event_KeyDown and Event_Open run through the same report.
    struct ThrowingWindow : fw::Window {
        void Event_Open() override { throw fw::NilObjectException(); }
        bool Event_KeyDown(const QString&) override { throw std::runtime_error("key handler failed"); }
    };
    auto* w = fw::Window::implicitInstance<ThrowingWindow>(QStringLiteral("ThrowingWindow"));
    ASSERT_EQ(m_reports.size(), 1);
    EXPECT_TRUE(m_reports[0].contains(QStringLiteral("NilObjectException")));
    EXPECT_EQ(fw::Window::_GetImplicitWindow(QStringLiteral("ThrowingWindow")), w) << "the window stays open";
    QTest::keyClick(w, 'k');
    ASSERT_EQ(m_reports.size(), 2);
    EXPECT_TRUE(m_reports[1].contains(QStringLiteral("key handler failed")));
    w->Close();
}

} // namespace
