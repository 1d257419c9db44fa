// Save, placement settings and restore, through the window's procedures on the simulated desktop.
#include "SimFixture.h"
#include "modPindrel.h"

#include <gtest/gtest.h>

#include <array>
#include <tuple>

using namespace pindrel;
using namespace pindrel::testing;

class Store : public FormTest {};

// The names are written trimmed, commas and all; a blank one is written empty.
TEST_F(Store, SaveWritesEveryItemWithItsNameTrimmed) {
    Desktop(
        {{"Work files", {120, 45}}, {"  Notes  ", {-75, 20}}, {"a,b", {0, -8}}, {"   ", {5, 6}}});
    Start();
    form->cmdSave_Click();
    EXPECT_EQ(session->FileBytes(kLayout),
              "120,45,Work files\r\n-75,20,Notes\r\n0,-8,a,b\r\n5,6,\r\n");
    ExpectOnlyTheLayoutFile();
    EXPECT_TRUE(controls->IsEnabled(Button::Save));
    ExpectNothingLeaked();
}

// The restore's own switch (off for the moves, on after them) is in the painting scenes.
TEST_F(Store, ASaveSwitchesAutoArrangeOffAndARestoreOnAgain) {
    const auto shell = Desktop({{"A", {0, 0}}}, win::LVS_AUTOARRANGE);
    // The icon view the desktop starts in: no view change re-arranges the icons.
    Start();
    controls->ComboSelectText("Icon");
    // A save switches it off and leaves it off; a second save finds it off and sends nothing; a
    // restore in the same run switches it on, though its own capture found it off.
    form->cmdSave_Click();
    session->ClearCalls();
    form->cmdSave_Click();
    EXPECT_EQ(session->CountMessages(win::WM_COMMAND), 0);
    EXPECT_FALSE(session->AutoArrange(shell.listView));
    form->cmdLoad_Click();
    EXPECT_TRUE(session->AutoArrange(shell.listView));
}

TEST_F(Store, PlacementSettingsComeFromTheProfileSectionThenDefaultThenTheScreen) {
    const auto shell = Desktop({{"A", {}}, {"B", {}}});
    // DeltaX under USER1@DESK1 and under Default (nullptr: missing), the step the restore takes
    // between the two items (neither is in a layout file) and what the window's field shows.
    const std::string long128 = std::string(126, '0') + "45";
    const std::string long100k = std::string(99998, '0') + "45";
    // clang-format off
    const std::tuple<const char*, const char*, std::int32_t, const char*> rows[] = {
        {"150", "75", 150, "150"}, {"", "75", 75, "75"}, {nullptr, "75", 75, "75"},
        {nullptr, "abc", 0, "0"}, {"abc", "75", 75, "0"}, {"-80", nullptr, -80, "-80"},
        {"12.5", nullptr, 12, "12"}, {"13.5", nullptr, 14, "14"}, {"-2.5", nullptr, -2, "-2"},
        {"99999999999", "5", 5, "0"},
        // Values longer than the first buffer are read whole.
        {nullptr, long128.c_str(), 45, "45"}, {long100k.c_str(), "5", 45, "45"}};
    // clang-format on
    for (const auto& [own, fallback, restore, field] : rows) {
        SCOPED_TRACE(std::string(own ? own : "-") + " / " + (fallback ? fallback : "-"));
        session->WriteFileBytes(kIni, "");
        if (own != nullptr)
            WriteIni(*session, "USER1@DESK1", "DeltaX", own);
        if (fallback != nullptr)
            WriteIni(*session, "Default", "DeltaX", fallback);
        Start();
        EXPECT_EQ(controls->GetText(TextBox::DeltaX), field);
        form->cmdLoad_Click();
        EXPECT_EQ(Positions(shell.listView)[1].x - Positions(shell.listView)[0].x, restore);
    }

    // Without usable values the first item goes to half the screen, in whole pixels rounded half
    // to even: 1023 x 767 gives 512 x 384; 7.5 twips per pixel rounds to 8 first, so 28800 twips
    // give 1800 pixels, not 1920. x comes from the horizontal twips per pixel, y from the vertical.
    session->WriteFileBytes(kIni, "[USER1@DESK1]\r\nStartX=x\r\n[Default]\r\nStartX=y\r\n");
    const std::tuple<float, float, float, float, Point> screens[] = {
        {1023 * 15.0f, 767 * 15.0f, 15.0f, 15.0f, {512, 384}},
        {1025 * 15.0f, 768 * 15.0f, 15.0f, 15.0f, {512, 384}},
        {28800.0f, 16200.0f, 7.5f, 7.5f, {1800, 1012}},
        {15360.0f, 9216.0f, 15.0f, 12.0f, {512, 384}}};
    for (const auto& [width, height, tppX, tppY, first] : screens) {
        session->SetScreen(width, height, tppX, tppY);
        form->cmdLoad_Click();
        EXPECT_EQ(Positions(shell.listView), (std::vector<Point>{first, {first.x, first.y + 20}}));
    }
}

// Each rule of the restore in the smallest scene that breaks when the rule does.
TEST_F(Store, RestorePlacesEachItemByTheLayoutFileOrTheCursor) {
    // The items, all starting at (9, 9) (one that ends there was left where it was), the layout
    // file, the cursor (startX, startY, deltaX, deltaY) and where the items end up.
    using Cursor = std::array<std::int32_t, 4>;
    // clang-format off
    using Scene = std::tuple<const char*, std::vector<const char*>, const char*, Cursor,
                             std::vector<Point>>;
    const Scene scenes[] = {
        {"known items go back, new ones take the cursor", {"A", "B", "C", "D"},
         "100,200,A\r\n300,400,B\r\n", {640, 512, 0, 20},
         {{100, 200}, {300, 400}, {640, 512}, {640, 532}}},
        {"items in another order than the file's find their own lines", {"B", "A", "C"},
         "1,1,A\r\n2,2,B\r\n3,3,C\r\n", {500, 0, 10, 1}, {{2, 2}, {1, 1}, {3, 3}}},
        {"a new or renamed icon in the middle spoils no other", {"A", "B renamed", "C", "D"},
         "1,1,A\r\n2,2,B\r\n3,3,C\r\n4,4,D\r\n", {500, 0, 0, 20},
         {{1, 1}, {500, 0}, {3, 3}, {4, 4}}},
        {"lines of one name go to its items in file order", {"X", "Dup", "Dup"},
         "1,1,Dup\r\n2,2,X\r\n3,3,Dup", {500, 0, 0, 20}, {{2, 2}, {1, 1}, {3, 3}}},
        {"names match with case", {"notes"}, "4,4,Notes", {500, 0, 0, 0}, {{500, 0}}},
        {"the item's text is trimmed before the search", {"  Notes  "}, "4,4,Notes",
         {500, 0, 0, 0}, {{4, 4}}},
        {"a blank name takes the cursor, though a line with a blank name is reached", {""},
         "5,5,", {500, 0, 0, 0}, {{500, 0}}},
        {"duplicates take the next line each", {"Dup", "Dup", "Dup"},
         "1,1,Dup\r\n2,2,Dup\r\n", {7, 8, 0, 20}, {{1, 1}, {2, 2}, {7, 8}}},
        // A, B and C stay without using the cursor; D's fractions round to even; the last
        // line's name is "3,E".
        {"lines that do not convert leave the item", {"A", "B", "C", "D", "E", "F"},
         ",5,A\r\nx,5,B\r\n10,40000,C\r\n 12.5 , 13.5 ,D\r\n1,2,3,E", {700, 0, 0, 20},
         {{9, 9}, {9, 9}, {9, 9}, {12, 14}, {700, 0}, {700, 20}}},
        // The message carries x + 65536 * y as a signed 32-bit number: C, D and E leave that range.
        {"positions that do not pack leave the item", {"A", "B", "C", "D", "E"},
         "-5,10,A\r\n0,-32768,B\r\n0,32768,C\r\n-1,-32768,D\r\n65536,32767,E", {0, 0, 0, 0},
         {{-5, 10}, {0, -32768}, {9, 9}, {9, 9}, {9, 9}}},
        {"a refused cursor position still advances the cursor", {"A", "B"},
         "", {0, 32770, 0, -10}, {{9, 9}, {0, 32760}}},
        {"a step that leaves the 32-bit range keeps that coordinate", {"A", "B", "C"},
         "", {-100, 0, INT32_MIN, 7}, {{-100, 0}, {-100, 7}, {-100, 14}}}};
    // clang-format on
    for (const auto& [what, names, layout, cursor, expected] : scenes) {
        SCOPED_TRACE(what);
        const sim::SimShell shell = NewSession().CreateShell();
        for (const char* name : names)
            session->AddItem(shell.listView, std::string(name), Point{9, 9});
        ProgramState state;
        std::tie(state.startX, state.startY, state.deltaX, state.deltaY) =
            std::tie(cursor[0], cursor[1], cursor[2], cursor[3]);
        modPindrel::RestoreLayout(*session, state, layout);
        EXPECT_EQ(Positions(shell.listView), expected);
        ExpectNothingLeaked();
    }
}
