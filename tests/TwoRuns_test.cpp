// Two runs at once: a save or a restore of the same layout file waits for the one under way, up to
// a limit, and then ends with its own status and says why; another layout file does not wait.
#include "SimFixture.h"

#include "LayoutLock.h"

#include <gtest/gtest.h>

using namespace pindrel;
using namespace pindrel::testing;

class TwoRuns : public FormTest {
  protected:
    // The first run's window clicks `first`; once it has read the first icon's position (it holds
    // the layout then), another run of the program clicks `second` in its own window, as another
    // process. Returns the second run's messages.
    std::vector<std::string> RunDuring(Button first, Button second) {
        std::vector<std::string> messages;
        bool started = false;
        session->OnSendMessage([&](const sim::SimCall& call) {
            if (started || call.message != win::LVM_GETITEMPOSITION)
                return;
            started = true;
            session->AsOtherProcess([&] {
                sim::HeadlessControls otherControls;
                frmMain other(*session, *session, otherControls);
                other.Form_Load();
                other.ButtonClicked(second);
                messages = otherControls.errors;
            });
        });
        Start();
        form->ButtonClicked(first);
        session->OnSendMessage(nullptr);
        EXPECT_TRUE(started);
        EXPECT_TRUE(controls->errors.empty()) << controls->errors.front();
        return messages;
    }
};

// The second run waits the whole limit for the first, then stops without touching anything: a
// save leaves no file of its own, a restore moves nothing; the first ends as if alone.
TEST_F(TwoRuns, ARunWaitsForTheOneUnderWayThenSaysWhy) {
    const std::string old = "1,2,One\r\n3,4,Two\r\n";
    for (const Button second : {Button::Save, Button::Load}) {
        SCOPED_TRACE(second == Button::Save ? "a save during a save" : "a restore during a save");
        NewSession();
        const Hwnd lv = Desktop({{"One", {10, 20}}, {"Two", {30, 40}}}).listView;
        session->WriteFileBytes(kLayout, old);
        const std::vector<std::string> messages = RunDuring(Button::Save, second);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0], "Another run of Pindrel is saving or restoring this layout and did "
                               "not finish within 30 seconds: " +
                                   std::string(kLayout));
        EXPECT_EQ(session->NowMs(), kLayoutWaitMs);
        EXPECT_EQ(session->FileBytes(kLayout), "10,20,One\r\n30,40,Two\r\n");
        EXPECT_EQ(Positions(lv), (std::vector<Point>{{10, 20}, {30, 40}}));
        ExpectOnlyTheLayoutFile();
        EXPECT_TRUE(session->MutexNames().empty());
        ExpectNothingLeaked();
    }
}

// Silent runs end with the status of what they could not do: 2 for a save, 5 for a restore.
TEST_F(TwoRuns, ASilentRunThatCannotWaitLongerEndsWithItsStatus) {
    const Hwnd lv = Desktop({{"One", {10, 20}}}).listView;
    for (const auto& [command, status] : {std::pair{"-s", ExitStatus::WriteFailed},
                                          std::pair{"-r", ExitStatus::LayoutUnreadable}}) {
        SCOPED_TRACE(command);
        ExitStatus seen = ExitStatus::Ok;
        bool started = false;
        session->OnSendMessage([&, command = command](const sim::SimCall& call) {
            if (call.message != win::LVM_GETITEMPOSITION || started)
                return;
            started = true;
            session->AsOtherProcess([&] {
                sim::HeadlessControls otherControls;
                session->SetCommandLine(command);
                frmMain other(*session, *session, otherControls);
                other.Form_Load();
                seen = other.exitStatus();
            });
        });
        Start();
        form->cmdSave_Click();
        session->OnSendMessage(nullptr);
        EXPECT_EQ(seen, status);
        EXPECT_EQ(session->Items(lv)[0].position, (Point{10, 20}));
    }
}

// A run that ended while it held the layout (it crashed, say) leaves the file whole: the next run
// takes the layout over at once. The layout of another screen size has a mutex of its own.
TEST_F(TwoRuns, AnAbandonedOrAnotherLayoutDoesNotStopARun) {
    Desktop({{"One", {10, 20}}});
    const std::u16string name = LayoutMutexName(sim::Utf8ToUtf16(kLayout));
    const Handle ours = session->CreateMutexW(nullptr, 0, name.c_str());
    session->AsOtherProcess([&] {
        const Handle theirs = session->CreateMutexW(nullptr, 0, name.c_str());
        ASSERT_EQ(session->WaitForSingleObject(theirs, 0), win::WAIT_OBJECT_0);
    });
    Start("-s");
    EXPECT_EQ(form->exitStatus(), ExitStatus::Ok);
    session->CloseHandle(ours);

    // During a save of this screen's layout, another run saves that of another screen size.
    ExitStatus seen = ExitStatus::Failed;
    bool started = false;
    session->OnSendMessage([&](const sim::SimCall& call) {
        if (call.message != win::LVM_GETITEMPOSITION || started)
            return;
        started = true;
        session->AsOtherProcess([&] {
            session->SetScreenPixels(800, 600);
            sim::HeadlessControls otherControls;
            frmMain other(*session, *session, otherControls);
            other.Form_Load();
            seen = other.exitStatus();
            session->SetScreenPixels(1024, 768);
        });
    });
    session->SetCommandLine("-s");
    Start("-s");
    session->OnSendMessage(nullptr);
    EXPECT_EQ(form->exitStatus(), ExitStatus::Ok);
    EXPECT_EQ(seen, ExitStatus::Ok);
    EXPECT_TRUE(session->FileExists("C:\\Tools\\USER1@DESK1@800x600.txt"));
    EXPECT_EQ(session->NowMs(), 0u);
    ExpectNothingLeaked();
}
