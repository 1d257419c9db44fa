// The names in the window's layout table (WindowLayout) of the buttons and text boxes that the
// window's logic speaks of; the main window finds their controls, and names them in messages,
// by these.
#pragma once

#include "platform/Controls.h"

namespace pindrel::mainwindow {

inline const char* ButtonName(Button button) {
    switch (button) {
    case Button::Save:
        return "cmdSave";
    case Button::Load:
        return "cmdLoad";
    case Button::SetIconType:
        return "cmdSetIconType";
    case Button::SetDefault:
        return "cmdSetDefault";
    case Button::SetUnique:
        return "cmdSetUnique";
    }
    return "";
}

inline const char* TextBoxName(TextBox box) {
    switch (box) {
    case TextBox::StartX:
        return "txtStartX";
    case TextBox::StartY:
        return "txtStartY";
    case TextBox::DeltaX:
        return "txtDeltaX";
    case TextBox::DeltaY:
        return "txtDeltaY";
    }
    return "";
}

} // namespace pindrel::mainwindow
