// wincheck's view of pindrel's window from outside: finding it, and reading the windows in and
// around it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace wincheck {

// Only stops a wait for a hung or missing window; never a measure of speed.
constexpr DWORD kHangGuardMs = 60000;
constexpr const char* kCaption = "Pindrel";

struct Target {
    HWND window = nullptr;
    DWORD pid = 0;
    DWORD tid = 0;
};

std::string ClassOf(HWND window);
// The window's text as the window itself answers WM_GETTEXT (for another process's edit control
// GetWindowText would give the text it was created with, not what it shows).
std::string TextOf(HWND window);

// The window, when exactly one is there; with `report`, says on stderr how many there were when
// not.
bool FindTarget(Target& target, bool report);
// Waits for the window; true once it is there and its thread answers.
bool WaitForTarget(Target& target);
// The control that has the focus in the window's thread, or nullptr.
HWND FocusOf(const Target& target);
// Other visible top-level windows of the window's process (a message box, say).
std::vector<HWND> PopupsOf(const Target& target);

// Every window inside the window (EnumChildWindows goes down the whole tree), listed parent
// before children and siblings in z-order, top first.
struct Descendant {
    HWND window;
    HWND parent;
    int z;     // the place among its siblings
    int depth; // 1 for a child of the window itself
};

std::vector<Descendant> Descendants(HWND window);

} // namespace wincheck
