// The main window's side of the preferences: what each field of the file
// becomes in Window1, the three parameter fields after a load by method,
// the first start without a file (the Preferences window shown once, then
// the file read), "Prefs" with "OK" and "Cancel", and loads that end even
// when the file can never be written or the method switch runs inside.
#include "estimation/window1.h"
#include "framework/core/text.h"
#include "prefs/window2.h"
#include "tests/prefs/prefs_fixture.h"
#include "tests/support/main_window.h"

#include <gtest/gtest.h>

#include <QDir>

namespace {

using quorvel::test::defaultWith;
using quorvel::test::kDefaultPrefs;
using quorvel::test::prefsPath;
using quorvel::test::readPrefs;
using quorvel::test::writePrefs;

const QString kPrefsWindow = QStringLiteral("Window2.Window2");

class LoadPrefs : public quorvel::test::PrefsTest {
protected:
    // The main window opened over an existing file (no dialog shown).
    Window1Probe* openOver(const QByteArray& file)
    {
        writePrefs(file);
        int shows = 0;
        answer(kPrefsWindow, [&](fw::Window*) { ++shows; });
        auto* w = fw::Window::implicitInstance<Window1Probe>(QStringLiteral("Window1.Window1"));
        EXPECT_EQ(shows, 0);
        return w;
    }

    // What the main window runs with.
    struct Settings {
        double mysetting, mystep, mydiff;
        int sliders[3];
        std::int32_t successkey, failkey;
        bool successall, failall;
        std::int32_t lowbound, upbound, myspread;
        double mydiff2;
        bool ml;
        QString fields[3];  // EditField1, EditField4, EditField3
    };

    static void expectSettings(Window1Probe* w, const Settings& s)
    {
        EXPECT_DOUBLE_EQ(w->mysetting, s.mysetting);
        EXPECT_DOUBLE_EQ(w->mystep, s.mystep);
        EXPECT_DOUBLE_EQ(w->mydiff, s.mydiff);
        EXPECT_EQ(w->Slider1()->Value(), s.sliders[0]);
        EXPECT_EQ(w->Slider2()->Value(), s.sliders[1]);
        EXPECT_EQ(w->Slider3()->Value(), s.sliders[2]);
        EXPECT_EQ(w->successkey, s.successkey);
        EXPECT_EQ(w->failkey, s.failkey);
        EXPECT_EQ(w->successall, s.successall);
        EXPECT_EQ(w->failall, s.failall);
        EXPECT_EQ(w->lowbound, s.lowbound);
        EXPECT_EQ(w->upbound, s.upbound);
        EXPECT_EQ(w->myspread, s.myspread);
        EXPECT_DOUBLE_EQ(w->mydiff2, s.mydiff2);
        EXPECT_EQ(w->CheckBox1()->Value(), s.ml);
        EXPECT_EQ(w->EditField1()->Text(), s.fields[0]);
        EXPECT_EQ(w->EditField4()->Text(), s.fields[1]);
        EXPECT_EQ(w->EditField3()->Text(), s.fields[2]);
    }
};

const char kStored[] = "PESTPREFS\t62.5\t5\t.3\t10\t20\t30\t65\t66\t1\t0\t12.4\t88.5\t9\t.25\t%1\tENDOFFILE";

QByteArray stored(char method)
{
    return QByteArray(kStored).replace("%1", QByteArray(1, method));
}

TEST_F(LoadPrefs, EveryFieldReachesTheMainWindow)
{
    struct Case {
        const char* name;
        QByteArray file;
        Settings want;
    };
    const Case cases[] = {
        {"Adaptive PEST stored", stored('0'),
         {62.5, 5, 0.3, {10, 20, 30}, 65, 66, true, false, 12, 89, 9, 0.25, false,
          {QStringLiteral("62.5"), QStringLiteral("5"), QStringLiteral("0.3")}}},
        {"Maximum-Likelihood PEST stored", stored('1'),
         {62.5, 5, 0.3, {10, 20, 30}, 65, 66, true, false, 12, 89, 9, 0.25, true,
          {QStringLiteral("12"), QStringLiteral("89"), QStringLiteral("9")}}},
        {"the default file", kDefaultPrefs,
         {50, 7, 0.45, {0, 100, 100}, 121, 110, false, false, 20, 80, 7, 0.45, false,
          {QStringLiteral("50"), QStringLiteral("7"), QStringLiteral("0.45")}}},
        {"an empty field reads as 0", defaultWith(2, ""),
         {0, 7, 0.45, {0, 100, 100}, 121, 110, false, false, 20, 80, 7, 0.45, false,
          {QStringLiteral("0"), QStringLiteral("7"), QStringLiteral("0.45")}}},
        {"only the header and one field", "PESTPREFS\t50",
         {50, 0, 0, {0, 0, 0}, 0, 0, false, false, 0, 0, 0, 0, false,
          {QStringLiteral("50"), QStringLiteral("0"), QStringLiteral("0")}}},
        {"out of range and not numbers", "PESTPREFS\tnan\t1e400\t-5\t-5\t250\t49.5\t999999999999\tx\tyes\t1\t"
                                         "1e9\t-1e12\t2.5\tinf\t1\tENDOFFILE",
         {0, 0, -5, {0, 100, 50}, 2147483647, 0, false, true, 1000000000, -2147483647 - 1, 3, 0, true,
          {QStringLiteral("1000000000"), QStringLiteral("-2147483648"), QStringLiteral("3")}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Window1Probe* w = openOver(c.file);
        expectSettings(w, c.want);
        EXPECT_TRUE(messages.isEmpty());
        EXPECT_EQ(readPrefs(), c.file) << "loading never rewrites the file";
        fw::Window::releaseAll();
    }
}

TEST_F(LoadPrefs, ForeignFileKeepsTheSettingsAndRefillsTheFields)
{
    Window1Probe* w = openOver(stored('1'));
    for (const QByteArray& file : {QByteArray("PESTPREFS \t1\t2\t3\t4\t5\t6\t7\t8\t0\t1\t1\t2\t3\t4\t0\tENDOFFILE"),
                                   QByteArray(), QByteArray("PESTPREF")}) {
        SCOPED_TRACE(file.constData());
        writePrefs(file);
        w->EditField1()->setText(QStringLiteral("typed"));
        w->loadprefs();
        expectSettings(w, {62.5, 5, 0.3, {10, 20, 30}, 65, 66, true, false, 12, 89, 9, 0.25, true,
                           {QStringLiteral("12"), QStringLiteral("89"), QStringLiteral("9")}});
        EXPECT_EQ(readPrefs(), file);
    }
}

TEST_F(LoadPrefs, FirstStartShowsThePreferencesWindowOnce)
{
    struct Case {
        const char* name;
        const char* button;
    };
    for (const Case& c : {Case{"OK", "PushButton4"}, Case{"Cancel", "PushButton5"}}) {
        SCOPED_TRACE(c.name);
        QFile::remove(prefsPath());
        int shows = 0;
        answer(kPrefsWindow, [&](fw::Window* dialog) {
            ++shows;
            EXPECT_EQ(readPrefs(), kDefaultPrefs) << "the opening has written the default file";
            EXPECT_EQ(dialog->windowModality(), Qt::ApplicationModal);
            dialog->control<fw::PushButton>(QString::fromLatin1(c.button))->click();
        });
        auto* w = fw::Window::implicitInstance<Window1Probe>(QStringLiteral("Window1.Window1"));
        EXPECT_EQ(shows, 1);
        EXPECT_EQ(readPrefs(), kDefaultPrefs);
        expectSettings(w, {50, 7, 0.45, {0, 100, 100}, 121, 110, false, false, 20, 80, 7, 0.45, false,
                           {QStringLiteral("50"), QStringLiteral("7"), QStringLiteral("0.45")}});
        EXPECT_TRUE(messages.isEmpty());
        fw::Window::releaseAll();
    }
}

TEST_F(LoadPrefs, FileThatNeverAppearsEndsTheLoad)
{
    // The dialog is shown, but its file is removed again before the load
    // reads it: the load stops instead of showing the dialog for ever.
    int shows = 0;
    answer(kPrefsWindow, [&](fw::Window* dialog) {
        ++shows;
        QFile::remove(prefsPath());
        dialog->Close();
    });
    Window1* w = Window1::instance();
    EXPECT_EQ(shows, 1);
    EXPECT_EQ(w->successkey, 49) << "the built-in keys stand";
    EXPECT_EQ(w->failkey, 48);
    EXPECT_EQ(w->EditField1()->Text(), QStringLiteral("50"));
    EXPECT_EQ(w->EditField4()->Text(), QStringLiteral("7"));
    EXPECT_EQ(w->EditField3()->Text(), QStringLiteral("0"));

    // Each later load may show it once again, and only once.
    w->loadprefs();
    EXPECT_EQ(shows, 2);
}

TEST_F(LoadPrefs, PrefsButtonLoadsWhatTheDialogLeaves)
{
    Window1* w = openOver(stored('0'));
    struct Case {
        const char* name;
        std::function<void(Window2*)> answer;
        QByteArray file;  // after the dialog
        bool ml;
    };
    const Case cases[] = {
        {"Cancel after edits", [](Window2* d) {
             d->EditField1()->setText(QStringLiteral("99"));
             d->CheckBox3()->setValue(true);
             d->PushButton5()->click();
         },
         stored('0'), false},
        {"OK with Maximum-Likelihood PEST ticked", [](Window2* d) {
             d->CheckBox3()->setValue(true);
             d->PushButton4()->click();
         },
         stored('1'), true},
        {"OK with it unticked", [](Window2* d) {
             d->CheckBox3()->setValue(false);
             d->PushButton4()->click();
         },
         stored('0'), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        answer(kPrefsWindow, [&](fw::Window* d) { c.answer(dynamic_cast<Window2*>(d)); });
        w->PushButton6()->click();
        EXPECT_EQ(readPrefs(), c.file);
        EXPECT_EQ(w->CheckBox1()->Value(), c.ml);
        EXPECT_EQ(w->EditField1()->Text(), c.ml ? QStringLiteral("12") : QStringLiteral("62.5"));
        EXPECT_EQ(w->EditField4()->Text(), c.ml ? QStringLiteral("89") : QStringLiteral("5"));
        EXPECT_EQ(w->EditField3()->Text(), c.ml ? QStringLiteral("9") : QStringLiteral("0.3"));
        EXPECT_EQ(fw::Window::_GetImplicitWindow(kPrefsWindow), nullptr);
    }
}

TEST_F(LoadPrefs, MethodSwitchAndLoadEndTogether)
{
    // The file says Adaptive PEST; ticking the box loads it (which unticks
    // the box) and the switch ticks it again: both must end, with the
    // operator's choice and the file's values for it.
    Window1* w = openOver(stored('0'));
    w->CheckBox1()->click();
    EXPECT_TRUE(w->CheckBox1()->Value());
    EXPECT_EQ(w->EditField1()->Text(), QStringLiteral("12"));
    EXPECT_EQ(w->EditField4()->Text(), QStringLiteral("89"));
    EXPECT_EQ(w->EditField3()->Text(), QStringLiteral("9"));

    // A load with the file saying Maximum-Likelihood PEST runs the switch
    // from inside the load.
    writePrefs(stored('1'));
    w->CheckBox1()->setValue(false);
    w->loadprefs();
    EXPECT_TRUE(w->CheckBox1()->Value());
    EXPECT_EQ(w->EditField1()->Text(), QStringLiteral("12"));
    EXPECT_EQ(w->StaticText1()->Text(), QStringLiteral("Lower Bound:"));
}

} // namespace
