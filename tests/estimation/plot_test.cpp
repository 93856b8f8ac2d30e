// One redraw of the plot as its list of drawing steps: the scales, the whole
// first-trial redraw against a golden list, the n = 0 redraw, the connecting
// lines, the threshold of each method, the yields per loop pass, and a step
// size of 0 or below, where the difference scale is no finite number.

#include "estimation/core/plot.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

using estimation::PlotInput;
using estimation::PlotStep;

namespace {

using K = PlotStep::Kind;

struct Logs {
    std::array<double, 201> setting{}, dif{};
};

PlotInput input(const Logs& logs, std::int32_t n, double setting, bool ml, std::int32_t startstep,
                double mydiff = 0.45, double mydiff2 = 0.45)
{
    PlotInput in;
    in.n = n;
    in.setting = setting;
    in.mlpest = ml;
    in.startstep = startstep;
    in.mydiff = mydiff;
    in.mydiff2 = mydiff2;
    in.settinglog = logs.setting.data();
    in.diflog = logs.dif.data();
    return in;
}

std::vector<PlotStep> steps(const PlotInput& in)
{
    std::vector<PlotStep> out;
    estimation::plotSteps(in, out);
    return out;
}

// Each drawing step with the colour in force when it is drawn.
struct Drawn {
    PlotStep step;
    std::array<int, 3> color;
};
std::vector<Drawn> drawn(const std::vector<PlotStep>& all)
{
    std::vector<Drawn> out;
    std::array<int, 3> color{-1, -1, -1};
    for (const PlotStep& s : all) {
        if (s.kind == K::Color)
            color = {s.a, s.b, s.c};
        else if (s.kind != K::Pen && s.kind != K::Font && s.kind != K::Yield)
            out.push_back({s, color});
    }
    return out;
}

constexpr std::array<int, 3> kGreen{0, 255, 0}, kRed{255, 0, 0}, kBlack{0, 0, 0}, kBlue{0, 0, 255};

int countOf(const std::vector<Drawn>& d, K kind, std::array<int, 3> color)
{
    int n = 0;
    for (const Drawn& x : d)
        n += x.step.kind == kind && x.color == color;
    return n;
}

PlotStep line(int x1, int y1, int x2, int y2) { return {K::Line, x1, y1, x2, y2, {}}; }
PlotStep text(const char* s, int x, int y) { return {K::Text, x, y, 0, 0, QString::fromLatin1(s)}; }

TEST(PlotScales, AsTheCallersSetThem)
{
    EXPECT_DOUBLE_EQ(estimation::trialSpacing(0), 550.0);
    EXPECT_DOUBLE_EQ(estimation::trialSpacing(1), 275.0);
    EXPECT_DOUBLE_EQ(estimation::trialSpacing(200), 550.0 / 201.0);
    EXPECT_NEAR(estimation::differenceScale(false, 7), 27.642857, 1e-6);
    EXPECT_DOUBLE_EQ(estimation::differenceScale(true, 7), 8.6);
    EXPECT_DOUBLE_EQ(estimation::differenceScale(true, 0), 8.6);
    EXPECT_TRUE(std::isinf(estimation::differenceScale(false, 0)));
    // 2 x startstep never overflows.
    EXPECT_GT(estimation::differenceScale(false, 2147483647), 0.0);
}

// The first trial of an Adaptive PEST run from 50, step 7, answered with a
// success (next output 43): every step in order.
TEST(PlotRedraw, FirstTrialStepByStep)
{
    Logs logs;
    logs.setting[1] = 43;
    logs.dif[1] = 7;
    const PlotStep Y{K::Yield, 0, 0, 0, 0, {}};
    std::vector<PlotStep> want = {
        {K::Color, 255, 255, 255, 0, {}},
        {K::FillRect, 0, 0, 550, 387, {}},
        {K::Color, 200, 200, 200, 0, {}},
        {K::Pen, 1, 1, 0, 0, {}},
    };
    for (int y = 0; y <= 360; y += 40) {
        want.push_back(line(0, y, 550, y));
        want.push_back(Y);
    }
    for (int x : {5, 280}) {
        want.push_back(line(x, 0, x, 387));
        want.push_back(Y);
    }
    const std::vector<PlotStep> tail = {
        {K::Pen, 3, 3, 0, 0, {}},
        {K::Color, 0, 0, 0, 0, {}},
        {K::FillOval, 275, 215, 6, 6, {}},   // 387 - 43 x 4 = 215
        {K::Color, 0, 255, 0, 0, {}},
        {K::FillRect, 275, 194, 6, 6, {}},   // Int(387 - 7 x 27.642857) = Int(193.5)
        Y,
        {K::Color, 0, 0, 255, 0, {}},
        {K::Font, 16, 0, 0, 0, QStringLiteral("Courier")},
        text("rMT Estimate", 10, 215),
        text("43", 510, 215),
        line(0, 220, 550, 220),
        {K::Color, 255, 0, 0, 0, {}},
        line(0, 375, 550, 375),              // Int(374.56)
        text("Diff Threshold", 10, 371),     // Int(370.56)
    };
    want.insert(want.end(), tail.begin(), tail.end());
    EXPECT_EQ(steps(input(logs, 1, 43, false, 7)), want);
}

TEST(PlotRedraw, NoTrialYetPlotsOnlyTheEstimateOfEntryZero)
{
    Logs logs;
    logs.setting[0] = 50;
    const auto d = drawn(steps(input(logs, 0, 50, false, 7)));
    int vertical = 0;
    for (const Drawn& x : d)
        if (x.step.kind == K::Line && x.step.b == 0 && x.step.d == 387) {
            ++vertical;
            EXPECT_EQ(x.step.a, 5);
        }
    EXPECT_EQ(vertical, 1);
    EXPECT_EQ(countOf(d, K::FillOval, kBlack), 0);
    EXPECT_EQ(countOf(d, K::FillRect, kGreen), 0);
    EXPECT_EQ(countOf(d, K::Line, kBlack), 0);
    EXPECT_EQ(countOf(d, K::Line, kGreen), 0);
    bool label = false;
    for (const Drawn& x : d)
        if (x.step.kind == K::Text && x.step.text == QStringLiteral("rMT Estimate")) {
            label = true;
            EXPECT_EQ(x.step.b, 187);  // 387 - 50 x 4
        }
    EXPECT_TRUE(label);
}

TEST(PlotRedraw, ConnectingLinesJoinTheCentresOfTheMarks)
{
    Logs logs;
    logs.setting[1] = 50;
    logs.setting[2] = 43;
    logs.dif[1] = 7;
    logs.dif[2] = 7;
    const auto d = drawn(steps(input(logs, 2, 43, false, 7)));
    // s = 550 / 3: from Int(186.33) to Int(369.67); outputs 50 and 43.
    std::vector<PlotStep> black, green;
    for (const Drawn& x : d) {
        if (x.step.kind != K::Line)
            continue;
        if (x.color == kBlack)
            black.push_back(x.step);
        if (x.color == kGreen)
            green.push_back(x.step);
    }
    EXPECT_EQ(black, (std::vector<PlotStep>{line(186, 190, 370, 218)}));
    // 387 - (7 x 27.642857 - 3) = 196.5 at both ends.
    EXPECT_EQ(green, (std::vector<PlotStep>{line(186, 197, 370, 197)}));
}

struct ThresholdCase {
    const char* name;
    bool ml;
    std::int32_t startstep;
    double mydiff, mydiff2;
    int lineY, labelY;  // -1: neither drawn
    int greenSquares;
};

class PlotThreshold : public ::testing::TestWithParam<ThresholdCase> {};

TEST_P(PlotThreshold, RedLineAndGreenMarks)
{
    const ThresholdCase& c = GetParam();
    Logs logs;
    for (int k = 1; k <= 3; ++k) {
        logs.setting[std::size_t(k)] = 50 - k;
        logs.dif[std::size_t(k)] = 1;
    }
    const auto all = steps(input(logs, 3, 47, c.ml, c.startstep, c.mydiff, c.mydiff2));
    const auto d = drawn(all);
    std::vector<int> lines, labels;
    for (const Drawn& x : d) {
        if (x.color != kRed)
            continue;
        if (x.step.kind == K::Line)
            lines.push_back(x.step.b);
        if (x.step.kind == K::Text)
            labels.push_back(x.step.b);
    }
    if (c.lineY < 0) {
        EXPECT_TRUE(lines.empty());
        EXPECT_TRUE(labels.empty());
    } else {
        EXPECT_EQ(lines, std::vector<int>{c.lineY});
        EXPECT_EQ(labels, std::vector<int>{c.labelY});
    }
    EXPECT_EQ(countOf(d, K::FillRect, kGreen), c.greenSquares);
    EXPECT_EQ(countOf(d, K::Line, kGreen), c.greenSquares ? 2 : 0);
    // The black series and the estimate never depend on the scale.
    EXPECT_EQ(countOf(d, K::FillOval, kBlack), 3);
    EXPECT_EQ(countOf(d, K::Line, kBlack), 2);
    EXPECT_EQ(countOf(d, K::Text, kBlue), 2);
}

const ThresholdCase kThresholds[] = {
    {"AdaptiveStep7", false, 7, 0.45, 9, 375, 371, 3},
    {"MlPestScale8_6", true, 7, 9, 0.45, 383, 379, 3},   // Int(383.13)
    {"MlPestIgnoresStartstep", true, 0, 9, 0.45, 383, 379, 3},
    {"AdaptiveStep0", false, 0, 0.45, 9, -1, -1, 0},
    {"AdaptiveStep0Threshold0", false, 0, 0, 9, -1, -1, 0},
    {"AdaptiveNegativeStep", false, -7, 0.45, 9, 399, 395, 3},  // drawn below the picture
};
INSTANTIATE_TEST_SUITE_P(, PlotThreshold, ::testing::ValuesIn(kThresholds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PlotRedraw, OneYieldPerLoopPass)
{
    Logs logs;
    for (std::int32_t n : {0, 1, 2, 200}) {
        SCOPED_TRACE(n);
        int yields = 0;
        for (const PlotStep& s : steps(input(logs, n, 50, false, 7)))
            yields += s.kind == K::Yield;
        // ten horizontal lines, n + 1 vertical, n marks, n - 1 joins
        EXPECT_EQ(yields, 10 + (n + 1) + n + std::max(0, n - 1));
    }
}

TEST(PlotRedraw, EstimateValueAndOutputsOffThePicture)
{
    Logs logs;
    logs.setting[1] = 100;
    const auto d = drawn(steps(input(logs, 1, 100, false, 7)));
    for (const Drawn& x : d) {
        if (x.step.kind == K::FillOval) {
            EXPECT_EQ(x.step.b, -13);
        }
        if (x.color == kBlue && x.step.kind == K::Text && x.step.a == 510) {
            EXPECT_EQ(x.step.text, QStringLiteral("100"));
        }
    }
    logs.setting[1] = 5;
    int found = 0;
    for (const Drawn& x : drawn(steps(input(logs, 1, 5, false, 7))))
        if (x.color == kBlue && x.step.kind == K::Text && x.step.a == 510) {
            EXPECT_EQ(x.step.text, QStringLiteral("05"));
            ++found;
        }
    EXPECT_EQ(found, 1);
}

// Random logs, steps and thresholds, extremes included: every redraw stays
// well formed (the sanitizer build checks each conversion), and an infinite
// scale never produces a green or red item.
TEST(PlotRedraw, AnyInputGivesAWellFormedRedraw)
{
    std::uint32_t seed = 2024;
    const auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    const double extremes[] = {0.0, -0.0, 1e308, -1e308, 1e-308, 96.75, 100.0, -5.0,
                               std::numeric_limits<double>::infinity(), std::nan("")};
    const std::int32_t steps7[] = {0, 7, -7, 1, 2147483647, -2147483647 - 1};
    const auto value = [&] {
        return next() % 4 == 0 ? extremes[next() % std::size(extremes)] : double(next() % 20000) / 100.0 - 50.0;
    };
    Logs logs;
    std::vector<PlotStep> out;
    for (int round = 0; round < 2000; ++round) {
        const std::int32_t n = std::int32_t(next() % 201);
        for (int k = 0; k <= n; ++k) {
            logs.setting[std::size_t(k)] = value();
            logs.dif[std::size_t(k)] = value();
        }
        const bool ml = next() % 2;
        const std::int32_t startstep = steps7[next() % std::size(steps7)];
        estimation::plotSteps(input(logs, n, value(), ml, startstep, value(), value()), out);
        ASSERT_FALSE(out.empty());
        ASSERT_EQ(out.front(), (PlotStep{K::Color, 255, 255, 255, 0, {}}));
        if (!ml && startstep == 0) {
            const auto d = drawn(out);
            ASSERT_EQ(countOf(d, K::FillRect, kGreen) + countOf(d, K::Line, kGreen), 0);
            ASSERT_EQ(countOf(d, K::Line, kRed) + countOf(d, K::Text, kRed), 0);
        }
    }
}

TEST(PlotRedraw, OutOfRangeTrialCountDrawsNothing)
{
    Logs logs;
    EXPECT_TRUE(steps(input(logs, -1, 50, false, 7)).empty());
}

} // namespace
