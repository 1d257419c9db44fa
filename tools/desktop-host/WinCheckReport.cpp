// Writes wincheck's report lines about pindrel's window, the windows inside it and its popups.
#include "WinCheckReport.h"

#include <cstdio>
#include <vector>

namespace wincheck {

std::string Hex(HWND window) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX",
                  static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)));
    return text;
}

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += c;
        }
    }
    return out;
}

void BecomeDpiAware() {
    using SetContextFn = BOOL(WINAPI*)(HANDLE);
    HMODULE user32 = GetModuleHandleA("user32.dll");
    auto setContext = reinterpret_cast<SetContextFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    if (!setContext || !setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4))))
        SetProcessDPIAware();
}

namespace {

UINT DpiOf(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    HMODULE user32 = GetModuleHandleA("user32.dll");
    auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(user32, "GetDpiForWindow")));
    return getDpiForWindow ? getDpiForWindow(window) : 0;
}

int SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

std::string ComboFields(HWND combo) {
    std::string items;
    const auto count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        // The wide request: Wine hands an 8-bit CB_GETLBTEXT across processes in UTF-16.
        const auto length =
            static_cast<int>(SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0));
        std::vector<wchar_t> buffer(static_cast<size_t>(length > 0 ? length : 0) + 2, L'\0');
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(buffer.data()));
        char text[512] = "";
        WideCharToMultiByte(CP_ACP, 0, buffer.data(), -1, text, sizeof text, nullptr, nullptr);
        if (i > 0)
            items += "|";
        items += Escape(text);
    }
    const auto selected = static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0));
    // Its edit child, looked for among its children: GetComboBoxInfo would hand the combo box an
    // address in this process, and Wine does not carry CB_GETCOMBOBOXINFO across processes, so
    // the combo box would write the record into the checked program's memory at that address
    // (its stack, where it overwrote a return address).
    const HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr);
    return "items=" + items + "\tcount=" + std::to_string(count) +
           "\tselected=" + std::to_string(selected) +
           "\tdropped=" + std::to_string(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0)) +
           "\tcomboedit=" + Hex(edit) + "\t";
}

// A descendant's line; its rectangle is given within the client area of the window itself.
std::string ChildLine(HWND window, const Descendant& descendant) {
    HWND child = descendant.window;
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    const auto style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongA(child, GWL_EXSTYLE));
    const std::string cls = ClassOf(child);
    char text[512];
    std::snprintf(text, sizeof text,
                  "child\tz=%d\tdepth=%d\tparent=%s\thwnd=%s\tid=%ld\tclass=%s\tstyle=%s\texstyle=%"
                  "s\ttabstop=%d\t"
                  "visible=%d\tenabled=%d\trect=%ld,%ld,%ld,%ld\t",
                  descendant.z, descendant.depth, Hex(descendant.parent).c_str(),
                  Hex(child).c_str(), static_cast<long>(GetDlgCtrlID(child)), cls.c_str(),
                  Hex(style).c_str(), Hex(exStyle).c_str(), (style & WS_TABSTOP) ? 1 : 0,
                  IsWindowVisible(child) ? 1 : 0, IsWindowEnabled(child) ? 1 : 0, rect.left,
                  rect.top, rect.right - rect.left, rect.bottom - rect.top);
    std::string line = text;
    if (lstrcmpiA(cls.c_str(), "ComboBox") == 0)
        line += ComboFields(child);
    return line + "text=" + Escape(TextOf(child));
}

} // namespace

std::string WindowLine(const Target& target) {
    RECT window{};
    GetWindowRect(target.window, &window);
    RECT client{};
    GetClientRect(target.window, &client);
    POINT origin{0, 0};
    ClientToScreen(target.window, &origin);
    const auto style = static_cast<DWORD>(GetWindowLongA(target.window, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongA(target.window, GWL_EXSTYLE));
    char text[512];
    std::snprintf(text, sizeof text,
                  "window\thwnd=%s\tpid=%lu\tclass=%s\tstyle=%s\texstyle=%s\t"
                  "screenrect=%ld,%ld,%ld,%ld\tclient=%ld,%ld\tclientorigin=%ld,%ld\tdpi=%u\t"
                  "systemdpi=%d\tforeground=%d\tfocus=%s\t",
                  Hex(target.window).c_str(), static_cast<unsigned long>(target.pid),
                  ClassOf(target.window).c_str(), Hex(style).c_str(), Hex(exStyle).c_str(),
                  window.left, window.top, window.right - window.left, window.bottom - window.top,
                  client.right, client.bottom, origin.x, origin.y, DpiOf(target.window),
                  SystemDpi(), GetForegroundWindow() == target.window ? 1 : 0,
                  Hex(FocusOf(target)).c_str());
    return text + std::string("caption=") + Escape(TextOf(target.window));
}

std::string ControlsReport(const Target& target) {
    std::string report = WindowLine(target) + "\n";
    for (const Descendant& descendant : Descendants(target.window))
        report += ChildLine(target.window, descendant) + "\n";
    for (HWND popup : PopupsOf(target))
        report += "popup\thwnd=" + Hex(popup) + "\tclass=" + ClassOf(popup) +
                  "\tcaption=" + Escape(TextOf(popup)) + "\n";
    return report;
}

} // namespace wincheck
