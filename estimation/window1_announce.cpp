// Window1's spoken announcement of the next output by three chained timers:
// Timer1 the hundreds digit (only a 1), Timer2 the tens, Timer3 the units.
#include "estimation/window1.h"

#include "framework/core/text.h"

void Window1::Timer1_Action(fw::Timer* sender)
{
    announceDigit(sender, 1, Timer2());
}

void Window1::Timer2_Action(fw::Timer* sender)
{
    announceDigit(sender, 2, Timer3());
}

void Window1::Timer3_Action(fw::Timer* sender)
{
    announceDigit(sender, 3, nullptr);
}

void Window1::announceDigit(fw::Timer* sender, std::int32_t place, fw::Timer* next)
{
    // Wait while any digit sound plays; all ten are asked every time.
    bool busy = false;
    for (const auto& digit : sss)
        if (digit && digit->IsPlaying())
            busy = true;
    if (busy)
        return;

    // The value is read now, so a newer response changes the digits to come.
    const QString text = fw::Format(clippedThresh, QStringLiteral("000"));
    const std::int32_t d = fw::CInt32(fw::CDbl(fw::Mid(text, place, 1)));
    const bool speaks = place != 1 || d == 1;
    // A digit sound that failed to load is skipped; the chain goes on.
    if (speaks && d >= 0 && d <= 9 && sss[d]) {
        sss[d]->setVolume(Slider1()->Value());
        if (Slider1()->Value() > 0)
            sss[d]->Play();
    }

    sender->setMode(0);
    if (next)
        next->setMode(2);
}
