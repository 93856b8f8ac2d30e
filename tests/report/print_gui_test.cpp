// "Print" through a PDF read back with pdftotext: every line of a 200-row
// report once, in order, in its place on its page, on every paper size and
// orientation, pages of whole lines only and no empty sheet at the end; the
// dialog's copies, page range and page order; the next print starts from
// the last one's paper; edits printed; long lines wrapped; a cancelled or
// failed print loses nothing.
#include "estimation/core/report_text.h"
#include "framework/core/background.h"
#include "tests/report/report_fixture.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
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

// The report's lines as pdftotext gives them back: blank lines leave none.
QStringList printableLines(const QStringList& lines)
{
    QStringList out;
    for (const QString& l : lines)
        if (!words(l).isEmpty())
            out << words(l);
    return out;
}

QStringList texts(const std::vector<PrintedLine>& lines, int page = 0)
{
    QStringList out;
    for (const PrintedLine& l : lines)
        if (page == 0 || l.page == page)
            out << l.text;
    return out;
}

TEST_F(Print, EveryLineOnceInOrderOnEveryPaper)
{
    const QString report = reportWithRows(200);
    QStringList lines = report.split(QLatin1Char('\r'));
    lines.removeLast();  // the end of the last line
    ASSERT_EQ(lines.size(), 236);
    window()->EditField1()->setText(report);

    struct Case {
        const char* name;
        QPageSize::PageSizeId paper;
        QPageLayout::Orientation orientation;
        double width, height;  // of the sheet, in points
    };
    const Case cases[] = {
        {"Letter", QPageSize::Letter, QPageLayout::Portrait, 612, 792},
        {"A4 portrait", QPageSize::A4, QPageLayout::Portrait, 595.3, 841.9},
        {"A4 landscape", QPageSize::A4, QPageLayout::Landscape, 841.9, 595.3},
        {"A5 portrait", QPageSize::A5, QPageLayout::Portrait, 419.5, 595.3},
        {"A5 landscape", QPageSize::A5, QPageLayout::Landscape, 595.3, 419.5},
        {"Legal", QPageSize::Legal, QPageLayout::Portrait, 612, 1008},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setUpPrinter = [&c](QPrinter& printer) {
            printer.setPageSize(QPageSize(c.paper));
            printer.setPageOrientation(c.orientation);
        };
        const long long yieldsBefore = fw::backgroundTaskCalls();
        int pages = 0;
        const std::vector<PrintedLine> got = printed(&pages);
        ASSERT_GT(got.size(), 2u);

        // The line pitch, from two lines printed one under the other.
        ASSERT_EQ(got[1].text, QStringLiteral("Adaptive P.E.S.T."));
        const double pitch = (got[1].top - got[0].top) / 2.0;  // a blank line lies between
        ASSERT_GT(pitch, 12.0);
        ASSERT_LT(pitch, 16.0);
        // A block is the 720 points asked for, or the printable height when less.
        const double block = std::min(kBlockHeight, std::floor(c.height - 2 * kBlockTop));
        const int perPage = int(std::floor(block / pitch + 1e-6));
        const int expectedPages = (int(lines.size()) + perPage - 1) / perPage;
        EXPECT_EQ(pages, expectedPages) << "no empty sheet after the last block";
        EXPECT_EQ(fw::backgroundTaskCalls() - yieldsBefore, expectedPages) << "one yield per page";

        // Each printed line is the report line whose place it holds: page by
        // page, perPage lines from the top of the block, inside the sheet.
        for (const PrintedLine& l : got) {
            SCOPED_TRACE(l.text.toStdString());
            const double slot = (l.top - got[0].top) / pitch;
            ASSERT_NEAR(slot, std::round(slot), 0.05) << "on the line grid";
            const int index = (l.page - 1) * perPage + int(std::round(slot));
            ASSERT_LT(index, lines.size());
            EXPECT_EQ(l.text, words(lines[index]));
            EXPECT_GE(l.top, kBlockTop - 1.0);
            EXPECT_LE(l.bottom, kBlockTop + block) << "never cut at the foot of the page";
            EXPECT_LE(l.right, c.width - 27.0) << "never past the right margin";
        }
        EXPECT_EQ(texts(got), printableLines(lines)) << "every line once, in order";

        // The sheet is the paper chosen.
        QProcess info;
        info.start(QStringLiteral("pdfinfo"), {pdfPath});
        ASSERT_TRUE(info.waitForFinished(30'000));
        static const QRegularExpression size(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+) pts"));
        const auto m = size.match(QString::fromUtf8(info.readAllStandardOutput()));
        ASSERT_TRUE(m.hasMatch());
        EXPECT_NEAR(m.captured(1).toDouble(), c.width, 1.0);
        EXPECT_NEAR(m.captured(2).toDouble(), c.height, 1.0);
    }
    EXPECT_EQ(window()->EditField1()->Text(), report);
}

TEST_F(Print, CopiesAndPageRangesAsTheDialogSays)
{
    const QString report = reportWithRows(100);  // three pages on Letter
    window()->EditField1()->setText(report);
    setUpPrinter = [](QPrinter& printer) { printer.setPageSize(QPageSize(QPageSize::Letter)); };
    int pages = 0;
    const std::vector<PrintedLine> once = printed(&pages);
    ASSERT_EQ(pages, 3);
    QStringList page[4];
    for (int p = 1; p <= 3; ++p)
        page[p] = texts(once, p);

    struct Case {
        const char* name;
        int copies;
        bool collate;
        int from, to;  // 0, 0: every page
        bool reverse;  // "Reverse": the last page first
        std::vector<int> sheets;  // the report page on each sheet printed
    };
    const Case cases[] = {
        {"two collated copies", 2, true, 0, 0, false, {1, 2, 3, 1, 2, 3}},
        {"two copies, not collated", 2, false, 0, 0, false, {1, 1, 2, 2, 3, 3}},
        {"pages 1 to 1, two copies", 2, true, 1, 1, false, {1, 1}},
        {"pages 2 to 3", 1, true, 2, 3, false, {2, 3}},
        {"page 3, three copies not collated", 3, false, 3, 3, false, {3, 3, 3}},
        {"pages 2 to 9 of three", 1, true, 2, 9, false, {2, 3}},
        {"reverse", 1, true, 0, 0, true, {3, 2, 1}},
        {"reverse, two collated copies", 2, true, 0, 0, true, {3, 2, 1, 3, 2, 1}},
        {"reverse, two copies not collated", 2, false, 0, 0, true, {3, 3, 2, 2, 1, 1}},
        {"reverse, pages 1 to 2", 1, true, 1, 2, true, {2, 1}},
        {"first page first again", 1, true, 0, 0, false, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setUpPrinter = [&c](QPrinter& printer) {
            printer.setPageSize(QPageSize(QPageSize::Letter));
            printer.setCopyCount(c.copies);
            printer.setCollateCopies(c.collate);
            printer.setPageOrder(c.reverse ? QPrinter::LastPageFirst : QPrinter::FirstPageFirst);
            if (c.from) {
                printer.setPrintRange(QPrinter::PageRange);
                printer.setFromTo(c.from, c.to);
            }
        };
        const std::vector<PrintedLine> got = printed(&pages);
        ASSERT_EQ(pages, int(c.sheets.size()));
        for (int sheet = 1; sheet <= pages; ++sheet) {
            SCOPED_TRACE(sheet);
            EXPECT_EQ(texts(got, sheet), page[c.sheets[sheet - 1]]);
        }
    }
    EXPECT_EQ(window()->EditField1()->Text(), report);
}

// What the printer held when the dialog opened.
struct DialogStart {
    QPageSize::PageSizeId paper;
    QPageLayout::Orientation orientation;
    QMarginsF margins;  // points
    QPrinter::PageOrder order;
    int copies;
    QPrinter::PrintRange range;
};

TEST_F(Print, TheNextPrintStartsFromTheLastOnesPaper)
{
    window()->EditField1()->setText(reportWithRows(100));
    std::vector<DialogStart> starts;
    // The fixture has set the PDF file by now; nothing else of the dialog.
    auto record = [&starts](QPrinter& printer) {
        const QPageLayout layout = printer.pageLayout();
        starts.push_back({layout.pageSize().id(), layout.orientation(), layout.margins(QPageLayout::Point),
                          printer.pageOrder(), printer.copyCount(), printer.printRange()});
    };
    // The first print: A4 landscape, wider margins, reversed, pages 1 to 2,
    // two copies.
    setUpPrinter = [&](QPrinter& printer) {
        record(printer);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageOrientation(QPageLayout::Landscape);
        printer.setPageMargins(QMarginsF(40, 30, 40, 30), QPageLayout::Point);
        printer.setPageOrder(QPrinter::LastPageFirst);
        printer.setCopyCount(2);
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(1, 2);
    };
    int pages = 0;
    printed(&pages);
    EXPECT_EQ(pages, 4);
    // The second and third: the dialog answered as it opens.
    setUpPrinter = record;
    const std::vector<PrintedLine> second = printed(&pages);
    printed(&pages);
    ASSERT_EQ(starts.size(), 3u);
    for (std::size_t i = 1; i < starts.size(); ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(starts[i].paper, QPageSize::A4);
        EXPECT_EQ(starts[i].orientation, QPageLayout::Landscape);
        EXPECT_NEAR(starts[i].margins.left(), 40, 0.5);
        EXPECT_NEAR(starts[i].margins.top(), 30, 0.5);
        EXPECT_EQ(starts[i].order, QPrinter::LastPageFirst) << "Reverse stays ticked";
        // A job's own choices start afresh.
        EXPECT_EQ(starts[i].copies, 1);
        EXPECT_EQ(starts[i].range, QPrinter::AllPages);
    }
    // The paper of the PDF itself, and the pages last to first on it.
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdfPath});
    ASSERT_TRUE(info.waitForFinished(10000));
    const QString out = QString::fromUtf8(info.readAllStandardOutput());
    const auto size = QRegularExpression(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts")).match(out);
    ASSERT_TRUE(size.hasMatch()) << out.toStdString();
    EXPECT_NEAR(size.captured(1).toDouble(), 841.9, 1.0);
    EXPECT_NEAR(size.captured(2).toDouble(), 595.3, 1.0);
    // Reversed: the sheets of a print in page order, last to first.
    const int reversedPages = pages;
    ASSERT_GE(reversedPages, 2);
    setUpPrinter = [](QPrinter& printer) { printer.setPageOrder(QPrinter::FirstPageFirst); };
    const std::vector<PrintedLine> forward = printed(&pages);
    ASSERT_EQ(pages, reversedPages);
    for (int sheet = 1; sheet <= pages; ++sheet)
        EXPECT_EQ(texts(second, sheet), texts(forward, pages + 1 - sheet)) << "sheet " << sheet;
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
