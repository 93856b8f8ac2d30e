#include "estimation/core/guides.h"

#include "framework/core/text.h"

#include <cmath>

namespace estimation {

QString guideRowText(std::int32_t percent)
{
    return fw::Str(percent) + QStringLiteral("%");
}

double distanceFactor(double target, double m1)
{
    return std::exp(0.036 * (target - m1));
}

QString plainGuide(double rmt, std::int32_t percent)
{
    return fw::Format(fw::Round(rmt * (double(percent) / 100.0)), QStringLiteral("##0"));
}

QString correctedGuide(double rmt, double factor, std::int32_t percent)
{
    return fw::Format(fw::Round((rmt * factor) * (double(percent) / 100.0)), QStringLiteral("##0"));
}

bool correctionApplies(double target, double m1)
{
    return std::fabs(target + m1) > 0;
}

} // namespace estimation
