#include "tests/support/real_desktop_fixture.h"

#include "tests/support/main_window_screen.h"

#include <QFile>

#include <algorithm>
#include <iostream>

namespace quorvel::test {

void RealDesktopTest::SetUp()
{
    ASSERT_TRUE(m_config.isValid());
    QString why;
    ASSERT_TRUE(m_server.start(windowManager(), &why)) << why.toStdString();
}

// What the screen showed when a test failed, kept for a look.
void RealDesktopTest::TearDown()
{
    if (!HasFailure() || !display())
        return;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    QString name = QString::fromLatin1(info->test_suite_name()) + QLatin1Char('_') + QString::fromLatin1(info->name());
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QString file = qEnvironmentVariable("QUORVEL_BUILD_DIR") + QLatin1Char('/') + name + QStringLiteral(".png");
    if (grabWindow(display(), rootWindow(display())).save(file))
        std::cerr << "The screen at the failure: " << file.toStdString() << "\n";
}

void RealDesktopTest::startProgram(const std::optional<QByteArray>& prefs)
{
    if (prefs) {
        ASSERT_TRUE(writePrefs(configHome(), *prefs));
    }
    m_program = std::make_unique<RealProgram>(m_server, configHome());
    QString why;
    ASSERT_TRUE(m_program->start(&why)) << why.toStdString();
}

unsigned long RealDesktopTest::startOnMainWindow(const QByteArray& prefs)
{
    startProgram(prefs);
    if (HasFatalFailure())
        return 0;
    return m_program->expectWindow(QString::fromLatin1(kMainWindowTitle), kWindowTimeoutMs);
}

void RealDesktopTest::waitUntilGone(unsigned long window, const char* what)
{
    const auto shown = [&] {
        const std::vector<unsigned long> all = topLevelWindows(display());
        return std::find(all.begin(), all.end(), window) != all.end();
    };
    EXPECT_TRUE(waitUntil([&] { return !shown(); }, kWindowTimeoutMs)) << what << " is still on screen";
}

QByteArray RealDesktopTest::prefsFile() const
{
    QFile f(configHome() + QStringLiteral("/Quorvel/PREFS"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

} // namespace quorvel::test
