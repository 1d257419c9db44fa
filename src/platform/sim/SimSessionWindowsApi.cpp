// The simulated session's WindowsApi: each call is logged and handled by the part of the session
// that simulates it.
#include "platform/sim/SimCodePage.h"
#include "platform/sim/SimProfile.h"
#include "platform/sim/SimSessionImpl.h"

#include <stdexcept>

namespace pindrel::sim {

using namespace pindrel::win;

// ---- WindowsApi --------------------------------------------------------------------------------

BOOL SimSession::GetUserNameW(char16_t* buffer, DWORD* size) {
    impl_->log.Call("GetUserNameW", size ? *size : 0);
    return impl_->system.GetUserNameW(buffer, size);
}
BOOL SimSession::GetComputerNameW(char16_t* buffer, DWORD* size) {
    impl_->log.Call("GetComputerNameW", size ? *size : 0);
    return impl_->system.GetComputerNameW(buffer, size);
}
BOOL SimSession::GetVersionExA(OsVersionInfoA* info) {
    impl_->log.Call("GetVersionExA", info ? info->dwOSVersionInfoSize : 0);
    return impl_->system.GetVersionExA(info);
}

DWORD SimSession::GetPrivateProfileStringW(const char16_t* section, const char16_t* key,
                                           const char16_t* defaultValue, char16_t* buffer,
                                           DWORD size, const char16_t* fileName) {
    impl_->log.Call("GetPrivateProfileStringW", size, 0,
                    fileName ? Utf16ToUtf8(fileName) : std::string());
    return ProfileRead(impl_->files, impl_->log, section, key, defaultValue, buffer, size,
                       fileName);
}
BOOL SimSession::WritePrivateProfileStringW(const char16_t* section, const char16_t* key,
                                            const char16_t* value, const char16_t* fileName) {
    impl_->log.Call("WritePrivateProfileStringW", 0, 0,
                    fileName ? Utf16ToUtf8(fileName) : std::string());
    return ProfileWrite(impl_->files, section, key, value, fileName);
}

DWORD SimSession::GetLastError() {
    return impl_->lastError;
}
DWORD SimSession::GetCurrentProcessId() {
    return raw(impl_->handles.current);
}

Handle SimSession::CreateMutexW(const void* securityAttributes, BOOL initialOwner,
                                const char16_t* name) {
    (void)securityAttributes;
    impl_->log.Call("CreateMutexW", 0, 0, name ? Utf16ToUtf8(name) : std::string());
    return impl_->mutexes.Create(initialOwner, name, impl_->lastError);
}
DWORD SimSession::WaitForSingleObject(Handle handle, DWORD milliseconds) {
    impl_->log.Call("WaitForSingleObject", raw(handle), milliseconds);
    return impl_->mutexes.Wait(handle, milliseconds, impl_->lastError);
}
BOOL SimSession::ReleaseMutex(Handle mutex) {
    impl_->log.Call("ReleaseMutex", raw(mutex));
    return impl_->mutexes.Release(mutex, impl_->lastError);
}

Handle SimSession::OpenMutexW(DWORD desiredAccess, BOOL inheritHandle, const char16_t* name) {
    (void)desiredAccess;
    (void)inheritHandle;
    impl_->log.Call("OpenMutexW", desiredAccess, 0, name ? Utf16ToUtf8(name) : std::string());
    return impl_->mutexes.Open(name, impl_->lastError);
}

Handle SimSession::OpenProcess(DWORD desiredAccess, BOOL inheritHandle, Pid processId) {
    (void)inheritHandle;
    impl_->log.Call("OpenProcess", desiredAccess, static_cast<std::int64_t>(raw(processId)));
    return impl_->memory.OpenProcess(desiredAccess, processId);
}
RemoteAddr SimSession::VirtualAllocEx(Handle process, RemoteAddr address, DWORD size,
                                      DWORD allocationType, DWORD protect) {
    impl_->log.Call("VirtualAllocEx", raw(process), static_cast<std::int64_t>(size));
    return impl_->memory.VirtualAllocEx(process, address, size, allocationType, protect);
}
BOOL SimSession::VirtualFreeEx(Handle process, RemoteAddr address, DWORD size, DWORD freeType) {
    impl_->log.Call("VirtualFreeEx", raw(process), static_cast<std::int64_t>(raw(address)));
    return impl_->memory.VirtualFreeEx(process, address, size, freeType);
}
BOOL SimSession::WriteProcessMemory(Handle process, RemoteAddr baseAddress, const void* buffer,
                                    DWORD size, DWORD* bytesWritten) {
    impl_->log.Call("WriteProcessMemory", raw(baseAddress), static_cast<std::int64_t>(size));
    return impl_->memory.WriteProcessMemory(process, baseAddress, buffer, size, bytesWritten);
}
BOOL SimSession::ReadProcessMemory(Handle process, RemoteAddr baseAddress, void* buffer, DWORD size,
                                   DWORD* bytesRead) {
    impl_->log.Call("ReadProcessMemory", raw(baseAddress), static_cast<std::int64_t>(size));
    return impl_->memory.ReadProcessMemory(process, baseAddress, buffer, size, bytesRead);
}
Handle SimSession::GetCurrentProcess() {
    impl_->log.Call("GetCurrentProcess");
    return kCurrentProcess;
}
BOOL SimSession::IsWow64Process(Handle process, BOOL* wow64) {
    impl_->log.Call("IsWow64Process", raw(process));
    return impl_->memory.IsWow64Process(process, wow64);
}
bool SimSession::IsProgram64Bit() {
    return impl_->memory.ProgramBits() == 64;
}
BOOL SimSession::CloseHandle(Handle object) {
    impl_->log.Call("CloseHandle", raw(object));
    const std::optional<SimKernelObject> closed = impl_->handles.Close(object);
    if (closed && closed->kind == SimKernelObject::Kind::Mapping)
        impl_->mappings.HandleClosed(closed->mapping);
    if (closed && closed->kind == SimKernelObject::Kind::Mutex)
        impl_->mutexes.HandleClosed(closed->mutex);
    return closed ? 1 : 0;
}

Handle SimSession::CreateFileMappingA(Handle file, const void* securityAttributes, DWORD protect,
                                      DWORD maximumSizeHigh, DWORD maximumSizeLow,
                                      const char* name) {
    (void)securityAttributes;
    impl_->log.Call("CreateFileMappingA", maximumSizeLow, 0, name ? name : "");
    return impl_->mappings.CreateFileMappingA(file, protect, maximumSizeHigh, maximumSizeLow, name);
}
RemoteAddr SimSession::MapViewOfFile(Handle mapping, DWORD desiredAccess, DWORD fileOffsetHigh,
                                     DWORD fileOffsetLow, DWORD numberOfBytesToMap) {
    impl_->log.Call("MapViewOfFile", raw(mapping), static_cast<std::int64_t>(numberOfBytesToMap));
    return impl_->mappings.MapViewOfFile(mapping, desiredAccess, fileOffsetHigh, fileOffsetLow,
                                         numberOfBytesToMap);
}
BOOL SimSession::UnmapViewOfFile(RemoteAddr baseAddress) {
    impl_->log.Call("UnmapViewOfFile", raw(baseAddress));
    return impl_->mappings.UnmapViewOfFile(baseAddress);
}
void SimSession::RtlMoveMemory(RemoteAddr destination, const void* source, DWORD length) {
    impl_->log.Call("RtlMoveMemory", raw(destination), static_cast<std::int64_t>(length));
    impl_->mappings.MoveInto(destination, source, length);
}
void SimSession::RtlMoveMemory(void* destination, RemoteAddr source, DWORD length) {
    impl_->log.Call("RtlMoveMemory", raw(source), static_cast<std::int64_t>(length));
    impl_->mappings.MoveOut(destination, source, length);
}

int SimSession::WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* wide, int wideCount,
                                    char* multi, int multiSize, const char* defaultChar,
                                    BOOL* usedDefaultChar) {
    impl_->log.Call("WideCharToMultiByte", static_cast<std::uint32_t>(wideCount), multiSize);
    return WideToCp1252(codePage, flags, wide, wideCount, multi, multiSize, defaultChar,
                        usedDefaultChar);
}
int SimSession::MultiByteToWideChar(UINT codePage, DWORD flags, const char* multi, int multiCount,
                                    char16_t* wide, int wideSize) {
    impl_->log.Call("MultiByteToWideChar", static_cast<std::uint32_t>(multiCount), wideSize);
    return Cp1252ToWide(codePage, flags, multi, multiCount, wide, wideSize);
}

Hwnd SimSession::FindWindowA(const char* className, const char* windowName) {
    impl_->log.Call("FindWindowA", 0, 0, className ? className : "");
    return impl_->windows.Search(Hwnd{}, Hwnd{}, className, windowName);
}
Hwnd SimSession::FindWindowExA(Hwnd parent, Hwnd childAfter, const char* className,
                               const char* windowName) {
    impl_->log.Call("FindWindowExA", raw(parent), static_cast<std::int64_t>(raw(childAfter)),
                    className ? className : "");
    return impl_->windows.Search(parent, childAfter, className, windowName);
}
DWORD SimSession::GetWindowThreadProcessId(Hwnd window, Pid* processId) {
    impl_->log.Call("GetWindowThreadProcessId", raw(window));
    const SimWindow* w = impl_->windows.Find(window);
    if (processId)
        *processId = w ? w->owner : Pid{};
    return w ? raw(w->owner) + 4 : 0; // a process's main thread has the id after it
}
std::int32_t SimSession::GetWindowLongA(Hwnd window, std::int32_t index) {
    impl_->log.Call("GetWindowLongA", raw(window), index);
    const SimWindow* w = impl_->windows.Find(window);
    return (w && index == GWL_STYLE) ? static_cast<std::int32_t>(w->style) : 0;
}
Hwnd SimSession::GetParent(Hwnd window) {
    impl_->log.Call("GetParent", raw(window));
    const SimWindow* w = impl_->windows.Find(window);
    return w ? w->parent : Hwnd{};
}

// The hook runs first (it may change the scene); a window armed to vanish goes after answering. A
// window's thread that has stopped answering keeps the sender waiting for the whole time limit,
// or (with SMTO_ABORTIFHUNG) not at all once it has answered nothing for kHungAfterMs, which is
// when Windows takes a thread to be hung.
LRESULT SimSession::SendMessageTimeoutA(Hwnd window, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT flags, UINT timeout, std::uintptr_t* result) {
    constexpr std::uint64_t kHungAfterMs = 5000;
    const SimCall call{
        "SendMessageTimeoutA", window, message, wParam, static_cast<std::int64_t>(lParam), {}};
    impl_->log.Call(call);
    // List-view requests carry addresses in the list view's process; WM_STYLECHANGED points into
    // the sender's own memory, which the platform copies across.
    if (message >= 0x1000)
        impl_->memory.CheckProgramValue("SendMessageTimeoutA", static_cast<std::uint64_t>(lParam));
    if (impl_->hook)
        impl_->hook(call);
    SimWindow* w = impl_->windows.Find(window);
    if (!w) {
        impl_->lastError = ERROR_INVALID_WINDOW_HANDLE;
        return 0;
    }
    SimThread& thread = impl_->windows.Thread(w->owner);
    if (thread.answersLeft == 0 && !thread.hungSince)
        thread.hungSince = impl_->clock.nowMs;
    if (thread.hungSince) {
        const bool knownHung = impl_->clock.nowMs - *thread.hungSince >= kHungAfterMs;
        if (!(knownHung && (flags & SMTO_ABORTIFHUNG))) {
            // The sender waited in vain; the message stays for the thread to take later.
            impl_->clock.Advance(timeout);
            thread.pending.push_back({window, message, wParam, lParam});
        }
        impl_->lastError = ERROR_TIMEOUT;
        return 0;
    }
    if (thread.answersLeft > 0)
        --thread.answersLeft;
    const LRESULT answer = impl_->shell.Handle(window, *w, message, wParam, lParam);
    if (result)
        *result = static_cast<std::uintptr_t>(answer);
    if (w->destroyAfter > 0 && --w->destroyAfter == 0)
        impl_->windows.Destroy(window);
    return 1;
}

BOOL SimSession::PostMessageA(Hwnd window, UINT message, WPARAM wParam, LPARAM lParam) {
    impl_->log.Call(
        SimCall{"PostMessageA", window, message, wParam, static_cast<std::int64_t>(lParam), {}});
    if (window == HWND_BROADCAST) {
        for (Hwnd w = impl_->windows.Search(Hwnd{}, Hwnd{}, nullptr, nullptr); w != Hwnd{};
             w = impl_->windows.Search(Hwnd{}, w, nullptr, nullptr))
            impl_->messages.Post(SimMessage{w, message, wParam, lParam});
        return 1;
    }
    if (raw(window) == 0) {
        impl_->log.Fault("PostMessageA to window 0 posts to the caller's own thread");
        return 1;
    }
    SimWindow* w = impl_->windows.Find(window);
    if (!w) {
        impl_->lastError = ERROR_INVALID_WINDOW_HANDLE;
        return 0;
    }
    if (!w->IsListView() && !w->IsShellView()) {
        // Any other window (the watcher's, a top-level one): the message waits in its queue until
        // the window's loop takes it.
        impl_->messages.Post(SimMessage{window, message, wParam, lParam});
        return 1;
    }
    if (message >= 0x1000) {
        impl_->log.Fault("PostMessageA of a list-view request: its answer and its memory are lost");
        return 0;
    }
    SimThread& thread = impl_->windows.Thread(w->owner);
    if (thread.hungSince || thread.answersLeft == 0)
        thread.pending.push_back({window, message, wParam, lParam});
    else
        impl_->shell.Handle(window, *w, message, wParam, lParam);
    return 1;
}

BOOL SimSession::InvalidateRect(Hwnd window, const Rect* rect, BOOL erase) {
    impl_->log.Call(SimCall{"InvalidateRect", window, 0, 0, erase, rect ? "rect" : ""});
    if (raw(window) == 0) {
        impl_->log.Fault("InvalidateRect on window 0 repaints every window on the screen");
        return 0;
    }
    SimWindow* w = impl_->windows.Find(window);
    if (!w)
        return 0;
    w->Invalidate();
    return 1;
}

} // namespace pindrel::sim
