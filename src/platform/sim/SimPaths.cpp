#include "platform/sim/SimPaths.h"

#include "platform/sim/SimCodePage.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <system_error>

namespace pindrel::sim {

namespace fs = std::filesystem;

namespace {

// The name as stored in `folder`, found without regard to case (on a host whose own names are
// case-insensitive too, the stored spelling still matters for comparisons).
fs::path MatchCase(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    fs::path match = folder / name;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string stored = entry.path().filename().string();
        if (stored == name)
            return entry.path();
        if (SameTextIgnoringCase(stored, name))
            match = entry.path();
    }
    return match;
}

bool IsDriveLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

} // namespace

fs::path WindowsToHost(const fs::path& root, const std::string& path) {
    if (path.size() < 2 || !IsDriveLetter(path[0]) || path[1] != ':')
        throw FileFailure(errors::kBadFileName, path);
    fs::path host = root / std::string(1, AsciiLower(path[0]));
    int depth = 0;
    std::size_t start = 2;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string::npos)
            end = path.size();
        std::string name = path.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == ".")
            continue;
        if (name == "..") {
            if (depth > 0) {
                host = host.parent_path();
                --depth;
            }
            continue;
        }
        while (!name.empty() && (name.back() == ' ' || name.back() == '.'))
            name.pop_back();
        if (name.empty() || name.find_first_of("<>:\"|?*") != std::string::npos ||
            std::any_of(name.begin(), name.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 32; }))
            throw FileFailure(errors::kBadFileName, path);
        host = MatchCase(host, name);
        ++depth;
    }
    return host;
}

std::string HostKey(const fs::path& host) {
    return AsciiLower(host.lexically_normal().generic_string());
}

Failure FileFailure(int number, const std::string& path) {
    switch (number) {
    case errors::kBadFileName:
        return Failure(number, "Bad file name or number", path);
    case errors::kBadFileMode:
        return Failure(number, "Bad file mode", path);
    case errors::kFileNotFound:
        return Failure(number, "File not found", path);
    case errors::kDeviceIo:
        return Failure(number, "Device I/O error", path);
    case errors::kDiskFull:
        return Failure(number, "Disk full", path);
    case errors::kPermissionDenied:
        return Failure(number, "Permission denied", path);
    case errors::kPathNotFound:
        return Failure(number, "Path not found", path);
    default:
        return Failure(errors::kPathFileAccess, "Path/File access error", path);
    }
}

std::optional<std::string> ReadHostFile(const fs::path& host) {
    std::ifstream in(host, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool WriteHostFile(const fs::path& host, const std::string& bytes) {
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace pindrel::sim
