#pragma once

// The save dialog. A real user gets Qt's file dialog, which asks before it
// replaces a file; tests answer it through a hook.

#include <QString>

#include <functional>
#include <memory>

namespace fw {

class FolderItem;

// The file chosen to save as, or nullptr when the dialog is cancelled.
// fileType names a registered file type; defaultName is the name offered.
std::shared_ptr<FolderItem> GetSaveFolderItem(const QString& fileType, const QString& defaultName);

// The hook gets the file type and the name offered and gives the chosen
// path, or an empty text for Cancel.
using SaveDialogHook = std::function<QString(const QString& fileType, const QString& defaultName)>;
SaveDialogHook setSaveDialogHook(SaveDialogHook hook);

} // namespace fw
