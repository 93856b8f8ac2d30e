// The spoken next output: the digits each value is spoken as, the voice
// volume read per digit, the wait for silence (digit sounds only), a
// response during an announcement, and missing digit sounds.

#include "tests/support/main_window.h"

#include <gtest/gtest.h>

#include <QTest>

namespace {

using quorvel::test::kTickUs;
using quorvel::test::MainWindowTest;

class Announcement : public MainWindowTest {
protected:
    // Fires the timers that are on, in turn, as the event loop does, with
    // `stepMs` of time between passes, until all are off.
    void runChain(double stepMs = 10.0)
    {
        for (int pass = 0; pass < 100000 && anyTimerOn(); ++pass) {
            fireTimers();
            clock.advance(stepMs * 1000.0);
        }
        ASSERT_FALSE(anyTimerOn()) << "the chain never ended";
    }
    void announce(int value)
    {
        w->clippedThresh = value;
        w->Timer1()->setMode(2);
    }
    QStringList digitsPlayed() const
    {
        QStringList out;
        for (const QString& name : sounds.playLog())
            if (name.size() == 2 && name[0] == QLatin1Char('s'))
                out << name.mid(1);
        return out;
    }
};

TEST_F(Announcement, EachValueIsSpokenByItsDigits)
{
    w->Slider1()->setValue(70);
    const struct {
        int value;
        const char* spoken;
    } cases[] = {
        // Every digit in the units and in the tens place, and the hundreds.
        {100, "100"}, {7, "07"},  {65, "65"}, {0, "00"},  {10, "10"},  {101, "101"},
        {23, "23"},   {38, "38"}, {49, "49"}, {56, "56"}, {71, "71"},  {84, "84"}, {92, "92"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        sounds.clearPlayLog();
        announce(c.value);
        runChain();
        EXPECT_EQ(digitsPlayed().join(QString()).toStdString(), c.spoken);
        for (const QString& d : digitsPlayed())
            EXPECT_EQ(sounds.sound(QStringLiteral("s") + d)->playVolumes().back(), 70);
    }
}

TEST_F(Announcement, VolumeZeroPlaysNothingAndStillEndsTheChain)
{
    w->Slider1()->setValue(0);
    for (int d = 0; d <= 9; ++d)
        w->sss[d]->setVolume(55);
    announce(65);
    runChain();
    EXPECT_TRUE(sounds.playLog().isEmpty());
    EXPECT_EQ(w->sss[6]->Volume(), 0);
    EXPECT_EQ(w->sss[5]->Volume(), 0);
    EXPECT_EQ(w->sss[0]->Volume(), 55) << "a hundreds digit of 0 touches no sound";
}

TEST_F(Announcement, TheVoiceSliderIsReadAfreshForEveryDigit)
{
    w->Slider1()->setValue(30);
    announce(65);
    fireTimers();  // Timer1 passes, Timer2 speaks 6, Timer3 waits for it
    w->Slider1()->setValue(90);
    runChain();
    EXPECT_EQ(sounds.sound(QStringLiteral("s6"))->playVolumes(), std::vector<int>{30});
    EXPECT_EQ(sounds.sound(QStringLiteral("s5"))->playVolumes(), std::vector<int>{90});
}

TEST_F(Announcement, OnlyAPlayingDigitSoundDelaysTheNextDigit)
{
    // A click still playing does not hold back the first digit.
    sounds.setDuration(QStringLiteral("Click"), 1000.0);
    start(QStringLiteral("58"), QStringLiteral("7"), QStringLiteral("0"));
    press(QStringLiteral("0"));  // 65, with the click still sounding
    ASSERT_EQ(w->clippedThresh, 65);
    ASSERT_TRUE(sounds.sound(QStringLiteral("Click"))->IsPlaying());
    fireTimers();
    EXPECT_EQ(digitsPlayed(), QStringList{QStringLiteral("6")});

    // The digit still playing holds back the units digit until it ends.
    clock.advance(499.0 * 1000.0);
    fireTimers();
    EXPECT_EQ(digitsPlayed(), QStringList{QStringLiteral("6")});
    EXPECT_EQ(w->Timer3()->Mode(), 2);
    clock.advance(2.0 * 1000.0);
    fireTimers();
    EXPECT_EQ(digitsPlayed(), (QStringList{QStringLiteral("6"), QStringLiteral("5")}));
    EXPECT_FALSE(anyTimerOn());
}

TEST_F(Announcement, AResponseDuringAnAnnouncementSpeaksOnlyTheNewValue)
{
    for (const QString& d : {QStringLiteral("s6"), QStringLiteral("s7")})
        sounds.setDuration(d, 2000.0);
    start(QStringLiteral("58"), QStringLiteral("7"), QStringLiteral("0"));
    press(QStringLiteral("0"));  // 65
    fireTimers();  // "6" plays; the units digit is due
    ASSERT_EQ(digitsPlayed(), QStringList{QStringLiteral("6")});
    ASSERT_EQ(w->Timer3()->Mode(), 2);

    press(QStringLiteral("0"));  // 72, while "6" still sounds
    ASSERT_EQ(w->clippedThresh, 72);
    EXPECT_EQ(w->Timer1()->Mode(), 2);
    EXPECT_EQ(w->Timer3()->Mode(), 2) << "the response does not stop the running chain";
    runChain();
    const QStringList after = digitsPlayed().mid(1);
    for (const QString& d : after)
        EXPECT_TRUE(d == QStringLiteral("7") || d == QStringLiteral("2")) << d.toStdString();
    // The new value in full, tens before units.
    EXPECT_GE(after.indexOf(QStringLiteral("7")), 0);
    EXPECT_GT(after.lastIndexOf(QStringLiteral("2")), after.indexOf(QStringLiteral("7")));
}

TEST_F(Announcement, RunsOnTheRealEventLoopAfterAKey)
{
    fw::setBackgroundHook(previousHook);
    fw::setClock(nullptr);
    for (int d = 0; d <= 9; ++d)
        sounds.setDuration(QStringLiteral("s%1").arg(d), 30.0);
    sounds.setDuration(QStringLiteral("Click"), 30.0);
    w->Slider1()->setValue(85);
    start(QStringLiteral("93"), QStringLiteral("7"), QStringLiteral("0"));
    w->Event_KeyDown(QStringLiteral("0"));  // 100, spoken during and after the wait
    QTRY_VERIFY_WITH_TIMEOUT(!anyTimerOn(), 3000);
    EXPECT_EQ(digitsPlayed(), (QStringList{QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("0")}));
}

// Digit sounds that failed to load are skipped; the chain still ends.
class AnnouncementWithMissingDigits : public Announcement {
protected:
    void SetUp() override
    {
        sounds.setMissing(QStringLiteral("s1"));
        sounds.setMissing(QStringLiteral("s5"));
        Announcement::SetUp();
    }
};

TEST_F(AnnouncementWithMissingDigits, TheChainEndsWithAllTimersOff)
{
    for (int value : {100, 65, 15}) {
        SCOPED_TRACE(value);
        announce(value);
        runChain();
        EXPECT_FALSE(anyTimerOn());
    }
    EXPECT_EQ(sounds.playLog(), (QStringList{QStringLiteral("s0"), QStringLiteral("s0")}) << QStringLiteral("s6"))
        << "only the digits that loaded are heard";
}

} // namespace
