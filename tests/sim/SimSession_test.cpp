// The simulated session must refuse what Windows refuses: these tests pin its strictness.
#include "platform/sim/SimSession.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace pindrel::sim {
namespace {

using namespace pindrel::win;
using Bytes = std::vector<std::uint8_t>;

constexpr DWORD kAllAccess = PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE;

class SimSessionTest : public ::testing::Test {
  protected:
    struct Remote {
        Handle process;
        RemoteAddr address;
    };

    Remote Alloc(Pid pid, DWORD size, DWORD access = kAllAccess) {
        const Handle h = s.OpenProcess(access, 0, pid);
        return {h,
                s.VirtualAllocEx(h, RemoteAddr{}, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)};
    }
    static Bytes LvItem(std::uint32_t mask, std::int32_t item, RemoteAddr text,
                        std::int32_t textMax) {
        Bytes b(40, 0);
        const std::uint32_t fields[] = {mask, static_cast<std::uint32_t>(item),
                                        static_cast<std::uint32_t>(raw(text)),
                                        static_cast<std::uint32_t>(textMax)};
        const std::size_t offsets[] = {0, 4, 20, 24};
        for (int i = 0; i < 4; ++i)
            for (int k = 0; k < 4; ++k)
                b[offsets[i] + static_cast<std::size_t>(k)] =
                    static_cast<std::uint8_t>(fields[i] >> (8 * k));
        return b;
    }
    Bytes Read(const Remote& r, DWORD size, std::uint32_t offset = 0) {
        Bytes b(size, 0xEE);
        s.ReadProcessMemory(r.process, RemoteAddr{raw(r.address) + offset}, b.data(), size,
                            nullptr);
        return b;
    }
    void Write(const Remote& r, const Bytes& b) {
        ASSERT_TRUE(s.WriteProcessMemory(r.process, r.address, b.data(),
                                         static_cast<DWORD>(b.size()), nullptr));
    }
    static LPARAM L(RemoteAddr a) { return static_cast<LPARAM>(raw(a)); }

    // These scenes send the 40-byte record: a 32-bit Windows.
    void SetUp() override { s.SetWindowsBits(32); }

    TempFolder temp;
    SimSession s{temp.path()};
};

TEST_F(SimSessionTest, FindsWindowsByClassWithoutCaseAmongTheRightParent) {
    const SimShell shell = s.CreateShell(ShellShape::TwoListViews, 0x100);
    EXPECT_EQ(s.FindWindowA("PROGMAN", nullptr), shell.progman);
    EXPECT_EQ(s.FindWindowExA(shell.progman, Hwnd{}, "SHELLDLL_defVIEW", nullptr), shell.defView);
    EXPECT_EQ(s.FindWindowExA(shell.defView, Hwnd{}, "syslistview32", nullptr), shell.listView);
    EXPECT_EQ(s.FindWindowExA(shell.defView, shell.listView, "SysListView32", nullptr),
              shell.otherListView);
    EXPECT_EQ(s.FindWindowExA(shell.defView, shell.otherListView, "SysListView32", nullptr),
              Hwnd{});
    EXPECT_EQ(s.FindWindowExA(shell.defView, Hwnd{}, nullptr, nullptr), shell.listView);
    // Children are not top-level windows; a childAfter that is not a child finds nothing.
    EXPECT_EQ(s.FindWindowA("SHELLDLL_DefView", nullptr), Hwnd{});
    EXPECT_EQ(s.FindWindowExA(Hwnd{}, Hwnd{}, "SysListView32", nullptr), Hwnd{});
    EXPECT_EQ(s.FindWindowExA(shell.defView, shell.progman, nullptr, nullptr), Hwnd{});

    EXPECT_EQ(s.GetParent(shell.listView), shell.defView);
    EXPECT_EQ(s.GetParent(shell.progman), Hwnd{});
    Pid pid{};
    EXPECT_NE(s.GetWindowThreadProcessId(shell.listView, &pid), 0u);
    EXPECT_EQ(pid, shell.process);
    EXPECT_NE(pid, s.SelfProcess());
    EXPECT_EQ(s.GetWindowLongA(shell.listView, GWL_STYLE), 0x100);
    EXPECT_EQ(s.CountCalls("FindWindowExA"), 7);
    EXPECT_EQ(s.Calls().front().detail, "PROGMAN");

    // Destroying a window destroys its children; dead and unknown handles answer 0.
    s.DestroyWindow(shell.progman);
    for (Hwnd dead : {shell.listView, Hwnd{}, Hwnd{0x1234}}) {
        pid = Pid{77};
        EXPECT_EQ(s.GetWindowThreadProcessId(dead, &pid), 0u);
        EXPECT_EQ(pid, Pid{});
        EXPECT_EQ(s.GetWindowLongA(dead, GWL_STYLE), 0);
        EXPECT_EQ(s.GetParent(dead), Hwnd{});
        EXPECT_EQ(s.SendMessageA(dead, LVM_GETITEMCOUNT, 0, 0), 0);
    }
    EXPECT_EQ(s.CountMessages(LVM_GETITEMCOUNT), 3);
}

TEST_F(SimSessionTest, ParentZeroSearchesTopLevelWindowsWhenProgmanIsMissing) {
    const SimShell shell = s.CreateShell(ShellShape::NoProgman);
    const Hwnd progman = s.FindWindowA("Progman", nullptr);
    EXPECT_EQ(progman, Hwnd{});
    const Hwnd view = s.FindWindowExA(progman, Hwnd{}, "SHELLDLL_defVIEW", nullptr);
    EXPECT_EQ(view, shell.defView);
    EXPECT_EQ(s.FindWindowExA(view, Hwnd{}, "SysListView32", nullptr), shell.listView);

    const SimShell bare = s.CreateShell(ShellShape::NoDefView);
    EXPECT_EQ(s.FindWindowExA(Hwnd{}, Hwnd{}, "SysListView32", nullptr), bare.otherListView);
    EXPECT_EQ(bare.listView, Hwnd{});
}

TEST_F(SimSessionTest, RemoteMemoryIsWholePagesInsideOneLiveAllocation) {
    const SimShell shell = s.CreateShell();
    const Remote r = Alloc(shell.process, 80);
    ASSERT_NE(raw(r.address), 0u);
    EXPECT_EQ(raw(r.address) % 4096, 0u);
    EXPECT_EQ(s.OpenHandles(), 1);
    EXPECT_EQ(s.LiveAllocations(), 1);
    EXPECT_EQ(Read(r, 4096), Bytes(4096, 0)); // the whole page, zeroed

    Bytes page(4097, 0x5A);
    DWORD done = 99;
    EXPECT_FALSE(s.WriteProcessMemory(r.process, r.address, page.data(), 4097, &done));
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(Read(r, 1, 0), Bytes(1, 0)) << "a refused write copies nothing";
    Bytes tail(10, 0xEE);
    EXPECT_FALSE(
        s.ReadProcessMemory(r.process, RemoteAddr{raw(r.address) + 4090}, tail.data(), 10, &done));
    EXPECT_EQ(tail, Bytes(10, 0xEE));
    EXPECT_FALSE(s.ReadProcessMemory(r.process, RemoteAddr{}, tail.data(), 1, &done));

    // The same address means nothing in another process: this one has no allocation there.
    const Handle self = s.OpenProcess(kAllAccess, 0, s.SelfProcess());
    EXPECT_FALSE(s.ReadProcessMemory(self, r.address, tail.data(), 1, &done));

    // Access rights: a read-only handle cannot allocate or write.
    const Handle readOnly = s.OpenProcess(PROCESS_VM_READ, 0, shell.process);
    EXPECT_EQ(s.VirtualAllocEx(readOnly, RemoteAddr{}, 8, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE),
              RemoteAddr{});
    EXPECT_FALSE(s.WriteProcessMemory(readOnly, r.address, page.data(), 1, &done));
    EXPECT_TRUE(s.ReadProcessMemory(readOnly, r.address, tail.data(), 1, &done));
    EXPECT_EQ(
        s.VirtualAllocEx(r.process, RemoteAddr{}, 0, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE),
        RemoteAddr{});

    // MEM_RELEASE wants the exact base and size 0.
    EXPECT_FALSE(s.VirtualFreeEx(r.process, r.address, 80, MEM_RELEASE));
    EXPECT_FALSE(s.VirtualFreeEx(r.process, RemoteAddr{raw(r.address) + 16}, 0, MEM_RELEASE));
    EXPECT_EQ(s.LiveAllocations(), 1);
    EXPECT_TRUE(s.VirtualFreeEx(r.process, r.address, 0, MEM_RELEASE));
    EXPECT_FALSE(s.VirtualFreeEx(r.process, r.address, 0, MEM_RELEASE));
    EXPECT_FALSE(s.ReadProcessMemory(r.process, r.address, tail.data(), 1, &done));
    EXPECT_EQ(s.LiveAllocations(), 0);

    // A closed handle is refused everywhere, and cannot be closed twice.
    EXPECT_TRUE(s.CloseHandle(r.process));
    EXPECT_FALSE(s.CloseHandle(r.process));
    EXPECT_EQ(
        s.VirtualAllocEx(r.process, RemoteAddr{}, 8, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE),
        RemoteAddr{});
    EXPECT_EQ(s.OpenHandles(), 2);
}

TEST_F(SimSessionTest, AllocationFailuresOpenRefusalAndTheNonNtPlatform) {
    const SimShell shell = s.CreateShell();
    EXPECT_EQ(s.OpenProcess(kAllAccess, 0, Pid{0x9999}), Handle{});
    s.SetOpenProcessRefused(true);
    EXPECT_EQ(s.OpenProcess(kAllAccess, 0, shell.process), Handle{});
    s.SetOpenProcessRefused(false);
    s.FailAllocations(1);
    EXPECT_EQ(Alloc(shell.process, 40).address, RemoteAddr{});
    const Remote a = Alloc(shell.process, 40);
    const Remote b = Alloc(shell.process, 40);
    EXPECT_NE(a.address, RemoteAddr{});
    EXPECT_NE(a.address, b.address);
    s.SetPlatformId(VER_PLATFORM_WIN32_WINDOWS); // Windows 9x has no VirtualAllocEx
    EXPECT_EQ(Alloc(shell.process, 40).address, RemoteAddr{});
    EXPECT_EQ(s.OpenHandles(), 4);
}

TEST_F(SimSessionTest, SharedViewsLiveWhileAHandleOrViewRemains) {
    EXPECT_EQ(s.CreateFileMappingA(Handle{4}, nullptr, PAGE_READWRITE, 0, 40, nullptr), Handle{});
    EXPECT_EQ(s.CreateFileMappingA(kInvalidHandleValue, nullptr, PAGE_READWRITE, 0, 0, nullptr),
              Handle{});
    s.FailMappings(1);
    EXPECT_EQ(s.CreateFileMappingA(kInvalidHandleValue, nullptr, PAGE_READWRITE, 0, 40, nullptr),
              Handle{});
    const Handle h =
        s.CreateFileMappingA(kInvalidHandleValue, nullptr, PAGE_READWRITE, 0, 40, nullptr);
    ASSERT_NE(h, Handle{});
    const RemoteAddr view = s.MapViewOfFile(h, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    ASSERT_GE(raw(view), 0x80000000u);

    const char in[] = "abcd";
    char out[5] = "zzzz";
    s.RtlMoveMemory(view, in, 5);
    s.RtlMoveMemory(out, view, 5);
    EXPECT_STREQ(out, "abcd");
    EXPECT_TRUE(s.Faults().empty());
    char edge[4] = {'q', 'q', 'q', 'q'};
    s.RtlMoveMemory(edge, RemoteAddr{raw(view) + 4094}, 4); // past the view's one page
    EXPECT_EQ(edge[0], 'q');
    ASSERT_EQ(s.Faults().size(), 1u);
    EXPECT_NE(s.Faults()[0].find("read outside any mapped view"), std::string::npos);

    EXPECT_TRUE(s.CloseHandle(h));
    EXPECT_EQ(s.OpenHandles(), 0);
    EXPECT_EQ(s.LiveMappings(), 1) << "the view keeps the mapping alive";
    EXPECT_FALSE(s.UnmapViewOfFile(RemoteAddr{raw(view) + 8}));
    EXPECT_TRUE(s.UnmapViewOfFile(view));
    EXPECT_EQ(s.LiveMappings(), 0);
    EXPECT_EQ(s.LiveViews(), 0);
    s.RtlMoveMemory(view, in, 1);
    EXPECT_EQ(s.Faults().size(), 2u);
}

TEST_F(SimSessionTest, GetItemWCutsAtTextMaxLessOneAndWritesNothingForUnknownItems) {
    const SimShell shell = s.CreateShell();
    s.AddItem(shell.listView, "Recycle Bin", Point{1, 2});
    s.AddItem(shell.listView, std::string(50, 'x') + "\xE2\x98\x83", Point{3, 4}); // 51 units
    const Remote record = Alloc(shell.process, 40);
    const Remote text = Alloc(shell.process, 160);
    Write(text, Bytes(200, 0xAA));

    Write(record, LvItem(LVIF_TEXT, 1, text.address, 40));
    EXPECT_EQ(s.SendMessageA(shell.listView, LVM_GETITEMW, 0, L(record.address)), 1);
    const Bytes got = Read(text, 84);
    for (std::size_t i = 0; i < 78; i += 2)
        EXPECT_EQ(got[i] * 256 + got[i + 1], 'x' * 256) << i;
    EXPECT_EQ(got[78], 0);
    EXPECT_EQ(got[79], 0);
    EXPECT_EQ(got[80], 0xAA) << "nothing beyond cchTextMax units";

    Write(text, Bytes(200, 0xAA));
    Write(record, LvItem(LVIF_TEXT, 0, text.address, 80));
    EXPECT_EQ(s.SendMessageA(shell.listView, LVM_GETITEMW, 0, L(record.address)), 1);
    EXPECT_EQ(Read(text, 4), (Bytes{'R', 0, 'e', 0}));
    EXPECT_EQ(Read(text, 3, 22), (Bytes{0, 0, 0xAA}));

    Write(text, Bytes(200, 0xAA));
    Write(record, LvItem(LVIF_TEXT, 2, text.address, 80));
    EXPECT_EQ(s.SendMessageA(shell.listView, LVM_GETITEMW, 0, L(record.address)), 0);
    Write(record, LvItem(0, 0, text.address, 80)); // no LVIF_TEXT: nothing asked for
    EXPECT_EQ(s.SendMessageA(shell.listView, LVM_GETITEMW, 0, L(record.address)), 1);
    EXPECT_EQ(Read(text, 2), Bytes(2, 0xAA));
    EXPECT_TRUE(s.Faults().empty());

    // The text pointer must lead to room for the whole answer.
    Write(record, LvItem(LVIF_TEXT, 0, RemoteAddr{raw(text.address) + 4090}, 80));
    EXPECT_EQ(s.SendMessageA(shell.listView, LVM_GETITEMW, 0, L(record.address)), 0);
    ASSERT_EQ(s.Faults().size(), 1u);
    EXPECT_NE(s.Faults()[0].find("list view write outside any allocation"), std::string::npos);
}

TEST_F(SimSessionTest, ListViewFaultsOnMemoryOfTheProgramsOwnProcess) {
    const SimShell shell = s.CreateShell();
    s.AddItem(shell.listView, "a", Point{});
    const Remote mine = Alloc(s.SelfProcess(), 40);
    ASSERT_NE(mine.address, RemoteAddr{});
    EXPECT_EQ(s.SendMessageA(shell.listView, LVM_GETITEMW, 0, L(mine.address)), 0);
    EXPECT_EQ(s.SendMessageA(shell.listView, LVM_GETITEMPOSITION, 0, 0), 0);
    ASSERT_EQ(s.Faults().size(), 2u);
    EXPECT_EQ(s.Faults()[0].rfind("list view read outside any allocation at 0x", 0), 0u)
        << s.Faults()[0];
    EXPECT_NE(s.Faults()[1].find("write outside any allocation at 0x00000000"), std::string::npos);
}

TEST_F(SimSessionTest, GetItemTextAConvertsToCp1252AndSharedViewsAreReachableOnlyOffNt) {
    const SimShell shell = s.CreateShell();
    s.AddItem(shell.listView, u"Caf\u00E9 \u20AC\u2603\U0001F600!", Point{});
    s.SetPlatformId(VER_PLATFORM_WIN32_WINDOWS);
    const Handle hr =
        s.CreateFileMappingA(kInvalidHandleValue, nullptr, PAGE_READWRITE, 0, 40, nullptr);
    const Handle ht =
        s.CreateFileMappingA(kInvalidHandleValue, nullptr, PAGE_READWRITE, 0, 80, nullptr);
    const RemoteAddr record = s.MapViewOfFile(hr, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    const RemoteAddr text = s.MapViewOfFile(ht, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    const auto ask = [&](std::int32_t textMax, WPARAM index, char(&out)[16]) {
        const Bytes item = LvItem(0, 0, text, textMax);
        std::memset(out, '#', sizeof out);
        s.RtlMoveMemory(text, out, sizeof out);
        s.RtlMoveMemory(record, item.data(), 40);
        const LRESULT n = s.SendMessageA(shell.listView, LVM_GETITEMTEXTA, index, L(record));
        s.RtlMoveMemory(out, text, sizeof out);
        return n;
    };
    char out[16];
    EXPECT_EQ(ask(80, 0, out), 9);
    EXPECT_EQ(std::string(out, 10), std::string("Caf\xE9 \x80?"
                                                "?!") +
                                        '\0');
    EXPECT_EQ(ask(5, 0, out), 4);
    EXPECT_EQ(std::string(out, 6), std::string("Caf\xE9") + '\0' + '#');
    EXPECT_EQ(ask(80, 1, out), 0);
    EXPECT_EQ(out[0], '#');
    EXPECT_TRUE(s.Faults().empty());

    s.SetPlatformId(VER_PLATFORM_WIN32_NT); // the program's view is not mapped in the shell
    EXPECT_EQ(ask(80, 0, out), 0);
    EXPECT_EQ(out[0], '#');
    EXPECT_EQ(s.Faults().size(), 1u);
}

TEST_F(SimSessionTest, PositionsMoveUnlessAutoArrangeKeepsTheItemsInPlace) {
    const SimShell shell = s.CreateShell(ShellShape::Standard, 2);
    s.AddItem(shell.listView, "a", Point{-7, 300});
    const Remote pt = Alloc(shell.process, 8);
    Write(pt, Bytes(8, 0xAA));
    EXPECT_EQ(s.SendMessageA(shell.listView, LVM_GETITEMPOSITION, 1, L(pt.address)), 0);
    EXPECT_EQ(Read(pt, 8), Bytes(8, 0xAA));
    EXPECT_EQ(s.SendMessageA(shell.listView, LVM_GETITEMPOSITION, 0, L(pt.address)), 1);
    EXPECT_EQ(Read(pt, 8), (Bytes{0xF9, 0xFF, 0xFF, 0xFF, 0x2C, 0x01, 0, 0}));

    EXPECT_EQ(s.SendMessageA(shell.listView, LVM_SETITEMPOSITION, 0, 0x000AFFFB), 1);
    EXPECT_EQ(s.Items(shell.listView)[0].position, (Point{-5, 10}));
    EXPECT_EQ(
        s.SendMessageA(shell.listView, LVM_SETITEMPOSITION, 0, static_cast<LPARAM>(0x80000000u)),
        1);
    EXPECT_EQ(s.Items(shell.listView)[0].position, (Point{0, -32768}));
    EXPECT_EQ(s.SendMessageA(shell.listView, LVM_SETITEMPOSITION, 1, 0), 0);
    EXPECT_EQ(s.SendMessageA(shell.listView, LVM_GETVIEW, 0, 0), 2);

    s.SetStyle(shell.listView, 2 | LVS_AUTOARRANGE);
    s.SendMessageA(shell.listView, LVM_SETITEMPOSITION, 0, 0x00050005);
    EXPECT_EQ(s.Items(shell.listView)[0].position, (Point{0, -32768}));
}

TEST_F(SimSessionTest, StyleChangedComparesWithTheRememberedStyleAndTheOldViewBits) {
    const SimShell shell = s.CreateShell(ShellShape::Standard, 0);
    s.AddItem(shell.listView, "a", Point{500, 500});
    s.AddItem(shell.listView, "b", Point{600, 600});
    const auto send = [&](DWORD oldStyle, DWORD newStyle,
                          WPARAM wParam = static_cast<WPARAM>(GWL_STYLE)) {
        StyleStruct change{oldStyle, newStyle};
        s.SendMessageA(shell.listView, WM_STYLECHANGED, wParam, reinterpret_cast<LPARAM>(&change));
    };
    send(0, 0);                           // equal to the remembered style: ignored
    send(0, 2, static_cast<WPARAM>(-20)); // not GWL_STYLE: ignored
    EXPECT_EQ(s.ViewChanges(shell.listView), 0);
    EXPECT_EQ(s.Items(shell.listView)[0].position, (Point{500, 500}));

    send(0, 2);
    EXPECT_EQ(s.CurrentView(shell.listView), 2u);
    EXPECT_EQ(s.ViewChanges(shell.listView), 1);
    EXPECT_NE(s.Items(shell.listView)[0].position, (Point{500, 500})) << "a view change arranges";
    EXPECT_EQ(s.Items(shell.listView)[1].position.x, s.Items(shell.listView)[0].position.x);
    EXPECT_EQ(s.GetWindowLongA(shell.listView, GWL_STYLE), 0)
        << "the window's style is not written";

    send(0, 2); // the list view already took note of style 2
    EXPECT_EQ(s.ViewChanges(shell.listView), 1);
    send(3, 3 | LVS_AUTOARRANGE); // new to the list view, but old and new views agree
    EXPECT_EQ(s.CurrentView(shell.listView), 2u);
    EXPECT_TRUE(s.AutoArrange(shell.listView));
    EXPECT_EQ(s.ViewChanges(shell.listView), 1);
}

TEST_F(SimSessionTest, ShellViewCommandFlipsAutoArrangeOfItsListView) {
    const SimShell shell = s.CreateShell(ShellShape::Standard, LVS_AUTOARRANGE | 0x40);
    s.AddItem(shell.listView, "a", Point{400, 400});
    s.SendMessageA(shell.listView, WM_COMMAND, kShellAutoArrangeCommand, 0); // wrong window
    s.SendMessageA(shell.defView, WM_COMMAND, 0x7042, 0);
    EXPECT_TRUE(s.AutoArrange(shell.listView));

    s.SendMessageA(shell.defView, WM_COMMAND, kShellAutoArrangeCommand, 0);
    EXPECT_FALSE(s.AutoArrange(shell.listView));
    EXPECT_EQ(s.GetWindowLongA(shell.listView, GWL_STYLE), 0x40);
    EXPECT_EQ(s.Items(shell.listView)[0].position, (Point{400, 400}));
    s.SendMessageA(shell.listView, LVM_SETITEMPOSITION, 0, 0x00640064);
    EXPECT_EQ(s.Items(shell.listView)[0].position, (Point{100, 100}));

    s.SendMessageA(shell.defView, WM_COMMAND, kShellAutoArrangeCommand, 0);
    EXPECT_EQ(s.GetWindowLongA(shell.listView, GWL_STYLE),
              static_cast<std::int32_t>(LVS_AUTOARRANGE | 0x40));
    EXPECT_NE(s.Items(shell.listView)[0].position, (Point{100, 100})) << "switching on arranges";
}

TEST_F(SimSessionTest, HookRunsBeforeEachRequestAndAWindowCanVanishMidway) {
    const SimShell shell = s.CreateShell();
    std::vector<UINT> seen;
    s.OnSendMessage([&](const SimCall& call) {
        seen.push_back(call.message);
        if (seen.size() == 1)
            s.AddItem(shell.listView, "new", Point{});
    });
    s.DestroyWindowAfterRequests(shell.listView, 2);
    EXPECT_EQ(s.SendMessageA(shell.listView, LVM_GETITEMCOUNT, 0, 0), 1);
    EXPECT_EQ(s.SendMessageA(shell.listView, LVM_GETVIEW, 0, 0), 0);
    EXPECT_TRUE(!s.IsWindow(shell.listView));
    EXPECT_EQ(s.SendMessageA(shell.listView, LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_EQ(seen, (std::vector<UINT>{LVM_GETITEMCOUNT, LVM_GETVIEW, LVM_GETITEMCOUNT}));
    EXPECT_EQ(s.Calls().back().window, shell.listView);
}

TEST_F(SimSessionTest, NamesVersionAndTextConversionFollowWindowsBufferRules) {
    char name[16];
    std::memset(name, '#', sizeof name);
    DWORD size = 5; // "USER1" needs 6 with its NUL
    EXPECT_FALSE(s.GetUserNameA(name, &size));
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(name[0], '#');
    EXPECT_TRUE(s.GetUserNameA(name, &size));
    EXPECT_STREQ(name, "USER1");
    EXPECT_EQ(size, 6u);

    s.SetComputerName("DESKTOP7");
    size = 8;
    EXPECT_FALSE(s.GetComputerNameA(name, &size));
    EXPECT_EQ(size, 9u);
    size = 512;
    EXPECT_TRUE(s.GetComputerNameA(name, &size));
    EXPECT_EQ(size, 8u) << "without the NUL on success";
    EXPECT_STREQ(name, "DESKTOP7");

    OsVersionInfoA info;
    EXPECT_FALSE(s.GetVersionExA(&info)) << "dwOSVersionInfoSize 0";
    info.dwOSVersionInfoSize = 148;
    EXPECT_TRUE(s.GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
    s.SetPlatformId(VER_PLATFORM_WIN32_WINDOWS);
    EXPECT_TRUE(s.GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_WINDOWS);
    s.SetVersionQueryFails(true);
    info.dwPlatformId = 0;
    EXPECT_FALSE(s.GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, 0u);

    const char16_t wide[] = u"\u00E9\u20AC\u0100\U0001F600z";
    EXPECT_EQ(s.WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0), 6);
    char multi[8] = "#######";
    EXPECT_EQ(s.WideCharToMultiByte(CP_ACP, 0, wide, -1, multi, 5), 0);
    EXPECT_EQ(multi[0], '#');
    EXPECT_EQ(s.WideCharToMultiByte(CP_ACP, 0, wide, 6, multi, 8), 5);
    EXPECT_EQ(std::string(multi, 6), "\xE9\x80??z#");

    EXPECT_EQ(Cp1252ToUtf16("\x80\x81\x9F\xFF"), u"\u20AC\u0081\u0178\u00FF");
    EXPECT_EQ(Utf16ToCp1252(Cp1252ToUtf16(std::string("\x80\x8D\xA0z", 4))), "\x80\x8D\xA0z");
    const std::string utf8 = "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80";
    EXPECT_EQ(Utf8ToUtf16(utf8), u"Caf\u00E9 \u20AC \U0001F600");
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(utf8)), utf8);
}

} // namespace
} // namespace pindrel::sim
