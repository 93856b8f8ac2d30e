// Window1's run control: opening, Start, Reset, Quit, the method switch and
// the clearing of a run's logs.
#include "estimation/window1.h"

#include "app/resources.h"
#include "framework/application.h"

void Window1::Event_Open()
{
    mysetting = 50.0;
    mystep = 7.0;
    p = fw::NewPicture(550, 387, 32);
    p->Graphics()->DrawPicture(NewSplash().get(), 0, 0);
    sss = {s0(), s1(), s2(), s3(), s4(), s5(), s6(), s7(), s8(), s9()};  // entry k speaks k
    successkey = 49;
    failkey = 48;
}

void Window1::PushButton2_Action(fw::PushButton*)
{
    fw::Quit(0);
}

void Window1::PushButton1_Action(fw::PushButton*) {}
void Window1::PushButton3_Action(fw::PushButton*) {}
void Window1::CheckBox1_Action(fw::CheckBox*) {}
void Window1::resetvariables() {}
