// The Output window: its layout and settings, its one instance made anew
// after "Close", resizing that moves nothing, and "Save": the field's text
// byte for byte, edits and pasted text included, a second save under one
// name, a cancel, and files that cannot be written, each said with its true
// reason (the text and any old file stay), a full disk included.
#include "framework/picture.h"
#include "tests/report/report_fixture.h"
#include "tests/support/root_file_access.h"
#include "tests/support/traced_child.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFontInfo>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QPlainTextEdit>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using quorvel::test::OutputWindowTest;
using quorvel::test::readBytes;
using quorvel::test::WithoutRootFileAccess;
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
        {"no-break space, U+2028 and U+2029 as they are", QStringLiteral("12\u00A0mm\u2028next\u2029last\r"), {},
         QByteArray("12\xC2\xA0mm\xE2\x80\xA8next\xE2\x80\xA9last\r")},
        {"every line end as it is", QStringLiteral("cr\rcrlf\r\nlf\n\ttab\r\r"), {},
         QByteArray("cr\rcrlf\r\nlf\n\ttab\r\r")},
        {"outside the BMP", QString::fromUtf8("\xF0\x9F\x98\x80\r"), {}, QByteArray("\xF0\x9F\x98\x80\r")},
        {"about 100 kB", kReport.repeated(1000) + QStringLiteral("\u00A0\r\n"), {},
         (kReport.repeated(1000) + QStringLiteral("\u00A0\r\n")).toUtf8()},
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

    // The same texts pasted into the field after a report.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Window4* w = window();
        w->EditField1()->setText(kReport);
        w->EditField1()->textEdit()->moveCursor(QTextCursor::End);
        QApplication::clipboard()->setText(c.text);
        w->EditField1()->textEdit()->paste();
        save();
        EXPECT_EQ(readBytes(savePath), kReport.toUtf8() + c.text.toUtf8());
    }
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
        QString reason;         // the true reason, as the message gives it
        bool hasOld;            // an old file of that name stays byte for byte
        rlim_t sizeLimit;       // 0: none
        bool readOnlyFolder;    // the folder's write permission taken away
    };
    const QString plainFile = dir.filePath(QStringLiteral("plain"));
    writeBytes(plainFile, "x");
    QDir(dir.path()).mkdir(QStringLiteral("folder"));
    QDir(dir.path()).mkdir(QStringLiteral("locked"));
    const QString pipe = dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString linkToPipe = dir.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(pipe, linkToPipe));
    const QString locked = dir.filePath(QStringLiteral("locked"));
    const Case cases[] = {
        {"a folder that cannot be written", QStringLiteral("/proc/quorvel-report.txt"),
         QStringLiteral("the folder \u201C/proc\u201D cannot be written: "), false, 0, false},
        {"a read-only folder", locked + QStringLiteral("/Untitled.txt"),
         QStringLiteral("the folder \u201C%1\u201D cannot be written: Permission denied").arg(locked), false, 0, true},
        {"a folder that does not exist", dir.filePath(QStringLiteral("missing/Untitled.txt")),
         QStringLiteral("the folder \u201C%1\u201D does not exist").arg(dir.filePath(QStringLiteral("missing"))), false, 0,
         false},
        {"a \"folder\" that is a file", plainFile + QStringLiteral("/Untitled.txt"),
         QStringLiteral("\u201C%1\u201D is not a folder").arg(plainFile), false, 0, false},
        {"a name that is a folder", dir.filePath(QStringLiteral("folder")), QStringLiteral("it is a folder, not a file"),
         false, 0, false},
        {"a name that is a named pipe", pipe, QStringLiteral("it is not a regular file"), false, 0, false},
        {"a link to a named pipe", linkToPipe, QStringLiteral("it is not a regular file"), false, 0, false},
        {"the file grows past the size limit", dir.filePath(QStringLiteral("Untitled.txt")),
         QStringLiteral("File too large"), true, 4096, false},
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
            std::unique_ptr<WithoutRootFileAccess> lowered;
            if (c.readOnlyFolder) {
                chmod(QFile::encodeName(locked).constData(), 0500);
                lowered = std::make_unique<WithoutRootFileAccess>();
            }
            save();
        }
        chmod(QFile::encodeName(locked).constData(), 0700);
        ASSERT_EQ(messages.size(), 1) << "the failure is said, once";
        EXPECT_TRUE(messages[0].startsWith(QStringLiteral("The report could not be saved as \"%1\": ").arg(c.path)))
            << messages[0].toStdString();
        EXPECT_TRUE(messages[0].contains(c.reason)) << messages[0].toStdString();
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
    struct stat st {};
    EXPECT_TRUE(lstat(QFile::encodeName(pipe).constData(), &st) == 0 && S_ISFIFO(st.st_mode)) << "the pipe stays";
    EXPECT_EQ(QFileInfo(linkToPipe).symLinkTarget(), pipe) << "the link stays";
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name),
              (QStringList{QStringLiteral("Untitled.txt"), QStringLiteral("link"), QStringLiteral("pipe"),
                           QStringLiteral("plain")}))
        << "no temporary file is left";
    EXPECT_TRUE(QDir(locked).isEmpty());

    // The same window saves once the disk has room again.
    messages.clear();
    save();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(readBytes(savePath), bigText.toUtf8());
}

// The full-disk test's child: started with the path to save to, it saves a
// first text while nothing fails (so that first-use work is done), says it
// is ready, waits until the tracer answers a probe, and then saves a longer
// text while every write() fails with ENOSPC. It reports by exit code,
// since every write may be failing.
constexpr const char* kChildPath = "QUORVEL_REPORT_CHILD_PATH";
constexpr int kChildOk = 0, kChildNoMessage = 3, kChildFileChanged = 4, kChildTextChanged = 5, kChildNoTracer = 6,
              kChildWarmUp = 8;
const QByteArray kFirstSaved("Resting Motor Threshold = 46\r");

TEST(ReportDiskFullChild, Run)
{
    const QString path = qEnvironmentVariable(kChildPath);
    if (path.isEmpty())
        GTEST_SKIP() << "runs only as the full-disk test's child";
    QStringList messages;
    fw::setMsgBoxHook([&](const QString& m) { messages << m; });
    fw::setSaveDialogHook([&](const QString&, const QString&) { return path; });
    Window4* w = Window4::instance();
    w->EditField1()->setText(QString::fromUtf8(kFirstSaved));
    w->PushButton2()->click();
    if (!messages.isEmpty() || readBytes(path) != kFirstSaved)
        _exit(kChildWarmUp);

    if (!quorvel::test::waitForTracer())
        _exit(kChildNoTracer);

    const QString longer = kReport.repeated(100);
    w->EditField1()->setText(longer);
    w->PushButton2()->click();
    if (messages.size() != 1 || !messages[0].contains(path) ||
        !messages[0].contains(QStringLiteral("No space left on device")))
        _exit(kChildNoMessage);
    if (readBytes(path) != kFirstSaved)
        _exit(kChildFileChanged);
    if (w->EditField1()->Text() != longer)
        _exit(kChildTextChanged);
    _exit(kChildOk);
}

TEST_F(OutputWindow, FullDiskDuringSaveKeepsTheOldReport)
{
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace.isEmpty())
        GTEST_SKIP() << "strace is not installed";
    const QString path = dir.filePath(QStringLiteral("Untitled.txt"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildPath), path);
    QByteArray printed;
    const int code = quorvel::test::runTracedChild(strace, {QStringLiteral("--gtest_filter=ReportDiskFullChild.Run")},
                                                   env, QStringLiteral("inject=write:error=ENOSPC"), &printed);
    EXPECT_EQ(code, kChildOk) << printed.toStdString();
    EXPECT_EQ(readBytes(path), kFirstSaved) << "the old report keeps every byte";
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Untitled.txt")})
        << "no temporary file is left";
}

} // namespace
