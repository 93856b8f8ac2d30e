#pragma once

// The quick reference and the distance correction, without widgets.
//
// A row of the quick reference shows a percentage of the estimate twice:
// plain, and multiplied by the distance-correction factor
// exp(0.036 x (target - M1)), distances in millimetres. The corrected column
// applies (is drawn black, the plain one grey) while the two distances do
// not add up to 0.

#include <QString>

#include <cstdint>

namespace estimation {

// Rows of the percentage menus: "0%" .. "200%"; the row index is the
// percentage.
constexpr int kGuideRows = 201;
QString guideRowText(std::int32_t percent);

// exp(0.036 x (target - m1)).
double distanceFactor(double target, double m1);

// Round(rmt x (percent / 100)) printed with "##0".
QString plainGuide(double rmt, std::int32_t percent);
// Round((rmt x factor) x (percent / 100)) printed with "##0".
QString correctedGuide(double rmt, double factor, std::int32_t percent);

// True when the corrected column applies: |target + m1| > 0.
bool correctionApplies(double target, double m1);

} // namespace estimation
