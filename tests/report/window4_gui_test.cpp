// The Output window: its layout and settings, its one instance made anew
// after "Close", resizing that moves nothing, and "Save": the field's text
// byte for byte, edits included, a second save under one name, a cancel,
// and files that cannot be written (the text and any old file stay).
#include "framework/picture.h"
#include "tests/report/report_fixture.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFontInfo>
#include <QPlainTextEdit>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

using quorvel::test::OutputWindowTest;
using quorvel::test::readBytes;
using quorvel::test::writeBytes;

class OutputWindow : public OutputWindowTest {};

const QString kReport = QStringLiteral("__________________________________\r\rAdaptive P.E.S.T.\rHISTORY:\r"
                                       "#    SETTING  ROUND MEP   DIFF\r1    50.00    50    1     0.00\r\r");

TEST_F(OutputWindow, IsLaidOutAsTheTableSays)
{
    Window4* w = window();
    EXPECT_EQ(w->Title(), QStringLiteral("Output"));
    EXPECT_EQ(w->contentWidth(), 640);
    EXPECT_EQ(w->contentHeight(), 480);
    EXPECT_TRUE(w->isVisible()) << "visible once made";
    EXPECT_FALSE(w->isModal());
    EXPECT_TRUE(w->Resizeable());
    EXPECT_FALSE(w->CloseBox());
    EXPECT_TRUE(w->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(w->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(w->controlNames(), (QStringList{QStringLiteral("EditField1"), QStringLiteral("PushButton1"),
                                              QStringLiteral("PushButton2"), QStringLiteral("PushButton3")}));

    fw::EditField* field = w->EditField1();
    EXPECT_EQ(field->geometry(), QRect(0, 0, 550, 480));
    EXPECT_EQ(field->Text(), QString());
    EXPECT_TRUE(field->multiline());
    EXPECT_FALSE(field->ReadOnly());
    EXPECT_FALSE(field->textEdit()->isReadOnly());
    EXPECT_TRUE(field->textEdit()->tabChangesFocus()) << "AcceptTabs off";
    EXPECT_EQ(field->textEdit()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(field->textEdit()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(QFontInfo(field->textEdit()->font()).family(), fw::fontFamily(QStringLiteral("Courier")));
    EXPECT_EQ(field->textEdit()->font().pixelSize(), 12);

    const struct {
        fw::PushButton* button;
        int top;
        const char* caption;
    } buttons[] = {{w->PushButton1(), 14, "Print"}, {w->PushButton2(), 46, "Save"}, {w->PushButton3(), 78, "Close"}};
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.caption);
        EXPECT_EQ(b.button->geometry(), QRect(562, b.top, 69, 20));
        EXPECT_EQ(b.button->Caption(), QString::fromLatin1(b.caption));
        EXPECT_EQ(QFontInfo(b.button->font()).family(), fw::fontFamily(QStringLiteral("Times")));
        EXPECT_EQ(b.button->font().pixelSize(), 12);
        EXPECT_FALSE(b.button->font().bold());
        EXPECT_FALSE(b.button->isDefault());
        EXPECT_FALSE(b.button->CancelButton());
        EXPECT_TRUE(b.button->isEnabled());
        EXPECT_EQ(b.button->focusPolicy(), Qt::NoFocus) << "worked with the mouse only";
    }
    // The field is the only place Tab can go: it keeps the focus and no tab
    // character is typed.
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    field->SetFocus();
    QTest::keyClick(field->textEdit(), Qt::Key_Tab);
    QTest::keyClick(field->textEdit(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), field->textEdit());
    EXPECT_EQ(field->Text(), QString());
}

TEST_F(OutputWindow, OneInstanceUntilCloseThenANewEmptyOne)
{
    Window4* first = window();
    EXPECT_EQ(window(), first);
    first->EditField1()->setText(kReport);

    // The window system's close box does nothing: there is none.
    QCloseEvent event;
    QApplication::sendEvent(first, &event);
    EXPECT_FALSE(first->closed());
    EXPECT_EQ(window(), first);

    QPointer<Window4> gone(first);
    first->PushButton3()->click();
    EXPECT_TRUE(first->closed());
    EXPECT_EQ(fw::Window::_GetImplicitWindow(QStringLiteral("Window4.Window4")), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(gone.isNull()) << "a closed window is released";

    Window4* second = window();
    EXPECT_EQ(second->EditField1()->Text(), QString());
    EXPECT_TRUE(second->isVisible());
}

TEST_F(OutputWindow, ResizingMovesNothing)
{
    Window4* w = window();
    const QRect field = w->EditField1()->geometry();
    const QRect buttons[] = {w->PushButton1()->geometry(), w->PushButton2()->geometry(), w->PushButton3()->geometry()};
    const int top = w->content()->y();
    for (const QSize size : {QSize(1000, 800), QSize(200, 150), QSize(64, 64 + top), QSize(640, 480 + top)}) {
        SCOPED_TRACE(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height()).toStdString());
        w->resize(size);
        QCoreApplication::processEvents();
        EXPECT_EQ(w->size(), size) << "the window takes any size within its limits";
        EXPECT_EQ(w->content()->size(), QSize(size.width(), size.height() - top)) << "the background follows";
        EXPECT_EQ(w->EditField1()->geometry(), field);
        EXPECT_EQ(w->PushButton1()->geometry(), buttons[0]);
        EXPECT_EQ(w->PushButton2()->geometry(), buttons[1]);
        EXPECT_EQ(w->PushButton3()->geometry(), buttons[2]);
    }
    EXPECT_EQ(w->minimumSize(), QSize(64, 64 + top));
    w->resize(10, 10);
    EXPECT_EQ(w->size(), QSize(64, 64 + top)) << "not smaller than the minimum";
}

TEST_F(OutputWindow, SavesTheFieldTextByteForByte)
{
    savePath = dir.filePath(QStringLiteral("Untitled.txt"));
    struct Case {
        const char* name;
        QString text;
        QString typed;  // typed at the end of the field before saving
        QByteArray bytes;
    };
    const Case cases[] = {
        {"a report ends with its carriage return, nothing added", kReport, {}, kReport.toUtf8()},
        {"edits typed into the field are saved", QStringLiteral("Resting Motor Threshold = 46\r\r"),
         QStringLiteral("seen by A.B."), QByteArray("Resting Motor Threshold = 46\r\rseen by A.B.")},
        {"saving again under the name leaves only the second text", QStringLiteral("short\r"), {},
         QByteArray("short\r")},
        {"non-ASCII as UTF-8", QString::fromUtf8("Distance = 12 mm \xC2\xB5V\r"), {},
         QByteArray("Distance = 12 mm \xC2\xB5V\r")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Window4* w = window();
        w->EditField1()->setText(c.text);
        if (!c.typed.isEmpty()) {
            w->EditField1()->textEdit()->moveCursor(QTextCursor::End);
            QTest::keyClicks(w->EditField1()->textEdit(), c.typed);
        }
        save();
        EXPECT_EQ(readBytes(savePath), c.bytes);
        EXPECT_EQ(w->EditField1()->Text(), QString::fromUtf8(c.bytes)) << "the field keeps its text";
        EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Untitled.txt")});
    EXPECT_EQ(offered.first(), QStringLiteral("text|Untitled.txt")) << "file type and default name";
}

TEST_F(OutputWindow, CancelledSaveDoesNothing)
{
    savePath.clear();
    window()->EditField1()->setText(kReport);
    save();
    EXPECT_EQ(offered.size(), 1);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    EXPECT_EQ(window()->EditField1()->Text(), kReport);
}

// Lowers the largest file this process may write, as a full disk would
// stop it; a write past the limit fails with EFBIG instead of a signal.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_old{};
    void (*m_handler)(int) = nullptr;
};

TEST_F(OutputWindow, FileThatCannotBeWrittenIsSaidAndLosesNothing)
{
    const QByteArray old("an older report that must stay\r");
    const QString bigText = kReport.repeated(200);
    struct Case {
        const char* name;
        QString path;
        bool hasOld;            // an old file of that name stays byte for byte
        rlim_t sizeLimit;       // 0: none
    };
    const QString plainFile = dir.filePath(QStringLiteral("plain"));
    writeBytes(plainFile, "x");
    QDir(dir.path()).mkdir(QStringLiteral("folder"));
    const Case cases[] = {
        {"a folder that cannot be written", QStringLiteral("/proc/quorvel-report.txt"), false, 0},
        {"a folder that does not exist", dir.filePath(QStringLiteral("missing/Untitled.txt")), false, 0},
        {"a \"folder\" that is a file", plainFile + QStringLiteral("/Untitled.txt"), false, 0},
        {"a name that is a folder", dir.filePath(QStringLiteral("folder")), false, 0},
        {"the disk fills up during the write", dir.filePath(QStringLiteral("Untitled.txt")), true, 4096},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages.clear();
        if (c.hasOld)
            writeBytes(c.path, old);
        savePath = c.path;
        Window4* w = window();
        w->EditField1()->setText(bigText);
        {
            std::unique_ptr<FileSizeLimit> limit;
            if (c.sizeLimit)
                limit = std::make_unique<FileSizeLimit>(c.sizeLimit);
            save();
        }
        ASSERT_EQ(messages.size(), 1) << "the failure is said, once";
        EXPECT_TRUE(messages[0].contains(c.path)) << messages[0].toStdString();
        EXPECT_TRUE(messages[0].startsWith(QStringLiteral("The report could not be saved as")));
        static const QRegularExpression reason(QStringLiteral("\": \\S.*\\.$"));
        EXPECT_TRUE(reason.match(messages[0]).hasMatch()) << "with a reason: " << messages[0].toStdString();
        EXPECT_FALSE(messages[0].contains(QStringLiteral("Unknown error"), Qt::CaseInsensitive)) << messages[0].toStdString();
        EXPECT_EQ(w->EditField1()->Text(), bigText) << "the text stays in the window";
        if (c.hasOld)
            EXPECT_EQ(readBytes(c.path), old) << "the old file stays byte for byte";
        else
            EXPECT_FALSE(QFileInfo(c.path).isFile());
    }
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("folder"))).isDir());
    EXPECT_EQ(readBytes(plainFile), QByteArray("x"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{QStringLiteral("Untitled.txt"), QStringLiteral("plain")}))
        << "no temporary file is left";

    // The same window saves once the disk has room again.
    messages.clear();
    save();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(readBytes(savePath), bigText.toUtf8());
}

} // namespace
