// Run control of the main window: Start for both methods, Reset, and the
// method switch with its refill of the three parameter fields.

#include "estimation/core/ml_pest.h"
#include "framework/core/text.h"
#include "tests/support/main_window.h"

#include <gtest/gtest.h>

namespace {

using quorvel::test::MainWindowTest;

class RunControl : public MainWindowTest {};

TEST_F(RunControl, AdaptiveStartReadsTheFieldsAndLocksThem)
{
    const struct {
        const char *first, *step, *diff;
        double mysetting, mystep;
        int startstep;
        double mydiff;
        const char* shown;
    } cases[] = {
        {"50", "7", ".45", 50.0, 7.0, 7, 0.45, "50"},
        {"", "7", ".45", 0.0, 7.0, 7, 0.45, "0"},
        {"49.5", "2.5", "x", 49.5, 2.5, 3, 0.0, "50"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        w->PushButton3_Action(w->PushButton3());
        start(QString::fromLatin1(c.first), QString::fromLatin1(c.step), QString::fromLatin1(c.diff));
        EXPECT_EQ(w->mysetting, c.mysetting);
        EXPECT_EQ(w->mystep, c.mystep);
        EXPECT_EQ(w->startstep, c.startstep);
        EXPECT_EQ(w->mydiff, c.mydiff);
        EXPECT_EQ(w->StaticText4()->Text(), QString::fromLatin1(c.shown));
        EXPECT_EQ(w->StaticText5()->Text(), QStringLiteral("Next Output to Try:"));
        EXPECT_EQ(w->StaticText6()->Text(), QStringLiteral("Success = 1     Failure = 0"));
        for (auto* f : {w->EditField1(), w->EditField3(), w->EditField4(), w->EditField6(), w->EditField7()})
            EXPECT_TRUE(f->ReadOnly());
        EXPECT_FALSE(w->PushButton1()->isEnabled());
        EXPECT_FALSE(w->CheckBox1()->isEnabled());
        EXPECT_FALSE(w->mydate.isEmpty());
        EXPECT_FALSE(w->mytime.isEmpty());
        EXPECT_EQ(w->stepnum, 0);
        // Start shows the first output; it announces nothing.
        EXPECT_EQ(w->Timer1()->Mode(), 0);
        EXPECT_TRUE(sounds.playLog().isEmpty());
    }
}

TEST_F(RunControl, MlStartSeedsTheBoundsAndShowsTheFirstProposalUnrounded)
{
    const struct {
        const char *lower, *upper, *spread, *shown;
    } cases[] = {{"20", "80", "7", "45"}, {"30", "80", "10", "54.41907"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        w->PushButton3_Action(w->PushButton3());
        w->CheckBox1()->setValue(true);  // the switch loads the preferences
        w->nrstimulus = 37;              // left from an earlier run
        w->lowbound = 11;
        w->upbound = 12;
        w->myspread = 13;
        start(QString::fromLatin1(c.lower), QString::fromLatin1(c.upper), QString::fromLatin1(c.spread), true);

        estimation::MlPest independent;
        independent.startBestPest(fw::CInt32(fw::CDbl(QString::fromLatin1(c.lower))),
                                  fw::CInt32(fw::CDbl(QString::fromLatin1(c.upper))));
        const double first = independent.finalThreshold(fw::CDbl(QString::fromLatin1(c.spread)));

        EXPECT_EQ(w->nrstimulus, 2);
        EXPECT_EQ(w->staerken[1], fw::CDbl(QString::fromLatin1(c.lower)));
        EXPECT_EQ(w->erfolge[1], 0.0);
        EXPECT_EQ(w->staerken[2], fw::CDbl(QString::fromLatin1(c.upper)));
        EXPECT_EQ(w->erfolge[2], 1.0);
        EXPECT_EQ(w->teststim, first);
        EXPECT_EQ(w->curstim, first);
        EXPECT_EQ(w->laststim, 0.0);
        EXPECT_EQ(w->StaticText4()->Text(), QString::fromLatin1(c.shown));
        // The fields seed this run only.
        EXPECT_EQ(w->lowbound, 11);
        EXPECT_EQ(w->upbound, 12);
        EXPECT_EQ(w->myspread, 13);
        EXPECT_FALSE(w->PushButton1()->isEnabled());
    }
}

TEST_F(RunControl, TheLockedMethodBoxStaysReadableDuringARun)
{
    start(QStringLiteral("50"), QStringLiteral("7"), QStringLiteral(".45"));
    ASSERT_FALSE(w->CheckBox1()->isEnabled());
    const QColor caption = w->CheckBox1()->palette().color(QPalette::Disabled, QPalette::WindowText);
    const QColor back = w->content()->palette().color(QPalette::Window);
    EXPECT_GT(std::abs(caption.lightness() - back.lightness()), 60)
        << "caption " << caption.name().toStdString() << " on " << back.name().toStdString();
}

TEST_F(RunControl, KeyLegendNamesTheKeysAtStart)
{
    const struct {
        int success, fail;
        bool successall;
        const char* legend;
    } cases[] = {
        {121, 110, false, "Success = y     Failure = n"},
        {32, 127, false, "Success = SPACE     Failure = DELETE"},
        {8, 13, false, "Success = DELETE     Failure = ENTER"},
        {121, 110, true, "Success = ANY     Failure = n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        w->PushButton3_Action(w->PushButton3());
        w->successkey = c.success;
        w->failkey = c.fail;
        w->successall = c.successall;
        start(QStringLiteral("50"), QStringLiteral("7"), QStringLiteral(".45"));
        EXPECT_EQ(w->StaticText6()->Text(), QString::fromLatin1(c.legend));
    }
}

TEST_F(RunControl, ResetAfterARunReturnsToReady)
{
    start(QStringLiteral("50"), QStringLiteral("7"), QStringLiteral("1"));
    pressAll(QStringLiteral("1010011"));
    ASSERT_EQ(w->stepnum, 7);
    w->BevelButton1()->setCaption(QStringLiteral("Undo"));
    const QString legend = w->StaticText6()->Text();

    w->PushButton3_Action(w->PushButton3());

    EXPECT_EQ(w->stepnum, 0);
    for (int k = 0; k <= 200; ++k) {
        ASSERT_EQ(w->settinglog[k], 0.0) << k;
        ASSERT_EQ(w->diflog[k], 0.0) << k;
        ASSERT_EQ(w->mep[k], 0) << k;
    }
    EXPECT_EQ(w->myrmt, 0.0);
    EXPECT_TRUE(w->PushButton1()->isEnabled());
    EXPECT_TRUE(w->CheckBox1()->isEnabled());
    for (auto* f : {w->EditField1(), w->EditField3(), w->EditField4(), w->EditField6(), w->EditField7()})
        EXPECT_FALSE(f->ReadOnly());
    EXPECT_EQ(w->StaticText4()->Text(), QString());
    EXPECT_EQ(w->StaticText4()->TextColor(), QColor(0, 0, 0));
    EXPECT_EQ(w->StaticText5()->Text(), QStringLiteral("Next Output to Try:"));
    for (auto* t : {w->StaticText7(), w->StaticText8(), w->StaticText9(), w->StaticText13(), w->StaticText14(),
                    w->StaticText15()})
        EXPECT_EQ(t->Text(), QStringLiteral("00"));
    EXPECT_EQ(w->EditField2()->Text(), QString());
    // Reset keeps the legend and the bevel caption.
    EXPECT_EQ(w->StaticText6()->Text(), legend);
    EXPECT_EQ(w->BevelButton1()->Caption(), QStringLiteral("Undo"));
    // The plot is the splash picture again.
    const auto splash = NewSplash();
    ASSERT_TRUE(splash && w->p);
    EXPECT_EQ(w->p->image().convertToFormat(QImage::Format_RGB32),
              splash->image().convertToFormat(QImage::Format_RGB32));
}

TEST_F(RunControl, MethodSwitchFillsTheFieldsFromThePreferencesAndEnds)
{
    w->EditField1()->setText(QStringLiteral("typed"));
    w->CheckBox1()->setValue(true);  // raises the switch, as a click does
    EXPECT_TRUE(w->CheckBox1()->Value());
    EXPECT_EQ(w->StaticText1()->Text(), QStringLiteral("Lower Bound:"));
    EXPECT_EQ(w->StaticText3()->Text(), QStringLiteral("Upper Bound:"));
    EXPECT_EQ(w->StaticText2()->Text(), QStringLiteral("Spread:"));
    EXPECT_EQ(w->EditField1()->Text(), QStringLiteral("20"));
    EXPECT_EQ(w->EditField4()->Text(), QStringLiteral("80"));
    EXPECT_EQ(w->EditField3()->Text(), QStringLiteral("7"));

    w->CheckBox1()->setValue(false);
    EXPECT_FALSE(w->CheckBox1()->Value());
    EXPECT_EQ(w->StaticText1()->Text(), QStringLiteral("Initial output value:"));
    EXPECT_EQ(w->StaticText3()->Text(), QStringLiteral("Step Size:"));
    EXPECT_EQ(w->StaticText2()->Text(), QStringLiteral("Diff. Threshold:"));
    EXPECT_EQ(w->EditField1()->Text(), QStringLiteral("50"));
    EXPECT_EQ(w->EditField4()->Text(), QStringLiteral("7"));
    EXPECT_EQ(w->EditField3()->Text(), QStringLiteral("0.45"));
}

// The file chooses ML-PEST: switching it off, against the file, still ends
// with the operator's choice, and the other way round.
class RunControlMlFile : public MainWindowTest {
protected:
    QStringList prefsFields() const override
    {
        QStringList f = MainWindowTest::prefsFields();
        f[14] = QStringLiteral("1");
        return f;
    }
};

TEST_F(RunControlMlFile, TheSwitchEndsWithTheOperatorsChoiceWhenTheFileDiffers)
{
    ASSERT_TRUE(w->CheckBox1()->Value()) << "the file's method at open";
    EXPECT_EQ(w->StaticText1()->Text(), QStringLiteral("Lower Bound:"));
    w->CheckBox1()->setValue(false);
    EXPECT_FALSE(w->CheckBox1()->Value());
    EXPECT_EQ(w->StaticText1()->Text(), QStringLiteral("Initial output value:"));
    EXPECT_EQ(w->EditField1()->Text(), QStringLiteral("50"));
    EXPECT_EQ(w->EditField3()->Text(), QStringLiteral("0.45"));
}

} // namespace
