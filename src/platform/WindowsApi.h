// The Windows functions the program calls, under their Windows names.
//
// The core never includes <windows.h>; it calls these. The native implementation forwards each one
// to Windows; the simulated session (sim/) behaves as Windows does for everything the program
// relies on, failures included. Handles, ids and addresses are the types of Types.h, wide enough
// for both builds.
#pragma once

#include "platform/Types.h"

#include <cstdint>

namespace pindrel {

// The version record filled by GetVersionExA: the 32-bit OSVERSIONINFOA, 148 bytes.
struct OsVersionInfoA {
    DWORD dwOSVersionInfoSize = 0;
    DWORD dwMajorVersion = 0;
    DWORD dwMinorVersion = 0;
    DWORD dwBuildNumber = 0;
    DWORD dwPlatformId = 0;
    char szCSDVersion[128] = {};
};
static_assert(sizeof(OsVersionInfoA) == 148, "OSVERSIONINFOA is 148 bytes");

// The record that WM_STYLECHANGED points at, in this program's own memory.
struct StyleStruct {
    DWORD styleOld = 0;
    DWORD styleNew = 0;
};
static_assert(sizeof(StyleStruct) == 8, "STYLESTRUCT is 8 bytes");

// A rectangle in a window's client coordinates: the 32-bit RECT, 16 bytes.
struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};
static_assert(sizeof(Rect) == 16, "RECT is 16 bytes");

namespace win {
// Window messages.
constexpr UINT WM_SETREDRAW = 0x000B;
constexpr UINT WM_STYLECHANGED = 0x007D;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT LVM_GETITEMCOUNT = 0x1004;
constexpr UINT LVM_SETITEMPOSITION = 0x100F;
constexpr UINT LVM_GETITEMPOSITION = 0x1010;
constexpr UINT LVM_GETITEMTEXTA = 0x102D;
constexpr UINT LVM_GETITEMW = 0x104B;
constexpr UINT LVM_GETVIEW = 0x108F;
// The shell view's "auto-arrange" menu command (wParam of WM_COMMAND).
constexpr WPARAM kShellAutoArrangeCommand = 0x7041;

// Window styles and indexes.
constexpr std::int32_t GWL_STYLE = -16;
constexpr DWORD LVS_TYPEMASK = 0x0003;
constexpr DWORD LVS_AUTOARRANGE = 0x0100;
constexpr DWORD LVIF_TEXT = 0x0001;

// Process access, memory and mapping constants.
constexpr DWORD PROCESS_VM_OPERATION = 0x0008;
constexpr DWORD PROCESS_VM_READ = 0x0010;
constexpr DWORD PROCESS_VM_WRITE = 0x0020;
constexpr DWORD PROCESS_QUERY_LIMITED_INFORMATION = 0x1000;
constexpr DWORD MEM_COMMIT = 0x1000;
constexpr DWORD MEM_RESERVE = 0x2000;
constexpr DWORD MEM_RELEASE = 0x8000;
constexpr DWORD PAGE_READWRITE = 0x04;
constexpr DWORD FILE_MAP_ALL_ACCESS = 0xF001F;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

// Code pages.
constexpr UINT CP_ACP = 0;
} // namespace win

class WindowsApi {
  public:
    virtual ~WindowsApi() = default;

    // advapi32
    virtual BOOL GetUserNameA(char* buffer, DWORD* size) = 0;

    // kernel32: names, settings files, version
    virtual BOOL GetComputerNameA(char* buffer, DWORD* size) = 0;
    virtual DWORD GetPrivateProfileStringA(const char* section, const char* key,
                                           const char* defaultValue, char* buffer, DWORD size,
                                           const char* fileName) = 0;
    virtual BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                            const char* fileName) = 0;
    virtual BOOL GetVersionExA(OsVersionInfoA* info) = 0;

    // kernel32: memory in another process
    virtual Handle OpenProcess(DWORD desiredAccess, BOOL inheritHandle, Pid processId) = 0;
    virtual RemoteAddr VirtualAllocEx(Handle process, RemoteAddr address, DWORD size,
                                      DWORD allocationType, DWORD protect) = 0;
    virtual BOOL VirtualFreeEx(Handle process, RemoteAddr address, DWORD size, DWORD freeType) = 0;
    virtual BOOL WriteProcessMemory(Handle process, RemoteAddr baseAddress, const void* buffer,
                                    DWORD size, DWORD* bytesWritten) = 0;
    virtual BOOL ReadProcessMemory(Handle process, RemoteAddr baseAddress, void* buffer, DWORD size,
                                   DWORD* bytesRead) = 0;
    virtual BOOL CloseHandle(Handle object) = 0;
    // The pseudo-handle of this program's own process (kCurrentProcess); it needs no closing.
    virtual Handle GetCurrentProcess() = 0;
    // Whether the process runs under WOW64 (a 32-bit process on 64-bit Windows). The handle needs
    // PROCESS_QUERY_LIMITED_INFORMATION. Fails (0) when the handle is not usable, and also where
    // Windows has no such function (before Windows XP SP2), which the native side looks up when
    // it is called.
    virtual BOOL IsWow64Process(Handle process, BOOL* wow64) = 0;
    // Not a Windows function but a fact of the build: true for the 64-bit program. On the
    // simulated session a test chooses it, so the same tests run the core as either program.
    virtual bool IsProgram64Bit() = 0;

    // kernel32: shared page-file mappings (views are reachable at the same address from the
    // list view's process on the non-NT platforms)
    virtual Handle CreateFileMappingA(Handle file, const void* securityAttributes, DWORD protect,
                                      DWORD maximumSizeHigh, DWORD maximumSizeLow,
                                      const char* name) = 0;
    virtual RemoteAddr MapViewOfFile(Handle mapping, DWORD desiredAccess, DWORD fileOffsetHigh,
                                     DWORD fileOffsetLow, DWORD numberOfBytesToMap) = 0;
    virtual BOOL UnmapViewOfFile(RemoteAddr baseAddress) = 0;
    // RtlMoveMemory between this program's memory and a mapping view, in either direction.
    virtual void RtlMoveMemory(RemoteAddr destination, const void* source, DWORD length) = 0;
    virtual void RtlMoveMemory(void* destination, RemoteAddr source, DWORD length) = 0;

    // kernel32: text conversion between UTF-16 and the system's ANSI code page. Characters the
    // code page lacks become the code page's default character.
    virtual int WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* wide, int wideCount,
                                    char* multi, int multiSize) = 0;

    // user32
    virtual Hwnd FindWindowA(const char* className, const char* windowName) = 0;
    virtual Hwnd FindWindowExA(Hwnd parent, Hwnd childAfter, const char* className,
                               const char* windowName) = 0;
    virtual DWORD GetWindowThreadProcessId(Hwnd window, Pid* processId) = 0;
    virtual std::int32_t GetWindowLongA(Hwnd window, std::int32_t index) = 0;
    virtual Hwnd GetParent(Hwnd window) = 0;
    virtual LRESULT SendMessageA(Hwnd window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // Adds `rect` (the whole client area when it is null) to the window's update region, to be
    // painted (its background erased first when `erase` is nonzero). Window 0 would mean every
    // window on the screen.
    virtual BOOL InvalidateRect(Hwnd window, const Rect* rect, BOOL erase) = 0;
};

} // namespace pindrel
