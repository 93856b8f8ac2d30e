// "Prefs" pressed during a run, by both methods, answered with "Cancel" or
// with "OK" after changing everything the Preferences window offers: the run
// goes on from the output on screen by its own method and parameters, the
// keys and volumes of "OK" act from the next key (the legend shows them), and
// Reset brings in the stored method and parameters for the next run.

#include "prefs/window2.h"
#include "tests/support/main_window.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <ostream>

// Texts in failure messages as text.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

using quorvel::test::MainWindowTest;

const QString kPrefsWindow = QStringLiteral("Window2.Window2");

class PrefsDuringRun : public MainWindowTest {
protected:
    void TearDown() override
    {
        fw::Window::setModalHook(kPrefsWindow, nullptr);
        MainWindowTest::TearDown();
    }

    // "Prefs", with every setting of the dialog changed and then "OK" or
    // "Cancel": initial output 30, step 3, threshold 2, volumes 10/20/30,
    // keys "a" and "b", bounds 10 and 90, spread 12, threshold 1, and the
    // method opposite to `runIsMl`.
    void prefsChangingAll(bool ok, bool runIsMl)
    {
        fw::Window::setModalHook(kPrefsWindow, [&](fw::Window* window) {
            auto* d = dynamic_cast<Window2*>(window);
            ASSERT_NE(d, nullptr);
            d->EditField1()->setText(QStringLiteral("30"));
            d->EditField4()->setText(QStringLiteral("3"));
            d->EditField3()->setText(QStringLiteral("2"));
            d->Slider1()->setValue(10);
            d->Slider2()->setValue(20);
            d->Slider3()->setValue(30);
            d->tempsuccesskey = 'a';
            d->tempfailkey = 'b';
            d->EditField2()->setText(QStringLiteral("10"));
            d->EditField6()->setText(QStringLiteral("90"));
            d->EditField5()->setText(QStringLiteral("12"));
            d->EditField7()->setText(QStringLiteral("1"));
            d->CheckBox3()->setValue(!runIsMl);
            (ok ? d->PushButton4() : d->PushButton5())->click();
        });
        w->PushButton6()->click();
    }

    QString topRow() const { return w->EditField2()->Text().section(QChar(13), 0, 0); }
    int rows() const { return w->EditField2()->Text().count(QChar(13)); }
    int lastClickVolume() const
    {
        const auto& v = sounds.sound(QStringLiteral("Click"))->playVolumes();
        return v.empty() ? -1 : v.back();
    }
    QString report()
    {
        w->PushButton4_Action(w->PushButton4());
        return w->myoutput;
    }
};

TEST_F(PrefsDuringRun, AdaptiveRunGoesOnFromTheOutputShown)
{
    // 50, step 7: two successes show 43, then 36; a failure then reverses
    // with the step halved: 36 + 3.5 = 39.5, shown as 40.
    for (const bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        w->PushButton3_Action(w->PushButton3());
        start(QStringLiteral("50"), QStringLiteral("7"), QStringLiteral(".45"));
        pressAll(QStringLiteral("11"));
        ASSERT_EQ(w->StaticText4()->Text(), QStringLiteral("36"));

        prefsChangingAll(ok, false);
        EXPECT_FALSE(w->CheckBox1()->Value()) << "the method of the run";
        EXPECT_EQ(w->EditField1()->Text(), QStringLiteral("50"));
        EXPECT_EQ(w->EditField4()->Text(), QStringLiteral("7"));
        EXPECT_EQ(w->EditField3()->Text(), QStringLiteral(".45"));
        EXPECT_EQ(w->StaticText6()->Text(),
                  ok ? QStringLiteral("Success = a     Failure = b") : QStringLiteral("Success = 1     Failure = 0"));
        if (ok) {
            press(QStringLiteral("0"));  // the old failure key
            EXPECT_EQ(rows(), 2) << "the replaced key still made a trial";
        }
        press(ok ? QStringLiteral("b") : QStringLiteral("0"));
        EXPECT_EQ(rows(), 3);
        EXPECT_EQ(topRow(), QStringLiteral("03   036.00   036   0.0   03.5000"));
        EXPECT_EQ(w->StaticText4()->Text(), QStringLiteral("40"));
        EXPECT_EQ(lastClickVolume(), ok ? 30 : 85);
        EXPECT_EQ(w->Slider1()->Value(), ok ? 10 : 85);
        EXPECT_EQ(w->Slider2()->Value(), ok ? 20 : 85);

        const QString text = report();
        EXPECT_TRUE(text.contains(QStringLiteral("Method: Adaptive PEST"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Starting Value = 50"))) << text.toStdString();

        // Reset: what "OK" stored is the next run's (Maximum-Likelihood PEST
        // from 10 to 90); after "Cancel" the fields keep this run's values.
        w->PushButton3_Action(w->PushButton3());
        EXPECT_EQ(w->CheckBox1()->Value(), ok);
        EXPECT_EQ(w->EditField1()->Text(), ok ? QStringLiteral("10") : QStringLiteral("50"));
        EXPECT_EQ(w->EditField4()->Text(), ok ? QStringLiteral("90") : QStringLiteral("7"));
        EXPECT_EQ(w->EditField3()->Text(), ok ? QStringLiteral("12") : QStringLiteral(".45"));
        w->PushButton1_Action(w->PushButton1());
        if (ok) {
            EXPECT_EQ(w->nrstimulus, 2);
            EXPECT_EQ(w->staerken[1], 10.0);
            EXPECT_EQ(w->staerken[2], 90.0);
            EXPECT_EQ(w->myspread, 12);
            EXPECT_EQ(w->mydiff2, 1.0);
        } else {
            EXPECT_EQ(w->StaticText4()->Text(), QStringLiteral("50"));
        }
        // Put the file back for the next case.
        w->PushButton3_Action(w->PushButton3());
        quorvel::test::writePrefsFile(configHome(), prefsFields());
        w->loadprefs();
    }
}

TEST_F(PrefsDuringRun, MaximumLikelihoodRunGoesOnFromTheOutputShown)
{
    // The method is ticked in the main window over a file that says Adaptive
    // PEST; the run reaches its estimate before "Prefs".
    for (const bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        w->PushButton3_Action(w->PushButton3());
        start(QStringLiteral("20"), QStringLiteral("80"), QStringLiteral("7"), true);
        for (int i = 0; i < 40 && w->StaticText5()->Text() != QStringLiteral("rMT Estimate Reached :"); ++i)
            press(i % 2 ? QStringLiteral("0") : QStringLiteral("1"));
        ASSERT_EQ(w->StaticText5()->Text(), QStringLiteral("rMT Estimate Reached :"));
        const int before = rows();
        const int recorded = w->nrstimulus;
        const QString shown = w->StaticText4()->Text();

        prefsChangingAll(ok, true);
        EXPECT_TRUE(w->CheckBox1()->Value()) << "the method of the run";
        EXPECT_EQ(w->EditField1()->Text(), QStringLiteral("20"));
        EXPECT_EQ(w->EditField4()->Text(), QStringLiteral("80"));
        EXPECT_EQ(w->EditField3()->Text(), QStringLiteral("7"));
        EXPECT_EQ(w->myspread, 7);
        EXPECT_EQ(w->mydiff2, 0.45);
        EXPECT_EQ(w->StaticText6()->Text(),
                  ok ? QStringLiteral("Success = a     Failure = b") : QStringLiteral("Success = 1     Failure = 0"));

        press(ok ? QStringLiteral("a") : QStringLiteral("1"));
        ASSERT_EQ(rows(), before + 1);
        // The row's rounded output is the number that was on screen; the
        // estimate stays reached, so nothing more is recorded.
        const QStringList row = topRow().split(QStringLiteral("   "));
        ASSERT_EQ(row.size(), 5) << topRow().toStdString();
        EXPECT_EQ(row[2].toInt(), shown.toInt()) << topRow().toStdString();
        EXPECT_EQ(w->StaticText4()->Text(), shown);
        EXPECT_EQ(w->nrstimulus, recorded);
        EXPECT_EQ(lastClickVolume(), ok ? 30 : 85);
        // The signal of the estimate reached again sounds at the new volume.
        EXPECT_EQ(sounds.sound(QStringLiteral("ding2"))->playVolumes().back(), ok ? 20 : 85);

        const QString text = report();
        EXPECT_TRUE(text.contains(QStringLiteral("Method: Maximum-Likelihood PEST"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Lower Bound = 20"))) << text.toStdString();

        // Reset: after "OK" the stored Adaptive PEST from 30 by 3, with the
        // new failure key: 30 + 3 = 33.
        w->PushButton3_Action(w->PushButton3());
        EXPECT_EQ(w->CheckBox1()->Value(), !ok);
        EXPECT_EQ(w->EditField1()->Text(), ok ? QStringLiteral("30") : QStringLiteral("20"));
        EXPECT_EQ(w->EditField4()->Text(), ok ? QStringLiteral("3") : QStringLiteral("80"));
        EXPECT_EQ(w->EditField3()->Text(), ok ? QStringLiteral("2") : QStringLiteral("7"));
        if (ok) {
            EXPECT_EQ(w->StaticText1()->Text(), QStringLiteral("Initial output value:"));
            w->PushButton1_Action(w->PushButton1());
            EXPECT_EQ(w->StaticText4()->Text(), QStringLiteral("30"));
            press(QStringLiteral("b"));
            EXPECT_EQ(topRow(), QStringLiteral("01   030.00   030   0.0   03.0000"));
            EXPECT_EQ(w->StaticText4()->Text(), QStringLiteral("33"));
        }
        w->PushButton3_Action(w->PushButton3());
        quorvel::test::writePrefsFile(configHome(), prefsFields());
        w->loadprefs();
    }
}

TEST_F(PrefsDuringRun, OutsideARunTheDialogIsLoadedAsAlways)
{
    // Before Start and after Reset: the stored settings go straight in, even
    // after "Cancel" (the file is what is read).
    for (const bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        prefsChangingAll(ok, false);
        EXPECT_EQ(w->CheckBox1()->Value(), ok);
        EXPECT_EQ(w->EditField1()->Text(), ok ? QStringLiteral("10") : QStringLiteral("50"));
        EXPECT_EQ(w->successkey, ok ? 'a' : '1');
        EXPECT_EQ(w->Slider3()->Value(), ok ? 30 : 85);
        quorvel::test::writePrefsFile(configHome(), prefsFields());
        w->loadprefs();
    }
}

} // namespace
