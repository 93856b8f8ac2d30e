// The quick-reference values, the distance-correction factor and which
// column applies.

#include "estimation/core/guides.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct GuideCase {
    const char* name;
    double rmt, target, m1;
    const char* plain[3];      // at 80 %, 100 %, 120 %
    const char* corrected[3];
    bool applies;
};

const GuideCase kGuides[] = {
    {"no estimate yet", 0, 0, 0, {"0", "0", "0"}, {"0", "0", "0"}, false},
    {"equal distances of 0", 50, 0, 0, {"40", "50", "60"}, {"40", "50", "60"}, false},
    {"target 5 mm farther", 50, 20, 15, {"40", "50", "60"}, {"48", "60", "72"}, true},
    {"target 5 mm nearer", 50, 15, 20, {"40", "50", "60"}, {"33", "42", "50"}, true},
    {"equal distances of 30", 50, 30, 30, {"40", "50", "60"}, {"40", "50", "60"}, true},
    {"distances adding up to 0", 50, 5, -5, {"40", "50", "60"}, {"57", "72", "86"}, false},
    {"100 mm apart", 50, 100, 0, {"40", "50", "60"}, {"1464", "1830", "2196"}, true},
};

TEST(QuickReference, ValuesAndColumn)
{
    const int percents[3] = {80, 100, 120};
    for (const GuideCase& c : kGuides) {
        SCOPED_TRACE(c.name);
        const double f = estimation::distanceFactor(c.target, c.m1);
        for (int row = 0; row < 3; ++row) {
            EXPECT_EQ(estimation::plainGuide(c.rmt, percents[row]), QString::fromLatin1(c.plain[row]));
            EXPECT_EQ(estimation::correctedGuide(c.rmt, f, percents[row]), QString::fromLatin1(c.corrected[row]));
        }
        EXPECT_EQ(estimation::correctionApplies(c.target, c.m1), c.applies);
    }
}

TEST(QuickReference, Factor)
{
    EXPECT_DOUBLE_EQ(estimation::distanceFactor(20, 20), 1.0);
    EXPECT_NEAR(estimation::distanceFactor(20, 15), 1.1972174, 1e-7);
    EXPECT_NEAR(estimation::distanceFactor(15, 20), 0.8352702, 1e-7);
    EXPECT_NEAR(estimation::distanceFactor(100, 0), 36.598234, 1e-6);
}

TEST(QuickReference, RowsAndTheirEnds)
{
    EXPECT_EQ(estimation::kGuideRows, 201);
    EXPECT_EQ(estimation::guideRowText(0), QStringLiteral("0%"));
    EXPECT_EQ(estimation::guideRowText(80), QStringLiteral("80%"));
    EXPECT_EQ(estimation::guideRowText(200), QStringLiteral("200%"));
    EXPECT_EQ(estimation::plainGuide(50, 0), QStringLiteral("0"));
    EXPECT_EQ(estimation::plainGuide(50, 200), QStringLiteral("100"));
    // An exact half rounds away from zero: 45 at 90 % is 40.5.
    EXPECT_EQ(estimation::plainGuide(45, 90), QStringLiteral("41"));
    // A menu with no row chosen yet (index -1) while the window opens: no "-0".
    EXPECT_EQ(estimation::plainGuide(0, -1), QStringLiteral("0"));
    EXPECT_EQ(estimation::correctedGuide(0, 1, -1), QStringLiteral("0"));
}

} // namespace
