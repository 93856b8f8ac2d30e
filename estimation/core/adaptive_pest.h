#pragma once

// Adaptive PEST: the step-size staircase behind the main window.
//
// AdaptivePest holds the trial logs of one run (indices 0..200, trial k at
// index k, index 0 unused) and the step rule `runpest`. Window1 derives from
// it, so the members keep the names the window's other code uses. Start and
// Reset clear the logs and set `stepnum` to 0; `runpest` never changes
// `mysetting`, the caller stores the value it returns.

#include <array>
#include <cstdint>

namespace estimation {

struct AdaptivePest {
    static constexpr int kMaxTrials = 200;

    std::int32_t stepnum = 0;   // trials answered since Start or Reset
    std::int32_t startstep = 0; // step of the first two trials
    double mystep = 0;          // current step size
    double mysetting = 0;       // output of the trial just answered (read only here)
    std::array<std::int32_t, kMaxTrials + 1> reversal{}, mep{}, doubled{};

    // Records `response` (1 = MEP, 0 = none, any other value counts as a
    // success for the direction and by its value for reversals) as the next
    // trial, adjusts `mystep` and returns the next output, unclamped.
    // Refused when the logs are full (200 trials) or `stepnum` is negative:
    // nothing changes and `mysetting` is returned.
    double runpest(std::int32_t response);

    bool trialsFull() const { return stepnum >= kMaxTrials; }
};

} // namespace estimation
