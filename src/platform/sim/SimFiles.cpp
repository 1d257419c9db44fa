#include "platform/sim/SimFiles.h"

#include "platform/sim/SimPaths.h"

#include <algorithm>
#include <stdexcept>
#include <system_error>

namespace pindrel::sim {

namespace fs = std::filesystem;

SimFiles::SimFiles(fs::path root) : root_(std::move(root)) {
    fs::create_directories(root_ / "c");
}

// ---- set-up and observation ----------------------------------------------------------------

fs::path SimFiles::Host(const std::string& windowsPath) const {
    return WindowsToHost(root_, windowsPath);
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

bool SimFiles::IsReadOnly(const fs::path& host) const {
    return readOnly_.count(HostKey(host)) != 0;
}

void SimFiles::SetReadError(const std::string& windowsPath, bool fails, long long afterBytes) {
    const std::string key = HostKey(Host(windowsPath));
    fails ? (void)(readErrors_[key] = afterBytes) : (void)readErrors_.erase(key);
}

bool SimFiles::IsLocked(const fs::path& host) const {
    return locked_.count(HostKey(host)) != 0;
}

int SimFiles::WriteRefusal(const fs::path& host) const {
    std::error_code ec;
    if (!fs::is_directory(host.parent_path(), ec))
        return errors::kPathNotFound;
    if (IsLocked(host))
        return errors::kPermissionDenied;
    if (fs::is_directory(host, ec) || IsReadOnly(host) || IsReadOnly(host.parent_path()))
        return errors::kPathFileAccess;
    return 0;
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
        throw FileFailure(errors::kBadFileName, "#" + std::to_string(fileNumber));
    return it->second;
}

int SimFiles::OpenForOutput(const std::string& path) {
    const fs::path host = Host(path);
    if (const int refusal = WriteRefusal(host))
        throw FileFailure(refusal, path);
    const int number = AddFile();
    OpenFile& file = files_[number];
    file.host = host;
    file.path = path;
    file.out.open(host, std::ios::binary | std::ios::trunc);
    if (!file.out) {
        files_.erase(number);
        throw FileFailure(errors::kPathFileAccess, path);
    }
    return number;
}

void SimFiles::WriteLine(int fileNumber, const std::string& text) {
    auto it = files_.find(fileNumber);
    if (it == files_.end())
        throw FileFailure(errors::kBadFileName, "#" + std::to_string(fileNumber));
    if (it->second.input)
        throw FileFailure(errors::kBadFileMode, it->second.path);
    const std::string bytes = text + "\r\n";
    const auto size = static_cast<long long>(bytes.size());
    if (!TakeSpace(size)) {
        // The disk fills part-way: what fits reaches the file, the rest is refused.
        it->second.out.write(bytes.data(), static_cast<std::streamsize>(diskSpace_));
        it->second.out.flush();
        diskSpace_ = 0;
        throw FileFailure(errors::kDiskFull, it->second.path);
    }
    it->second.out.write(bytes.data(), static_cast<std::streamsize>(size));
    if (!it->second.out)
        throw FileFailure(errors::kDeviceIo, it->second.path);
}

void SimFiles::CloseFile(int fileNumber) {
    OpenFile& file = Find(fileNumber);
    if (file.input) {
        files_.erase(fileNumber);
        return;
    }
    file.out.close();
    const bool ok = !file.out.fail();
    const std::string path = file.path;
    files_.erase(fileNumber);
    if (!ok)
        throw FileFailure(errors::kDeviceIo, path);
}

int SimFiles::OpenForInput(const std::string& path) {
    const fs::path host = Host(path);
    std::error_code ec;
    if (IsLocked(host))
        throw FileFailure(errors::kPermissionDenied, path);
    if (!fs::is_directory(host.parent_path(), ec))
        throw FileFailure(errors::kPathNotFound, path);
    if (fs::is_directory(host, ec))
        throw FileFailure(errors::kPathFileAccess, path);
    if (!fs::is_regular_file(host, ec))
        throw FileFailure(errors::kFileNotFound, path);
    const int number = AddFile();
    OpenFile& file = files_[number];
    file.host = host;
    file.path = path;
    file.input = true;
    file.in.open(host, std::ios::binary);
    if (!file.in) {
        files_.erase(number);
        throw FileFailure(errors::kPathFileAccess, path);
    }
    return number;
}

std::size_t SimFiles::ReadBlock(int fileNumber, char* buffer, std::size_t size) {
    OpenFile& file = Find(fileNumber);
    if (!file.input)
        throw FileFailure(errors::kBadFileMode, file.path);
    // A damaged disk: the file opens, its reading fails from some point on.
    const auto damaged = readErrors_.find(HostKey(file.host));
    if (damaged != readErrors_.end()) {
        const long long readable = damaged->second - static_cast<long long>(file.in.tellg());
        if (readable <= 0)
            throw FileFailure(errors::kDeviceIo, file.path);
        size = std::min(size, static_cast<std::size_t>(readable));
    }
    file.in.read(buffer, static_cast<std::streamsize>(size));
    const auto read = file.in.gcount();
    if (file.in.bad())
        throw FileFailure(errors::kDeviceIo, file.path);
    file.in.clear();
    return static_cast<std::size_t>(read);
}

// A rename over the target: both files stay as they were when it cannot be done. A read-only
// file stays read-only under its new name.
void SimFiles::ReplaceFile(const std::string& source, const std::string& target) {
    const fs::path from = Host(source);
    const fs::path to = Host(target);
    std::error_code ec;
    if (IsLocked(from))
        throw FileFailure(errors::kPermissionDenied, source);
    if (!fs::is_regular_file(from, ec))
        throw FileFailure(errors::kFileNotFound, source);
    if (const int refusal = WriteRefusal(to))
        throw FileFailure(refusal, target);
    if (IsReadOnly(from.parent_path()))
        throw FileFailure(errors::kPathFileAccess, source);
    fs::rename(from, to, ec);
    if (ec)
        throw FileFailure(errors::kPathFileAccess, target);
    if (readOnly_.erase(HostKey(from)))
        readOnly_.insert(HostKey(to));
}

void SimFiles::DeleteFileQuietly(const std::string& path) noexcept {
    try {
        const fs::path host = Host(path);
        std::error_code ec;
        if (IsLocked(host) || IsReadOnly(host) || IsReadOnly(host.parent_path()) ||
            !fs::is_regular_file(host, ec))
            return;
        fs::remove(host, ec);
    } catch (...) {
        // Never fails: a name that cannot be a file simply is not there.
    }
}

} // namespace pindrel::sim
