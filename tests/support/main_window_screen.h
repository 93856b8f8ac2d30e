#pragma once

// The real program's main window on screen: where its content area begins
// under the menu bar, clicks at its controls' layout places, Start, and the
// trial history as the screen shows it, read back through XGetImage, which
// sends the program no event. Each history row is one band of dark text.

#include <QImage>
#include <QPoint>
#include <QRect>

typedef struct _XDisplay Display;

namespace quorvel::test {

// Layout places (content-area pixels, as the layout gives them) of the main
// window's controls that the tests click.
inline constexpr QRect kStartButtonArea{586, 198, 80, 20};  // "Start"
inline constexpr QPoint kStartButton = kStartButtonArea.center();
inline constexpr QPoint kInitialOutputField{799, 42}; // EditField1, 60 x 22 at (769, 31)
inline constexpr QPoint kMethodBox{595, 238};    // "Use ML-PEST", 100 x 20 at (586, 228)
inline constexpr QPoint kHistoryField{100, 505}; // the history, 411 x 222 at (9, 445)
inline constexpr QPoint kPrintSaveButton{829, 208}; // "Print/Save", 80 x 20 at (789, 198)
inline constexpr QPoint kResetButton{730, 208};     // "Reset", 80 x 20 at (690, 198)
inline constexpr QPoint kPrefsButton{730, 236};     // "Prefs", 80 x 20 at (690, 226)
// Its title, exactly.
inline constexpr char kMainWindowTitle[] = "Adaptive PEST Procedure ";

// Where the main window's content area begins under its menu bar (window
// coordinates), found by its grey; -1 when the window shows no such grey.
int contentTop(Display* d, unsigned long window);
// The same once the window shows it (nothing over it, painted); -1 after
// timeoutMs.
int waitForContentTop(Display* d, unsigned long window, int timeoutMs);
// Clicks the main window at a point of its content area (layout pixels).
bool clickInContent(Display* d, unsigned long window, QPoint at, int timeoutMs);
// Clicks Start, waits until it has run (it greys its own button) and gives
// the window the keyboard focus; false when Start did not run in time.
bool pressStart(Display* d, unsigned long window, int timeoutMs);

// The text area of the history field (scroll bar left out), in window
// coordinates, for a content area beginning at `top`.
QRect historyTextArea(int top);
// The rows of text in an image of that area: bands of dark pixels.
int textRows(const QImage& area);

// The history of one main window on screen.
class HistoryOnScreen {
public:
    HistoryOnScreen(Display* d, unsigned long window);
    bool valid() const { return m_area.isValid(); }
    QImage grab() const;
    int rows() const { return textRows(grab()); }
    // Polls every few milliseconds until the area differs from `before`;
    // returns the new image, or a null image after timeoutMs.
    QImage waitForChange(const QImage& before, int timeoutMs) const;
    // Polls until `count` rows show; false after timeoutMs.
    bool waitForRows(int count, int timeoutMs) const;

private:
    Display* m_display;
    unsigned long m_window;
    QRect m_area;
};

} // namespace quorvel::test
