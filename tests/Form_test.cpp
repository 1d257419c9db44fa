// Start-up, the command line, the Escape key and the settings buttons, headless.
#include "SimFixture.h"
#include "frmMain.h"
#include "platform/sim/HeadlessControls.h"

#include <gtest/gtest.h>

using namespace pindrel;
using pindrel::testing::kIni;
using pindrel::testing::kLayout;
using pindrel::testing::SimTest;

class Form : public SimTest {
  protected:
    // Starts the program with the given argument text, as Windows would.
    void Start(const std::string& command) {
        session->SetCommandLine(command);
        controls = std::make_unique<sim::HeadlessControls>();
        form = std::make_unique<frmMain>(*session, *session, *controls);
        form->Form_Load();
    }

    std::vector<std::string> Fields() {
        return {controls->GetText(TextBox::StartX), controls->GetText(TextBox::StartY),
                controls->GetText(TextBox::DeltaX), controls->GetText(TextBox::DeltaY)};
    }

    std::unique_ptr<sim::HeadlessControls> controls;
    std::unique_ptr<frmMain> form;
};

TEST_F(Form, SwitchesSaveOrRestoreAndCloseUnseen) {
    const auto shell = Desktop({{"A", {10, 20}}});
    Start("-S");
    EXPECT_TRUE(controls->closed);
    EXPECT_EQ(session->FileBytes(kLayout), "10,20,A\r\n");
    EXPECT_EQ(form->exitStatus(), ExitStatus::Ok);

    session->Items(shell.listView)[0].position = Point{1, 1};
    Start("  -r  ");
    EXPECT_TRUE(controls->closed);
    EXPECT_EQ(session->Items(shell.listView)[0].position, (Point{10, 20}));
    EXPECT_EQ(form->exitStatus(), ExitStatus::Ok);
}

TEST_F(Form, AnyOtherCommandOpensTheWindow) {
    Desktop({{"A", {10, 20}}});
    for (const char* command : {"", "-s -r", "-s x", "/s", "\"-s\"", "-"}) {
        Start(command);
        EXPECT_FALSE(controls->closed) << command;
        EXPECT_FALSE(session->FileExists(kLayout)) << command;
        EXPECT_EQ(Fields(), (std::vector<std::string>{"0", "0", "0", "20"})) << command;
        EXPECT_EQ(controls->comboItems,
                  (std::vector<std::string>{"Icon", "List", "Report", "Small Icon"}));
    }
}

TEST_F(Form, SilentRunsEndWithAStatusScriptsCanTest) {
    session->CreateShell(sim::ShellShape::Nothing);
    session->WriteFileBytes(kLayout, "1,2,Old\r\n");
    Start("-s");
    EXPECT_TRUE(controls->closed);
    EXPECT_EQ(form->exitStatus(), ExitStatus::NoDesktop);
    EXPECT_EQ(session->FileBytes(kLayout), "1,2,Old\r\n");
    Start("-r");
    EXPECT_TRUE(controls->closed);
    EXPECT_EQ(form->exitStatus(), ExitStatus::NoDesktop);
    EXPECT_TRUE(controls->errors.empty());
}

TEST_F(Form, SilentSaveThatCannotWriteEndsWithStatusTwo) {
    Desktop({{"A", {10, 20}}});
    session->WriteFileBytes(kLayout, "1,2,Old\r\n");
    session->SetLocked(kLayout, true);
    Start("-s");
    EXPECT_TRUE(controls->closed);
    EXPECT_EQ(form->exitStatus(), ExitStatus::WriteFailed);
    EXPECT_TRUE(controls->errors.empty());
    session->SetLocked(kLayout, false);
    EXPECT_EQ(session->FileBytes(kLayout), "1,2,Old\r\n");
}

TEST_F(Form, TheStoredViewModeIsSelected) {
    const auto shell = Desktop({{"A", {0, 0}}});
    Start("");
    EXPECT_EQ(controls->ComboListIndex(), -1);
    session->WritePrivateProfileStringA("IconType", "USER1@DESK1", "Report", kIni);
    Start("");
    EXPECT_EQ(controls->ComboListIndex(), 2);
    session->WritePrivateProfileStringA("IconType", "USER1@DESK1", "Tiles", kIni);
    Start("");
    EXPECT_EQ(controls->ComboListIndex(), -1);
    // "-r" applies the stored view before it places the icons.
    session->WritePrivateProfileStringA("IconType", "USER1@DESK1", "Report", kIni);
    Start("-r");
    EXPECT_EQ(session->CurrentView(shell.listView), 1u);
}

TEST_F(Form, FieldsShowTheStoredSettings) {
    session->WriteFileBytes(kIni, "[USER1@DESK1]\r\nStartX=abc\r\nDeltaY=12.5\r\nDeltaX=\r\n"
                                  "[Default]\r\nStartX=40\r\nStartY=-80\r\nDeltaX=13.5\r\n");
    Start("");
    // A non-number under the profile key gives the field's default; an empty one falls back.
    EXPECT_EQ(Fields(), (std::vector<std::string>{"0", "-80", "14", "12"}));
}

TEST_F(Form, SettingsButtonsStoreTheFieldsAsTyped) {
    Start("");
    controls->SetText(TextBox::StartX, "abc");
    controls->SetText(TextBox::StartY, "");
    controls->SetText(TextBox::DeltaX, "12.5");
    controls->SetText(TextBox::DeltaY, "7");
    form->cmdSetDefault_Click();
    EXPECT_EQ(session->FileBytes(kIni),
              "[Default]\r\nStartX=abc\r\nStartY=\r\nDeltaX=12.5\r\nDeltaY=7\r\n");
    controls->SetText(TextBox::StartX, "900");
    form->cmdSetUnique_Click();
    EXPECT_EQ(session->FileBytes(kIni),
              "[Default]\r\nStartX=abc\r\nStartY=\r\nDeltaX=12.5\r\nDeltaY=7\r\n"
              "[USER1@DESK1]\r\nStartX=900\r\nStartY=\r\nDeltaX=12.5\r\nDeltaY=7\r\n");
    // At the next start: "abc" under Default does not count, the empty StartY falls back to it.
    Start("");
    EXPECT_EQ(Fields(), (std::vector<std::string>{"900", "0", "12", "7"}));
}

TEST_F(Form, SetIconTypeSavesStoresAndRestoresInThatOrder) {
    const auto shell = Desktop({{"A", {10, 20}}, {"B", {30, 40}}});
    Start("");
    controls->ComboSelectText("List");
    form->cmdSetIconType_Click();
    EXPECT_EQ(session->FileBytes(kLayout), "10,20,A\r\n30,40,B\r\n");
    EXPECT_NE(session->FileBytes(kIni).find("USER1@DESK1=List"), std::string::npos);
    EXPECT_EQ(session->CurrentView(shell.listView), 3u);
    EXPECT_GE(session->ViewChanges(shell.listView), 1);
    // The view change re-arranged the icons; the restore put them back.
    EXPECT_EQ(session->Items(shell.listView)[0].position, (Point{10, 20}));
    EXPECT_EQ(session->Items(shell.listView)[1].position, (Point{30, 40}));

    // Nothing selected: an empty name is stored and the desktop goes to small icons.
    Start("");
    controls->ComboSelectText("");
    form->cmdSetIconType_Click();
    EXPECT_NE(session->FileBytes(kIni).find("USER1@DESK1=\r\n"), std::string::npos);
    EXPECT_EQ(session->CurrentView(shell.listView), 2u);
}

TEST_F(Form, SetIconTypeStopsWhenTheSaveFails) {
    const auto shell = Desktop({{"A", {10, 20}}});
    Start("");
    controls->ComboSelectText("Report");
    session->WriteFileBytes(kLayout, "1,2,A\r\n");
    session->SetLocked(kLayout, true);
    form->ButtonClicked(Button::SetIconType);
    session->SetLocked(kLayout, false);
    ASSERT_EQ(controls->errors.size(), 1u);
    EXPECT_FALSE(session->FileExists(kIni));
    EXPECT_EQ(session->CurrentView(shell.listView), 0u);
    EXPECT_TRUE(controls->IsEnabled(Button::Save));
    EXPECT_FALSE(controls->closed);
}

TEST_F(Form, EscapeReleaseClosesWhateverTheModifiers) {
    Start("");
    form->Form_KeyUp(13, 0);
    form->Form_KeyUp(9, 1);
    EXPECT_FALSE(controls->closed);
    form->Form_KeyUp(27, 7);
    EXPECT_TRUE(controls->closed);
}
