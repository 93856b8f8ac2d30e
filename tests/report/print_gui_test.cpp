// "Print" through a PDF read back with pdftotext: every line of a 200-row
// report once, in order, in its place on its page, pages of whole lines
// only and no empty sheet at the end; edits printed; long lines wrapped;
// a cancelled or failed print loses nothing.
#include "estimation/core/report_text.h"
#include "framework/core/background.h"
#include "tests/report/report_fixture.h"

#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTest>

#include <cmath>

namespace {

using quorvel::test::OutputWindowTest;
using quorvel::test::PrintedLine;
using quorvel::test::readPdfLines;
using quorvel::test::words;

// The printed block: 540 x 720 points under a top margin of 36 points.
constexpr double kBlockTop = 36.0, kBlockHeight = 720.0;

// A report of a run of that many trials, as "Print/Save" composes it.
QString reportWithRows(int rows)
{
    estimation::ReportSources s;
    s.mydate = QStringLiteral("Tuesday, March 3, 2026");
    s.mytime = QStringLiteral("2:05:09 PM");
    s.totaltime = 612.3456;
    s.field1 = QStringLiteral("50");
    s.field4 = QStringLiteral("7");
    s.field3 = QStringLiteral("0.45");
    s.estimate = QStringLiteral("46");
    s.percent1 = QStringLiteral("80%");
    s.percent2 = QStringLiteral("100%");
    s.percent3 = QStringLiteral("120%");
    s.quick1 = s.corrected1 = QStringLiteral("37");
    s.quick2 = s.corrected2 = QStringLiteral("46");
    s.quick3 = s.corrected3 = QStringLiteral("55");
    s.distanceM1 = s.distanceTarget = QStringLiteral("0");
    s.historyHeader = QStringLiteral("#    SETTING  ROUND MEP   DIFF");
    for (int i = rows; i >= 1; --i)
        s.history += QStringLiteral("%1   %2   %3   %4   %5\r")
                         .arg(i, 3, 10, QLatin1Char('0'))
                         .arg(40.0 + i / 10.0, 6, 'f', 2, QLatin1Char('0'))
                         .arg(40 + i / 10, 3, 10, QLatin1Char('0'))
                         .arg(i % 2 ? QStringLiteral("1.0") : QStringLiteral("0.0"))
                         .arg(7.0 / i, 7, 'f', 4, QLatin1Char('0'));
    return estimation::composeReport(s);
}

class Print : public OutputWindowTest {
protected:
    void SetUp() override
    {
        OutputWindowTest::SetUp();
        if (!havePdfToText())
            GTEST_SKIP() << "pdftotext is not installed";
        pdfPath = dir.filePath(QStringLiteral("report.pdf"));
    }

    // Prints the field and reads the PDF back.
    std::vector<PrintedLine> printed(int* pages)
    {
        print();
        EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
        return readPdfLines(pdfPath, pages);
    }
};

TEST_F(Print, EveryLineOnceInOrderInWholePages)
{
    const QString report = reportWithRows(200);
    QStringList lines = report.split(QLatin1Char('\r'));
    lines.removeLast();  // the end of the last line
    ASSERT_EQ(lines.size(), 236);
    window()->EditField1()->setText(report);

    const long long yieldsBefore = fw::backgroundTaskCalls();
    int pages = 0;
    const std::vector<PrintedLine> got = printed(&pages);
    ASSERT_FALSE(got.empty());

    // The line pitch, from two lines printed one under the other.
    ASSERT_EQ(got[1].text, QStringLiteral("Adaptive P.E.S.T."));
    const double pitch = (got[1].top - got[0].top) / 2.0;  // a blank line lies between
    ASSERT_GT(pitch, 12.0);
    ASSERT_LT(pitch, 16.0);
    const int perPage = int(std::floor(kBlockHeight / pitch + 1e-6));
    const int expectedPages = (int(lines.size()) + perPage - 1) / perPage;
    EXPECT_EQ(pages, expectedPages) << "no empty sheet after the last block";
    EXPECT_EQ(fw::backgroundTaskCalls() - yieldsBefore, expectedPages) << "one yield per page";

    // Each printed line is the report line whose place it holds: page by
    // page, perPage lines from the top of the block.
    QStringList expectedText;
    for (const QString& l : lines)
        if (!words(l).isEmpty())
            expectedText << words(l);
    QStringList gotText;
    for (const PrintedLine& l : got) {
        gotText << l.text;
        SCOPED_TRACE(l.text.toStdString());
        const double slot = (l.top - got[0].top) / pitch;
        ASSERT_NEAR(slot, std::round(slot), 0.05) << "on the line grid";
        const int index = (l.page - 1) * perPage + int(std::round(slot));
        ASSERT_LT(index, lines.size());
        EXPECT_EQ(l.text, words(lines[index]));
        EXPECT_GE(l.top, kBlockTop - 1.0);
        EXPECT_LE(l.bottom, kBlockTop + kBlockHeight) << "never cut at the foot of the block";
    }
    EXPECT_EQ(gotText, expectedText) << "every line once, in order";
    EXPECT_EQ(window()->EditField1()->Text(), report);
}

TEST_F(Print, EditsAndLongLinesArePrinted)
{
    window()->EditField1()->setText(QStringLiteral("First line\r\rLast line\r"));
    window()->EditField1()->textEdit()->moveCursor(QTextCursor::End);
    QTest::keyClicks(window()->EditField1()->textEdit(), QStringLiteral("typed by the operator"));
    const QString longLine = QStringLiteral("word ").repeated(40).trimmed();  // 199 characters
    window()->EditField1()->setText(window()->EditField1()->Text() + QStringLiteral("\r") + longLine);

    int pages = 0;
    const std::vector<PrintedLine> got = printed(&pages);
    EXPECT_EQ(pages, 1);
    ASSERT_GE(got.size(), 5u);
    EXPECT_EQ(got[0].text, QStringLiteral("First line"));
    EXPECT_EQ(got[1].text, QStringLiteral("Last line"));
    EXPECT_EQ(got[2].text, QStringLiteral("typed by the operator"));
    // The long line wraps within the 540-point width, words kept whole.
    QStringList wrapped;
    for (std::size_t i = 3; i < got.size(); ++i)
        wrapped << got[i].text;
    EXPECT_GE(wrapped.size(), 3);
    EXPECT_EQ(wrapped.join(QLatin1Char(' ')), longLine);
}

TEST_F(Print, CancelledOrFailedPrintLosesNothing)
{
    const QString report = reportWithRows(3);
    struct Case {
        const char* name;
        QString pdf;
        bool said;
    };
    const Case cases[] = {
        {"cancelled", QString(), false},
        {"a PDF that cannot be written", QStringLiteral("/proc/quorvel-report.pdf"), true},
        {"into a folder that does not exist", dir.filePath(QStringLiteral("missing/report.pdf")), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages.clear();
        pdfPath = c.pdf;
        window()->EditField1()->setText(report);
        print();
        ASSERT_EQ(messages.size(), c.said ? 1 : 0);
        if (c.said) {
            EXPECT_TRUE(messages[0].startsWith(QStringLiteral("The report could not be printed: ")));
            EXPECT_TRUE(messages[0].contains(c.pdf)) << messages[0].toStdString();
        }
        EXPECT_EQ(window()->EditField1()->Text(), report);
        EXPECT_FALSE(window()->closed());
    }
    EXPECT_EQ(printDialogs, 3);
}

} // namespace
