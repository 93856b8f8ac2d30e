#pragma once

// Window3, the key-capture window: shown modally by the Preferences
// window's key buttons, it asks for a key, writes the code of the first key
// that is not an arrow into Window2's `selectedkey`, and closes.

#include "framework/controls.h"
#include "framework/window.h"

class Window3 : public fw::Window {
public:
    // The implicit instance: the open key-capture window, made when there is none.
    static Window3* instance();

    FW_CONTROL(fw::StaticText, StaticText1)

    bool Event_KeyDown(const QString& key) override;

protected:
    void Layout() override;
    void CreateControls() override;
    void _CreateControls0();
};
