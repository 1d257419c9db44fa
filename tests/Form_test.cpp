// The window at start-up, the Escape key, the settings buttons and Set IconType.
#include "SimFixture.h"

#include <gtest/gtest.h>

using namespace pindrel;
using pindrel::testing::kIni;
using pindrel::testing::kLayout;

class Form : public pindrel::testing::FormTest {
  protected:
    std::vector<std::string> Fields() {
        return {controls->GetText(TextBox::StartX), controls->GetText(TextBox::StartY),
                controls->GetText(TextBox::DeltaX), controls->GetText(TextBox::DeltaY)};
    }
};

TEST_F(Form, AnyOtherCommandOpensTheWindowWhichEscapeCloses) {
    // Which commands open the window is the command fuzz target's to decide; here what it shows.
    Start("-s x");
    EXPECT_FALSE(controls->closed);
    EXPECT_EQ(Fields(), (std::vector<std::string>{"0", "0", "0", "20"}));
    EXPECT_EQ(controls->comboItems,
              (std::vector<std::string>{"Icon", "List", "Report", "Small Icon"}));
    // The window closes on the release of Escape, whatever the modifiers.
    form->Form_KeyUp(13, 0);
    EXPECT_FALSE(controls->closed);
    form->Form_KeyUp(27, 7);
    EXPECT_TRUE(controls->closed);
}

TEST_F(Form, SettingsButtonsStoreTheFieldsAsTyped) {
    Start();
    controls->Text(TextBox::StartX) = "abc";
    controls->Text(TextBox::StartY) = "";
    controls->Text(TextBox::DeltaX) = "12.5";
    controls->Text(TextBox::DeltaY) = "7";
    form->cmdSetDefault_Click();
    const std::string section = "StartX=abc\r\nStartY=\r\nDeltaX=12.5\r\nDeltaY=7\r\n";
    EXPECT_EQ(session->FileBytes(kIni), "[Default]\r\n" + section);
    controls->Text(TextBox::StartX) = "900";
    form->cmdSetUnique_Click();
    EXPECT_EQ(session->FileBytes(kIni), "[Default]\r\n" + section + "[USER1@DESK1]\r\nStartX=900" +
                                            section.substr(section.find("\r\n")));
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

    // Nothing selected: an empty name is stored and the desktop goes to small icons.
    controls->ComboSelectText("");
    form->cmdSetIconType_Click();
    EXPECT_NE(session->FileBytes(kIni).find("USER1@DESK1=\r\n"), std::string::npos);
    EXPECT_EQ(session->CurrentView(shell.listView), 2u);

    // "-r" applies the stored view.
    session->WritePrivateProfileStringA("IconType", "USER1@DESK1", "Report", kIni);
    Start("-r");
    EXPECT_EQ(session->CurrentView(shell.listView), 1u);
}
