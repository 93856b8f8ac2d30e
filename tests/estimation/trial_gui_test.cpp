// One trial per response key: the classification through the real window,
// the click and signal sounds, the Adaptive clamp and stopping rule, the
// ML-PEST stopping rule before recording, keys before Start, the limit of
// 200 trials, missing cue sounds, and the half-second wait with the keys
// typed during it.

#include "estimation/core/ml_pest.h"
#include "framework/core/text.h"
#include "tests/support/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>

namespace {

using quorvel::test::FakeSoundFactory;
using quorvel::test::kTickUs;
using quorvel::test::MainWindowTest;

class Trial : public MainWindowTest {
protected:
    int clicks() const { return sounds.sound(QStringLiteral("Click"))->playCount(); }
    int dings() const
    {
        auto* d = sounds.sound(QStringLiteral("ding2"));
        return d ? d->playCount() : 0;
    }
};

TEST_F(Trial, OnlyTheResponseKeysRunATrialAndEveryKeyIsHandled)
{
    start(QStringLiteral("50"), QStringLiteral("7"), QStringLiteral(".45"));
    press(QStringLiteral("2"));
    EXPECT_EQ(w->stepnum, 0);
    EXPECT_EQ(sounds.sound(QStringLiteral("Click")), nullptr) << "an ignored key plays nothing";
    EXPECT_EQ(w->Timer1()->Mode(), 0);

    w->Slider3()->setValue(40);
    press(QStringLiteral("1"));
    EXPECT_EQ(w->stepnum, 1);
    EXPECT_EQ(w->mep[1], 1);
    ASSERT_EQ(clicks(), 1);
    EXPECT_EQ(sounds.sound(QStringLiteral("Click"))->playVolumes().back(), 40);
    press(QStringLiteral("0"));
    EXPECT_EQ(w->stepnum, 2);
    EXPECT_EQ(w->mep[2], 0);
    EXPECT_EQ(clicks(), 2);
    EXPECT_EQ(w->Timer1()->Mode(), 2);
}

TEST_F(Trial, AdaptiveOutputIsClampedStrictlyToOneHundredAndOne)
{
    // The first trial moves by the whole start step: up on a failure, down
    // on a success.
    const struct {
        const char* first;
        const char* key;
        double want;
        int clipped;
    } cases[] = {
        {"97", "0", 100.0, 100},  // 104 is clamped
        {"93", "0", 100.0, 100},  // exactly 100 passes
        {"7", "1", 1.0, 1},       // 0 is clamped
        {"8", "1", 1.0, 1},       // exactly 1 passes
        {"-40", "0", 1.0, 1},     // -33 is clamped
        {"57.6", "0", 64.6, 65},  // rounded for the announcement
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        w->PushButton3_Action(w->PushButton3());
        start(QString::fromLatin1(c.first), QStringLiteral("7"), QStringLiteral("0"));
        press(QString::fromLatin1(c.key));
        EXPECT_DOUBLE_EQ(w->mysetting, c.want);
        EXPECT_EQ(w->lastsetting, fw::CDbl(QString::fromLatin1(c.first)));
        EXPECT_EQ(w->clippedThresh, c.clipped);
        EXPECT_EQ(w->StaticText4()->Text(), fw::Format(fw::Round(c.want), QStringLiteral("##0")));
    }
}

TEST_F(Trial, AdaptiveEstimateIsReachedOnlyBelowTheThreshold)
{
    // Step 1, then halved at each reversal: changes 1, 1, 0.5, 0.25.
    start(QStringLiteral("50"), QStringLiteral("1"), QStringLiteral("0.5"));
    w->Slider2()->setValue(33);
    const struct {
        const char* key;
        double diff;
        bool reached;
    } steps[] = {{"0", 1.0, false}, {"1", 1.0, false}, {"0", 0.5, false}, {"1", 0.25, true}, {"0", 0.125, true}};
    int reachedSoFar = 0;
    for (const auto& s : steps) {
        SCOPED_TRACE(w->stepnum + 1);
        press(QString::fromLatin1(s.key));
        EXPECT_EQ(w->thediff, s.diff);
        reachedSoFar += s.reached;
        EXPECT_EQ(dings(), reachedSoFar);
        if (s.reached) {
            EXPECT_EQ(w->StaticText4()->TextColor(), QColor(0, 255, 0));
            EXPECT_EQ(w->StaticText5()->Text(), QStringLiteral("rMT Estimate Reached :"));
            EXPECT_EQ(w->myrmt, w->mysetting);
            EXPECT_EQ(sounds.sound(QStringLiteral("ding2"))->playVolumes().back(), 33);
            EXPECT_DOUBLE_EQ(w->totaltime, (w->endtime - w->starttime) / 1e6);
            EXPECT_GT(w->totaltime, 0.0);
        } else {
            EXPECT_EQ(w->StaticText4()->TextColor(), QColor(0, 0, 0));
            EXPECT_EQ(w->StaticText5()->Text(), QStringLiteral("Next Output to Try :"));
            EXPECT_EQ(w->StaticText7()->Text(), QStringLiteral("00"));
        }
    }
    // A trial whose change is large again turns the number black.
    w->PushButton3_Action(w->PushButton3());
    EXPECT_EQ(w->StaticText4()->TextColor(), QColor(0, 0, 0));
}

TEST_F(Trial, MlStoppingRuleLooksAtTheLastTwoProposalsBeforeRecording)
{
    start(QStringLiteral("20"), QStringLiteral("80"), QStringLiteral("7"), true);
    w->myspread = 7;
    w->mydiff2 = 0.5;
    const struct {
        const char* name;
        double cur, last;
        const char* key;
        bool reached;
    } cases[] = {
        {"change above the threshold is recorded", 51.0, 50.0, "1", false},
        {"change equal to the threshold is reached", 50.5, 50.0, "0", true},
        {"change below the threshold is reached", 50.25, 50.0, "1", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        w->curstim = c.cur;
        w->laststim = c.last;
        const int trials = w->stepnum;
        const int recorded = w->nrstimulus;
        const int dingsBefore = dings();
        press(QString::fromLatin1(c.key));

        EXPECT_EQ(w->stepnum, trials + 1);
        EXPECT_EQ(w->thediff, c.cur - c.last);
        EXPECT_EQ(w->laststim, c.cur);
        EXPECT_EQ(w->lastsetting, c.cur);
        EXPECT_EQ(dings(), dingsBefore + (c.reached ? 1 : 0));
        if (c.reached) {
            EXPECT_EQ(w->nrstimulus, recorded) << "the response is not recorded";
            EXPECT_EQ(w->StaticText5()->Text(), QStringLiteral("rMT Estimate Reached :"));
            EXPECT_EQ(w->myrmt, w->mysetting);
        } else {
            ASSERT_EQ(w->nrstimulus, recorded + 1);
            EXPECT_EQ(w->staerken[recorded + 1], fw::Round(c.cur));
            EXPECT_EQ(w->erfolge[recorded + 1], QString::fromLatin1(c.key) == QStringLiteral("1") ? 1.0 : 0.0);
        }
        // The new proposal is the maximum-likelihood threshold of the data.
        estimation::MlPest independent;
        independent.nrstimulus = w->nrstimulus;
        independent.erfolge = w->erfolge;
        independent.staerken = w->staerken;
        EXPECT_EQ(w->curstim, independent.finalThreshold(7.0));
        EXPECT_EQ(w->mysetting, w->curstim);
        EXPECT_EQ(w->clippedThresh, fw::CInt32(fw::Round(w->curstim)));
    }
}

TEST_F(Trial, KeysBeforeStartRunOnTheValuesLoadedAtOpen)
{
    // Adaptive: no start step yet, so the output stays and the estimate is
    // reached at once.
    w->mydiff = 0.45;
    press(QStringLiteral("1"));
    EXPECT_EQ(w->stepnum, 1);
    EXPECT_EQ(w->mysetting, 50.0);
    EXPECT_EQ(w->thediff, 0.0);
    EXPECT_EQ(w->StaticText5()->Text(), QStringLiteral("rMT Estimate Reached :"));
    EXPECT_EQ(w->StaticText4()->Text(), QStringLiteral("50"));
    EXPECT_EQ(w->myrmt, 50.0);

    // ML-PEST: both proposals are 0, so the first key reaches the estimate
    // over the data recorded so far (none: the middle of the range).
    w->CheckBox1()->setValue(true);
    w->curstim = w->laststim = 0.0;
    w->nrstimulus = 0;
    w->mydiff2 = 0.0;
    press(QStringLiteral("0"));
    EXPECT_EQ(w->stepnum, 2);
    EXPECT_EQ(w->nrstimulus, 0);
    EXPECT_EQ(w->curstim, 50.5);
    EXPECT_EQ(w->StaticText5()->Text(), QStringLiteral("rMT Estimate Reached :"));
    EXPECT_EQ(w->clippedThresh, 51);
}

TEST_F(Trial, ARunHoldsTwoHundredTrialsThenIgnoresKeysUntilReset)
{
    for (const bool ml : {false, true}) {
        SCOPED_TRACE(ml ? "ML-PEST" : "Adaptive PEST");
        w->PushButton3_Action(w->PushButton3());
        start(QString::fromLatin1(ml ? "20" : "50"), QString::fromLatin1(ml ? "80" : "7"), QString::fromLatin1(ml ? "7" : "0"),
              ml);
        w->mydiff2 = -1.0;  // never reached: every ML key is recorded
        w->myspread = 7;
        const int clicksBefore = sounds.sound(QStringLiteral("Click")) ? clicks() : 0;
        for (int k = 1; k <= 200; ++k)
            press(QString::number(k % 2));
        ASSERT_EQ(w->stepnum, 200);
        EXPECT_EQ(clicks(), clicksBefore + 200);
        const QString history = w->EditField2()->Text();
        const double setting = w->mysetting;
        const int recorded = w->nrstimulus;

        press(QStringLiteral("1"));
        EXPECT_EQ(w->stepnum, 200);
        EXPECT_EQ(clicks(), clicksBefore + 200) << "no click past the limit";
        EXPECT_EQ(w->EditField2()->Text(), history);
        EXPECT_EQ(w->mysetting, setting);
        EXPECT_EQ(w->nrstimulus, recorded);

        w->PushButton3_Action(w->PushButton3());
        press(QStringLiteral("1"));
        EXPECT_EQ(w->stepnum, 1);
    }
}

TEST_F(Trial, RecordingStopsAtAThousandStimuliAcrossResets)
{
    start(QStringLiteral("20"), QStringLiteral("80"), QStringLiteral("7"), true);
    w->mydiff2 = -1.0;  // never reached: every key is recorded while there is room
    w->myspread = 7;
    // A long session of runs without a new ML Start, close to the limit.
    for (int i = 3; i <= 994; ++i) {
        w->staerken[i] = 30 + i % 40;
        w->erfolge[i] = (i % 40) > 20 ? 1.0 : 0.0;
    }
    w->nrstimulus = 994;
    for (int run = 0; run < 3; ++run) {
        pressAll(QStringLiteral("1010"));
        w->PushButton3_Action(w->PushButton3());  // Reset, no new ML Start
    }
    EXPECT_EQ(w->nrstimulus, 1000);
    EXPECT_EQ(w->stepnum, 0);
    press(QStringLiteral("1"));
    EXPECT_EQ(w->nrstimulus, 1000);
    EXPECT_EQ(w->stepnum, 1) << "the trial still counts";
}

// "Click" and "ding2" that failed to load are skipped; the trial goes on.
class TrialWithoutCues : public Trial {
protected:
    void SetUp() override
    {
        sounds.setMissing(QStringLiteral("Click"));
        sounds.setMissing(QStringLiteral("ding2"));
        Trial::SetUp();
    }
};

TEST_F(TrialWithoutCues, TheTrialGoesOnWithoutTheCueSounds)
{
    start(QStringLiteral("50"), QStringLiteral("7"), QStringLiteral("100"));
    press(QStringLiteral("1"));
    EXPECT_EQ(w->stepnum, 1);
    EXPECT_EQ(w->StaticText5()->Text(), QStringLiteral("rMT Estimate Reached :"));
    EXPECT_EQ(w->clippedThresh, 43);
    EXPECT_EQ(w->Timer1()->Mode(), 2);
    EXPECT_FALSE(w->EditField2()->Text().isEmpty());
}

TEST_F(Trial, EveryKeyEndsWithAWaitThatPollsUntilThirtyOneTicksHavePassed)
{
    // Readings half-way between ticks, one tick apart.
    clock.advance(kTickUs / 2);
    for (const char* key : {"x", "1"}) {
        SCOPED_TRACE(key);
        w->successall = w->failall = QString::fromLatin1(key) == QStringLiteral("x");
        const long long calls = fw::backgroundTaskCalls();
        clock.setStepPerRead(kTickUs);
        const std::int32_t before = fw::Ticks();
        EXPECT_TRUE(w->Event_KeyDown(QString::fromLatin1(key)));
        const std::int32_t after = fw::Ticks();
        clock.setStepPerRead(0.0);
        if (w->successall) {
            // The wait's start reading, then 31 readings, the last one past
            // start + 30, each followed by one yield.
            EXPECT_EQ(after - before, 33);
            EXPECT_EQ(fw::backgroundTaskCalls() - calls, 31);
        } else {
            EXPECT_GE(after - before, 33);
        }
    }
}

// Keys typed during the wait after a key are handled afterwards, in order,
// each one a whole trial; none runs inside the trial before it.
class TrialOnTheEventLoop : public Trial {
protected:
    void SetUp() override
    {
        Trial::SetUp();
        fw::setBackgroundHook(previousHook);  // the real event loop
        fw::setClock(nullptr);                // and real time
    }
};

TEST_F(TrialOnTheEventLoop, KeysTypedDuringTheWaitAreHandledAfterwardsInOrder)
{
    start(QStringLiteral("50"), QStringLiteral("7"), QStringLiteral("0"));
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    // Two more keys arrive while the first key's wait serves the event loop.
    int trialsWhenTyped = -1;
    QTimer::singleShot(100, w, [&] {
        trialsWhenTyped = w->stepnum;
        for (auto [k, t] : {std::pair{Qt::Key_0, "0"}, {Qt::Key_1, "1"}})
            QCoreApplication::postEvent(w, new QKeyEvent(QEvent::KeyPress, k, Qt::NoModifier, QString::fromLatin1(t)));
    });
    QTest::keyClick(w, Qt::Key_1);
    EXPECT_EQ(trialsWhenTyped, 1) << "the keys must be typed during the wait";
    EXPECT_EQ(w->stepnum, 1) << "keys typed during the wait must not run inside it";
    QTRY_COMPARE_WITH_TIMEOUT(w->stepnum, 3, 5000);
    EXPECT_EQ(w->mep[1], 1);
    EXPECT_EQ(w->mep[2], 0);
    EXPECT_EQ(w->mep[3], 1);
    EXPECT_EQ(w->EditField2()->Text().count(QChar(13)), 3);
}

} // namespace
