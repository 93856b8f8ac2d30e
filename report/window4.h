#pragma once

// Window4, the Output window: the report text in a large editable field
// (EditField1), printed by "Print" (PushButton1_Action) through the print
// dialog, saved by "Save" (PushButton2_Action) through the save dialog, and
// closed by "Close" (PushButton3_Action). It holds no state of its own but
// the field's text; it is shown without blocking, and a closed one is never
// found again, so the next report makes a new one.
//
// A file that cannot be saved or a print that fails is said in a message
// box; the field's text stays as it was, and so does an existing file.

#include "framework/controls.h"
#include "framework/window.h"

class Window4 : public fw::Window {
public:
    // The implicit instance: the open Output window, made when there is none.
    static Window4* instance();

    FW_CONTROL(fw::EditField, EditField1)
    FW_CONTROL(fw::PushButton, PushButton1)
    FW_CONTROL(fw::PushButton, PushButton2)
    FW_CONTROL(fw::PushButton, PushButton3)

    void PushButton1_Action(fw::PushButton* sender);
    void PushButton2_Action(fw::PushButton* sender);
    void PushButton3_Action(fw::PushButton* sender);

protected:
    void Layout() override;
    void CreateControls() override;

private:
    fw::PushButton* makeButton(const QString& name, int top, const QString& caption);
};
