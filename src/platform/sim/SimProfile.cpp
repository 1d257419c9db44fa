#include "platform/sim/SimProfile.h"

#include "platform/WindowsApi.h"
#include "platform/sim/SimCodePage.h"
#include "platform/sim/SimIni.h"
#include "platform/sim/SimPaths.h"

#include <cstring>
#include <limits>

namespace pindrel::sim {

namespace {

const std::string kUtf16Mark = "\xFF\xFE";

bool IsUtf16(const std::string& bytes) {
    return bytes.compare(0, kUtf16Mark.size(), kUtf16Mark) == 0;
}

// The text of a UTF-16 file (after its mark) as UTF-8, and back.
std::string Utf16FileText(const std::string& bytes) {
    std::u16string text;
    for (std::size_t i = kUtf16Mark.size(); i + 1 < bytes.size(); i += 2) {
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    return Utf16ToUtf8(text);
}

std::string Utf16FileBytes(const std::string& utf8) {
    std::string bytes = kUtf16Mark;
    for (const char16_t unit : Utf8ToUtf16(utf8)) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

// The host file the profile functions reach for `fileName`, or nothing.
std::optional<std::filesystem::path> ProfileHost(const SimFiles& files, const char16_t* fileName) {
    const std::u16string path = fileName ? fileName : u"";
    if (path.size() >= win::MAX_PATH || path.compare(0, 4, u"\\\\?\\") == 0)
        return std::nullopt;
    try {
        return files.Reach(path);
    } catch (const Failure&) {
        return std::nullopt; // a relative or malformed name: nothing there
    }
}

std::optional<std::u16string> Text(const char16_t* text) {
    return text ? std::optional<std::u16string>(text) : std::nullopt;
}

} // namespace

DWORD ProfileRead(SimFiles& files, SimLog& log, const char16_t* section, const char16_t* key,
                  const char16_t* defaultValue, char16_t* buffer, DWORD size,
                  const char16_t* fileName) {
    if (!section || !key) {
        log.Fault("GetPrivateProfileStringW: listing sections or keys is not simulated");
        if (buffer && size > 0)
            buffer[0] = u'\0';
        return 0;
    }
    std::optional<std::string> file;
    if (const auto host = ProfileHost(files, fileName); host && files.ReadRefusal(*host) == 0)
        file = ReadHostFile(*host);
    if (!buffer || size == 0)
        return 0;
    const std::u16string fallback = defaultValue ? defaultValue : u"";
    std::u16string value;
    if (file && IsUtf16(*file)) {
        value =
            Utf8ToUtf16(IniRead(Utf16FileText(*file), Utf16ToUtf8(section), Utf16ToUtf8(key),
                                Utf16ToUtf8(fallback), std::numeric_limits<std::uint32_t>::max()));
    } else {
        value = Cp1252ToUtf16(IniRead(file, Utf16ToCp1252(section), Utf16ToCp1252(key),
                                      Utf16ToCp1252(fallback), size));
    }
    if (value.size() > size - 1)
        value.resize(size - 1);
    std::memcpy(buffer, value.c_str(), (value.size() + 1) * sizeof(char16_t));
    return static_cast<DWORD>(value.size());
}

BOOL ProfileWrite(SimFiles& files, const char16_t* section, const char16_t* key,
                  const char16_t* value, const char16_t* fileName) {
    if (!section) // only the "flush the cache" call (all NULL) succeeds without a section
        return !key && !value ? 1 : 0;
    const auto host = ProfileHost(files, fileName);
    if (!host || files.WriteRefusal(*host) != 0)
        return 0;
    const std::optional<std::string> old = ReadHostFile(*host);
    std::optional<std::string> bytes;
    if (old && IsUtf16(*old)) {
        const auto utf8 = [](const std::optional<std::u16string>& text) {
            return text ? std::optional<std::string>(Utf16ToUtf8(*text)) : std::nullopt;
        };
        bytes =
            IniWrite(Utf16FileText(*old), Utf16ToUtf8(section), utf8(Text(key)), utf8(Text(value)));
        if (bytes)
            bytes = Utf16FileBytes(*bytes);
    } else {
        const auto ansi = [](const std::optional<std::u16string>& text) {
            return text ? std::optional<std::string>(Utf16ToCp1252(*text)) : std::nullopt;
        };
        bytes = IniWrite(old, Utf16ToCp1252(section), ansi(Text(key)), ansi(Text(value)));
    }
    if (!bytes)
        return 1;
    const auto growth =
        static_cast<long long>(bytes->size()) - static_cast<long long>(old ? old->size() : 0);
    if (!files.TakeSpace(growth))
        return 0;
    return WriteHostFile(*host, *bytes) ? 1 : 0;
}

} // namespace pindrel::sim
