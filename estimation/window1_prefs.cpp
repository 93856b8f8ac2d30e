// Window1's side of the preferences: reading the file, and the "Prefs" button.
#include "estimation/window1.h"

void Window1::PushButton6_Action(fw::PushButton*) {}
void Window1::loadprefs() {}
