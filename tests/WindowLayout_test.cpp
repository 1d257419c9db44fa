#include "WindowLayout.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace pindrel::layout {
namespace {

struct Row {
    std::string name;
    ControlKind kind;
    std::string container;
    std::string caption;
    int left, top, width, height, tabIndex;
};

// The main window's controls as the window description lists them.
const std::vector<Row>& DescribedControls() {
    static const std::vector<Row> rows = {
        {"fraInfo", ControlKind::Frame, "", "Info", 30, 30, 3165, 1005, 6},
        {"lblInfo", ControlKind::Label, "fraInfo",
         "This program saves and restores the Pindrel to a file specific for this user, this "
         "computer with this screen resolution.",
         120, 180, 2925, 705, 7},
        {"fraIconType", ControlKind::Frame, "", "Icon Type", 30, 1050, 3165, 705, 5},
        {"cmbView", ControlKind::DropDownList, "fraIconType", "", 300, 270, 1545, 315, 2},
        {"cmdSetIconType", ControlKind::Button, "fraIconType", "Set IconType", 1890, 270, 1185, 315,
         3},
        {"fraAdvanced", ControlKind::Frame, "", "Icon location", 30, 1770, 3165, 1905, 8},
        {"lblStartX", ControlKind::Label, "fraAdvanced", "Start Horisontal", 120, 240, 2325, 270,
         10},
        {"txtStartX", ControlKind::TextBox, "fraAdvanced", "", 2400, 240, 705, 285, 9},
        {"lblStartY", ControlKind::Label, "fraAdvanced", "Start Vertical", 120, 540, 2325, 270, 12},
        {"txtStartY", ControlKind::TextBox, "fraAdvanced", "", 2400, 540, 705, 285, 11},
        {"lblDeltaX", ControlKind::Label, "fraAdvanced", "Horisontal increment", 120, 840, 2325,
         270, 14},
        {"txtDeltaX", ControlKind::TextBox, "fraAdvanced", "", 2400, 840, 705, 285, 13},
        {"lblDeltaY", ControlKind::Label, "fraAdvanced", "Vertical increment", 120, 1140, 2325, 270,
         16},
        {"txtDeltaY", ControlKind::TextBox, "fraAdvanced", "", 2400, 1140, 705, 285, 15},
        {"cmdSetDefault", ControlKind::Button, "fraAdvanced", "Set default", 870, 1530, 1125, 285,
         17},
        {"cmdSetUnique", ControlKind::Button, "fraAdvanced", "Set unique", 2040, 1530, 1065, 285,
         18},
        {"fraLayout", ControlKind::Frame, "", "Pindrel", 30, 3690, 3165, 615, 4},
        {"cmdSave", ControlKind::Button, "fraLayout", "Save", 870, 240, 1125, 285, 0},
        {"cmdLoad", ControlKind::Button, "fraLayout", "Restore", 2040, 240, 1065, 285, 1},
    };
    return rows;
}

const ControlSpec& Control(const std::string& name) {
    const std::size_t index = IndexOf(name);
    EXPECT_LT(index, kControlCount) << name;
    return kControls.at(index);
}

TEST(WindowLayout, TableMatchesTheWindowDescription) {
    EXPECT_EQ(kClientWidthTwips, 3240);
    EXPECT_EQ(kClientHeightTwips, 4320);
    EXPECT_STREQ(kWindowCaption, "Pindrel");
    EXPECT_STREQ(kInfoText, DescribedControls()[1].caption.c_str());

    const auto& rows = DescribedControls();
    ASSERT_EQ(kControls.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ControlSpec& c = kControls[i];
        const Row& r = rows[i];
        SCOPED_TRACE(r.name);
        EXPECT_EQ(c.name, r.name);
        EXPECT_EQ(c.kind, r.kind);
        EXPECT_EQ(c.container, r.container);
        EXPECT_EQ(c.caption, r.caption);
        EXPECT_EQ(c.left, r.left);
        EXPECT_EQ(c.top, r.top);
        EXPECT_EQ(c.width, r.width);
        EXPECT_EQ(c.height, r.height);
        EXPECT_EQ(c.tabIndex, r.tabIndex);
    }
    EXPECT_EQ(IndexOf("cmdNothing"), kControlCount);
}

TEST(WindowLayout, TabIndexesAreUsedOnceEachAndGiveTheFocusOrder) {
    std::set<int> seen;
    for (const ControlSpec& c : kControls) {
        EXPECT_TRUE(seen.insert(c.tabIndex).second) << "tab index used twice: " << c.tabIndex;
    }
    ASSERT_EQ(seen.size(), kControlCount);
    EXPECT_EQ(*seen.begin(), 0);
    EXPECT_EQ(*seen.rbegin(), static_cast<int>(kControlCount) - 1);

    // Tab visits these, frames and labels skipped.
    const std::vector<std::string> expected = {
        "cmdSave",   "cmdLoad",   "cmbView",   "cmdSetIconType", "txtStartX",
        "txtStartY", "txtDeltaX", "txtDeltaY", "cmdSetDefault",  "cmdSetUnique"};
    std::vector<std::string> actual;
    for (std::size_t index : FocusOrder()) {
        actual.push_back(kControls[index].name);
    }
    EXPECT_EQ(actual, expected);
}

TEST(WindowLayout, FramesAreStackedWithGapsAndHoldTheirControls) {
    std::vector<const ControlSpec*> frames;
    for (const ControlSpec& c : kControls) {
        if (c.kind == ControlKind::Frame) {
            frames.push_back(&c);
            EXPECT_STREQ(c.container, "") << c.name;
        }
    }
    ASSERT_EQ(frames.size(), 4u);
    int expectedTop = 30;
    for (const ControlSpec* frame : frames) {
        SCOPED_TRACE(frame->name);
        EXPECT_EQ(frame->left, 30);
        EXPECT_EQ(frame->width, 3165);
        EXPECT_LE(frame->left + frame->width, kClientWidthTwips);
        EXPECT_EQ(frame->top, expectedTop);
        expectedTop = frame->top + frame->height + 15;
    }
    EXPECT_EQ(expectedTop, kClientHeightTwips);

    for (const ControlSpec& c : kControls) {
        if (c.kind == ControlKind::Frame) {
            continue;
        }
        SCOPED_TRACE(c.name);
        const ControlSpec& frame = Control(c.container);
        ASSERT_EQ(frame.kind, ControlKind::Frame);
        EXPECT_GT(c.left, 0);
        EXPECT_GT(c.top, 0);
        EXPECT_LE(c.left + c.width, frame.width);
        EXPECT_LE(c.top + c.height, frame.height);

        const TwipsRect inClient = ClientRectTwips(c);
        EXPECT_EQ(inClient.left, frame.left + c.left);
        EXPECT_EQ(inClient.top, frame.top + c.top);
        EXPECT_EQ(inClient.width, c.width);
        EXPECT_EQ(inClient.height, c.height);
    }

    // Each label of the placement rows shares its Top with its text box; the buttons of the two
    // lower frames line up in columns.
    for (const char* row : {"StartX", "StartY", "DeltaX", "DeltaY"}) {
        EXPECT_EQ(Control(std::string("lbl") + row).top, Control(std::string("txt") + row).top);
    }
    EXPECT_EQ(Control("cmdSave").left, Control("cmdSetDefault").left);
    EXPECT_EQ(Control("cmdSave").width, Control("cmdSetDefault").width);
    EXPECT_EQ(Control("cmdLoad").left, Control("cmdSetUnique").left);
    EXPECT_EQ(Control("cmdLoad").width, Control("cmdSetUnique").width);
}

void ExpectRect(const PixelRect& actual, const PixelRect& expected) {
    EXPECT_EQ(actual.x, expected.x);
    EXPECT_EQ(actual.y, expected.y);
    EXPECT_EQ(actual.width, expected.width);
    EXPECT_EQ(actual.height, expected.height);
}

TEST(WindowLayout, PixelsAt96Dpi) {
    EXPECT_EQ(TwipsToPixels(kClientWidthTwips, 15.0f), 216);
    EXPECT_EQ(TwipsToPixels(kClientHeightTwips, 15.0f), 288);
    // Every value of the table is a whole number of pixels at 15 twips per pixel.
    for (const ControlSpec& c : kControls) {
        SCOPED_TRACE(c.name);
        const TwipsRect t = ClientRectTwips(c);
        ExpectRect(ClientRectPixels(c, 15.0f, 15.0f),
                   PixelRect{t.left / 15, t.top / 15, t.width / 15, t.height / 15});
    }
    ExpectRect(ClientRectPixels(Control("cmdSave"), 15.0f, 15.0f), PixelRect{60, 262, 75, 19});
    ExpectRect(ClientRectPixels(Control("lblInfo"), 15.0f, 15.0f), PixelRect{10, 14, 195, 47});
}

TEST(WindowLayout, PixelsAt144Dpi) {
    const float tpp = 10.0f;
    EXPECT_EQ(TwipsToPixels(kClientWidthTwips, tpp), 324);
    EXPECT_EQ(TwipsToPixels(kClientHeightTwips, tpp), 432);
    // Half pixels round up; edges are converted, so the width follows from the rounded edges.
    ExpectRect(ClientRectPixels(Control("fraInfo"), tpp, tpp), PixelRect{3, 3, 317, 101});
    ExpectRect(ClientRectPixels(Control("cmdSave"), tpp, tpp), PixelRect{90, 393, 113, 29});
    ExpectRect(ClientRectPixels(Control("txtDeltaY"), tpp, tpp), PixelRect{243, 291, 71, 29});
    ExpectRect(ClientRectPixels(Control("cmbView"), tpp, tpp), PixelRect{33, 132, 155, 32});

    // Frames stay apart and every control stays inside its frame after rounding.
    const PixelRect info = ClientRectPixels(Control("fraInfo"), tpp, tpp);
    const PixelRect iconType = ClientRectPixels(Control("fraIconType"), tpp, tpp);
    const PixelRect advanced = ClientRectPixels(Control("fraAdvanced"), tpp, tpp);
    const PixelRect layoutFrame = ClientRectPixels(Control("fraLayout"), tpp, tpp);
    EXPECT_LT(info.y + info.height, iconType.y);
    EXPECT_LT(iconType.y + iconType.height, advanced.y);
    EXPECT_LT(advanced.y + advanced.height, layoutFrame.y);
    EXPECT_LT(layoutFrame.y + layoutFrame.height, 432);
    for (const ControlSpec& c : kControls) {
        if (c.kind == ControlKind::Frame) {
            continue;
        }
        SCOPED_TRACE(c.name);
        const PixelRect frame = ClientRectPixels(Control(c.container), tpp, tpp);
        const PixelRect own = ClientRectPixels(c, tpp, tpp);
        EXPECT_GT(own.x, frame.x);
        EXPECT_GT(own.y, frame.y);
        EXPECT_LE(own.x + own.width, frame.x + frame.width);
        EXPECT_LE(own.y + own.height, frame.y + frame.height);
    }

    // 192 DPI: 7.5 twips per pixel.
    ExpectRect(ClientRectPixels(Control("cmdSave"), 7.5f, 7.5f), PixelRect{120, 524, 150, 38});
}

} // namespace
} // namespace pindrel::layout
