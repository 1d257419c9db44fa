// The desktop's list view across the process boundary, on every machine the program runs on; the
// view-mode switch; the user and computer names.
#include "SimFixture.h"
#include "modDesktopViewMode.h"
#include "modNames.h"
#include "modPindrel.h"

#include <gtest/gtest.h>

#include <functional>
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

// clang-format off
const Machine kMachines[] = {
    {"x64 program, 64-bit shell", 64, 64, 64}, {"x64 program, WOW64 shell", 64, 64, 32},
    {"x86 program under WOW64, 64-bit shell", 64, 32, 64},
    {"x86 program under WOW64, WOW64 shell", 64, 32, 32},
    {"x86 program, 32-bit Windows", 32, 32, 32},
    {"x86 program, Windows 98", 32, 32, 32, win::VER_PLATFORM_WIN32_WINDOWS},
    {"x64 program, 64-bit shell, no IsWow64Process", 64, 64, 64, kNt, true},
    {"x64 program, WOW64 shell, no IsWow64Process", 64, 64, 32, kNt, true},
    {"x64 program, WOW64 shell, query refused", 64, 64, 32, kNt, false, true},
    {"x86 program, WOW64 shell, query refused", 64, 32, 32, kNt, false, true},
    {"x86 program, 64-bit shell, no IsWow64Process", 64, 32, 64, kNt, true}};
// clang-format on

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
    // The memory calls and requests since ClearCalls(), each with its telling arguments: handles
    // are named h1, h2, ... and addresses a1, a2, ... in the order they first appear.
    std::vector<std::string> Protocol() const {
        std::map<char, std::map<std::uint64_t, std::string>> names;
        auto name = [&](char kind, std::uint64_t v) {
            auto& known = names[kind];
            return " " + known.emplace(v, kind + std::to_string(known.size() + 1)).first->second;
        };
        std::vector<std::string> calls;
        for (const sim::SimCall& c : session->Calls()) {
            const std::string& f = c.function;
            const auto l = static_cast<std::uint64_t>(c.lParam);
            if (f == "OpenProcess")
                calls.push_back(f + " " + sim::Hex(c.wParam));
            else if (f == "IsWow64Process" || f == "CloseHandle")
                calls.push_back(f + name('h', c.wParam));
            else if (f == "VirtualAllocEx")
                calls.push_back(f + name('h', c.wParam) + " " + std::to_string(l));
            else if (f == "VirtualFreeEx")
                calls.push_back(f + name('h', c.wParam) + name('a', l));
            else if (f == "WriteProcessMemory" || f == "ReadProcessMemory")
                calls.push_back(f + name('a', c.wParam) + " " + std::to_string(l));
            else if (f == "SendMessageA")
                calls.push_back(f + " " + sim::Hex(c.message) + name('a', l));
        }
        return calls;
    }
};

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
        if (&m == kMachines) {
            // One text request on the foreign-process path, arguments included: the shell's
            // bitness is asked with query access alone and that handle closed at once; then a
            // record buffer of the shell's form and an 80-byte text buffer, each with its own
            // handle; both written (the text buffer with zeros); one LVM_GETITEMW carrying the
            // record's address; the text read back; the record released before the text, each
            // release naming its own allocation and closing its own handle.
            // clang-format off
            EXPECT_EQ(Protocol(), (std::vector<std::string>{
                "OpenProcess 0x00001000", "IsWow64Process h1", "CloseHandle h1",
                "OpenProcess 0x00000038", "VirtualAllocEx h2 56",
                "OpenProcess 0x00000038", "VirtualAllocEx h3 80",
                "WriteProcessMemory a1 56", "WriteProcessMemory a2 80",
                "SendMessageA 0x0000104B a1", "ReadProcessMemory a2 80",
                "VirtualFreeEx h2 a1", "CloseHandle h2", "VirtualFreeEx h3 a2", "CloseHandle h3"}));
            // clang-format on
        }
        EXPECT_EQ(GetItemText(*session, shell.listView, 1), text(nt ? s45.substr(0, 40) : s45));
        EXPECT_EQ(GetItemText(*session, shell.listView, 2), text(s80.substr(0, nt ? 40 : 79)));
        // What the system code page lacks becomes '?'.
        EXPECT_EQ(GetItemText(*session, shell.listView, 3), text("Caf\xE9 \x80 ?"));
        // An index the list view does not have leaves the zero fill.
        EXPECT_EQ(GetItemText(*session, shell.listView, 99), "");
        // The first request's record and text buffers.
        std::vector<std::int64_t> sizes;
        for (const sim::SimCall& c : session->Calls())
            if (c.function == "VirtualAllocEx" && sizes.size() < 2)
                sizes.push_back(c.lParam);
        EXPECT_EQ(sizes, nt ? (std::vector<std::int64_t>{m.FormBits() == 64 ? 56 : 40, 80})
                            : std::vector<std::int64_t>{});
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

// Buffers that cannot be had carry no request, and what was obtained is released: the process
// refused, the first of a request's allocations failing, and off NT a mapping that cannot be made
// or whose view cannot be mapped.
TEST_F(DesktopAccess, BuffersThatCannotBeObtainedCarryNoRequestAndAreReleased) {
    const struct {
        const Machine& machine;
        std::function<void(sim::SimSession&)> fault;
    } scenes[] = {
        {kMachines[0], [](sim::SimSession& s) { s.SetOpenProcessRefused(true); }},
        {kMachines[0], [](sim::SimSession& s) { s.FailAllocations(1); }},
        {kMachines[5], [](sim::SimSession& s) { s.FailMappings(1); }},
        {kMachines[5], [](sim::SimSession& s) { s.FailViews(1); }},
    };
    for (const auto& scene : scenes) {
        const auto shell = Boot(scene.machine, {"A", "B"});
        SCOPED_TRACE(&scene - scenes);
        scene.fault(*session);
        EXPECT_EQ(GetItemText(*session, shell.listView, 1), "");
        scene.fault(*session);
        std::vector<Point> table(2);
        ReadItemPositions(*session, shell.listView, shell.process, 2, table);
        EXPECT_EQ(table, (std::vector<Point>{{0, 0}, {0, 0}}));
        for (const UINT request :
             {win::LVM_GETITEMW, win::LVM_GETITEMTEXTA, win::LVM_GETITEMPOSITION})
            EXPECT_EQ(session->CountMessages(request), 0) << request;
        ExpectNothingLeaked();
    }
}

// The view is the style's two lowest bits, switched with the other bits kept, also back to the
// view the list view was created with; auto-arrange is bit 256 alone.
TEST_F(DesktopAccess, ViewModeSwitchesBackAndForthAndKeepsOtherStyleBits) {
    const Hwnd lv = Desktop({{"A", {0, 0}}}, 0x0100 | 0x0040 | 1).listView;
    StyleStruct sent;
    session->OnSendMessage([&](const sim::SimCall& call) {
        if (call.message == win::WM_STYLECHANGED)
            sent = *reinterpret_cast<const StyleStruct*>(call.lParam);
    });
    // The message goes out even when the view is already the one asked for.
    for (DWORD view : {2u, 1u, 0u, 3u, 3u}) {
        modDesktopViewMode::SetDesktopViewMode(*session, view);
        EXPECT_EQ(sent.styleNew, 0x0140u | view);
        EXPECT_EQ(session->CurrentView(lv), view);
    }
    EXPECT_EQ(session->CountMessages(win::WM_STYLECHANGED), 5);
    EXPECT_TRUE(session->AutoArrange(lv));
    EXPECT_TRUE(IsAutoArrangeOn(*session, lv));
    session->SetStyle(lv, 0xFFFF & ~0x0100u);
    EXPECT_FALSE(IsAutoArrangeOn(*session, lv));
}

class Names : public SimTest {};

TEST_F(Names, ProfileKeyJoinsUserAndComputerUnchanged) {
    EXPECT_EQ(modNames::ProfileKey(*session), "USER1@DESK1");
    session->SetUserName(" a@b ");
    EXPECT_EQ(modNames::ProfileKey(*session), " a@b @DESK1");
    // 99 characters and a terminator fit the buffer of 100; 100 do not. The computer's buffer
    // holds 511 and its terminator.
    session->SetUserName(std::string(99, 'u'));
    session->SetComputerName(std::string(511, 'c'));
    EXPECT_EQ(modNames::ProfileKey(*session), std::string(99, 'u') + "@" + std::string(511, 'c'));
    session->SetUserName(std::string(100, 'u'));
    session->SetComputerName(std::string(512, 'c'));
    EXPECT_EQ(modNames::ProfileKey(*session), "@");
}
