// Window1's run control: opening, Start, Reset, Quit, the method switch and
// the clearing of a run's logs.
#include "estimation/window1.h"

#include "app/resources.h"
#include "estimation/core/keys.h"
#include "framework/application.h"
#include "framework/core/background.h"
#include "framework/core/clock.h"
#include "framework/core/text.h"

namespace {

// The plot picture as a run begins: the splash picture, drawn in its own size.
std::shared_ptr<fw::Picture> splashPlot()
{
    auto picture = fw::NewPicture(550, 387, 32);
    picture->Graphics()->DrawPicture(NewSplash().get(), 0, 0);
    return picture;
}

} // namespace

void Window1::Event_Open()
{
    mysetting = 50.0;
    mystep = 7.0;
    p = splashPlot();
    sss = {s0(), s1(), s2(), s3(), s4(), s5(), s6(), s7(), s8(), s9()};  // entry k speaks k
    successkey = 49;
    failkey = 48;
    loadprefs();
}

void Window1::PushButton1_Action(fw::PushButton*)
{
    const fw::Date now;
    mydate = now.LongDate();
    mytime = now.LongTime();
    resetvariables();
    CheckBox1()->setEnabled(false);
    StaticText5()->setText(QStringLiteral("Next Output to Try:"));
    for (fw::EditField* field : {EditField1(), EditField3(), EditField4(), EditField6(), EditField7()})
        field->setReadOnly(true);
    BevelButton1()->setCaption(QStringLiteral("Adjust"));
    StaticText6()->setText(estimation::keyLegend(successkey, failkey, successall, failall));
    PushButton1()->setEnabled(false);
    m_runUnderWay = true;
    starttime = fw::Microseconds();

    if (CheckBox1()->Value()) {
        // The bounds and spread of the fields seed this run only; later
        // trials use the spread and threshold of the preferences.
        const double lower = fw::CDbl(EditField1()->Text());
        const double upper = fw::CDbl(EditField4()->Text());
        const double spread = fw::CDbl(EditField3()->Text());
        nrstimulus = 0;
        startBestPest(fw::CInt32(lower), fw::CInt32(upper));
        const double v = finalThreshold(spread);
        teststim = v;
        curstim = v;
        laststim = 0.0;
        StaticText4()->setText(fw::Str(teststim));
    } else {
        mysetting = fw::CDbl(EditField1()->Text());
        mystep = fw::CDbl(EditField4()->Text());
        startstep = fw::CInt32(mystep);
        mydiff = fw::CDbl(EditField3()->Text());
        StaticText4()->setText(fw::Format(fw::Round(mysetting), QStringLiteral("##0")));
    }
}

void Window1::PushButton3_Action(fw::PushButton*)
{
    resetvariables();
    for (fw::EditField* field : {EditField1(), EditField3(), EditField4(), EditField6(), EditField7()})
        field->setReadOnly(false);
    PushButton1()->setEnabled(true);
    StaticText4()->setText(QString());
    CheckBox1()->setEnabled(true);
    m_runUnderWay = false;
    // What "OK" stored during the run is for the next one: the method, the
    // parameters and the fields that show them.
    if (m_prefsWaitForReset) {
        m_prefsWaitForReset = false;
        loadprefs();
    }
}

void Window1::PushButton2_Action(fw::PushButton*)
{
    fw::Quit(0);
}

void Window1::CheckBox1_Action(fw::CheckBox*)
{
    // loadprefs sets the box to the file's method and the switch then sets it
    // back to the operator's choice; those changes must not switch again.
    if (m_switchingMethod)
        return;
    m_switchingMethod = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{m_switchingMethod};

    if (CheckBox1()->Value()) {
        StaticText1()->setText(QStringLiteral("Lower Bound:"));
        StaticText3()->setText(QStringLiteral("Upper Bound:"));
        StaticText2()->setText(QStringLiteral("Spread:"));
        loadprefs();
        CheckBox1()->setValue(true);
        EditField1()->setText(fw::Str(lowbound));
        EditField4()->setText(fw::Str(upbound));
        EditField3()->setText(fw::Str(myspread));
    } else {
        StaticText1()->setText(QStringLiteral("Initial output value:"));
        StaticText3()->setText(QStringLiteral("Step Size:"));
        StaticText2()->setText(QStringLiteral("Diff. Threshold:"));
        loadprefs();
        EditField1()->setText(fw::Str(mysetting));
        EditField4()->setText(fw::Str(mystep));
        EditField3()->setText(fw::Str(mydiff));
        CheckBox1()->setValue(false);
    }
}

void Window1::resetvariables()
{
    for (int i = 0; i <= kMaxTrials; ++i) {
        settinglog[i] = 0.0;
        diflog[i] = 0.0;
        mep[i] = 0;
        doubled[i] = 0;
        reversal[i] = 0;
        fw::RuntimeBackgroundTask();
    }
    stepnum = 0;
    p = splashPlot();
    Canvas1()->Refresh(true);
    EditField2()->setText(QString());
    StaticText4()->setTextColor(fw::RGB(0, 0, 0));
    StaticText5()->setText(QStringLiteral("Next Output to Try:"));
    for (fw::StaticText* value :
         {StaticText7(), StaticText8(), StaticText9(), StaticText13(), StaticText14(), StaticText15()})
        value->setText(QStringLiteral("00"));
    myrmt = 0.0;
}
