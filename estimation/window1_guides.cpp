// Window1's quick reference (percentages of the estimate) and distance correction.
#include "estimation/window1.h"

#include "estimation/core/guides.h"
#include "framework/core/background.h"
#include "framework/core/text.h"

namespace {

const QColor kBlack = fw::RGB(0, 0, 0);
const QColor kGrey = fw::RGB(150, 150, 150);

void fillPercentages(fw::PopupMenu* menu, int chosen)
{
    for (int i = 0; i < estimation::kGuideRows; ++i) {
        menu->AddRow(estimation::guideRowText(i));
        fw::RuntimeBackgroundTask();
    }
    menu->setListIndex(chosen);
}

} // namespace

void Window1::PopupMenu1_Open(fw::PopupMenu* sender) { fillPercentages(sender, 80); }
void Window1::PopupMenu2_Open(fw::PopupMenu* sender) { fillPercentages(sender, 100); }
void Window1::PopupMenu3_Open(fw::PopupMenu* sender) { fillPercentages(sender, 120); }

void Window1::PopupMenu1_Change(fw::PopupMenu*) { updateguides(); }
void Window1::PopupMenu2_Change(fw::PopupMenu*) { updateguides(); }
void Window1::PopupMenu3_Change(fw::PopupMenu*) { updateguides(); }

void Window1::EditField6_TextChange(fw::EditField*)
{
    // Black for the column that applies (and the lines when it is the
    // corrected one), grey for the other.
    const bool corrected =
        estimation::correctionApplies(fw::CDbl(EditField6()->Text()), fw::CDbl(EditField7()->Text()));
    const QColor lines = corrected ? kBlack : kGrey;
    const QColor plain = corrected ? kGrey : kBlack;
    for (fw::Line* l : {Line1(), Line2(), Line3(), Line4(), Line5()})
        l->setLineColor(lines);
    for (fw::StaticText* t : {StaticText13(), StaticText14(), StaticText15()})
        t->setTextColor(lines);
    for (fw::StaticText* t : {StaticText7(), StaticText8(), StaticText9()})
        t->setTextColor(plain);
    updateguides();
}

void Window1::EditField7_TextChange(fw::EditField* sender)
{
    EditField6_TextChange(sender);
}

void Window1::BevelButton1_Action(fw::BevelButton* sender)
{
    if (fw::StrEq(sender->Caption(), QStringLiteral("Adjust"))) {
        EditField6()->setReadOnly(false);
        EditField7()->setReadOnly(false);
        EditField7()->SetFocus();
        EditField7()->setSelStart(0);
        EditField7()->setSelLength(fw::Len(EditField7()->Text()));
        sender->setCaption(QStringLiteral("Continue"));
    } else {
        EditField6()->setReadOnly(true);
        EditField7()->setReadOnly(true);
        EditField1()->SetFocus();
        sender->setCaption(QStringLiteral("Adjust"));
    }
    updateguides();
}

void Window1::updateguides()
{
    fw::PopupMenu* menus[] = {PopupMenu1(), PopupMenu2(), PopupMenu3()};
    fw::StaticText* plain[] = {StaticText7(), StaticText8(), StaticText9()};
    fw::StaticText* corrected[] = {StaticText13(), StaticText14(), StaticText15()};
    for (int row = 0; row < 3; ++row)
        plain[row]->setText(estimation::plainGuide(myrmt, menus[row]->ListIndex()));
    // The factor is read afresh from the distance fields for every row.
    for (int row = 0; row < 3; ++row)
        corrected[row]->setText(estimation::correctedGuide(myrmt, distance_adjust(), menus[row]->ListIndex()));
}

double Window1::distance_adjust()
{
    return estimation::distanceFactor(fw::CDbl(EditField6()->Text()), fw::CDbl(EditField7()->Text()));
}
