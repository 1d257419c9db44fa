// The Windows functions the program calls, under their Windows names.
//
// The core never includes <windows.h>; it calls these. The native implementation forwards each one
// to Windows; the simulated session (sim/) behaves as Windows does for everything the program
// relies on, failures included. Handles, ids and addresses are the types of Types.h, wide enough
// for both builds.
#pragma once

#include "platform/ShellComApi.h"
#include "platform/Types.h"

#include <cstddef>
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
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_ENDSESSION = 0x0016;
constexpr UINT WM_DISPLAYCHANGE = 0x007E;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_POWERBROADCAST = 0x0218;
constexpr UINT WM_WTSSESSION_CHANGE = 0x02B1;
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

// What WM_POWERBROADCAST and WM_WTSSESSION_CHANGE report (their wParam).
constexpr WPARAM PBT_APMRESUMESUSPEND = 0x0007;
constexpr WPARAM PBT_APMRESUMEAUTOMATIC = 0x0012;
constexpr WPARAM WTS_CONSOLE_CONNECT = 0x1;
constexpr WPARAM WTS_REMOTE_CONNECT = 0x3;
constexpr WPARAM WTS_SESSION_UNLOCK = 0x8;
// PostMessageA to this window posts to every top-level window.
constexpr Hwnd HWND_BROADCAST = Hwnd{0xFFFF};

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
// The access a wait needs (OpenMutexW).
constexpr DWORD SYNCHRONIZE = 0x00100000;
constexpr DWORD MEM_COMMIT = 0x1000;
constexpr DWORD MEM_RESERVE = 0x2000;
constexpr DWORD MEM_RELEASE = 0x8000;
constexpr DWORD PAGE_READWRITE = 0x04;
constexpr DWORD FILE_MAP_ALL_ACCESS = 0xF001F;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

// Code pages and conversion flags.
constexpr UINT CP_ACP = 0;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x0008;
constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x0400;

// SendMessageTimeout: give up once the receiving thread is hung (Windows' own test: no message
// handled for 5 seconds), and at the time limit in any case.
constexpr UINT SMTO_NORMAL = 0x0000;
constexpr UINT SMTO_ABORTIFHUNG = 0x0002;

// Waits and named mutexes.
constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
constexpr DWORD WAIT_ABANDONED = 0x00000080;
constexpr DWORD WAIT_TIMEOUT = 0x00000102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

// The paths the file functions take without the "\\?\" form: MAX_PATH units with the NUL.
constexpr std::size_t MAX_PATH = 260;

// Windows error codes (GetLastError) the program tells apart.
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_DRIVE = 15;
constexpr DWORD ERROR_WRITE_PROTECT = 19;
constexpr DWORD ERROR_NOT_READY = 21;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_LOCK_VIOLATION = 33;
constexpr DWORD ERROR_HANDLE_DISK_FULL = 39;
constexpr DWORD ERROR_REM_NOT_LIST = 51;
constexpr DWORD ERROR_BAD_NETPATH = 53;
constexpr DWORD ERROR_DEV_NOT_EXIST = 55;
constexpr DWORD ERROR_BAD_NET_RESP = 58;
constexpr DWORD ERROR_UNEXP_NET_ERR = 59;
constexpr DWORD ERROR_NETNAME_DELETED = 64;
constexpr DWORD ERROR_BAD_NET_NAME = 67;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_BAD_PATHNAME = 161;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_DIRECTORY = 267;
constexpr DWORD ERROR_UNABLE_TO_REMOVE_REPLACED = 1175;
constexpr DWORD ERROR_UNABLE_TO_MOVE_REPLACEMENT = 1176;
constexpr DWORD ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 = 1177;
constexpr DWORD ERROR_NO_NET_OR_BAD_PATH = 1203;
constexpr DWORD ERROR_NO_NETWORK = 1222;
constexpr DWORD ERROR_NETWORK_UNREACHABLE = 1231;
constexpr DWORD ERROR_HOST_UNREACHABLE = 1232;
constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr DWORD ERROR_TIMEOUT = 1460;
} // namespace win

// The shell's COM calls are the ShellComApi part.
class WindowsApi : public ShellComApi {
  public:
    // advapi32. Sizes count UTF-16 units.
    virtual BOOL GetUserNameW(char16_t* buffer, DWORD* size) = 0;

    // kernel32: names, settings files, version, errors
    virtual BOOL GetComputerNameW(char16_t* buffer, DWORD* size) = 0;
    // The profile functions take paths of fewer than MAX_PATH units only.
    virtual DWORD GetPrivateProfileStringW(const char16_t* section, const char16_t* key,
                                           const char16_t* defaultValue, char16_t* buffer,
                                           DWORD size, const char16_t* fileName) = 0;
    virtual BOOL WritePrivateProfileStringW(const char16_t* section, const char16_t* key,
                                            const char16_t* value, const char16_t* fileName) = 0;
    virtual BOOL GetVersionExA(OsVersionInfoA* info) = 0;
    // The error code the last failing function of this thread set.
    virtual DWORD GetLastError() = 0;
    virtual DWORD GetCurrentProcessId() = 0;

    // kernel32: named mutexes. CreateMutexW opens the mutex when one of that name exists (the
    // last error is then ERROR_ALREADY_EXISTS). WaitForSingleObject gives WAIT_OBJECT_0 when it
    // got the mutex, WAIT_ABANDONED when it got it from an owner that ended without releasing it,
    // WAIT_TIMEOUT when the time ran out first.
    virtual Handle CreateMutexW(const void* securityAttributes, BOOL initialOwner,
                                const char16_t* name) = 0;
    // Opens the mutex of that name; 0 (last error ERROR_FILE_NOT_FOUND) when none exists.
    virtual Handle OpenMutexW(DWORD desiredAccess, BOOL inheritHandle, const char16_t* name) = 0;
    virtual DWORD WaitForSingleObject(Handle handle, DWORD milliseconds) = 0;
    virtual BOOL ReleaseMutex(Handle mutex) = 0;

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
    // code page lacks become the code page's default character, and `usedDefaultChar` (when not
    // null) says whether that happened.
    virtual int WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* wide, int wideCount,
                                    char* multi, int multiSize, const char* defaultChar,
                                    BOOL* usedDefaultChar) = 0;
    virtual int MultiByteToWideChar(UINT codePage, DWORD flags, const char* multi, int multiCount,
                                    char16_t* wide, int wideSize) = 0;

    // user32
    virtual Hwnd FindWindowA(const char* className, const char* windowName) = 0;
    virtual Hwnd FindWindowExA(Hwnd parent, Hwnd childAfter, const char* className,
                               const char* windowName) = 0;
    virtual DWORD GetWindowThreadProcessId(Hwnd window, Pid* processId) = 0;
    virtual std::int32_t GetWindowLongA(Hwnd window, std::int32_t index) = 0;
    virtual Hwnd GetParent(Hwnd window) = 0;
    // Sends the message and waits for the answer at most `timeout` milliseconds. Nonzero when the
    // window answered (its answer in `result`); 0 when it did not: GetLastError gives ERROR_TIMEOUT
    // when the time ran out or the window's thread is hung (with SMTO_ABORTIFHUNG), another error
    // when the window is gone.
    virtual LRESULT SendMessageTimeoutA(Hwnd window, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT flags, UINT timeout, std::uintptr_t* result) = 0;
    // Puts the message in the queue of the window's thread and returns at once: nonzero when it
    // was posted, 0 when the window does not exist (ERROR_INVALID_WINDOW_HANDLE). The thread
    // handles it when it next takes its messages (at once, for a thread that answers; once it
    // answers again, for one that hangs). Window 0 posts to the calling thread itself;
    // HWND_BROADCAST to every top-level window.
    virtual BOOL PostMessageA(Hwnd window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // Adds `rect` (the whole client area when it is null) to the window's update region, to be
    // painted (its background erased first when `erase` is nonzero). Window 0 would mean every
    // window on the screen.
    virtual BOOL InvalidateRect(Hwnd window, const Rect* rect, BOOL erase) = 0;
};

} // namespace pindrel
