// Window1's quick reference (percentages of the estimate) and distance correction.
#include "estimation/window1.h"

void Window1::PopupMenu1_Open(fw::PopupMenu*) {}
void Window1::PopupMenu1_Change(fw::PopupMenu*) {}
void Window1::PopupMenu2_Open(fw::PopupMenu*) {}
void Window1::PopupMenu2_Change(fw::PopupMenu*) {}
void Window1::PopupMenu3_Open(fw::PopupMenu*) {}
void Window1::PopupMenu3_Change(fw::PopupMenu*) {}
void Window1::EditField6_TextChange(fw::EditField*) {}
void Window1::EditField7_TextChange(fw::EditField*) {}
void Window1::BevelButton1_Action(fw::BevelButton*) {}
void Window1::updateguides() {}
double Window1::distance_adjust() { return 1.0; }
