#include "framework/core/text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace fw {

namespace {

// A finite, non-negative double as decimal digits: value = 0.digits x 10^(pointPos).
// The digits are the shortest ones that read back as the same double, so
// 2.675 is "2675" with pointPos 1, the decimal a person typed, and rounding
// on them behaves as a person expects.
struct Decimal {
    std::string digits; // no leading zeros, except "0" for zero
    int pointPos = 0;   // number of digits before the decimal point (may be <= 0)
};

Decimal toDecimal(double magnitude)
{
    Decimal d;
    if (magnitude == 0.0) {
        d.digits = "0";
        d.pointPos = 1;
        return d;
    }
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific);
    std::string text(buf, res.ptr);
    const auto e = text.find('e');
    const std::string mantissa = text.substr(0, e);
    for (char c : mantissa)
        if (c != '.')
            d.digits += c;
    d.pointPos = std::stoi(text.substr(e + 1)) + 1;
    return d;
}

// Adds one to a string of decimal digits; returns true on a carry out of the front.
bool incrementDigits(std::string& digits)
{
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return false;
        }
        *it = '0';
    }
    return true;
}

// The integer digits (without leading zeros, empty for 0) and exactly
// `decimals` fraction digits of magnitude, the last rounded half away from zero.
void fixedDigits(double magnitude, int decimals, std::string& integer, std::string& fraction)
{
    const Decimal d = toDecimal(magnitude);
    const int n = static_cast<int>(d.digits.size());
    auto digitAt = [&](long long index) { // index into d.digits, '0' outside
        return index >= 0 && index < n ? d.digits[static_cast<std::size_t>(index)] : '0';
    };
    std::string all;
    const int intCount = d.pointPos > 0 ? d.pointPos : 0;
    all.reserve(static_cast<std::size_t>(intCount + decimals + 1));
    // Integer digit i (0-based from the left) has index i - (intCount - pointPos).
    const long long shift = static_cast<long long>(d.pointPos) - intCount; // <= 0
    for (long long i = 0; i < intCount + decimals; ++i)
        all += digitAt(i + shift);
    if (digitAt(intCount + decimals + shift) >= '5' && incrementDigits(all)) {
        all.insert(all.begin(), '1');
    }
    const std::size_t intLen = all.size() - static_cast<std::size_t>(decimals);
    integer = all.substr(0, intLen);
    fraction = all.substr(intLen);
    const auto firstNonZero = integer.find_first_not_of('0');
    integer = firstNonZero == std::string::npos ? std::string() : integer.substr(firstNonZero);
}

QString nonFinite(double value)
{
    if (std::isnan(value))
        return QStringLiteral("nan");
    return value < 0 ? QStringLiteral("-inf") : QStringLiteral("inf");
}

bool isPlaceholder(QChar c) { return c == u'0' || c == u'#'; }

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

} // namespace

// The mask splits at its first "." into an integer and a decimal section.
// Integer placeholders take the digits from the right; digits beyond them go
// in front of the leftmost one, so nothing is cut. Decimal placeholders take
// the rounded fraction from the left; "#" decimals are dropped from the
// right while they would print a 0, and the point goes when no decimal
// follows it. Other mask characters are copied. A value that prints no
// digit at all (0 with "#" or "#.#") prints "0".
QString Format(double value, const QString& mask)
{
    if (!std::isfinite(value))
        return nonFinite(value);

    const qsizetype point = mask.indexOf(u'.');
    const QString intMask = point < 0 ? mask : mask.left(point);
    const QString fracMask = point < 0 ? QString() : mask.mid(point + 1);

    int decimals = 0;
    for (QChar c : fracMask)
        if (isPlaceholder(c))
            ++decimals;

    std::string integer, fraction;
    fixedDigits(std::fabs(value), decimals, integer, fraction);
    const bool isZero = integer.empty() && fraction.find_first_not_of('0') == std::string::npos;

    // Integer section, built right to left.
    QString intOut;
    qsizetype leftmost = -1;
    for (qsizetype i = 0; i < intMask.size(); ++i)
        if (isPlaceholder(intMask[i])) {
            leftmost = i;
            break;
        }
    auto next = integer.rbegin();
    bool anyDigit = false;
    for (qsizetype i = intMask.size() - 1; i >= 0; --i) {
        const QChar c = intMask[i];
        if (!isPlaceholder(c)) {
            intOut.prepend(c);
        } else if (next != integer.rend()) {
            intOut.prepend(QLatin1Char(*next++));
            anyDigit = true;
        } else if (c == u'0') {
            intOut.prepend(u'0');
            anyDigit = true;
        }
        if (i == leftmost)
            while (next != integer.rend()) {
                intOut.prepend(QLatin1Char(*next++));
                anyDigit = true;
            }
    }
    if (leftmost < 0)
        while (next != integer.rend()) {
            intOut.prepend(QLatin1Char(*next++));
            anyDigit = true;
        }

    // Decimal section: how many placeholders print (trailing "#" zeros go).
    int printed = decimals;
    {
        int k = decimals;
        for (qsizetype i = fracMask.size() - 1; i >= 0 && k > 0; --i) {
            if (!isPlaceholder(fracMask[i]))
                continue;
            if (fracMask[i] == u'#' && fraction[static_cast<std::size_t>(k - 1)] == '0') {
                printed = --k;
                continue;
            }
            break;
        }
    }
    QString fracOut;
    int taken = 0;
    for (QChar c : fracMask) {
        if (!isPlaceholder(c))
            fracOut += c;
        else if (taken < printed)
            fracOut += QLatin1Char(fraction[static_cast<std::size_t>(taken++)]);
    }

    if (!anyDigit && printed == 0) {
        const qsizetype at = leftmost < 0 ? intOut.size() : leftmost;
        intOut.insert(at, u'0');
    }

    QString out;
    if (value < 0 && !isZero)
        out += u'-';
    out += intOut;
    if (printed > 0)
        out += u'.';
    out += fracOut;
    return out;
}

double CDbl(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;

    std::string number;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    bool anyDigit = false;
    while (i < n && isDigit(text[i])) {
        number += static_cast<char>(text[i++].unicode());
        anyDigit = true;
    }
    if (i < n && text[i] == u'.') {
        ++i;
        std::string frac;
        while (i < n && isDigit(text[i])) {
            frac += static_cast<char>(text[i++].unicode());
            anyDigit = true;
        }
        if (!frac.empty())
            number += '.' + frac;
    }
    if (!anyDigit)
        return 0.0;
    if (number.empty() || number[0] == '.')
        number.insert(number.begin(), '0');

    // The exponent counts only when digits follow "e" and its sign.
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < n && (text[j] == u'+' || text[j] == u'-')) {
            if (text[j] == u'-')
                exponent += '-';
            ++j;
        }
        if (j < n && isDigit(text[j])) {
            while (j < n && isDigit(text[j]))
                exponent += static_cast<char>(text[j++].unicode());
            number += exponent;
        }
    }

    double result = 0.0;
    const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), result,
                                           std::chars_format::general);
    (void)ptr;
    if (ec != std::errc() || !std::isfinite(result))
        return 0.0; // too large (or too small) for a double
    return negative ? -result : result;
}

// Seven significant digits, rounded half away from zero on the value's
// shortest decimal digits. Plain decimal notation for magnitudes from 1e-5
// up to below 1e15 (e.g. 0.00001, 12345680); exponent form outside that,
// written like "1.234568e+15" or "1.5e-06".
QString Str(double value)
{
    if (!std::isfinite(value))
        return nonFinite(value);
    if (value == 0.0)
        return QStringLiteral("0");

    Decimal d = toDecimal(std::fabs(value));
    constexpr std::size_t significant = 7;
    if (d.digits.size() > significant) {
        const bool up = d.digits[significant] >= '5';
        d.digits.resize(significant);
        if (up && incrementDigits(d.digits)) {
            d.digits.insert(d.digits.begin(), '1');
            d.digits.pop_back();
            ++d.pointPos;
        }
    }
    const auto last = d.digits.find_last_not_of('0');
    d.digits.resize(last + 1);

    std::string out = value < 0 ? "-" : "";
    const int exponent = d.pointPos - 1;
    if (exponent >= -5 && exponent < 15) {
        const int n = static_cast<int>(d.digits.size());
        if (d.pointPos <= 0) {
            out += "0." + std::string(static_cast<std::size_t>(-d.pointPos), '0') + d.digits;
        } else if (d.pointPos >= n) {
            out += d.digits + std::string(static_cast<std::size_t>(d.pointPos - n), '0');
        } else {
            out += d.digits.substr(0, static_cast<std::size_t>(d.pointPos)) + '.' +
                   d.digits.substr(static_cast<std::size_t>(d.pointPos));
        }
    } else {
        out += d.digits.substr(0, 1);
        if (d.digits.size() > 1)
            out += '.' + d.digits.substr(1);
        const int a = exponent < 0 ? -exponent : exponent;
        out += exponent < 0 ? "e-" : "e+";
        if (a < 10)
            out += '0';
        out += std::to_string(a);
    }
    return QString::fromLatin1(out.data(), static_cast<qsizetype>(out.size()));
}

QString Str(std::int32_t value) { return QString::number(value); }

QString Chr(std::int32_t code)
{
    if (code < 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return QString();
    const char32_t c = static_cast<char32_t>(code);
    return QString::fromUcs4(&c, 1);
}

std::int32_t Asc(const QString& text)
{
    if (text.isEmpty())
        return 0;
    const QChar first = text[0];
    if (first.isHighSurrogate() && text.size() > 1 && text[1].isLowSurrogate())
        return static_cast<std::int32_t>(QChar::surrogateToUcs4(first, text[1]));
    return first.unicode();
}

QString Mid(const QString& text, std::int32_t start, std::int32_t length)
{
    const qsizetype from = start < 1 ? 0 : static_cast<qsizetype>(start) - 1;
    if (from >= text.size() || length == 0)
        return QString();
    if (length < 0)
        return text.mid(from);
    return text.mid(from, length);
}

QString NthField(const QString& text, const QString& separator, std::int32_t n)
{
    if (n < 1)
        return QString();
    if (separator.isEmpty())
        return n == 1 ? text : QString();
    qsizetype from = 0;
    for (std::int32_t field = 1; field < n; ++field) {
        const qsizetype at = text.indexOf(separator, from);
        if (at < 0)
            return QString();
        from = at + separator.size();
    }
    const qsizetype end = text.indexOf(separator, from);
    return end < 0 ? text.mid(from) : text.mid(from, end - from);
}

std::int32_t Len(const QString& text) { return static_cast<std::int32_t>(text.size()); }

double Round(double value) { return std::round(value); }

std::int32_t CInt32(double value)
{
    if (std::isnan(value))
        return 0;
    const double r = std::round(value);
    if (r >= 2147483647.0)
        return std::numeric_limits<std::int32_t>::max();
    if (r <= -2147483648.0)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(r);
}

bool StrEq(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return false;
    auto lower = [](char16_t c) -> char16_t {
        return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
    };
    for (qsizetype i = 0; i < a.size(); ++i)
        if (lower(a[i].unicode()) != lower(b[i].unicode()))
            return false;
    return true;
}

} // namespace fw
