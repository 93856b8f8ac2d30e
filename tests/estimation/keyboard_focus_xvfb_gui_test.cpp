// The main window of the real program on a private X server (xcb, no
// accessibility bus), keys and the wheel through XTest, and what it shows
// read back through XGetImage, which sends it no event: Tab and Shift+Tab
// cycle through the parameter and distance fields and never run a trial, a
// wheel over a closed quick-reference menu changes nothing, and choosing from
// an open one takes the keys it needs and leaves the focus where it was.
#include "tests/support/main_window_screen.h"
#include "tests/support/real_desktop.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QImage>
#include <QRect>
#include <QTemporaryDir>
#include <QThread>

#include <vector>

namespace {

using namespace quorvel::test;

// Every key but the failure key counts as a success: a Tab or Shift+Tab
// that reached the response handler would run a trial.
const QByteArray kSuccessByAnyKey =
    "PESTPREFS\t50\t7\t.45\t0\t100\t100\t121\t110\t1\t0\t20\t80\t7\t.45\t0\tENDOFFILE";

struct Field {
    const char* name;
    QRect place;  // in the content area
};

const Field kFields[] = {
    {"EditField1", {769, 31, 60, 22}}, {"EditField3", {769, 82, 60, 22}}, {"EditField4", {769, 56, 60, 22}},
    {"EditField6", {624, 350, 40, 18}}, {"EditField7", {624, 304, 40, 18}},
};

// What a trial changes: the history, the big number and its caption.
const QRect kTrialShows[] = {{9, 445, 411, 222}, {499, 503, 337, 166}, {506, 478, 337, 35}};
const QRect kPopupMenu1(707, 294, 80, 20);
const QRect kStaticText7(795, 293, 43, 20);
const QRect kSlider1(685, 116, 173, 16);

class RealMainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString why;
        ASSERT_TRUE(m_server.start(&why)) << why.toStdString();
        ASSERT_TRUE(m_config.isValid());
        ASSERT_TRUE(writePrefs(m_config.path(), kSuccessByAnyKey));
        m_program = std::make_unique<RealProgram>(m_server, m_config.path());
        ASSERT_TRUE(m_program->start(&why)) << why.toStdString();
        m_window = m_program->expectWindow(QString::fromLatin1(kMainWindowTitle), 20000);
        ASSERT_NE(m_window, 0u);
        focusWindow(display(), m_window);
        // The content area starts under the menu bar, where its colour does
        // once the window is drawn.
        m_top = waitForContentTop(display(), m_window, 10000);
        ASSERT_GE(m_top, 0) << "the window is drawn";
    }

    Display* display() const { return m_server.display(); }

    QImage shot() const { return grabWindow(display(), m_window); }
    QRect onScreen(const QRect& inContent) const { return inContent.translated(0, std::max(m_top, 0)); }
    QPoint centreOf(const QRect& inContent) const { return onScreen(inContent).center(); }

    // The field drawn with the focus frame (the style's blue round it), or
    // "" when none or more than one is.
    QString focusedField(const QImage& image) const
    {
        QString found;
        for (const Field& f : kFields) {
            const QRect outer = onScreen(f.place).adjusted(-2, -2, 2, 2);
            const QRect inner = onScreen(f.place).adjusted(3, 3, -3, -3);
            int blue = 0;
            for (int y = outer.top(); y <= outer.bottom(); ++y)
                for (int x = outer.left(); x <= outer.right(); ++x)
                    if (!inner.contains(x, y)) {
                        const QColor c = image.pixelColor(x, y);
                        blue += c.blue() - c.red() > 60;
                    }
            if (blue > 20) {
                if (!found.isEmpty())
                    return {};
                found = QString::fromLatin1(f.name);
            }
        }
        return found;
    }

    // Waits until the screen shows the focus on the field; returns what it
    // last showed.
    QString waitForFocus(const QString& field, int timeoutMs = 5000) const
    {
        const QDeadlineTimer deadline(timeoutMs);
        QString now;
        do {
            now = focusedField(shot());
            if (now == field)
                return now;
            QThread::msleep(20);
        } while (!deadline.hasExpired());
        return now;
    }

    QImage part(const QImage& image, const QRect& inContent) const { return image.copy(onScreen(inContent)); }

    PrivateXServer m_server;
    QTemporaryDir m_config;
    std::unique_ptr<RealProgram> m_program;
    unsigned long m_window = 0;
    int m_top = -1;
};

TEST_F(RealMainWindow, TabAndShiftTabNineTimesEachStayOnTheFieldsAndRunNoTrial)
{
    ASSERT_EQ(waitForFocus(QStringLiteral("EditField1")).toStdString(), "EditField1") << "the first field at start";
    const QImage before = shot();

    struct Case {
        const char* key;
        std::vector<const char*> visits;  // after each of nine presses
    };
    const Case cases[] = {
        {"Tab",
         {"EditField3", "EditField4", "EditField6", "EditField7", "EditField1", "EditField3", "EditField4",
          "EditField6", "EditField7"}},
        {"shift+Tab",
         {"EditField6", "EditField4", "EditField3", "EditField1", "EditField7", "EditField6", "EditField4",
          "EditField3", "EditField1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        int press = 0;
        for (const char* expected : c.visits) {
            SCOPED_TRACE(++press);
            tapKey(display(), QString::fromLatin1(c.key));
            ASSERT_EQ(waitForFocus(QString::fromLatin1(expected)).toStdString(), expected);
        }
    }

    // A trial would have shown by now (a key's wait is half a second).
    QThread::msleep(700);
    const QImage after = shot();
    for (const QRect& r : kTrialShows)
        EXPECT_TRUE(part(after, r) == part(before, r))
            << "no trial: the area at " << r.x() << "," << r.y() << " is as it was";
    int exitCode = 0;
    EXPECT_FALSE(m_program->waitForExit(0, &exitCode)) << "still running";
}

TEST_F(RealMainWindow, AWheelOverAClosedQuickReferenceMenuChangesNothing)
{
    ASSERT_EQ(waitForFocus(QStringLiteral("EditField1")).toStdString(), "EditField1");
    // The pointer rests on the menu first, so its hover look is in both pictures.
    const QPoint menu = centreOf(kPopupMenu1);
    wheelAt(display(), m_window, menu.x(), menu.y(), 0);
    QThread::msleep(300);
    const QImage before = shot();

    for (int notches : {3, -3, 1}) {
        SCOPED_TRACE(notches);
        wheelAt(display(), m_window, menu.x(), menu.y(), notches);
        QThread::msleep(400);
        const QImage now = shot();
        EXPECT_TRUE(part(now, kPopupMenu1) == part(before, kPopupMenu1)) << "the chosen percentage is the same";
        EXPECT_TRUE(part(now, kStaticText7) == part(before, kStaticText7));
    }

    // The same wheel over a slider does move it: the wheel reached the program.
    const QPoint slider = centreOf(kSlider1);
    wheelAt(display(), m_window, slider.x(), slider.y(), 0);
    QThread::msleep(300);
    const QImage sliderBefore = part(shot(), kSlider1);
    wheelAt(display(), m_window, slider.x(), slider.y(), -3);
    const QDeadlineTimer deadline(5000);
    while (part(shot(), kSlider1) == sliderBefore && !deadline.hasExpired())
        QThread::msleep(20);
    EXPECT_FALSE(part(shot(), kSlider1) == sliderBefore);
}

TEST_F(RealMainWindow, ChoosingFromAQuickReferenceMenuLeavesTheFocusAndRunsNoTrial)
{
    ASSERT_EQ(waitForFocus(QStringLiteral("EditField1")).toStdString(), "EditField1");
    const QImage before = shot();
    const QPoint menu = centreOf(kPopupMenu1);
    const size_t windows = topLevelWindows(display()).size();
    clickAt(display(), m_window, menu.x(), menu.y());
    // The list opens in a window of its own, which then has the keys.
    const QDeadlineTimer opened(5000);
    while (topLevelWindows(display()).size() == windows && !opened.hasExpired())
        QThread::msleep(20);
    ASSERT_GT(topLevelWindows(display()).size(), windows) << "the list is open";
    QThread::msleep(200);
    tapKey(display(), QStringLiteral("Down"));
    tapKey(display(), QStringLiteral("Return"));

    const QDeadlineTimer deadline(5000);
    while (part(shot(), kPopupMenu1) == part(before, kPopupMenu1) && !deadline.hasExpired())
        QThread::msleep(20);
    EXPECT_FALSE(part(shot(), kPopupMenu1) == part(before, kPopupMenu1)) << "the next percentage is chosen";
    EXPECT_EQ(waitForFocus(QStringLiteral("EditField1")).toStdString(), "EditField1");
    QThread::msleep(700);
    const QImage after = shot();
    for (const QRect& r : kTrialShows)
        EXPECT_TRUE(part(after, r) == part(before, r))
            << "no trial: the area at " << r.x() << "," << r.y() << " is as it was";
}

} // namespace
