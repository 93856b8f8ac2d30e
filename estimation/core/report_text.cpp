#include "estimation/core/report_text.h"

#include "framework/core/text.h"

#include <QStringList>

namespace estimation {

QString composeReport(const ReportSources& s)
{
    const QString rule(34, QLatin1Char('_'));
    const QStringList lines = {
        rule,
        QString(),
        QStringLiteral("Adaptive P.E.S.T."),
        QStringLiteral("Quorvel"),
        QStringLiteral("Written by the Quorvel developers"),
        QStringLiteral("The Quorvel Project"),
        QStringLiteral("Resting motor threshold estimation"),
        QStringLiteral("for transcranial magnetic stimulation"),
        rule,
        QString(),
        s.mydate,
        s.mytime,
        QStringLiteral("Total Assessment Time = ") + fw::Format(s.totaltime, QStringLiteral("##########.##########")) +
            QStringLiteral(" seconds"),
        QString(),
        s.mlPest ? QStringLiteral("Method: Maximum-Likelihood PEST") : QStringLiteral("Method: Adaptive PEST"),
        (s.mlPest ? QStringLiteral("Lower Bound = ") : QStringLiteral("Starting Value = ")) + s.field1,
        (s.mlPest ? QStringLiteral("Upper Bound = ") : QStringLiteral("Step Size = ")) + s.field4,
        (s.mlPest ? QStringLiteral("Spread = ") : QStringLiteral("Difference Threshold = ")) + s.field3,
        QString(),
        QStringLiteral("Resting Motor Threshold = ") + s.estimate,
        QString(),
        QStringLiteral("QUICK REFERENCE:"),
        s.percent1 + QStringLiteral(" = ") + s.quick1,
        s.percent2 + QStringLiteral(" = ") + s.quick2,
        s.percent3 + QStringLiteral(" = ") + s.quick3,
        QString(),
        QStringLiteral("DISTANCE CORRECTION:"),
        QStringLiteral("Distance from M1 = ") + s.distanceM1 + QStringLiteral(" mm"),
        QStringLiteral("Distance from cortical target = ") + s.distanceTarget + QStringLiteral(" mm"),
        s.percent1 + QStringLiteral(" = ") + s.corrected1,
        s.percent2 + QStringLiteral(" = ") + s.corrected2,
        s.percent3 + QStringLiteral(" = ") + s.corrected3,
        QString(),
        QStringLiteral("HISTORY:"),
        s.historyHeader,
    };
    const QString cr = fw::Chr(13);
    QString out;
    out.reserve(1024 + s.history.size());
    for (const QString& line : lines)
        out += line + cr;
    // The history rows bring their own line ends; one more ends the report
    // with a blank line.
    out += s.history + cr;
    return out;
}

} // namespace estimation
