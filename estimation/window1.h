#pragma once

// Window1, the main window: the whole state of an estimation run and its 51
// controls (48 visible controls and three timers).
//
// State: the run parameters, the Adaptive PEST trial logs and step rule
// (AdaptivePest), the Maximum-Likelihood PEST data and search (MlPest), the
// plot picture `p`, the digit sounds `sss`, the key settings, the timings
// and the report text.
//
// Handlers: Start/Reset/Quit/Prefs/Print-Save are PushButton1/3/2/6/4_Action;
// the method box is CheckBox1_Action; response keys reach Event_KeyDown (and
// Canvas1_KeyDown); Canvas1_Paint shows the plot; Timer1..3_Action speak the
// next output; the quick-reference menus are PopupMenu1..3_Open/_Change; the
// distance fields are EditField6/7_TextChange with BevelButton1_Action.

#include "estimation/core/adaptive_pest.h"
#include "estimation/core/ml_pest.h"
#include "framework/controls.h"
#include "framework/picture.h"
#include "framework/sound.h"
#include "framework/timer.h"
#include "framework/window.h"

#include <array>
#include <cstdint>
#include <memory>

namespace prefs {
struct PestPrefs;
}

// The timer classes of the main window; they carry the control's index and
// its owning window, and are alike in all but their names.
class Window1Timer : public fw::Timer {
public:
    using fw::Timer::Timer;
    void _SetWindow(fw::Window* w) { ownerWindow = w; }
    fw::Window* Window() const { return ownerWindow; }
    std::int32_t _Index() const { return Index; }
    void _SetIndex(std::int32_t i) { Index = i; }
    void Constructor() {}

    std::int32_t Index = 0;

private:
    fw::Window* ownerWindow = nullptr;
};
class Window1_Timer1 : public Window1Timer { using Window1Timer::Window1Timer; };
class Window1_Timer2 : public Window1Timer { using Window1Timer::Window1Timer; };
class Window1_Timer3 : public Window1Timer { using Window1Timer::Window1Timer; };

class Window1 : public fw::Window, protected estimation::AdaptivePest, public estimation::MlPest {
public:
    static constexpr int kTrialLogSize = 201;

    // The implicit instance: the open main window, made when there is none.
    static Window1* instance();

    // Control accessors, in creation order.
    FW_CONTROL(fw::EditField, EditField1)
    FW_CONTROL(fw::StaticText, StaticText1)
    FW_CONTROL(fw::EditField, EditField3)
    FW_CONTROL(fw::StaticText, StaticText2)
    FW_CONTROL(fw::EditField, EditField4)
    FW_CONTROL(fw::StaticText, StaticText3)
    FW_CONTROL(fw::PushButton, PushButton1)
    FW_CONTROL(fw::Canvas, Canvas1)
    FW_CONTROL(fw::EditField, EditField2)
    FW_CONTROL(fw::StaticText, StaticText4)
    FW_CONTROL(fw::StaticText, StaticText5)
    FW_CONTROL(fw::StaticText, StaticText6)
    FW_CONTROL(fw::PushButton, PushButton2)
    FW_CONTROL(fw::EditField, EditField5)
    FW_CONTROL(fw::PopupMenu, PopupMenu1)
    FW_CONTROL(fw::PopupMenu, PopupMenu2)
    FW_CONTROL(fw::PopupMenu, PopupMenu3)
    FW_CONTROL(fw::StaticText, StaticText7)
    FW_CONTROL(fw::StaticText, StaticText8)
    FW_CONTROL(fw::StaticText, StaticText9)
    FW_CONTROL(fw::GroupBox, GroupBox1)
    FW_CONTROL(fw::PushButton, PushButton3)
    FW_CONTROL(fw::Slider, Slider1)
    FW_CONTROL(fw::PushButton, PushButton4)
    FW_CONTROL(fw::PushButton, PushButton6)
    FW_CONTROL(fw::Slider, Slider2)
    FW_CONTROL(fw::Slider, Slider3)
    FW_CONTROL(fw::StaticText, StaticText10)
    FW_CONTROL(fw::StaticText, StaticText11)
    FW_CONTROL(fw::StaticText, StaticText12)
    FW_CONTROL(fw::CheckBox, CheckBox1)
    FW_CONTROL(fw::GroupBox, GroupBox2)
    FW_CONTROL(fw::StaticText, StaticText13)
    FW_CONTROL(fw::StaticText, StaticText14)
    FW_CONTROL(fw::StaticText, StaticText15)
    FW_CONTROL(fw::Timer, Timer1)
    FW_CONTROL(fw::Timer, Timer2)
    FW_CONTROL(fw::Timer, Timer3)
    FW_CONTROL(fw::EditField, EditField6)
    FW_CONTROL(fw::EditField, EditField7)
    FW_CONTROL(fw::StaticText, StaticText16)
    FW_CONTROL(fw::StaticText, StaticText17)
    FW_CONTROL(fw::GroupBox, GroupBox3)
    FW_CONTROL(fw::StaticText, StaticText18)
    FW_CONTROL(fw::StaticText, StaticText19)
    FW_CONTROL(fw::BevelButton, BevelButton1)
    FW_CONTROL(fw::Line, Line1)
    FW_CONTROL(fw::Line, Line2)
    FW_CONTROL(fw::Line, Line3)
    FW_CONTROL(fw::Line, Line4)
    FW_CONTROL(fw::Line, Line5)

    // Menu-item accessors: the items of the window's menu bar, by name.
    FW_MENU_ITEM(EditMenu)
    FW_MENU_ITEM(EditClear)
    FW_MENU_ITEM(EditPaste)
    FW_MENU_ITEM(EditCopy)
    FW_MENU_ITEM(EditCut)
    FW_MENU_ITEM(UntitledMenu0)
    FW_MENU_ITEM(EditUndo)
    FW_MENU_ITEM(FileMenu)
    FW_MENU_ITEM(FileQuit)
    FW_MENU_ITEM(UntitledMenu1)

    // Control event handlers.
    void PushButton1_Action(fw::PushButton* sender);
    bool Canvas1_KeyDown(fw::Canvas* sender, const QString& key);
    void Canvas1_Paint(fw::Canvas* sender, fw::Graphics* g);
    void PushButton2_Action(fw::PushButton* sender);
    void PopupMenu1_Open(fw::PopupMenu* sender);
    void PopupMenu1_Change(fw::PopupMenu* sender);
    void PopupMenu2_Open(fw::PopupMenu* sender);
    void PopupMenu2_Change(fw::PopupMenu* sender);
    void PopupMenu3_Open(fw::PopupMenu* sender);
    void PopupMenu3_Change(fw::PopupMenu* sender);
    void PushButton3_Action(fw::PushButton* sender);
    void PushButton4_Action(fw::PushButton* sender);
    void PushButton6_Action(fw::PushButton* sender);
    void CheckBox1_Action(fw::CheckBox* sender);
    void Timer1_Action(fw::Timer* sender);
    void Timer2_Action(fw::Timer* sender);
    void Timer3_Action(fw::Timer* sender);
    void EditField6_TextChange(fw::EditField* sender);
    void EditField7_TextChange(fw::EditField* sender);
    void BevelButton1_Action(fw::BevelButton* sender);

    // Window events.
    bool Event_KeyDown(const QString& key) override;
    void Event_Open() override;

    // Methods (runpest, the step rule, is inherited and protected).
    double distance_adjust();
    void loadprefs();

    // Public properties, in declaration order.
    std::int32_t successkey = 0;
    std::int32_t failkey = 0;
    bool successall = false;
    bool failall = false;
    double starttime = 0;
    double endtime = 0;
    double totaltime = 0;
    QString mydate;
    QString mytime;
    QString myoutput;
    std::int32_t lowbound = 0;
    std::int32_t upbound = 0;
    std::int32_t myspread = 0;
    double mydiff2 = 0;
    double curstim = 0;
    double laststim = 0;
    double teststim = 0;

protected:
    void Layout() override;
    void CreateControls() override;
    void _CreateControls0();
    void _CreateControls1();

    void updatescreen(double value, std::int32_t response);
    void makepicture(double setting, std::int32_t n, double diff);
    void updateguides();
    void resetvariables();
    void delay(double ticks);

    // Protected properties (those of the step rule live in AdaptivePest).
    double lastsetting = 0;
    double mydiff = 0;
    double thediff = 0;
    std::shared_ptr<fw::Picture> p;
    std::array<double, kTrialLogSize> settinglog{};
    std::array<double, kTrialLogSize> diflog{};
    double myrmt = 0;
    std::array<std::shared_ptr<fw::Sound>, 10> sss{};
    std::int32_t clippedThresh = 0;

private:
    // One response key, as both key handlers take it: classification, the
    // trial, then the half-second wait.
    bool respondToKey(const QString& key);
    void runTrial(std::int32_t response);
    void estimateReached();
    // One firing of an announcement timer: speaks digit `place` (1..3) of
    // clippedThresh once no digit sound plays, then hands on to `next`.
    void announceDigit(fw::Timer* sender, std::int32_t place, fw::Timer* next);
    // True while the method switch runs, so the box's own changes inside it
    // do not run it again.
    bool m_switchingMethod = false;

    // The stored preferences, in two parts: what may change during a run
    // (keys, their flags, volumes), and the method with the procedure's
    // parameters, which only a load outside a run takes.
    void applyKeysAndVolumes(const prefs::PestPrefs& r);
    void applyProcedure(const prefs::PestPrefs& r);
    // From Start until Reset. During it "Prefs" leaves the run's method,
    // output and parameters alone; what "OK" stored for them waits (the flag
    // below) and is loaded by Reset.
    bool m_runUnderWay = false;
    bool m_prefsWaitForReset = false;

    fw::StaticText* makeLabel(const QString& name, fw::GroupBox* group, int left, int top, int width, int height,
                              const QString& text, int size, fw::StaticText::Alignment align,
                              bool bold = false);
    fw::EditField* makeField(const QString& name, int left, int top, int width, int height,
                             const QString& text, int size, bool multiline, bool readOnly,
                             const QString& font = QStringLiteral("Times"));
    fw::PushButton* makeButton(const QString& name, fw::GroupBox* group, int left, int top,
                               const QString& caption, bool bold = false);
    fw::Slider* makeSlider(const QString& name, fw::GroupBox* group, int left, int top);
    fw::GroupBox* makeGroup(const QString& name, int left, int top, int width, int height,
                            const QString& caption);
    fw::PopupMenu* makePopup(const QString& name, int top);
    template <class T> T* makeTimer(const QString& name, std::int32_t index);
    fw::Line* makeLine(const QString& name, int x1, int y1, int x2, int y2);
};

