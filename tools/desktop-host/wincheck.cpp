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
//
// WinCheckWindows finds the window and reads the windows in it, WinCheckReport writes the report
// lines and WinCheckInput sends the keys and clicks; this file carries out the commands.
#include "WinCheckInput.h"
#include "WinCheckReport.h"
#include "WinCheckWindows.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// The parts' names are used unqualified here.
using namespace wincheck;

namespace {

int Usage() {
    std::fprintf(stderr, "usage: wincheck wait | controls <file|-> | keys <key>... | "
                         "click <caption> | settext <caption|#n> <text> | close\n");
    return 1;
}

int Controls(const char* file) {
    Target target;
    if (!FindTarget(target, true))
        return 2;
    const std::string report = ControlsReport(target);
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
