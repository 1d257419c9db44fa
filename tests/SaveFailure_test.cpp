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
        // Fewer icons than the positions were read for would pair names with the wrong places.
        {"an icon deleted after the positions",
         [](sim::SimSession& s, Hwnd lv) {
             s.OnSendMessage([&s, lv](const sim::SimCall& call) {
                 if (call.message == win::LVM_GETITEMPOSITION && call.wParam == 1)
                     s.Items(lv).pop_back();
             });
         },
         ExitStatus::DesktopUnreadable, nullptr},
        // count, two positions, count, the first name: gone while the names are read.
        {"the list view gone while the names are read",
         [](sim::SimSession& s, Hwnd lv) { s.DestroyWindowAfterRequests(lv, 5); },
         ExitStatus::DesktopUnreadable, nullptr},
        {"the list view gone after the positions",
         [](sim::SimSession& s, Hwnd lv) { s.DestroyWindowAfterRequests(lv, 3); },
         ExitStatus::NoDesktop, nullptr},
        {"a count of 2147483647",
         [](sim::SimSession& s, Hwnd lv) { s.SetReportedItemCount(lv, 2147483647); },
         ExitStatus::DesktopUnreadable, nullptr},
        {"a count of -1", [](sim::SimSession& s, Hwnd lv) { s.SetReportedItemCount(lv, -1); },
         ExitStatus::DesktopUnreadable, nullptr},
        // The names are the buffer's first 80 bytes and nothing past them: 40 UTF-16 units on NT,
        // 80 bytes elsewhere.
        {"texts that fill the buffer without a NUL",
         [](sim::SimSession& s, Hwnd lv) { s.SetTextsWithoutNul(lv, true); }, ExitStatus::Ok,
         "10,20,Onexxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\r\n"
         "30,40,Twoxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\r\n"},
        {"texts that fill the buffer without a NUL (non-NT)",
         [](sim::SimSession& s, Hwnd lv) { s.SetTextsWithoutNul(lv, true); }, ExitStatus::Ok,
         nullptr},
        {"positions at the 16-bit limits",
         [](sim::SimSession& s, Hwnd lv) {
             s.Items(lv)[0].position = {-32768, 32767};
             s.Items(lv)[1].position = {32767, -32768};
         },
         ExitStatus::Ok, "-32768,32767,One\r\n32767,-32768,Two\r\n"},
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
        const std::string x(77, 'x');
        const std::string noNul = "10,20,One" + x + "\r\n30,40,Two" + x + "\r\n";
        EXPECT_EQ(session->FileBytes(kLayout), scene.saved                      ? scene.saved
                                               : scene.status == ExitStatus::Ok ? noNul
                                                                                : old);
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
    const std::string filler(70000, 'f'); // more than the first block of 64 KiB
    // Where the switch to the stored view arranges the icons when none moves afterwards.
    const std::vector<Point> arranged = {{10, 10}, {10, 85}};
    const struct {
        const char* what;
        std::function<void(sim::SimSession&, Hwnd)> fault;
        ExitStatus status;
        std::vector<Point> after;
        int views; // the stored view is applied only by a restore that goes on
    } scenes[] = {
        {"locked",
         [](sim::SimSession& s, Hwnd) { s.SetLocked(kLayout, true); },
         ExitStatus::LayoutUnreadable,
         {{700, 500}, {710, 510}},
         0},
        {"a read error",
         [](sim::SimSession& s, Hwnd) { s.SetReadError(kLayout, true); },
         ExitStatus::LayoutUnreadable,
         {{700, 500}, {710, 510}},
         0},
        // A read that fails past the first block stops the search where it is.
        {"a read error after 64 KiB",
         [&](sim::SimSession& s, Hwnd) {
             s.WriteFileBytes(kLayout, filler + "\r\n1,2,One\r\n3,4,Two\r\n");
             s.SetReadError(kLayout, true, 65536);
         },
         ExitStatus::LayoutUnreadable, arranged, 1},
        // A missing file is a first run: every icon is laid out from the start point.
        {"missing",
         [](sim::SimSession& s, Hwnd) { s.DeleteFileQuietly(kLayout); },
         ExitStatus::Ok,
         {{512, 384}, {512, 404}},
         1},
        {"readable", [](sim::SimSession&, Hwnd) {}, ExitStatus::Ok, {{1, 2}, {3, 4}}, 1},
        // Binary bytes, NULs, lone CRs and LFs are parts of lines like any other.
        {"binary lines around the icons'",
         [&](sim::SimSession& s, Hwnd) {
             s.WriteFileBytes(kLayout,
                              std::string("\0\xff,\r\x01\n\r\n1,2,One\r\n\0,\0,Zero\r\n", 24) +
                                  filler + "\r\n3,4,Two\r\n\r\r");
         },
         ExitStatus::Ok,
         {{1, 2}, {3, 4}},
         1},
        {"a count of -1", [](sim::SimSession& s, Hwnd lv) { s.SetReportedItemCount(lv, -1); },
         ExitStatus::DesktopUnreadable, arranged, 1},
        {"a count of 2147483647",
         [](sim::SimSession& s, Hwnd lv) { s.SetReportedItemCount(lv, 2147483647); },
         ExitStatus::DesktopUnreadable, arranged, 1},
    };
    for (const auto& scene : scenes) {
        SCOPED_TRACE(scene.what);
        NewSession();
        const auto shell = Desktop({{"One", {700, 500}}, {"Two", {710, 510}}});
        session->WriteFileBytes(kLayout, "1,2,One\r\n3,4,Two\r\n");
        session->WriteFileBytes(kIni, "[USER1@DESK1]\r\nIconType=Report\r\n");
        scene.fault(*session, shell.listView);
        Start("-r");
        EXPECT_EQ(form->exitStatus(), scene.status);
        EXPECT_EQ(Positions(shell.listView), scene.after);
        EXPECT_EQ(session->ViewChanges(shell.listView), scene.views);
        EXPECT_TRUE(session->PaintingOn(shell.listView));
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

TEST_F(SaveFailure, SettingsFilesThatAreOddOrCannotBeWritten) {
    // Odd settings files are read as the profile functions read them: binary bytes are text,
    // and of two sections with one name the first counts.
    const std::pair<std::string, const char*> files[] = {
        {"\x01\xfe\x80=\x7f\r\n[Default]\r\nDeltaX=7\r\n\xff\xfe", "7"},
        {"[Default]\r\nDeltaX=7\r\n[Default]\r\nDeltaX=9\r\nDeltaY=4\r\n", "7"},
        {std::string(200, '[') + "\r\n[Default]\r\nDeltaX=" + std::string(200, '0') + "7\r\n",
         "7"}};
    for (const auto& [bytes, deltaX] : files) {
        SCOPED_TRACE(bytes.substr(0, 30));
        NewSession();
        session->WriteFileBytes(kIni, bytes);
        Start();
        EXPECT_EQ(controls->GetText(TextBox::DeltaX), deltaX);
    }
    // A settings file that cannot be written is reported, naming it, and stays as it was; Set
    // IconType then stops before the view changes (in a read-only folder its save fails first).
    for (const bool folder : {false, true}) {
        SCOPED_TRACE(folder ? "read-only folder" : "read-only file");
        NewSession();
        const auto shell = Desktop({{"One", {700, 500}}});
        session->WriteFileBytes(kIni, "[Default]\r\nDeltaX=7\r\n");
        session->SetReadOnly(folder ? "C:\\Tools" : kIni, true);
        Start();
        controls->SetText(TextBox::DeltaX, "9");
        form->ButtonClicked(Button::SetDefault);
        controls->ComboSelectText("Report");
        form->ButtonClicked(Button::SetIconType);
        ASSERT_EQ(controls->errors.size(), 2u);
        EXPECT_EQ(controls->errors[0], std::string("The settings could not be saved: ") + kIni);
        EXPECT_NE(controls->errors[1].find(folder ? kLayout : kIni), std::string::npos);
        EXPECT_EQ(session->FileBytes(kIni), "[Default]\r\nDeltaX=7\r\n");
        EXPECT_EQ(session->ViewChanges(shell.listView), 0);
        EXPECT_TRUE(controls->IsEnabled(Button::Load));
        ExpectNothingLeaked();
    }
}
