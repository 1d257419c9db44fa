#include "WindowLayout.h"

#include <algorithm>
#include <cmath>

namespace pindrel::layout {

// clang-format off
const std::array<ControlSpec, kControlCount> kControls = {{
    // name             kind                       container      caption                  left   top  width height tab
    {"fraInfo",         ControlKind::Frame,        "",            "Info",                    30,    30, 3165, 1005,  6},
    {"lblInfo",         ControlKind::Label,        "fraInfo",     kInfoText,                120,   180, 2925,  705,  7},
    {"fraIconType",     ControlKind::Frame,        "",            "Icon Type",               30,  1050, 3165,  705,  5},
    {"cmbView",         ControlKind::DropDownList, "fraIconType", "",                       300,   270, 1545,  315,  2},
    {"cmdSetIconType",  ControlKind::Button,       "fraIconType", "Set IconType",          1890,   270, 1185,  315,  3},
    {"fraAdvanced",     ControlKind::Frame,        "",            "Icon location",           30,  1770, 3165, 1905,  8},
    {"lblStartX",       ControlKind::Label,        "fraAdvanced", "Start Horisontal",       120,   240, 2325,  270, 10},
    {"txtStartX",       ControlKind::TextBox,      "fraAdvanced", "",                      2400,   240,  705,  285,  9},
    {"lblStartY",       ControlKind::Label,        "fraAdvanced", "Start Vertical",         120,   540, 2325,  270, 12},
    {"txtStartY",       ControlKind::TextBox,      "fraAdvanced", "",                      2400,   540,  705,  285, 11},
    {"lblDeltaX",       ControlKind::Label,        "fraAdvanced", "Horisontal increment",   120,   840, 2325,  270, 14},
    {"txtDeltaX",       ControlKind::TextBox,      "fraAdvanced", "",                      2400,   840,  705,  285, 13},
    {"lblDeltaY",       ControlKind::Label,        "fraAdvanced", "Vertical increment",     120,  1140, 2325,  270, 16},
    {"txtDeltaY",       ControlKind::TextBox,      "fraAdvanced", "",                      2400,  1140,  705,  285, 15},
    {"cmdSetDefault",   ControlKind::Button,       "fraAdvanced", "Set default",            870,  1530, 1125,  285, 17},
    {"cmdSetUnique",    ControlKind::Button,       "fraAdvanced", "Set unique",            2040,  1530, 1065,  285, 18},
    {"fraLayout",       ControlKind::Frame,        "",            "Pindrel",                 30,  3690, 3165,  615,  4},
    {"cmdSave",         ControlKind::Button,       "fraLayout",   "Save",                   870,   240, 1125,  285,  0},
    {"cmdLoad",         ControlKind::Button,       "fraLayout",   "Restore",               2040,   240, 1065,  285,  1},
}};
// clang-format on

std::size_t IndexOf(const std::string& name) {
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        if (name == kControls[i].name) {
            return i;
        }
    }
    return kControlCount;
}

bool TakesFocus(ControlKind kind) {
    return kind != ControlKind::Frame && kind != ControlKind::Label;
}

std::vector<std::size_t> FocusOrder() {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        if (TakesFocus(kControls[i].kind)) {
            order.push_back(i);
        }
    }
    std::sort(order.begin(), order.end(), [](std::size_t a, std::size_t b) {
        return kControls[a].tabIndex < kControls[b].tabIndex;
    });
    return order;
}

TwipsRect ClientRectTwips(const ControlSpec& control) {
    TwipsRect rect{control.left, control.top, control.width, control.height};
    if (control.container[0] != '\0') {
        const std::size_t frame = IndexOf(control.container);
        if (frame < kControlCount) {
            rect.left += kControls[frame].left;
            rect.top += kControls[frame].top;
        }
    }
    return rect;
}

int TwipsToPixels(int twips, float twipsPerPixel) {
    return static_cast<int>(std::lround(static_cast<double>(twips) / twipsPerPixel));
}

PixelRect ClientRectPixels(const ControlSpec& control, float twipsPerPixelX, float twipsPerPixelY) {
    const TwipsRect twips = ClientRectTwips(control);
    const int x = TwipsToPixels(twips.left, twipsPerPixelX);
    const int y = TwipsToPixels(twips.top, twipsPerPixelY);
    const int right = TwipsToPixels(twips.left + twips.width, twipsPerPixelX);
    const int bottom = TwipsToPixels(twips.top + twips.height, twipsPerPixelY);
    return PixelRect{x, y, right - x, bottom - y};
}

} // namespace pindrel::layout
