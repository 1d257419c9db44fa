// The real WindowsApi on Windows (run under Wine in the cross build): 32-bit handles and addresses
// go to Windows and back unchanged, and out-parameters come back.
#include "platform/native/NativeWindowsApi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <windows.h>
#undef RtlMoveMemory

namespace pindrel {
namespace {

TEST(NativeWindowsApi, MemoryOfAProcessThroughItsHandle) {
    NativeWindowsApi api;
    const Handle process =
        api.OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                        Pid{static_cast<std::uint32_t>(::GetCurrentProcessId())});
    ASSERT_NE(process, Handle{0});

    const RemoteAddr buffer =
        api.VirtualAllocEx(process, RemoteAddr{0}, 100, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(buffer, RemoteAddr{0});
    EXPECT_EQ(raw(buffer) % 4096, 0u);

    const char written[] = "LVITEM!";
    DWORD count = 0;
    EXPECT_TRUE(api.WriteProcessMemory(process, buffer, written, sizeof(written), &count));
    EXPECT_EQ(count, sizeof(written));
    // The address is the real one: the bytes are there in this process's memory.
    EXPECT_STREQ(reinterpret_cast<const char*>(static_cast<std::uintptr_t>(raw(buffer))), written);

    char read[sizeof(written)] = {};
    count = 0;
    EXPECT_TRUE(api.ReadProcessMemory(process, buffer, read, sizeof(read), &count));
    EXPECT_EQ(count, sizeof(read));
    EXPECT_STREQ(read, written);

    EXPECT_TRUE(api.VirtualFreeEx(process, buffer, 0, MEM_RELEASE));
    EXPECT_TRUE(api.CloseHandle(process));
    // The handle is gone: a second close and a request through it fail.
    EXPECT_FALSE(api.CloseHandle(process));
    EXPECT_EQ(api.VirtualAllocEx(process, RemoteAddr{0}, 100, MEM_COMMIT, PAGE_READWRITE),
              RemoteAddr{0});
}

TEST(NativeWindowsApi, SharedMappingViewAndRtlMoveMemory) {
    NativeWindowsApi api;
    const Handle mapping =
        api.CreateFileMappingA(kInvalidHandleValue, nullptr, PAGE_READWRITE, 0, 4096, nullptr);
    ASSERT_NE(mapping, Handle{0});
    const RemoteAddr view = api.MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    ASSERT_NE(view, RemoteAddr{0});

    const std::uint32_t in[2] = {0x12345678u, 0xCAFEF00Du};
    api.RtlMoveMemory(view, in, sizeof(in));
    std::uint32_t out[2] = {};
    api.RtlMoveMemory(out, view, sizeof(out));
    EXPECT_EQ(out[0], in[0]);
    EXPECT_EQ(out[1], in[1]);

    EXPECT_TRUE(api.UnmapViewOfFile(view));
    EXPECT_TRUE(api.CloseHandle(mapping));
}

TEST(NativeWindowsApi, VersionNamesAndTextConversion) {
    NativeWindowsApi api;
    OsVersionInfoA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_TRUE(api.GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, 2u); // the NT family
    EXPECT_GE(info.dwMajorVersion, 5u);
    OsVersionInfoA wrongSize{};
    wrongSize.dwOSVersionInfoSize = 12;
    EXPECT_FALSE(api.GetVersionExA(&wrongSize));

    char name[64] = {};
    DWORD size = sizeof(name);
    ASSERT_TRUE(api.GetComputerNameA(name, &size));
    EXPECT_EQ(size, std::strlen(name));
    EXPECT_GT(size, 0u);
    char user[257] = {};
    DWORD userSize = sizeof(user);
    ASSERT_TRUE(api.GetUserNameA(user, &userSize));
    EXPECT_GT(std::strlen(user), 0u);

    // Windows-1252: e acute is 0xE9, the euro sign 0x80; the count includes the NUL.
    char multi[16] = {};
    EXPECT_EQ(api.WideCharToMultiByte(1252, 0, u"caf\u00e9 \u20ac", -1, multi, sizeof(multi)), 7);
    EXPECT_STREQ(multi, "caf\xE9 \x80");
}

TEST(NativeWindowsApi, ProfileStrings) {
    NativeWindowsApi api;
    char temp[MAX_PATH] = {};
    ASSERT_GT(::GetTempPathA(MAX_PATH, temp), 0u);
    const std::string file = std::string(temp) + "pindrel-native-profile.ini";
    ::DeleteFileA(file.c_str());

    EXPECT_TRUE(api.WritePrivateProfileStringA("Default", "StartX", "120", file.c_str()));
    char value[8] = {};
    EXPECT_EQ(
        api.GetPrivateProfileStringA("default", "startx", "", value, sizeof(value), file.c_str()),
        3u);
    EXPECT_STREQ(value, "120");
    EXPECT_EQ(api.GetPrivateProfileStringA("Default", "DeltaY", "none", value, sizeof(value),
                                           file.c_str()),
              4u);
    EXPECT_STREQ(value, "none");
    ::DeleteFileA(file.c_str());
}

// The last WM_STYLECHANGED a test window received.
StyleStruct g_lastStyle;
::WPARAM g_lastStyleWParam = 0;

::LRESULT CALLBACK TestWindowProc(HWND window, ::UINT message, ::WPARAM wParam, ::LPARAM lParam) {
    if (message == WM_STYLECHANGED) {
        g_lastStyle = *reinterpret_cast<const StyleStruct*>(lParam);
        g_lastStyleWParam = wParam;
        return 0;
    }
    if (message == WM_USER + 1) {
        return static_cast<::LRESULT>(wParam + static_cast<::WPARAM>(lParam));
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

TEST(NativeWindowsApi, WindowsFoundAndMessagedThroughTheirHandles) {
    NativeWindowsApi api;
    WNDCLASSA wc{};
    wc.lpfnWndProc = &TestWindowProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "PindrelApiTestParent";
    ::RegisterClassA(&wc);
    wc.lpszClassName = "PindrelApiTestChild";
    ::RegisterClassA(&wc);
    HWND parent = ::CreateWindowExA(0, "PindrelApiTestParent", "parent", WS_OVERLAPPED, 0, 0, 10,
                                    10, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(parent, nullptr);
    HWND child = ::CreateWindowExA(0, "PindrelApiTestChild", "", WS_CHILD | 0x0103, 0, 0, 5, 5,
                                   parent, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(child, nullptr);
    const Hwnd parentHandle{static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(parent))};
    const Hwnd childHandle{static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(child))};

    EXPECT_EQ(api.FindWindowA("PindrelApiTestParent", nullptr), parentHandle);
    EXPECT_EQ(api.FindWindowA("PindrelNoSuchClass", nullptr), Hwnd{0});
    EXPECT_EQ(api.FindWindowExA(parentHandle, Hwnd{0}, "pindrelapitestchild", nullptr),
              childHandle);
    EXPECT_EQ(api.FindWindowExA(parentHandle, childHandle, "PindrelApiTestChild", nullptr),
              Hwnd{0});
    EXPECT_EQ(api.GetParent(childHandle), parentHandle);
    Pid pid{};
    EXPECT_EQ(api.GetWindowThreadProcessId(childHandle, &pid), ::GetCurrentThreadId());
    EXPECT_EQ(raw(pid), ::GetCurrentProcessId());
    EXPECT_EQ(api.GetWindowLongA(childHandle, GWL_STYLE) & 0x0103, 0x0103);

    // Parameters pass through whole, a pointer to a StyleStruct included.
    EXPECT_EQ(api.SendMessageA(childHandle, WM_USER + 1, 40, 2), 42);
    StyleStruct style;
    style.styleOld = 0x50000003u;
    style.styleNew = 0x50000001u;
    api.SendMessageA(childHandle, WM_STYLECHANGED, static_cast<WPARAM>(GWL_STYLE),
                     reinterpret_cast<LPARAM>(&style));
    EXPECT_EQ(g_lastStyle.styleOld, 0x50000003u);
    EXPECT_EQ(g_lastStyle.styleNew, 0x50000001u);
    EXPECT_EQ(g_lastStyleWParam, static_cast<::WPARAM>(GWL_STYLE));
    // A request to no window fails.
    EXPECT_EQ(api.SendMessageA(Hwnd{0}, WM_USER + 1, 40, 2), 0);

    ::DestroyWindow(parent);
}

} // namespace
} // namespace pindrel
