// The window at start-up, the Escape key, the settings buttons and Set IconType.
#include "SimFixture.h"

#include <gtest/gtest.h>

#include <array>

using namespace pindrel;
using namespace pindrel::testing;

class Form : public FormTest {};

// Which commands open the window is the command fuzz target's to decide, and the keys that do and
// do not close it are followed in the real window by the end-to-end tests; here what it shows, and
// that Escape closes it whatever the modifiers.
TEST_F(Form, TheWindowShowsTheDefaultsAndEscapeClosesIt) {
    Start("-s x");
    EXPECT_EQ(controls->texts, (std::array<std::string, 4>{"0", "0", "0", "20"})); // x, y, dx, dy
    EXPECT_EQ(controls->comboItems,
              (std::vector<std::string>{"Icon", "List", "Report", "Small Icon"}));
    form->Form_KeyUp(27, 7);
    EXPECT_TRUE(controls->closed);
}

// "Set default" with texts typed into the real window is followed by the end-to-end tests.
TEST_F(Form, SetUniqueStoresTheFieldsAsTypedUnderTheUsersOwnSection) {
    Start();
    controls->Text(TextBox::StartX) = "abc";
    controls->Text(TextBox::StartY) = "";
    controls->Text(TextBox::DeltaX) = "12.5";
    controls->Text(TextBox::DeltaY) = "7";
    form->cmdSetUnique_Click();
    EXPECT_EQ(session->FileBytes(kIni),
              "[USER1@DESK1]\r\nStartX=abc\r\nStartY=\r\nDeltaX=12.5\r\nDeltaY=7\r\n");
}

TEST_F(Form, SetIconTypeSavesStoresAndRestoresAndTheStoredViewIsSelectedAtStart) {
    const auto shell = Desktop({{"A", {10, 20}}, {"B", {30, 40}}});
    Start();
    controls->ComboSelectText("List");
    form->cmdSetIconType_Click();
    EXPECT_EQ(session->FileBytes(kLayout), "10,20,A\r\n30,40,B\r\n");
    EXPECT_NE(session->FileBytes(kIni).find("USER1@DESK1=List"), std::string::npos);
    EXPECT_EQ(session->CurrentView(shell.listView), 3u);
    // The view change re-arranged the icons; the restore put them back.
    EXPECT_EQ(Positions(shell.listView), (std::vector<Point>{{10, 20}, {30, 40}}));

    Start();
    EXPECT_EQ(controls->ComboListIndex(), 1);

    // Nothing selected: an empty name is stored and the desktop keeps its view (list).
    controls->ComboSelectText("");
    form->cmdSetIconType_Click();
    EXPECT_NE(session->FileBytes(kIni).find("USER1@DESK1=\r\n"), std::string::npos);
    EXPECT_EQ(session->CurrentView(shell.listView), 3u);

    // "-r" applies the stored view.
    session->WriteFileBytes(kIni, "[IconType]\r\nUSER1@DESK1=Report\r\n");
    Start("-r");
    EXPECT_EQ(session->CurrentView(shell.listView), 1u);
}
