#pragma once

// The life of the process: start-up in its fixed order, the event loop and
// the shut-down that releases the shell's static objects.

#include <QStringList>

#include <functional>

namespace app {

// _Main and the shut-down; the QApplication must exist. Returns the exit
// status: the framework's, or 1 when start-up failed.
int runMain();

void _Main();
void _Startup();
void _InitFileTypes();
void _NewAppInstance();
void _ApplicationAddMenuHandlers();
void _MakeDefaultView();
// Releases the static objects: the twelve sound caches, the windows, the
// file type, then the menu bar.
void finalize();

// What the last shut-down released, in order (tests read it).
const QStringList& shutdownLog();
// Tests may run code before each start-up step (given its name), e.g. to
// make one fail.
void setStartupStepHook(std::function<void(const char* step)> hook);

} // namespace app
