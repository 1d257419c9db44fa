#include "LayoutFile.h"

#include "Conversions.h"
#include "Utf.h"

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

std::u16string LayoutFilePath(Runtime& runtime, const std::u16string& userName,
                              const std::u16string& computerName) {
    return runtime.AppPath() + u"\\" + userName + u"@" + computerName + u"@" +
           Utf8ToUtf16(ResolutionTag(runtime)) + u".txt";
}

std::string FormatLayoutLine(std::int32_t x, std::int32_t y, std::string_view name) {
    std::string line = LongToText(x);
    line += ',';
    line += LongToText(y);
    line += ',';
    line += TrimView(name);
    return line;
}

} // namespace pindrel
