// The real WindowsApi (under 64-bit Wine in the cross build): handles, window handles and
// addresses go to Windows and back whole through the seam's types, and out-parameters come back.
// (The profile functions are passed straight through; the end-to-end tests read and write the
// settings through them.)
#include "platform/native/NativeWindowsApi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>
#undef RtlMoveMemory

namespace pindrel {
namespace {

void* Pointer(RemoteAddr address) {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(raw(address)));
}
Pid ThisProcess() {
    return Pid{static_cast<std::uint32_t>(::GetCurrentProcessId())};
}
// A window handle carries 32 bits; the 64-bit program sees them sign-extended.
Hwnd Low32(HWND window) {
    return Hwnd{static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window))};
}

TEST(NativeWindowsApi, MemoryAndBitnessOfThisProcessAndAMappingView) {
    NativeWindowsApi api;
    const Handle process = api.OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ |
                                               PROCESS_VM_WRITE | PROCESS_QUERY_LIMITED_INFORMATION,
                                           FALSE, ThisProcess());
    ASSERT_NE(process, Handle{0});
    // Anywhere, and in the 64-bit program above 4 GiB, where only a whole 64-bit address reaches.
    std::vector<RemoteAddr> wanted{RemoteAddr{0}};
    if (sizeof(void*) == 8)
        wanted.push_back(RemoteAddr{0x7E00'0000'0000});
    for (const RemoteAddr want : wanted) {
        const RemoteAddr buffer =
            api.VirtualAllocEx(process, want, 100, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        ASSERT_NE(buffer, RemoteAddr{0});
        EXPECT_TRUE(want == RemoteAddr{0} || buffer == want) << std::hex << raw(buffer);
        DWORD count = 0;
        EXPECT_TRUE(api.WriteProcessMemory(process, buffer, "LVITEM!", 8, &count) && count == 8);
        // The address is the real one: the bytes are there in this process's memory.
        EXPECT_STREQ(static_cast<const char*>(Pointer(buffer)), "LVITEM!");
        std::memcpy(Pointer(buffer), "back", 5);
        char read[8] = {};
        EXPECT_TRUE(api.ReadProcessMemory(process, buffer, read, 5, &count) && count == 5);
        EXPECT_STREQ(read, "back");
        EXPECT_TRUE(api.VirtualFreeEx(process, buffer, 0, MEM_RELEASE));
    }
    // A 64-bit program never runs under WOW64; the pseudo-handle and the opened one agree.
    EXPECT_EQ(api.IsProgram64Bit(), sizeof(void*) == 8);
    EXPECT_EQ(api.GetCurrentProcess(), kCurrentProcess);
    BOOL self = 7, opened = 7;
    ASSERT_TRUE(api.IsWow64Process(kCurrentProcess, &self));
    EXPECT_TRUE(self == 0 || !api.IsProgram64Bit());
    EXPECT_TRUE(api.IsWow64Process(process, &opened));
    EXPECT_EQ(opened, self);
    EXPECT_TRUE(api.CloseHandle(process));
    // A closed handle and one that was never given out.
    EXPECT_FALSE(api.CloseHandle(process));
    EXPECT_FALSE(api.IsWow64Process(process, &opened));
    EXPECT_FALSE(api.IsWow64Process(Handle{0x1234'0000'0BADull}, &opened));

    // A view of a shared mapping, through RtlMoveMemory both ways.
    const Handle mapping =
        api.CreateFileMappingA(kInvalidHandleValue, nullptr, PAGE_READWRITE, 0, 4096, nullptr);
    const RemoteAddr view = api.MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    ASSERT_NE(view, RemoteAddr{0});
    const std::uint32_t in[2] = {0x12345678u, 0xCAFEF00Du};
    std::uint32_t out[2] = {};
    api.RtlMoveMemory(view, in, sizeof in);
    EXPECT_EQ(std::memcmp(Pointer(view), in, sizeof in), 0);
    api.RtlMoveMemory(out, view, sizeof out);
    EXPECT_EQ(out[1], in[1]);
    EXPECT_TRUE(api.UnmapViewOfFile(view));
    EXPECT_TRUE(api.CloseHandle(mapping));
}

TEST(NativeWindowsApi, VersionNamesAndTextConversion) {
    NativeWindowsApi api;
    OsVersionInfoA info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(api.GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, 2u); // the NT family
    info.dwOSVersionInfoSize = 12;
    EXPECT_FALSE(api.GetVersionExA(&info));

    // The computer's name comes back with its length, the user's with the terminator counted.
    char name[64] = {};
    DWORD size = sizeof name;
    EXPECT_TRUE(api.GetComputerNameA(name, &size) && size > 0 && size == std::strlen(name));
    size = sizeof name;
    EXPECT_TRUE(api.GetUserNameA(name, &size) && size == std::strlen(name) + 1) << size;

    // Windows-1252: e acute is 0xE9, the euro sign 0x80; the count includes the NUL.
    char multi[16] = {};
    EXPECT_EQ(api.WideCharToMultiByte(1252, 0, u"caf\u00e9 \u20ac", -1, multi, sizeof multi), 7);
    EXPECT_STREQ(multi, "caf\xE9 \x80");
}

// Windows found, looked at and messaged through their handles; InvalidateRect adds the whole
// client area, or the rectangle given, to the window's update region, and fails for a window
// that is gone.
TEST(NativeWindowsApi, WindowsFoundMessagedAndInvalidatedThroughTheirHandles) {
    NativeWindowsApi api;
    HWND parent = ::CreateWindowExA(0, "Static", "PindrelApiTest", WS_POPUP | WS_VISIBLE, 0, 0, 40,
                                    30, nullptr, nullptr, nullptr, nullptr);
    HWND child = ::CreateWindowExA(0, "Static", "", WS_CHILD | 0x0102, 0, 0, 5, 5, parent, nullptr,
                                   nullptr, nullptr);
    ASSERT_TRUE(parent && child);
    const Hwnd parentHandle = api.FindWindowA("Static", "PindrelApiTest");
    EXPECT_EQ(parentHandle, Low32(parent));
    EXPECT_EQ(api.FindWindowA("PindrelNoSuchClass", nullptr), Hwnd{0});
    const Hwnd childHandle = api.FindWindowExA(parentHandle, Hwnd{0}, "STATIC", nullptr);
    EXPECT_EQ(childHandle, Low32(child));
    EXPECT_EQ(api.FindWindowExA(parentHandle, childHandle, "Static", nullptr), Hwnd{0});
    EXPECT_EQ(api.GetParent(childHandle), parentHandle);
    Pid pid{};
    EXPECT_EQ(api.GetWindowThreadProcessId(childHandle, &pid), ::GetCurrentThreadId());
    EXPECT_EQ(pid, ThisProcess());
    EXPECT_EQ(api.GetWindowLongA(childHandle, GWL_STYLE) & 0x0102, 0x0102);
    // wParam and a pointer in lParam pass through whole; a request to no window fails.
    EXPECT_EQ(api.SendMessageA(childHandle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("LVITEM")), 1);
    char text[8] = {};
    EXPECT_EQ(api.SendMessageA(childHandle, WM_GETTEXT, 4, reinterpret_cast<LPARAM>(text)), 3);
    EXPECT_STREQ(text, "LVI");
    EXPECT_EQ(api.SendMessageA(Hwnd{0}, WM_GETTEXTLENGTH, 0, 0), 0);

    const Rect part{5, 6, 15, 16};
    const std::pair<const Rect*, RECT> cases[] = {{nullptr, {0, 0, 40, 30}},
                                                  {&part, {5, 6, 15, 16}}};
    for (const auto& [rect, expected] : cases) {
        ::ValidateRect(parent, nullptr);
        RECT update{};
        ASSERT_FALSE(::GetUpdateRect(parent, &update, FALSE));
        EXPECT_TRUE(api.InvalidateRect(parentHandle, rect, TRUE));
        ASSERT_TRUE(::GetUpdateRect(parent, &update, FALSE));
        EXPECT_TRUE(::EqualRect(&update, &expected))
            << update.left << "," << update.top << "," << update.right << "," << update.bottom;
    }
    ::DestroyWindow(parent);
    EXPECT_FALSE(api.InvalidateRect(parentHandle, nullptr, TRUE));
}

} // namespace
} // namespace pindrel
