#include "platform/native/NativeRuntime.h"

#include "CommandLine.h"

#include <algorithm>
#include <utility>
#include <vector>

// <windows.h> comes after the seam headers: it defines macros with the names of their constants.
#include <windows.h>
// winbase.h maps ReplaceFile to ReplaceFileA; the seam's method has that name.
#undef ReplaceFile

namespace pindrel {

namespace {

// Output is handed to WriteFile in blocks of about this size.
constexpr std::size_t kWriteBlock = 64 * 1024;

// A failed file operation as the program reports it: the run-time's number and text for the
// Windows error, and the file it concerns.
Failure FileFailure(::DWORD error, const std::string& path) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
        return Failure(errors::kFileNotFound, "File not found", path);
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return Failure(errors::kPathNotFound, "Path not found", path);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return Failure(errors::kPermissionDenied, "Permission denied", path);
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY:
        return Failure(errors::kPathFileAccess, "Path/File access error", path);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return Failure(errors::kDiskFull, "Disk full", path);
    default:
        return Failure(errors::kDeviceIo, "Device I/O error", path);
    }
}

float TwipsPerPixel(int axis) {
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, axis) : 0;
    if (screen) {
        ::ReleaseDC(nullptr, screen);
    }
    return 1440.0f / static_cast<float>(dpi > 0 ? dpi : 96);
}

// The full path of the running executable.
std::string ModulePath() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const ::DWORD size = static_cast<::DWORD>(buffer.size());
        const ::DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), size);
        if (length == 0) {
            return {};
        }
        if (length < size) {
            return std::string(buffer.data(), length);
        }
        buffer.resize(buffer.size() * 2);
    }
}

HANDLE AsHandle(void* handle) {
    return static_cast<HANDLE>(handle);
}

} // namespace

NativeRuntime::~NativeRuntime() {
    for (auto& entry : files_) {
        ::CloseHandle(AsHandle(entry.second.handle));
    }
}

float NativeRuntime::ScreenWidthTwips() {
    return static_cast<float>(::GetSystemMetrics(SM_CXSCREEN)) * TwipsPerPixelX();
}

float NativeRuntime::ScreenHeightTwips() {
    return static_cast<float>(::GetSystemMetrics(SM_CYSCREEN)) * TwipsPerPixelY();
}

float NativeRuntime::TwipsPerPixelX() {
    return TwipsPerPixel(LOGPIXELSX);
}

float NativeRuntime::TwipsPerPixelY() {
    return TwipsPerPixel(LOGPIXELSY);
}

bool NativeRuntime::ScreenPixels(std::int32_t& width, std::int32_t& height) {
    width = ::GetSystemMetrics(SM_CXSCREEN);
    height = ::GetSystemMetrics(SM_CYSCREEN);
    return width > 0 && height > 0;
}

std::string NativeRuntime::AppPath() {
    const std::string path = ModulePath();
    const std::string::size_type slash = path.find_last_of('\\');
    if (slash == std::string::npos) {
        return {};
    }
    std::string folder = path.substr(0, slash);
    // A drive's root keeps its backslash: "C:\".
    if (folder.size() == 2 && folder[1] == ':') {
        folder += '\\';
    }
    return folder;
}

std::string NativeRuntime::AppExeName() {
    const std::string path = ModulePath();
    const std::string::size_type slash = path.find_last_of('\\');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string::size_type dot = name.find_last_of('.');
    if (dot != std::string::npos) {
        name.erase(dot);
    }
    return name;
}

std::string NativeRuntime::Command() {
    const char* line = ::GetCommandLineA();
    return ArgumentText(line ? line : "");
}

int NativeRuntime::OpenForOutput(const std::string& path) {
    // Nobody else may open the file while it is being written.
    HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        throw FileFailure(::GetLastError(), path);
    }
    return AddFile(OpenFile{handle, path, {}, false});
}

int NativeRuntime::AddFile(OpenFile file) {
    // The lowest free number, as the run-time's FreeFile gives it.
    int number = 1;
    while (files_.count(number) != 0) {
        ++number;
    }
    files_[number] = std::move(file);
    return number;
}

int NativeRuntime::OpenForInput(const std::string& path) {
    // Others may go on reading or writing it; the layout is read as it is now.
    HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        throw FileFailure(::GetLastError(), path);
    }
    return AddFile(OpenFile{handle, path, {}, true});
}

std::size_t NativeRuntime::ReadBlock(int fileNumber, char* buffer, std::size_t size) {
    OpenFile& file = File(fileNumber);
    const ::DWORD wanted = static_cast<::DWORD>(std::min<std::size_t>(size, kWriteBlock * 16));
    ::DWORD read = 0;
    if (!file.input) {
        throw Failure(errors::kBadFileMode, "Bad file mode", file.path);
    }
    if (!::ReadFile(AsHandle(file.handle), buffer, wanted, &read, nullptr)) {
        throw FileFailure(::GetLastError(), file.path);
    }
    return read;
}

NativeRuntime::OpenFile& NativeRuntime::File(int fileNumber) {
    const auto found = files_.find(fileNumber);
    if (found == files_.end()) {
        throw Failure(errors::kBadFileName, "Bad file name or number",
                      "file number " + std::to_string(fileNumber));
    }
    return found->second;
}

unsigned long NativeRuntime::Flush(OpenFile& file) {
    std::size_t done = 0;
    while (done < file.pending.size()) {
        const ::DWORD chunk = static_cast<::DWORD>(file.pending.size() - done);
        ::DWORD written = 0;
        if (!::WriteFile(AsHandle(file.handle), file.pending.data() + done, chunk, &written,
                         nullptr)) {
            return ::GetLastError();
        }
        if (written == 0) {
            // WriteFile succeeded without writing anything: the volume has no room left.
            return ERROR_DISK_FULL;
        }
        done += written;
    }
    file.pending.clear();
    return ERROR_SUCCESS;
}

void NativeRuntime::WriteLine(int fileNumber, const std::string& text) {
    OpenFile& file = File(fileNumber);
    if (file.input) {
        throw Failure(errors::kBadFileMode, "Bad file mode", file.path);
    }
    file.pending += text;
    file.pending += "\r\n";
    if (file.pending.size() >= kWriteBlock) {
        const ::DWORD error = Flush(file);
        if (error != ERROR_SUCCESS) {
            throw FileFailure(error, file.path);
        }
    }
}

void NativeRuntime::CloseFile(int fileNumber) {
    OpenFile& file = File(fileNumber);
    // The handle is closed and the number freed whatever fails; the first failure is reported. A
    // file that was only read has nothing to flush.
    ::DWORD error = file.input ? ERROR_SUCCESS : Flush(file);
    if (error == ERROR_SUCCESS && !file.input && !::FlushFileBuffers(AsHandle(file.handle))) {
        error = ::GetLastError();
    }
    if (!::CloseHandle(AsHandle(file.handle)) && error == ERROR_SUCCESS) {
        error = ::GetLastError();
    }
    const std::string path = std::move(file.path);
    files_.erase(fileNumber);
    if (error != ERROR_SUCCESS) {
        throw FileFailure(error, path);
    }
}

void NativeRuntime::ReplaceFile(const std::string& source, const std::string& target) {
    if (!::MoveFileExA(source.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const ::DWORD error = ::GetLastError();
        // A missing source is the one case where the failure concerns the source, not the target.
        throw FileFailure(error, error == ERROR_FILE_NOT_FOUND ? source : target);
    }
}

void NativeRuntime::DeleteFileQuietly(const std::string& path) noexcept {
    ::DeleteFileA(path.c_str());
}

} // namespace pindrel
