// wincheck.exe: looks at pindrel's window from outside and works it as a user would, for the
// window tests under Wine (run in the same Windows session as pindrel.exe).
//
// The window is the one visible top-level window captioned "Pindrel" that is not a message box.
//
//   wincheck wait                 waits until the window is shown and its thread is idle in its
//                                 message loop, then prints its "window" line
//   wincheck controls <file|->    writes the window's report: a "window" line (caption, class,
//                                 styles, screen rectangle, client size, DPI, focus), one "child"
//                                 line per window inside it, found with EnumChildWindows and
//                                 listed parent first, siblings in z-order (class, text, rectangle
//                                 within the window's client area, style, ex-style, z-order index
//                                 among its siblings, depth, parent, tab-stop flag; a combo box's
//                                 entries and selection) and one "popup" line per other visible
//                                 top-level window of its process
//   wincheck keys <key>...        makes the window the foreground window and types the keys with
//                                 SendInput, one step each, waiting after each step until the
//                                 window's thread has handled it; prints "start" and then one
//                                 "step" line per key with the focused control and whether the
//                                 window is still open. Keys: Tab, Enter, Escape, Space, Home, End,
//                                 Left, Right, Up, Down, Delete, Back, F1..F12, A..Z, 0..9, each
//                                 with optional "Shift+", "Ctrl+", "Alt+" (pressed and released);
//                                 "down:<key>" and "up:<key>" press or release only;
//                                 "text:<characters>" types characters
//   wincheck click <caption>      clicks the child button with this caption with the mouse
//                                 (SendInput) and waits until the window has handled the click;
//                                 prints a "step" line
//   wincheck settext <caption|#n> <text>
//                                 sets the text of a child (by caption, or by its place in the
//                                 "controls" report, from 0)
//   wincheck close                sends WM_CLOSE and waits until the window is gone
//
// Lines are tab-separated "name=value" fields after a leading word; a field "text=" or
// "caption=" comes last and holds the rest of the line, with tab, CR, LF and backslash escaped
// as \t, \r, \n and \\. Handles are printed as 0x%08X.
//
// Exit codes: 0 done, 1 usage, 2 no window (or more than one), 3 a step could not be carried out,
// 4 the window closed before the last key (the steps up to its closing are printed).
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Only stops a wait for a hung or missing window; never a measure of speed.
constexpr DWORD kHangGuardMs = 60000;
// The key that marks the end of a step: nothing in the window reacts to it.
constexpr WORD kMarkerKey = VK_F24;
constexpr const char* kCaption = "Pindrel";

int Usage() {
    std::fprintf(stderr, "usage: wincheck wait | controls <file|-> | keys <key>... | "
                         "click <caption> | settext <caption|#n> <text> | close\n");
    return 1;
}

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

std::string ClassOf(HWND window) {
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

// The window's text as the window itself answers WM_GETTEXT (for another process's edit control
// GetWindowText would give the text it was created with, not what it shows).
std::string TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kHangGuardMs,
                             &length))
        return {};
    std::vector<char> buffer(length + 2, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, buffer.size(),
                             reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                             kHangGuardMs, &copied))
        return {};
    return std::string(buffer.data(), std::strlen(buffer.data()));
}

// ---- the window ----------------------------------------------------------------------------

struct Target {
    HWND window = nullptr;
    DWORD pid = 0;
    DWORD tid = 0;
};

struct Search {
    std::vector<HWND> found;
};

BOOL CALLBACK CollectMainWindows(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    char caption[64] = "";
    if (IsWindowVisible(window) && GetWindowTextA(window, caption, sizeof caption) > 0 &&
        std::strcmp(caption, kCaption) == 0 && ClassOf(window) != "#32770")
        search->found.push_back(window);
    return TRUE;
}

// The window, when exactly one is there.
bool FindTarget(Target& target, bool report) {
    Search search;
    EnumWindows(CollectMainWindows, reinterpret_cast<LPARAM>(&search));
    if (search.found.size() != 1) {
        if (report)
            std::fprintf(stderr, "wincheck: %u windows captioned \"%s\"\n",
                         static_cast<unsigned>(search.found.size()), kCaption);
        return false;
    }
    target.window = search.found.front();
    target.tid = GetWindowThreadProcessId(target.window, &target.pid);
    return true;
}

// Waits for the window; true once it is there and its thread answers.
bool WaitForTarget(Target& target) {
    for (DWORD waited = 0; waited < kHangGuardMs; waited += 20) {
        if (FindTarget(target, false)) {
            DWORD_PTR answer = 0;
            if (SendMessageTimeoutA(target.window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kHangGuardMs,
                                    &answer))
                return true;
        }
        Sleep(20);
    }
    FindTarget(target, true);
    return false;
}

HWND FocusOf(const Target& target) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(target.tid, &info))
        return nullptr;
    return info.hwndFocus;
}

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

// Rectangles are read in physical pixels: the helper is DPI aware, so Windows does not scale
// what it reports.
void BecomeDpiAware() {
    using SetContextFn = BOOL(WINAPI*)(HANDLE);
    HMODULE user32 = GetModuleHandleA("user32.dll");
    auto setContext = reinterpret_cast<SetContextFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    if (!setContext || !setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4))))
        SetProcessDPIAware();
}

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

// ---- the children --------------------------------------------------------------------------

// Every window inside the window (EnumChildWindows goes down the whole tree), listed parent
// before children and siblings in z-order, top first.
struct Descendant {
    HWND window;
    HWND parent;
    int z;     // the place among its siblings
    int depth; // 1 for a child of the window itself
};

BOOL CALLBACK CollectDescendants(HWND window, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

void AddInZOrder(HWND parent, int depth, const std::vector<HWND>& all,
                 std::vector<Descendant>& out) {
    int z = 0;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        bool known = false;
        for (HWND window : all)
            known = known || window == child;
        if (!known)
            continue;
        out.push_back(Descendant{child, parent, z++, depth});
        AddInZOrder(child, depth + 1, all, out);
    }
}

std::vector<Descendant> Descendants(HWND window) {
    std::vector<HWND> all;
    EnumChildWindows(window, CollectDescendants, reinterpret_cast<LPARAM>(&all));
    std::vector<Descendant> ordered;
    AddInZOrder(window, 1, all, ordered);
    return ordered;
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
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    GetComboBoxInfo(combo, &info);
    return "items=" + items + "\tcount=" + std::to_string(count) +
           "\tselected=" + std::to_string(selected) +
           "\tdropped=" + std::to_string(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0)) +
           "\tcomboedit=" + Hex(info.hwndItem) + "\t";
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

struct Popups {
    DWORD pid;
    HWND main;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectPopups(HWND window, LPARAM param) {
    auto* popups = reinterpret_cast<Popups*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == popups->pid && window != popups->main && IsWindowVisible(window))
        popups->found.push_back(window);
    return TRUE;
}

// Other visible top-level windows of the window's process (a message box, say).
std::vector<HWND> PopupsOf(const Target& target) {
    Popups popups{target.pid, target.window, {}};
    EnumWindows(CollectPopups, reinterpret_cast<LPARAM>(&popups));
    return popups.found;
}

int Controls(const char* file) {
    Target target;
    if (!FindTarget(target, true))
        return 2;
    std::string report = WindowLine(target) + "\n";
    for (const Descendant& descendant : Descendants(target.window))
        report += ChildLine(target.window, descendant) + "\n";
    for (HWND popup : PopupsOf(target))
        report += "popup\thwnd=" + Hex(popup) + "\tclass=" + ClassOf(popup) +
                  "\tcaption=" + Escape(TextOf(popup)) + "\n";
    if (std::strcmp(file, "-") == 0) {
        std::fwrite(report.data(), 1, report.size(), stdout);
        return 0;
    }
    FILE* out = std::fopen(file, "wb");
    if (!out) {
        std::fprintf(stderr, "wincheck: cannot write %s\n", file);
        return 3;
    }
    std::fwrite(report.data(), 1, report.size(), out);
    return std::fclose(out) == 0 ? 0 : 3;
}

// ---- input -----------------------------------------------------------------------------------

bool IsExtended(WORD vk) {
    switch (vk) {
    case VK_HOME:
    case VK_END:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_DELETE:
    case VK_INSERT:
    case VK_PRIOR:
    case VK_NEXT:
        return true;
    default:
        return false;
    }
}

void SendKey(WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0u) | (IsExtended(vk) ? KEYEVENTF_EXTENDEDKEY : 0u);
    SendInput(1, &input, sizeof input);
}

void SendUnicode(wchar_t c) {
    INPUT inputs[2]{};
    for (int i = 0; i < 2; ++i) {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wScan = static_cast<WORD>(c);
        inputs[i].ki.dwFlags = KEYEVENTF_UNICODE | (i == 1 ? KEYEVENTF_KEYUP : 0u);
    }
    SendInput(2, inputs, sizeof inputs[0]);
}

bool KeyDown(WORD vk) {
    return (GetKeyState(vk) & 0x8000) != 0;
}

struct Waiter {
    const Target& target;
    HANDLE process;

    bool Open() const {
        return IsWindow(target.window) &&
               (!process || WaitForSingleObject(process, 0) == WAIT_TIMEOUT);
    }

    // Waits until the window's thread has taken the marker key's press (down) or release out of
    // its queue, which it does only after it has handled everything sent before; or until the
    // window is gone. The helper shares the window thread's input state (AttachThreadInput), so
    // GetKeyState shows the key state as that thread has seen it. False when the guard ran out.
    bool MarkerSeen(bool down) const {
        SendKey(kMarkerKey, !down);
        for (DWORD waited = 0; waited < kHangGuardMs; ++waited) {
            if (KeyDown(kMarkerKey) == down || !Open())
                return true;
            Sleep(1);
        }
        return false;
    }

    // Waits until the window has handled all input sent so far.
    bool Settle() const { return MarkerSeen(true) && MarkerSeen(false); }
};

WORD NamedKey(const std::string& name) {
    struct Named {
        const char* name;
        WORD vk;
    };
    static const Named keys[] = {
        {"Tab", VK_TAB},     {"Enter", VK_RETURN}, {"Escape", VK_ESCAPE}, {"Space", VK_SPACE},
        {"Home", VK_HOME},   {"End", VK_END},      {"Left", VK_LEFT},     {"Right", VK_RIGHT},
        {"Up", VK_UP},       {"Down", VK_DOWN},    {"Delete", VK_DELETE}, {"Back", VK_BACK},
        {"Shift", VK_SHIFT}, {"Ctrl", VK_CONTROL}, {"Alt", VK_MENU},
    };
    for (const Named& key : keys) {
        if (name == key.name)
            return key.vk;
    }
    if (name.size() == 1 &&
        ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= '0' && name[0] <= '9')))
        return static_cast<WORD>(name[0]);
    if (name.size() >= 2 && name[0] == 'F') {
        const int n = std::atoi(name.c_str() + 1);
        if (n >= 1 && n <= 12)
            return static_cast<WORD>(VK_F1 + n - 1);
    }
    return 0;
}

// "Shift+Ctrl+Tab" into its modifiers and its key; false for an unknown name.
bool ParseChord(const std::string& chord, std::vector<WORD>& modifiers, WORD& key) {
    size_t start = 0;
    for (;;) {
        const size_t plus = chord.find('+', start);
        const std::string part =
            chord.substr(start, plus == std::string::npos ? plus : plus - start);
        const WORD vk = NamedKey(part);
        if (vk == 0)
            return false;
        if (plus == std::string::npos) {
            key = vk;
            return true;
        }
        if (vk != VK_SHIFT && vk != VK_CONTROL && vk != VK_MENU)
            return false;
        modifiers.push_back(vk);
        start = plus + 1;
    }
}

void TypeText(const std::string& text) {
    for (char c : text) {
        const SHORT scan = VkKeyScanA(c);
        const int shift = (scan >> 8) & 0xFF;
        if (scan == -1 || (shift & ~1) != 0) {
            SendUnicode(static_cast<wchar_t>(static_cast<unsigned char>(c)));
            continue;
        }
        const auto vk = static_cast<WORD>(scan & 0xFF);
        if (shift & 1)
            SendKey(VK_SHIFT, false);
        SendKey(vk, false);
        SendKey(vk, true);
        if (shift & 1)
            SendKey(VK_SHIFT, true);
    }
}

// Sends one step; false for a key it does not know.
bool SendStep(const std::string& step) {
    if (step.rfind("text:", 0) == 0) {
        TypeText(step.substr(5));
        return true;
    }
    const bool downOnly = step.rfind("down:", 0) == 0;
    const bool upOnly = step.rfind("up:", 0) == 0;
    const std::string chord = downOnly ? step.substr(5) : upOnly ? step.substr(3) : step;
    std::vector<WORD> modifiers;
    WORD key = 0;
    if (!ParseChord(chord, modifiers, key))
        return false;
    if (!upOnly) {
        for (WORD modifier : modifiers)
            SendKey(modifier, false);
        SendKey(key, false);
    }
    if (!downOnly) {
        SendKey(key, true);
        for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
            SendKey(*it, true);
    }
    return true;
}

std::string StepLine(const char* word, const std::string& step, const Waiter& waiter) {
    const bool open = waiter.Open();
    HWND focus = open ? FocusOf(waiter.target) : nullptr;
    std::string line = std::string(word) + "\topen=" + (open ? "1" : "0") + "\tfocus=" + Hex(focus);
    if (focus)
        line += "\tfocusclass=" + ClassOf(focus);
    line += "\tpopups=" + std::to_string(open ? PopupsOf(waiter.target).size() : 0);
    return line + "\tkey=" + Escape(step);
}

// The common start of keys and click: the window, in front, sharing its input state.
// Returns 0, or the exit code to end with.
int Prepare(Target& target, HANDLE& process) {
    if (!FindTarget(target, true))
        return 2;
    // A message queue of its own first: AttachThreadInput needs one on both sides.
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    if (!AttachThreadInput(GetCurrentThreadId(), target.tid, TRUE)) {
        std::fprintf(stderr, "wincheck: cannot share the window's input state (error %lu)\n",
                     static_cast<unsigned long>(GetLastError()));
        return 3;
    }
    SetForegroundWindow(target.window);
    if (GetForegroundWindow() != target.window) {
        std::fprintf(stderr, "wincheck: the window did not come to the foreground\n");
        return 3;
    }
    process = OpenProcess(SYNCHRONIZE, FALSE, target.pid);
    return 0;
}

int Keys(int count, char** steps) {
    Target target;
    HANDLE process = nullptr;
    if (const int failed = Prepare(target, process))
        return failed;
    Waiter waiter{target, process};
    int status = 0;
    if (!waiter.Settle()) {
        std::fprintf(stderr, "wincheck: the window does not take input\n");
        status = 3;
    } else {
        std::printf("%s\n", StepLine("start", "", waiter).c_str());
    }
    for (int i = 0; i < count && status == 0; ++i) {
        if (!waiter.Open()) {
            std::fprintf(stderr, "wincheck: the window is gone before \"%s\"\n", steps[i]);
            status = 4;
            break;
        }
        if (!SendStep(steps[i])) {
            std::fprintf(stderr, "wincheck: unknown key \"%s\"\n", steps[i]);
            status = 1;
            break;
        }
        if (!waiter.Settle()) {
            std::fprintf(stderr, "wincheck: the window did not handle \"%s\"\n", steps[i]);
            status = 3;
        }
        std::printf("%s\n", StepLine("step", steps[i], waiter).c_str());
        std::fflush(stdout);
    }
    if (process)
        CloseHandle(process);
    return status;
}

HWND ChildByCaption(const Target& target, const std::string& caption) {
    std::vector<HWND> children;
    for (const Descendant& descendant : Descendants(target.window))
        children.push_back(descendant.window);
    if (!caption.empty() && caption[0] == '#') {
        const auto index = static_cast<size_t>(std::atoi(caption.c_str() + 1));
        return index < children.size() ? children[index] : nullptr;
    }
    HWND found = nullptr;
    for (HWND child : children) {
        if (TextOf(child) == caption) {
            if (found) {
                std::fprintf(stderr, "wincheck: more than one child captioned \"%s\"\n",
                             caption.c_str());
                return nullptr;
            }
            found = child;
        }
    }
    if (!found)
        std::fprintf(stderr, "wincheck: no child captioned \"%s\"\n", caption.c_str());
    return found;
}

void SendMouse(DWORD flags, LONG x, LONG y) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    // Absolute coordinates run from 0 to 65535 over the screen; aim at the pixel's middle.
    input.mi.dx = static_cast<LONG>((static_cast<long long>(x) * 65536 + 32768) / width);
    input.mi.dy = static_cast<LONG>((static_cast<long long>(y) * 65536 + 32768) / height);
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

int Click(const std::string& caption) {
    Target target;
    HANDLE process = nullptr;
    if (const int failed = Prepare(target, process))
        return failed;
    Waiter waiter{target, process};
    HWND button = ChildByCaption(target, caption);
    if (!button)
        return 3;
    RECT rect{};
    GetWindowRect(button, &rect);
    const LONG x = (rect.left + rect.right) / 2;
    const LONG y = (rect.top + rect.bottom) / 2;
    SendMouse(MOUSEEVENTF_MOVE, x, y);
    SendMouse(MOUSEEVENTF_LEFTDOWN, x, y);
    SendMouse(MOUSEEVENTF_LEFTUP, x, y);
    int status = 0;
    if (!waiter.Settle()) {
        std::fprintf(stderr, "wincheck: the window did not handle the click\n");
        status = 3;
    }
    std::printf("%s\n", StepLine("step", "click:" + caption, waiter).c_str());
    if (process)
        CloseHandle(process);
    return status;
}

int SetText(const std::string& which, const char* text) {
    Target target;
    if (!FindTarget(target, true))
        return 2;
    HWND child = ChildByCaption(target, which);
    if (!child)
        return 3;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(child, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                             kHangGuardMs, &result) ||
        !result)
        return 3;
    return 0;
}

int Close() {
    Target target;
    if (!FindTarget(target, true))
        return 2;
    PostMessageA(target.window, WM_CLOSE, 0, 0);
    for (DWORD waited = 0; waited < kHangGuardMs; waited += 10) {
        if (!IsWindow(target.window))
            return 0;
        Sleep(10);
    }
    std::fprintf(stderr, "wincheck: the window did not close\n");
    return 3;
}

int Wait() {
    Target target;
    if (!WaitForTarget(target))
        return 2;
    std::printf("%s\n", WindowLine(target).c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    BecomeDpiAware();
    if (argc < 2)
        return Usage();
    const std::string command = argv[1];
    if (command == "wait" && argc == 2)
        return Wait();
    if (command == "controls" && argc == 3)
        return Controls(argv[2]);
    if (command == "keys" && argc >= 3)
        return Keys(argc - 2, argv + 2);
    if (command == "click" && argc == 3)
        return Click(argv[2]);
    if (command == "settext" && argc == 4)
        return SetText(argv[2], argv[3]);
    if (command == "close" && argc == 2)
        return Close();
    return Usage();
}
