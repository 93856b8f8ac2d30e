#pragma once

#include <QString>

#include <cstdint>

// The framework's text and number functions. Strings are QString; the
// positions of Mid and NthField are 1-based, as the framework counts.
namespace fw {

// Formats value by mask: "0" always prints a digit, "#" only a significant
// one, "." starts the decimals (as many as the mask has, the last rounded
// half away from zero). Integer digits wider than the mask are never cut; a
// negative value gets a leading "-"; "." is the decimal separator; a
// non-finite value prints "inf", "-inf" or "nan".
QString Format(double value, const QString& mask);

// Reads the longest leading decimal number (blanks before it allowed,
// optional sign, fraction, exponent); 0 when there is none or when it does
// not fit in a double. "nan", "inf" and "0x10" are not numbers here.
double CDbl(const QString& text);

// At most 7 significant digits, no trailing zeros, no exponent for ordinary
// magnitudes: 50 -> "50", 0.45 -> "0.45", 49.4827397 -> "49.48274".
QString Str(double value);
// Plain decimal.
QString Str(std::int32_t value);

// The one-character text of a character code (empty for codes outside
// Unicode); Asc is the code of the first character (0 for "").
QString Chr(std::int32_t code);
std::int32_t Asc(const QString& text);

// 1-based substring; empty past the end. A negative length means "to the end".
QString Mid(const QString& text, std::int32_t start, std::int32_t length = -1);
// The n-th (1-based) field of text split by separator; empty past the end.
QString NthField(const QString& text, const QString& separator, std::int32_t n);
std::int32_t Len(const QString& text);

// Rounds half away from zero.
double Round(double value);

// Double to Int32: rounds half away from zero, saturates at the Int32
// limits, gives 0 for NaN. Never a plain cast.
std::int32_t CInt32(double value);

// The framework's string equality: ASCII case-insensitive.
bool StrEq(const QString& a, const QString& b);

} // namespace fw
