#pragma once

// A test suite with a configuration folder of its own, so that no test reads
// or writes the user's settings. Suites derive from it instead of
// ::testing::Test.

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>

#include <memory>

class PrivateConfigTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_config = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", s_config->path().toLocal8Bit());
    }

    static void TearDownTestSuite() { s_config.reset(); }

    static QString configHome() { return s_config ? s_config->path() : QString(); }

private:
    static inline std::unique_ptr<QTemporaryDir> s_config;
};
