#include "WindowsPaths.h"

#include "Utf.h"
#include "platform/WindowsApi.h"

namespace pindrel {

namespace {

const std::u16string kLocalPrefix = u"\\\\?\\";
const std::u16string kUncPrefix = u"\\\\?\\UNC\\";

bool StartsWith(const std::u16string& text, const std::u16string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

// `rest` with "\" for "/" and each run of separators made one.
std::u16string SingleSeparators(const std::u16string& rest) {
    std::u16string out;
    for (const char16_t c : rest) {
        if (!IsSeparator(c)) {
            out += c;
        } else if (out.empty() || out.back() != u'\\') {
            out += u'\\';
        }
    }
    return out;
}

} // namespace

std::u16string FileSystemPath(const std::u16string& path) {
    if (path.size() < win::MAX_PATH || StartsWith(path, kLocalPrefix)) {
        return path;
    }
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        // \\server\share\...
        return kUncPrefix + SingleSeparators(path.substr(2));
    }
    return kLocalPrefix + SingleSeparators(path);
}

std::string PathText(const std::u16string& path) {
    if (StartsWith(path, kUncPrefix)) {
        return "\\\\" + Utf16ToUtf8(path.substr(kUncPrefix.size()));
    }
    if (StartsWith(path, kLocalPrefix)) {
        return Utf16ToUtf8(path.substr(kLocalPrefix.size()));
    }
    return Utf16ToUtf8(path);
}

} // namespace pindrel
