#pragma once

// The preferences record as the file "PREFS" holds it: one line of 17
// fields separated by TABs, from "PESTPREFS" to "ENDOFFILE", with no line
// end. Field texts are written as they stand, except that a TAB, carriage
// return or line feed in one is written as a blank, so that no field can
// shift the ones after it. Reading takes the fields by position; a field
// past the end is empty. Numbers are read with CDbl and made whole with
// CInt32; a flag is on when its field equals "1".
//
// What a window does with a decoded record is the window's own business.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace prefs {

inline constexpr int kFieldCount = 17;

// The file's bare name, looked up in the configuration folder.
QString fileName();

// The fifteen settings between the header and the trailer, in file order.
struct PestPrefs {
    QString initialOutput;    // 2: Adaptive PEST initial output, as typed
    QString stepSize;         // 3: Adaptive PEST step size
    QString diffThreshold;    // 4: Adaptive PEST difference threshold
    std::int32_t voiceVolume = 0;   // 5
    std::int32_t signalVolume = 0;  // 6
    std::int32_t clickVolume = 0;   // 7
    std::int32_t successKey = 0;    // 8: character code
    std::int32_t failKey = 0;       // 9
    bool successAll = false;        // 10: every key but the failure key is a success
    bool failAll = false;           // 11: every key but the success key is a failure
    QString lowBound;         // 12: Maximum-Likelihood PEST lower bound
    QString upBound;          // 13: upper bound
    QString spread;           // 14: relative threshold spread
    QString mlDiffThreshold;  // 15: Maximum-Likelihood PEST difference threshold
    bool useMaxLikelihood = false;  // 16

    // What a freshly opened Preferences window writes.
    static PestPrefs defaults();

    bool operator==(const PestPrefs&) const = default;
};

// A field's text as it is written: TAB, CR and LF become blanks.
QString fieldText(const QString& text);

// The record as 17 pieces, one Write each: fields 1 to 16 each followed by
// a TAB, field 17 alone.
QStringList encodePieces(const PestPrefs& record);
QString encode(const PestPrefs& record);

// True when the first field is "PESTPREFS" (the framework's string equality).
bool hasHeader(const QString& fileText);

// The settings of a file's text; nothing when the header does not match.
std::optional<PestPrefs> decode(const QString& fileText);

} // namespace prefs
