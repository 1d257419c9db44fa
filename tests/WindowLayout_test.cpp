// The window's controls as the table places them. (The focus order is followed key by key in the
// real window by the end-to-end tests.)
#include "WindowLayout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pindrel::layout {
namespace {

std::vector<int> Pixels(const char* name, float tppX, float tppY) {
    const PixelRect r = ClientRectPixels(kControls.at(IndexOf(name)), tppX, tppY);
    return {r.x, r.y, r.width, r.height};
}

// Every control at 120 dpi (12 twips per pixel), worked out by hand: each edge is rounded, halves
// up, so right = round((left + width) / 12); rounding the size instead gives other widths for all
// but two of them. A control in a frame sits at the frame's position plus its own.
TEST(WindowLayout, EveryControlAt120DpiRoundsItsEdges) {
    // clang-format off
    const std::pair<const char*, std::vector<int>> rows[] = {
        {"fraInfo", {3, 3, 263, 83}},          {"lblInfo", {13, 18, 243, 58}},
        {"fraIconType", {3, 88, 263, 58}},     {"cmbView", {28, 110, 128, 26}},
        {"cmdSetIconType", {160, 110, 99, 26}}, {"fraAdvanced", {3, 148, 263, 158}},
        {"lblStartX", {13, 168, 193, 22}},     {"txtStartX", {203, 168, 58, 23}},
        {"lblStartY", {13, 193, 193, 22}},     {"txtStartY", {203, 193, 58, 23}},
        {"lblDeltaX", {13, 218, 193, 22}},     {"txtDeltaX", {203, 218, 58, 23}},
        {"lblDeltaY", {13, 243, 193, 22}},     {"txtDeltaY", {203, 243, 58, 23}},
        {"cmdSetDefault", {75, 275, 94, 24}},  {"cmdSetUnique", {173, 275, 88, 24}},
        {"fraLayout", {3, 308, 263, 51}},      {"cmdSave", {75, 328, 94, 23}},
        {"cmdLoad", {173, 328, 88, 23}}};
    // clang-format on
    ASSERT_EQ(std::size(rows), kControlCount);
    // The client area holds the frames with 15 twips to spare below the last one.
    EXPECT_EQ(TwipsToPixels(kClientWidthTwips, 12.0f), 270);
    EXPECT_EQ(TwipsToPixels(kClientHeightTwips, 12.0f), 360);
    for (const auto& [name, rect] : rows)
        EXPECT_EQ(Pixels(name, 12.0f, 12.0f), rect) << name;
    // Each axis has its own twips per pixel, and they need not be whole.
    EXPECT_EQ(Pixels("cmdSave", 15.0f, 12.0f), (std::vector<int>{60, 328, 75, 23}));
    EXPECT_EQ(Pixels("cmdSave", 7.5f, 7.5f), (std::vector<int>{120, 524, 150, 38}));
}

} // namespace
} // namespace pindrel::layout
