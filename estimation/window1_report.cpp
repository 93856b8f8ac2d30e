// Window1's "Print/Save": composing the report and handing it to the Output window.
#include "estimation/window1.h"

#include "estimation/core/report_text.h"
#include "report/window4.h"

void Window1::PushButton4_Action(fw::PushButton*)
{
    myoutput = QString();
    estimation::ReportSources s;
    s.mydate = mydate;
    s.mytime = mytime;
    s.totaltime = totaltime;
    s.mlPest = CheckBox1()->Value();
    s.field1 = EditField1()->Text();
    s.field4 = EditField4()->Text();
    s.field3 = EditField3()->Text();
    s.estimate = StaticText4()->Text();
    s.percent1 = PopupMenu1()->Text();
    s.percent2 = PopupMenu2()->Text();
    s.percent3 = PopupMenu3()->Text();
    s.quick1 = StaticText7()->Text();
    s.quick2 = StaticText8()->Text();
    s.quick3 = StaticText9()->Text();
    s.distanceM1 = EditField7()->Text();
    s.distanceTarget = EditField6()->Text();
    s.corrected1 = StaticText13()->Text();
    s.corrected2 = StaticText14()->Text();
    s.corrected3 = StaticText15()->Text();
    s.historyHeader = EditField5()->Text();
    s.history = EditField2()->Text();
    myoutput = estimation::composeReport(s);

    Window4::instance()->Show();
    Window4::instance()->EditField1()->setText(myoutput);
}
