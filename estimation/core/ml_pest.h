#pragma once

// Maximum-Likelihood PEST: the recorded stimuli, the likelihood and the
// threshold search behind the main window.
//
// MlPest holds the likelihood data (indices 0..1000, stimulus i at index i,
// index 0 unused) and rates a threshold t by the negative log-likelihood of a
// cumulative Gaussian whose standard deviation is `relsigmafinal` percent of
// t (`funcfinal`). `finalThreshold` scans the whole thresholds 1..100 and
// refines a single best one with Brent's method (`brent`). Window1 derives
// from it, so the members keep the names the window's other code uses.
//
// Every loop pass yields once to the framework's background task. The
// arithmetic is kept in the order given, so results are reproducible to the
// bit; nothing is cached between calls.

#include <array>
#include <cstdint>

namespace estimation {

struct MlPest {
    static constexpr int kMaxStimuli = 1000;

    std::int32_t nrstimulus = 0; // recorded stimuli: entries 1..nrstimulus
    std::array<double, kMaxStimuli + 1> erfolge{};  // outcome, 1.0 = MEP
    std::array<double, kMaxStimuli + 1> staerken{}; // intensity (output)
    double relsigmafinal = 0; // spread in percent of the threshold

    // Appends one stimulus; the outcome is stored as given and counts as a
    // failure unless it is exactly 1. Refused (nothing changes, false) when
    // 1000 stimuli are recorded or `nrstimulus` is negative.
    bool insertstimulus(std::int32_t stim, std::int32_t outcome);
    bool stimuliFull() const { return nrstimulus >= kMaxStimuli; }

    // Seeds a failure at `lower` and a success at `upper` (does not reset
    // `nrstimulus`).
    void startBestPest(std::int32_t lower, std::int32_t upper);

    // Natural logarithm, -12000 for arguments below 1e-100.
    double sureln(double x) const;
    // Normal distribution function P(X <= x), X ~ N(mu, sigma); a step at mu
    // when sigma < 1e-10 (zero or negative spread). NaN in, NaN out.
    double CuGauss(double x, double mu, double sigma) const;
    // Negative log-likelihood of threshold t under the recorded stimuli.
    // Reads at most 1000 entries whatever `nrstimulus` says; 0 when none.
    double funcfinal(double t) const;

    // |a| with the sign of b, negative unless b > 0.
    double sign(double a, double b) const;
    // Minimises funcfinal between ax and cx from bx (at most 100 steps);
    // stores the point in xmin and returns funcfinal there.
    double brent(double ax, double bx, double cx, double tol, double& xmin) const;
    // Sets relsigmafinal = spread and returns the maximum-likelihood
    // threshold: the middle of a tied best stretch of 1..100, or the refined
    // single best grid point (within one unit of it). When no grid point has
    // a numeric cost (a NaN spread or NaN data) it returns 50.5, the middle
    // of the grid, as when the data say nothing.
    double finalThreshold(double spread);
};

} // namespace estimation
