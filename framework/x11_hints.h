#pragma once

// What the window layer tells an X11 window manager, and reads back from it,
// beyond what Qt does. Every function does nothing (or answers "no") on a
// platform other than X11 or for a window without a native window yet.

class QWidget;

namespace fw::x11 {

// The title-bar buttons and operations the window manager offers for the
// window: close, minimise, maximise and resize only where asked for, move
// always. Qt offers all of them when none is asked for.
void setWindowFunctions(QWidget* window, bool close, bool minimize, bool maximize, bool resize);

// True while a window manager still manages the window (its WM_STATE is
// Normal or Iconic). After the window is hidden, the window manager
// withdraws it and clears that state; a window mapped again before then can
// be left withdrawn.
bool managedByWindowManager(QWidget* window);

} // namespace fw::x11
