#include "SimFixture.h"
#include "modDesktopViewMode.h"
#include "modNames.h"
#include "modPindrel.h"

#include <gtest/gtest.h>

using namespace pindrel;
using namespace pindrel::modPindrel;
using pindrel::testing::SimTest;

namespace {

// One machine: the bitness of Windows, of this program and of the shell, and the platform.
struct Machine {
    const char* name;
    int windowsBits;
    int programBits;
    int shellBits;
    DWORD platform = win::VER_PLATFORM_WIN32_NT;
};

const Machine kMachines[] = {
    {"x64 program, 64-bit shell", 64, 64, 64},
    {"x64 program, WOW64 shell", 64, 64, 32},
    {"x86 program under WOW64, 64-bit shell", 64, 32, 64},
    {"x86 program under WOW64, WOW64 shell", 64, 32, 32},
    {"x86 program, 32-bit Windows", 32, 32, 32},
    {"x86 program, Windows 98", 32, 32, 32, win::VER_PLATFORM_WIN32_WINDOWS},
};

} // namespace

class DesktopAccess : public SimTest {
  protected:
    void Boot(const Machine& m) {
        NewSession();
        session->SetWindowsBits(m.windowsBits);
        session->SetProgramBits(m.programBits);
        session->SetPlatformId(m.platform);
    }
    sim::SimShell Shell(const Machine& m, std::initializer_list<const char*> names) {
        sim::SimShell shell = session->CreateShell(sim::ShellShape::Standard, 0, m.shellBits);
        std::int32_t y = 0;
        for (const char* name : names)
            session->AddItem(shell.listView, std::string(name), Point{10, y += 75});
        return shell;
    }
    std::vector<sim::SimCall> CallsOf(const std::string& function) const {
        std::vector<sim::SimCall> found;
        for (const auto& call : session->Calls())
            if (call.function == function)
                found.push_back(call);
        return found;
    }
};

TEST_F(DesktopAccess, LookupFollowsProgmanThenFallsBackToTopLevelWindows) {
    using sim::ShellShape;
    for (ShellShape shape : {ShellShape::Standard, ShellShape::NoProgman, ShellShape::NoDefView,
                             ShellShape::NoListView, ShellShape::Nothing}) {
        NewSession();
        const sim::SimShell shell = session->CreateShell(shape);
        // Without a view window the first top-level list view is the desktop.
        const Hwnd expected = shape == ShellShape::NoDefView ? shell.otherListView : shell.listView;
        EXPECT_EQ(FindDesktopListView(*session), expected) << static_cast<int>(shape);
    }
    // Window 0 answers nothing, and nothing is obtained for it.
    EXPECT_EQ(GetItemCount(*session, Hwnd{0}), 0);
    EXPECT_FALSE(IsAutoArrangeOn(*session, Hwnd{0}));
    EXPECT_EQ(GetItemText(*session, Hwnd{0}, 0), "");
    ExpectNothingLeaked();
}

// Every name comes back on every machine, cut as its transport cuts: at 40 UTF-16 units through
// the shell's memory, at 79 bytes through a shared mapping. The record sent is the list view's own
// form, and a 64-bit program's addresses (above 4 GiB there) reach the list view whole.
TEST_F(DesktopAccess, ItemTextsComeBackOnEveryMachineInTheShellsRecordForm) {
    const std::string s39(39, 'a');
    const std::string s45 = std::string(40, 'd') + "eeeee";
    const std::string s80(80, 'f');
    for (const Machine& m : kMachines) {
        SCOPED_TRACE(m.name);
        Boot(m);
        const bool nt = m.platform == win::VER_PLATFORM_WIN32_NT;
        const auto shell = Shell(
            m, {s39.c_str(), s45.c_str(), s80.c_str(), "Caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD"});
        const Hwnd lv = shell.listView;
        session->ClearCalls();
        EXPECT_EQ(GetItemText(*session, lv, 0), s39);
        EXPECT_EQ(GetItemText(*session, lv, 1), nt ? s45.substr(0, 40) : s45);
        EXPECT_EQ(GetItemText(*session, lv, 2), s80.substr(0, nt ? 40 : 79));
        // What the system code page lacks becomes '?'.
        EXPECT_EQ(GetItemText(*session, lv, 3), "Caf\xE9 \x80 ?");
        // An index the list view does not have leaves the zero fill.
        EXPECT_EQ(GetItemText(*session, lv, 99), "");
        if (nt) {
            const auto allocations = CallsOf("VirtualAllocEx");
            ASSERT_GE(allocations.size(), 2u);
            EXPECT_EQ(allocations[0].lParam, m.shellBits == 64 ? 56 : 40);
            EXPECT_EQ(allocations[1].lParam, 80);
        }
        ExpectNothingLeaked();
    }
}

// The protocol of one text request on the foreign-process path, arguments included: the shell's
// bitness is asked with query access alone and that handle closed at once; then a record buffer of
// the shell's form and an 80-byte text buffer, each with its own handle; one LVM_GETITEMW carrying
// the record's address; the record released before the text, each release naming its allocation.
TEST_F(DesktopAccess, ItemTextRequestFollowsTheForeignProcessProtocol) {
    const Machine& m = kMachines[1]; // a WOW64 shell: the 40-byte record
    Boot(m);
    const auto shell = Shell(m, {"Notes"});
    session->ClearCalls();
    EXPECT_EQ(GetItemText(*session, shell.listView, 0), "Notes");

    const auto allocs = CallsOf("VirtualAllocEx");
    const auto opens = CallsOf("OpenProcess");
    ASSERT_EQ(opens.size(), 3u);
    EXPECT_EQ(opens[0].wParam, win::PROCESS_QUERY_LIMITED_INFORMATION);
    EXPECT_EQ(opens[1].wParam, 0x38u);
    EXPECT_EQ(opens[2].wParam, 0x38u);
    ASSERT_EQ(allocs.size(), 2u);
    EXPECT_EQ(allocs[0].lParam, 40);
    EXPECT_EQ(allocs[1].lParam, 80);

    const auto frees = CallsOf("VirtualFreeEx");
    const auto writes = CallsOf("WriteProcessMemory");
    const auto sends = CallsOf("SendMessageA");
    ASSERT_EQ(frees.size(), 2u);
    ASSERT_EQ(writes.size(), 2u);
    ASSERT_EQ(sends.size(), 1u);
    const auto recordAddress = static_cast<std::uint64_t>(sends[0].lParam);
    EXPECT_EQ(sends[0].message, win::LVM_GETITEMW);
    EXPECT_EQ(writes[0].wParam, recordAddress);
    EXPECT_EQ(writes[0].lParam, 40);
    EXPECT_EQ(writes[1].lParam, 80);
    EXPECT_EQ(static_cast<std::uint64_t>(frees[0].lParam), recordAddress);
    EXPECT_EQ(static_cast<std::uint64_t>(frees[1].lParam), writes[1].wParam);

    std::vector<std::string> names;
    for (const auto& call : session->Calls())
        if (call.function != "WideCharToMultiByte" && call.function != "GetVersionExA" &&
            call.function != "GetWindowThreadProcessId")
            names.push_back(call.function);
    const std::vector<std::string> expected = {
        "OpenProcess",        "IsWow64Process", "CloseHandle",       "OpenProcess",
        "VirtualAllocEx",     "OpenProcess",    "VirtualAllocEx",    "WriteProcessMemory",
        "WriteProcessMemory", "SendMessageA",   "ReadProcessMemory", "VirtualFreeEx",
        "CloseHandle",        "VirtualFreeEx",  "CloseHandle"};
    EXPECT_EQ(names, expected);
    ExpectNothingLeaked();
}

// Where the shell's bitness cannot be learnt, the program's own form is taken. That is right for
// a shell of the program's own kind and wrong otherwise: a wrong form reaches the list view as a
// record it misreads, and the name is lost.
TEST_F(DesktopAccess, WithoutAnAnswerOnBitnessTheProgramsOwnFormIsTaken) {
    struct Scene {
        const Machine* machine;
        bool functionMissing; // else: the query access is refused
        bool nameComesBack;
    };
    const Scene scenes[] = {
        {&kMachines[0], true, true},   // 64 on 64: own form fits
        {&kMachines[1], true, false},  // 64-bit program, WOW64 shell: misread
        {&kMachines[1], false, false}, //   the same when the query is refused
        {&kMachines[3], false, true},  // 32 on 32 under WOW64: own form fits
        {&kMachines[2], true, false},  // 32-bit program that cannot tell it is under WOW64
    };
    for (const Scene& scene : scenes) {
        SCOPED_TRACE(scene.machine->name);
        Boot(*scene.machine);
        session->SetIsWow64ProcessMissing(scene.functionMissing);
        session->SetQueryAccessRefused(!scene.functionMissing);
        const auto shell = Shell(*scene.machine, {"Notes"});
        session->ClearCalls();
        EXPECT_EQ(GetItemText(*session, shell.listView, 0), scene.nameComesBack ? "Notes" : "");
        EXPECT_EQ(CallsOf("VirtualAllocEx").at(0).lParam,
                  scene.machine->programBits == 64 ? 56 : 40);
        EXPECT_EQ(session->OpenHandles(), 0);
        EXPECT_EQ(session->LiveAllocations(), 0);
    }
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

    Boot(kMachines[5]);
    const auto old = Shell(kMachines[5], {"A", "B"});
    session->FailMappings(1);
    EXPECT_EQ(GetItemText(*session, old.listView, 1), "");
    EXPECT_EQ(session->CountMessages(win::LVM_GETITEMTEXTA), 0);
    ExpectNothingLeaked();
}

TEST_F(DesktopAccess, PositionsAreReadThroughOneBufferOnEveryMachine) {
    for (const Machine& m : kMachines) {
        SCOPED_TRACE(m.name);
        Boot(m);
        const auto shell = Shell(m, {"A", "B", "C"});
        session->Items(shell.listView)[1].position = Point{-75, 20};
        session->Items(shell.listView)[2].position = Point{5, 70000};
        session->ClearCalls();
        std::vector<Point> table(4);
        // One more than the list view has: it writes nothing for index 3, which so repeats 2.
        ReadItemPositions(*session, shell.listView, shell.process, 4, table);
        EXPECT_EQ(table, (std::vector<Point>{{10, 75}, {-75, 20}, {5, 70000}, {5, 70000}}));
        EXPECT_EQ(session->CountMessages(win::LVM_GETITEMPOSITION), 4);
        EXPECT_EQ(session->CountCalls("VirtualAllocEx") + session->CountCalls("MapViewOfFile"), 1);
        ExpectNothingLeaked();
    }
}

TEST_F(DesktopAccess, SetItemPositionPacksXAndYOrRefusesWithOverflow) {
    const auto shell = Desktop({{"A", {0, 0}}});
    const Hwnd lv = shell.listView;
    struct Scene {
        std::int32_t x, y;
        bool sent;
        std::uint32_t lParam;
    };
    const Scene scenes[] = {
        {100, 200, true, 13107300u},    {-5, 10, true, (10u << 16) | 65531u},
        {0, -32768, true, 0x80000000u}, {0, 32768, false, 0},
        {-1, -32768, false, 0},         {65536, 32767, false, 0},
    };
    for (const Scene& scene : scenes) {
        SCOPED_TRACE(std::to_string(scene.x) + "," + std::to_string(scene.y));
        session->ClearCalls();
        try {
            SetItemPosition(*session, lv, 0, scene.x, scene.y);
            EXPECT_TRUE(scene.sent);
        } catch (const Failure& f) {
            EXPECT_FALSE(scene.sent);
            EXPECT_EQ(f.number(), errors::kOverflow);
        }
        const auto sends = CallsOf("SendMessageA");
        ASSERT_EQ(sends.size(), scene.sent ? 1u : 0u);
        if (scene.sent) {
            EXPECT_EQ(static_cast<std::uint32_t>(sends[0].lParam), scene.lParam);
            EXPECT_EQ(session->Items(lv)[0].position, (Point{scene.x, scene.y}));
        }
    }
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
    for (DWORD view : {1u, 0u, 3u}) {
        modDesktopViewMode::SetDesktopViewMode(*session, view);
        EXPECT_EQ(session->CurrentView(lv), view);
    }
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
