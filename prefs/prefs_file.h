#pragma once

// The file "PREFS" in the configuration folder: reading it whole and
// writing one record through the atomic save. Either tells the operator in
// a message box, naming the file and the reason, when the file cannot be
// read or written; the file is then left exactly as it was.

#include "prefs/core/pest_prefs.h"

#include <QString>

namespace prefs {

enum class FileState {
    Missing,     // no file (or no reference to one)
    Read,        // the text is in `text`
    Unreadable,  // present but could not be read; the operator has been told
};

struct FileRead {
    FileState state = FileState::Missing;
    QString text;
};

// Looks the file up afresh and reads its whole text.
FileRead readPrefsFile();

// Writes the record, one Write per field; false when it could not be
// written, and the operator has been told.
bool writePrefsFile(const PestPrefs& record);

} // namespace prefs
