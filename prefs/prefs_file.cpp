#include "prefs/prefs_file.h"

#include "framework/application.h"
#include "framework/files.h"

#include <QDir>

namespace prefs {
namespace {

// Far more than any preferences file holds (one line of 17 short fields);
// a larger file is not read, so a huge one cannot stall the program or fill
// its memory.
constexpr qint64 kMaxPrefsBytes = 64 * 1024;

QString shownPath(const fw::FolderItem& item)
{
    return QDir::toNativeSeparators(item.path());
}

} // namespace

FileRead readPrefsFile()
{
    auto item = fw::GetFolderItem(fileName(), 0);
    if (!item || !item->Exists())
        return {};
    auto in = item->OpenAsTextFile(kMaxPrefsBytes);
    if (!in) {
        QString reason = item->lastError();
        if (reason.isEmpty())
            reason = QStringLiteral("it cannot be opened");
        fw::MsgBox(QStringLiteral("The preferences file \u201C%1\u201D could not be read: %2. "
                                  "The settings in use are kept.")
                       .arg(shownPath(*item), reason));
        return {FileState::Unreadable, {}};
    }
    return {FileState::Read, in->ReadAll()};
}

bool writePrefsFile(const PestPrefs& record)
{
    auto item = fw::GetFolderItem(fileName(), 0);
    if (!item) {
        fw::MsgBox(QStringLiteral("The preferences could not be saved: %1. Nothing was written.")
                       .arg(fw::configFolderProblem()));
        return false;
    }
    QString reason;
    if (auto out = item->CreateTextFile()) {
        for (const QString& piece : encodePieces(record))
            out->Write(piece);
        if (out->Close())
            return true;
        reason = out->errorString();
    } else {
        reason = item->lastError();
    }
    if (reason.isEmpty())
        reason = QStringLiteral("the file cannot be written");
    fw::MsgBox(QStringLiteral("The preferences could not be saved to the file \u201C%1\u201D: %2. "
                              "The file was not changed.")
                   .arg(shownPath(*item), reason));
    return false;
}

} // namespace prefs
