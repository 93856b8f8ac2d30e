// The trial history row: each field's mask and the columns under the header.

#include "estimation/core/history.h"

#include <gtest/gtest.h>

namespace {

struct RowCase {
    const char* name;
    std::int32_t stepnum;
    double lastsetting;
    std::int32_t response;
    double thediff;
    const char* row;  // without the carriage return
};

const RowCase kRows[] = {
    {"first Adaptive trial", 1, 50, 1, 7, "01   050.00   050   1.0   07.0000"},
    {"a failure", 3, 43, 0, 7, "03   043.00   043   0.0   07.0000"},
    {"unrounded ML output", 12, 49.4827397, 1, 0.2317, "12   049.48   049   1.0   00.2317"},
    {"rounding up in every field", 9, 64.6, 0, 12.345678, "09   064.60   065   0.0   12.3457"},
    {"trial 100 widens the first column", 100, 47.75, 1, 0.25, "100   047.75   048   1.0   00.2500"},
    {"output 100, change of 45", 2, 100, 1, 45, "02   100.00   100   1.0   45.0000"},
    {"change of 100 or more is not cut", 4, 1, 0, 123.5, "04   001.00   001   0.0   123.5000"},
};

TEST(HistoryRow, FieldsByTheirMasks)
{
    for (const RowCase& c : kRows) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(estimation::historyRow(c.stepnum, c.lastsetting, c.response, c.thediff),
                  QString::fromLatin1(c.row) + QChar(13));
    }
}

TEST(HistoryRow, FieldsStartUnderTheHeader)
{
    const QString header = QStringLiteral("#    SETTING  ROUND MEP   DIFF");
    const QString row = estimation::historyRow(1, 50, 1, 7);
    ASSERT_EQ(row.size(), 34);
    ASSERT_TRUE(row.endsWith(QChar(13)));
    const struct { const char* title; int column; } columns[] = {
        {"#", 0}, {"SETTING", 5}, {"ROUND", 14}, {"MEP", 20}, {"DIFF", 26}};
    for (const auto& col : columns) {
        SCOPED_TRACE(col.title);
        EXPECT_EQ(header.indexOf(QString::fromLatin1(col.title)), col.column);
        EXPECT_NE(row[col.column], u' ');
        if (col.column > 0) {
            EXPECT_EQ(row[col.column - 1], u' ');
        }
    }
}

} // namespace
