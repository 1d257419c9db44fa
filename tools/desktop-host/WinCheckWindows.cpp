// Finds pindrel's window for wincheck (the one visible top-level window captioned "Pindrel" that
// is not a message box) and reads the windows in and around it.
#include "WinCheckWindows.h"

#include <cstdio>
#include <cstring>

namespace wincheck {

std::string ClassOf(HWND window) {
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

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

namespace {

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

} // namespace

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

std::vector<Descendant> Descendants(HWND window) {
    std::vector<HWND> all;
    EnumChildWindows(window, CollectDescendants, reinterpret_cast<LPARAM>(&all));
    std::vector<Descendant> ordered;
    AddInZOrder(window, 1, all, ordered);
    return ordered;
}

std::vector<HWND> PopupsOf(const Target& target) {
    Popups popups{target.pid, target.window, {}};
    EnumWindows(CollectPopups, reinterpret_cast<LPARAM>(&popups));
    return popups.found;
}

} // namespace wincheck
