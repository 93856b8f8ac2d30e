#include "estimation/core/history.h"

#include "framework/core/text.h"

namespace estimation {

QString historyRow(std::int32_t stepnum, double lastsetting, std::int32_t response, double thediff)
{
    const QString gap = QStringLiteral("   ");
    QString row;
    row.reserve(40);
    row += fw::Format(double(stepnum), QStringLiteral("00"));
    row += gap;
    row += fw::Format(lastsetting, QStringLiteral("000.00"));
    row += gap;
    row += fw::Format(fw::Round(lastsetting), QStringLiteral("000"));
    row += gap;
    row += fw::Format(double(response), QStringLiteral("0.0"));
    row += gap;
    row += fw::Format(thediff, QStringLiteral("00.0000"));
    row += fw::Chr(13);
    return row;
}

} // namespace estimation
