#include "prefs/window3.h"

#include "framework/core/text.h"
#include "prefs/window2.h"

Window3* Window3::instance()
{
    return fw::Window::implicitInstance<Window3>(QStringLiteral("Window3.Window3"));
}

void Window3::Layout()
{
    setCloseBox(false);
    setTitle(QStringLiteral("Select a key"));
    setContentSize(348, 81);
    setVisibleOnCreation(true);
}

void Window3::CreateControls()
{
    _CreateControls0();
}

void Window3::_CreateControls0()
{
    auto* c = new fw::StaticText(content());
    registerControl(QStringLiteral("StaticText1"), c);
    c->setGeometry(20, 14, 308, 61);
    c->setTextSize(24);
    c->setTextFont(QStringLiteral("Times"));
    c->setTextAlign(fw::StaticText::AlignCenter);
    c->setMultiline(true);
    c->setText(QStringLiteral("PRESS ANY KEY TO SELECT IT"));
}

bool Window3::Event_KeyDown(const QString& key)
{
    const std::int32_t code = fw::Asc(key);
    if (code >= 28 && code <= 31)
        return false;  // an arrow key: go on waiting
    Window2::instance()->selectedkey = code;
    Close();
    return false;
}
