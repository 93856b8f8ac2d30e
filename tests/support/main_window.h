#pragma once

// The main window made afresh for a test, the way start-up makes it, over a
// private configuration folder holding a given preferences file, with fake
// cue sounds and a fake clock. Window1Probe opens the run state that the
// window keeps protected, so tests can check and arrange it.

#include "app/app.h"
#include "app/resources.h"
#include "estimation/window1.h"
#include "framework/core/background.h"
#include "framework/core/clock.h"
#include "framework/files.h"
#include "tests/support/fake_sound.h"
#include "tests/support/private_config.h"

#include <QDir>
#include <QFile>
#include <QStringList>

class Window1Probe : public Window1 {
public:
    using Window1::clippedThresh;
    using Window1::delay;
    using Window1::diflog;
    using Window1::lastsetting;
    using Window1::mydiff;
    using Window1::myrmt;
    using Window1::mysetting;
    using Window1::mystep;
    using Window1::p;
    using Window1::settinglog;
    using Window1::sss;
    using Window1::startstep;
    using Window1::stepnum;
    using Window1::thediff;
    using Window1::mep;
};

namespace quorvel::test {

// A tick of the framework's clock, in microseconds.
constexpr double kTickUs = 1.0e6 / 60.0;

// The preferences record as fields 2..16; the file adds header and trailer.
inline QStringList defaultPrefsFields()
{
    return {QStringLiteral("50"), QStringLiteral("7"),   QStringLiteral(".45"), QStringLiteral("0"),
            QStringLiteral("100"), QStringLiteral("100"), QStringLiteral("121"), QStringLiteral("110"),
            QStringLiteral("0"),  QStringLiteral("0"),   QStringLiteral("20"),  QStringLiteral("80"),
            QStringLiteral("7"),  QStringLiteral(".45"), QStringLiteral("0")};
}

inline void writePrefsFile(const QString& configHome, const QStringList& fields)
{
    const QString dir = configHome + QStringLiteral("/Quorvel");
    QDir().mkpath(dir);
    QFile f(dir + QStringLiteral("/PREFS"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const QStringList all = QStringList{QStringLiteral("PESTPREFS")} + fields + QStringList{QStringLiteral("ENDOFFILE")};
    f.write(all.join(QChar(9)).toUtf8());
}

// Fires each announcement timer that is on, in turn, as the event loop would.
inline void fireAnnouncementTimers(Window1Probe* w)
{
    if (w->Timer1()->Mode())
        w->Timer1_Action(w->Timer1());
    if (w->Timer2()->Mode())
        w->Timer2_Action(w->Timer2());
    if (w->Timer3()->Mode())
        w->Timer3_Action(w->Timer3());
}

inline bool anyAnnouncementTimerOn(Window1Probe* w)
{
    return w->Timer1()->Mode() || w->Timer2()->Mode() || w->Timer3()->Mode();
}

class MainWindowTest : public PrivateConfigTest {
protected:
    // Fields 2..16 of the preferences file the window opens with: the
    // defaults, with the built-in keys "1" and "0" and the layout's volumes.
    virtual QStringList prefsFields() const
    {
        QStringList f = defaultPrefsFields();
        f[3] = f[4] = f[5] = QStringLiteral("85");
        f[6] = QStringLiteral("49");
        f[7] = QStringLiteral("48");
        return f;
    }

    void SetUp() override
    {
        resources::resetAll();
        fw::setResourcesFolder(QString());
        sounds.install();
        fw::setClock(&clock);
        // Loops yield without serving the event loop: no timer fires inside
        // a trial, so what a test sees does not depend on real time.
        previousHook = fw::setBackgroundHook([] {});
        writePrefsFile(configHome(), prefsFields());
        w = fw::Window::implicitInstance<Window1Probe>(QStringLiteral("Window1.Window1"));
        ASSERT_EQ(Window1::instance(), w);
    }

    void TearDown() override
    {
        fw::Window::releaseAll();
        if (MenuBar1::exists())
            MenuBar1::releaseInstance();
        resources::resetAll();
        fw::setBackgroundHook(previousHook);
        fw::setClock(nullptr);
    }

    // One key press as the framework delivers it; the clock moves a tick per
    // reading, so the half-second wait ends at once.
    void press(const QString& key)
    {
        clock.setStepPerRead(kTickUs);
        EXPECT_TRUE(w->Event_KeyDown(key));
        clock.setStepPerRead(0.0);
    }
    void pressAll(const QString& keys)
    {
        for (const QChar c : keys)
            press(QString(c));
    }

    void fireTimers() { fireAnnouncementTimers(w); }
    bool anyTimerOn() const { return anyAnnouncementTimerOn(w); }

    // Sets the three parameter fields and the method, then presses Start.
    void start(const QString& first, const QString& step, const QString& diff, bool ml = false)
    {
        w->CheckBox1()->setValue(ml);
        w->EditField1()->setText(first);
        w->EditField4()->setText(step);
        w->EditField3()->setText(diff);
        w->PushButton1_Action(w->PushButton1());
    }

    FakeSoundFactory sounds{500.0};
    fw::FakeClock clock;
    std::function<void()> previousHook;
    Window1Probe* w = nullptr;
};

} // namespace quorvel::test
