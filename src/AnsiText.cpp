#include "AnsiText.h"

namespace pindrel {

std::string WideToAnsi(WindowsApi& api, const std::u16string& wide) {
    if (wide.empty()) {
        return {};
    }
    const int count = static_cast<int>(wide.size());
    const int needed =
        api.WideCharToMultiByte(win::CP_ACP, 0, wide.data(), count, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(needed), '\0');
    const int written = api.WideCharToMultiByte(win::CP_ACP, 0, wide.data(), count, text.data(),
                                                needed, nullptr, nullptr);
    text.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return text;
}

std::u16string AnsiToWide(WindowsApi& api, const std::string& ansi) {
    if (ansi.empty()) {
        return {};
    }
    const int count = static_cast<int>(ansi.size());
    const int needed = api.MultiByteToWideChar(win::CP_ACP, 0, ansi.data(), count, nullptr, 0);
    if (needed <= 0) {
        return {};
    }
    std::u16string text(static_cast<std::size_t>(needed), u'\0');
    const int written =
        api.MultiByteToWideChar(win::CP_ACP, 0, ansi.data(), count, text.data(), needed);
    text.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return text;
}

bool FitsCodePage(WindowsApi& api, const std::u16string& wide) {
    // The round trip, rather than the "default character used" flag: that flag is refused when
    // the ANSI code page is UTF-8, and a "best fit" stand-in ("A" for a macron A) does not set it.
    return AnsiToWide(api, WideToAnsi(api, wide)) == wide;
}

} // namespace pindrel
