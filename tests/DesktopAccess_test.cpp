#include "SimFixture.h"
#include "modDesktopViewMode.h"
#include "modNames.h"
#include "modPindrel.h"

#include <gtest/gtest.h>

using namespace pindrel;
using namespace pindrel::modPindrel;
using pindrel::testing::SimTest;

class DesktopAccess : public SimTest {
  protected:
    std::vector<std::string> CallNames() const {
        std::vector<std::string> names;
        for (const auto& call : session->Calls()) {
            names.push_back(call.function);
        }
        return names;
    }
};

TEST_F(DesktopAccess, FindsTheListViewUnderProgmanAndTheShellView) {
    const auto shell = session->CreateShell(sim::ShellShape::Standard);
    EXPECT_EQ(FindDesktopListView(*session), shell.listView);
}

TEST_F(DesktopAccess, LookupFallsBackToTopLevelWindows) {
    // Without "Progman" the view window is looked for among the top-level windows.
    const auto noProgman = session->CreateShell(sim::ShellShape::NoProgman);
    EXPECT_EQ(FindDesktopListView(*session), noProgman.listView);
}

TEST_F(DesktopAccess, LookupWithoutViewWindowGivesTheFirstTopLevelListView) {
    const auto shell = session->CreateShell(sim::ShellShape::NoDefView);
    EXPECT_EQ(FindDesktopListView(*session), shell.otherListView);
}

TEST_F(DesktopAccess, LookupGivesZeroWhenThereIsNoListView) {
    session->CreateShell(sim::ShellShape::NoListView);
    EXPECT_EQ(FindDesktopListView(*session), Hwnd{0});
    EXPECT_EQ(GetItemCount(*session, Hwnd{0}), 0);
    EXPECT_FALSE(IsAutoArrangeOn(*session, Hwnd{0}));
    EXPECT_EQ(GetItemText(*session, Hwnd{0}, 0), "");
    ExpectNothingLeaked();
}

TEST_F(DesktopAccess, ItemTextsAreCutAtFortyUnitsOnNtAndAtSeventyNineBytesElsewhere) {
    const std::string s39(39, 'a');
    const std::string s40 = std::string(39, 'b') + "c";
    const std::string s45 = std::string(40, 'd') + "eeeee";
    const std::string s80(80, 'f');
    const auto shell = Desktop({{s39.c_str(), {}},
                                {s40.c_str(), {}},
                                {s45.c_str(), {}},
                                {s80.c_str(), {}},
                                {"Caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD", {}}});
    const Hwnd lv = shell.listView;

    EXPECT_EQ(GetItemText(*session, lv, 0), s39);
    EXPECT_EQ(GetItemText(*session, lv, 1), s40);
    EXPECT_EQ(GetItemText(*session, lv, 2), s45.substr(0, 40));
    EXPECT_EQ(GetItemText(*session, lv, 3), s80.substr(0, 40));
    // UTF-16 comes back in the system code page; what it lacks becomes '?'.
    EXPECT_EQ(GetItemText(*session, lv, 4), "Caf\xE9 \x80 ?");
    // An index the list view does not have leaves the zero fill.
    EXPECT_EQ(GetItemText(*session, lv, 99), "");
    ExpectNothingLeaked();

    session->SetPlatformId(win::VER_PLATFORM_WIN32_WINDOWS);
    EXPECT_EQ(GetItemText(*session, lv, 0), s39);
    EXPECT_EQ(GetItemText(*session, lv, 2), s45);
    EXPECT_EQ(GetItemText(*session, lv, 3), s80.substr(0, 79));
    EXPECT_EQ(GetItemText(*session, lv, 4), "Caf\xE9 \x80 ?");
    EXPECT_EQ(GetItemText(*session, lv, 99), "");
    ExpectNothingLeaked();

    // A failing version query selects the shared path too.
    session->SetVersionQueryFails(true);
    EXPECT_FALSE(IsWindowsNT(*session));
    EXPECT_EQ(GetItemText(*session, lv, 3), s80.substr(0, 79));
}

TEST_F(DesktopAccess, ItemTextRequestFollowsTheForeignProcessProtocol) {
    const auto shell = Desktop({{"Notes", {}}});
    session->ClearCalls();
    EXPECT_EQ(GetItemText(*session, shell.listView, 0), "Notes");
    const std::vector<std::string> expected = {"GetWindowThreadProcessId",
                                               "GetVersionExA",
                                               "OpenProcess",
                                               "VirtualAllocEx",
                                               "OpenProcess",
                                               "VirtualAllocEx",
                                               "WriteProcessMemory",
                                               "WriteProcessMemory",
                                               "SendMessageA",
                                               "ReadProcessMemory",
                                               "VirtualFreeEx",
                                               "CloseHandle",
                                               "VirtualFreeEx",
                                               "CloseHandle"};
    std::vector<std::string> names = CallNames();
    // The ANSI conversion at the end is not part of the protocol.
    names.erase(std::remove(names.begin(), names.end(), "WideCharToMultiByte"), names.end());
    EXPECT_EQ(names, expected);
    EXPECT_EQ(session->CountMessages(win::LVM_GETITEMW), 1);
    ExpectNothingLeaked();
}

TEST_F(DesktopAccess, BuffersThatCannotBeObtainedCarryNoRequest) {
    const auto shell = Desktop({{"A", {10, 20}}, {"B", {30, 40}}});
    session->SetOpenProcessRefused(true);
    EXPECT_EQ(GetItemText(*session, shell.listView, 0), "");
    std::vector<Point> table(2);
    ReadItemPositions(*session, shell.listView, shell.process, 2, table);
    EXPECT_EQ(table, (std::vector<Point>{{0, 0}, {0, 0}}));
    EXPECT_EQ(session->CountMessages(win::LVM_GETITEMW), 0);
    EXPECT_EQ(session->CountMessages(win::LVM_GETITEMPOSITION), 0);
    ExpectNothingLeaked();

    // Only the second allocation fails: the first is released again.
    session->SetOpenProcessRefused(false);
    session->FailAllocations(1);
    EXPECT_EQ(GetItemText(*session, shell.listView, 1), "");
    EXPECT_EQ(session->CountMessages(win::LVM_GETITEMW), 0);
    ExpectNothingLeaked();

    session->SetPlatformId(win::VER_PLATFORM_WIN32_WINDOWS);
    session->FailMappings(1);
    EXPECT_EQ(GetItemText(*session, shell.listView, 1), "");
    EXPECT_EQ(session->CountMessages(win::LVM_GETITEMTEXTA), 0);
    ExpectNothingLeaked();
}

TEST_F(DesktopAccess, PositionsAreReadThroughOneBufferOnBothPaths) {
    const auto shell = Desktop({{"A", {10, 20}}, {"B", {-75, 20}}, {"C", {5, 70000}}});
    for (DWORD platform : {win::VER_PLATFORM_WIN32_NT, win::VER_PLATFORM_WIN32_WINDOWS}) {
        session->SetPlatformId(platform);
        session->ClearCalls();
        std::vector<Point> table(3);
        ReadItemPositions(*session, shell.listView, shell.process, 3, table);
        EXPECT_EQ(table, (std::vector<Point>{{10, 20}, {-75, 20}, {5, 70000}}));
        EXPECT_EQ(session->CountMessages(win::LVM_GETITEMPOSITION), 3);
        EXPECT_EQ(session->CountCalls("VirtualAllocEx") + session->CountCalls("MapViewOfFile"), 1);
        ExpectNothingLeaked();
    }
    // One item: exactly one request, for index 0.
    session->ClearCalls();
    std::vector<Point> one(1);
    ReadItemPositions(*session, shell.listView, shell.process, 1, one);
    ASSERT_EQ(session->CountMessages(win::LVM_GETITEMPOSITION), 1);
    for (const auto& call : session->Calls()) {
        if (call.message == win::LVM_GETITEMPOSITION) {
            EXPECT_EQ(call.wParam, 0u);
        }
    }
}

TEST_F(DesktopAccess, AnUnreportedPositionRepeatsThePreviousOne) {
    const auto shell = Desktop({{"A", {10, 20}}, {"B", {30, 40}}});
    // Ask for one more item than the list view has: it writes nothing for index 2.
    std::vector<Point> table(3);
    ReadItemPositions(*session, shell.listView, shell.process, 3, table);
    EXPECT_EQ(table[2], (Point{30, 40}));
}

TEST_F(DesktopAccess, SetItemPositionPacksXAndYOrRefusesWithOverflow) {
    const auto shell = Desktop({{"A", {0, 0}}});
    const Hwnd lv = shell.listView;
    auto lastLParam = [&] {
        std::uint32_t value = 0;
        for (const auto& call : session->Calls()) {
            if (call.message == win::LVM_SETITEMPOSITION) {
                value = static_cast<std::uint32_t>(call.lParam);
            }
        }
        return value;
    };
    SetItemPosition(*session, lv, 0, 100, 200);
    EXPECT_EQ(lastLParam(), 13107300u);
    EXPECT_EQ(session->Items(lv)[0].position, (Point{100, 200}));
    SetItemPosition(*session, lv, 0, -5, 10);
    EXPECT_EQ(lastLParam() & 0xFFFFu, 65531u);
    EXPECT_EQ(lastLParam() >> 16, 10u);
    EXPECT_EQ(session->Items(lv)[0].position, (Point{-5, 10}));
    SetItemPosition(*session, lv, 0, 0, -32768);
    EXPECT_EQ(session->Items(lv)[0].position, (Point{0, -32768}));

    session->ClearCalls();
    for (const auto& [x, y] : {std::pair{0, 32768}, std::pair{-1, -32768}, std::pair{0, 40000},
                               std::pair{65536, 32767}}) {
        try {
            SetItemPosition(*session, lv, 0, x, y);
            ADD_FAILURE() << "no overflow for " << x << "," << y;
        } catch (const Failure& f) {
            EXPECT_EQ(f.number(), errors::kOverflow);
        }
    }
    EXPECT_EQ(session->CountMessages(win::LVM_SETITEMPOSITION), 0);
}

TEST_F(DesktopAccess, AutoArrangeIsBit256AndTheShellViewFlipsIt) {
    const auto shell = Desktop({{"A", {0, 0}}}, 0x0100 | 0x0040 | 0x2);
    EXPECT_TRUE(IsAutoArrangeOn(*session, shell.listView));
    ToggleAutoArrange(*session, shell.listView);
    EXPECT_FALSE(IsAutoArrangeOn(*session, shell.listView));
    EXPECT_FALSE(session->AutoArrange(shell.listView));
    ToggleAutoArrange(*session, shell.listView);
    EXPECT_TRUE(IsAutoArrangeOn(*session, shell.listView));
    session->SetStyle(shell.listView, 0xFFFF & ~0x0100u);
    EXPECT_FALSE(IsAutoArrangeOn(*session, shell.listView));
}

TEST_F(DesktopAccess, ViewModeSwitchesBackAndForthAndKeepsOtherStyleBits) {
    const auto shell = Desktop({{"A", {0, 0}}}, 0x0100 | 1);
    const Hwnd lv = shell.listView;
    StyleStruct sent;
    session->OnSendMessage([&](const sim::SimCall& call) {
        if (call.message == win::WM_STYLECHANGED) {
            sent = *reinterpret_cast<const StyleStruct*>(call.lParam);
        }
    });
    modDesktopViewMode::SetDesktopViewMode(*session, 2);
    EXPECT_EQ(sent.styleNew, 0x0100u | 2);
    EXPECT_EQ(session->CurrentView(lv), 2u);
    // A switch back to the view the window was created with must work too.
    modDesktopViewMode::SetDesktopViewMode(*session, 1);
    EXPECT_EQ(session->CurrentView(lv), 1u);
    modDesktopViewMode::SetDesktopViewMode(*session, 0);
    EXPECT_EQ(session->CurrentView(lv), 0u);
    modDesktopViewMode::SetDesktopViewMode(*session, 3);
    EXPECT_EQ(session->CurrentView(lv), 3u);
    EXPECT_TRUE(session->AutoArrange(lv));
    // The message goes out even when the view is already the one asked for.
    session->ClearCalls();
    modDesktopViewMode::SetDesktopViewMode(*session, 3);
    EXPECT_EQ(session->CountMessages(win::WM_STYLECHANGED), 1);
    EXPECT_EQ(session->CurrentView(lv), 3u);
}

class Names : public SimTest {};

TEST_F(Names, ProfileKeyJoinsUserAndComputerUnchanged) {
    session->SetUserName("USER1");
    session->SetComputerName("DESK1");
    EXPECT_EQ(modNames::ProfileKey(*session), "USER1@DESK1");
    session->SetUserName(" a@b ");
    EXPECT_EQ(modNames::ProfileKey(*session), " a@b @DESK1");
    // 99 characters and a terminator fit the buffer of 100; 100 do not.
    session->SetUserName(std::string(99, 'u'));
    EXPECT_EQ(modNames::GetUserNameString(*session), std::string(99, 'u'));
    session->SetUserName(std::string(100, 'u'));
    EXPECT_EQ(modNames::ProfileKey(*session), "@DESK1");
    session->SetComputerName(std::string(511, 'c'));
    EXPECT_EQ(modNames::GetComputerNameString(*session), std::string(511, 'c'));
    session->SetComputerName(std::string(512, 'c'));
    EXPECT_EQ(modNames::GetComputerNameString(*session), "");
}

TEST(TrimAtNul, KeepsWhatComesBeforeTheFirstNul) {
    EXPECT_EQ(TrimAtNul(std::string("abc\0def", 7)), "abc");
    EXPECT_EQ(TrimAtNul(std::string("abc")), "abc");
    EXPECT_EQ(TrimAtNul(std::string("\0abc", 4)), "");
    EXPECT_EQ(TrimAtNul(std::u16string(u"ab\0c", 4)), u"ab");
}
