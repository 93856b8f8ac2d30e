#pragma once

// The fixture of the tests that run the real program on a private X server:
// a configuration folder of the test's own, the server (a window manager on
// it when the suite picks one), the program started on it and stopped before
// the server, and the screen kept in the build folder when a test fails.

#include "tests/support/real_desktop.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <optional>

namespace quorvel::test {

class RealDesktopTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The window manager the server runs; a suite of several overrides it.
    virtual WindowManager windowManager() const { return WindowManager::Bare; }

    Display* display() const { return m_server.display(); }
    QString configHome() const { return m_config.path(); }

    // Starts the program with this preferences file, or with none (a first
    // start: the Preferences window shows before anything else).
    void startProgram(const std::optional<QByteArray>& prefs);
    // Starts it with this file and waits for its main window; 0 (and a
    // failure) when it does not show.
    unsigned long startOnMainWindow(const QByteArray& prefs);
    // Waits until the window is off the screen; a failure naming `what` when
    // it is still there after the start-up allowance.
    void waitUntilGone(unsigned long window, const char* what);
    // The preferences file as it stands, or "(missing)".
    QByteArray prefsFile() const;

    QTemporaryDir m_config;
    PrivateXServer m_server;
    std::unique_ptr<RealProgram> m_program;  // stops before the server
};

} // namespace quorvel::test
