#include "LayoutFile.h"

#include "Conversions.h"

namespace pindrel {

std::string ResolutionTag(Runtime& runtime) {
    // Where the platform reports pixels, the tag is exactly that size: going through twips and
    // back would give "1366x768.0001" at 106 dpi, and differently in the 32-bit (x87) and the
    // 64-bit (SSE) build.
    std::int32_t widthPixels = 0;
    std::int32_t heightPixels = 0;
    if (runtime.ScreenPixels(widthPixels, heightPixels)) {
        return LongToText(widthPixels) + "x" + LongToText(heightPixels);
    }
    // Single-precision division on purpose: the quotient is the screen size in pixels even when
    // the twips per pixel are not whole (3840 pixels at 7.5 twips per pixel gives 3840).
    const float width = runtime.ScreenWidthTwips() / runtime.TwipsPerPixelX();
    const float height = runtime.ScreenHeightTwips() / runtime.TwipsPerPixelY();
    return SingleToText(width) + "x" + SingleToText(height);
}

std::string LayoutFilePath(Runtime& runtime, const std::string& userName,
                           const std::string& computerName) {
    return runtime.AppPath() + "\\" + userName + "@" + computerName + "@" + ResolutionTag(runtime) +
           ".txt";
}

std::string FormatLayoutLine(std::int32_t x, std::int32_t y, std::string_view name) {
    std::string line = LongToText(x);
    line += ',';
    line += LongToText(y);
    line += ',';
    line += TrimView(name);
    return line;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    if (text.empty()) {
        return lines;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find("\r\n", start);
        if (at == std::string_view::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, at - start));
        start = at + 2;
    }
}

bool ParseLayoutLine(std::string_view line, LayoutFields& fields) {
    const std::size_t first = line.find(',');
    if (first == std::string_view::npos) {
        return false;
    }
    const std::string_view rest = line.substr(first + 1);
    const std::size_t second = rest.find(',');
    // y must be at least one character long.
    if (second == std::string_view::npos || second == 0) {
        return false;
    }
    fields.x = line.substr(0, first);
    fields.y = rest.substr(0, second);
    fields.name = TrimView(rest.substr(second + 1));
    return true;
}

} // namespace pindrel
