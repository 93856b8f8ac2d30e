// The real program on a private X server: a report shown by "Print/Save",
// characters typed into the Output window through the X server (a no-break
// space, U+2028 and a character outside the BMP among them, none of them on
// the keyboard), and "Save" through the real save dialog: the file holds the
// report and exactly what was typed, its lines ending in carriage returns.
#include "tests/support/main_window_screen.h"
#include "tests/support/real_desktop.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <functional>

// Xlib last: its macros clash with Qt's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace {

using namespace quorvel::test;

// The height of what a window shows above its content (the menu bar).
int menuHeight(Display* d, unsigned long window, int contentHeight)
{
    XWindowAttributes a{};
    XGetWindowAttributes(d, window, &a);
    return a.height - contentHeight;
}

// Types one character that the keyboard may not have: a spare key code is
// given the character's keysym for the press, as a typing tool does.
void typeCharacter(Display* d, char32_t c)
{
    const KeySym sym = c < 0x100 ? KeySym(c) : KeySym(0x01000000 | c);
    int min = 0, max = 0, perCode = 0;
    XDisplayKeycodes(d, &min, &max);
    KeySym* map = XGetKeyboardMapping(d, KeyCode(min), max - min + 1, &perCode);
    int spare = 0;
    for (int code = max; code >= min && !spare; --code) {
        bool empty = true;
        for (int i = 0; i < perCode; ++i)
            empty = empty && map[(code - min) * perCode + i] == NoSymbol;
        if (empty)
            spare = code;
    }
    XFree(map);
    ASSERT_NE(spare, 0) << "no spare key code";
    KeySym syms[2] = {sym, sym};
    XChangeKeyboardMapping(d, spare, 2, syms, 1);
    XSync(d, False);
    QThread::msleep(150);  // the program reads the new map
    XTestFakeKeyEvent(d, KeyCode(spare), True, CurrentTime);
    XTestFakeKeyEvent(d, KeyCode(spare), False, CurrentTime);
    XSync(d, False);
    QThread::msleep(100);
    KeySym none[2] = {NoSymbol, NoSymbol};
    XChangeKeyboardMapping(d, spare, 2, none, 1);
    XSync(d, False);
}

TEST(OutputWindowOnX, TypedCharactersAreSavedAsTyped)
{
    PrivateXServer server;
    QString why;
    ASSERT_TRUE(server.start(&why)) << why.toStdString();
    Display* d = server.display();
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    ASSERT_TRUE(writeDefaultPrefs(home.path()));
    RealProgram program(server, home.path());
    program.environment().insert(QStringLiteral("HOME"), home.path());
    ASSERT_TRUE(program.start(&why)) << why.toStdString();

    const unsigned long main = program.expectWindow(QString::fromLatin1(kMainWindowTitle), 20'000);
    ASSERT_NE(main, 0u);
    ASSERT_TRUE(clickInContent(d, main, kPrintSaveButton, 10'000)) << "the main window does not show";
    const unsigned long output = program.expectWindow(QStringLiteral("Output"), 10'000);
    ASSERT_NE(output, 0u);
    const int top = menuHeight(d, output, 480);

    // Into the field, at the end of the report.
    focusWindow(d, output);
    clickAt(d, output, 275, 240 + top);
    tapKey(d, QStringLiteral("ctrl+End"));
    const std::u32string typed = U"a\u00A0b\u2028c\U0001F600";
    for (const char32_t c : typed)
        typeCharacter(d, c);
    tapKey(d, QStringLiteral("Return"));
    tapKey(d, QStringLiteral("z"));

    // "Save" at 562, 46; the dialog offers "Untitled.txt" in the home folder.
    clickAt(d, output, 562 + 34, 46 + 10 + top);
    const unsigned long dialog = program.expectWindow(QStringLiteral("Save"), 10'000);
    ASSERT_NE(dialog, 0u);
    QThread::msleep(300);
    focusWindow(d, dialog);
    tapKey(d, QStringLiteral("Return"));
    const QString saved = QDir(home.path()).filePath(QStringLiteral("Untitled.txt"));
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(saved); }, 10'000)) << "the report was not saved";
    QThread::msleep(200);
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();

    EXPECT_TRUE(bytes.startsWith(QByteArray(34, '_') + "\r\rAdaptive P.E.S.T.\r")) << bytes.left(80).toStdString();
    EXPECT_TRUE(bytes.endsWith(QString::fromStdU32String(typed).toUtf8() + "\rz")) << bytes.right(40).toHex().toStdString();
    EXPECT_FALSE(bytes.contains('\n')) << "every line ends in a carriage return alone";

    focusWindow(d, main);
    tapKey(d, QStringLiteral("ctrl+q"));
    int code = 0;
    EXPECT_TRUE(program.waitForExit(10'000, &code));
    EXPECT_EQ(code, 0);
}

} // namespace
