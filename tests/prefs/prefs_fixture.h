#pragma once

// What the preferences window tests share: a private configuration folder
// whose "PREFS" each test sets up, the message boxes said during a test,
// and answers for the modal windows.

#include "app/app.h"
#include "app/resources.h"
#include "framework/application.h"
#include "framework/files.h"
#include "framework/window.h"
#include "tests/prefs/default_prefs.h"
#include "tests/support/private_config.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <functional>
#include <utility>
#include <vector>

namespace quorvel::test {


inline QString prefsPath()
{
    return QDir(fw::configFolder()).filePath(QStringLiteral("PREFS"));
}

inline QByteArray readPrefs()
{
    QFile f(prefsPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline void writePrefs(const QByteArray& bytes)
{
    QFile f(prefsPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// A file of the 17 fields given, joined by TABs.
inline QByteArray prefsFile(const QList<QByteArray>& fields)
{
    QByteArray out;
    for (qsizetype i = 0; i < fields.size(); ++i)
        out += (i ? "\t" : "") + fields[i];
    return out;
}

// The default file with field n (1-based) replaced.
inline QByteArray defaultWith(int n, const QByteArray& value)
{
    QList<QByteArray> fields = kDefaultPrefs.split('\t');
    fields[n - 1] = value;
    return prefsFile(fields);
}

class PrefsTest : public PrivateConfigTest {
protected:
    void SetUp() override
    {
        resources::resetAll();
        fw::setResourcesFolder(QString());
        QFile::remove(prefsPath());
        m_oldMsgBox = fw::setMsgBoxHook([this](const QString& text) { messages << text; });
    }

    void TearDown() override
    {
        fw::setMsgBoxHook(std::move(m_oldMsgBox));
        for (const auto& [name, hook] : m_oldHooks)
            fw::Window::setModalHook(name, hook);
        m_oldHooks.clear();
        fw::Window::releaseAll();
        if (MenuBar1::exists())
            MenuBar1::releaseInstance();
        resources::resetAll();
        QFile::remove(prefsPath());
    }

    // Answers every modal showing of the window class with the hook.
    void answer(const QString& className, fw::Window::ModalHook hook)
    {
        m_oldHooks.emplace_back(className, fw::Window::setModalHook(className, std::move(hook)));
    }

    QStringList messages;

private:
    std::function<void(const QString&)> m_oldMsgBox;
    std::vector<std::pair<QString, fw::Window::ModalHook>> m_oldHooks;
};

} // namespace quorvel::test
