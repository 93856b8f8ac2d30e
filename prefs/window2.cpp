#include "prefs/window2.h"

#include "estimation/core/keys.h"
#include "estimation/window1.h"
#include "framework/application.h"
#include "framework/picture.h"
#include "prefs/core/pest_prefs.h"
#include "prefs/prefs_file.h"
#include "prefs/window3.h"

namespace {

// "KEY =" and five blanks, then the key's name.
QString keyLabel(std::int32_t code)
{
    return QStringLiteral("KEY =     ") + estimation::keyname(code);
}

} // namespace

Window2* Window2::instance()
{
    return fw::Window::implicitInstance<Window2>(QStringLiteral("Window2.Window2"));
}

void Window2::Layout()
{
    setCloseBox(false);
    setTitle(QStringLiteral("Preferences"));
    setContentSize(552, 386);
    setVisibleOnCreation(true);
}

void Window2::CreateControls()
{
    _CreateControls0();
    _CreateControls1();
    // Each field and slider is named by the label beside it.
    StaticText4()->setLabelFor(Slider1());
    StaticText7()->setLabelFor(Slider2());
    StaticText8()->setLabelFor(Slider3());
    StaticText1()->setLabelFor(EditField1());
    StaticText2()->setLabelFor(EditField3());
    StaticText3()->setLabelFor(EditField4());
    StaticText9()->setLabelFor(EditField2());
    StaticText10()->setLabelFor(EditField5());
    StaticText11()->setLabelFor(EditField6());
    StaticText12()->setLabelFor(EditField7());
}

fw::EditField* Window2::makeField(const QString& name, fw::GroupBox* parent, int left, int top, const QString& text)
{
    auto* c = makeControl<fw::EditField>(name, parent, left, top, 60, 22, false);
    c->setTextSize(16);
    c->setText(text);
    return c;
}

fw::StaticText* Window2::makeLabel(const QString& name, fw::GroupBox* parent, int left, int top, int width,
                                   int height, const QString& text, int size, fw::StaticText::Alignment align,
                                   bool bold)
{
    auto* c = makeControl<fw::StaticText>(name, parent, left, top, width, height);
    c->setTextSize(size);
    c->setBold(bold);
    c->setTextAlign(align);
    c->setText(text);
    return c;
}

fw::PushButton* Window2::makeButton(const QString& name, fw::GroupBox* parent, int left, int top, int width,
                                    int height, const QString& caption)
{
    auto* c = makeControl<fw::PushButton>(name, parent, left, top, width, height);
    c->setTextSize(12);
    c->setCaption(caption);
    return c;
}

fw::CheckBox* Window2::makeBox(const QString& name, fw::GroupBox* parent, int left, int top, int width, int height,
                               const QString& caption)
{
    auto* c = makeControl<fw::CheckBox>(name, parent, left, top, width, height);
    c->setTextSize(12);
    c->setCaption(caption);
    c->setValue(false);
    return c;
}

fw::Slider* Window2::makeSlider(const QString& name, int left, int top, int value)
{
    auto* c = makeControl<fw::Slider>(name, nullptr, left, top, 189, 16);
    c->setMinimum(0);
    c->setMaximum(100);
    c->setSingleStep(1);
    c->setPageStep(20);
    c->setLiveScroll(false);
    c->setValue(value);
    return c;
}

fw::GroupBox* Window2::makeGroup(const QString& name, int left, int top, int width, int height,
                                 const QString& caption)
{
    auto* c = makeControl<fw::GroupBox>(name, nullptr, left, top, width, height);
    c->setTextSize(12);
    c->setBold(true);
    c->setCaption(caption);
    return c;
}

void Window2::_CreateControls0()
{
    using A = fw::StaticText::Alignment;

    makeField(QStringLiteral("EditField1"), nullptr, 174, 27, QStringLiteral("50"));
    makeLabel(QStringLiteral("StaticText1"), nullptr, 20, 30, 143, 20, QStringLiteral("Initial output value:"), 12,
              A::AlignRight);
    makeField(QStringLiteral("EditField3"), nullptr, 174, 79, QStringLiteral(".45"));
    makeLabel(QStringLiteral("StaticText2"), nullptr, 36, 83, 126, 20, QStringLiteral("Diff. Threshold:"), 12,
              A::AlignRight);
    makeField(QStringLiteral("EditField4"), nullptr, 174, 53, QStringLiteral("7"));
    makeLabel(QStringLiteral("StaticText3"), nullptr, 41, 56, 121, 20, QStringLiteral("Step Size:"), 12,
              A::AlignRight);

    auto* reset = makeButton(QStringLiteral("PushButton1"), nullptr, 246, 341, 125, 20, QStringLiteral("Reset Defaults"));
    reset->Action = [this, reset] { PushButton1_Action(reset); };

    makeSlider(QStringLiteral("Slider1"), 29, 272, 0);
    makeLabel(QStringLiteral("StaticText4"), nullptr, 29, 254, 100, 20, QStringLiteral("Speech Volume:"), 12,
              A::AlignLeft);

    auto* success = makeGroup(QStringLiteral("GroupBox3"), 278, 13, 255, 131,
                              QStringLiteral("Select key to indicate success (MEP):"));
    auto* pick1 = makeButton(QStringLiteral("PushButton2"), success, 289, 43, 228, 22,
                             QStringLiteral("Click here to select a key"));
    pick1->Action = [this, pick1] { PushButton2_Action(pick1); };
    auto* all1 = makeBox(QStringLiteral("CheckBox1"), success, 289, 74, 228, 19, QStringLiteral("OR use all other keys"));
    all1->Action = [this, all1] { CheckBox1_Action(all1); };
    makeLabel(QStringLiteral("StaticText5"), success, 294, 110, 212, 20, QStringLiteral("KEY =      y"), 16,
              A::AlignLeft, true);

    auto* failure = makeGroup(QStringLiteral("GroupBox4"), 278, 161, 255, 131,
                              QStringLiteral("Select key to indicate failure (no MEP)"));
    auto* pick2 = makeButton(QStringLiteral("PushButton3"), failure, 289, 191, 228, 22,
                             QStringLiteral("Click here to select a key"));
    pick2->Action = [this, pick2] { PushButton3_Action(pick2); };
    auto* all2 = makeBox(QStringLiteral("CheckBox2"), failure, 289, 222, 228, 19, QStringLiteral("OR use all other keys"));
    all2->Action = [this, all2] { CheckBox2_Action(all2); };
    makeLabel(QStringLiteral("StaticText6"), failure, 294, 260, 212, 20, QStringLiteral("KEY =     n"), 16,
              A::AlignLeft, true);

    auto* ok = makeButton(QStringLiteral("PushButton4"), nullptr, 464, 341, 69, 20, QStringLiteral("OK"));
    ok->Action = [this, ok] { PushButton4_Action(ok); };
    auto* cancel = makeButton(QStringLiteral("PushButton5"), nullptr, 383, 341, 69, 20, QStringLiteral("Cancel"));
    cancel->Action = [this, cancel] { PushButton5_Action(cancel); };

    makeSlider(QStringLiteral("Slider2"), 29, 312, 100);
    makeLabel(QStringLiteral("StaticText7"), nullptr, 29, 294, 100, 20, QStringLiteral("Signal Volume:"), 12,
              A::AlignLeft);
    makeSlider(QStringLiteral("Slider3"), 29, 350, 100);
    makeLabel(QStringLiteral("StaticText8"), nullptr, 29, 332, 100, 20, QStringLiteral("Click Volume:"), 12,
              A::AlignLeft);

    makeGroup(QStringLiteral("GroupBox1"), 15, 8, 231, 99, QStringLiteral("Adaptive PEST Settings"));
    makeField(QStringLiteral("EditField2"), nullptr, 174, 138, QStringLiteral("20"));
    makeLabel(QStringLiteral("StaticText9"), nullptr, 20, 141, 143, 20, QStringLiteral("Lower Boundary:"), 12,
              A::AlignRight);
    makeField(QStringLiteral("EditField5"), nullptr, 174, 190, QStringLiteral("7"));
    makeLabel(QStringLiteral("StaticText10"), nullptr, 36, 194, 126, 20, QStringLiteral("Relative threshold spread:"),
              12, A::AlignRight);
    makeField(QStringLiteral("EditField6"), nullptr, 174, 164, QStringLiteral("80"));
    makeLabel(QStringLiteral("StaticText11"), nullptr, 41, 167, 121, 20, QStringLiteral("Upper Boundary:"), 12,
              A::AlignRight);
}

void Window2::_CreateControls1()
{
    using A = fw::StaticText::Alignment;

    auto* likelihood = makeGroup(QStringLiteral("GroupBox2"), 15, 119, 231, 129,
                                 QStringLiteral("Max-Likelihood PEST Settings"));
    makeField(QStringLiteral("EditField7"), likelihood, 174, 217, QStringLiteral(".45"));
    makeLabel(QStringLiteral("StaticText12"), likelihood, 36, 221, 126, 20, QStringLiteral("Diff. Threshold:"), 12,
              A::AlignRight);
    makeBox(QStringLiteral("CheckBox3"), nullptr, 278, 304, 239, 25, QStringLiteral("Use Maximum-Likelihood PEST"));
}

void Window2::Event_Open()
{
    tempsuccesskey = 121;  // y
    tempfailkey = 110;     // n
    loadprefsfromfile();
}

prefs::PestPrefs Window2::record() const
{
    prefs::PestPrefs r;
    r.initialOutput = EditField1()->Text();
    r.stepSize = EditField4()->Text();
    r.diffThreshold = EditField3()->Text();
    r.voiceVolume = Slider1()->Value();
    r.signalVolume = Slider2()->Value();
    r.clickVolume = Slider3()->Value();
    r.successKey = tempsuccesskey;
    r.failKey = tempfailkey;
    r.successAll = CheckBox1()->Value();
    r.failAll = CheckBox2()->Value();
    r.lowBound = EditField2()->Text();
    r.upBound = EditField6()->Text();
    r.spread = EditField5()->Text();
    r.mlDiffThreshold = EditField7()->Text();
    r.useMaxLikelihood = CheckBox3()->Value();
    return r;
}

bool Window2::saveprefs()
{
    return prefs::writePrefsFile(record());
}

void Window2::loadprefsfromfile()
{
    prefs::FileRead file = prefs::readPrefsFile();
    if (file.state == prefs::FileState::Missing) {
        // Write the dialog's values and read them back, once: when the file
        // cannot be written the operator has been told and the dialog keeps
        // what it shows.
        if (!saveprefs())
            return;
        file = prefs::readPrefsFile();
    }
    if (file.state != prefs::FileState::Read)
        return;
    const std::optional<prefs::PestPrefs> r = prefs::decode(file.text);
    if (!r)
        return;  // not a preferences file: ignored, and left as it is
    EditField1()->setText(r->initialOutput);
    EditField4()->setText(r->stepSize);
    EditField3()->setText(r->diffThreshold);
    Slider1()->setValue(r->voiceVolume);
    Slider2()->setValue(r->signalVolume);
    Slider3()->setValue(r->clickVolume);
    tempsuccesskey = r->successKey;
    StaticText5()->setText(keyLabel(tempsuccesskey));
    tempfailkey = r->failKey;
    StaticText6()->setText(keyLabel(tempfailkey));
    CheckBox1()->setValue(r->successAll);
    CheckBox2()->setValue(r->failAll);
    EditField2()->setText(r->lowBound);
    EditField6()->setText(r->upBound);
    EditField5()->setText(r->spread);
    EditField7()->setText(r->mlDiffThreshold);
    CheckBox3()->setValue(r->useMaxLikelihood);
}

void Window2::PushButton1_Action(fw::PushButton*)
{
    EditField1()->setText(QStringLiteral("50"));
    EditField4()->setText(QStringLiteral("7"));
    EditField3()->setText(QStringLiteral(".45"));
    Slider1()->setValue(0);
    Slider2()->setValue(100);
    Slider3()->setValue(100);
    StaticText5()->setText(QStringLiteral("KEY =      y"));
    StaticText6()->setText(QStringLiteral("KEY =      n"));
    tempsuccesskey = 121;
    tempfailkey = 110;
    EditField2()->setText(QStringLiteral("20"));
    EditField6()->setText(QStringLiteral("80"));
    EditField5()->setText(QStringLiteral("7"));
    EditField7()->setText(QStringLiteral(".45"));
    CheckBox1()->setValue(false);
    CheckBox2()->setValue(false);
    CheckBox3()->setValue(false);
}

void Window2::captureKey()
{
    // Returns once the key-capture window has taken a key and closed.
    Window3::instance()->ShowModal();
}

void Window2::PushButton2_Action(fw::PushButton*)
{
    captureKey();
    tempsuccesskey = selectedkey;
    StaticText5()->setText(keyLabel(selectedkey));
}

void Window2::PushButton3_Action(fw::PushButton*)
{
    captureKey();
    tempfailkey = selectedkey;
    StaticText6()->setText(keyLabel(selectedkey));
}

void Window2::allKeysChanged(fw::CheckBox* box, fw::CheckBox* other, fw::StaticText* label)
{
    if (box->Value() && other->Value()) {
        fw::MsgBox(QStringLiteral("You cannot have both successes AND failures represented by all keys."));
        box->setValue(false);
    }
    // Grey while every other key counts: the group's own key plays no part.
    label->setTextColor(box->Value() ? fw::RGB(200, 200, 200) : fw::RGB(0, 0, 0));
}

void Window2::CheckBox1_Action(fw::CheckBox*)
{
    allKeysChanged(CheckBox1(), CheckBox2(), StaticText5());
}

void Window2::CheckBox2_Action(fw::CheckBox*)
{
    allKeysChanged(CheckBox2(), CheckBox1(), StaticText6());
}

void Window2::PushButton4_Action(fw::PushButton*)
{
    // Saved first: when the file cannot be written the operator has been
    // told, and the dialog stays open with everything typed ("OK" again or
    // "Cancel"); the main window keeps what the file holds.
    if (!saveprefs())
        return;
    // An unticked box leaves the main window's flag as it is; the main
    // window's read of the file after this dialog sets both flags.
    if (CheckBox1()->Value())
        Window1::instance()->successall = true;
    if (CheckBox2()->Value())
        Window1::instance()->failall = true;
    Window1::instance()->failkey = tempfailkey;
    Window1::instance()->successkey = tempsuccesskey;
    confirmed = true;
    Close();
}

void Window2::PushButton5_Action(fw::PushButton*)
{
    instance()->Close();
}
