#include "framework/x11_hints.h"

#include <QGuiApplication>
#include <QWidget>

// Xlib last: its macros (None, Bool, Status) clash with Qt's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace fw::x11 {
namespace {

// The Motif window-manager hints, as window managers read them.
constexpr unsigned long kHintsFunctions = 1UL << 0;
constexpr unsigned long kHintsDecorations = 1UL << 1;
constexpr unsigned long kFuncResize = 1UL << 1;
constexpr unsigned long kFuncMove = 1UL << 2;
constexpr unsigned long kFuncMinimize = 1UL << 3;
constexpr unsigned long kFuncMaximize = 1UL << 4;
constexpr unsigned long kFuncClose = 1UL << 5;
constexpr unsigned long kDecorBorder = 1UL << 1;
constexpr unsigned long kDecorTitle = 1UL << 3;

Display* display()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

// The window's native X window, or 0 when it has none yet.
::Window nativeWindow(QWidget* window)
{
    if (!window || !window->testAttribute(Qt::WA_WState_Created))
        return 0;
    return static_cast<::Window>(window->winId());
}

} // namespace

void setWindowFunctions(QWidget* window, bool close, bool minimize, bool maximize, bool resize)
{
    Display* d = display();
    const ::Window w = d ? nativeWindow(window) : 0;
    if (!w)
        return;
    const Atom hintsAtom = XInternAtom(d, "_MOTIF_WM_HINTS", False);
    // Keep the decorations Qt asked for; only the functions change.
    long hints[5] = {0, 0, static_cast<long>(kDecorBorder | kDecorTitle), 0, 0};
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, w, hintsAtom, 0, 5, False, hintsAtom, &type, &format, &count, &after, &data) ==
            Success &&
        data) {
        if (format == 32 && count >= 3 && (reinterpret_cast<long*>(data)[0] & long(kHintsDecorations)))
            hints[2] = reinterpret_cast<long*>(data)[2];
        XFree(data);
    }
    unsigned long functions = kFuncMove;
    if (close)
        functions |= kFuncClose;
    if (minimize)
        functions |= kFuncMinimize;
    if (maximize)
        functions |= kFuncMaximize;
    if (resize)
        functions |= kFuncResize;
    hints[0] = static_cast<long>(kHintsFunctions | kHintsDecorations);
    hints[1] = static_cast<long>(functions);
    XChangeProperty(d, w, hintsAtom, hintsAtom, 32, PropModeReplace, reinterpret_cast<unsigned char*>(hints), 5);
    XFlush(d);
}

bool managedByWindowManager(QWidget* window)
{
    Display* d = display();
    const ::Window w = d ? nativeWindow(window) : 0;
    if (!w)
        return false;
    const Atom stateAtom = XInternAtom(d, "WM_STATE", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool managed = false;
    if (XGetWindowProperty(d, w, stateAtom, 0, 2, False, stateAtom, &type, &format, &count, &after, &data) ==
            Success &&
        data) {
        // WithdrawnState is 0; NormalState 1 and IconicState 3 are managed.
        managed = format == 32 && count >= 1 && reinterpret_cast<long*>(data)[0] != WithdrawnState;
        XFree(data);
    }
    return managed;
}

} // namespace fw::x11
