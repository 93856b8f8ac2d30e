// Window1's plot of the run and its trial history.
#include "estimation/window1.h"

void Window1::Canvas1_Paint(fw::Canvas*, fw::Graphics* g)
{
    // Before the window has made its plot picture there is nothing to show.
    if (p)
        g->DrawPicture(p.get(), 0, 0);
}

void Window1::updatescreen(double, std::int32_t) {}
void Window1::makepicture(double, std::int32_t, double) {}
