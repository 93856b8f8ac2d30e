#pragma once

// A test suite with a configuration folder of its own, so that no test reads
// or writes the user's settings. Suites derive from it instead of
// ::testing::Test.

#include "framework/files.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <optional>

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

namespace quorvel::test {

// HOME and XDG_CONFIG_HOME as a case sets them, and the password
// database's home as the case gives it; all put back afterwards.
class ConfigEnvironment {
public:
    ConfigEnvironment() : m_home(save("HOME")), m_xdg(save("XDG_CONFIG_HOME")) {}
    ~ConfigEnvironment()
    {
        restore("HOME", m_home);
        restore("XDG_CONFIG_HOME", m_xdg);
        fw::setPasswordHomeLookup({});
    }
    void set(const char* name, const std::optional<QString>& value)
    {
        restore(name, value ? std::optional<QByteArray>(QFile::encodeName(*value)) : std::nullopt);
    }

private:
    static std::optional<QByteArray> save(const char* name)
    {
        return qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name)) : std::nullopt;
    }
    static void restore(const char* name, const std::optional<QByteArray>& value)
    {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    std::optional<QByteArray> m_home, m_xdg;
};

} // namespace quorvel::test
