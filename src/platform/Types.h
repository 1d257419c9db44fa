// Basic types shared by the program and both sides of the platform seam.
//
// Handles, ids and addresses that belong to Windows (or to the shell's process) are each wide
// enough for both builds, the 32-bit and the 64-bit one; each native build converts at its edge and
// never cuts a value silently. Each kind has its own type so that a process handle cannot be
// passed where a window handle or an address in another process is expected.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace pindrel {

// A window handle; Hwnd{0} means "no window". Window handles carry 32 bits of meaning on every
// Windows (a 64-bit process sees them sign-extended), so that is all this type holds.
enum class Hwnd : std::uint32_t {};
// A kernel object handle (process, file mapping); Handle{0} means "no handle". A 64-bit value:
// a 32-bit program's handles are sign-extended, so INVALID_HANDLE_VALUE (-1) is all ones in both.
enum class Handle : std::uint64_t {};
// A process id.
enum class Pid : std::uint32_t {};
// An address in another process's address space, or of a shared mapping view. RemoteAddr{0} means
// "no memory". A 64-bit value: a 32-bit program's addresses are zero-extended.
enum class RemoteAddr : std::uint64_t {};

constexpr std::uint32_t raw(Hwnd h) {
    return static_cast<std::uint32_t>(h);
}
constexpr std::uint64_t raw(Handle h) {
    return static_cast<std::uint64_t>(h);
}
constexpr std::uint32_t raw(Pid p) {
    return static_cast<std::uint32_t>(p);
}
constexpr std::uint64_t raw(RemoteAddr a) {
    return static_cast<std::uint64_t>(a);
}

// INVALID_HANDLE_VALUE, (HANDLE)-1: all ones.
constexpr Handle kInvalidHandleValue = Handle{~std::uint64_t{0}};
// GetCurrentProcess()'s pseudo-handle, which is the same value.
constexpr Handle kCurrentProcess = Handle{~std::uint64_t{0}};

// Windows' BOOL, UINT, WPARAM, LPARAM and LRESULT. WPARAM/LPARAM are pointer-sized, as in the
// program that is built: WM_STYLECHANGED carries a pointer into this program's own memory, and
// list-view requests carry an address in the list view's process.
using BOOL = std::int32_t;
using UINT = std::uint32_t;
using DWORD = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// An item position: two signed 32-bit values in the list view's pixel coordinates.
struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const Point& a, const Point& b) { return a.x == b.x && a.y == b.y; }
    friend bool operator!=(const Point& a, const Point& b) { return !(a == b); }
};

// The one failure type of the program. It carries a number and a text in the manner of the
// run-time's error numbers (6 "Overflow", 13 "Type mismatch", 53 "File not found",
// 61 "Disk full", 70 "Permission denied", 75 "Path/File access error", ...), plus the file or
// window that the failure concerns, when there is one. Its texts are UTF-8, so that a path with
// any name Windows can hold is shown as it is.
class Failure : public std::runtime_error {
  public:
    Failure(int number, const std::string& description, std::string subject = {})
        : std::runtime_error(subject.empty() ? description : description + ": " + subject),
          number_(number), description_(description), subject_(std::move(subject)) {}

    int number() const { return number_; }
    const std::string& description() const { return description_; }
    // The file or window the failure concerns; may be empty.
    const std::string& subject() const { return subject_; }

  private:
    int number_;
    std::string description_;
    std::string subject_;
};

namespace errors {
constexpr int kOverflow = 6;
constexpr int kOutOfMemory = 7;
constexpr int kTypeMismatch = 13;
constexpr int kBadFileName = 52;
constexpr int kBadFileMode = 54;
constexpr int kFileNotFound = 53;
constexpr int kDeviceIo = 57;
constexpr int kDiskFull = 61;
// A drive or network path that cannot be reached: a share that dropped, a drive that is gone.
constexpr int kDeviceUnavailable = 68;
constexpr int kPermissionDenied = 70;
constexpr int kPathNotFound = 76;
constexpr int kPathFileAccess = 75;
constexpr int kInvalidProperty = 380;
// A window or server of another program that did not answer within the time limit.
constexpr int kNoAnswer = 286;
// A COM call that failed ("Automation error").
constexpr int kAutomation = 440;
// "Object required": the desktop list view (or another window the program needs) is missing.
constexpr int kObjectRequired = 424;
} // namespace errors

} // namespace pindrel
