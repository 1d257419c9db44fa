// Runs that cannot do their job fail and say so: a save that could read none of the desktop's icons
// keeps the old layout, and a restore whose layout file exists but cannot be read moves nothing.
#include "SimFixture.h"
#include "modPindrel.h"

#include <gtest/gtest.h>

using namespace pindrel;
using pindrel::testing::Fault;
using pindrel::testing::kIni;
using pindrel::testing::kLayout;

class SaveFailure : public pindrel::testing::FormTest {};

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
    // The names are the buffer's first 80 bytes and nothing past them: 40 UTF-16 units on NT, 80
    // bytes elsewhere, each the item's text and then 'x's.
    auto filled = [](std::size_t units) {
        const std::string x(units - 3, 'x');
        return "10,20,One" + x + "\r\n30,40,Two" + x + "\r\n";
    };
    const std::string filledNt = filled(40), filled98 = filled(80);
    constexpr ExitStatus ok = ExitStatus::Ok, unreadable = ExitStatus::DesktopUnreadable;
    using S = sim::SimSession;
    const struct {
        const char* what;
        Fault fault;
        ExitStatus status;
        const char* saved; // the file afterwards; nullptr: the old layout, whole
    } scenes[] = {
        {"the process cannot be opened", [](S& s, Hwnd) { s.SetOpenProcessRefused(true); },
         unreadable, nullptr},
        {"no buffer for the positions", [](S& s, Hwnd) { s.FailAllocations(1); }, unreadable,
         nullptr},
        {"no buffer for any name", OnceThePositionsAreRead(&S::FailAllocations, 1000), unreadable,
         nullptr},
        {"no shared mapping for any name (non-NT)", OnceThePositionsAreRead(&S::FailMappings, 1000),
         unreadable, nullptr},
        // One name could be read and one could not: names may be empty, the save goes on.
        {"no buffer for one name", OnceThePositionsAreRead(&S::FailAllocations, 1), ok,
         "10,20,\r\n30,40,Two\r\n"},
        // A desktop that truly has no icons gives the empty layout.
        {"no icons", [](S& s, Hwnd lv) { s.Items(lv).clear(); }, ok, ""},
        // Fewer icons than the positions were read for would pair names with the wrong places.
        {"an icon deleted after the positions",
         [](S& s, Hwnd lv) {
             s.OnSendMessage([&s, lv](const sim::SimCall& call) {
                 if (call.message == win::LVM_GETITEMPOSITION && call.wParam == 1)
                     s.Items(lv).pop_back();
             });
         },
         unreadable, nullptr},
        // count, two positions, count, the first name: gone while the names are read.
        {"the list view gone while the names are read",
         [](S& s, Hwnd lv) { s.DestroyWindowAfterRequests(lv, 5); }, unreadable, nullptr},
        {"the list view gone after the positions",
         [](S& s, Hwnd lv) { s.DestroyWindowAfterRequests(lv, 3); }, ExitStatus::NoDesktop,
         nullptr},
        {"a count of 2147483647", [](S& s, Hwnd lv) { s.SetReportedItemCount(lv, 2147483647); },
         unreadable, nullptr},
        {"a count of -1", [](S& s, Hwnd lv) { s.SetReportedItemCount(lv, -1); }, unreadable,
         nullptr},
        {"texts that fill the buffer without a NUL",
         [](S& s, Hwnd lv) { s.SetTextsWithoutNul(lv, true); }, ok, filledNt.c_str()},
        {"texts that fill the buffer without a NUL (non-NT)",
         [](S& s, Hwnd lv) { s.SetTextsWithoutNul(lv, true); }, ok, filled98.c_str()},
        {"positions at the 16-bit limits",
         [](S& s, Hwnd lv) {
             s.Items(lv)[0].position = {-32768, 32767};
             s.Items(lv)[1].position = {32767, -32768};
         },
         ok, "-32768,32767,One\r\n32767,-32768,Two\r\n"},
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
        ExpectOnlyTheLayoutFile();
        session->OnSendMessage(nullptr);
        ExpectNothingLeaked();
    }
    // In the window the message names the desktop window and what failed.
    NewSession();
    Desktop({{"One", {10, 20}}});
    session->SetOpenProcessRefused(true);
    Start();
    form->ButtonClicked(Button::Save);
    ExpectOneError({"could not be opened", "SysListView32"});
    EXPECT_FALSE(session->FileExists(kLayout));
}

TEST_F(SaveFailure, ALayoutThatCannotBeReadMovesNothing) {
    const std::string filler(70000, 'f'); // more than the first block of 64 KiB
    const std::string binary = std::string("\0\xff,\r\x01\n\r\n1,2,One\r\n\0,\0,Zero\r\n", 24) +
                               filler + "\r\n3,4,Two\r\n\r\r";
    // The icons where they were, and where the switch to the stored view arranges them when none
    // moves afterwards.
    const std::vector<Point> kept = {{700, 500}, {710, 510}}, arranged = {{10, 10}, {10, 85}};
    constexpr ExitStatus ok = ExitStatus::Ok, unreadable = ExitStatus::LayoutUnreadable,
                         badCount = ExitStatus::DesktopUnreadable;
    using S = sim::SimSession;
    // The stored view is applied (views 1) only by a restore that goes on.
    // clang-format off
    const struct {
        const char* what;
        Fault fault;
        ExitStatus status;
        std::vector<Point> after;
        int views;
    } scenes[] = {
        {"locked", [](S& s, Hwnd) { s.SetLocked(kLayout, true); }, unreadable, kept, 0},
        {"a read error", [](S& s, Hwnd) { s.SetReadError(kLayout, true); }, unreadable, kept, 0},
        // A read that fails past the first block stops the search where it is.
        {"a read error after 64 KiB", [&](S& s, Hwnd) {
             s.WriteFileBytes(kLayout, filler + "\r\n1,2,One\r\n3,4,Two\r\n");
             s.SetReadError(kLayout, true, 65536);
         }, unreadable, arranged, 1},
        // A missing file is a first run: every icon is laid out from the start point.
        {"missing", [](S& s, Hwnd) { s.DeleteFileQuietly(kLayout); }, ok, {{512, 384}, {512, 404}},
         1},
        {"readable", [](S&, Hwnd) {}, ok, {{1, 2}, {3, 4}}, 1},
        // Binary bytes, NULs, lone CRs and LFs are parts of lines like any other.
        {"binary lines around the icons'", [&](S& s, Hwnd) { s.WriteFileBytes(kLayout, binary); },
         ok, {{1, 2}, {3, 4}}, 1},
        {"a count of -1", [](S& s, Hwnd lv) { s.SetReportedItemCount(lv, -1); }, badCount,
         arranged, 1},
        {"a count of 2147483647", [](S& s, Hwnd lv) { s.SetReportedItemCount(lv, 2147483647); },
         badCount, arranged, 1}};
    // clang-format on
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
    ExpectOneError({kLayout});
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
