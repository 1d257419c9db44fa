// The desktop through the list view's own messages, across the process boundary, on every machine
// the program runs on: one set-up of the shell's process and its memory per operation; the view
// switch; the user and computer names.
#include "ListViewDesktop.h"
#include "SimFixture.h"
#include "modDesktopViewMode.h"
#include "modNames.h"
#include "modPindrel.h"
#include "platform/sim/SimMemory.h"

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

class ListViewTransport : public SimTest {
  protected:
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
            else if (f == "SendMessageTimeoutA")
                calls.push_back(f + " " + sim::Hex(c.message) + name('a', l));
        }
        return calls;
    }
};

// Every name comes back on every machine, cut as its transport cuts: at 40 UTF-16 units through
// the shell's memory, at 79 bytes through a shared mapping. The record sent is the list view's own
// form, and a 64-bit program's addresses (above 4 GiB there) reach the list view whole. Where the
// program cannot learn the shell's bitness it takes its own form, which a shell of the other kind
// misreads: the names are lost.
TEST_F(ListViewTransport, ItemTextsComeBackOnEveryMachine) {
    const std::string s39(39, 'a'), s45 = std::string(40, 'd') + "eeeee", s80(80, 'f');
    for (const Machine& m : kMachines) {
        if (m.programBits > sim::kMostProgramBits)
            continue; // a 32-bit build is never the 64-bit program; the 64-bit builds play it
        SCOPED_TRACE(m.name);
        NewSession().SetWindowsBits(m.windowsBits);
        session->SetProgramBits(m.programBits);
        session->SetPlatformId(m.platform);
        session->SetIsWow64ProcessMissing(m.wow64Missing);
        session->SetQueryAccessRefused(m.queryRefused);
        const auto shell = session->CreateShell(sim::ShellShape::Standard, 0, m.shellBits);
        for (const std::string& name :
             {s39, s45, s80, std::string("Caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD")})
            session->AddItem(shell.listView, name, Point{});
        const bool nt = m.platform == kNt, readable = m.FormBits() == m.shellBits;
        auto text = [&](const std::string& t) { return readable ? t : std::string(); };
        session->ClearCalls();
        std::vector<std::string> names;
        {
            ListViewDesktop desktop(*session, shell.listView);
            // An index the list view does not have (the fifth) leaves the zero fill.
            names = desktop.ReadItemNames(5).names;
        }
        EXPECT_EQ(names, (std::vector<std::string>{text(s39), text(nt ? s45.substr(0, 40) : s45),
                                                   text(s80.substr(0, nt ? 40 : 79)),
                                                   text("Caf\xE9 \x80 ?"), ""}));
        if (&m == kMachines) {
            // The names of one operation, arguments included: the shell's process opened once,
            // with memory and query access, and its bitness asked through that handle; one
            // buffer for the records (a slot of 56 bytes each) and one for the texts (160 bytes
            // each), a batch's worth each; the records written at once, the text slots filled
            // with zeros at once; one LVM_GETITEMW per item carrying its record's address; the
            // texts read back at once; both buffers released and the handle closed at the end.
            // clang-format off
            EXPECT_EQ(Protocol(), (std::vector<std::string>{
                "OpenProcess 0x00001038", "IsWow64Process h1",
                "VirtualAllocEx h1 14336", "VirtualAllocEx h1 40960",
                "WriteProcessMemory a1 280", "WriteProcessMemory a2 800",
                "SendMessageTimeoutA 0x0000104B a1", "SendMessageTimeoutA 0x0000104B a3",
                "SendMessageTimeoutA 0x0000104B a4", "SendMessageTimeoutA 0x0000104B a5",
                "SendMessageTimeoutA 0x0000104B a6", "ReadProcessMemory a2 800",
                "VirtualFreeEx h1 a1", "VirtualFreeEx h1 a2", "CloseHandle h1"}));
            // clang-format on
        }
        // A misread record makes the shell write where it should not.
        ExpectNothingLeaked(readable);
    }
}

// A whole save of more icons than one batch: one process handle, one decision of the record form,
// one pair of buffers; per icon nothing but its two requests (its position and its name), and per
// batch one write and one read of each buffer.
TEST_F(ListViewTransport, ASaveSetsUpTheShellsMemoryOnce) {
    const std::int32_t icons = ListViewDesktop::kBatch * 2 + 10;
    const Hwnd lv = Desktop({}).listView;
    std::string expected;
    for (std::int32_t i = 0; i < icons; ++i) {
        session->AddItem(lv, "Icon " + std::to_string(i), Point{i, 2 * i});
        expected +=
            std::to_string(i) + "," + std::to_string(2 * i) + ",Icon " + std::to_string(i) + "\r\n";
    }
    frmMain form(*session, *session, *std::make_unique<sim::HeadlessControls>());
    session->ClearCalls();
    ProgramState state;
    modPindrel::SaveLayout(*session, *session, state);
    EXPECT_EQ(session->FileBytes(pindrel::testing::kLayout), expected);
    const int batches = 3;
    EXPECT_EQ(session->CountCalls("OpenProcess"), 1);
    // A 32-bit program asks first whether it runs under WOW64 itself.
    EXPECT_EQ(session->CountCalls("IsWow64Process"), session->ProgramBits() == 32 ? 2 : 1);
    EXPECT_EQ(session->CountCalls("VirtualAllocEx"), 2);
    EXPECT_EQ(session->CountCalls("WriteProcessMemory"), 2 * batches);
    EXPECT_EQ(session->CountCalls("ReadProcessMemory"), 2 * batches);
    EXPECT_EQ(session->CountMessages(win::LVM_GETITEMPOSITION), icons);
    EXPECT_EQ(session->CountMessages(win::LVM_GETITEMW), icons);
    ExpectNothingLeaked();
}

// The view switch keeps the style's other bits, auto-arrange among them, also on the way back to
// the view the list view was created with; whether auto-arrange is on is its bit alone.
TEST_F(ListViewTransport, ViewSwitchKeepsTheOtherStyleBits) {
    const Hwnd lv = Desktop({{"A", {0, 0}}}, win::LVS_AUTOARRANGE | 0x0040 | 1).listView;
    for (const DWORD view : {2u, 1u}) {
        modDesktopViewMode::SetDesktopViewMode(*session, view);
        EXPECT_EQ(session->CurrentView(lv), view);
        EXPECT_TRUE(session->AutoArrange(lv));
    }
    EXPECT_TRUE(IsAutoArrangeOn(*session, lv));
    session->SetStyle(lv, 0xFFFF & ~win::LVS_AUTOARRANGE);
    EXPECT_FALSE(IsAutoArrangeOn(*session, lv));
}

class Names : public SimTest {};

TEST_F(Names, ProfileKeyJoinsUserAndComputerUnchanged) {
    // 99 characters and a terminator fit the buffer of 100; 100 do not. The computer's buffer
    // holds 511 and its terminator.
    session->SetUserName(std::string(99, 'u'));
    session->SetComputerName(std::string(511, 'c'));
    EXPECT_EQ(modNames::ProfileKey(*session),
              std::u16string(99, u'u') + u"@" + std::u16string(511, u'c'));
    session->SetUserName(std::string(100, 'u'));
    session->SetComputerName(std::string(512, 'c'));
    EXPECT_EQ(modNames::ProfileKey(*session), u"@");
}
