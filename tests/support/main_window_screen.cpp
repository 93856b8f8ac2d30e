#include "tests/support/main_window_screen.h"

#include "tests/support/real_desktop.h"

#include <QDeadlineTimer>
#include <QThread>

namespace quorvel::test {
namespace {

constexpr QRgb kContentGrey = 0xffbfbfbf;  // RGB(191, 191, 191)
constexpr int kPollMs = 2;

bool dark(QRgb p)
{
    return qGray(p) < 110;
}

} // namespace

int contentTop(Display* d, unsigned long window)
{
    const QImage column = grabWindow(d, window, QRect(3, 0, 1, 80));
    for (int y = 0; y < column.height(); ++y)
        if ((column.pixel(0, y) | 0xff000000) == kContentGrey)
            return y;
    return -1;
}

int waitForContentTop(Display* d, unsigned long window, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    int top = contentTop(d, window);
    while (top < 0 && !deadline.hasExpired()) {
        QThread::msleep(kPollMs);
        top = contentTop(d, window);
    }
    return top;
}

bool clickInContent(Display* d, unsigned long window, QPoint at, int timeoutMs)
{
    const int top = waitForContentTop(d, window, timeoutMs);
    if (top < 0)
        return false;
    clickAt(d, window, at.x(), top + at.y());
    return true;
}

bool pressStart(Display* d, unsigned long window, int timeoutMs)
{
    const int top = waitForContentTop(d, window, timeoutMs);
    if (top < 0)
        return false;
    const QRect start = kStartButtonArea.translated(0, top);
    const QImage before = grabWindow(d, window, start);
    clickAt(d, window, start.center().x(), start.center().y());
    focusWindow(d, window);
    const QDeadlineTimer deadline(timeoutMs);
    while (grabWindow(d, window, start) == before) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(kPollMs);
    }
    return true;
}

QRect historyTextArea(int top)
{
    // The field is 411 x 222 at (9, 445); its frame and scroll bar stay out.
    return QRect(9 + 3, top + 445 + 3, 370, 222 - 6);
}

int textRows(const QImage& area)
{
    int rows = 0;
    bool inRow = false;
    for (int y = 0; y < area.height(); ++y) {
        bool ink = false;
        for (int x = 0; x < area.width() && !ink; ++x)
            ink = dark(area.pixel(x, y));
        if (ink && !inRow)
            ++rows;
        inRow = ink;
    }
    return rows;
}

HistoryOnScreen::HistoryOnScreen(Display* d, unsigned long window) : m_display(d), m_window(window)
{
    if (const int top = contentTop(d, window); top >= 0)
        m_area = historyTextArea(top);
}

QImage HistoryOnScreen::grab() const
{
    return grabWindow(m_display, m_window, m_area);
}

QImage HistoryOnScreen::waitForChange(const QImage& before, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    do {
        QImage now = grab();
        if (now != before)
            return now;
        QThread::msleep(kPollMs);
    } while (!deadline.hasExpired());
    return {};
}

bool HistoryOnScreen::waitForRows(int count, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    do {
        if (rows() == count)
            return true;
        QThread::msleep(kPollMs);
    } while (!deadline.hasExpired());
    return false;
}

} // namespace quorvel::test
