#pragma once

// One row of the trial history under the header
// "#    SETTING  ROUND MEP   DIFF": trial number, output tried, that output
// rounded, the response and the change, joined by three blanks and ended by
// a carriage return, e.g. "01   050.00   050   1.0   07.0000\r".

#include <QString>

#include <cstdint>

namespace estimation {

QString historyRow(std::int32_t stepnum, double lastsetting, std::int32_t response, double thediff);

} // namespace estimation
