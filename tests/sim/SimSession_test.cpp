// The simulated session must refuse what Windows refuses and answer as the shell does wherever
// the program relies on it: a lenient sim would hide the program's faults. (Its window search is
// pinned in DesktopLookup_test.cpp, its painting in PaintingHold_test.cpp.)
#include "SimFixture.h"
#include "platform/sim/SimMemory.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <tuple>
#include <vector>

namespace pindrel::sim {
namespace {

using namespace pindrel::win;
using Bytes = std::vector<std::uint8_t>;
constexpr DWORD kAll = PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE;
constexpr DWORD kQuery = PROCESS_QUERY_LIMITED_INFORMATION;

RemoteAddr Alloc(SimSession& s, Handle h, DWORD size) {
    return s.VirtualAllocEx(h, RemoteAddr{}, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}
RemoteAddr At(RemoteAddr a, std::uint64_t offset) {
    return RemoteAddr{raw(a) + offset};
}
void Put(Bytes& b, std::size_t at, std::uint64_t value, int size) {
    for (int k = 0; k < size; ++k)
        b[at + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(value >> (8 * k));
}
// LVITEM in the form of a `bits`-bit process: mask LVIF_TEXT, iItem, pszText, cchTextMax.
Bytes LvItem(int bits, std::int32_t item, RemoteAddr text, std::int32_t textMax) {
    const bool wide = bits == 64;
    Bytes b(wide ? 56 : 40, 0);
    Put(b, 0, LVIF_TEXT, 4);
    Put(b, 4, static_cast<std::uint32_t>(item), 4);
    Put(b, wide ? 24 : 20, raw(text), wide ? 8 : 4);
    Put(b, wide ? 32 : 24, static_cast<std::uint32_t>(textMax), 4);
    return b;
}

using SimSessionTest = pindrel::testing::SimTest;

// Reads and writes of another process's memory need a live allocation in that process, whole
// pages of it, and a handle with the access the call needs; MEM_RELEASE takes the base and size 0.
TEST_F(SimSessionTest, RemoteMemoryRefusesWhatWindowsRefuses) {
    SimSession& s = *session;
    const Pid shell = s.CreateShell().process;
    const Handle h = s.OpenProcess(kAll, 0, shell),
                 readOnly = s.OpenProcess(PROCESS_VM_READ, 0, shell),
                 noOperation = s.OpenProcess(PROCESS_VM_READ | PROCESS_VM_WRITE, 0, shell);
    const RemoteAddr a = Alloc(s, h, 80);
    Bytes page(4097, 0xEE);
    EXPECT_TRUE(s.ReadProcessMemory(h, a, page.data(), 4096, nullptr)) << "whole pages";
    // Handle, address, size, write: across the end, at 0, in another process, without VM_WRITE,
    // without VM_OPERATION.
    // clang-format off
    const std::tuple<Handle, RemoteAddr, DWORD, bool> refused[] = {
        {h, At(a, 4090), 10, false}, {h, a, 4097, true}, {h, RemoteAddr{}, 1, false},
        {s.OpenProcess(kAll, 0, s.SelfProcess()), a, 1, false}, {readOnly, a, 1, true},
        {noOperation, a, 1, true}};
    // clang-format on
    for (const auto& [process, at, size, write] : refused) {
        DWORD done = 9;
        EXPECT_FALSE(write ? s.WriteProcessMemory(process, at, page.data(), size, &done)
                           : s.ReadProcessMemory(process, at, page.data(), size, &done));
        EXPECT_EQ(done, 0u) << size;
    }
    EXPECT_EQ(Alloc(s, readOnly, 8), RemoteAddr{});
    // MEM_RELEASE takes size 0 and the base; then the memory is gone, and so is a closed handle.
    EXPECT_FALSE(s.VirtualFreeEx(h, a, 80, MEM_RELEASE) ||
                 s.VirtualFreeEx(h, At(a, 16), 0, MEM_RELEASE));
    EXPECT_TRUE(s.VirtualFreeEx(h, a, 0, MEM_RELEASE));
    const RemoteAddr b = Alloc(s, h, 8);
    EXPECT_FALSE(s.ReadProcessMemory(h, a, page.data(), 1, nullptr)) << "released";
    EXPECT_TRUE(s.CloseHandle(h) && !s.CloseHandle(h));
    EXPECT_FALSE(s.ReadProcessMemory(h, b, page.data(), 1, nullptr)) << "closed handle";
    EXPECT_EQ(s.OpenHandles(), 3);
}

TEST_F(SimSessionTest, ProcessesAnswerForTheirBitness) {
    // IsWow64Process's answer, and where a process's allocations lie for this program: above
    // 4 GiB ('H') or below 2 GiB ('L'); process 0 is GetCurrentProcess().
    const struct {
        int windows, program, process, missing, queryRefused;
        DWORD access;
        BOOL ok, wow64;
        char range;
    } scenes[] = {{64, 64, 32, 0, 0, kQuery, 1, 1, 'L'}, {64, 64, 64, 0, 0, kQuery, 1, 0, 'H'},
                  {64, 32, 64, 0, 0, kQuery, 1, 0, 'L'}, {32, 32, 32, 0, 0, kQuery, 1, 0, 'L'},
                  {64, 32, 0, 0, 0, 0, 1, 1, '-'},       {64, 64, 0, 0, 0, 0, 1, 0, '-'},
                  {64, 32, 0, 1, 0, 0, 0, 7, '-'},       // no IsWow64Process
                  {64, 64, 32, 0, 1, kQuery, 0, 7, 'L'}, // query access refused
                  {64, 64, 64, 0, 0, kAll, 0, 7, 'H'}};  // handle without query access
    for (const auto& c : scenes) {
        SimSession& s = NewSession();
        s.SetWindowsBits(c.windows);
        if (c.program > kMostProgramBits) {
            // A 32-bit build is never the 64-bit program, and the session says so.
            EXPECT_THROW(s.SetProgramBits(c.program), std::invalid_argument);
            continue;
        }
        s.SetProgramBits(c.program);
        s.SetIsWow64ProcessMissing(c.missing != 0);
        s.SetQueryAccessRefused(c.queryRefused != 0);
        const Pid pid = c.process ? s.CreateProcess(c.process) : Pid{};
        const Handle h = c.process ? s.OpenProcess(c.access, 0, pid) : s.GetCurrentProcess();
        BOOL wow64 = 7;
        EXPECT_EQ(s.IsWow64Process(h, &wow64), c.ok) << &c - scenes;
        EXPECT_EQ(wow64, c.wow64) << &c - scenes;
        const Handle mem = s.OpenProcess(kAll, 0, pid);
        const std::uint64_t x = raw(Alloc(s, mem, 100)), y = raw(Alloc(s, mem, 100));
        EXPECT_TRUE(c.range == '-' || (c.range == 'H' ? x > 0xFFFFFFFFu && y > x
                                                      : x != 0 && y > x && y < 0x80000000u))
            << &c - scenes;
    }
}

TEST_F(SimSessionTest, GetItemWReadsTheRecordInTheListViewsOwnForm) {
    const struct {
        int listView, record, item, textMax;
        std::uint64_t textAt;
        std::optional<std::u16string> text; // nothing: nothing is written
        bool fault;
    } scenes[] = {
        {32, 32, 0, 40, 0, std::u16string(39, u'x'), false}, // cut at cchTextMax - 1
        {64, 64, 0, 40, 0, std::u16string(39, u'x'), false},
        {64, 64, 1, 80, 0, std::nullopt, false},   // unknown item
        {64, 64, 0, 80, 4090, std::nullopt, true}, // the text runs past the allocation
        {64, 32, 0, 80, 0, std::nullopt, false},   // a 40-byte record to a 64-bit list view
        {32, 64, 0, 80, 0, std::nullopt, true},    // a 56-byte record to a 32-bit list view
    };
    for (const auto& c : scenes) {
        SimSession& s = NewSession();
        const SimShell shell = s.CreateShell(ShellShape::Standard, 0, c.listView);
        s.AddItem(shell.listView, std::string(50, 'x') + "\xE2\x98\x83", Point{});
        const Handle h = s.OpenProcess(kAll, 0, shell.process);
        const RemoteAddr record = Alloc(s, h, 56), text = Alloc(s, h, 4096);
        const Bytes item = LvItem(c.record, c.item, At(text, c.textAt), c.textMax);
        Bytes out(4096, 0xAA), expected = out;
        s.WriteProcessMemory(h, text, out.data(), 4096, nullptr);
        s.WriteProcessMemory(h, record, item.data(), static_cast<DWORD>(item.size()), nullptr);
        testing::Send(s, shell.listView, LVM_GETITEMW, 0, static_cast<LPARAM>(raw(record)));
        s.ReadProcessMemory(h, text, out.data(), 4096, nullptr);
        for (std::size_t i = 0; c.text && i <= c.text->size(); ++i)
            Put(expected, 2 * i, i < c.text->size() ? (*c.text)[i] : 0, 2);
        EXPECT_EQ(out, expected) << &c - scenes;
        EXPECT_EQ(!s.Faults().empty(), c.fault) << &c - scenes;
    }
}

// Like comctl32, the list view compares styleNew with the style it last took note of, and changes
// its view, re-arranging the items, only when the view bits differ between old and new.
TEST_F(SimSessionTest, StyleChangedComparesWithTheRememberedStyleAndTheShellFlipsAutoArrange) {
    SimSession& s = *session;
    const SimShell shell = s.CreateShell();
    s.AddItem(shell.listView, "a", Point{500, 500});
    const Point& item = s.Items(shell.listView)[0].position;
    // styleOld, styleNew, wParam, then the view and whether the items were re-arranged: the style
    // it has is ignored, so is another index; a new view; the same again; new style, same view.
    const std::tuple<DWORD, DWORD, std::int32_t, DWORD, bool> steps[] = {
        {0, 0, GWL_STYLE, 0, false},
        {0, 2, -20, 0, false},
        {0, 2, GWL_STYLE, 2, true},
        {0, 2, GWL_STYLE, 2, false},
        {3, 3 | LVS_AUTOARRANGE, GWL_STYLE, 2, false}};
    for (const auto& [oldStyle, newStyle, index, view, arranged] : steps) {
        s.Items(shell.listView)[0].position = Point{500, 500};
        StyleStruct change{oldStyle, newStyle};
        testing::Send(s, shell.listView, WM_STYLECHANGED, static_cast<WPARAM>(index),
                      reinterpret_cast<LPARAM>(&change));
        EXPECT_EQ(s.CurrentView(shell.listView), view) << newStyle;
        EXPECT_EQ(item != (Point{500, 500}), arranged) << newStyle;
    }
    EXPECT_TRUE(s.AutoArrange(shell.listView) && s.GetWindowLongA(shell.listView, GWL_STYLE) == 0)
        << "auto-arranged, and the window style stays";
    s.SetStyle(shell.listView, LVS_AUTOARRANGE);
    testing::Send(s, shell.listView, WM_COMMAND, kShellAutoArrangeCommand, 0); // not the shell view
    EXPECT_TRUE(s.AutoArrange(shell.listView));
    for (const bool on : {false, true}) {
        testing::Send(s, shell.defView, WM_COMMAND, kShellAutoArrangeCommand, 0);
        testing::Send(s, shell.listView, LVM_SETITEMPOSITION, 0, 0x00640064); // kept only when off
        EXPECT_EQ(s.AutoArrange(shell.listView), on);
        EXPECT_EQ(s.GetWindowLongA(shell.listView, GWL_STYLE), on ? 0x100 : 0);
        EXPECT_EQ(item == (Point{100, 100}), !on) << on;
    }
}

TEST_F(SimSessionTest, SharedViewsReachTheListViewOnlyOffNt) {
    for (const DWORD platform : {VER_PLATFORM_WIN32_WINDOWS, VER_PLATFORM_WIN32_NT}) {
        SimSession& s = NewSession();
        s.SetWindowsBits(32);
        s.SetPlatformId(platform);
        const SimShell shell = s.CreateShell();
        s.AddItem(shell.listView, u"Caf\u00E9", Point{});
        const RemoteAddr view = s.MapViewOfFile(
            s.CreateFileMappingA(kInvalidHandleValue, nullptr, PAGE_READWRITE, 0, 4096, nullptr),
            FILE_MAP_ALL_ACCESS, 0, 0, 0);
        const Bytes record = LvItem(32, 0, At(view, 64), 16);
        s.RtlMoveMemory(view, record.data(), 40);
        const bool nt = platform == VER_PLATFORM_WIN32_NT;
        EXPECT_EQ(
            testing::Send(s, shell.listView, LVM_GETITEMTEXTA, 0, static_cast<LPARAM>(raw(view))),
            nt ? 0 : 4);
        char text[5] = {};
        s.RtlMoveMemory(text, At(view, 64), 5);
        EXPECT_EQ(std::string(text, 5), nt ? std::string(5, '\0') : std::string("Caf\xE9", 5));
        EXPECT_EQ(s.Faults().size(), nt ? 1u : 0u);
    }
}

// What the watcher's start-up relies on, as Windows does it (the native seam test holds Windows to
// the same): OpenMutexW opens a mutex of that name and only one that exists, and a mutex that one
// process holds keeps another's wait waiting; a message posted to a window waits in its queue, one
// to HWND_BROADCAST reaches the top-level windows only, one to a window that is gone fails; a
// registered message has one number for its name whatever its letter case.
TEST_F(SimSessionTest, MutexesOpenedByNamePostedMessagesAndRegisteredOnes) {
    SimSession& s = *session;
    const Handle held = s.CreateMutexW(nullptr, 1, u"Local\\Held");
    ASSERT_NE(held, Handle{0});
    EXPECT_EQ(s.OpenMutexW(SYNCHRONIZE, 0, u"Local\\Other"), Handle{0});
    EXPECT_EQ(s.GetLastError(), ERROR_FILE_NOT_FOUND);
    s.AsOtherProcess([&] {
        const Handle opened = s.OpenMutexW(SYNCHRONIZE, 0, u"Local\\Held");
        ASSERT_NE(opened, Handle{0});
        EXPECT_EQ(s.WaitForSingleObject(opened, 100), WAIT_TIMEOUT);
        EXPECT_EQ(s.ReleaseMutex(opened), 0) << "not its owner";
        EXPECT_EQ(s.CloseHandle(opened), 1);
    });
    EXPECT_EQ(s.ReleaseMutex(held), 1);
    EXPECT_EQ(s.CloseHandle(held), 1);
    EXPECT_EQ(s.OpenMutexW(SYNCHRONIZE, 0, u"Local\\Held"), Handle{0}) << "gone with its handles";

    const SimShell shell = s.CreateShell();
    const Hwnd other = s.CreateWindow("Other", Hwnd{0}, s.SelfProcess());
    EXPECT_EQ(s.PostMessageA(other, WM_CLOSE, 1, 2), 1);
    EXPECT_EQ(s.PostMessageA(HWND_BROADCAST, WM_DISPLAYCHANGE, 32, 0), 1);
    const std::optional<SimMessage> first = s.TakePostedMessage(other);
    ASSERT_TRUE(first);
    EXPECT_EQ(std::make_tuple(first->message, first->wParam, first->lParam),
              std::make_tuple(WM_CLOSE, WPARAM{1}, LPARAM{2}));
    ASSERT_TRUE(s.TakePostedMessage(other));
    EXPECT_FALSE(s.TakePostedMessage(other));
    ASSERT_TRUE(s.TakePostedMessage(shell.progman));
    EXPECT_FALSE(s.TakePostedMessage(shell.listView)) << "a child window";
    s.DestroyWindow(other);
    EXPECT_EQ(s.PostMessageA(other, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(s.GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_TRUE(s.Faults().empty());
    EXPECT_EQ(s.PostMessageA(Hwnd{0}, WM_CLOSE, 0, 0), 1);
    EXPECT_EQ(s.Faults().size(), 1u) << "window 0 is the caller's own thread";

    const UINT taskbar = s.RegisterWindowMessageA("TaskbarCreated");
    EXPECT_GE(taskbar, 0xC000u);
    EXPECT_EQ(s.RegisterWindowMessageA("taskbarcreated"), taskbar);
    EXPECT_NE(s.RegisterWindowMessageA("Another"), taskbar);
}

} // namespace
} // namespace pindrel::sim
