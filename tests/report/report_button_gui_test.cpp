// "Print/Save" on the real main window: the report of what the window
// shows (right after opening, during a run, once the estimate is reached,
// after Reset, with ML-PEST ticked, with other percentages chosen) against
// a composition of its own from the controls, shown in the Output window;
// pressed twice it replaces the first report, edits included, in the same
// window, which comes back if it was minimised; and it changes nothing in the main window but the report.
#include "framework/core/text.h"
#include "report/window4.h"
#include "tests/support/main_window.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>

#include <functional>

// Test messages show texts as text.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

using quorvel::test::MainWindowTest;

class ReportButton : public MainWindowTest {
protected:
    QString press4()
    {
        w->PushButton4()->click();
        Window4* out = dynamic_cast<Window4*>(fw::Window::_GetImplicitWindow(QStringLiteral("Window4.Window4")));
        EXPECT_NE(out, nullptr) << "the Output window is open";
        if (!out)
            return {};
        EXPECT_TRUE(out->isVisible());
        EXPECT_EQ(out->EditField1()->Text(), w->myoutput) << "the field holds the report";
        return w->myoutput;
    }

    // The report as the window's controls say it should read, composed
    // here line by line.
    QString expected() const
    {
        const auto t = [](auto* c) { return c->Text(); };
        const bool ml = w->CheckBox1()->Value();
        QStringList l = {QString(34, QLatin1Char('_')), {}, QStringLiteral("Adaptive P.E.S.T."), QStringLiteral("Quorvel")};
        l << QStringLiteral("Written by the Quorvel developers") << QStringLiteral("The Quorvel Project")
          << QStringLiteral("Resting motor threshold estimation") << QStringLiteral("for transcranial magnetic stimulation");
        l << QString(34, QLatin1Char('_')) << QString() << w->mydate << w->mytime;
        l << QStringLiteral("Total Assessment Time = %1 seconds").arg(fw::Format(w->totaltime, QStringLiteral("##########.##########")));
        l << QString() << (ml ? QStringLiteral("Method: Maximum-Likelihood PEST") : QStringLiteral("Method: Adaptive PEST"));
        l << (ml ? QStringLiteral("Lower Bound = ") : QStringLiteral("Starting Value = ")) + t(w->EditField1());
        l << (ml ? QStringLiteral("Upper Bound = ") : QStringLiteral("Step Size = ")) + t(w->EditField4());
        l << (ml ? QStringLiteral("Spread = ") : QStringLiteral("Difference Threshold = ")) + t(w->EditField3());
        l << QString() << QStringLiteral("Resting Motor Threshold = ") + t(w->StaticText4()) << QString();
        l << QStringLiteral("QUICK REFERENCE:");
        l << t(w->PopupMenu1()) + QStringLiteral(" = ") + t(w->StaticText7());
        l << t(w->PopupMenu2()) + QStringLiteral(" = ") + t(w->StaticText8());
        l << t(w->PopupMenu3()) + QStringLiteral(" = ") + t(w->StaticText9());
        l << QString() << QStringLiteral("DISTANCE CORRECTION:");
        l << QStringLiteral("Distance from M1 = %1 mm").arg(t(w->EditField7()));
        l << QStringLiteral("Distance from cortical target = %1 mm").arg(t(w->EditField6()));
        l << t(w->PopupMenu1()) + QStringLiteral(" = ") + t(w->StaticText13());
        l << t(w->PopupMenu2()) + QStringLiteral(" = ") + t(w->StaticText14());
        l << t(w->PopupMenu3()) + QStringLiteral(" = ") + t(w->StaticText15());
        l << QString() << QStringLiteral("HISTORY:") << t(w->EditField5());
        return l.join(QLatin1Char('\r')) + QLatin1Char('\r') + t(w->EditField2()) + QLatin1Char('\r');
    }

    static QStringList lines(const QString& report)
    {
        QStringList l = report.split(QLatin1Char('\r'));
        l.removeLast();
        return l;
    }
};

TEST_F(ReportButton, ReportsWhatTheWindowShows)
{
    struct Case {
        const char* name;
        std::function<void()> arrange;
        int rows;
        std::vector<std::pair<int, QString>> lines;  // 1-based
    };
    const Case cases[] = {
        {"right after opening", [] {}, 0,
         {{11, {}}, {12, {}}, {13, QStringLiteral("Total Assessment Time = 0 seconds")},
          {20, QStringLiteral("Resting Motor Threshold = ")}, {23, QStringLiteral("80% = 0")},
          {35, QStringLiteral("#    SETTING  ROUND MEP   DIFF")}, {36, {}}}},
        {"during a run",
         [this] {
             start(QStringLiteral("50"), QStringLiteral("7"), QStringLiteral(".45"));
             pressAll(QStringLiteral("101"));
         },
         3, {{13, QStringLiteral("Total Assessment Time = 0 seconds")}, {16, QStringLiteral("Starting Value = 50")}}},
        {"estimate reached",
         [this] {
             start(QStringLiteral("50"), QStringLiteral("1"), QStringLiteral("0.5"));
             clock.advance(2.5e6);
             pressAll(QStringLiteral("0101"));
             ASSERT_EQ(w->StaticText5()->Text(), QStringLiteral("rMT Estimate Reached :"));
         },
         4, {{18, QStringLiteral("Difference Threshold = 0.5")}}},
        {"after Reset",
         [this] {
             start(QStringLiteral("50"), QStringLiteral("1"), QStringLiteral("0.5"));
             pressAll(QStringLiteral("0101"));
             w->PushButton3()->click();
         },
         0,
         {{20, QStringLiteral("Resting Motor Threshold = ")}, {23, QStringLiteral("80% = 00")},
          {32, QStringLiteral("120% = 00")}, {36, {}}}},
        {"ML-PEST ticked",
         [this] {
             w->CheckBox1()->setValue(true);
             start(QStringLiteral("20"), QStringLiteral("80"), QStringLiteral("7"), true);
             pressAll(QStringLiteral("10"));
         },
         2,
         {{3, QStringLiteral("Adaptive P.E.S.T.")}, {15, QStringLiteral("Method: Maximum-Likelihood PEST")},
          {16, QStringLiteral("Lower Bound = 20")}, {17, QStringLiteral("Upper Bound = 80")},
          {18, QStringLiteral("Spread = 7")}}},
        {"other percentages and distances",
         [this] {
             w->PopupMenu1()->setListIndex(75);
             w->PopupMenu3()->setListIndex(0);
             w->EditField7()->setText(QStringLiteral("12"));
             w->EditField6()->setText(QString());
         },
         0,
         {{23, QStringLiteral("75% = 0")}, {25, QStringLiteral("0% = 0")}, {30, QStringLiteral("75% = 0")},
          {28, QStringLiteral("Distance from M1 = 12 mm")}, {29, QStringLiteral("Distance from cortical target =  mm")}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        c.arrange();
        const QString report = press4();
        EXPECT_EQ(report, expected());
        EXPECT_FALSE(report.contains(QLatin1Char('\n')));
        const QStringList l = lines(report);
        ASSERT_EQ(l.size(), 36 + c.rows);
        EXPECT_EQ(l.last(), QString());
        for (const auto& [n, text] : c.lines)
            EXPECT_EQ(l[n - 1], text) << "line " << n;
    }
}

TEST_F(ReportButton, DateTimeAndTotalTimeOfTheLastRunStay)
{
    start(QStringLiteral("50"), QStringLiteral("1"), QStringLiteral("0.5"));
    clock.advance(12.25e6);
    pressAll(QStringLiteral("0101"));
    ASSERT_GT(w->totaltime, 12.25);
    const QStringList during = lines(press4());
    static const QRegularExpression total(QStringLiteral("^Total Assessment Time = (\\d*\\.\\d+|\\d+) seconds$"));
    EXPECT_TRUE(total.match(during[12]).hasMatch()) << during[12].toStdString();
    EXPECT_NEAR(fw::CDbl(during[12].mid(24)), w->totaltime, 1e-9);
    EXPECT_FALSE(during[10].isEmpty());
    EXPECT_FALSE(during[11].isEmpty());

    w->PushButton3()->click();
    const QStringList afterReset = lines(press4());
    EXPECT_EQ(afterReset[10], during[10]);
    EXPECT_EQ(afterReset[11], during[11]);
    EXPECT_EQ(afterReset[12], during[12]) << "Reset leaves the total time";
}

TEST_F(ReportButton, SecondReportReplacesTheFirstInTheSameWindow)
{
    const QString first = press4();
    Window4* out = Window4::instance();
    out->EditField1()->textEdit()->moveCursor(QTextCursor::End);
    QTest::keyClicks(out->EditField1()->textEdit(), QStringLiteral("an edit"));
    ASSERT_NE(out->EditField1()->Text(), first);

    // The operator had minimised it: the report brings it back.
    out->showMinimized();
    ASSERT_TRUE(out->isMinimized());
    start(QStringLiteral("50"), QStringLiteral("7"), QStringLiteral(".45"));
    press(QStringLiteral("1"));
    const QString second = press4();
    EXPECT_FALSE(out->isMinimized());
    EXPECT_TRUE(out->isVisible());
    EXPECT_NE(second, first);
    EXPECT_EQ(Window4::instance(), out) << "the open window is reused";
    EXPECT_EQ(out->EditField1()->Text(), second) << "the edit is replaced";
    EXPECT_EQ(fw::Window::openWindows().size(), 2u);

    // After Close the next report makes a new window.
    out->PushButton3()->click();
    EXPECT_EQ(press4(), second);
    EXPECT_NE(dynamic_cast<Window4*>(fw::Window::_GetImplicitWindow(QStringLiteral("Window4.Window4"))), nullptr);
}

TEST_F(ReportButton, ChangesNothingInTheMainWindowButTheReport)
{
    start(QStringLiteral("50"), QStringLiteral("7"), QStringLiteral(".45"));
    pressAll(QStringLiteral("10"));
    const auto snapshot = [this] {
        QStringList s;
        for (const QString& name : w->controlNames()) {
            QObject* c = w->controlObject(name);
            if (auto* e = dynamic_cast<fw::EditField*>(c))
                s << name + QLatin1Char('=') + e->Text() + (e->ReadOnly() ? QStringLiteral(" ro") : QString());
            else if (auto* l = dynamic_cast<fw::StaticText*>(c))
                s << name + QLatin1Char('=') + l->Text();
            else if (auto* p = dynamic_cast<fw::PopupMenu*>(c))
                s << name + QLatin1Char('=') + QString::number(p->ListIndex());
            else if (auto* b = dynamic_cast<QAbstractButton*>(c))
                s << name + QLatin1Char('=') + b->text() + QString::number(b->isChecked()) +
                         QString::number(b->isEnabled());
        }
        s << QString::number(w->stepnum) << QString::number(w->mysetting) << w->mydate << w->mytime
          << QString::number(w->totaltime) << QString::number(w->Timer1()->Mode());
        return s;
    };
    const QStringList before = snapshot();
    press4();
    press4();
    EXPECT_EQ(snapshot(), before);
}

} // namespace
