// A simulated Windows session: a strict test double of the platform.
//
// It implements WindowsApi and Runtime, and behaves as Windows does for everything the program
// relies on, including the failures:
//  - windows with classes (matched without regard to case), parents, owning processes and styles;
//    FindWindowA/FindWindowExA with parent 0 searching the top-level windows, in creation order
//    (the z-order here), and going on after the window given to start after, which must be a
//    child of the parent (a top-level window for parent 0); requests to window 0 or to an unknown
//    window fail;
//  - processes with their own address spaces: VirtualAllocEx commits whole 4 KiB pages; reads and
//    writes outside a live allocation fail; a list view that reads or writes outside one records a
//    fault (on real Windows it would crash the shell); handles must be open, with the access the
//    call needs, and are counted;
//  - the shared mapping arena: views of unnamed page-file mappings, reachable at the same address
//    from every process when the platform is not NT (on NT only from the process that mapped them);
//  - the shell: "Progman" -> "SHELLDLL_DefView" -> "SysListView32", or that view under one of
//    several top-level "WorkerW" windows; the list view answers the list-view messages the
//    program sends, decoding the LVITEM of its own process's form from that process's memory;
//    the shell view flips LVS_AUTOARRANGE on WM_COMMAND 0x7041;
//  - posted messages, waiting in their window's queue, and registered window messages;
//  - painting: WM_SETREDRAW turns a window's painting off and on, the list view repaints after
//    each change while it is on, and InvalidateRect repaints a window whose painting is on;
//  - user and computer names, the platform id, the screen metrics, the executable's path and the
//    command line;
//  - a file system of Windows paths ("C:\Tools\x.txt") mapped to a host folder, with read-only
//    files and folders, locked files and an injectable "disk full";
//  - an INI engine with Windows' GetPrivateProfileStringA/WritePrivateProfileStringA semantics;
//  - a call log and counters of what is open, and fault injection.
//
// This class is a facade: each part of the simulation is its own small piece beside it
// (SimWindows, SimMemory with SimAddressSpace, SimHandles, SimMappings, SimMutexes, SimListView,
// SimFiles with SimPaths, SimProfile and SimIni, SimSystem, SimClock, SimCodePage, SimMessages,
// SimLog). Its own code is in three files: the set-up and observation (SimSession.cpp), the
// WindowsApi calls (SimSessionWindowsApi.cpp) and the Runtime (SimSessionRuntime.cpp).
#pragma once

#include "platform/Runtime.h"
#include "platform/WindowsApi.h"
#include "platform/sim/SimCodePage.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimMessages.h"
#include "platform/sim/SimShellCom.h"
#include "platform/sim/SimWindows.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pindrel::sim {

class SimSession : public WindowsApi, public Runtime {
  public:
    // Drive-letter paths map to hostRoot/<lower-case drive letter>/...; the folder is created.
    explicit SimSession(std::filesystem::path hostRoot);
    ~SimSession() override;

    SimSession(const SimSession&) = delete;
    SimSession& operator=(const SimSession&) = delete;

    // ---- identity, platform, screen, executable --------------------------------------------
    // Defaults: user "USER1", computer "DESK1", NT (platform id 2), 1024x768 pixels at 15 twips
    // per pixel, executable "C:\Tools\Pindrel.exe", empty command line, code page Windows-1252.
    // Names and paths are given in UTF-8 here (any name Windows can hold) and held as UTF-16.
    void SetUserName(const std::string& name);
    void SetComputerName(const std::string& name);
    // A platform other than NT (2) is 32-bit Windows.
    void SetPlatformId(DWORD platformId);
    // The NT version GetVersionExA reports (default 5.1.2600, Windows XP; 10.0.19045 is
    // Windows 10 22H2).
    void SetWindowsVersion(DWORD major, DWORD minor, DWORD build);
    // The bitness of Windows (default 64) and of this program (default: DefaultProgramBits()). On
    // 32-bit Windows the program and every process are 32-bit; on 64-bit Windows a 32-bit process
    // runs under WOW64.
    void SetWindowsBits(int bits);
    void SetProgramBits(int bits);
    int ProgramBits() const;
    // IsWow64Process is missing (Windows before XP SP2): every call fails.
    void SetIsWow64ProcessMissing(bool missing);
    // OpenProcess with PROCESS_QUERY_LIMITED_INFORMATION is refused (memory access is not).
    void SetQueryAccessRefused(bool refused);
    void SetVersionQueryFails(bool fails);
    // A screen known only by its size in twips (the platform reports no pixels).
    void SetScreen(float widthTwips, float heightTwips, float twipsPerPixelX, float twipsPerPixelY);
    // A screen the platform reports in pixels, with its size in twips made from them as Windows
    // programs make it (pixels times twips per pixel, in single precision). twipsPerPixelY 0: the
    // same as along x.
    void SetScreenPixels(int width, int height, float twipsPerPixelX = 15.0f,
                         float twipsPerPixelY = 0.0f);
    void SetExecutable(const std::string& windowsPath);
    void SetCommandLine(const std::string& argumentText);
    Pid SelfProcess() const;
    // Runs `run` as another process of the session (another run of the program): the handles it
    // opens are its own, and when `run` returns (or throws) the process ends, its handles are
    // closed and the mutexes it held are abandoned.
    void AsOtherProcess(const std::function<void()>& run);
    // The session's clock, in milliseconds: it moves on only when something waits (a mutex held
    // elsewhere, a window whose thread does not answer).
    std::uint64_t NowMs() const;
    // Time passes: the clock moves on by `ms`.
    void AdvanceClock(std::uint64_t ms);
    // Names of the named mutexes that exist.
    std::vector<std::u16string> MutexNames() const;

    // ---- windows and processes ---------------------------------------------------------------
    // A process of `bits` bits (0: the bitness of Windows).
    Pid CreateProcess(int bits = 0);
    // A window of `className` (a list view when the class is "SysListView32", a shell view when it
    // is "SHELLDLL_DefView"), owned by `owner`, under `parent` (Hwnd{0}: top-level).
    Hwnd CreateWindow(const std::string& className, Hwnd parent, Pid owner, DWORD style = 0);
    void DestroyWindow(Hwnd window);
    bool IsWindow(Hwnd window) const;
    // The oldest message posted to the window (PostMessageA) and not yet taken.
    std::optional<SimMessage> TakePostedMessage(Hwnd window);
    // RegisterWindowMessageA: the session's number for the message of that name.
    UINT RegisterWindowMessageA(const char* name);
    // Builds the shell in a new process of `bits` bits (0: the bitness of Windows).
    // `listViewStyle` is the list view's window style (its two lowest bits are the view;
    // LVS_AUTOARRANGE 0x100).
    SimShell CreateShell(ShellShape shape = ShellShape::Standard, DWORD listViewStyle = 0,
                         int bits = 0);

    // ---- list-view content -------------------------------------------------------------------
    void AddItem(Hwnd listView, const std::u16string& text, Point position);
    // `text` is UTF-8 here for convenience; it is held as UTF-16.
    void AddItem(Hwnd listView, const std::string& utf8Text, Point position);
    std::vector<SimItem>& Items(Hwnd listView);
    // The window style (what GetWindowLongA(GWL_STYLE) gives). Setting it also sets the list
    // view's remembered style and view, as SetWindowLong on a real list view would.
    DWORD Style(Hwnd window) const;
    void SetStyle(Hwnd window, DWORD style);
    // The view the list view uses now (what LVM_GETVIEW gives): 0 icon, 1 details, 2 small icon,
    // 3 list.
    DWORD CurrentView(Hwnd listView) const;
    bool AutoArrange(Hwnd listView) const;
    // Number of times the list view changed its view (each change re-arranges its items).
    int ViewChanges(Hwnd listView) const;

    // ---- painting ----------------------------------------------------------------------------
    // Whether the window paints (WM_SETREDRAW FALSE turns it off, TRUE on again; on at first).
    bool PaintingOn(Hwnd window) const;
    // Moves and arrangements the list view painted one at a time, each with a repaint of its own.
    int PaintedChanges(Hwnd listView) const;
    // True while the list view shows an old picture: it changed while its painting was off, and
    // no InvalidateRect has reached it with its painting on since.
    bool ShowsOldPicture(Hwnd listView) const;
    // InvalidateRect calls that reached the window.
    int Invalidates(Hwnd window) const;

    // ---- observation -------------------------------------------------------------------------
    const std::vector<SimCall>& Calls() const;
    void ClearCalls();
    // Number of SendMessageTimeoutA calls with this message (to any window) since the last
    // ClearCalls.
    int CountMessages(UINT message) const;
    int CountCalls(const std::string& function) const;
    int OpenHandles() const;     // process and mapping handles not yet closed
    int LiveAllocations() const; // VirtualAllocEx allocations not yet released
    int LiveMappings() const;    // mapping objects still alive (handle open or view mapped)
    int LiveViews() const;       // mapped views not yet unmapped
    int OpenFiles() const;       // Runtime file numbers not yet closed
    // Faults the simulated shell detected: a list view asked to read or write memory outside a
    // live allocation, a request to a list view carrying address 0, ... Empty when all went well.
    const std::vector<std::string>& Faults() const;

    // ---- fault injection ---------------------------------------------------------------------
    void SetOpenProcessRefused(bool refused);
    // The next `count` VirtualAllocEx calls fail (return 0).
    void FailAllocations(int count);
    // The next `count` CreateFileMappingA calls fail (return 0).
    void FailMappings(int count);
    // The next `count` MapViewOfFile calls on a live mapping fail (return 0), as when the address
    // space is exhausted; the mapping itself stays until its handle is closed.
    void FailViews(int count);
    // After `requests` more requests to `window`, the window is destroyed (a list view that
    // disappears mid-operation).
    void DestroyWindowAfterRequests(Hwnd window, int requests);
    // After `requests` more requests to windows of `window`'s process, that process's window
    // thread stops answering for good (a hung Explorer): SendMessageTimeoutA waits its whole time
    // and fails with ERROR_TIMEOUT, or at once with SMTO_ABORTIFHUNG once the thread has answered
    // nothing for 5 seconds.
    void HangAfterRequests(Hwnd window, int requests);
    // The thread of `window`'s process answers again: it takes the messages queued for it in
    // the meantime, in order (a request among them that points at memory no longer there is a
    // fault, as it would crash the shell).
    void EndHang(Hwnd window);
    // A list view that answers as no desktop does: LVM_GETITEMCOUNT gives `count` whatever its
    // items (std::nullopt: their number again), and its texts fill the whole buffer with no NUL.
    void SetReportedItemCount(Hwnd listView, std::optional<LRESULT> count);
    void SetTextsWithoutNul(Hwnd listView, bool withoutNul);
    // Called before each SendMessageTimeoutA is handled, with the call; a test can change the
    // session here (add an item between two requests, move one, ...).
    void OnSendMessage(std::function<void(const SimCall&)> hook);

    // ---- the shell's COM chain (SimShellCom)
    // ------------------------------------------------------ What CLSID_ShellWindows finds as the
    // desktop: by default the desktop the windows show.
    void SetComDesktop(SimComDesktop desktop);
    // From the (after + 1)-th call of `method` (its Windows name, "IFolderView_ItemCount") on,
    // the call fails with `hr`.
    void FailComCall(const std::string& method, HRESULT hr, int after = 0);
    // After `calls` more calls, the server is gone: every call fails with `hr`.
    void LoseComServerAfter(int calls, HRESULT hr = com::RPC_E_DISCONNECTED);
    // After `calls` more calls, the server stops answering: RPC_E_TIMEOUT after the time limit,
    // then at once.
    void HangComServerAfter(int calls);
    int LiveComPointers() const; // interface pointers the program has not released
    int LiveComItemIds() const;  // item ids the program has not freed
    int ComInitialized() const;  // CoInitializeEx calls not yet matched by CoUninitialize

    // ---- files -------------------------------------------------------------------------------
    std::filesystem::path HostPath(const std::string& windowsPath) const;
    bool FileExists(const std::string& windowsPath) const;
    std::string FileBytes(const std::string& windowsPath) const; // "" when missing
    void WriteFileBytes(const std::string& windowsPath, const std::string& bytes);
    void CreateFolder(const std::string& windowsPath);
    // A read-only file cannot be replaced, emptied or deleted; in a read-only folder no file can
    // be created, replaced or deleted.
    void SetReadOnly(const std::string& windowsPath, bool readOnly);
    // A file held open without sharing by another program: it cannot be opened, read, replaced or
    // deleted.
    void SetLocked(const std::string& windowsPath, bool locked);
    // A file that opens but whose reading fails, as on a damaged disk: "Device I/O error", from
    // its start or once `afterBytes` have been read.
    void SetReadError(const std::string& windowsPath, bool fails, long long afterBytes = 0);
    // The disk fills after `bytes` more bytes of file output: the write (or the close that flushes
    // it) fails with "Disk full". A negative value means never.
    void SetDiskSpace(long long bytes);
    // Every path at or under `windowsPrefix` ("Z:", "\\server\share") cannot be reached: each
    // file operation on it fails with `windowsError` (ERROR_SUCCESS: reachable again).
    void SetUnreachable(const std::string& windowsPrefix, DWORD windowsError);
    // Names of the files in a folder (not the sub-folders), sorted.
    std::vector<std::string> ListFolder(const std::string& windowsFolder) const;

    // ---- WindowsApi --------------------------------------------------------------------------
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
    // HWND_BROADCAST posts to every top-level window, a message to the desktop's list view or shell
    // view is handled when the shell's thread answers, one to any other window waits in its queue.
    // Window 0 (the caller's own thread, which nothing here reads) is recorded as a fault; a window
    // that is gone fails.
    BOOL PostMessageA(Hwnd window, UINT message, WPARAM wParam, LPARAM lParam) override;
    // Window 0 (every window on the screen) is recorded as a fault; a window that is gone fails.
    BOOL InvalidateRect(Hwnd window, const Rect* rect, BOOL erase) override;

    // ---- ShellComApi (SimSessionShellCom.cpp)
    // ----------------------------------------------------
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

    // ---- Runtime -----------------------------------------------------------------------------
    float ScreenWidthTwips() override;
    float ScreenHeightTwips() override;
    float TwipsPerPixelX() override;
    float TwipsPerPixelY() override;
    bool ScreenPixels(std::int32_t& width, std::int32_t& height) override;
    std::u16string AppPath() override;
    std::u16string AppExeName() override;
    std::string Command() override;
    int OpenForOutput(const std::u16string& path) override;
    void WriteLine(int fileNumber, const std::string& text) override;
    void WriteBytes(int fileNumber, const std::string& bytes) override;
    int OpenForInput(const std::u16string& path) override;
    std::size_t ReadBlock(int fileNumber, char* buffer, std::size_t size) override;
    void CloseFile(int fileNumber) override;
    void ReplaceFile(const std::u16string& source, const std::u16string& target,
                     const std::u16string& backup = {}) override;
    void DeleteFileQuietly(const std::u16string& path) noexcept override;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

// The program bitness of every session made from now on (32 or 64, at most kMostProgramBits); the
// unit tests run once as each program.
void SetDefaultProgramBits(int bits);
int DefaultProgramBits();

// Utf8ToUtf16, Utf16ToUtf8, Utf16ToCp1252 and Cp1252ToUtf16 come from SimCodePage.h.

} // namespace pindrel::sim
