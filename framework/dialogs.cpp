#include "framework/dialogs.h"

#include "framework/files.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace fw {
namespace {

SaveDialogHook& saveHook()
{
    static SaveDialogHook hook;
    return hook;
}

// The folder of the last file saved in this run; the home folder at first.
QString& lastFolder()
{
    static QString folder;
    return folder;
}

QString runSaveDialog(const QString& fileType, const QString& defaultName)
{
    QFileDialog dialog(QApplication::activeWindow(), QStringLiteral("Save"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The file type has no extension of its own: any name will do.
    dialog.setNameFilter(QStringLiteral("%1 (*)").arg(fileType.isEmpty() ? QStringLiteral("All files") : fileType));
    const QString folder = lastFolder().isEmpty() || !QFileInfo(lastFolder()).isDir() ? QDir::homePath() : lastFolder();
    dialog.setDirectory(folder);
    dialog.selectFile(defaultName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

std::shared_ptr<FolderItem> GetSaveFolderItem(const QString& fileType, const QString& defaultName)
{
    const QString path = saveHook() ? saveHook()(fileType, defaultName) : runSaveDialog(fileType, defaultName);
    if (path.isEmpty())
        return nullptr;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    lastFolder() = QFileInfo(absolute).absolutePath();
    return std::make_shared<FolderItem>(absolute);
}

SaveDialogHook setSaveDialogHook(SaveDialogHook hook)
{
    SaveDialogHook old = std::move(saveHook());
    saveHook() = std::move(hook);
    return old;
}

} // namespace fw
