// Window1's plot of the run and its trial history.
#include "estimation/window1.h"

#include "estimation/core/history.h"
#include "estimation/core/plot.h"
#include "framework/core/background.h"
#include "framework/core/text.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

#include <vector>

namespace {

// Puts a row on top of the history. Only the new row is inserted, so a
// trial costs the same at trial 200 as at trial 1; the field's text is the
// row followed by what it held before.
void prependRow(fw::EditField* field, const QString& row)
{
    QPlainTextEdit* edit = field->textEdit();
    if (!edit) {
        field->setText(row + field->Text());
        return;
    }
    QString shown = row;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QTextCursor top(edit->document());
    top.movePosition(QTextCursor::Start);
    top.insertText(shown);
    // The newest row stays in view, as when the whole text is replaced.
    edit->verticalScrollBar()->setValue(0);
}

void replay(fw::Picture* picture, const std::vector<estimation::PlotStep>& steps)
{
    using estimation::PlotStep;
    for (const PlotStep& s : steps) {
        // The picture's one surface: colour, pen and font carry over.
        fw::Graphics* g = picture->Graphics();
        switch (s.kind) {
        case PlotStep::Color:
            g->setForeColor(fw::RGB(s.a, s.b, s.c));
            break;
        case PlotStep::Pen:
            g->setPenWidth(s.a);
            g->setPenHeight(s.b);
            break;
        case PlotStep::Font:
            g->setTextFont(s.text);
            g->setTextSize(s.a);
            break;
        case PlotStep::FillRect:
            g->FillRect(s.a, s.b, s.c, s.d);
            break;
        case PlotStep::FillOval:
            g->FillOval(s.a, s.b, s.c, s.d);
            break;
        case PlotStep::Line:
            g->DrawLine(s.a, s.b, s.c, s.d);
            break;
        case PlotStep::Text:
            g->DrawString(s.text, s.a, s.b);
            break;
        case PlotStep::Yield:
            fw::RuntimeBackgroundTask();
            break;
        }
    }
}

} // namespace

void Window1::Canvas1_Paint(fw::Canvas*, fw::Graphics* g)
{
    // Before the window has made its plot picture there is nothing to show.
    if (p)
        g->DrawPicture(p.get(), 0, 0);
}

void Window1::updatescreen(double, std::int32_t response)
{
    // The number shown comes from mysetting, which equals the new output.
    StaticText4()->setText(fw::Format(fw::Round(mysetting), QStringLiteral("##0")));
    prependRow(EditField2(), estimation::historyRow(stepnum, lastsetting, response, thediff));
}

void Window1::makepicture(double setting, std::int32_t n, double diff)
{
    // Nothing is written outside the logs.
    if (n < 0 || n >= kTrialLogSize)
        return;
    settinglog[std::size_t(n)] = setting;
    diflog[std::size_t(n)] = diff;

    static std::vector<estimation::PlotStep> steps;  // kept between redraws
    estimation::PlotInput in;
    in.n = n;
    in.setting = setting;
    in.mlpest = CheckBox1()->Value();
    in.startstep = startstep;
    in.mydiff = mydiff;
    in.mydiff2 = mydiff2;
    in.settinglog = settinglog.data();
    in.diflog = diflog.data();
    estimation::plotSteps(in, steps);
    if (p)
        replay(p.get(), steps);
    Canvas1()->Refresh(true);
}
