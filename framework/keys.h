#pragma once

// How a key press becomes a response, in one place. On the way from the
// window system to a window's Event_KeyDown a press goes through the key
// router that every framework window installs:
//
//   1. Repeats. A key held down is pressed once. On X the program asks the
//      server for detectable auto-repeat (XKB), so a held key arrives as
//      press, press, ..., release; a press of a key that is already down (no
//      release between) in the window that had its press is a repeat,
//      whatever its time; one in another window, or after that window has
//      gone (a window closed by the press never sees the release), is new.
//      A release and the
//      next press that arrive together are two presses. Without that
//      (another platform, keys made in-process) Qt's auto-repeat flag tells.
//   2. Return and Enter press a window's enabled default button when the
//      focus is in a one-line field, which does not take Return; otherwise
//      they are keys like any other.
//   3. An editable, focused text field takes the key; so do Ctrl, Alt and
//      Meta shortcuts.
//   4. Anything else with a key text (keyText) goes to the window's
//      Event_KeyDown; a repeat is swallowed there.
//
// What the text means to an estimation (success, failure, the legend's key
// names) is estimation/core/keys.h, which knows no widgets.

#include <QString>

class QKeyEvent;

namespace fw {

// The key text the framework hands to KeyDown handlers for a key event:
// the typed character, or the code of a key without text (Return 13,
// Tab 9, Backspace 8, Delete 127, Escape 27, Left 28, Right 29, Up 30,
// Down 31, Space 32). Empty for keys that carry neither.
QString keyText(const QKeyEvent* event);

// Whether a key press only repeats a key held down (see above).
bool isKeyRepeat(const QKeyEvent* press);

// Installs the key router once for the application; on X it also turns on
// detectable auto-repeat for the program's connection.
void installKeyRouter();

// Whether the X server gives this program detectable auto-repeat.
bool detectableAutoRepeat();

} // namespace fw
