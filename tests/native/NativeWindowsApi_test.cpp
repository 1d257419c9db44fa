// The real WindowsApi (under 64-bit Wine in the cross build), where the end-to-end tests cannot
// look: addresses above 4 GiB go to Windows and back whole, a view of a shared mapping (the path
// off NT only) is reached through RtlMoveMemory, the user name's length counts its terminator and
// InvalidateRect passes its rectangle. (Windows found, messaged and read, the versions, names and
// text conversion are driven through the real pindrel.exe by the end-to-end tests.)
#include "platform/native/NativeWindowsApi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include <windows.h>
#undef RtlMoveMemory

namespace pindrel {
namespace {

void* Pointer(RemoteAddr address) {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(raw(address)));
}

TEST(NativeWindowsApi, MemoryAboveFourGiBAndAMappingViewHoldTheirBytes) {
    NativeWindowsApi api;
    const Handle process =
        api.OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                        Pid{static_cast<std::uint32_t>(::GetCurrentProcessId())});
    ASSERT_NE(process, Handle{0});
    // In the 64-bit program above 4 GiB, where only a whole 64-bit address reaches.
    const RemoteAddr want{sizeof(void*) == 8 ? 0x7E00'0000'0000ull : 0};
    const RemoteAddr buffer =
        api.VirtualAllocEx(process, want, 100, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(buffer, RemoteAddr{0});
    EXPECT_TRUE(want == RemoteAddr{0} || buffer == want) << std::hex << raw(buffer);
    DWORD count = 0;
    EXPECT_TRUE(api.WriteProcessMemory(process, buffer, "LVITEM!", 8, &count) && count == 8);
    EXPECT_STREQ(static_cast<const char*>(Pointer(buffer)), "LVITEM!");
    std::memcpy(Pointer(buffer), "back", 5);
    char read[8] = {};
    EXPECT_TRUE(api.ReadProcessMemory(process, buffer, read, 5, &count) && count == 5);
    EXPECT_STREQ(read, "back");
    EXPECT_TRUE(api.VirtualFreeEx(process, buffer, 0, MEM_RELEASE));
    EXPECT_TRUE(api.CloseHandle(process));
    // A closed handle is refused, also where the answer is asked for.
    BOOL wow64 = 7;
    EXPECT_FALSE(api.CloseHandle(process) || api.IsWow64Process(process, &wow64));

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
    EXPECT_TRUE(api.UnmapViewOfFile(view) && api.CloseHandle(mapping));
}

// The user's name comes back with the terminator counted; the version's size is Windows' to check.
// InvalidateRect adds the whole client area, or the rectangle given, to the window's update
// region, and fails for a window that is gone.
TEST(NativeWindowsApi, UserNameVersionSizeAndInvalidatedRectangles) {
    NativeWindowsApi api;
    char16_t name[64] = {};
    DWORD size = 64;
    EXPECT_TRUE(api.GetUserNameW(name, &size) &&
                size == std::char_traits<char16_t>::length(name) + 1)
        << size;
    OsVersionInfoA info{};
    info.dwOSVersionInfoSize = 12; // a size Windows refuses, which the seam passes on
    EXPECT_FALSE(api.GetVersionExA(&info));

    HWND window = ::CreateWindowExA(0, "Static", "PindrelApiTest", WS_POPUP | WS_VISIBLE, 0, 0, 40,
                                    30, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    const Hwnd handle{static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window))};
    const Rect part{5, 6, 15, 16};
    const std::pair<const Rect*, RECT> cases[] = {{nullptr, {0, 0, 40, 30}},
                                                  {&part, {5, 6, 15, 16}}};
    for (const auto& [rect, expected] : cases) {
        ::ValidateRect(window, nullptr);
        RECT update{};
        ASSERT_FALSE(::GetUpdateRect(window, &update, FALSE));
        EXPECT_TRUE(api.InvalidateRect(handle, rect, TRUE));
        ASSERT_TRUE(::GetUpdateRect(window, &update, FALSE));
        EXPECT_TRUE(::EqualRect(&update, &expected))
            << update.left << "," << update.top << "," << update.right << "," << update.bottom;
    }
    ::DestroyWindow(window);
    EXPECT_FALSE(api.InvalidateRect(handle, nullptr, TRUE));
}

// A window whose thread stops handling messages: the request gives up at its time limit with
// ERROR_TIMEOUT; one to a window that is gone fails at once with another error.
struct Hung {
    HWND window = nullptr;
    HANDLE ready = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

::DWORD WINAPI HungThread(LPVOID parameter) {
    auto* h = static_cast<Hung*>(parameter);
    h->window = ::CreateWindowExA(0, "Static", "PindrelHung", WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, nullptr, nullptr);
    ::SetEvent(h->ready);
    ::WaitForSingleObject(h->release, INFINITE); // handles no message meanwhile
    ::DestroyWindow(h->window);
    return 0;
}

TEST(NativeWindowsApi, ARequestToAWindowThatDoesNotAnswerEndsAtItsTimeLimit) {
    Hung hung;
    HANDLE thread = ::CreateThread(nullptr, 0, HungThread, &hung, 0, nullptr);
    ASSERT_TRUE(thread);
    ::WaitForSingleObject(hung.ready, INFINITE);
    NativeWindowsApi api;
    const Hwnd window{static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(hung.window))};
    std::uintptr_t answer = 7;
    EXPECT_EQ(api.SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 200, &answer), 0);
    EXPECT_EQ(api.GetLastError(), static_cast<pindrel::DWORD>(ERROR_TIMEOUT));
    ::SetEvent(hung.release);
    ::WaitForSingleObject(thread, INFINITE);
    EXPECT_EQ(api.SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 200, &answer), 0);
    EXPECT_EQ(api.GetLastError(), static_cast<pindrel::DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    for (HANDLE h : {thread, hung.ready, hung.release})
        ::CloseHandle(h);
}

// What the watcher's start-up relies on ("-w" holds a named mutex, "-q" opens it by its name and
// posts WM_CLOSE to the watcher's window), as the simulated session does it: OpenMutexW opens only
// a mutex that exists, a posted message waits in the window's queue, and posting to a window that
// is gone fails.
TEST(NativeWindowsApi, AMutexOpenedByNameAndAMessagePostedToAWindow) {
    NativeWindowsApi api;
    const std::u16string name =
        u"Local\\PindrelSeamTest." +
        std::u16string(1, static_cast<char16_t>(u'A' + ::GetCurrentProcessId() % 26));
    const Handle held = api.CreateMutexW(nullptr, TRUE, name.c_str());
    ASSERT_NE(held, Handle{0});
    const Handle opened = api.OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
    EXPECT_NE(opened, Handle{0});
    EXPECT_EQ(api.OpenMutexW(SYNCHRONIZE, FALSE, (name + u".none").c_str()), Handle{0});
    EXPECT_EQ(api.GetLastError(), static_cast<pindrel::DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_NE(api.ReleaseMutex(held), 0);
    for (const Handle h : {held, opened})
        EXPECT_NE(api.CloseHandle(h), 0);

    HWND window = ::CreateWindowExA(0, "Static", "PindrelPosted", WS_POPUP, 0, 0, 10, 10, nullptr,
                                    nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    const Hwnd target{static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window))};
    EXPECT_NE(api.PostMessageA(target, WM_APP + 1, 7, 8), 0);
    MSG message{};
    ASSERT_TRUE(::PeekMessageA(&message, window, WM_APP + 1, WM_APP + 1, PM_REMOVE));
    EXPECT_EQ(std::make_pair(message.wParam, message.lParam),
              std::make_pair(::WPARAM{7}, ::LPARAM{8}));
    ::DestroyWindow(window);
    EXPECT_EQ(api.PostMessageA(target, WM_APP + 1, 0, 0), 0);
    EXPECT_EQ(api.GetLastError(), static_cast<pindrel::DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

} // namespace
} // namespace pindrel
