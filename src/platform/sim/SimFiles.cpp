#include "platform/sim/SimFiles.h"

#include "FileErrors.h"
#include "WindowsPaths.h"
#include "platform/WindowsApi.h"
#include "platform/sim/SimCodePage.h"
#include "platform/sim/SimPaths.h"

#include <algorithm>
#include <stdexcept>
#include <system_error>

namespace pindrel::sim {

namespace fs = std::filesystem;
using namespace pindrel::win;

namespace {
// What a damaged disk answers: ERROR_WRITE_FAULT and ERROR_CRC ("data error").
constexpr DWORD kWriteFault = 29;
constexpr DWORD kDataError = 23;
constexpr DWORD kUnableToRemoveReplaced = 1175;
} // namespace

SimFiles::SimFiles(fs::path root) : root_(std::move(root)) {
    fs::create_directories(root_ / "c");
}

// ---- set-up and observation ----------------------------------------------------------------

fs::path SimFiles::Host(const std::string& windowsPath) const {
    return WindowsToHost(root_, Utf8ToUtf16(windowsPath));
}

bool SimFiles::Exists(const std::string& windowsPath) const {
    std::error_code ec;
    return fs::is_regular_file(Host(windowsPath), ec);
}

std::string SimFiles::Bytes(const std::string& windowsPath) const {
    return ReadHostFile(Host(windowsPath)).value_or("");
}

void SimFiles::Write(const std::string& windowsPath, const std::string& bytes) {
    const fs::path host = Host(windowsPath);
    fs::create_directories(host.parent_path());
    if (!WriteHostFile(host, bytes))
        throw std::runtime_error("SimSession: cannot write " + host.string());
}

void SimFiles::CreateFolder(const std::string& windowsPath) {
    fs::create_directories(Host(windowsPath));
}

void SimFiles::SetReadOnly(const std::string& windowsPath, bool readOnly) {
    const std::string key = HostKey(Host(windowsPath));
    readOnly ? (void)readOnly_.insert(key) : (void)readOnly_.erase(key);
}

void SimFiles::SetLocked(const std::string& windowsPath, bool locked) {
    const std::string key = HostKey(Host(windowsPath));
    locked ? (void)locked_.insert(key) : (void)locked_.erase(key);
}

void SimFiles::SetReadError(const std::string& windowsPath, bool fails, long long afterBytes) {
    const std::string key = HostKey(Host(windowsPath));
    fails ? (void)(readErrors_[key] = afterBytes) : (void)readErrors_.erase(key);
}

void SimFiles::SetUnreachable(const std::string& windowsPrefix, DWORD windowsError) {
    const std::string key = HostKey(Host(windowsPrefix));
    windowsError != ERROR_SUCCESS ? (void)(unreachable_[key] = windowsError)
                                  : (void)unreachable_.erase(key);
}

std::vector<std::string> SimFiles::List(const std::string& windowsFolder) const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(Host(windowsFolder), ec)) {
        if (entry.is_regular_file(ec))
            names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// ---- refusals ---------------------------------------------------------------------------------

fs::path SimFiles::Reach(const std::u16string& path) const {
    return WindowsToHost(root_, path, true);
}

bool SimFiles::IsReadOnly(const fs::path& host) const {
    return readOnly_.count(HostKey(host)) != 0;
}

bool SimFiles::IsLocked(const fs::path& host) const {
    return locked_.count(HostKey(host)) != 0;
}

bool SimFiles::OpenForOutputNow(const fs::path& host) const {
    const std::string key = HostKey(host);
    return std::any_of(files_.begin(), files_.end(), [&](const auto& entry) {
        return !entry.second.input && HostKey(entry.second.host) == key;
    });
}

bool SimFiles::OpenNow(const fs::path& host) const {
    const std::string key = HostKey(host);
    return std::any_of(files_.begin(), files_.end(),
                       [&](const auto& entry) { return HostKey(entry.second.host) == key; });
}

DWORD SimFiles::Unreachable(const fs::path& host) const {
    const std::string key = HostKey(host);
    for (const auto& [prefix, error] : unreachable_) {
        if (key == prefix || key.compare(0, prefix.size() + 1, prefix + "/") == 0)
            return error;
    }
    return ERROR_SUCCESS;
}

DWORD SimFiles::ReadRefusal(const fs::path& host) const {
    std::error_code ec;
    if (const DWORD error = Unreachable(host))
        return error;
    if (IsLocked(host) || OpenForOutputNow(host))
        return ERROR_SHARING_VIOLATION;
    if (!fs::is_directory(host.parent_path(), ec))
        return ERROR_PATH_NOT_FOUND;
    if (fs::is_directory(host, ec))
        return ERROR_ACCESS_DENIED;
    if (!fs::is_regular_file(host, ec))
        return ERROR_FILE_NOT_FOUND;
    return ERROR_SUCCESS;
}

DWORD SimFiles::WriteRefusal(const fs::path& host) const {
    std::error_code ec;
    if (const DWORD error = Unreachable(host))
        return error;
    if (!fs::is_directory(host.parent_path(), ec))
        return ERROR_PATH_NOT_FOUND;
    if (IsLocked(host) || OpenForOutputNow(host))
        return ERROR_SHARING_VIOLATION;
    if (fs::is_directory(host, ec) || IsReadOnly(host) || IsReadOnly(host.parent_path()))
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

bool SimFiles::TakeSpace(long long bytes) {
    if (diskSpace_ >= 0 && bytes > diskSpace_)
        return false;
    if (diskSpace_ >= 0)
        diskSpace_ -= std::max(0LL, bytes);
    return true;
}

// ---- the Runtime's files ----------------------------------------------------------------------

int SimFiles::AddFile() {
    int number = 1;
    while (files_.count(number))
        ++number;
    files_[number];
    return number;
}

SimFiles::OpenFile& SimFiles::Find(int fileNumber) {
    auto it = files_.find(fileNumber);
    if (it == files_.end())
        throw Failure(errors::kBadFileName, "Bad file name or number",
                      "file number " + std::to_string(fileNumber));
    return it->second;
}

int SimFiles::OpenForOutput(const std::u16string& path) {
    const fs::path host = Reach(path);
    if (const DWORD refusal = WriteRefusal(host))
        throw FileFailure(refusal, path);
    const int number = AddFile();
    OpenFile& file = files_[number];
    file.host = host;
    file.path = path;
    file.out.open(host, std::ios::binary | std::ios::trunc);
    if (!file.out) {
        files_.erase(number);
        throw FileFailure(ERROR_ACCESS_DENIED, path);
    }
    return number;
}

void SimFiles::Put(OpenFile& file, const std::string& bytes) {
    if (file.input)
        throw Failure(errors::kBadFileMode, "Bad file mode", PathText(file.path));
    const auto size = static_cast<long long>(bytes.size());
    if (!TakeSpace(size)) {
        // The disk fills part-way: what fits reaches the file, the rest is refused.
        file.out.write(bytes.data(), static_cast<std::streamsize>(diskSpace_));
        file.out.flush();
        diskSpace_ = 0;
        throw FileFailure(ERROR_DISK_FULL, file.path);
    }
    file.out.write(bytes.data(), static_cast<std::streamsize>(size));
    if (!file.out)
        throw FileFailure(kWriteFault, file.path);
}

void SimFiles::WriteLine(int fileNumber, const std::string& text) {
    Put(Find(fileNumber), text + "\r\n");
}

void SimFiles::WriteBytes(int fileNumber, const std::string& bytes) {
    Put(Find(fileNumber), bytes);
}

void SimFiles::CloseFile(int fileNumber) {
    OpenFile& file = Find(fileNumber);
    if (file.input) {
        files_.erase(fileNumber);
        return;
    }
    file.out.close();
    const bool ok = !file.out.fail();
    const std::u16string path = file.path;
    files_.erase(fileNumber);
    if (!ok)
        throw FileFailure(kWriteFault, path);
}

int SimFiles::OpenForInput(const std::u16string& path) {
    const fs::path host = Reach(path);
    if (const DWORD refusal = ReadRefusal(host))
        throw FileFailure(refusal, path);
    const int number = AddFile();
    OpenFile& file = files_[number];
    file.host = host;
    file.path = path;
    file.input = true;
    file.in.open(host, std::ios::binary);
    if (!file.in) {
        files_.erase(number);
        throw FileFailure(ERROR_ACCESS_DENIED, path);
    }
    return number;
}

std::size_t SimFiles::ReadBlock(int fileNumber, char* buffer, std::size_t size) {
    OpenFile& file = Find(fileNumber);
    if (!file.input)
        throw Failure(errors::kBadFileMode, "Bad file mode", PathText(file.path));
    if (const DWORD error = Unreachable(file.host))
        throw FileFailure(error, file.path); // the share dropped while the file was open
    // A damaged disk: the file opens, its reading fails from some point on.
    const auto damaged = readErrors_.find(HostKey(file.host));
    if (damaged != readErrors_.end()) {
        const long long readable = damaged->second - static_cast<long long>(file.in.tellg());
        if (readable <= 0)
            throw FileFailure(kDataError, file.path);
        size = std::min(size, static_cast<std::size_t>(readable));
    }
    file.in.read(buffer, static_cast<std::streamsize>(size));
    const auto read = file.in.gcount();
    if (file.in.bad())
        throw FileFailure(kDataError, file.path);
    file.in.clear();
    return static_cast<std::size_t>(read);
}

// A rename over the target: both files stay as they were when it cannot be done (a target that is
// open is not superseded). A read-only file stays read-only under its new name.
void SimFiles::ReplaceFile(const std::u16string& source, const std::u16string& target,
                           const std::u16string& backup) {
    const fs::path from = Reach(source);
    const fs::path to = Reach(target);
    std::error_code ec;
    const bool keepOld = !backup.empty() && fs::is_regular_file(to, ec);
    const fs::path old = keepOld ? Reach(backup) : fs::path();
    if (const DWORD error = Unreachable(from))
        throw FileFailure(error, source);
    if (IsLocked(from) || OpenForOutputNow(from))
        throw FileFailure(ERROR_SHARING_VIOLATION, source);
    if (!fs::is_regular_file(from, ec))
        throw FileFailure(ERROR_FILE_NOT_FOUND, source);
    if (const DWORD refusal = WriteRefusal(to))
        throw FileFailure(refusal, target);
    if (OpenNow(to))
        throw FileFailure(ERROR_ACCESS_DENIED, target);
    if (IsReadOnly(from.parent_path()))
        throw FileFailure(ERROR_ACCESS_DENIED, source);
    if (keepOld) {
        // ReplaceFileW: the old target cannot become the backup (ERROR_UNABLE_TO_REMOVE_REPLACED)
        // when a backup that is there cannot be replaced; then nothing changes.
        if (WriteRefusal(old) != 0 || OpenNow(old))
            throw FileFailure(kUnableToRemoveReplaced, target);
        fs::rename(to, old, ec);
        if (ec)
            throw FileFailure(kUnableToRemoveReplaced, target);
        if (readOnly_.erase(HostKey(to)))
            readOnly_.insert(HostKey(old));
    }
    fs::rename(from, to, ec);
    if (ec)
        throw FileFailure(ERROR_ACCESS_DENIED, target);
    if (readOnly_.erase(HostKey(from)))
        readOnly_.insert(HostKey(to));
}

void SimFiles::DeleteFileQuietly(const std::u16string& path) noexcept {
    try {
        const fs::path host = Reach(path);
        std::error_code ec;
        if (Unreachable(host) || IsLocked(host) || OpenNow(host) || IsReadOnly(host) ||
            IsReadOnly(host.parent_path()) || !fs::is_regular_file(host, ec))
            return;
        fs::remove(host, ec);
    } catch (...) {
        // Never fails: a name that cannot be a file simply is not there.
    }
}

} // namespace pindrel::sim
