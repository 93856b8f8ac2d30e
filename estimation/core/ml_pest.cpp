#include "estimation/core/ml_pest.h"

#include "framework/core/background.h"

#include <algorithm>
#include <cmath>

namespace estimation {

bool MlPest::insertstimulus(std::int32_t stim, std::int32_t outcome)
{
    if (nrstimulus < 0 || nrstimulus >= kMaxStimuli)
        return false;
    nrstimulus = nrstimulus + 1;
    staerken[nrstimulus] = static_cast<double>(stim);
    erfolge[nrstimulus] = static_cast<double>(outcome);
    return true;
}

void MlPest::startBestPest(std::int32_t lower, std::int32_t upper)
{
    insertstimulus(lower, 0);
    insertstimulus(upper, 1);
}

double MlPest::sureln(double x) const
{
    if (x < 1e-100)
        return -12000.0;
    return std::log(x);
}

double MlPest::CuGauss(double x, double mu, double sigma) const
{
    if (sigma < 1e-10)
        return (x >= mu) ? 1.0 : 0.0;
    const double z = (x - mu) / (1.414213562 * sigma);
    const double a = std::fabs(z);
    if (a > 50.0)
        return (z > 0) ? 1.0 : 0.0;
    // Complementary error function, Chebyshev fit.
    const double t = 1.0 / (1.0 + 0.5 * a);
    const double c = t * std::exp(-a * a - 1.26551223 + t * (1.00002368 + t * (0.37409196 + t * (0.09678418 + t * (-0.18628806 + t * (0.27886807 + t * (-1.13520398 + t * (1.48851587 + t * (-0.82215223 + t * 0.17087277)))))))));
    const double erfc = (z >= 0) ? c : 2.0 - c;
    return 0.5 * (2.0 - erfc);
}

double MlPest::funcfinal(double t) const
{
    const double sigma = (relsigmafinal * t) / 100.0;
    const std::int32_t count = std::clamp(nrstimulus, 0, kMaxStimuli);
    double sum = 0.0;
    for (std::int32_t k = 1; k <= count; ++k) {
        fw::RuntimeBackgroundTask();
        if (erfolge[k] == 1.0)
            sum = sum + sureln(1.0 - CuGauss(t, staerken[k], sigma));
        else
            sum = sum + sureln(CuGauss(t, staerken[k], sigma));
    }
    return -sum;
}

double MlPest::sign(double a, double b) const
{
    return (b > 0.0) ? std::fabs(a) : -std::fabs(a);
}

double MlPest::brent(double ax, double bx, double cx, double tol, double& xmin) const
{
    constexpr int kMaxIterations = 100;
    constexpr double kGolden = 0.381966;
    constexpr double kAbsTol = 1e-10;

    double a = (ax < cx) ? ax : cx;
    double b = (cx < ax) ? ax : cx;
    double x = bx, w = bx, v = bx;
    double fx = funcfinal(bx);
    double fw = fx, fv = fx;
    double d = 0.0, e = 0.0;

    for (int iteration = 1; iteration <= kMaxIterations; ++iteration) {
        fw::RuntimeBackgroundTask();
        const double xm = 0.5 * (a + b);
        const double tol1 = tol * std::fabs(x) + kAbsTol;
        const double tol2 = 2.0 * tol1;
        if (std::fabs(x - xm) <= tol2 - 0.5 * (b - a)) {
            xmin = x;
            return fx;
        }

        bool goldenStep = true;
        if (std::fabs(e) > tol1) {
            // Parabola through x, w and v.
            const double r = (x - w) * (fx - fv);
            double q = (x - v) * (fx - fw);
            double p = (x - v) * q - (x - w) * r;
            q = 2.0 * (q - r);
            if (q > 0.0)
                p = -p;
            q = std::fabs(q);
            const double etemp = e;
            e = d;
            if (!(std::fabs(p) >= std::fabs(0.5 * q * etemp) || p <= q * (a - x) || p >= q * (b - x))) {
                d = p / q;
                const double u = x + d;
                if (u - a < tol2 || b - u < tol2)
                    d = sign(tol1, xm - x);
                goldenStep = false;
            }
        }
        if (goldenStep) {
            e = (x >= xm) ? a - x : b - x;
            d = kGolden * e;
        }

        const double u = (std::fabs(d) >= tol1) ? x + d : x + sign(tol1, d);
        const double fu = funcfinal(u);

        if (fu <= fx) {
            if (u >= x)
                a = x;
            else
                b = x;
            v = w;
            fv = fw;
            w = x;
            fw = fx;
            x = u;
            fx = fu;
        } else {
            if (u < x)
                a = u;
            else
                b = u;
            if (fu <= fw || w == x) {
                v = w;
                fv = fw;
                w = u;
                fw = fu;
            } else if (fu <= fv || v == x || v == w) {
                v = u;
                fv = fu;
            }
        }
    }
    xmin = x;
    return fx;
}

double MlPest::finalThreshold(double spread)
{
    relsigmafinal = spread;

    double best = 1e38;
    std::int32_t imin = 0;
    std::int32_t imax = 0;
    for (std::int32_t i = 1; i <= 100; ++i) {
        fw::RuntimeBackgroundTask();
        const double v = funcfinal(static_cast<double>(i));
        if (std::fabs(v - best) < 1e-7) {
            imax = i;
        } else if (v < best) {
            best = v;
            imin = i;
            imax = i;
        }
    }

    // Every cost NaN: nothing to refine around, take the middle of the grid.
    if (imin == 0)
        return 50.5;
    if (imin != imax)
        return 0.5 * static_cast<double>(imin + imax);

    double xmin = 0.0;
    brent(static_cast<double>(imin - 1), static_cast<double>(imin), static_cast<double>(imin + 1), 1e-7, xmin);
    return xmin;
}

} // namespace estimation
