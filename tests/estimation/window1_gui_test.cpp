// The main window as laid out: every one of its 51 controls against the
// layout table (class, place, text, font, settings), the window's own
// settings (size, title, colour, no close box), its one instance, the tab
// order of the parameter fields, and the splash picture on the canvas.
#include "app/app.h"
#include "app/resources.h"
#include "estimation/window1.h"
#include "framework/files.h"
#include "tests/support/main_window.h"
#include "tests/support/private_config.h"
#include "framework/picture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QFontInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

namespace {

enum class Kind { Edit, Label, Button, Canvas, Popup, Group, Slider, Check, Bevel, Timer, Line };

enum Flag : unsigned {
    None = 0,
    ReadOnly = 1u << 0,
    Multi = 1u << 1,   // multi-line edit field or label
    Left = 1u << 2,    // label alignment
    Centre = 1u << 3,
    Right = 1u << 4,
    Grey = 1u << 5,    // text or line colour RGB(150, 150, 150)
    Default = 1u << 6, // the default push button
    Bold = 1u << 7,
    Mono = 1u << 8,    // font "courier"
};

struct Row {
    const char* name;
    Kind kind;
    int a, b, c, d;    // left, top, width, height; for a line X1, Y1, X2, Y2
    const char* text;  // initial text or caption; nullptr for none
    int size;          // text size; 0 for none
    unsigned flags;
    const char* parent = nullptr;  // the group box it sits in; nullptr: the window
};

// In creation order.
const Row kLayout[] = {
    {"EditField1", Kind::Edit, 769, 31, 60, 22, "50", 16, None},
    {"StaticText1", Kind::Label, 624, 33, 143, 20, "Initial output value:", 12, Right},
    {"EditField3", Kind::Edit, 769, 82, 60, 22, ".45", 16, None},
    {"StaticText2", Kind::Label, 641, 84, 126, 20, "Diff. Threshold:", 12, Right},
    {"EditField4", Kind::Edit, 769, 56, 60, 22, "7", 16, None},
    {"StaticText3", Kind::Label, 646, 58, 121, 20, "Step Size:", 12, Right},
    {"PushButton1", Kind::Button, 586, 198, 80, 20, "Start", 12, Default},
    {"Canvas1", Kind::Canvas, 9, 13, 550, 387, nullptr, 0, None},
    {"EditField2", Kind::Edit, 9, 445, 411, 222, "", 16, Multi | ReadOnly | Mono},
    {"StaticText4", Kind::Label, 499, 503, 337, 166, "", 170, Centre | Bold},
    {"StaticText5", Kind::Label, 506, 478, 337, 35, "", 24, Centre | Bold},
    {"StaticText6", Kind::Label, 448, 425, 437, 39, "", 24, Centre | Multi},
    {"PushButton2", Kind::Button, 789, 226, 80, 20, "Quit", 12, Bold},
    {"EditField5", Kind::Edit, 9, 425, 411, 20, "#    SETTING  ROUND MEP   DIFF", 16, ReadOnly | Mono},
    {"PopupMenu1", Kind::Popup, 707, 294, 80, 20, nullptr, 14, None},
    {"PopupMenu2", Kind::Popup, 707, 326, 80, 20, nullptr, 14, None},
    {"PopupMenu3", Kind::Popup, 707, 358, 80, 20, nullptr, 14, None},
    {"StaticText7", Kind::Label, 795, 293, 43, 20, "###", 16, Centre | Bold},
    {"StaticText8", Kind::Label, 795, 325, 43, 20, "###", 16, Centre | Bold},
    {"StaticText9", Kind::Label, 795, 357, 43, 20, "###", 16, Centre | Bold},
    {"GroupBox1", Kind::Group, 570, 13, 315, 243, "Getting Started", 12, Bold},
    {"PushButton3", Kind::Button, 690, 198, 80, 20, "Reset", 12, None, "GroupBox1"},
    {"Slider1", Kind::Slider, 685, 116, 173, 16, nullptr, 0, None, "GroupBox1"},
    {"PushButton4", Kind::Button, 789, 198, 80, 20, "Print/Save", 12, None, "GroupBox1"},
    {"PushButton6", Kind::Button, 690, 226, 80, 20, "Prefs", 12, None, "GroupBox1"},
    {"Slider2", Kind::Slider, 685, 140, 173, 16, nullptr, 0, None, "GroupBox1"},
    {"Slider3", Kind::Slider, 685, 164, 173, 16, nullptr, 0, None, "GroupBox1"},
    {"StaticText10", Kind::Label, 580, 112, 100, 20, "Voice Volume:", 12, Right, "GroupBox1"},
    {"StaticText11", Kind::Label, 580, 136, 100, 20, "Signal Volume:", 12, Right, "GroupBox1"},
    {"StaticText12", Kind::Label, 580, 160, 100, 20, "Click Volume:", 12, Right, "GroupBox1"},
    {"CheckBox1", Kind::Check, 586, 228, 100, 20, "Use ML-PEST", 12, None, "GroupBox1"},
    {"GroupBox2", Kind::Group, 695, 268, 190, 132, "Quick Reference", 12, Bold},
    {"StaticText13", Kind::Label, 838, 294, 43, 20, "###", 16, Centre | Bold | Grey, "GroupBox2"},
    {"StaticText14", Kind::Label, 838, 325, 43, 20, "###", 16, Centre | Bold | Grey, "GroupBox2"},
    {"StaticText15", Kind::Label, 838, 357, 43, 20, "###", 16, Centre | Bold | Grey, "GroupBox2"},
    {"Timer1", Kind::Timer, 0, 0, 0, 0, nullptr, 0, None},
    {"Timer2", Kind::Timer, 0, 0, 0, 0, nullptr, 0, None},
    {"Timer3", Kind::Timer, 0, 0, 0, 0, nullptr, 0, None},
    {"EditField6", Kind::Edit, 624, 350, 40, 18, "0", 13, None},
    {"EditField7", Kind::Edit, 624, 304, 40, 18, "0", 13, None},
    {"StaticText16", Kind::Label, 582, 289, 88, 24, "Distance to M1:", 11, Left | Multi},
    {"StaticText17", Kind::Label, 582, 335, 101, 15, "Distance to target:", 11, Left | Multi},
    {"GroupBox3", Kind::Group, 570, 268, 116, 132, "Distance Correct", 12, Bold},
    {"StaticText18", Kind::Label, 575, 306, 48, 20, "mm=", 12, Right, "GroupBox3"},
    {"StaticText19", Kind::Label, 575, 350, 48, 20, "mm=", 12, Right, "GroupBox3"},
    {"BevelButton1", Kind::Bevel, 582, 380, 82, 12, "Adjust", 10, None, "GroupBox3"},
    {"Line1", Kind::Line, 672, 389, 859, 389, nullptr, 0, Grey},
    {"Line2", Kind::Line, 859, 389, 859, 377, nullptr, 0, Grey},
    {"Line3", Kind::Line, 672, 309, 672, 389, nullptr, 0, Grey},
    {"Line4", Kind::Line, 663, 309, 672, 309, nullptr, 0, Grey},
    {"Line5", Kind::Line, 663, 356, 672, 356, nullptr, 0, Grey},
};

const QColor kGrey(150, 150, 150);

// The window made afresh for each test, as start-up makes it; the default
// Resources folder, a private configuration folder.
class MainWindow : public PrivateConfigTest {
protected:
    void SetUp() override
    {
        resources::resetAll();
        fw::setResourcesFolder(QString());
        // A preferences file with the layout's volumes and the built-in
        // keys, so that opening shows no Preferences window.
        QStringList prefs = quorvel::test::defaultPrefsFields();
        prefs[3] = prefs[4] = prefs[5] = QStringLiteral("85");
        prefs[6] = QStringLiteral("49");
        prefs[7] = QStringLiteral("48");
        quorvel::test::writePrefsFile(configHome(), prefs);
        w = Window1::instance();
        ASSERT_NE(w, nullptr);
    }
    void TearDown() override
    {
        fw::Window::releaseAll();
        if (MenuBar1::exists())
            MenuBar1::releaseInstance();
        resources::resetAll();
    }

    Window1* w = nullptr;
};

// What a control shows once the window has opened: the layout's text, but
// for what opening changes. The preferences file's ".45" is shown as the
// number it reads as, and the quick reference, computed as its menus open,
// reads 0 while there is no estimate.
QString shownAfterOpen(const Row& r)
{
    const QString name = QString::fromLatin1(r.name);
    if (name == QStringLiteral("EditField3"))
        return QStringLiteral("0.45");
    for (const char* value : {"StaticText7", "StaticText8", "StaticText9", "StaticText13", "StaticText14", "StaticText15"})
        if (name == QString::fromLatin1(value))
            return QStringLiteral("0");
    return QString::fromUtf8(r.text);
}

// The text, font and style settings of a control with text.
void expectText(const Row& r, const fw::RectControl* c, const QString& text, const QWidget* shown)
{
    if (r.text) {
        EXPECT_EQ(text, shownAfterOpen(r));
    }
    EXPECT_EQ(c->TextSize(), r.size);
    EXPECT_EQ(c->Bold(), bool(r.flags & Bold));
    EXPECT_EQ(c->TextFont(), (r.flags & Mono) ? QStringLiteral("courier") : QStringLiteral("Times"));
    // What is drawn: the pixel size and weight asked for, and a monospaced
    // face exactly where the history columns must line up.
    const QFontInfo info(shown->font());
    EXPECT_EQ(info.pixelSize(), r.size);
    EXPECT_EQ(info.bold(), bool(r.flags & Bold));
    EXPECT_EQ(info.fixedPitch(), bool(r.flags & Mono)) << info.family().toStdString();
}

void expectRow(Window1* w, const Row& r)
{
    const QString name = QString::fromLatin1(r.name);
    QObject* object = w->controlObject(name);
    ASSERT_NE(object, nullptr);

    if (r.kind == Kind::Timer) {
        auto* t = dynamic_cast<fw::Timer*>(object);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->Mode(), 0);
        EXPECT_EQ(t->Period(), 0);
        const bool ownClass = name == QStringLiteral("Timer1")   ? dynamic_cast<Window1_Timer1*>(t) != nullptr
                              : name == QStringLiteral("Timer2") ? dynamic_cast<Window1_Timer2*>(t) != nullptr
                                                                 : dynamic_cast<Window1_Timer3*>(t) != nullptr;
        EXPECT_TRUE(ownClass);
        EXPECT_TRUE(t->Action);
        return;
    }

    auto* rc = dynamic_cast<fw::RectControl*>(object);
    ASSERT_NE(rc, nullptr);
    QWidget* widget = rc->widget();
    QWidget* parent = r.parent ? static_cast<QWidget*>(w->controlObject(QString::fromLatin1(r.parent))) : w->content();
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(widget->parentWidget(), parent);
    EXPECT_TRUE(rc->Visible());
    EXPECT_TRUE(rc->Enabled());

    if (r.kind == Kind::Line) {
        auto* line = dynamic_cast<fw::Line*>(object);
        ASSERT_NE(line, nullptr);
        EXPECT_EQ(line->X1(), r.a);
        EXPECT_EQ(line->Y1(), r.b);
        EXPECT_EQ(line->X2(), r.c);
        EXPECT_EQ(line->Y2(), r.d);
        EXPECT_EQ(line->BorderWidth(), 1);
        EXPECT_EQ(line->LineColor(), kGrey);
        // The widget covers both ends.
        EXPECT_TRUE(line->geometry().contains(r.a, r.b));
        EXPECT_TRUE(line->geometry().contains(r.c, r.d));
        return;
    }

    EXPECT_EQ(rc->Left(), r.a);
    EXPECT_EQ(rc->Top(), r.b);
    // Where it is drawn, in a group box too.
    EXPECT_EQ(widget->mapTo(w->content(), QPoint(0, 0)), QPoint(r.a, r.b));
    // Only fields take the focus; Tab passes over read-only ones.
    const Qt::FocusPolicy focus = r.kind != Kind::Edit  ? Qt::NoFocus
                                  : (r.flags & ReadOnly) ? Qt::ClickFocus
                                                         : Qt::StrongFocus;
    EXPECT_EQ(widget->focusProxy() ? widget->focusProxy()->focusPolicy() : widget->focusPolicy(), focus);
    EXPECT_EQ(rc->Width(), r.c);
    EXPECT_EQ(rc->Height(), r.d);

    switch (r.kind) {
    case Kind::Edit: {
        auto* e = dynamic_cast<fw::EditField*>(object);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->multiline(), bool(r.flags & Multi));
        EXPECT_EQ(e->ReadOnly(), bool(r.flags & ReadOnly));
        QWidget* editor = e->multiline() ? static_cast<QWidget*>(e->textEdit()) : e->lineEdit();
        ASSERT_NE(editor, nullptr);
        const bool editorReadOnly = e->multiline() ? e->textEdit()->isReadOnly() : e->lineEdit()->isReadOnly();
        EXPECT_EQ(editorReadOnly, bool(r.flags & ReadOnly));
        expectText(r, e, e->Text(), editor);
        break;
    }
    case Kind::Label: {
        auto* l = dynamic_cast<fw::StaticText*>(object);
        ASSERT_NE(l, nullptr);
        expectText(r, l, l->Text(), l);
        const Qt::Alignment h = l->alignment() & Qt::AlignHorizontal_Mask;
        const Qt::Alignment want = (r.flags & Centre)  ? Qt::AlignHCenter
                                   : (r.flags & Right) ? Qt::AlignRight
                                                       : Qt::AlignLeft;
        EXPECT_EQ(h, want);
        EXPECT_EQ(l->wordWrap(), bool(r.flags & Multi));
        const QColor colour = (r.flags & Grey) ? kGrey : QColor(Qt::black);
        EXPECT_EQ(l->TextColor(), colour);
        EXPECT_EQ(l->palette().color(QPalette::WindowText), colour);
        break;
    }
    case Kind::Button: {
        auto* b = dynamic_cast<fw::PushButton*>(object);
        ASSERT_NE(b, nullptr);
        expectText(r, b, b->Caption(), b);
        EXPECT_EQ(b->isDefault(), bool(r.flags & Default));
        EXPECT_FALSE(b->CancelButton());
        EXPECT_TRUE(b->Action);
        break;
    }
    case Kind::Canvas: {
        auto* c = dynamic_cast<fw::Canvas*>(object);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->focusPolicy(), Qt::NoFocus);
        ASSERT_NE(c->Backdrop(), nullptr);
        EXPECT_EQ(c->Backdrop(), NewSplash());
        EXPECT_TRUE(c->Paint);
        EXPECT_TRUE(c->KeyDown);
        break;
    }
    case Kind::Popup: {
        auto* p = dynamic_cast<fw::PopupMenu*>(object);
        ASSERT_NE(p, nullptr);
        // Filled as it opens: "0%".."200%", a percentage chosen.
        EXPECT_EQ(p->ListCount(), 201);
        EXPECT_TRUE(p->Text().endsWith(QLatin1Char('%')));
        EXPECT_EQ(p->TextSize(), r.size);
        EXPECT_EQ(QFontInfo(p->font()).pixelSize(), r.size);
        EXPECT_TRUE(p->Open);
        EXPECT_TRUE(p->Change);
        break;
    }
    case Kind::Group: {
        auto* g = dynamic_cast<fw::GroupBox*>(object);
        ASSERT_NE(g, nullptr);
        expectText(r, g, g->Caption(), g);
        break;
    }
    case Kind::Slider: {
        auto* s = dynamic_cast<fw::Slider*>(object);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->Value(), 85);
        EXPECT_EQ(s->minimum(), 0);
        EXPECT_EQ(s->maximum(), 100);
        EXPECT_EQ(s->singleStep(), 1);
        EXPECT_EQ(s->pageStep(), 20);
        EXPECT_FALSE(s->hasTracking());
        EXPECT_EQ(s->orientation(), Qt::Horizontal);
        EXPECT_EQ(s->tickPosition(), QSlider::NoTicks);
        break;
    }
    case Kind::Check: {
        auto* c = dynamic_cast<fw::CheckBox*>(object);
        ASSERT_NE(c, nullptr);
        expectText(r, c, c->Caption(), c);
        EXPECT_FALSE(c->Value());
        EXPECT_TRUE(c->Action);
        break;
    }
    case Kind::Bevel: {
        auto* b = dynamic_cast<fw::BevelButton*>(object);
        ASSERT_NE(b, nullptr);
        expectText(r, b, b->Caption(), b);
        EXPECT_EQ(b->focusPolicy(), Qt::NoFocus);
        EXPECT_EQ(b->menu(), nullptr);
        EXPECT_TRUE(b->Action);
        break;
    }
    case Kind::Timer:
    case Kind::Line:
        break;
    }
}

TEST_F(MainWindow, EveryControlIsLaidOutAsTheTableSays)
{
    QStringList order;
    for (const Row& r : kLayout)
        order << QString::fromLatin1(r.name);
    // All 51, registered in creation order under their names.
    ASSERT_EQ(order.size(), 51);
    EXPECT_EQ(w->controlNames(), order);
    for (const Row& r : kLayout) {
        SCOPED_TRACE(r.name);
        expectRow(w, r);
    }
}

TEST_F(MainWindow, WindowSettings)
{
    // Shown on creation: start-up never calls Show.
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->Title(), QStringLiteral("Adaptive PEST Procedure "));
    EXPECT_EQ(w->contentWidth(), 905);
    EXPECT_EQ(w->contentHeight(), 690);
    EXPECT_EQ(w->content()->size(), QSize(905, 690));
    EXPECT_EQ(w->minimumSize(), w->maximumSize());
    EXPECT_EQ(w->size(), w->minimumSize());
    EXPECT_EQ(w->content()->palette().color(QPalette::Window), QColor(191, 191, 191));
    EXPECT_TRUE(w->content()->autoFillBackground());

    const Qt::WindowFlags flags = w->windowFlags();
    EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(w->CloseBox());
    EXPECT_FALSE(w->isFullScreen());

    // The shared menu bar, shown above the content.
    EXPECT_EQ(w->MenuBar(), MenuBar1::instance());
    ASSERT_NE(w->qtMenuBar(), nullptr);
    EXPECT_TRUE(w->qtMenuBar()->isVisible());
    EXPECT_GE(w->content()->y(), w->qtMenuBar()->height());
    EXPECT_EQ(w->height(), w->content()->y() + 690);

    // Neither the user nor a resize can change it.
    w->resize(1000, 800);
    EXPECT_EQ(w->content()->size(), QSize(905, 690));
    EXPECT_EQ(w->size(), w->minimumSize());
}

TEST_F(MainWindow, ACloseRequestIsRefused)
{
    QCloseEvent event;
    QApplication::sendEvent(w, &event);
    EXPECT_FALSE(event.isAccepted());
    EXPECT_FALSE(w->close());
    QCoreApplication::processEvents();
    EXPECT_FALSE(w->closed());
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(Window1::instance(), w);
}

TEST_F(MainWindow, TheImplicitInstanceIsTheOneWindow)
{
    EXPECT_EQ(Window1::instance(), w);
    EXPECT_EQ(Window1::instance(), w);
    EXPECT_EQ(fw::Window::openWindows().size(), 1u);
    EXPECT_EQ(w->className(), QStringLiteral("Window1.Window1"));
}

// The name of the control that holds the focus (an edit field's inner editor
// has none of its own).
std::string focusedControl()
{
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (!w->objectName().isEmpty())
            return w->objectName().toStdString();
    return "nothing";
}

TEST_F(MainWindow, TabVisitsTheParameterFieldsInTableOrder)
{
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    w->EditField1()->SetFocus();
    ASSERT_TRUE(w->EditField1()->hasFocus());
    for (fw::EditField* next : {w->EditField3(), w->EditField4()}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_TRUE(next->hasFocus()) << "focus on " << focusedControl();
    }
}

TEST_F(MainWindow, TheCanvasShowsTheSplashPictureBeforeAnyPlot)
{
    const auto splash = NewSplash();
    ASSERT_NE(splash, nullptr);
    const QImage shown = w->Canvas1()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage want = splash->image().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(550, 387));
    ASSERT_EQ(want.size(), QSize(550, 387));
    int differ = 0;
    for (int y = 0; y < 387; y += 7)
        for (int x = 0; x < 550; x += 7)
            differ += shown.pixel(x, y) != want.pixel(x, y);
    EXPECT_EQ(differ, 0);
}

TEST_F(MainWindow, OpenGivesTheBuiltInKeys)
{
    EXPECT_EQ(w->successkey, 49);
    EXPECT_EQ(w->failkey, 48);
    EXPECT_FALSE(w->successall);
    EXPECT_FALSE(w->failall);
}

} // namespace
