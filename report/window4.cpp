#include "report/window4.h"

#include "framework/application.h"
#include "framework/core/background.h"
#include "framework/dialogs.h"
#include "framework/files.h"
#include "framework/printing.h"

#include <QPlainTextEdit>

namespace {

// The printed block: 7.5 by 10 inches in the page's 1/72-inch units.
constexpr int kPrintWidth = 540;
constexpr int kBlockHeight = 720;

QString saveFailure(const QString& path, const QString& reason)
{
    return QStringLiteral("The report could not be saved as \"%1\": %2.")
        .arg(path, reason.isEmpty() ? QStringLiteral("unknown error") : reason);
}

} // namespace

Window4* Window4::instance()
{
    return fw::Window::implicitInstance<Window4>(QStringLiteral("Window4.Window4"));
}

void Window4::Layout()
{
    // The application's menu bar stays with this window too; it has none of its own.
    if (fw::Application* app = fw::appObject(); app && app->MenuBar())
        setMenuBar(app->MenuBar());
    setTitle(QStringLiteral("Output"));
    setContentSize(640, 480);
    setCloseBox(false);
    setMinimizeBox(true);
    setMaximizeBox(true);
    setResizeable(true, 64, 64, 32000, 32000);
    setVisibleOnCreation(true);
}

fw::PushButton* Window4::makeButton(const QString& name, int top, const QString& caption)
{
    auto* b = new fw::PushButton(content());
    registerControl(name, b);
    b->setTextSize(12);
    b->setTextFont(QStringLiteral("Times"));
    b->setGeometry(562, top, 69, 20);
    b->setCaption(caption);
    b->setDefaultButton(false);
    b->setCancelButton(false);
    return b;
}

void Window4::CreateControls()
{
    auto* field = new fw::EditField(content(), true);
    registerControl(QStringLiteral("EditField1"), field);
    field->setTextSize(12);
    field->setTextFont(QStringLiteral("Courier"));
    field->setGeometry(0, 0, 550, 480);
    field->setText(QString());
    field->setReadOnly(false);
    field->textEdit()->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto* print = makeButton(QStringLiteral("PushButton1"), 14, QStringLiteral("Print"));
    print->Action = [this, print] { PushButton1_Action(print); };
    auto* save = makeButton(QStringLiteral("PushButton2"), 46, QStringLiteral("Save"));
    save->Action = [this, save] { PushButton2_Action(save); };
    auto* close = makeButton(QStringLiteral("PushButton3"), 78, QStringLiteral("Close"));
    close->Action = [this, close] { PushButton3_Action(close); };

}

void Window4::PushButton1_Action(fw::PushButton*)
{
    QString error;
    const auto page = fw::OpenPrinterDialog(&error);
    if (!page) {
        // A cancel says nothing; a printer that cannot start says why.
        if (!error.isEmpty())
            fw::MsgBox(QStringLiteral("The report could not be printed: %1.").arg(error));
        return;
    }
    const auto printer = fw::styledTextPrinter(EditField1(), page.get(), kPrintWidth);
    while (!printer->isEOF()) {
        printer->DrawBlock(0, 0, kBlockHeight);
        page->NextPage();
        fw::RuntimeBackgroundTask();
    }
    if (!page->Close())
        fw::MsgBox(QStringLiteral("The report could not be printed: the printer reported a failure."));
}

void Window4::PushButton2_Action(fw::PushButton*)
{
    const auto file = fw::GetSaveFolderItem(QStringLiteral("text"), QStringLiteral("Untitled.txt"));
    if (!file)
        return;
    const auto out = file->CreateTextFile();
    if (!out) {
        fw::MsgBox(saveFailure(file->path(), file->lastError()));
        return;
    }
    out->Write(EditField1()->Text());
    if (!out->Close())
        fw::MsgBox(saveFailure(file->path(), out->errorString()));
}

void Window4::PushButton3_Action(fw::PushButton*)
{
    Close();
}
