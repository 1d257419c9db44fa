// WindowsApi forwarded to the real Windows functions (advapi32, kernel32, user32). Not final: a
// benchmark tool changes what a few of them do.
//
// This header does not include <windows.h>: that header defines macros named like the constants of
// WindowsApi.h (WM_COMMAND, PAGE_READWRITE, ...), so it may only follow the seam headers.
#pragma once

#include "platform/WindowsApi.h"

namespace pindrel {

class NativeWindowsApi : public WindowsApi {
  public:
    BOOL GetUserNameW(char16_t* buffer, DWORD* size) override;

    BOOL GetComputerNameW(char16_t* buffer, DWORD* size) override;
    DWORD GetPrivateProfileStringW(const char16_t* section, const char16_t* key,
                                   const char16_t* defaultValue, char16_t* buffer, DWORD size,
                                   const char16_t* fileName) override;
    BOOL WritePrivateProfileStringW(const char16_t* section, const char16_t* key,
                                    const char16_t* value, const char16_t* fileName) override;
    BOOL GetVersionExA(OsVersionInfoA* info) override;
    DWORD GetLastError() override;
    DWORD GetCurrentProcessId() override;
    Handle CreateMutexW(const void* securityAttributes, BOOL initialOwner,
                        const char16_t* name) override;
    DWORD WaitForSingleObject(Handle handle, DWORD milliseconds) override;
    BOOL ReleaseMutex(Handle mutex) override;
    Handle OpenMutexW(DWORD desiredAccess, BOOL inheritHandle, const char16_t* name) override;

    Handle OpenProcess(DWORD desiredAccess, BOOL inheritHandle, Pid processId) override;
    RemoteAddr VirtualAllocEx(Handle process, RemoteAddr address, DWORD size, DWORD allocationType,
                              DWORD protect) override;
    BOOL VirtualFreeEx(Handle process, RemoteAddr address, DWORD size, DWORD freeType) override;
    BOOL WriteProcessMemory(Handle process, RemoteAddr baseAddress, const void* buffer, DWORD size,
                            DWORD* bytesWritten) override;
    BOOL ReadProcessMemory(Handle process, RemoteAddr baseAddress, void* buffer, DWORD size,
                           DWORD* bytesRead) override;
    BOOL CloseHandle(Handle object) override;
    Handle GetCurrentProcess() override;
    BOOL IsWow64Process(Handle process, BOOL* wow64) override;
    bool IsProgram64Bit() override;

    Handle CreateFileMappingA(Handle file, const void* securityAttributes, DWORD protect,
                              DWORD maximumSizeHigh, DWORD maximumSizeLow,
                              const char* name) override;
    RemoteAddr MapViewOfFile(Handle mapping, DWORD desiredAccess, DWORD fileOffsetHigh,
                             DWORD fileOffsetLow, DWORD numberOfBytesToMap) override;
    BOOL UnmapViewOfFile(RemoteAddr baseAddress) override;
    void RtlMoveMemory(RemoteAddr destination, const void* source, DWORD length) override;
    void RtlMoveMemory(void* destination, RemoteAddr source, DWORD length) override;

    int WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* wide, int wideCount,
                            char* multi, int multiSize, const char* defaultChar,
                            BOOL* usedDefaultChar) override;
    int MultiByteToWideChar(UINT codePage, DWORD flags, const char* multi, int multiCount,
                            char16_t* wide, int wideSize) override;

    Hwnd FindWindowA(const char* className, const char* windowName) override;
    Hwnd FindWindowExA(Hwnd parent, Hwnd childAfter, const char* className,
                       const char* windowName) override;
    DWORD GetWindowThreadProcessId(Hwnd window, Pid* processId) override;
    std::int32_t GetWindowLongA(Hwnd window, std::int32_t index) override;
    Hwnd GetParent(Hwnd window) override;
    LRESULT SendMessageTimeoutA(Hwnd window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags,
                                UINT timeout, std::uintptr_t* result) override;
    BOOL PostMessageA(Hwnd window, UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL InvalidateRect(Hwnd window, const Rect* rect, BOOL erase) override;

    // ShellComApi (NativeShellCom.cpp): each call made on a worker thread, within the time limit.
    HRESULT CoInitializeEx(DWORD coInit) override;
    void CoUninitialize() override;
    HRESULT CoCreateInstance(ComClass clsid, DWORD clsContext, ComInterface iid,
                             ComObject* object) override;
    HRESULT IUnknown_QueryInterface(ComObject object, ComInterface iid, ComObject* other) override;
    std::uint32_t IUnknown_Release(ComObject object) override;
    void CoTaskMemFree(ComItemId id) override;
    HRESULT IShellWindows_FindWindowSW(ComObject shellWindows, std::int32_t csidl,
                                       std::int32_t swClass, DWORD options, Hwnd* window,
                                       ComObject* dispatch) override;
    HRESULT IServiceProvider_QueryService(ComObject provider, ComService service, ComInterface iid,
                                          ComObject* object) override;
    HRESULT IShellBrowser_QueryActiveShellView(ComObject browser, ComObject* view) override;
    HRESULT IOleWindow_GetWindow(ComObject oleWindow, Hwnd* window) override;
    HRESULT IFolderView_ItemCount(ComObject view, UINT flags, std::int32_t* count) override;
    HRESULT IFolderView_Item(ComObject view, std::int32_t index, ComItemId* id) override;
    HRESULT IFolderView_GetFolder(ComObject view, ComInterface iid, ComObject* folder) override;
    HRESULT IFolderView_GetItemPosition(ComObject view, ComItemId id, Point* point) override;
    HRESULT IFolderView_SelectAndPositionItems(ComObject view, UINT count, const ComItemId* ids,
                                               const Point* points, DWORD flags) override;
    HRESULT IFolderView_GetCurrentViewMode(ComObject view, UINT* mode) override;
    HRESULT IFolderView_SetCurrentViewMode(ComObject view, UINT mode) override;
    HRESULT IFolderView2_GetCurrentFolderFlags(ComObject view, DWORD* flags) override;
    HRESULT IFolderView2_SetCurrentFolderFlags(ComObject view, DWORD mask, DWORD flags) override;
    HRESULT IShellFolder_GetDisplayNameOf(ComObject folder, ComItemId id, DWORD flags,
                                          std::u16string* name) override;
};

} // namespace pindrel
