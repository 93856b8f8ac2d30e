// Window1's side of the preferences: reading the file, and the "Prefs" button.
#include "estimation/window1.h"

#include "estimation/core/keys.h"
#include "framework/core/text.h"
#include "prefs/core/pest_prefs.h"
#include "prefs/prefs_file.h"
#include "prefs/window2.h"

#include <QPointer>

void Window1::PushButton6_Action(fw::PushButton*)
{
    const QPointer<Window2> dialog(Window2::instance());
    dialog->ShowModal();
    if (!m_runUnderWay) {
        loadprefs();
        return;
    }
    // A run is under way: the trials go on from the output on screen, by its
    // method and parameters. "Cancel" changes nothing; "OK" brings in the
    // keys, their flags and the volumes now, the rest at Reset.
    if (!dialog || !dialog->confirmed)
        return;
    m_prefsWaitForReset = true;
    const prefs::FileRead file = prefs::readPrefsFile();
    if (file.state != prefs::FileState::Read)
        return;
    if (const std::optional<prefs::PestPrefs> r = prefs::decode(file.text)) {
        applyKeysAndVolumes(*r);
        StaticText6()->setText(estimation::keyLegend(successkey, failkey, successall, failall));
    }
}

void Window1::loadprefs()
{
    // A missing file brings up the Preferences window, whose opening writes
    // the default file; it is shown once per load, so a file that can never
    // be written does not bring the window back again and again.
    bool dialogShown = false;
    for (;;) {
        const prefs::FileRead file = prefs::readPrefsFile();
        if (file.state == prefs::FileState::Missing && !dialogShown) {
            dialogShown = true;
            Window2::instance()->ShowModal();
            continue;
        }
        if (file.state != prefs::FileState::Read)
            break;  // still missing, or unreadable (the operator has been told)
        const std::optional<prefs::PestPrefs> r = prefs::decode(file.text);
        if (!r)
            break;  // not a preferences file: nothing is loaded
        applyKeysAndVolumes(*r);
        applyProcedure(*r);
        break;
    }

    if (CheckBox1()->Value()) {
        EditField1()->setText(fw::Str(lowbound));
        EditField4()->setText(fw::Str(upbound));
        EditField3()->setText(fw::Str(myspread));
    } else {
        EditField1()->setText(fw::Str(mysetting));
        EditField4()->setText(fw::Str(mystep));
        EditField3()->setText(fw::Str(mydiff));
    }
}

void Window1::applyKeysAndVolumes(const prefs::PestPrefs& r)
{
    Slider1()->setValue(r.voiceVolume);
    Slider2()->setValue(r.signalVolume);
    Slider3()->setValue(r.clickVolume);
    successkey = r.successKey;
    failkey = r.failKey;
    successall = r.successAll;
    failall = r.failAll;
}

void Window1::applyProcedure(const prefs::PestPrefs& r)
{
    mysetting = fw::CDbl(r.initialOutput);
    mystep = fw::CDbl(r.stepSize);
    mydiff = fw::CDbl(r.diffThreshold);
    lowbound = fw::CInt32(fw::CDbl(r.lowBound));
    upbound = fw::CInt32(fw::CDbl(r.upBound));
    myspread = fw::CInt32(fw::CDbl(r.spread));
    mydiff2 = fw::CDbl(r.mlDiffThreshold);
    // May run the method switch, which loads the same file once more.
    CheckBox1()->setValue(r.useMaxLikelihood);
}
