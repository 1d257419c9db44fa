// Runs that cannot do their job fail and say so: a save that could read none of the desktop's icons
// keeps the old layout, and a restore whose layout file exists but cannot be read moves nothing.
#include "SimFixture.h"
#include "modPindrel.h"

#include <gtest/gtest.h>

#include <functional>

using namespace pindrel;
using pindrel::testing::kIni;
using pindrel::testing::kLayout;

class SaveFailure : public pindrel::testing::FormTest {};

using Fault = std::function<void(sim::SimSession&, Hwnd)>;

// `inject(count)` once the second (last) icon's position has been asked for: the names' requests
// meet the fault, the positions' did not.
Fault OnceThePositionsAreRead(void (sim::SimSession::*inject)(int), int count) {
    return [=](sim::SimSession& s, Hwnd) {
        s.OnSendMessage([&s, inject, count](const sim::SimCall& call) {
            if (call.message == win::LVM_GETITEMPOSITION && call.wParam == 1)
                (s.*inject)(count);
        });
    };
}

TEST_F(SaveFailure, ASaveThatReadNothingKeepsTheOldLayoutAndFails) {
    const std::string old = "1,2,Alpha\r\n3,4,Beta\r\n";
    const struct {
        const char* what;
        Fault fault;
        ExitStatus status;
        const char* saved; // the file afterwards when the save succeeds
    } scenes[] = {
        {"the process cannot be opened",
         [](sim::SimSession& s, Hwnd) { s.SetOpenProcessRefused(true); },
         ExitStatus::DesktopUnreadable, nullptr},
        {"no buffer for the positions", [](sim::SimSession& s, Hwnd) { s.FailAllocations(1); },
         ExitStatus::DesktopUnreadable, nullptr},
        {"no buffer for any name", OnceThePositionsAreRead(&sim::SimSession::FailAllocations, 1000),
         ExitStatus::DesktopUnreadable, nullptr},
        {"no shared mapping for any name (non-NT)",
         OnceThePositionsAreRead(&sim::SimSession::FailMappings, 1000),
         ExitStatus::DesktopUnreadable, nullptr},
        // One name could be read and one could not: names may be empty, the save goes on.
        {"no buffer for one name", OnceThePositionsAreRead(&sim::SimSession::FailAllocations, 1),
         ExitStatus::Ok, "10,20,\r\n30,40,Two\r\n"},
        // A desktop that truly has no icons gives the empty layout.
        {"no icons", [](sim::SimSession& s, Hwnd lv) { s.Items(lv).clear(); }, ExitStatus::Ok, ""},
    };
    for (const auto& scene : scenes) {
        SCOPED_TRACE(scene.what);
        NewSession();
        if (std::string(scene.what).find("non-NT") != std::string::npos)
            session->SetPlatformId(win::VER_PLATFORM_WIN32_WINDOWS);
        const auto shell = Desktop({{"One", {10, 20}}, {"Two", {30, 40}}});
        session->WriteFileBytes(kLayout, old);
        scene.fault(*session, shell.listView);
        Start("-s");
        EXPECT_EQ(form->exitStatus(), scene.status);
        EXPECT_EQ(session->FileBytes(kLayout), scene.saved ? scene.saved : old);
        EXPECT_EQ(session->ListFolder("C:\\Tools"),
                  std::vector<std::string>{"USER1@DESK1@1024x768.txt"});
        session->OnSendMessage(nullptr);
        ExpectNothingLeaked();
    }
    // In the window the message names the desktop window and what failed.
    NewSession();
    Desktop({{"One", {10, 20}}});
    session->SetOpenProcessRefused(true);
    Start();
    form->ButtonClicked(Button::Save);
    ASSERT_EQ(controls->errors.size(), 1u);
    EXPECT_NE(controls->errors[0].find("could not be opened"), std::string::npos);
    EXPECT_NE(controls->errors[0].find("SysListView32"), std::string::npos);
    EXPECT_FALSE(session->FileExists(kLayout));
}

TEST_F(SaveFailure, ALayoutThatCannotBeReadMovesNothing) {
    const struct {
        const char* what;
        std::function<void(sim::SimSession&)> fault;
        ExitStatus status;
        std::vector<Point> after;
    } scenes[] = {
        {"locked",
         [](sim::SimSession& s) { s.SetLocked(kLayout, true); },
         ExitStatus::LayoutUnreadable,
         {{700, 500}, {710, 510}}},
        {"a read error",
         [](sim::SimSession& s) { s.SetReadError(kLayout, true); },
         ExitStatus::LayoutUnreadable,
         {{700, 500}, {710, 510}}},
        // A missing file is a first run: every icon is laid out from the start point.
        {"missing",
         [](sim::SimSession& s) { s.DeleteFileQuietly(kLayout); },
         ExitStatus::Ok,
         {{512, 384}, {512, 404}}},
        {"readable", [](sim::SimSession&) {}, ExitStatus::Ok, {{1, 2}, {3, 4}}},
    };
    for (const auto& scene : scenes) {
        SCOPED_TRACE(scene.what);
        NewSession();
        const auto shell = Desktop({{"One", {700, 500}}, {"Two", {710, 510}}});
        session->WriteFileBytes(kLayout, "1,2,One\r\n3,4,Two\r\n");
        session->WriteFileBytes(kIni, "[USER1@DESK1]\r\nIconType=Report\r\n");
        scene.fault(*session);
        Start("-r");
        EXPECT_EQ(form->exitStatus(), scene.status);
        EXPECT_EQ(Positions(shell.listView), scene.after);
        // The stored view is applied only by a restore that goes on.
        EXPECT_EQ(session->ViewChanges(shell.listView), scene.status == ExitStatus::Ok ? 1 : 0);
        ExpectNothingLeaked();
    }
    // In the window the message names the file.
    NewSession();
    Desktop({{"One", {700, 500}}});
    session->WriteFileBytes(kLayout, "1,2,One\r\n");
    session->SetLocked(kLayout, true);
    Start();
    form->ButtonClicked(Button::Load);
    ASSERT_EQ(controls->errors.size(), 1u);
    EXPECT_NE(controls->errors[0].find(kLayout), std::string::npos);
    EXPECT_TRUE(controls->IsEnabled(Button::Load));
}
