// The plot and the history as the real window shows them after response
// keys: the large number, every history row of a scripted run against rows
// worked out by hand, the plot picture's pixels (marks, estimate line,
// threshold line, the splash covered), the canvas showing the picture, a
// step size of 0 (keys before Start) drawing no green item and no threshold,
// and the history staying in view with the newest row on top.

#include "framework/core/text.h"
#include "tests/support/main_window.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QScrollBar>

#include <cmath>

namespace {

using quorvel::test::MainWindowTest;

class Plot : public MainWindowTest {
protected:
    QColor pixel(int x, int y) const { return w->p->image().pixelColor(x, y); }

    // Pixels of the picture close to a colour, e.g. pure green or red.
    int count(const QColor& c) const
    {
        const QImage img = w->p->image();
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += img.pixelColor(x, y) == c;
        return n;
    }

    // Rows of the history as lines, newest first.
    QStringList rows() const
    {
        QString text = w->EditField2()->Text();
        EXPECT_TRUE(text.isEmpty() || text.endsWith(QChar(13)));
        text.chop(1);
        return text.isEmpty() ? QStringList() : text.split(QChar(13));
    }
};

const QColor kBlack(0, 0, 0), kGreen(0, 255, 0), kRed(255, 0, 0), kBlue(0, 0, 255), kWhite(255, 255, 255);

TEST_F(Plot, ScriptedAdaptiveRunShowsEveryRowAndMark)
{
    // From 50 with step 4: failure, failure, success give 54, 58, 56 (the
    // third trial reverses and halves the step).
    start(QStringLiteral("50"), QStringLiteral("4"), QStringLiteral(".45"));
    EXPECT_TRUE(w->EditField2()->Text().isEmpty());
    pressAll(QStringLiteral("0"));
    EXPECT_EQ(w->EditField2()->Text(), QStringLiteral("01   050.00   050   0.0   04.0000\r"));
    pressAll(QStringLiteral("01"));
    EXPECT_EQ(rows(), (QStringList{QStringLiteral("03   058.00   058   1.0   02.0000"),
                                   QStringLiteral("02   054.00   054   0.0   04.0000"),
                                   QStringLiteral("01   050.00   050   0.0   04.0000")}));
    EXPECT_EQ(w->StaticText4()->Text(), QStringLiteral("56"));
    EXPECT_EQ(w->StaticText4()->TextColor(), kBlack);

    // Trial k at x = 550 / 4 x k; output o at y = 387 - 4 o; change d at
    // y = 387 - d x 387 / 8. Marks are 6 x 6 from those corners.
    const double s = 550.0 / 4.0;
    const double outputs[] = {54, 58, 56}, changes[] = {4, 4, 2};
    for (int k = 1; k <= 3; ++k) {
        SCOPED_TRACE(k);
        const int x = fw::CInt32(s * k) + 3;
        EXPECT_EQ(pixel(x, fw::CInt32(387.0 - 4.0 * outputs[k - 1]) + 3), kBlack);
        EXPECT_EQ(pixel(x, fw::CInt32(387.0 - changes[k - 1] * 387.0 / 8.0) + 3), kGreen);
    }
    // The estimate line under the last output (y = 163 + 5), the threshold
    // 0.45 at Int(387 - 0.45 x 48.375) = 365, the grid line of trial 0.
    EXPECT_EQ(pixel(300, 169), kBlue);
    EXPECT_EQ(pixel(300, 366), kRed);
    EXPECT_EQ(pixel(5, 100), QColor(200, 200, 200));
    // Nothing of the splash picture is left; the canvas shows the plot.
    EXPECT_EQ(pixel(545, 2), kWhite);
    const QImage shown = w->Canvas1()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown, w->p->image().convertToFormat(QImage::Format_RGB32));
}

TEST_F(Plot, RowsFollowTheTrialsOfBothMethods)
{
    // Each row from the values of its own trial, newest first, worked out
    // from the outputs the window went through.
    for (const bool ml : {false, true}) {
        SCOPED_TRACE(ml ? "ML-PEST" : "Adaptive PEST");
        w->PushButton3_Action(w->PushButton3());
        if (ml)
            start(QStringLiteral("20"), QStringLiteral("80"), QStringLiteral("7"), true);
        else
            start(QStringLiteral("50"), QStringLiteral("7"), QStringLiteral(".45"));
        QStringList want;
        const QString script = QStringLiteral("1101001011");
        for (int k = 1; k <= script.size(); ++k) {
            const double before = ml ? w->curstim : w->mysetting;
            const int response = script[k - 1] == u'1' ? 1 : 0;
            const double change = ml ? std::abs(w->curstim - w->laststim) : 0.0;
            press(QString(script[k - 1]));
            const double after = w->mysetting;
            const double d = ml ? change : std::abs(after - before);
            want.prepend(fw::Format(k, QStringLiteral("00")) + QStringLiteral("   ") +
                         fw::Format(before, QStringLiteral("000.00")) + QStringLiteral("   ") +
                         fw::Format(fw::Round(before), QStringLiteral("000")) + QStringLiteral("   ") +
                         fw::Format(response, QStringLiteral("0.0")) + QStringLiteral("   ") +
                         fw::Format(d, QStringLiteral("00.0000")));
            EXPECT_EQ(w->StaticText4()->Text(), fw::Format(fw::Round(after), QStringLiteral("##0")));
            EXPECT_EQ(w->settinglog[std::size_t(k)], after);
            EXPECT_EQ(w->diflog[std::size_t(k)], d);
        }
        EXPECT_EQ(rows(), want);
    }
}

TEST_F(Plot, StepSizeZeroDrawsNoGreenItemAndNoThreshold)
{
    // Keys before Start: startstep is still 0 under Adaptive PEST.
    ASSERT_EQ(w->startstep, 0);
    pressAll(QStringLiteral("1010"));
    ASSERT_EQ(w->stepnum, 4);
    EXPECT_EQ(count(kGreen), 0);
    EXPECT_EQ(count(kRed), 0);
    EXPECT_GT(count(kBlack), 4 * 20);
    EXPECT_GT(count(kBlue), 0);

    // A Start with step "0" and one with a non-numeric step alike.
    for (const char* step : {"0", "abc", "0.4"}) {
        SCOPED_TRACE(step);
        w->PushButton3_Action(w->PushButton3());
        start(QStringLiteral("50"), QString::fromLatin1(step), QStringLiteral(".45"));
        pressAll(QStringLiteral("01"));
        EXPECT_EQ(count(kGreen), 0);
        EXPECT_EQ(count(kRed), 0);
    }
    // Under ML-PEST the scale is fixed, whatever the step.
    w->PushButton3_Action(w->PushButton3());
    start(QStringLiteral("20"), QStringLiteral("80"), QStringLiteral("7"), true);
    pressAll(QStringLiteral("01"));
    EXPECT_GT(count(kGreen), 0);
    EXPECT_GT(count(kRed), 0);
}

TEST_F(Plot, ResetShowsTheSplashAndAnEmptyHistoryUntilTheNextKey)
{
    start(QStringLiteral("50"), QStringLiteral("7"), QStringLiteral(".45"));
    pressAll(QStringLiteral("10"));
    w->PushButton3_Action(w->PushButton3());
    EXPECT_TRUE(w->EditField2()->Text().isEmpty());
    EXPECT_NE(pixel(545, 2), kWhite);  // the splash is back
    press(QStringLiteral("1"));
    EXPECT_EQ(rows().size(), 1);
    EXPECT_TRUE(rows().front().startsWith(QStringLiteral("01   ")));
    EXPECT_EQ(pixel(545, 2), kWhite);
}

TEST_F(Plot, TheNewestRowStaysInViewAndTrialHundredShiftsItsRow)
{
    start(QStringLiteral("50"), QStringLiteral("7"), QStringLiteral("0"));
    QPlainTextEdit* edit = w->EditField2()->textEdit();
    for (int k = 1; k <= 100; ++k) {
        press(k % 3 ? QStringLiteral("1") : QStringLiteral("0"));
        if (k == 40) {
            // The operator scrolls down to read old rows; the next trial
            // brings the newest one back, as replacing the text would.
            edit->verticalScrollBar()->setValue(edit->verticalScrollBar()->maximum());
        }
    }
    EXPECT_EQ(edit->verticalScrollBar()->value(), 0);
    const QStringList all = rows();
    ASSERT_EQ(all.size(), 100);
    EXPECT_TRUE(all[0].startsWith(QStringLiteral("100   ")));
    EXPECT_EQ(all[0].size(), 34);
    EXPECT_TRUE(all[1].startsWith(QStringLiteral("99   ")));
    EXPECT_TRUE(all[99].startsWith(QStringLiteral("01   ")));
}

} // namespace
