#include "WindowLayout.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace pindrel::layout {
namespace {

const ControlSpec& Control(const std::string& name) {
    EXPECT_LT(IndexOf(name), kControlCount) << name;
    return kControls.at(IndexOf(name));
}

TEST(WindowLayout, FocusOrder) {
    EXPECT_EQ(IndexOf("cmdNothing"), kControlCount);
    // Tab visits the controls that take the focus in this order.
    std::string order;
    for (std::size_t index : FocusOrder()) {
        order += std::string(kControls[index].name) + " ";
    }
    EXPECT_EQ(order, "cmdSave cmdLoad cmbView cmdSetIconType txtStartX txtStartY txtDeltaX "
                     "txtDeltaY cmdSetDefault cmdSetUnique ");
}

TEST(WindowLayout, FramesStackWithGapsAndHoldTheirControlsAtEveryResolution) {
    int top = 30;
    for (const ControlSpec& c : kControls) {
        if (c.kind == ControlKind::Frame) {
            EXPECT_EQ(c.left, 30) << c.name;
            EXPECT_EQ(c.width, 3165) << c.name;
            EXPECT_EQ(c.top, top) << c.name;
            top = c.top + c.height + 15;
        }
    }
    EXPECT_EQ(top, kClientHeightTwips);
    EXPECT_LE(30 + 3165, kClientWidthTwips);
    for (const char* row : {"StartX", "StartY", "DeltaX", "DeltaY"}) {
        EXPECT_EQ(Control(std::string("lbl") + row).top, Control(std::string("txt") + row).top);
    }
    EXPECT_EQ(ClientRectTwips(Control("cmdSave")).left,
              ClientRectTwips(Control("cmdSetDefault")).left);
    EXPECT_EQ(Control("cmdLoad").left, Control("cmdSetUnique").left);

    // Edges that line up in twips line up in pixels, and every control stays inside its frame.
    for (const float tpp : {7.5f, 10.0f, 12.0f, 15.0f, 17.0f, 20.0f}) {
        std::map<int, int> rights, bottoms; // twips edge -> pixel edge
        for (const ControlSpec& c : kControls) {
            SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(tpp));
            const TwipsRect t = ClientRectTwips(c);
            const PixelRect p = ClientRectPixels(c, tpp, tpp);
            EXPECT_EQ(rights.emplace(t.left + t.width, p.x + p.width).first->second, p.x + p.width);
            EXPECT_EQ(bottoms.emplace(t.top + t.height, p.y + p.height).first->second,
                      p.y + p.height);
            if (c.kind != ControlKind::Frame) {
                const PixelRect frame = ClientRectPixels(Control(c.container), tpp, tpp);
                EXPECT_TRUE(p.x > frame.x && p.y > frame.y &&
                            p.x + p.width <= frame.x + frame.width &&
                            p.y + p.height <= frame.y + frame.height);
            }
        }
    }
}

TEST(WindowLayout, PixelsRoundHalvesUp) {
    auto rect = [](const char* name, float tpp) {
        const PixelRect r = ClientRectPixels(Control(name), tpp, tpp);
        return std::vector<int>{r.x, r.y, r.width, r.height};
    };
    EXPECT_EQ(TwipsToPixels(kClientWidthTwips, 15.0f), 216);
    EXPECT_EQ(TwipsToPixels(kClientHeightTwips, 15.0f), 288);
    EXPECT_EQ(rect("cmdSave", 15.0f), (std::vector<int>{60, 262, 75, 19}));
    EXPECT_EQ(rect("lblInfo", 15.0f), (std::vector<int>{10, 14, 195, 47}));
    EXPECT_EQ(rect("fraInfo", 10.0f), (std::vector<int>{3, 3, 317, 101}));
    EXPECT_EQ(rect("cmbView", 10.0f), (std::vector<int>{33, 132, 155, 32}));
    EXPECT_EQ(rect("cmdSave", 7.5f), (std::vector<int>{120, 524, 150, 38}));
}

} // namespace
} // namespace pindrel::layout
