#pragma once

// The cue sounds and the splash picture, loaded from the Resources folder on
// first use and kept for the whole run. A sound is tried once per run (a
// failure stays nil); the picture is tried again on every call until it
// loads.

#include "framework/picture.h"
#include "framework/sound.h"

#include <QStringList>

#include <memory>

std::shared_ptr<fw::Sound> s0();
std::shared_ptr<fw::Sound> s1();
std::shared_ptr<fw::Sound> s2();
std::shared_ptr<fw::Sound> s3();
std::shared_ptr<fw::Sound> s4();
std::shared_ptr<fw::Sound> s5();
std::shared_ptr<fw::Sound> s6();
std::shared_ptr<fw::Sound> s7();
std::shared_ptr<fw::Sound> s8();
std::shared_ptr<fw::Sound> s9();
std::shared_ptr<fw::Sound> Click();
std::shared_ptr<fw::Sound> ding2();
std::shared_ptr<fw::Picture> NewSplash();

namespace resources {
// Empties the twelve sound caches in the shut-down order; returns the names
// in the order released.
QStringList releaseSoundCaches();
// Forgets every cache, the picture's too (tests start each case afresh).
void resetAll();
} // namespace resources
