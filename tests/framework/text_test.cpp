#include "framework/core/text.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

using namespace fw;

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
const double nan = std::numeric_limits<double>::quiet_NaN();
constexpr std::int32_t int32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t int32Min = std::numeric_limits<std::int32_t>::min();

std::string s(const QString& text) { return text.toStdString(); }

TEST(Format, Masks)
{
    struct Case {
        const char* name;
        double value;
        const char* mask;
        const char* expected;
    };
    const Case cases[] = {
        // History row fields.
        {"trial number", 1, "00", "01"},
        {"two-digit trial", 12, "00", "12"},
        {"output tried", 50, "000.00", "050.00"},
        {"output tried fraction", 49.4827397, "000.00", "049.48"},
        {"output rounded", 50, "000", "050"},
        {"response 1", 1, "0.0", "1.0"},
        {"response 0", 0, "0.0", "0.0"},
        {"change", 7, "00.0000", "07.0000"},
        {"small change", 0.4375, "00.0000", "00.4375"},
        // Shown output and plot labels.
        {"##0 two digits", 43, "##0", "43"},
        {"##0 one digit", 5, "##0", "5"},
        {"##0 three digits", 100, "##0", "100"},
        {"##0 zero", 0, "##0", "0"},
        {"#00 one digit", 5, "#00", "05"},
        {"#00 two digits", 43, "#00", "43"},
        {"#00 three digits", 100, "#00", "100"},
        // Announced digits.
        {"000 one digit", 7, "000", "007"},
        {"000 two digits", 65, "000", "065"},
        {"000 three digits", 100, "000", "100"},
        // Total time in seconds: nothing padded, insignificant decimals dropped.
        {"total time fraction", 12.5, "##########.##########", "12.5"},
        {"total time whole", 300, "##########.##########", "300"},
        {"total time zero", 0, "##########.##########", "0"},
        {"total time many decimals", 123.456789, "##########.##########", "123.456789"},
        {"total time below one", 0.25, "##########.##########", ".25"},
        {"total time rounds at ten decimals", 1.00000000004, "##########.##########", "1"},
        // Wider than the mask: integer digits are never cut.
        {"wider 00", 1234, "00", "1234"},
        {"wider 000.00", 12345.678, "000.00", "12345.68"},
        {"wider ##0", 98765, "##0", "98765"},
        {"wider total time", 123456789012.5, "##########.##########", "123456789012.5"},
        // Negatives.
        {"negative 000", -7, "000", "-007"},
        {"negative ##0", -43, "##0", "-43"},
        {"negative 00.0000", -7.25, "00.0000", "-07.2500"},
        {"negative rounds to zero", -0.001, "0.0", "0.0"},
        {"negative zero", -0.0, "0.0", "0.0"},
        {"negative zero ##0", -0.0, "##0", "0"},
        {"negative half rounds away", -0.05, "0.0", "-0.1"},
        {"negative total time", -12.5, "##########.##########", "-12.5"},
        // Halves in the last decimal round away from zero, on the decimal value.
        {"half 2.675", 2.675, "0.00", "2.68"},
        {"half 1.005", 1.005, "0.00", "1.01"},
        {"half 0.125", 0.125, "000.00", "000.13"},
        {"half 2.5 whole", 2.5, "000", "003"},
        {"half 0.5 whole", 0.5, "##0", "1"},
        {"half 1.00005", 1.00005, "00.0000", "01.0001"},
        {"just below half", 2.67499, "0.00", "2.67"},
        {"carry through nines", 9.996, "0.00", "10.00"},
        {"carry into new digit", 999.995, "000.00", "1000.00"},
        {"tiny positive", 1e-300, "0.0", "0.0"},
        // Non-finite values.
        {"inf", inf, "000.00", "inf"},
        {"-inf", -inf, "##0", "-inf"},
        {"nan", nan, "0.0", "nan"},
        // Other characters are copied; no placeholders still shows the value.
        {"literal text", 5, "0 s", "5 s"},
        {"literal after decimals", 0.5, "0.0%", "0.5%"},
        {"empty mask", 42, "", "42"},
        {"empty mask zero", 0, "", "0"},
        {"only #", 0, "#", "0"},
        {"dropped point", 3, "0.#", "3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(s(Format(c.value, QString::fromLatin1(c.mask))), c.expected);
    }
}

TEST(Format, HugeValuesKeepAllDigits)
{
    const QString text = Format(1e300, QStringLiteral("##########.##########"));
    EXPECT_EQ(text.size(), 301);
    EXPECT_TRUE(text.startsWith(QLatin1Char('1')));
    EXPECT_EQ(Format(-1e300, QStringLiteral("0.00")).size(), 1 + 301 + 3);
    EXPECT_EQ(s(Format(std::numeric_limits<double>::max(), QStringLiteral("0"))).size(), 309u);
}

TEST(CDbl, ReadsLeadingDecimalNumber)
{
    struct Case {
        const char* name;
        const char* text;
        double expected;
    };
    const Case cases[] = {
        {"empty", "", 0},
        {"integer", "50", 50},
        {"fraction", "0.45", 0.45},
        {"leading point", ".45", 0.45},
        {"trailing point", "7.", 7},
        {"negative", "-3.5", -3.5},
        {"plus sign", "+2", 2},
        {"blanks before", " 7", 7},
        {"tab before", "\t 7", 7},
        {"text after", "12abc", 12},
        {"blank after", "12 34", 12},
        {"exponent", "1e5", 100000},
        {"negative exponent", "25E-1", 2.5},
        {"exponent with sign", "1e+2", 100},
        {"exponent without digits", "12e", 12},
        {"exponent sign without digits", "12e-", 12},
        {"letters", "abc", 0},
        {"nan", "nan", 0},
        {"inf", "inf", 0},
        {"infinity", "-Infinity", 0},
        {"hex", "0x10", 0},
        {"sign only", "-", 0},
        {"point only", ".", 0},
        {"blank only", "  ", 0},
        {"too large", "1e400", 0},
        {"too large negative", "-1e400", 0},
        {"huge exponent", "1e99999999999999999999", 0},
        {"underflow", "1e-400", 0},
        {"comma is not a point", "1,5", 1},
        {"long digits", "0.1000000000000000000000000000000000000001", 0.1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CDbl(QString::fromLatin1(c.text)), c.expected);
    }
    EXPECT_EQ(CDbl(QStringLiteral("-0")), 0.0);
    // Digits from other scripts are not decimal digits here.
    EXPECT_EQ(CDbl(QString::fromUtf8("\u0661\u0662")), 0.0);
}

TEST(Text, IgnoresLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(CDbl(QStringLiteral("1.5")), 1.5);
    EXPECT_EQ(s(Str(0.45)), "0.45");
    EXPECT_EQ(s(Format(1234.5, QStringLiteral("0.0"))), "1234.5");
    QLocale::setDefault(saved);
}

TEST(Str, Doubles)
{
    struct Case {
        const char* name;
        double value;
        const char* expected;
    };
    const Case cases[] = {
        {"whole", 50, "50"},
        {"fraction", 0.45, "0.45"},
        {"seven significant", 49.4827397, "49.48274"},
        {"one digit", 7, "7"},
        {"negative", -3.5, "-3.5"},
        {"zero", 0, "0"},
        {"negative zero", -0.0, "0"},
        {"small", 1e-5, "0.00001"},
        {"small rounded", 0.000123456789, "0.0001234568"},
        {"seven digits", 1234567, "1234567"},
        {"eight digits", 12345678, "12345680"},
        {"rounds up to next power", 9999999.5, "10000000"},
        {"half away from zero", 0.12345675, "0.1234568"},
        {"large plain", 1e14, "100000000000000"},
        {"large exponent", 1e15, "1e+15"},
        {"large exponent digits", 1.23456789e20, "1.234568e+20"},
        {"tiny exponent", 1.5e-6, "1.5e-06"},
        {"huge", -1e300, "-1e+300"},
        {"nan", nan, "nan"},
        {"inf", inf, "inf"},
        {"-inf", -inf, "-inf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(s(Str(c.value)), c.expected);
    }
    EXPECT_EQ(s(Str(std::int32_t{-42})), "-42");
    EXPECT_EQ(s(Str(int32Min)), "-2147483648");
}

TEST(CInt32, RoundsAndSaturates)
{
    struct Case {
        const char* name;
        double value;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"whole", 43, 43},
        {"below half", 2.49, 2},
        {"half up", 2.5, 3},
        {"negative half", -2.5, -3},
        {"half of one", 0.5, 1},
        {"negative below half", -0.4, 0},
        {"max", 2147483647.0, int32Max},
        {"just below max rounds to max", 2147483646.6, int32Max},
        {"over max", 2147483648.0, int32Max},
        {"far over max", 1e300, int32Max},
        {"min", -2147483648.0, int32Min},
        {"under min", -2147483649.0, int32Min},
        {"far under min", -1e300, int32Min},
        {"nan", nan, 0},
        {"inf", inf, int32Max},
        {"-inf", -inf, int32Min},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CInt32(c.value), c.expected);
    }
    EXPECT_EQ(Round(2.5), 3.0);
    EXPECT_EQ(Round(-2.5), -3.0);
    EXPECT_EQ(Round(2.4999), 2.0);
}

TEST(Mid, OneBasedPositions)
{
    struct Case {
        const char* name;
        std::int32_t start;
        std::int32_t length;
        const char* expected;
    };
    const QString text = QStringLiteral("12345");
    const Case cases[] = {
        {"first", 1, 1, "1"},
        {"last", 5, 1, "5"},
        {"middle", 2, 3, "234"},
        {"to the end", 3, -1, "345"},
        {"length past end", 4, 10, "45"},
        {"past end", 6, 1, ""},
        {"far past end", int32Max, int32Max, ""},
        {"zero length", 2, 0, ""},
        {"start zero", 0, 2, "12"},
        {"start negative", -5, -1, "12345"},
        {"huge length", 2, int32Max, "2345"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(s(Mid(text, c.start, c.length)), c.expected);
    }
    EXPECT_EQ(s(Mid(text, 2)), "2345");
    EXPECT_EQ(s(Mid(QString(), 1, 1)), "");
}

TEST(NthField, OneBasedFields)
{
    struct Case {
        const char* name;
        const char* text;
        const char* separator;
        std::int32_t n;
        const char* expected;
    };
    const Case cases[] = {
        {"first", "a\tb\tc", "\t", 1, "a"},
        {"middle", "a\tb\tc", "\t", 2, "b"},
        {"last", "a\tb\tc", "\t", 3, "c"},
        {"past end", "a\tb\tc", "\t", 4, ""},
        {"far past end", "a\tb", "\t", int32Max, ""},
        {"zero", "a\tb", "\t", 0, ""},
        {"negative", "a\tb", "\t", -1, ""},
        {"empty fields", "a\t\tc", "\t", 2, ""},
        {"trailing empty field", "a\t", "\t", 2, ""},
        {"no separator in text", "abc", "\t", 1, "abc"},
        {"long separator", "x   y   z", "   ", 2, "y"},
        {"empty separator first", "abc", "", 1, "abc"},
        {"empty separator second", "abc", "", 2, ""},
        {"empty text", "", "\t", 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(s(NthField(QString::fromLatin1(c.text), QString::fromLatin1(c.separator), c.n)),
                  c.expected);
    }
}

TEST(Characters, ChrAscLen)
{
    EXPECT_EQ(s(Chr(13)), "\r");
    EXPECT_EQ(s(Chr(65)), "A");
    EXPECT_EQ(Chr(0).size(), 1);
    EXPECT_EQ(s(Chr(0xE9)), "\u00e9");
    EXPECT_EQ(Chr(0x1F600).size(), 2);
    EXPECT_EQ(Asc(Chr(0x1F600)), 0x1F600);
    EXPECT_EQ(Len(Chr(0x1F600)), 2);
    for (std::int32_t bad : {-1, 0xD800, 0xDFFF, 0x110000, int32Max, int32Min}) {
        SCOPED_TRACE(bad);
        EXPECT_TRUE(Chr(bad).isEmpty());
    }
    EXPECT_EQ(Asc(QStringLiteral("Abc")), 65);
    EXPECT_EQ(Asc(QString()), 0);
    EXPECT_EQ(Len(QString()), 0);
    EXPECT_EQ(Len(QStringLiteral("050.00")), 6);
}

TEST(StrEq, AsciiCaseInsensitive)
{
    struct Case {
        const char* name;
        const char* a;
        const char* b;
        bool expected;
    };
    const Case cases[] = {
        {"key letter", "y", "Y", true},
        {"header", "PESTPREFS", "pestprefs", true},
        {"caption", "Adjust", "ADJUST", true},
        {"same", "1", "1", true},
        {"different", "1", "0", false},
        {"prefix", "Adjust", "Adjus", false},
        {"empty", "", "", true},
        {"empty and text", "", "a", false},
        {"not letters", "[", "{", false},
        {"non-ASCII exact", "\u00e9", "\u00e9", true},
        {"non-ASCII case differs", "\u00e9", "\u00c9", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(StrEq(QString::fromUtf8(c.a), QString::fromUtf8(c.b)), c.expected);
    }
}

} // namespace
