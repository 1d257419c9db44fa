// The main window's geometry: one table of its nineteen controls in twips, and the conversion of
// that table to pixels.
//
// Positions are measured from the top-left corner of the control's container: the window's client
// area, or the outer top-left corner of the frame that holds the control. The native window builds
// itself from this table only, so the table is the one place where the layout lives.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace pindrel::layout {

enum class ControlKind { Frame, Label, TextBox, DropDownList, Button };

struct ControlSpec {
    const char* name;
    ControlKind kind;
    // The name of the frame that holds the control; "" for the window itself.
    const char* container;
    // The caption (frames, labels, buttons) or the initial text (text boxes).
    const char* caption;
    int left;
    int top;
    int width;
    int height;
    int tabIndex;
};

constexpr int kClientWidthTwips = 3240;
constexpr int kClientHeightTwips = 4320;
constexpr const char* kWindowCaption = "Pindrel";
constexpr const char* kInfoText = "This program saves and restores the Pindrel to a file specific "
                                  "for this user, this computer with this screen resolution.";

// The controls in reading order, top to bottom.
constexpr std::size_t kControlCount = 19;
extern const std::array<ControlSpec, kControlCount> kControls;

// The index in kControls of the control with this name; kControlCount when there is none.
std::size_t IndexOf(const std::string& name);

// Whether a control of this kind can take the focus (frames and labels cannot).
bool TakesFocus(ControlKind kind);

// The indexes in kControls of the controls that take the focus, in tab-index order.
std::vector<std::size_t> FocusOrder();

// A control's position within the client area and its size, all in twips: a control in a frame
// sits at the frame's position plus its own.
struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};
TwipsRect ClientRectTwips(const ControlSpec& control);

// A rectangle in pixels.
struct PixelRect {
    int x;
    int y;
    int width;
    int height;
};

// Twips to pixels, rounded to the nearest pixel (halves away from zero).
int TwipsToPixels(int twips, float twipsPerPixel);

// A control's rectangle in pixels within the client area. Both edges are converted, so controls
// that touch or line up in twips still do so in pixels.
PixelRect ClientRectPixels(const ControlSpec& control, float twipsPerPixelX, float twipsPerPixelY);

} // namespace pindrel::layout
