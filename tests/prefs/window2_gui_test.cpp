// The Preferences window and the key-capture window: their layouts against
// the layout tables; the first opening, which writes and shows the default
// file; reading stored values, odd files and key codes into the dialog;
// "Reset Defaults", the two key buttons with real key events, the two
// all-other-keys boxes, "OK" and "Cancel".
#include "estimation/window1.h"
#include "prefs/window2.h"
#include "prefs/window3.h"
#include "tests/prefs/prefs_fixture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QLineEdit>
#include <QTest>

namespace {

using quorvel::test::defaultWith;
using quorvel::test::kDefaultPrefs;
using quorvel::test::readPrefs;
using quorvel::test::writePrefs;

enum class Kind { Edit, Label, Button, Slider, Group, Check };
enum Flag : unsigned { None = 0, Bold = 1, Right = 2 };

struct Row {
    const char* name;
    Kind kind;
    int left, top, width, height;
    const char* text;  // text or caption; for a slider its value
    int size;          // text size; 0 for none
    unsigned flags;
    const char* parent;  // nullptr: the window
};

// In creation order.
const Row kWindow2[] = {
    {"EditField1", Kind::Edit, 174, 27, 60, 22, "50", 16, None, nullptr},
    {"StaticText1", Kind::Label, 20, 30, 143, 20, "Initial output value:", 12, Right, nullptr},
    {"EditField3", Kind::Edit, 174, 79, 60, 22, ".45", 16, None, nullptr},
    {"StaticText2", Kind::Label, 36, 83, 126, 20, "Diff. Threshold:", 12, Right, nullptr},
    {"EditField4", Kind::Edit, 174, 53, 60, 22, "7", 16, None, nullptr},
    {"StaticText3", Kind::Label, 41, 56, 121, 20, "Step Size:", 12, Right, nullptr},
    {"PushButton1", Kind::Button, 246, 341, 125, 20, "Reset Defaults", 12, None, nullptr},
    {"Slider1", Kind::Slider, 29, 272, 189, 16, "0", 0, None, nullptr},
    {"StaticText4", Kind::Label, 29, 254, 100, 20, "Speech Volume:", 12, None, nullptr},
    {"GroupBox3", Kind::Group, 278, 13, 255, 131, "Select key to indicate success (MEP):", 12, Bold, nullptr},
    {"PushButton2", Kind::Button, 289, 43, 228, 22, "Click here to select a key", 12, None, "GroupBox3"},
    {"CheckBox1", Kind::Check, 289, 74, 228, 19, "OR use all other keys", 12, None, "GroupBox3"},
    {"StaticText5", Kind::Label, 294, 110, 212, 20, "KEY =      y", 16, Bold, "GroupBox3"},
    {"GroupBox4", Kind::Group, 278, 161, 255, 131, "Select key to indicate failure (no MEP)", 12, Bold, nullptr},
    {"PushButton3", Kind::Button, 289, 191, 228, 22, "Click here to select a key", 12, None, "GroupBox4"},
    {"CheckBox2", Kind::Check, 289, 222, 228, 19, "OR use all other keys", 12, None, "GroupBox4"},
    {"StaticText6", Kind::Label, 294, 260, 212, 20, "KEY =     n", 16, Bold, "GroupBox4"},
    {"PushButton4", Kind::Button, 464, 341, 69, 20, "OK", 12, None, nullptr},
    {"PushButton5", Kind::Button, 383, 341, 69, 20, "Cancel", 12, None, nullptr},
    {"Slider2", Kind::Slider, 29, 312, 189, 16, "100", 0, None, nullptr},
    {"StaticText7", Kind::Label, 29, 294, 100, 20, "Signal Volume:", 12, None, nullptr},
    {"Slider3", Kind::Slider, 29, 350, 189, 16, "100", 0, None, nullptr},
    {"StaticText8", Kind::Label, 29, 332, 100, 20, "Click Volume:", 12, None, nullptr},
    {"GroupBox1", Kind::Group, 15, 8, 231, 99, "Adaptive PEST Settings", 12, Bold, nullptr},
    {"EditField2", Kind::Edit, 174, 138, 60, 22, "20", 16, None, nullptr},
    {"StaticText9", Kind::Label, 20, 141, 143, 20, "Lower Boundary:", 12, Right, nullptr},
    {"EditField5", Kind::Edit, 174, 190, 60, 22, "7", 16, None, nullptr},
    {"StaticText10", Kind::Label, 36, 194, 126, 20, "Relative threshold spread:", 12, Right, nullptr},
    {"EditField6", Kind::Edit, 174, 164, 60, 22, "80", 16, None, nullptr},
    {"StaticText11", Kind::Label, 41, 167, 121, 20, "Upper Boundary:", 12, Right, nullptr},
    {"GroupBox2", Kind::Group, 15, 119, 231, 129, "Max-Likelihood PEST Settings", 12, Bold, nullptr},
    {"EditField7", Kind::Edit, 174, 217, 60, 22, ".45", 16, None, "GroupBox2"},
    {"StaticText12", Kind::Label, 36, 221, 126, 20, "Diff. Threshold:", 12, Right, "GroupBox2"},
    {"CheckBox3", Kind::Check, 278, 304, 239, 25, "Use Maximum-Likelihood PEST", 12, None, nullptr},
};

// The dialog as laid out, before its opening reads or writes any file.
class LayoutOnly : public Window2 {
public:
    void Event_Open() override {}
};

QString text(const char* s)
{
    return QString::fromUtf8(s);
}

void expectFont(const Row& r, const fw::RectControl* c, const QWidget* shown)
{
    EXPECT_EQ(c->TextSize(), r.size);
    EXPECT_EQ(c->Bold(), bool(r.flags & Bold));
    EXPECT_EQ(c->TextFont(), QStringLiteral("Times"));
    const QFontInfo info(shown->font());
    EXPECT_EQ(info.pixelSize(), r.size);
    EXPECT_EQ(info.bold(), bool(r.flags & Bold));
}

void expectRow(const fw::Window* w, const Row& r)
{
    QObject* object = w->controlObject(text(r.name));
    ASSERT_NE(object, nullptr);
    auto* rc = dynamic_cast<fw::RectControl*>(object);
    ASSERT_NE(rc, nullptr);
    QWidget* parent = r.parent ? w->control<fw::GroupBox>(text(r.parent)) : w->content();
    EXPECT_EQ(rc->widget()->parentWidget(), parent);
    EXPECT_EQ(rc->Left(), r.left);
    EXPECT_EQ(rc->Top(), r.top);
    EXPECT_EQ(rc->Width(), r.width);
    EXPECT_EQ(rc->Height(), r.height);
    EXPECT_EQ(rc->widget()->mapTo(w->content(), QPoint(0, 0)), QPoint(r.left, r.top)) << "where it is drawn";
    // Only the fields take the focus; buttons, boxes and sliders are worked with the mouse.
    QWidget* focusTaker = rc->widget()->focusProxy() ? rc->widget()->focusProxy() : rc->widget();
    EXPECT_EQ(focusTaker->focusPolicy(), r.kind == Kind::Edit ? Qt::StrongFocus : Qt::NoFocus);
    EXPECT_TRUE(rc->Visible());
    EXPECT_TRUE(rc->Enabled());
    switch (r.kind) {
    case Kind::Edit: {
        auto* e = dynamic_cast<fw::EditField*>(object);
        ASSERT_NE(e, nullptr);
        EXPECT_FALSE(e->multiline());
        EXPECT_FALSE(e->ReadOnly());
        EXPECT_EQ(e->Text(), text(r.text));
        EXPECT_EQ(e->lineEdit()->echoMode(), QLineEdit::Normal);
        expectFont(r, e, e->lineEdit());
        break;
    }
    case Kind::Label: {
        auto* l = dynamic_cast<fw::StaticText*>(object);
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(l->Text(), text(r.text));
        EXPECT_EQ(l->alignment() & Qt::AlignHorizontal_Mask, (r.flags & Right) ? Qt::AlignRight : Qt::AlignLeft);
        EXPECT_FALSE(l->wordWrap());
        EXPECT_EQ(l->TextColor(), QColor(Qt::black));
        expectFont(r, l, l);
        break;
    }
    case Kind::Button: {
        auto* b = dynamic_cast<fw::PushButton*>(object);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->Caption(), text(r.text));
        EXPECT_FALSE(b->isDefault());
        EXPECT_FALSE(b->autoDefault()) << "Return must not press it";
        EXPECT_FALSE(b->CancelButton());
        EXPECT_TRUE(b->Action);
        expectFont(r, b, b);
        break;
    }
    case Kind::Slider: {
        auto* s = dynamic_cast<fw::Slider*>(object);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->Value(), QByteArray(r.text).toInt());
        EXPECT_EQ(s->minimum(), 0);
        EXPECT_EQ(s->maximum(), 100);
        EXPECT_EQ(s->singleStep(), 1);
        EXPECT_EQ(s->pageStep(), 20);
        EXPECT_FALSE(s->hasTracking());
        EXPECT_EQ(s->orientation(), Qt::Horizontal);
        break;
    }
    case Kind::Group: {
        auto* g = dynamic_cast<fw::GroupBox*>(object);
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g->Caption(), text(r.text));
        expectFont(r, g, g);
        break;
    }
    case Kind::Check: {
        auto* c = dynamic_cast<fw::CheckBox*>(object);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->Caption(), text(r.text));
        EXPECT_FALSE(c->Value());
        // Only the two all-other-keys boxes have a handler.
        EXPECT_EQ(bool(c->Action), r.name != std::string("CheckBox3"));
        expectFont(r, c, c);
        break;
    }
    }
}

class PreferencesWindow : public quorvel::test::PrefsTest {
protected:
    // The dialog as the main window's "Prefs" makes it.
    Window2* open() { return Window2::instance(); }
};

TEST_F(PreferencesWindow, EveryControlIsLaidOutAsTheTableSays)
{
    auto* w = new LayoutOnly;
    w->construct(QStringLiteral("Window2.Window2"));
    QStringList order;
    for (const Row& r : kWindow2)
        order << text(r.name);
    ASSERT_EQ(order.size(), 34);
    EXPECT_EQ(w->controlNames(), order);
    for (const Row& r : kWindow2) {
        SCOPED_TRACE(r.name);
        expectRow(w, r);
    }
    EXPECT_EQ(w->selectedkey, 0);
    EXPECT_EQ(w->tempsuccesskey, 0);
    EXPECT_EQ(w->tempfailkey, 0);
    EXPECT_EQ(readPrefs(), QByteArray("<missing>")) << "only the opening touches the file";
}

TEST_F(PreferencesWindow, WindowSettingsAndTabOrder)
{
    Window2* w = open();
    EXPECT_EQ(w->Title(), QStringLiteral("Preferences"));
    EXPECT_EQ(w->contentWidth(), 552);
    EXPECT_EQ(w->contentHeight(), 386);
    EXPECT_EQ(w->minimumSize(), w->maximumSize()) << "not resizable";
    EXPECT_FALSE(w->CloseBox());
    EXPECT_FALSE(w->windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                                     Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->MenuBar(), nullptr);

    // A close request (the window manager's) is refused.
    QCloseEvent close;
    QApplication::sendEvent(w, &close);
    EXPECT_FALSE(w->closed());
    EXPECT_EQ(Window2::instance(), w);

    // Tab visits the fields in creation order, not top to bottom.
    QStringList fields;
    QWidget* at = w->EditField1()->lineEdit();
    for (int i = 0; i < 40 && fields.size() < 7; ++i, at = at->nextInFocusChain()) {
        if (auto* e = dynamic_cast<fw::EditField*>(at->parentWidget()); e && at == e->lineEdit())
            if (!fields.contains(e->objectName()))
                fields << e->objectName();
    }
    EXPECT_EQ(fields, (QStringList{QStringLiteral("EditField1"), QStringLiteral("EditField3"),
                                   QStringLiteral("EditField4"), QStringLiteral("EditField2"),
                                   QStringLiteral("EditField5"), QStringLiteral("EditField6"),
                                   QStringLiteral("EditField7")}));
}

// Stands for the label of code 0: "KEY =     " and the NUL character.
constexpr const char* kNulLabel = nullptr;

struct Shown {
    QStringList fields;  // EditField1, 4, 3, 2, 6, 5, 7
    std::array<int, 3> sliders;
    std::int32_t successkey, failkey;
    const char* successLabel;
    const char* failLabel;
    std::array<bool, 3> boxes;
};

Shown shown(Window2* w)
{
    return {{w->EditField1()->Text(), w->EditField4()->Text(), w->EditField3()->Text(), w->EditField2()->Text(),
             w->EditField6()->Text(), w->EditField5()->Text(), w->EditField7()->Text()},
            {w->Slider1()->Value(), w->Slider2()->Value(), w->Slider3()->Value()},
            w->tempsuccesskey,
            w->tempfailkey,
            nullptr,
            nullptr,
            {w->CheckBox1()->Value(), w->CheckBox2()->Value(), w->CheckBox3()->Value()}};
}

QString labelText(const char* s)
{
    return s ? text(s) : QStringLiteral("KEY =     ") + QChar(0);
}

void expectShown(Window2* w, const Shown& want)
{
    const Shown got = shown(w);
    EXPECT_EQ(got.fields, want.fields);
    EXPECT_EQ(got.sliders, want.sliders);
    EXPECT_EQ(got.successkey, want.successkey);
    EXPECT_EQ(got.failkey, want.failkey);
    EXPECT_EQ(w->StaticText5()->Text(), labelText(want.successLabel));
    EXPECT_EQ(w->StaticText6()->Text(), labelText(want.failLabel));
    EXPECT_EQ(got.boxes, want.boxes);
}

const QStringList kDefaultFields = {QStringLiteral("50"), QStringLiteral("7"), QStringLiteral(".45"),
                                    QStringLiteral("20"), QStringLiteral("80"), QStringLiteral("7"),
                                    QStringLiteral(".45")};

TEST_F(PreferencesWindow, FirstOpeningWritesTheDefaultFileAndShowsIt)
{
    Window2* w = open();
    EXPECT_EQ(readPrefs(), kDefaultPrefs);
    expectShown(w, {kDefaultFields, {0, 100, 100}, 121, 110, "KEY =     y", "KEY =     n", {false, false, false}});
    EXPECT_TRUE(messages.isEmpty());

    // "Cancel" keeps the file the opening wrote.
    w->PushButton5()->click();
    EXPECT_TRUE(w->closed());
    EXPECT_EQ(readPrefs(), kDefaultPrefs);
    EXPECT_NE(Window2::instance(), w) << "a new showing is a new dialog";
}

TEST_F(PreferencesWindow, StoredValuesComeBackAfterOK)
{
    Window2* w = open();
    w->EditField1()->setText(QStringLiteral("62.5"));
    w->EditField4()->setText(QString());
    w->EditField3()->setText(QString::fromUtf8("0,3 µ"));
    w->Slider1()->setValue(37);
    w->Slider2()->setValue(0);
    w->Slider3()->setValue(99);
    w->tempsuccesskey = 32;
    w->tempfailkey = 127;
    w->CheckBox1()->setValue(true);
    w->EditField2()->setText(QStringLiteral("10"));
    w->EditField6()->setText(QStringLiteral("90"));
    w->EditField5()->setText(QStringLiteral("12"));
    w->EditField7()->setText(QStringLiteral(".2"));
    w->CheckBox3()->setValue(true);
    w->PushButton4()->click();
    EXPECT_TRUE(w->closed());
    EXPECT_EQ(readPrefs(), QByteArray("PESTPREFS\t62.5\t\t0,3 \xC2\xB5\t37\t0\t99\t32\t127\t1\t0\t10\t90\t12\t.2\t1\tENDOFFILE"));

    const QByteArray saved = readPrefs();
    Window2* again = open();
    expectShown(again, {{QStringLiteral("62.5"), QString(), QString::fromUtf8("0,3 µ"), QStringLiteral("10"),
                         QStringLiteral("90"), QStringLiteral("12"), QStringLiteral(".2")},
                        {37, 0, 99},
                        32,
                        127,
                        "KEY =     SPACE",
                        "KEY =     DELETE",
                        {true, false, true}});
    EXPECT_EQ(again->StaticText5()->TextColor(), fw::RGB(200, 200, 200)) << "the ticked group's key is greyed";
    EXPECT_EQ(again->StaticText6()->TextColor(), fw::RGB(0, 0, 0));
    again->PushButton5()->click();
    EXPECT_EQ(readPrefs(), saved) << "opening never rewrites a file that is there";
}

TEST_F(PreferencesWindow, OddFilesReadAsTheirFieldsSay)
{
    const Shown untouched = {kDefaultFields, {0, 100, 100}, 121, 110, "KEY =      y", "KEY =     n",
                             {false, false, false}};
    struct Case {
        const char* name;
        QByteArray file;
        Shown want;
    };
    const Case cases[] = {
        // Code 0 is named by its character, NUL, as every code without a name is.
        {"only the header and one field", "PESTPREFS\t50",
         {{QStringLiteral("50"), {}, {}, {}, {}, {}, {}}, {0, 0, 0}, 0, 0, kNulLabel, kNulLabel,
          {false, false, false}}},
        {"the header with a trailing blank", "PESTPREFS \t60\t8\t.5\t10\t20\t30\t65\t66\t1\t0\t1\t2\t3\t4\t1\tENDOFFILE",
         untouched},
        {"an empty file", "", untouched},
        {"a line end after the trailer", kDefaultPrefs + "\n",
         {kDefaultFields, {0, 100, 100}, 121, 110, "KEY =     y", "KEY =     n", {false, false, false}}},
        {"volumes outside the sliders' range, fractions and big numbers",
         "PESTPREFS\t1\t2\t3\t-5\t250\t49.5\t999999999999\t65.4\t\t\t\t\t\t\t\tENDOFFILE",
         {{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), {}, {}, {}, {}}, {0, 100, 50},
          2147483647, 65, "KEY =     ", "KEY =     A", {false, false, false}}},
        {"not numbers", "PESTPREFS\tx\ty\tz\tnan\t1e400\tinf\tabc\t0x41\tyes\ttrue\ta\tb\tc\td\ton\tENDOFFILE",
         {{QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z"), QStringLiteral("a"), QStringLiteral("b"),
           QStringLiteral("c"), QStringLiteral("d")},
          {0, 0, 0}, 0, 0, kNulLabel, kNulLabel, {false, false, false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writePrefs(c.file);
        Window2* w = open();
        expectShown(w, c.want);
        EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
        w->PushButton5()->click();
        EXPECT_EQ(readPrefs(), c.file) << "a reader never rewrites the file";
    }
}

TEST_F(PreferencesWindow, StoredKeyCodesAreNamed)
{
    struct Case {
        QByteArray code;
        const char* name;
    };
    const Case cases[] = {
        {"8", "DELETE"}, {"127", "DELETE"}, {"13", "ENTER"}, {"9", "TAB"},    {"32", "SPACE"}, {"65", "A"},
        {"29", "RIGHT"}, {"28", "LEFT"},    {"30", "UP"},    {"31", "DOWN"}, {"97", "a"},     {"27", "\x1b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code.constData());
        writePrefs(defaultWith(9, c.code).replace("\t121\t", "\t" + c.code + "\t"));
        Window2* w = open();
        EXPECT_EQ(w->tempsuccesskey, c.code.toInt());
        EXPECT_EQ(w->tempfailkey, c.code.toInt());
        EXPECT_EQ(w->StaticText5()->Text(), QStringLiteral("KEY =     ") + text(c.name));
        EXPECT_EQ(w->StaticText6()->Text(), QStringLiteral("KEY =     ") + text(c.name));
        w->PushButton5()->click();
    }
}

TEST_F(PreferencesWindow, ResetDefaultsThenCancelChangesNothing)
{
    const QByteArray stored = "PESTPREFS\t60\t8\t.5\t10\t20\t30\t65\t66\t1\t0\t1\t2\t3\t4\t1\tENDOFFILE";
    writePrefs(stored);
    Window1* main = Window1::instance();
    const std::int32_t keys[] = {main->successkey, main->failkey};
    Window2* w = open();
    ASSERT_EQ(w->EditField1()->Text(), QStringLiteral("60"));
    w->selectedkey = 77;
    w->PushButton1()->click();
    expectShown(w, {kDefaultFields, {0, 100, 100}, 121, 110, "KEY =      y", "KEY =      n", {false, false, false}});
    EXPECT_EQ(w->selectedkey, 77) << "the last captured key is not touched";
    EXPECT_EQ(w->StaticText5()->TextColor(), fw::RGB(0, 0, 0)) << "the label follows its unticked box";
    EXPECT_EQ(readPrefs(), stored);
    w->PushButton5()->click();
    EXPECT_EQ(readPrefs(), stored);
    EXPECT_EQ(main->successkey, keys[0]);
    EXPECT_EQ(main->failkey, keys[1]);

    // "Reset Defaults" and then "OK" saves the default record.
    w = open();
    w->PushButton1()->click();
    w->PushButton4()->click();
    EXPECT_EQ(readPrefs(), kDefaultPrefs);
    EXPECT_EQ(main->successkey, 121);
    EXPECT_EQ(main->failkey, 110);
}

TEST_F(PreferencesWindow, BothAllKeysBoxesAreRefused)
{
    const QString refusal = QStringLiteral("You cannot have both successes AND failures represented by all keys.");
    const QColor grey = fw::RGB(200, 200, 200), black = fw::RGB(0, 0, 0);
    struct Case {
        const char* name;
        bool successFirst;
    };
    for (const Case& c : {Case{"success box first", true}, Case{"failure box first", false}}) {
        SCOPED_TRACE(c.name);
        messages.clear();
        Window2* w = open();
        fw::CheckBox* first = c.successFirst ? w->CheckBox1() : w->CheckBox2();
        fw::CheckBox* second = c.successFirst ? w->CheckBox2() : w->CheckBox1();
        fw::StaticText* firstLabel = c.successFirst ? w->StaticText5() : w->StaticText6();
        fw::StaticText* secondLabel = c.successFirst ? w->StaticText6() : w->StaticText5();
        first->click();
        EXPECT_TRUE(messages.isEmpty());
        EXPECT_EQ(firstLabel->TextColor(), grey);
        second->click();
        EXPECT_EQ(messages, QStringList{refusal});
        EXPECT_TRUE(first->Value());
        EXPECT_FALSE(second->Value());
        EXPECT_EQ(firstLabel->TextColor(), grey);
        EXPECT_EQ(secondLabel->TextColor(), black);
        first->click();
        EXPECT_EQ(firstLabel->TextColor(), black);
        EXPECT_EQ(messages.size(), 1);
        w->PushButton5()->click();
    }

    // A file with both flags opens with the success box only, after the message.
    messages.clear();
    QList<QByteArray> both = kDefaultPrefs.split('\t');
    both[9] = both[10] = "1";
    writePrefs(quorvel::test::prefsFile(both));
    Window2* w = open();
    EXPECT_EQ(messages, QStringList{refusal});
    EXPECT_TRUE(w->CheckBox1()->Value());
    EXPECT_FALSE(w->CheckBox2()->Value());
    EXPECT_EQ(w->StaticText5()->TextColor(), grey);
    EXPECT_EQ(w->StaticText6()->TextColor(), black);
}

TEST_F(PreferencesWindow, OKSetsTheMainWindowsKeysAndLeavesAnUntickedFlag)
{
    writePrefs(defaultWith(10, "1"));
    Window1* main = Window1::instance();
    main->loadprefs();
    ASSERT_TRUE(main->successall);

    Window2* w = open();
    ASSERT_TRUE(w->CheckBox1()->Value());
    w->CheckBox1()->click();
    w->tempsuccesskey = 65;
    w->tempfailkey = 66;
    w->PushButton4()->click();
    EXPECT_TRUE(main->successall) << "OK never clears a flag itself";
    EXPECT_EQ(main->successkey, 65);
    EXPECT_EQ(main->failkey, 66);
    EXPECT_EQ(readPrefs().split('\t').at(9), QByteArray("0"));
    main->loadprefs();
    EXPECT_FALSE(main->successall) << "the file decides";
}

TEST_F(PreferencesWindow, TabsAndLineEndsInFieldsAreSavedAsBlanks)
{
    Window2* w = open();
    w->EditField1()->setText(QStringLiteral("5\t0"));
    // Pasted text, as the operator would bring it in.
    QApplication::clipboard()->setText(QStringLiteral("2\r\n0\t"));
    w->EditField2()->setText(QString());
    w->EditField2()->lineEdit()->paste();
    w->EditField7()->setText(QStringLiteral("\n"));
    w->PushButton4()->click();
    const QByteArray saved = readPrefs();
    EXPECT_EQ(saved.count('\t'), 16);
    EXPECT_FALSE(saved.contains('\r') || saved.contains('\n'));
    const QList<QByteArray> fields = saved.split('\t');
    EXPECT_EQ(fields[1], QByteArray("5 0"));
    EXPECT_TRUE(fields[11].startsWith("2")) << fields[11].constData();
    EXPECT_FALSE(fields[11].contains('\t'));
    EXPECT_EQ(fields[12], QByteArray("80")) << "no field has moved";
    EXPECT_EQ(fields[14], QByteArray(" "));
    EXPECT_EQ(fields[16], QByteArray("ENDOFFILE"));
}

// Key capture with real key events: the key-capture window is answered by
// pressing keys in it once it shows.
class KeyCapture : public quorvel::test::PrefsTest {};

void press(fw::Window* w, Qt::Key key, const QString& typed = {}, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QApplication::setActiveWindow(w);
    (void)QTest::qWaitForWindowActive(w, 1000);
    QKeyEvent down(QEvent::KeyPress, key, mods, typed);
    QApplication::sendEvent(QApplication::focusWidget() ? QApplication::focusWidget() : w, &down);
}

TEST_F(KeyCapture, WindowLayout)
{
    Window3* w = Window3::instance();
    EXPECT_EQ(w->Title(), QStringLiteral("Select a key"));
    EXPECT_EQ(w->contentWidth(), 348);
    EXPECT_EQ(w->contentHeight(), 81);
    EXPECT_EQ(w->minimumSize(), w->maximumSize());
    EXPECT_FALSE(w->CloseBox());
    EXPECT_EQ(w->controlNames(), QStringList{QStringLiteral("StaticText1")});
    fw::StaticText* l = w->StaticText1();
    EXPECT_EQ(l->widget()->parentWidget(), w->content());
    EXPECT_EQ(QRect(l->Left(), l->Top(), l->Width(), l->Height()), QRect(20, 14, 308, 61));
    EXPECT_EQ(l->Text(), QStringLiteral("PRESS ANY KEY TO SELECT IT"));
    EXPECT_EQ(l->TextSize(), 24);
    EXPECT_EQ(QFontInfo(l->font()).pixelSize(), 24);
    EXPECT_FALSE(l->Bold());
    EXPECT_EQ(l->TextFont(), QStringLiteral("Times"));
    EXPECT_EQ(l->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_TRUE(l->wordWrap());
    EXPECT_EQ(l->TextColor(), QColor(Qt::black));
    w->Close();
}

TEST_F(KeyCapture, EachKeyIsStoredAndNamed)
{
    struct Case {
        const char* name;
        Qt::Key key;
        QString typed;
        Qt::KeyboardModifiers mods;
        std::int32_t code;
        const char* label;
    };
    const Case cases[] = {
        {"space bar", Qt::Key_Space, QStringLiteral(" "), Qt::NoModifier, 32, "SPACE"},
        {"capital letter", Qt::Key_A, QStringLiteral("A"), Qt::ShiftModifier, 65, "A"},
        {"small letter", Qt::Key_A, QStringLiteral("a"), Qt::NoModifier, 97, "a"},
        {"backspace", Qt::Key_Backspace, QStringLiteral("\b"), Qt::NoModifier, 8, "DELETE"},
        {"delete", Qt::Key_Delete, QStringLiteral("\x7f"), Qt::NoModifier, 127, "DELETE"},
        {"return", Qt::Key_Return, QStringLiteral("\r"), Qt::NoModifier, 13, "ENTER"},
        {"tab", Qt::Key_Tab, QStringLiteral("\t"), Qt::NoModifier, 9, "TAB"},
        {"escape, a control character without a name", Qt::Key_Escape, QStringLiteral("\x1b"), Qt::NoModifier, 27,
         "\x1b"},
        {"digit", Qt::Key_5, QStringLiteral("5"), Qt::NoModifier, 53, "5"},
    };
    for (bool successButton : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (successButton ? " (success)" : " (failure)"));
            Window2* w = Window2::instance();
            int shows = 0;
            answer(QStringLiteral("Window3.Window3"), [&](fw::Window* capture) {
                ++shows;
                EXPECT_EQ(capture->windowModality(), Qt::ApplicationModal);
                // Arrows are ignored: the window waits on.
                for (Qt::Key arrow : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down}) {
                    press(capture, arrow);
                    EXPECT_FALSE(capture->closed());
                    EXPECT_EQ(w->selectedkey, 0);
                }
                press(capture, c.key, c.typed, c.mods);
                EXPECT_TRUE(capture->closed());
            });
            const std::int32_t other = successButton ? w->tempfailkey : w->tempsuccesskey;
            (successButton ? w->PushButton2() : w->PushButton3())->click();
            EXPECT_EQ(shows, 1);
            EXPECT_EQ(w->selectedkey, c.code);
            EXPECT_EQ(successButton ? w->tempsuccesskey : w->tempfailkey, c.code);
            EXPECT_EQ(successButton ? w->tempfailkey : w->tempsuccesskey, other) << "the other key stays";
            fw::StaticText* label = successButton ? w->StaticText5() : w->StaticText6();
            EXPECT_EQ(label->Text(), QStringLiteral("KEY =     ") + text(c.label));
            EXPECT_EQ(label->TextColor(), fw::RGB(0, 0, 0));
            EXPECT_EQ(fw::Window::_GetImplicitWindow(QStringLiteral("Window3.Window3")), nullptr);
            w->PushButton4()->click();
            EXPECT_EQ(readPrefs().split('\t').at(successButton ? 7 : 8), QByteArray::number(c.code));
        }
    }
}

} // namespace
