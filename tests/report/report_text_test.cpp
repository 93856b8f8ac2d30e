// The report text: a whole report against a golden text written out line by
// line, the line-end rules for any sources, and the lines that change with
// the method, the total time and the state of the window.
#include "estimation/core/report_text.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

const QString kCR = QStringLiteral("\r");

// The sources as a finished Adaptive PEST run leaves them, three rows.
estimation::ReportSources finishedRun()
{
    estimation::ReportSources s;
    s.mydate = QStringLiteral("Tuesday, March 3, 2026");
    s.mytime = QStringLiteral("2:05:09 PM");
    s.totaltime = 61.25;
    s.field1 = QStringLiteral("50");
    s.field4 = QStringLiteral("7");
    s.field3 = QStringLiteral(".45");
    s.estimate = QStringLiteral("46");
    s.percent1 = QStringLiteral("80%");
    s.percent2 = QStringLiteral("100%");
    s.percent3 = QStringLiteral("120%");
    s.quick1 = QStringLiteral("37");
    s.quick2 = QStringLiteral("46");
    s.quick3 = QStringLiteral("55");
    s.distanceM1 = QStringLiteral("14");
    s.distanceTarget = QStringLiteral("17.5");
    s.corrected1 = QStringLiteral("40");
    s.corrected2 = QStringLiteral("50");
    s.corrected3 = QStringLiteral("60");
    s.historyHeader = QStringLiteral("#    SETTING  ROUND MEP   DIFF");
    s.history = QStringLiteral("3    46.00    46    1     0.44\r2    46.44    46    0     3.56\r1    50.00    50    1     0.00\r");
    return s;
}

QStringList linesOf(const QString& report)
{
    QStringList lines = report.split(kCR);
    EXPECT_EQ(lines.last(), QString()) << "the report ends with a carriage return";
    lines.removeLast();
    return lines;
}

TEST(ReportText, FinishedRunMatchesTheGoldenText)
{
    const QStringList expected = {
        QStringLiteral("__________________________________"),
        QString(),
        QStringLiteral("Adaptive P.E.S.T."),
        QStringLiteral("Quorvel"),
        QStringLiteral("Written by the Quorvel developers"),
        QStringLiteral("The Quorvel Project"),
        QStringLiteral("Resting motor threshold estimation"),
        QStringLiteral("for transcranial magnetic stimulation"),
        QStringLiteral("__________________________________"),
        QString(),
        QStringLiteral("Tuesday, March 3, 2026"),
        QStringLiteral("2:05:09 PM"),
        QStringLiteral("Total Assessment Time = 61.25 seconds"),
        QString(),
        QStringLiteral("Method: Adaptive PEST"),
        QStringLiteral("Starting Value = 50"),
        QStringLiteral("Step Size = 7"),
        QStringLiteral("Difference Threshold = .45"),
        QString(),
        QStringLiteral("Resting Motor Threshold = 46"),
        QString(),
        QStringLiteral("QUICK REFERENCE:"),
        QStringLiteral("80% = 37"),
        QStringLiteral("100% = 46"),
        QStringLiteral("120% = 55"),
        QString(),
        QStringLiteral("DISTANCE CORRECTION:"),
        QStringLiteral("Distance from M1 = 14 mm"),
        QStringLiteral("Distance from cortical target = 17.5 mm"),
        QStringLiteral("80% = 40"),
        QStringLiteral("100% = 50"),
        QStringLiteral("120% = 60"),
        QString(),
        QStringLiteral("HISTORY:"),
        QStringLiteral("#    SETTING  ROUND MEP   DIFF"),
        QStringLiteral("3    46.00    46    1     0.44"),
        QStringLiteral("2    46.44    46    0     3.56"),
        QStringLiteral("1    50.00    50    1     0.00"),
        QString(),
    };
    const QString report = estimation::composeReport(finishedRun());
    EXPECT_EQ(report, expected.join(kCR) + kCR);
    EXPECT_EQ(linesOf(report).size(), 36 + 3);
}

// Whatever the sources hold, the report has 36 + n lines, carriage returns
// alone, and ends with a blank line.
TEST(ReportText, LineEndsForAnySources)
{
    struct Case {
        const char* name;
        int rows;
        bool ml;
    };
    const Case cases[] = {{"no history", 0, false}, {"one row", 1, true}, {"200 rows", 200, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        estimation::ReportSources s = finishedRun();
        s.mlPest = c.ml;
        s.history.clear();
        for (int i = c.rows; i >= 1; --i)
            s.history += QStringLiteral("%1    50.00    50    1     0.00\r").arg(i);
        const QString report = estimation::composeReport(s);
        EXPECT_FALSE(report.contains(QLatin1Char('\n')));
        EXPECT_TRUE(report.endsWith(QStringLiteral("\r\r")));
        EXPECT_EQ(linesOf(report).size(), 36 + c.rows);
        EXPECT_TRUE(report.startsWith(QStringLiteral("__________________________________\r\rAdaptive P.E.S.T.\r")));
    }
}

// The lines that depend on the sources, by line number (1-based).
TEST(ReportText, LinesThatFollowTheWindow)
{
    struct Case {
        const char* name;
        void (*change)(estimation::ReportSources&);
        std::vector<std::pair<int, const char*>> lines;
    };
    const Case cases[] = {
        {"right after opening",
         [](estimation::ReportSources& s) {
             s = {};
             s.field1 = QStringLiteral("50");
             s.field4 = QStringLiteral("7");
             s.field3 = QStringLiteral(".45");
             s.quick1 = s.quick2 = s.quick3 = QStringLiteral("###");
             s.corrected1 = s.corrected2 = s.corrected3 = QStringLiteral("###");
             s.distanceM1 = s.distanceTarget = QStringLiteral("0");
             s.historyHeader = QStringLiteral("#    SETTING  ROUND MEP   DIFF");
         },
         {{11, ""}, {12, ""}, {13, "Total Assessment Time = 0 seconds"}, {20, "Resting Motor Threshold = "},
          {23, " = ###"}, {28, "Distance from M1 = 0 mm"}, {35, "#    SETTING  ROUND MEP   DIFF"}, {36, ""}}},
        {"ML-PEST ticked",
         [](estimation::ReportSources& s) {
             s.mlPest = true;
             s.field1 = QStringLiteral("20");
             s.field4 = QStringLiteral("80");
             s.field3 = QStringLiteral("5");
         },
         {{3, "Adaptive P.E.S.T."}, {15, "Method: Maximum-Likelihood PEST"}, {16, "Lower Bound = 20"},
          {17, "Upper Bound = 80"}, {18, "Spread = 5"}}},
        {"after Reset",
         [](estimation::ReportSources& s) {
             s.estimate.clear();
             s.quick1 = s.quick2 = s.quick3 = QStringLiteral("00");
             s.corrected1 = s.corrected2 = s.corrected3 = QStringLiteral("00");
             s.history.clear();
         },
         {{11, "Tuesday, March 3, 2026"}, {13, "Total Assessment Time = 61.25 seconds"},
          {20, "Resting Motor Threshold = "}, {24, "100% = 00"}, {32, "120% = 00"}, {36, ""}}},
        {"empty fields give empty values",
         [](estimation::ReportSources& s) {
             s.field1.clear();
             s.distanceTarget.clear();
             s.percent2.clear();
         },
         {{16, "Starting Value = "}, {29, "Distance from cortical target =  mm"}, {24, " = 46"}, {31, " = 50"}}},
        {"total time: small, long and with many decimals",
         [](estimation::ReportSources& s) { s.totaltime = 0.015625; }, {{13, "Total Assessment Time = .015625 seconds"}}},
        {"total time of a long run", [](estimation::ReportSources& s) { s.totaltime = 1234.5678901234; },
         {{13, "Total Assessment Time = 1234.5678901234 seconds"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        estimation::ReportSources s = finishedRun();
        c.change(s);
        const QStringList lines = linesOf(estimation::composeReport(s));
        for (const auto& [number, text] : c.lines) {
            SCOPED_TRACE(number);
            ASSERT_LT(number - 1, lines.size());
            EXPECT_EQ(lines[number - 1], QString::fromUtf8(text));
        }
    }
}

} // namespace
