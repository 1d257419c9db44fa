// Text conversions of the simulated session. Windows-1252 maps one byte to one UTF-16 unit; only
// 0x80..0x9F differ from Latin-1.
#include "platform/sim/SimCodePage.h"

#include "platform/WindowsApi.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace pindrel::sim {

namespace {

// Windows-1252 characters 0x80..0x9F. The five bytes the code page leaves undefined map to the
// control characters of the same number, as Windows maps them.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

// (Windows' own conversion would first try a "best fit", e.g. a macron A to A; that table is not
// simulated.)
std::string Utf16ToCp1252(const std::u16string& utf16) {
    std::string out;
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char16_t unit = utf16[i];
        if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
            out += static_cast<char>(unit);
            continue;
        }
        const auto* found = std::find(std::begin(kCp1252High), std::end(kCp1252High), unit);
        if (found != std::end(kCp1252High)) {
            out += static_cast<char>(0x80 + (found - std::begin(kCp1252High)));
            continue;
        }
        if (HighSurrogateAt(utf16, i))
            ++i;
        out += '?';
    }
    return out;
}

std::u16string Cp1252ToUtf16(const std::string& bytes) {
    std::u16string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out +=
            (byte >= 0x80 && byte < 0xA0) ? kCp1252High[byte - 0x80] : static_cast<char16_t>(byte);
    }
    return out;
}

int WideToCp1252(UINT codePage, DWORD flags, const char16_t* wide, int wideCount, char* multi,
                 int multiSize, const char* defaultChar, BOOL* usedDefaultChar) {
    if ((codePage != win::CP_ACP && codePage != 1252) ||
        (flags & ~win::WC_NO_BEST_FIT_CHARS) != 0 || !wide || wideCount == 0 || wideCount < -1 ||
        multiSize < 0 || (multiSize > 0 && !multi))
        return 0;
    std::size_t count = static_cast<std::size_t>(wideCount);
    if (wideCount == -1)
        count = std::char_traits<char16_t>::length(wide) + 1;
    const std::u16string text(wide, count);
    std::string bytes = Utf16ToCp1252(text);
    // '?' stands for every character the code page lacks; a '?' of the text itself is kept.
    bool usedDefault = false;
    for (std::size_t i = 0, unit = 0; i < bytes.size(); ++i, ++unit) {
        if (bytes[i] == '?' && text[unit] != u'?') {
            usedDefault = true;
            if (defaultChar)
                bytes[i] = *defaultChar;
        }
        if (HighSurrogateAt(text, unit))
            ++unit;
    }
    if (usedDefaultChar)
        *usedDefaultChar = usedDefault ? 1 : 0;
    const auto needed = static_cast<int>(bytes.size());
    if (multiSize == 0)
        return needed;
    if (needed > multiSize)
        return 0;
    std::memcpy(multi, bytes.data(), bytes.size());
    return needed;
}

int Cp1252ToWide(UINT codePage, DWORD flags, const char* multi, int multiCount, char16_t* wide,
                 int wideSize) {
    if ((codePage != win::CP_ACP && codePage != 1252) ||
        (flags & ~win::MB_ERR_INVALID_CHARS) != 0 || !multi || multiCount == 0 || multiCount < -1 ||
        wideSize < 0 || (wideSize > 0 && !wide))
        return 0;
    std::size_t count = static_cast<std::size_t>(multiCount);
    if (multiCount == -1)
        count = std::char_traits<char>::length(multi) + 1;
    const std::u16string text = Cp1252ToUtf16(std::string(multi, count));
    const auto needed = static_cast<int>(text.size());
    if (wideSize == 0)
        return needed;
    if (needed > wideSize)
        return 0;
    std::memcpy(wide, text.data(), text.size() * sizeof(char16_t));
    return needed;
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string AsciiLower(std::string text) {
    for (char& c : text)
        c = AsciiLower(c);
    return text;
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    return AsciiLower(a) == AsciiLower(b);
}

} // namespace pindrel::sim
