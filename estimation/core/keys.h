#pragma once

// Response keys: the names the main window's legend and the Preferences
// window's labels give a key code, and the classification of a typed key as
// a success, a failure or neither. How a key press becomes that text (repeats,
// Return and the default button, which window gets it) is framework/keys.h.

#include <QString>

#include <cstdint>

namespace estimation {

// The key's name: "ENTER" (13), "TAB" (9), "SPACE" (32), "DELETE" (8, 127),
// "RIGHT" (29), "LEFT" (28), "UP" (30), "DOWN" (31), else the character.
QString keyname(std::int32_t code);

// "Success = <name>     Failure = <name>", a name being "ANY" when that
// key's all-other-keys flag is set.
QString keyLegend(std::int32_t successkey, std::int32_t failkey, bool successall, bool failall);

enum class KeyResponse { Ignored, Success, Failure };

// Compares the typed key with Chr(successkey) and Chr(failkey) by the
// framework's string equality. With a flag set, every key but the other
// response's key counts for that flag's response; with both set, none counts.
// When both keys are equal and no flag is set, the key is a failure.
KeyResponse classifyKey(const QString& key, std::int32_t successkey, std::int32_t failkey, bool successall,
                        bool failall);

} // namespace estimation
