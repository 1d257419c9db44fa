// The session's windows: each has a class (matched without regard to case), a parent (0 for a
// top-level window), an owning process and a style. A list view also keeps its own state: the
// style it last took note of, its view and its items. Destroying a window destroys its children;
// handles of destroyed windows are not reused.
#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pindrel::sim {

constexpr const char* kListViewClass = "SysListView32";
constexpr const char* kShellViewClass = "SHELLDLL_DefView";

constexpr const char* kWorkerClass = "WorkerW";

// One list-view item as the simulated shell holds it. Its serial, unique in the run, is what the
// shell's item ids name it by.
struct SimItem {
    SimItem() = default;
    SimItem(std::u16string t, Point p) : text(std::move(t)), position(p) {}
    std::u16string text;
    Point position;
    std::uint64_t serial = NextSerial();

    static std::uint64_t NextSerial();
};

struct SimWindow {
    std::string className;
    Hwnd parent{};
    Pid owner{};
    DWORD style = 0; // what GetWindowLongA(GWL_STYLE) gives
    bool alive = true;
    int destroyAfter = 0; // requests left before the window goes; 0: not armed
    // A list view's own state: the style it last took note of, its view, its items.
    DWORD remembered = 0;
    DWORD view = 0;
    int viewChanges = 0;
    std::vector<SimItem> items;
    // A list view that does not answer as a desktop does: its item count is this instead of the
    // number of its items, and its texts fill the whole buffer, with no NUL.
    std::optional<LRESULT> reportedCount;
    bool textsWithoutNul = false;
    // Painting: WM_SETREDRAW turns it off and on. A change to what the window shows is painted at
    // once while painting is on; while it is off the window keeps showing the old picture until an
    // InvalidateRect made with painting on again.
    bool painting = true;
    bool stale = false;     // something changed while painting was off and is not painted yet
    int paintedChanges = 0; // changes painted one at a time (a repaint each)
    int invalidates = 0;

    bool IsListView() const;
    bool IsShellView() const;
    // The window style as SetWindowLong sets it: the list view takes note of it and its view.
    void SetStyle(DWORD newStyle);
    // What the window shows has changed: painted now, or left stale while painting is off.
    void Changed();
    // WM_SETREDRAW and InvalidateRect as DefWindowProc and the window manager handle them.
    void SetPainting(bool on);
    void Invalidate();
};

// The shape of the simulated shell.
enum class ShellShape {
    Standard,     // "Progman" -> "SHELLDLL_DefView" -> "SysListView32"
    NoProgman,    // top-level "SHELLDLL_DefView" -> "SysListView32"
    NoDefView,    // "Progman" only; a top-level "SysListView32" elsewhere
    NoListView,   // "Progman" -> "SHELLDLL_DefView", no list view
    TwoListViews, // Standard, plus a second "SysListView32" under the same view window
    Nothing,      // no shell windows at all
    WorkerW,      // "Progman" empty; three top-level "WorkerW", the second of which holds
                  // "SHELLDLL_DefView" -> "SysListView32" (as with a wallpaper slideshow)
};

struct SimShell {
    Pid process{};
    Hwnd progman{};
    Hwnd defView{};
    Hwnd listView{};      // the desktop list view (0 when the shape has none under the view)
    Hwnd otherListView{}; // the second list view of TwoListViews / the top-level one of NoDefView
    std::vector<Hwnd>
        workers; // WorkerW: the "WorkerW" windows in the order FindWindowExA lists them
};

// The thread that owns a process's windows (one per process here, as in the shell): it answers
// requests until it has answered `answersLeft` more (-1: for ever), then hangs for good.
struct SimThread {
    int answersLeft = -1;
    std::optional<std::uint64_t> hungSince; // the session's time it stopped answering
    // Messages it will take once it answers again: those posted to it, and those sent to it whose
    // sender stopped waiting (the message stays queued; its answer goes nowhere).
    struct Pending {
        Hwnd window;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Pending> pending;
};

class SimWindows {
  public:
    // The shell the session's desktop is (the first one made): its folder view shows this list
    // view.
    std::optional<SimShell> desktop;

    Hwnd Create(const std::string& className, Hwnd parent, Pid owner, DWORD style);
    void Destroy(Hwnd window);
    // The shell's windows in the given shape, all owned by `process`.
    SimShell CreateShell(ShellShape shape, DWORD listViewStyle, Pid process);
    // The live window, or nullptr.
    SimWindow* Find(Hwnd window);
    const SimWindow* Find(Hwnd window) const;
    // For the test-facing set-up functions: misuse is a bug in the test, not a Windows failure, and
    // throws std::invalid_argument.
    SimWindow& Need(Hwnd window, bool listView);
    // FindWindowExA's search: the live children of `parent` (top-level windows for 0), in creation
    // order, after `after`; a class of nullptr matches any, and only "" or nullptr matches a title
    // (windows here have none).
    Hwnd Search(Hwnd parent, Hwnd after, const char* className, const char* windowName) const;

    // The thread of the process that owns `owner`'s windows.
    SimThread& Thread(Pid owner) { return threads_[raw(owner)]; }

  private:
    static Hwnd HandleAt(std::size_t index);
    std::map<std::uint32_t, SimThread> threads_;
    std::deque<SimWindow> windows_; // index i is window kFirst + i * kStep
};

} // namespace pindrel::sim
