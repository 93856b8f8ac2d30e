#pragma once

// What the window benchmarks share: an offscreen application over a private
// configuration folder holding a preferences file (so opening the main
// window shows no Preferences window), fake cue sounds, and the run of the
// registered benchmarks with the windows released afterwards.

#include "app/app.h"
#include "app/resources.h"
#include "framework/window.h"
#include "tests/support/fake_sound.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace bench {

// The built-in keys "1" and "0", volumes 85, the default parameters.
inline const QByteArray kPrefs = "PESTPREFS\t50\t7\t.45\t85\t85\t85\t49\t48\t0\t0\t20\t80\t7\t.45\t0\tENDOFFILE";

// The private folder of the run (configuration and scratch files).
inline QString& folder()
{
    static QString path;
    return path;
}

inline int runWindowBenchmarks(int argc, char** argv, const QByteArray& prefs = kPrefs)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    folder() = dir.path();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    QDir().mkpath(dir.path() + QStringLiteral("/Quorvel"));
    QFile file(dir.path() + QStringLiteral("/Quorvel/PREFS"));
    if (!file.open(QIODevice::WriteOnly) || file.write(prefs) != prefs.size())
        return 1;
    file.close();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setQuitOnLastWindowClosed(false);
    quorvel::test::FakeSoundFactory sounds;
    sounds.install();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fw::Window::releaseAll();
    if (MenuBar1::exists())
        MenuBar1::releaseInstance();
    resources::resetAll();
    return 0;
}

} // namespace bench
