#include "platform/native/NativeWindowsApi.h"

#include <cstdint>
#include <cstring>
#include <limits>

// <windows.h> comes after the seam headers: it defines macros with the names of their constants.
#include <windows.h>
// winnt.h defines RtlMoveMemory as a macro for memmove; the seam's method has that name.
#undef RtlMoveMemory

namespace pindrel {

// The conversions at the edge between the seam's types and Windows' own. Nothing is cut silently:
// addresses are zero-extended and handles sign-extended into the seam's 64-bit values, and a value
// that the running program cannot hold (possible only in the 32-bit build) becomes a null pointer
// or handle, which the Windows function then refuses.
namespace {

constexpr bool kProgram64 = sizeof(void*) == 8;

void* ToPointer(RemoteAddr address) {
    const std::uint64_t value = raw(address);
    if (value > std::numeric_limits<std::uintptr_t>::max()) {
        return nullptr;
    }
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(value));
}
RemoteAddr ToRemote(const void* pointer) {
    return RemoteAddr{static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(pointer))};
}
HANDLE ToHandle(Handle handle) {
    const auto value = static_cast<std::int64_t>(raw(handle));
    if (value < std::numeric_limits<std::intptr_t>::min() ||
        value > std::numeric_limits<std::intptr_t>::max()) {
        return nullptr;
    }
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(value));
}
Handle FromHandle(HANDLE handle) {
    const auto value = static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(handle));
    return Handle{static_cast<std::uint64_t>(value)};
}
// A window handle is sign-extended from its 32 bits in a 64-bit process.
HWND ToHwnd(Hwnd window) {
    const auto value = static_cast<std::int32_t>(raw(window));
    return reinterpret_cast<HWND>(static_cast<std::intptr_t>(value));
}
Hwnd FromHwnd(HWND window) {
    const auto value = static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(window));
    // Windows never gives out a window handle beyond 32 bits of meaning; such a value is not a
    // window this program can address, so it counts as none.
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return Hwnd{0};
    }
    return Hwnd{static_cast<std::uint32_t>(static_cast<std::int32_t>(value))};
}

} // namespace

// wchar_t is UTF-16 on Windows: the seam's char16_t texts are passed as they are.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t is UTF-16 on Windows");

namespace {
wchar_t* Wide(char16_t* text) {
    return reinterpret_cast<wchar_t*>(text);
}
const wchar_t* Wide(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}
} // namespace

BOOL NativeWindowsApi::GetUserNameW(char16_t* buffer, DWORD* size) {
    ::DWORD length = size ? *size : 0;
    const BOOL ok = ::GetUserNameW(Wide(buffer), size ? &length : nullptr);
    if (size) {
        *size = static_cast<DWORD>(length);
    }
    return ok;
}

BOOL NativeWindowsApi::GetComputerNameW(char16_t* buffer, DWORD* size) {
    ::DWORD length = size ? *size : 0;
    const BOOL ok = ::GetComputerNameW(Wide(buffer), size ? &length : nullptr);
    if (size) {
        *size = static_cast<DWORD>(length);
    }
    return ok;
}

DWORD NativeWindowsApi::GetPrivateProfileStringW(const char16_t* section, const char16_t* key,
                                                 const char16_t* defaultValue, char16_t* buffer,
                                                 DWORD size, const char16_t* fileName) {
    return static_cast<DWORD>(::GetPrivateProfileStringW(
        Wide(section), Wide(key), Wide(defaultValue), Wide(buffer), size, Wide(fileName)));
}

BOOL NativeWindowsApi::WritePrivateProfileStringW(const char16_t* section, const char16_t* key,
                                                  const char16_t* value, const char16_t* fileName) {
    return ::WritePrivateProfileStringW(Wide(section), Wide(key), Wide(value), Wide(fileName));
}

DWORD NativeWindowsApi::GetLastError() {
    return static_cast<DWORD>(::GetLastError());
}

DWORD NativeWindowsApi::GetCurrentProcessId() {
    return static_cast<DWORD>(::GetCurrentProcessId());
}

Handle NativeWindowsApi::CreateMutexW(const void* securityAttributes, BOOL initialOwner,
                                      const char16_t* name) {
    auto* attributes = static_cast<LPSECURITY_ATTRIBUTES>(const_cast<void*>(securityAttributes));
    return FromHandle(::CreateMutexW(attributes, initialOwner, Wide(name)));
}

DWORD NativeWindowsApi::WaitForSingleObject(Handle handle, DWORD milliseconds) {
    return static_cast<DWORD>(::WaitForSingleObject(ToHandle(handle), milliseconds));
}

BOOL NativeWindowsApi::ReleaseMutex(Handle mutex) {
    return ::ReleaseMutex(ToHandle(mutex));
}

Handle NativeWindowsApi::OpenMutexW(DWORD desiredAccess, BOOL inheritHandle, const char16_t* name) {
    return FromHandle(::OpenMutexW(desiredAccess, inheritHandle, Wide(name)));
}

BOOL NativeWindowsApi::GetVersionExA(OsVersionInfoA* info) {
    if (!info) {
        return ::GetVersionExA(nullptr);
    }
    OSVERSIONINFOA native{};
    static_assert(sizeof(native) == sizeof(*info), "OSVERSIONINFOA is 148 bytes on both sides");
    native.dwOSVersionInfoSize = info->dwOSVersionInfoSize;
    const BOOL ok = ::GetVersionExA(&native);
    if (ok) {
        info->dwMajorVersion = static_cast<DWORD>(native.dwMajorVersion);
        info->dwMinorVersion = static_cast<DWORD>(native.dwMinorVersion);
        info->dwBuildNumber = static_cast<DWORD>(native.dwBuildNumber);
        info->dwPlatformId = static_cast<DWORD>(native.dwPlatformId);
        std::memcpy(info->szCSDVersion, native.szCSDVersion, sizeof(info->szCSDVersion));
    }
    return ok;
}

Handle NativeWindowsApi::OpenProcess(DWORD desiredAccess, BOOL inheritHandle, Pid processId) {
    return FromHandle(::OpenProcess(desiredAccess, inheritHandle, raw(processId)));
}

RemoteAddr NativeWindowsApi::VirtualAllocEx(Handle process, RemoteAddr address, DWORD size,
                                            DWORD allocationType, DWORD protect) {
    return ToRemote(
        ::VirtualAllocEx(ToHandle(process), ToPointer(address), size, allocationType, protect));
}

BOOL NativeWindowsApi::VirtualFreeEx(Handle process, RemoteAddr address, DWORD size,
                                     DWORD freeType) {
    return ::VirtualFreeEx(ToHandle(process), ToPointer(address), size, freeType);
}

BOOL NativeWindowsApi::WriteProcessMemory(Handle process, RemoteAddr baseAddress,
                                          const void* buffer, DWORD size, DWORD* bytesWritten) {
    SIZE_T written = 0;
    const BOOL ok =
        ::WriteProcessMemory(ToHandle(process), ToPointer(baseAddress), buffer, size, &written);
    if (bytesWritten) {
        *bytesWritten = static_cast<DWORD>(written);
    }
    return ok;
}

BOOL NativeWindowsApi::ReadProcessMemory(Handle process, RemoteAddr baseAddress, void* buffer,
                                         DWORD size, DWORD* bytesRead) {
    SIZE_T read = 0;
    const BOOL ok =
        ::ReadProcessMemory(ToHandle(process), ToPointer(baseAddress), buffer, size, &read);
    if (bytesRead) {
        *bytesRead = static_cast<DWORD>(read);
    }
    return ok;
}

BOOL NativeWindowsApi::CloseHandle(Handle object) {
    return ::CloseHandle(ToHandle(object));
}

Handle NativeWindowsApi::GetCurrentProcess() {
    return FromHandle(::GetCurrentProcess());
}

// IsWow64Process came with Windows XP SP2, so it is looked up rather than imported: where it is
// missing the call fails, as one that cannot answer.
BOOL NativeWindowsApi::IsWow64Process(Handle process, BOOL* wow64) {
    using IsWow64ProcessFunction = ::BOOL(WINAPI*)(HANDLE, ::PBOOL);
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    const auto function = kernel ? reinterpret_cast<IsWow64ProcessFunction>(reinterpret_cast<void*>(
                                       ::GetProcAddress(kernel, "IsWow64Process")))
                                 : nullptr;
    if (!function) {
        return 0;
    }
    ::BOOL answer = FALSE;
    const ::BOOL ok = function(ToHandle(process), &answer);
    if (ok && wow64) {
        *wow64 = answer ? 1 : 0;
    }
    return ok ? 1 : 0;
}

bool NativeWindowsApi::IsProgram64Bit() {
    return kProgram64;
}

Handle NativeWindowsApi::CreateFileMappingA(Handle file, const void* securityAttributes,
                                            DWORD protect, DWORD maximumSizeHigh,
                                            DWORD maximumSizeLow, const char* name) {
    auto* attributes = static_cast<LPSECURITY_ATTRIBUTES>(const_cast<void*>(securityAttributes));
    return FromHandle(::CreateFileMappingA(ToHandle(file), attributes, protect, maximumSizeHigh,
                                           maximumSizeLow, name));
}

RemoteAddr NativeWindowsApi::MapViewOfFile(Handle mapping, DWORD desiredAccess,
                                           DWORD fileOffsetHigh, DWORD fileOffsetLow,
                                           DWORD numberOfBytesToMap) {
    return ToRemote(::MapViewOfFile(ToHandle(mapping), desiredAccess, fileOffsetHigh, fileOffsetLow,
                                    numberOfBytesToMap));
}

BOOL NativeWindowsApi::UnmapViewOfFile(RemoteAddr baseAddress) {
    return ::UnmapViewOfFile(ToPointer(baseAddress));
}

// A mapping view lives in this program's own address space, so RtlMoveMemory is a plain copy.
void NativeWindowsApi::RtlMoveMemory(RemoteAddr destination, const void* source, DWORD length) {
    if (void* target = ToPointer(destination)) {
        std::memmove(target, source, length);
    }
}

void NativeWindowsApi::RtlMoveMemory(void* destination, RemoteAddr source, DWORD length) {
    if (const void* from = ToPointer(source)) {
        std::memmove(destination, from, length);
    }
}

int NativeWindowsApi::WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* wide,
                                          int wideCount, char* multi, int multiSize,
                                          const char* defaultChar, BOOL* usedDefaultChar) {
    ::BOOL used = FALSE;
    const int result =
        ::WideCharToMultiByte(codePage, flags, Wide(wide), wideCount, multi, multiSize, defaultChar,
                              usedDefaultChar ? &used : nullptr);
    if (usedDefaultChar) {
        *usedDefaultChar = used ? 1 : 0;
    }
    return result;
}

int NativeWindowsApi::MultiByteToWideChar(UINT codePage, DWORD flags, const char* multi,
                                          int multiCount, char16_t* wide, int wideSize) {
    return ::MultiByteToWideChar(codePage, flags, multi, multiCount, Wide(wide), wideSize);
}

Hwnd NativeWindowsApi::FindWindowA(const char* className, const char* windowName) {
    return FromHwnd(::FindWindowA(className, windowName));
}

Hwnd NativeWindowsApi::FindWindowExA(Hwnd parent, Hwnd childAfter, const char* className,
                                     const char* windowName) {
    return FromHwnd(::FindWindowExA(ToHwnd(parent), ToHwnd(childAfter), className, windowName));
}

DWORD NativeWindowsApi::GetWindowThreadProcessId(Hwnd window, Pid* processId) {
    ::DWORD pid = 0;
    const ::DWORD thread = ::GetWindowThreadProcessId(ToHwnd(window), &pid);
    if (processId) {
        *processId = Pid{static_cast<std::uint32_t>(pid)};
    }
    return static_cast<DWORD>(thread);
}

std::int32_t NativeWindowsApi::GetWindowLongA(Hwnd window, std::int32_t index) {
    return static_cast<std::int32_t>(::GetWindowLongA(ToHwnd(window), index));
}

Hwnd NativeWindowsApi::GetParent(Hwnd window) {
    return FromHwnd(::GetParent(ToHwnd(window)));
}

LRESULT NativeWindowsApi::SendMessageTimeoutA(Hwnd window, UINT message, WPARAM wParam,
                                              LPARAM lParam, UINT flags, UINT timeout,
                                              std::uintptr_t* result) {
    ::DWORD_PTR answer = 0;
    const ::LRESULT sent =
        ::SendMessageTimeoutA(ToHwnd(window), message, static_cast<::WPARAM>(wParam),
                              static_cast<::LPARAM>(lParam), flags, timeout, &answer);
    if (result) {
        *result = static_cast<std::uintptr_t>(answer);
    }
    return static_cast<LRESULT>(sent);
}

BOOL NativeWindowsApi::PostMessageA(Hwnd window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageA(ToHwnd(window), message, static_cast<::WPARAM>(wParam),
                          static_cast<::LPARAM>(lParam));
}

BOOL NativeWindowsApi::InvalidateRect(Hwnd window, const Rect* rect, BOOL erase) {
    if (!rect) {
        return ::InvalidateRect(ToHwnd(window), nullptr, erase);
    }
    const RECT native{rect->left, rect->top, rect->right, rect->bottom};
    return ::InvalidateRect(ToHwnd(window), &native, erase);
}

} // namespace pindrel
