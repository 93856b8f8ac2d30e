#pragma once

// The report of an estimation: plain text of 36 + n lines (n history rows),
// each ended by a carriage return alone, composed from what the main window
// shows when "Print/Save" is pressed. Nothing is recomputed or checked here;
// only the total time is formatted.

#include <QString>

namespace estimation {

// The texts of the main window's controls and the three timing properties,
// as they stand.
struct ReportSources {
    QString mydate, mytime;
    double totaltime = 0;
    bool mlPest = false;                 // CheckBox1 "Use ML-PEST"
    QString field1, field4, field3;      // EditField1, EditField4, EditField3
    QString estimate;                    // StaticText4
    QString percent1, percent2, percent3;  // PopupMenu1..3, the chosen rows
    QString quick1, quick2, quick3;      // StaticText7..9
    QString distanceM1, distanceTarget;  // EditField7, EditField6
    QString corrected1, corrected2, corrected3;  // StaticText13..15
    QString historyHeader;               // EditField5
    QString history;                     // EditField2, rows ended by carriage returns
};

QString composeReport(const ReportSources& s);

} // namespace estimation
