// broadcast.exe: plays the events of a Windows session that Wine has none of, for the end-to-end
// tests of "pindrel.exe -w", and looks at the watcher's window from outside.
//
//   broadcast displaychange    sends WM_DISPLAYCHANGE to every top-level window (HWND_BROADCAST),
//                              as Windows does after a change of resolution, with the screen's
//                              present size (Wine cannot change it)
//   broadcast taskbarcreated   sends the registered message "TaskbarCreated" to every top-level
//                              window, as the shell does when it has started (again)
//   broadcast endsession       sends WM_ENDSESSION (TRUE, ENDSESSION_LOGOFF) to the watcher's
//                              window, as Windows does to every top-level window at log-off
//   broadcast watcher          finds the watcher's window (class PindrelWatcher) and prints
//                              "pid=<its process>", "visible=0|1", "toplevel=0|1" (its parent is
//                              the desktop window, so not a message-only window) and
//                              "shownwindows=<visible top-level windows of that process>"
//
// Each send returns once every window has handled it (SendMessageTimeout, at most 5 s a window).
// Exit codes: 0 done, 1 usage, 2 no watcher window, 3 the send failed.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kWatcherClass = "PindrelWatcher";
constexpr UINT kLimitMs = 5000;

int Usage() {
    std::fprintf(stderr,
                 "usage: broadcast displaychange | taskbarcreated | endsession | watcher\n");
    return 1;
}

int Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, const char* what) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                             kLimitMs, &answer)) {
        std::fprintf(stderr, "broadcast: %s was not delivered (error %lu)\n", what,
                     static_cast<unsigned long>(GetLastError()));
        return 3;
    }
    std::printf("sent=%s\n", what);
    return 0;
}

HWND FindWatcher() {
    HWND window = FindWindowA(kWatcherClass, nullptr);
    if (!window)
        std::fprintf(stderr, "broadcast: no window of class %s\n", kWatcherClass);
    return window;
}

struct Shown {
    DWORD pid;
    int count;
};

BOOL CALLBACK CountShown(HWND window, LPARAM param) {
    auto* shown = reinterpret_cast<Shown*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == shown->pid && IsWindowVisible(window))
        ++shown->count;
    return TRUE;
}

int Watcher() {
    HWND window = FindWatcher();
    if (!window)
        return 2;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    Shown shown{pid, 0};
    EnumWindows(CountShown, reinterpret_cast<LPARAM>(&shown));
    std::printf("pid=%lu\n", static_cast<unsigned long>(pid));
    std::printf("visible=%d\n", IsWindowVisible(window) ? 1 : 0);
    std::printf("toplevel=%d\n", GetAncestor(window, GA_PARENT) == GetDesktopWindow() ? 1 : 0);
    std::printf("shownwindows=%d\n", shown.count);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2)
        return Usage();
    const char* command = argv[1];
    if (std::strcmp(command, "displaychange") == 0) {
        const LPARAM size =
            MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
        return Send(HWND_BROADCAST, WM_DISPLAYCHANGE, 32, size, "displaychange");
    }
    if (std::strcmp(command, "taskbarcreated") == 0)
        return Send(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0,
                    "taskbarcreated");
    if (std::strcmp(command, "endsession") == 0) {
        HWND window = FindWatcher();
        return window ? Send(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, "endsession") : 2;
    }
    if (std::strcmp(command, "watcher") == 0)
        return Watcher();
    return Usage();
}
