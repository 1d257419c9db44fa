// The desktop's list view across the process boundary, on every machine the program runs on.
#include "SimFixture.h"
#include "modDesktopViewMode.h"
#include "modNames.h"
#include "modPindrel.h"

#include <gtest/gtest.h>

#include <map>

using namespace pindrel;
using namespace pindrel::modPindrel;
using pindrel::testing::SimTest;

namespace {

constexpr DWORD kNt = win::VER_PLATFORM_WIN32_NT;

// One machine: the bitness of Windows, of this program and of the shell, the platform, and what
// keeps the program from learning the shell's bitness (no IsWow64Process, or the query access to
// the shell's process refused).
struct Machine {
    const char* name;
    int windowsBits, programBits, shellBits;
    DWORD platform = kNt;
    bool wow64Missing = false, queryRefused = false;
    // The record form the program takes: the shell's own, or its own when it cannot tell.
    int FormBits() const { return wow64Missing || queryRefused ? programBits : shellBits; }
};

const Machine kMachines[] = {
    {"x64 program, 64-bit shell", 64, 64, 64},
    {"x64 program, WOW64 shell", 64, 64, 32},
    {"x86 program under WOW64, 64-bit shell", 64, 32, 64},
    {"x86 program under WOW64, WOW64 shell", 64, 32, 32},
    {"x86 program, 32-bit Windows", 32, 32, 32},
    {"x86 program, Windows 98", 32, 32, 32, win::VER_PLATFORM_WIN32_WINDOWS},
    {"x64 program, 64-bit shell, no IsWow64Process", 64, 64, 64, kNt, true},
    {"x64 program, WOW64 shell, no IsWow64Process", 64, 64, 32, kNt, true},
    {"x64 program, WOW64 shell, query refused", 64, 64, 32, kNt, false, true},
    {"x86 program, WOW64 shell, query refused", 64, 32, 32, kNt, false, true},
    {"x86 program, 64-bit shell, no IsWow64Process", 64, 32, 64, kNt, true},
};

} // namespace

class DesktopAccess : public SimTest {
  protected:
    // A fresh session on machine `m` with the standard shell holding `names`, 75 pixels apart.
    sim::SimShell Boot(const Machine& m, std::initializer_list<const char*> names) {
        NewSession();
        session->SetWindowsBits(m.windowsBits);
        session->SetProgramBits(m.programBits);
        session->SetPlatformId(m.platform);
        session->SetIsWow64ProcessMissing(m.wow64Missing);
        session->SetQueryAccessRefused(m.queryRefused);
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
    // The memory calls and requests since ClearCalls(), each with its telling arguments: handles
    // are named h1, h2, ... and addresses a1, a2, ... in the order they first appear.
    std::vector<std::string> Protocol() const {
        std::map<std::uint64_t, std::string> handles, addresses;
        auto name = [](std::map<std::uint64_t, std::string>& names, char kind, std::uint64_t v) {
            return names.emplace(v, kind + std::to_string(names.size() + 1)).first->second;
        };
        std::vector<std::string> calls;
        for (const sim::SimCall& c : session->Calls()) {
            const std::string& f = c.function;
            const auto l = static_cast<std::uint64_t>(c.lParam);
            if (f == "OpenProcess")
                calls.push_back(f + " " + sim::Hex(c.wParam));
            else if (f == "IsWow64Process" || f == "CloseHandle")
                calls.push_back(f + " " + name(handles, 'h', c.wParam));
            else if (f == "VirtualAllocEx")
                calls.push_back(f + " " + name(handles, 'h', c.wParam) + " " + std::to_string(l));
            else if (f == "VirtualFreeEx")
                calls.push_back(f + " " + name(handles, 'h', c.wParam) + " " +
                                name(addresses, 'a', l));
            else if (f == "WriteProcessMemory" || f == "ReadProcessMemory")
                calls.push_back(f + " " + name(addresses, 'a', c.wParam) + " " + std::to_string(l));
            else if (f == "SendMessageA")
                calls.push_back(f + " " + sim::Hex(c.message) + " " + name(addresses, 'a', l));
        }
        return calls;
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

// Every name and position comes back on every machine, names cut as their transport cuts: at 40
// UTF-16 units through the shell's memory, at 79 bytes through a shared mapping. The record sent is
// the list view's own form, and a 64-bit program's addresses (above 4 GiB there) reach the list
// view whole. Where the program cannot learn the shell's bitness it takes its own form, which a
// shell of the other kind misreads: the names are lost.
TEST_F(DesktopAccess, ItemTextsAndPositionsComeBackOnEveryMachine) {
    const std::string s39(39, 'a'), s45 = std::string(40, 'd') + "eeeee", s80(80, 'f');
    for (const Machine& m : kMachines) {
        SCOPED_TRACE(m.name);
        const auto shell = Boot(
            m, {s39.c_str(), s45.c_str(), s80.c_str(), "Caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD"});
        const bool nt = m.platform == kNt, readable = m.FormBits() == m.shellBits;
        auto text = [&](const std::string& t) { return readable ? t : std::string(); };
        session->ClearCalls();
        EXPECT_EQ(GetItemText(*session, shell.listView, 0), text(s39));
        EXPECT_EQ(GetItemText(*session, shell.listView, 1), text(nt ? s45.substr(0, 40) : s45));
        EXPECT_EQ(GetItemText(*session, shell.listView, 2), text(s80.substr(0, nt ? 40 : 79)));
        // What the system code page lacks becomes '?'.
        EXPECT_EQ(GetItemText(*session, shell.listView, 3), text("Caf\xE9 \x80 ?"));
        // An index the list view does not have leaves the zero fill.
        EXPECT_EQ(GetItemText(*session, shell.listView, 99), "");
        if (nt) {
            const auto allocations = CallsOf("VirtualAllocEx");
            ASSERT_GE(allocations.size(), 2u);
            EXPECT_EQ(allocations[0].lParam, m.FormBits() == 64 ? 56 : 40);
            EXPECT_EQ(allocations[1].lParam, 80);
        }
        // The positions come through one buffer; the list view writes nothing for index 4,
        // which so repeats 3.
        session->Items(shell.listView)[1].position = Point{-75, 20};
        session->Items(shell.listView)[3].position = Point{5, 70000};
        session->ClearCalls();
        std::vector<Point> table(5);
        ReadItemPositions(*session, shell.listView, shell.process, 5, table);
        EXPECT_EQ(table,
                  (std::vector<Point>{{10, 75}, {-75, 20}, {10, 225}, {5, 70000}, {5, 70000}}));
        EXPECT_EQ(session->CountMessages(win::LVM_GETITEMPOSITION), 5);
        EXPECT_EQ(session->CountCalls("VirtualAllocEx") + session->CountCalls("MapViewOfFile"), 1);
        // A misread record makes the shell write where it should not.
        ExpectNothingLeaked(readable);
    }
}

// One text request on the foreign-process path, arguments included: the shell's bitness is asked
// with query access alone and that handle closed at once; then a record buffer of the shell's
// form and an 80-byte text buffer, each with its own handle; both written (the text buffer with
// zeros); one LVM_GETITEMW carrying the record's address; the text read back; the record released
// before the text, each release naming its own allocation and closing its own handle.
TEST_F(DesktopAccess, ItemTextRequestFollowsTheForeignProcessProtocol) {
    const auto shell = Boot(kMachines[0], {"Notes"});
    session->ClearCalls();
    EXPECT_EQ(GetItemText(*session, shell.listView, 0), "Notes");
    // clang-format off
    const std::vector<std::string> expected = {
        "OpenProcess 0x00001000", "IsWow64Process h1", "CloseHandle h1",
        "OpenProcess 0x00000038", "VirtualAllocEx h2 56",
        "OpenProcess 0x00000038", "VirtualAllocEx h3 80",
        "WriteProcessMemory a1 56", "WriteProcessMemory a2 80",
        "SendMessageA 0x0000104B a1", "ReadProcessMemory a2 80",
        "VirtualFreeEx h2 a1", "CloseHandle h2", "VirtualFreeEx h3 a2", "CloseHandle h3"};
    // clang-format on
    EXPECT_EQ(Protocol(), expected);
    ExpectNothingLeaked();
}

TEST_F(DesktopAccess, BuffersThatCannotBeObtainedCarryNoRequestAndAreReleased) {
    auto shell = Boot(kMachines[0], {"A", "B"});
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

    // Off NT: a mapping that cannot be made, and a mapping whose view cannot be mapped, which is
    // closed again.
    shell = Boot(kMachines[5], {"A", "B"});
    session->FailMappings(1);
    EXPECT_EQ(GetItemText(*session, shell.listView, 1), "");
    const int handles = session->OpenHandles();
    session->FailViews(1);
    EXPECT_EQ(GetItemText(*session, shell.listView, 1), "");
    EXPECT_EQ(session->OpenHandles(), handles);
    EXPECT_EQ(session->CountCalls("CreateFileMappingA"), 4);
    EXPECT_EQ(session->CountMessages(win::LVM_GETITEMTEXTA), 0);
    ExpectNothingLeaked();
}

// The view is the style's two lowest bits; auto-arrange is bit 256 alone.
TEST_F(DesktopAccess, ViewModeSwitchesBackAndForthAndKeepsOtherStyleBits) {
    const Hwnd lv = Desktop({{"A", {0, 0}}}, 0x0100 | 0x0040 | 1).listView;
    StyleStruct sent;
    session->OnSendMessage([&](const sim::SimCall& call) {
        if (call.message == win::WM_STYLECHANGED) {
            sent = *reinterpret_cast<const StyleStruct*>(call.lParam);
        }
    });
    modDesktopViewMode::SetDesktopViewMode(*session, 2);
    EXPECT_EQ(sent.styleNew, 0x0140u | 2);
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
    EXPECT_TRUE(IsAutoArrangeOn(*session, lv));
    session->SetStyle(lv, 0xFFFF & ~0x0100u);
    EXPECT_FALSE(IsAutoArrangeOn(*session, lv));
}

class Names : public SimTest {};

TEST_F(Names, ProfileKeyJoinsUserAndComputerUnchanged) {
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
