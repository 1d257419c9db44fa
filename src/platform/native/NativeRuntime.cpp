#include "platform/native/NativeRuntime.h"

#include "CommandLine.h"
#include "FileErrors.h"
#include "WindowsPaths.h"

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

const wchar_t* Wide(const std::u16string& text) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t is UTF-16 on Windows");
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

float TwipsPerPixel(int axis) {
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, axis) : 0;
    if (screen) {
        ::ReleaseDC(nullptr, screen);
    }
    return 1440.0f / static_cast<float>(dpi > 0 ? dpi : 96);
}

// The full path of the running executable, of any length, without a "\\?\" prefix (a program
// started by that form of its path gets it back so): the program adds the prefix itself where a
// path needs it.
std::u16string ModulePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const ::DWORD size = static_cast<::DWORD>(buffer.size());
        const ::DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), size);
        if (length == 0) {
            return {};
        }
        if (length < size) {
            std::u16string path(reinterpret_cast<const char16_t*>(buffer.data()), length);
            if (path.compare(0, 8, u"\\\\?\\UNC\\") == 0) {
                return u"\\\\" + path.substr(8);
            }
            if (path.compare(0, 4, u"\\\\?\\") == 0) {
                return path.substr(4);
            }
            return path;
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

std::u16string NativeRuntime::AppPath() {
    const std::u16string path = ModulePath();
    const std::u16string::size_type slash = path.find_last_of(u'\\');
    if (slash == std::u16string::npos) {
        return {};
    }
    std::u16string folder = path.substr(0, slash);
    // A drive's root keeps its backslash: "C:\".
    if (folder.size() == 2 && folder[1] == u':') {
        folder += u'\\';
    }
    return folder;
}

std::u16string NativeRuntime::AppExeName() {
    const std::u16string path = ModulePath();
    const std::u16string::size_type slash = path.find_last_of(u'\\');
    std::u16string name = slash == std::u16string::npos ? path : path.substr(slash + 1);
    const std::u16string::size_type dot = name.find_last_of(u'.');
    if (dot != std::u16string::npos) {
        name.erase(dot);
    }
    return name;
}

std::string NativeRuntime::Command() {
    const char* line = ::GetCommandLineA();
    return ArgumentText(line ? line : "");
}

int NativeRuntime::OpenForOutput(const std::u16string& path) {
    // Nobody else may open the file while it is being written.
    HANDLE handle = ::CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
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

int NativeRuntime::OpenForInput(const std::u16string& path) {
    // Others may go on reading or writing it, and replace or delete it (a save while a restore
    // reads the layout replaces it cleanly); the layout is read as it was when it was opened.
    HANDLE handle = ::CreateFileW(Wide(path), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
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
        throw Failure(errors::kBadFileMode, "Bad file mode", PathText(file.path));
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
    Append(fileNumber, text + "\r\n");
}

void NativeRuntime::WriteBytes(int fileNumber, const std::string& bytes) {
    Append(fileNumber, bytes);
}

void NativeRuntime::Append(int fileNumber, const std::string& bytes) {
    OpenFile& file = File(fileNumber);
    if (file.input) {
        throw Failure(errors::kBadFileMode, "Bad file mode", PathText(file.path));
    }
    file.pending += bytes;
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
    const std::u16string path = std::move(file.path);
    files_.erase(fileNumber);
    if (error != ERROR_SUCCESS) {
        throw FileFailure(error, path);
    }
}

void NativeRuntime::ReplaceFile(const std::u16string& source, const std::u16string& target,
                                const std::u16string& backup) {
    const bool keepOld =
        !backup.empty() && ::GetFileAttributesW(Wide(target)) != INVALID_FILE_ATTRIBUTES;
    if (keepOld) {
        // The old file becomes the backup and the new one takes its place in one step.
        if (::ReplaceFileW(Wide(target), Wide(source), Wide(backup), 0, nullptr, nullptr)) {
            return;
        }
        const ::DWORD error = ::GetLastError();
        if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
            // The old file went to the backup's name, the new one did not take its place: the old
            // one goes back, so that the layout is there as it was.
            ::MoveFileExW(Wide(backup), Wide(target), MOVEFILE_WRITE_THROUGH);
        }
        throw FileFailure(error, target);
    }
    if (!::MoveFileExW(Wide(source), Wide(target),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const ::DWORD error = ::GetLastError();
        // A missing source is the one case where the failure concerns the source, not the target.
        throw FileFailure(error, error == ERROR_FILE_NOT_FOUND ? source : target);
    }
}

void NativeRuntime::DeleteFileQuietly(const std::u16string& path) noexcept {
    ::DeleteFileW(Wide(path));
}

} // namespace pindrel
