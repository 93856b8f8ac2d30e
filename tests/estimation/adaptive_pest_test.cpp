// The Adaptive PEST step rule: whole staircases against known outputs, the
// invariants of the trial logs over a long scripted run, the refusal of a
// 201st trial, and inputs outside 0/1 and positive steps.

#include "estimation/core/adaptive_pest.h"
#include "framework/core/background.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

using estimation::AdaptivePest;

namespace {

// Checks what must hold after any call for trial n: the reversal flags match
// the response log, trial 1 is never a reversal.
void expectLogsConsistent(const AdaptivePest& pest)
{
    const int n = pest.stepnum;
    EXPECT_EQ(pest.reversal[1], 0);
    for (int k = 2; k <= n; ++k)
        EXPECT_EQ(pest.reversal[k], pest.mep[k] != pest.mep[k - 1] ? 1 : 0) << "trial " << k;
}

// Feeds a response script the way the key handler does: each returned
// output becomes the next mysetting (no clamping here).
std::vector<double> runScript(AdaptivePest& pest, const std::vector<std::int32_t>& responses)
{
    std::vector<double> outputs;
    for (const std::int32_t r : responses) {
        const double before = pest.mysetting;
        const double next = pest.runpest(r);
        EXPECT_EQ(pest.mysetting, before) << "runpest must not move mysetting";
        expectLogsConsistent(pest);
        outputs.push_back(next);
        pest.mysetting = next;
    }
    return outputs;
}

struct StaircaseCase {
    const char* name;
    double start;
    std::int32_t startstep;
    std::vector<std::int32_t> responses;
    std::vector<double> outputs;
    std::vector<int> doubledTrials; // trials whose call doubled the step
};

const StaircaseCase kStaircases[] = {
    {"reversal at trial 2 keeps the first step", 50, 4, {0, 1}, {54, 50}, {}},
    {"reversal at trial 3 halves", 50, 4, {0, 0, 1}, {54, 58, 56}, {}},
    {"doubling into a reversal keeps the third step", 30, 4, {0, 0, 0, 0, 1, 1, 1, 1, 0},
     {34, 38, 46, 62, 54, 46, 38, 22, 30}, {3, 4, 8}},
    {"no doubling into the reversal doubles the third step", 50, 4, {0, 1, 1, 1, 1},
     {54, 50, 46, 38, 22}, {4, 5}},
    {"no reversal doubles from trial 3 on", 10, 1, {0, 0, 0, 0, 0}, {11, 12, 14, 18, 26}, {3, 4, 5}},
    {"three equal successes double on trial 3", 50, 4, {1, 1, 1}, {46, 42, 34}, {3}},
    {"a 2 moves down and reverses a 1 by its value", 50, 4, {1, 1, 2}, {46, 42, 40}, {}},
    {"a 2 after a failure moves down and halves", 50, 4, {0, 0, 2}, {54, 58, 56}, {}},
    {"a negative response moves down", 50, 4, {-1, -1}, {46, 42}, {}},
    {"startstep 0 never moves", 50, 0, {0, 0, 0, 1, 1, 0}, {50, 50, 50, 50, 50, 50}, {3}},
    {"negative startstep reverses both directions", 50, -4, {0, 0, 0, 1}, {46, 42, 34, 38}, {3}},
};

TEST(AdaptivePestTest, StaircasesGiveKnownOutputs)
{
    for (const StaircaseCase& c : kStaircases) {
        SCOPED_TRACE(c.name);
        AdaptivePest pest;
        pest.mysetting = c.start;
        pest.startstep = c.startstep;
        pest.mystep = 123.0; // whatever was left: trial 1 replaces it
        EXPECT_EQ(runScript(pest, c.responses), c.outputs);
        EXPECT_EQ(pest.stepnum, static_cast<std::int32_t>(c.responses.size()));
        for (std::size_t k = 1; k <= c.responses.size(); ++k)
            EXPECT_EQ(pest.mep[k], c.responses[k - 1]);

        std::vector<int> doubledTrials;
        for (int k = 0; k <= AdaptivePest::kMaxTrials; ++k)
            if (pest.doubled[k] != 0)
                doubledTrials.push_back(k);
        EXPECT_EQ(doubledTrials, c.doubledTrials);
    }
}

// A long scripted run: the step only halves at a reversal, is kept, or
// doubles (and then the flag is set), and the output moves by the new step.
TEST(AdaptivePestTest, LongRunFollowsTheRules)
{
    AdaptivePest pest;
    pest.mysetting = 50.0;
    pest.startstep = 7;
    std::uint32_t lcg = 7u;
    for (int n = 1; n <= AdaptivePest::kMaxTrials; ++n) {
        SCOPED_TRACE("trial " + std::to_string(n));
        lcg = lcg * 1664525u + 1013904223u;
        const std::int32_t response = static_cast<std::int32_t>((lcg >> 20) % 3 == 0);
        const double stepBefore = pest.mystep;
        const double before = pest.mysetting;
        const double next = pest.runpest(response);

        ASSERT_EQ(pest.stepnum, n);
        EXPECT_EQ(pest.mysetting, before);
        expectLogsConsistent(pest);
        EXPECT_EQ(next, response == 0 ? before + pest.mystep : before - pest.mystep);
        if (n <= 2) {
            EXPECT_EQ(pest.mystep, 7.0);
            EXPECT_EQ(pest.doubled[n], 0);
        } else if (pest.reversal[n] == 1) {
            EXPECT_EQ(pest.mystep, stepBefore / 2.0);
            EXPECT_EQ(pest.doubled[n], 0);
        } else {
            EXPECT_TRUE(pest.mystep == stepBefore || pest.mystep == stepBefore * 2.0);
            EXPECT_EQ(pest.doubled[n], pest.mystep == stepBefore * 2.0 ? 1 : 0);
        }
        pest.mysetting = next;
    }
}

TEST(AdaptivePestTest, StepHasNoLimit)
{
    AdaptivePest pest;
    pest.mysetting = 50.0;
    pest.startstep = 4;
    for (int n = 1; n <= AdaptivePest::kMaxTrials; ++n)
        pest.runpest(0);
    EXPECT_EQ(pest.mystep, std::ldexp(4.0, AdaptivePest::kMaxTrials - 2));
}

// The logs hold 200 trials: the 201st call and a corrupt counter change
// nothing, and the output stays where it was.
TEST(AdaptivePestTest, RefusesTrialsOutsideTheLogs)
{
    struct Case {
        const char* name;
        std::int32_t stepnum;
    } const cases[] = {
        {"201st trial", 200},
        {"counter past the logs", 5000},
        {"largest counter", INT32_MAX},
        {"negative counter", -1},
        {"most negative counter", INT32_MIN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AdaptivePest pest;
        pest.mysetting = 50.0;
        pest.startstep = 4;
        for (int n = 1; n <= AdaptivePest::kMaxTrials; ++n)
            pest.mysetting = pest.runpest(n % 3 == 0 ? 1 : 0);
        EXPECT_TRUE(pest.trialsFull());
        pest.stepnum = c.stepnum;
        const AdaptivePest before = pest;

        EXPECT_EQ(pest.runpest(1), before.mysetting);
        EXPECT_EQ(pest.runpest(0), before.mysetting);
        EXPECT_EQ(pest.stepnum, before.stepnum);
        EXPECT_EQ(pest.mystep, before.mystep);
        EXPECT_EQ(pest.mep, before.mep);
        EXPECT_EQ(pest.reversal, before.reversal);
        EXPECT_EQ(pest.doubled, before.doubled);
    }
}

TEST(AdaptivePestTest, TrialsFullAtTwoHundred)
{
    AdaptivePest pest;
    pest.stepnum = 199;
    EXPECT_FALSE(pest.trialsFull());
    pest.mysetting = 50.0;
    pest.runpest(0);
    EXPECT_EQ(pest.stepnum, 200);
    EXPECT_TRUE(pest.trialsFull());
}

// Every pass of the flag loop yields, so timers run during a long run.
TEST(AdaptivePestTest, YieldsWhileRecomputingTheFlags)
{
    AdaptivePest pest;
    pest.mysetting = 50.0;
    pest.startstep = 4;
    for (int n = 1; n < 50; ++n)
        pest.runpest(n % 2);
    const long long before = fw::backgroundTaskCalls();
    pest.runpest(1);
    EXPECT_GE(fw::backgroundTaskCalls() - before, 49);
}

} // namespace
