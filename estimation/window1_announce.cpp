// Window1's spoken announcement of the next output by three chained timers.
#include "estimation/window1.h"

void Window1::Timer1_Action(fw::Timer*) {}
void Window1::Timer2_Action(fw::Timer*) {}
void Window1::Timer3_Action(fw::Timer*) {}
