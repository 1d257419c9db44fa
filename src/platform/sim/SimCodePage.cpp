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

bool HighSurrogateAt(const std::u16string& text, std::size_t i) {
    return text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
           text[i + 1] <= 0xDFFF;
}

} // namespace

std::u16string Utf8ToUtf16(const std::string& utf8) {
    std::u16string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int extra = lead < 0x80         ? 0
                    : (lead >> 5) == 6  ? 1
                    : (lead >> 4) == 14 ? 2
                    : (lead >> 3) == 30 ? 3
                                        : -1;
        char32_t code = extra == 0   ? lead
                        : extra == 1 ? lead & 0x1Fu
                        : extra == 2 ? lead & 0x0Fu
                                     : lead & 0x07u;
        bool ok = extra >= 0 && i + static_cast<std::size_t>(extra) < utf8.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            ok = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3Fu);
        }
        if (!ok || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        i += static_cast<std::size_t>(extra) + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
    }
    return out;
}

std::string Utf16ToUtf8(const std::u16string& utf16) {
    std::string out;
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t code = utf16[i];
        if (HighSurrogateAt(utf16, i)) {
            code = 0x10000 + ((code - 0xD800) << 10) + (utf16[i + 1] - 0xDC00u);
            ++i;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

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
                 int multiSize) {
    if ((codePage != win::CP_ACP && codePage != 1252) || flags != 0 || !wide || wideCount == 0 ||
        wideCount < -1 || multiSize < 0 || (multiSize > 0 && !multi))
        return 0;
    std::size_t count = static_cast<std::size_t>(wideCount);
    if (wideCount == -1)
        count = std::char_traits<char16_t>::length(wide) + 1;
    const std::string bytes = Utf16ToCp1252(std::u16string(wide, count));
    const auto needed = static_cast<int>(bytes.size());
    if (multiSize == 0)
        return needed;
    if (needed > multiSize)
        return 0;
    std::memcpy(multi, bytes.data(), bytes.size());
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
