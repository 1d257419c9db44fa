#include "platform/sim/SimPaths.h"

#include "FileErrors.h"
#include "platform/WindowsApi.h"
#include "platform/sim/SimCodePage.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

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

bool IsDriveLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool StartsWith(const std::u16string& text, const std::u16string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The names of `rest`, split at "\" (and "/" unless the path is literal).
std::vector<std::u16string> Names(const std::u16string& rest, bool literal) {
    std::vector<std::u16string> names;
    std::u16string name;
    for (const char16_t c : rest) {
        if (c == u'\\' || (!literal && c == u'/')) {
            names.push_back(name);
            name.clear();
        } else {
            name += c;
        }
    }
    names.push_back(name);
    return names;
}

} // namespace

fs::path WindowsToHost(const fs::path& root, const std::u16string& path, bool limitLength) {
    auto refuse = [&](DWORD error) { return FileFailure(error, path); };
    const bool literal = StartsWith(path, u"\\\\?\\");
    std::u16string rest = literal ? path.substr(4) : path;
    const bool unc = literal ? StartsWith(rest, u"UNC\\")
                             : rest.size() >= 2 && (rest[0] == u'\\' || rest[0] == u'/') &&
                                   (rest[1] == u'\\' || rest[1] == u'/');
    if (limitLength && !literal && path.size() >= win::MAX_PATH)
        throw refuse(win::ERROR_FILENAME_EXCED_RANGE);
    fs::path host;
    std::vector<std::u16string> names;
    if (unc) {
        names = Names(rest.substr(literal ? 4 : 2), literal);
        if (names.size() < 2 || names[0].empty() || names[1].empty())
            throw refuse(win::ERROR_BAD_PATHNAME);
        host = root / "unc" / AsciiLower(Utf16ToUtf8(names[0])) / AsciiLower(Utf16ToUtf8(names[1]));
        names.erase(names.begin(), names.begin() + 2);
    } else {
        if (rest.size() < 2 || !IsDriveLetter(rest[0]) || rest[1] != u':')
            throw refuse(win::ERROR_INVALID_NAME);
        host = root / std::string(1, AsciiLower(static_cast<char>(rest[0])));
        names = Names(rest.substr(2), literal);
        if (!names.empty() && names.front().empty())
            names.erase(names.begin()); // the root's own separator
    }
    int depth = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::u16string name = names[i];
        const bool last = i + 1 == names.size();
        if (literal) {
            if ((name.empty() && !last) || name == u"." || name == u"..")
                throw refuse(win::ERROR_INVALID_NAME);
            if (name.empty())
                continue; // a trailing separator
        } else {
            if (name.empty() || name == u".")
                continue;
            if (name == u"..") {
                if (depth > 0) {
                    host = host.parent_path();
                    --depth;
                }
                continue;
            }
            while (!name.empty() && (name.back() == u' ' || name.back() == u'.'))
                name.pop_back();
        }
        if (name.empty() || name.find_first_of(u"<>:\"|?*/") != std::u16string::npos ||
            std::any_of(name.begin(), name.end(), [](char16_t c) { return c < 32; }))
            throw refuse(win::ERROR_INVALID_NAME);
        if (name.size() > 255)
            throw refuse(win::ERROR_FILENAME_EXCED_RANGE);
        host = MatchCase(host, Utf16ToUtf8(name));
        ++depth;
    }
    return host;
}

std::string HostKey(const fs::path& host) {
    return AsciiLower(host.lexically_normal().generic_string());
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
