#include "estimation/core/plot.h"

#include "framework/core/text.h"

#include <cmath>

namespace estimation {
namespace {

// Collects the steps; an item whose coordinates are not all finite numbers
// is dropped whole.
class Steps {
public:
    explicit Steps(std::vector<PlotStep>& out) : m_out(out) { m_out.clear(); }

    void color(int r, int g, int b) { m_out.push_back({PlotStep::Color, r, g, b, 0, {}}); }
    void pen(int w, int h) { m_out.push_back({PlotStep::Pen, w, h, 0, 0, {}}); }
    void font(const QString& name, int size) { m_out.push_back({PlotStep::Font, size, 0, 0, 0, name}); }
    void yield() { m_out.push_back({PlotStep::Yield, 0, 0, 0, 0, {}}); }

    void shape(PlotStep::Kind kind, double a, double b, double c, double d)
    {
        if (finite(a, b, c, d))
            m_out.push_back({kind, fw::CInt32(a), fw::CInt32(b), fw::CInt32(c), fw::CInt32(d), {}});
    }
    void text(const QString& s, double x, double y)
    {
        if (finite(x, y, 0, 0))
            m_out.push_back({PlotStep::Text, fw::CInt32(x), fw::CInt32(y), 0, 0, s});
    }

private:
    static bool finite(double a, double b, double c, double d)
    {
        return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
    }
    std::vector<PlotStep>& m_out;
};

} // namespace

double trialSpacing(std::int32_t n)
{
    // n + 1 as a whole number, then as a Double; taken in 64 bits so no n
    // overflows.
    return double(kPlotWidth) / double(std::int64_t(n) + 1);
}

double differenceScale(bool mlpest, std::int32_t startstep)
{
    if (mlpest)
        return 8.6;
    return double(kPlotHeight) / double(2 * std::int64_t(startstep));
}

void plotSteps(const PlotInput& in, std::vector<PlotStep>& out)
{
    Steps draw(out);
    if (in.n < 0 || !in.settinglog || !in.diflog)
        return;
    const std::int32_t n = in.n;
    const double s = trialSpacing(n);
    const double q = differenceScale(in.mlpest, in.startstep);
    const double* setting = in.settinglog;
    const double* dif = in.diflog;
    const auto outputY = [](double o) { return 387.0 - o * 4.0; };

    // Background over the whole picture, the splash picture included.
    draw.color(255, 255, 255);
    draw.shape(PlotStep::FillRect, 0, 0, 550, 387);

    // Grid: ten horizontal lines 40 apart, one vertical line per trial and
    // one for trial 0.
    draw.color(200, 200, 200);
    draw.pen(1, 1);
    for (int y = 0; y <= 387; y += 40) {
        draw.shape(PlotStep::Line, 0, y, 550, y);
        draw.yield();
    }
    for (std::int32_t i = 0; i <= n; ++i) {
        const double x = s * i + 5.0;
        draw.shape(PlotStep::Line, x, 0, x, 387);
        draw.yield();
    }

    draw.pen(3, 3);

    // A black disc for each output, a green square for each change.
    for (std::int32_t i = 1; i <= n; ++i) {
        draw.color(0, 0, 0);
        draw.shape(PlotStep::FillOval, s * i, outputY(setting[i]), 6, 6);
        draw.color(0, 255, 0);
        draw.shape(PlotStep::FillRect, s * i, 387.0 - dif[i] * q, 6, 6);
        draw.yield();
    }

    // Lines between the centres of successive marks.
    if (n > 1)
        for (std::int32_t i = 1; i <= n - 1; ++i) {
            draw.color(0, 0, 0);
            draw.shape(PlotStep::Line, s * i + 3.0, outputY(setting[i]) + 3.0, s * (i + 1) + 3.0,
                       outputY(setting[i + 1]) + 3.0);
            draw.color(0, 255, 0);
            draw.shape(PlotStep::Line, s * i + 3.0, 387.0 - (dif[i] * q - 3.0), s * (i + 1) + 3.0,
                       387.0 - (dif[i + 1] * q - 3.0));
            draw.yield();
        }

    // The estimate: label, value and a line under the last output.
    draw.color(0, 0, 255);
    draw.font(QStringLiteral("Courier"), 16);
    const double e = outputY(setting[n]);
    draw.text(QStringLiteral("rMT Estimate"), 10, e);
    draw.text(fw::Format(fw::Round(in.setting), QStringLiteral("#00")), 510, e);
    draw.shape(PlotStep::Line, 0, e + 5.0, 550, e + 5.0);

    // The difference threshold of the method, on the difference scale.
    draw.color(255, 0, 0);
    const double t = in.mlpest ? in.mydiff2 : in.mydiff;
    draw.shape(PlotStep::Line, 0, 387.0 - t * q, 550, 387.0 - t * q);
    draw.text(QStringLiteral("Diff Threshold"), 10, 383.0 - t * q);
}

} // namespace estimation
