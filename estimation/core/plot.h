#pragma once

// The plot of a run, worked out without widgets: one redraw of the main
// window's plot picture as the list of drawing steps it takes, in order,
// with every coordinate already converted to Int32. The window replays the
// list on its picture; tests read it.
//
// Outputs are drawn 4 pixels per percent up from the bottom edge (y = 387),
// changes by the difference scale (8.6 under Maximum-Likelihood PEST, else
// 387 / (2 x startstep)), trial k at x = 550 / (n + 1) x k. An item whose
// coordinate is not a finite number (a step size of 0 makes the difference
// scale infinite) is left out, so no NaN or infinity is ever converted.

#include <QString>

#include <cstdint>
#include <vector>

namespace estimation {

struct PlotStep {
    enum Kind {
        Color,    // a, b, c: red, green, blue
        Pen,      // a, b: pen width and height
        Font,     // text: font name; a: size
        FillRect, // a, b, c, d: left, top, width, height
        FillOval, // a, b, c, d: left, top, width, height
        Line,     // a, b, c, d: x1, y1, x2, y2
        Text,     // text at baseline (a, b)
        Yield,    // one call of the background task
    };
    Kind kind;
    std::int32_t a = 0, b = 0, c = 0, d = 0;
    QString text;

    bool operator==(const PlotStep&) const = default;
};

struct PlotInput {
    std::int32_t n = 0;       // trials to plot: log entries 1..n (0..200)
    double setting = 0;       // the new output, printed as the estimate value
    bool mlpest = false;      // Maximum-Likelihood PEST: its scale and threshold
    std::int32_t startstep = 0;
    double mydiff = 0;        // Adaptive PEST difference threshold
    double mydiff2 = 0;       // Maximum-Likelihood PEST difference threshold
    const double* settinglog = nullptr; // entries 0..n: output of trial k
    const double* diflog = nullptr;     // entries 0..n: change at trial k
};

constexpr int kPlotWidth = 550;
constexpr int kPlotHeight = 387;

// Horizontal distance between trials: 550 / (n + 1).
double trialSpacing(std::int32_t n);
// Pixels per percent of change; infinite for an Adaptive PEST step of 0.
double differenceScale(bool mlpest, std::int32_t startstep);

// The steps of one redraw, written into `out` (cleared first, its storage
// kept, so a caller that keeps the vector allocates nothing per redraw).
void plotSteps(const PlotInput& in, std::vector<PlotStep>& out);

} // namespace estimation
