#pragma once

// Window2, the Preferences window: a modal dialog over the main window in
// which the operator edits the run parameters, the volumes, the two
// response keys with their all-other-keys flags and the method.
//
// State: the values live in the controls; the two key codes being edited
// in `tempsuccesskey` and `tempfailkey`; `selectedkey` is the code the
// key-capture window (Window3) last wrote.
//
// Handlers: "Reset Defaults" is PushButton1_Action, the two "Click here to
// select a key" buttons PushButton2/3_Action, the two "OR use all other
// keys" boxes CheckBox1/2_Action, "OK" PushButton4_Action and "Cancel"
// PushButton5_Action. Event_Open fills the dialog from the file "PREFS"
// (loadprefsfromfile), writing the default file first when there is none;
// "OK" writes it (saveprefs) and closes; when the file cannot be written
// the dialog stays open with what was typed.

#include "framework/controls.h"
#include "framework/window.h"

#include <cstdint>

namespace prefs {
struct PestPrefs;
}

class Window2 : public fw::Window {
public:
    // The implicit instance: the open Preferences window, made when there is none.
    static Window2* instance();

    // Control accessors, in creation order.
    FW_CONTROL(fw::EditField, EditField1)
    FW_CONTROL(fw::StaticText, StaticText1)
    FW_CONTROL(fw::EditField, EditField3)
    FW_CONTROL(fw::StaticText, StaticText2)
    FW_CONTROL(fw::EditField, EditField4)
    FW_CONTROL(fw::StaticText, StaticText3)
    FW_CONTROL(fw::PushButton, PushButton1)
    FW_CONTROL(fw::Slider, Slider1)
    FW_CONTROL(fw::StaticText, StaticText4)
    FW_CONTROL(fw::GroupBox, GroupBox3)
    FW_CONTROL(fw::PushButton, PushButton2)
    FW_CONTROL(fw::CheckBox, CheckBox1)
    FW_CONTROL(fw::StaticText, StaticText5)
    FW_CONTROL(fw::GroupBox, GroupBox4)
    FW_CONTROL(fw::PushButton, PushButton3)
    FW_CONTROL(fw::CheckBox, CheckBox2)
    FW_CONTROL(fw::StaticText, StaticText6)
    FW_CONTROL(fw::PushButton, PushButton4)
    FW_CONTROL(fw::PushButton, PushButton5)
    FW_CONTROL(fw::Slider, Slider2)
    FW_CONTROL(fw::StaticText, StaticText7)
    FW_CONTROL(fw::Slider, Slider3)
    FW_CONTROL(fw::StaticText, StaticText8)
    FW_CONTROL(fw::GroupBox, GroupBox1)
    FW_CONTROL(fw::EditField, EditField2)
    FW_CONTROL(fw::StaticText, StaticText9)
    FW_CONTROL(fw::EditField, EditField5)
    FW_CONTROL(fw::StaticText, StaticText10)
    FW_CONTROL(fw::EditField, EditField6)
    FW_CONTROL(fw::StaticText, StaticText11)
    FW_CONTROL(fw::GroupBox, GroupBox2)
    FW_CONTROL(fw::EditField, EditField7)
    FW_CONTROL(fw::StaticText, StaticText12)
    FW_CONTROL(fw::CheckBox, CheckBox3)

    // Control event handlers.
    void PushButton1_Action(fw::PushButton* sender);
    void PushButton2_Action(fw::PushButton* sender);
    void CheckBox1_Action(fw::CheckBox* sender);
    void PushButton3_Action(fw::PushButton* sender);
    void CheckBox2_Action(fw::CheckBox* sender);
    void PushButton4_Action(fw::PushButton* sender);
    void PushButton5_Action(fw::PushButton* sender);

    // Window events.
    void Event_Open() override;

    // The file "PREFS": read into the dialog, written from it.
    void loadprefsfromfile();
    // False when the file could not be written (the operator has been told).
    bool saveprefs();

    // Public properties, in declaration order.
    std::int32_t selectedkey = 0;
    std::int32_t tempfailkey = 0;
    std::int32_t tempsuccesskey = 0;
    // Set when "OK" has saved the file and closed the window.
    bool confirmed = false;

protected:
    void Layout() override;
    void CreateControls() override;
    void _CreateControls0();
    void _CreateControls1();

private:
    // The record that the dialog's values make.
    prefs::PestPrefs record() const;
    // Both boxes' handler: this box, the other box and this box's label.
    void allKeysChanged(fw::CheckBox* box, fw::CheckBox* other, fw::StaticText* label);
    // Both key buttons' capture; the new code is in selectedkey.
    void captureKey();

    fw::EditField* makeField(const QString& name, fw::GroupBox* parent, int left, int top, const QString& text);
    fw::StaticText* makeLabel(const QString& name, fw::GroupBox* parent, int left, int top, int width, int height,
                              const QString& text, int size, fw::StaticText::Alignment align, bool bold = false);
    fw::PushButton* makeButton(const QString& name, fw::GroupBox* parent, int left, int top, int width,
                               int height, const QString& caption);
    fw::CheckBox* makeBox(const QString& name, fw::GroupBox* parent, int left, int top, int width, int height,
                          const QString& caption);
    fw::Slider* makeSlider(const QString& name, int left, int top, int value);
    fw::GroupBox* makeGroup(const QString& name, int left, int top, int width, int height, const QString& caption);
};

