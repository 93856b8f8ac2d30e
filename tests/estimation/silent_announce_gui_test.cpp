// The announcement with the program's own cue files on a machine without a
// sound device: every sound is silent, yet each digit still takes its own
// length, so the announcement keeps the pace the operator knows, and it ends
// with all three timers off, also when a digit file cannot be decoded.

#include "tests/support/main_window.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

using namespace quorvel::test;

// This process has no sound device, whatever the machine has.
const bool kNoDevice = [] {
    qputenv("ALSOFT_DRIVERS", "pulse");
    qputenv("PULSE_SERVER", "unix:/nonexistent/quorvel-no-sound-server");
    return true;
}();

class SilentAnnouncement : public PrivateConfigTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(kNoDevice);
        resources::resetAll();
        const QDir from(qEnvironmentVariable("QUORVEL_BUILD_DIR") + QStringLiteral("/Resources"));
        ASSERT_FALSE(from.entryList(QDir::Files).isEmpty()) << from.path().toStdString();
        for (const QString& name : from.entryList(QDir::Files))
            ASSERT_TRUE(QFile::copy(from.filePath(name), m_resources.filePath(name)));
        fw::setResourcesFolder(m_resources.path());
        fw::setClock(&clock);
        previousHook = fw::setBackgroundHook([] {});
        QStringList fields = defaultPrefsFields();
        fields[3] = QStringLiteral("100");  // voice
        writePrefsFile(configHome(), fields);
    }

    void TearDown() override
    {
        fw::Window::releaseAll();
        if (MenuBar1::exists())
            MenuBar1::releaseInstance();
        resources::resetAll();
        fw::setResourcesFolder(QString());
        fw::setBackgroundHook(previousHook);
        fw::setClock(nullptr);
    }

    void open() { w = fw::Window::implicitInstance<Window1Probe>(QStringLiteral("Window1.Window1")); }

    // Fires the timers that are on, 5 ms apart, as the event loop would,
    // until all are off; the time that took.
    double announceMs(int value)
    {
        w->clippedThresh = value;
        w->Timer1()->setMode(2);
        const double from = clock.microseconds();
        for (int pass = 0; pass < 100000 && anyOn(); ++pass) {
            fireAnnouncementTimers(w);
            clock.advance(5000.0);
        }
        return (clock.microseconds() - from) / 1000.0;
    }
    bool anyOn() const { return anyAnnouncementTimerOn(w); }
    double digitMs(int d) const
    {
        const auto decoded = fw::decodeSoundFile(m_resources.filePath(QStringLiteral("s%1").arg(d)));
        return decoded ? decoded->durationMs() : 0.0;
    }

    QTemporaryDir m_resources;
    fw::FakeClock clock;
    std::function<void()> previousHook;
    Window1Probe* w = nullptr;
};

TEST_F(SilentAnnouncement, EachDigitTakesItsOwnLengthAndTheChainEnds)
{
    open();
    EXPECT_FALSE(fw::soundDeviceAvailable());
    for (const auto& sound : w->sss)
        ASSERT_NE(sound, nullptr);
    const struct {
        int value;
        std::vector<int> spoken;
    } cases[] = {{65, {6, 5}}, {7, {0, 7}}, {100, {1, 0, 0}}, {58, {5, 8}}, {88, {8, 8}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        clock.advance(2.0e6);  // the last announcement has ended
        // Each digit waits for the one before to end (5 ms a pass); the
        // chain ends as its last digit starts.
        double expected = 0.0;
        for (std::size_t i = 0; i + 1 < c.spoken.size(); ++i)
            expected += digitMs(c.spoken[i]);
        const double took = announceMs(c.value);
        EXPECT_FALSE(anyOn()) << "all three timers off at the end";
        EXPECT_GE(took, expected);
        EXPECT_LE(took, expected + 5.0 * double(c.spoken.size() + 1));
        const auto& last = w->sss[std::size_t(c.spoken.back())];
        EXPECT_TRUE(last->IsPlaying()) << "the last digit sounds on";
        clock.advance(digitMs(c.spoken.back()) * 1000.0);
        EXPECT_FALSE(last->IsPlaying());
    }
}

TEST_F(SilentAnnouncement, ADigitFileThatCannotBeDecodedIsSkipped)
{
    // Truncated to its first bytes: a sound that failed to load.
    QFile five(m_resources.filePath(QStringLiteral("s5")));
    ASSERT_TRUE(five.open(QIODevice::ReadWrite));
    ASSERT_TRUE(five.resize(20));
    five.close();
    open();
    EXPECT_EQ(w->sss[5], nullptr);
    const double took = announceMs(55);
    EXPECT_FALSE(anyOn());
    EXPECT_LE(took, 20.0) << "nothing to wait for";
    clock.advance(2.0e6);
    const double other = announceMs(65);
    EXPECT_FALSE(anyOn());
    EXPECT_GE(other, digitMs(6)) << "the six is waited for";
    EXPECT_LE(other, digitMs(6) + 20.0);
}

} // namespace
