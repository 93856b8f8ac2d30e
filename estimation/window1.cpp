#include "estimation/window1.h"

#include "app/app.h"
#include "app/resources.h"
#include "framework/application.h"

namespace {

const QColor kGrey = fw::RGB(150, 150, 150);

} // namespace

Window1* Window1::instance()
{
    return fw::Window::implicitInstance<Window1>(QStringLiteral("Window1.Window1"));
}

void Window1::Layout()
{
    // The menu bar comes first, then the window's own settings.
    setMenuBar(MenuBar1::instance());
    setCloseBox(false);
    setTitle(QStringLiteral("Adaptive PEST Procedure "));
    setContentSize(905, 690);
    setBackColor(fw::RGB(191, 191, 191));
    setVisibleOnCreation(true);
}

void Window1::CreateControls()
{
    _CreateControls0();
    _CreateControls1();
    // Each field and slider is named by the label beside it.
    StaticText1()->setLabelFor(EditField1());
    StaticText2()->setLabelFor(EditField3());
    StaticText3()->setLabelFor(EditField4());
    StaticText16()->setLabelFor(EditField7());
    StaticText17()->setLabelFor(EditField6());
    StaticText10()->setLabelFor(Slider1());
    StaticText11()->setLabelFor(Slider2());
    StaticText12()->setLabelFor(Slider3());
    // The history has no label: its header names its columns.
    EditField2()->setAccessibleLabel(EditField5()->Text());
}

fw::StaticText* Window1::makeLabel(const QString& name, fw::GroupBox* group, int left, int top, int width,
                                   int height, const QString& text, int size, fw::StaticText::Alignment align,
                                   bool bold)
{
    auto* c = makeControl<fw::StaticText>(name, group, left, top, width, height);
    c->setTextSize(size);
    c->setBold(bold);
    c->setTextAlign(align);
    c->setText(text);
    return c;
}

fw::EditField* Window1::makeField(const QString& name, int left, int top, int width, int height,
                                  const QString& text, int size, bool multiline, bool readOnly,
                                  const QString& font)
{
    auto* c = makeControl<fw::EditField>(name, nullptr, left, top, width, height, multiline);
    c->setTextSize(size);
    c->setTextFont(font);
    c->setText(text);
    c->setReadOnly(readOnly);
    return c;
}

fw::PushButton* Window1::makeButton(const QString& name, fw::GroupBox* group, int left, int top,
                                    const QString& caption, bool bold)
{
    auto* c = makeControl<fw::PushButton>(name, group, left, top, 80, 20);
    c->setTextSize(12);
    c->setBold(bold);
    c->setCaption(caption);
    return c;
}

fw::Slider* Window1::makeSlider(const QString& name, fw::GroupBox* group, int left, int top)
{
    auto* c = makeControl<fw::Slider>(name, group, left, top, 173, 16);
    c->setMinimum(0);
    c->setMaximum(100);
    c->setValue(85);
    c->setSingleStep(1);
    c->setPageStep(20);
    c->setLiveScroll(false);
    return c;
}

fw::GroupBox* Window1::makeGroup(const QString& name, int left, int top, int width, int height, const QString& caption)
{
    auto* c = makeControl<fw::GroupBox>(name, nullptr, left, top, width, height);
    c->setTextSize(12);
    c->setBold(true);
    c->setCaption(caption);
    return c;
}

fw::PopupMenu* Window1::makePopup(const QString& name, int top)
{
    auto* c = makeControl<fw::PopupMenu>(name, nullptr, 707, top, 80, 20);
    c->setTextSize(14);
    return c;
}

template <class T> T* Window1::makeTimer(const QString& name, std::int32_t index)
{
    auto* t = new T(this);
    registerControl(name, t);
    t->_SetWindow(this);
    t->_SetIndex(index);
    t->setMode(0);
    t->setPeriod(0);
    return t;
}

fw::Line* Window1::makeLine(const QString& name, int x1, int y1, int x2, int y2)
{
    auto* c = new fw::Line(content());
    registerControl(name, c);
    c->setPoints(x1, y1, x2, y2);
    c->setBorderWidth(1);
    c->setLineColor(kGrey);
    return c;
}

void Window1::_CreateControls0()
{
    using A = fw::StaticText::Alignment;

    makeField(QStringLiteral("EditField1"), 769, 31, 60, 22, QStringLiteral("50"), 16, false, false);
    makeLabel(QStringLiteral("StaticText1"), nullptr, 624, 33, 143, 20, QStringLiteral("Initial output value:"), 12, A::AlignRight);
    makeField(QStringLiteral("EditField3"), 769, 82, 60, 22, QStringLiteral(".45"), 16, false, false);
    makeLabel(QStringLiteral("StaticText2"), nullptr, 641, 84, 126, 20, QStringLiteral("Diff. Threshold:"), 12, A::AlignRight);
    makeField(QStringLiteral("EditField4"), 769, 56, 60, 22, QStringLiteral("7"), 16, false, false);
    makeLabel(QStringLiteral("StaticText3"), nullptr, 646, 58, 121, 20, QStringLiteral("Step Size:"), 12, A::AlignRight);

    auto* start = makeButton(QStringLiteral("PushButton1"), nullptr, 586, 198, QStringLiteral("Start"));
    start->setDefaultButton(true);
    start->Action = [this, start] { PushButton1_Action(start); };

    auto* canvas = makeControl<fw::Canvas>(QStringLiteral("Canvas1"), nullptr, 9, 13, 550, 387);
    canvas->setBackdrop(NewSplash());
    canvas->setAcceptFocus(false);
    canvas->setEraseBackground(true);
    canvas->KeyDown = [this, canvas](const QString& key) { return Canvas1_KeyDown(canvas, key); };
    canvas->Paint = [this, canvas](fw::Graphics* g) { Canvas1_Paint(canvas, g); };

    makeField(QStringLiteral("EditField2"), 9, 445, 411, 222, QString(), 16, true, true, QStringLiteral("courier"));
    makeLabel(QStringLiteral("StaticText4"), nullptr, 499, 503, 337, 166, QString(), 170, A::AlignCenter, true);
    makeLabel(QStringLiteral("StaticText5"), nullptr, 506, 478, 337, 35, QString(), 24, A::AlignCenter, true);
    makeLabel(QStringLiteral("StaticText6"), nullptr, 448, 425, 437, 39, QString(), 24, A::AlignCenter)->setMultiline(true);

    auto* quit = makeButton(QStringLiteral("PushButton2"), nullptr, 789, 226, QStringLiteral("Quit"), true);
    quit->Action = [this, quit] { PushButton2_Action(quit); };

    makeField(QStringLiteral("EditField5"), 9, 425, 411, 20, QStringLiteral("#    SETTING  ROUND MEP   DIFF"), 16, false,
              true, QStringLiteral("courier"));

    auto* pop1 = makePopup(QStringLiteral("PopupMenu1"), 294);
    pop1->Open = [this, pop1] { PopupMenu1_Open(pop1); };
    pop1->Change = [this, pop1] { PopupMenu1_Change(pop1); };
    auto* pop2 = makePopup(QStringLiteral("PopupMenu2"), 326);
    pop2->Open = [this, pop2] { PopupMenu2_Open(pop2); };
    pop2->Change = [this, pop2] { PopupMenu2_Change(pop2); };
    auto* pop3 = makePopup(QStringLiteral("PopupMenu3"), 358);
    pop3->Open = [this, pop3] { PopupMenu3_Open(pop3); };
    pop3->Change = [this, pop3] { PopupMenu3_Change(pop3); };

    makeLabel(QStringLiteral("StaticText7"), nullptr, 795, 293, 43, 20, QStringLiteral("###"), 16, A::AlignCenter, true);
    makeLabel(QStringLiteral("StaticText8"), nullptr, 795, 325, 43, 20, QStringLiteral("###"), 16, A::AlignCenter, true);
    makeLabel(QStringLiteral("StaticText9"), nullptr, 795, 357, 43, 20, QStringLiteral("###"), 16, A::AlignCenter, true);

    auto* started = makeGroup(QStringLiteral("GroupBox1"), 570, 13, 315, 243, QStringLiteral("Getting Started"));
    auto* reset = makeButton(QStringLiteral("PushButton3"), started, 690, 198, QStringLiteral("Reset"));
    reset->Action = [this, reset] { PushButton3_Action(reset); };
    makeSlider(QStringLiteral("Slider1"), started, 685, 116);
    auto* print = makeButton(QStringLiteral("PushButton4"), started, 789, 198, QStringLiteral("Print/Save"));
    print->Action = [this, print] { PushButton4_Action(print); };
    auto* prefs = makeButton(QStringLiteral("PushButton6"), started, 690, 226, QStringLiteral("Prefs"));
    prefs->Action = [this, prefs] { PushButton6_Action(prefs); };
    makeSlider(QStringLiteral("Slider2"), started, 685, 140);
    makeSlider(QStringLiteral("Slider3"), started, 685, 164);
    makeLabel(QStringLiteral("StaticText10"), started, 580, 112, 100, 20, QStringLiteral("Voice Volume:"), 12, A::AlignRight);
    makeLabel(QStringLiteral("StaticText11"), started, 580, 136, 100, 20, QStringLiteral("Signal Volume:"), 12, A::AlignRight);
    makeLabel(QStringLiteral("StaticText12"), started, 580, 160, 100, 20, QStringLiteral("Click Volume:"), 12, A::AlignRight);

    auto* box = makeControl<fw::CheckBox>(QStringLiteral("CheckBox1"), started, 586, 228, 100, 20);
    box->setTextSize(12);
    box->setCaption(QStringLiteral("Use ML-PEST"));
    box->setValue(false);
    box->Action = [this, box] { CheckBox1_Action(box); };
}

void Window1::_CreateControls1()
{
    using A = fw::StaticText::Alignment;

    auto* quick = makeGroup(QStringLiteral("GroupBox2"), 695, 268, 190, 132, QStringLiteral("Quick Reference"));
    for (auto [name, top] : {std::pair{"StaticText13", 294}, {"StaticText14", 325}, {"StaticText15", 357}}) {
        auto* c = makeLabel(QString::fromLatin1(name), quick, 838, top, 43, 20, QStringLiteral("###"), 16, A::AlignCenter, true);
        c->setTextColor(kGrey);
    }

    auto* t1 = makeTimer<Window1_Timer1>(QStringLiteral("Timer1"), 0);
    t1->Action = [this](fw::Timer* t) { Timer1_Action(t); };
    auto* t2 = makeTimer<Window1_Timer2>(QStringLiteral("Timer2"), 0);
    t2->Action = [this](fw::Timer* t) { Timer2_Action(t); };
    auto* t3 = makeTimer<Window1_Timer3>(QStringLiteral("Timer3"), 0);
    t3->Action = [this](fw::Timer* t) { Timer3_Action(t); };

    auto* target = makeField(QStringLiteral("EditField6"), 624, 350, 40, 18, QStringLiteral("0"), 13, false, false);
    target->TextChange = [this, target] { EditField6_TextChange(target); };
    auto* m1 = makeField(QStringLiteral("EditField7"), 624, 304, 40, 18, QStringLiteral("0"), 13, false, false);
    m1->TextChange = [this, m1] { EditField7_TextChange(m1); };

    makeLabel(QStringLiteral("StaticText16"), nullptr, 582, 289, 88, 24, QStringLiteral("Distance to M1:"), 11, A::AlignLeft)
        ->setMultiline(true);
    makeLabel(QStringLiteral("StaticText17"), nullptr, 582, 335, 101, 15, QStringLiteral("Distance to target:"), 11, A::AlignLeft)
        ->setMultiline(true);
    auto* distance = makeGroup(QStringLiteral("GroupBox3"), 570, 268, 116, 132, QStringLiteral("Distance Correct"));
    makeLabel(QStringLiteral("StaticText18"), distance, 575, 306, 48, 20, QStringLiteral("mm="), 12, A::AlignRight);
    makeLabel(QStringLiteral("StaticText19"), distance, 575, 350, 48, 20, QStringLiteral("mm="), 12, A::AlignRight);

    auto* bevel = makeControl<fw::BevelButton>(QStringLiteral("BevelButton1"), distance, 582, 380, 82, 12);
    bevel->setTextSize(10);
    bevel->setCaption(QStringLiteral("Adjust"));
    bevel->Action = [this, bevel] { BevelButton1_Action(bevel); };

    makeLine(QStringLiteral("Line1"), 672, 389, 859, 389);
    makeLine(QStringLiteral("Line2"), 859, 389, 859, 377);
    makeLine(QStringLiteral("Line3"), 672, 309, 672, 389);
    makeLine(QStringLiteral("Line4"), 663, 309, 672, 309);
    makeLine(QStringLiteral("Line5"), 663, 356, 672, 356);
}
