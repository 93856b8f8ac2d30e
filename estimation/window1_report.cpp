// Window1's "Print/Save": composing the report and handing it to the Output window.
#include "estimation/window1.h"

void Window1::PushButton4_Action(fw::PushButton*) {}
