#pragma once

#include <functional>

namespace fw {

// The framework's background-task call: long loops call it once per pass so
// that pending timers, painting and sound are served. User input is not
// served here; it waits until the running handler has returned. Calls that
// come sooner than about 2 ms after the last served one return at once.
void RuntimeBackgroundTask();

// Replaces what a served call does (tests count or script it); an empty
// function restores the event-loop default. Returns the previous hook.
std::function<void()> setBackgroundHook(std::function<void()> hook);

// Number of calls made so far, served or skipped (tests read it).
long long backgroundTaskCalls();

} // namespace fw
