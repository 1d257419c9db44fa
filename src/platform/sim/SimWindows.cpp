#include "platform/sim/SimWindows.h"

#include "platform/WindowsApi.h"
#include "platform/sim/SimCodePage.h"
#include "platform/sim/SimLog.h"

#include <stdexcept>

namespace pindrel::sim {

namespace {
constexpr std::uint32_t kFirst = 0x00010010;
constexpr std::uint32_t kStep = 0x10;
} // namespace

std::uint64_t SimItem::NextSerial() {
    static std::uint64_t next = 0;
    return ++next;
}

bool SimWindow::IsListView() const {
    return SameTextIgnoringCase(className, kListViewClass);
}

bool SimWindow::IsShellView() const {
    return SameTextIgnoringCase(className, kShellViewClass);
}

void SimWindow::SetStyle(DWORD newStyle) {
    style = newStyle;
    remembered = newStyle;
    view = newStyle & win::LVS_TYPEMASK;
}

void SimWindow::Changed() {
    if (painting)
        ++paintedChanges;
    else
        stale = true;
}

void SimWindow::SetPainting(bool on) {
    painting = on;
}

// Invalidating a window whose painting is off paints nothing: its picture stays stale.
void SimWindow::Invalidate() {
    ++invalidates;
    if (painting)
        stale = false;
}

Hwnd SimWindows::HandleAt(std::size_t index) {
    return Hwnd{static_cast<std::uint32_t>(kFirst + index * kStep)};
}

Hwnd SimWindows::Create(const std::string& className, Hwnd parent, Pid owner, DWORD style) {
    if (raw(parent) != 0)
        Need(parent, false);
    SimWindow w;
    w.className = className;
    w.parent = parent;
    w.owner = owner;
    w.SetStyle(style);
    windows_.push_back(std::move(w));
    return HandleAt(windows_.size() - 1);
}

void SimWindows::Destroy(Hwnd window) {
    SimWindow* w = Find(window);
    if (!w)
        return;
    w->alive = false;
    for (std::size_t i = 0; i < windows_.size(); ++i) {
        if (windows_[i].alive && windows_[i].parent == window)
            Destroy(HandleAt(i));
    }
}

SimShell SimWindows::CreateShell(ShellShape shape, DWORD listViewStyle, Pid pid) {
    SimShell shell;
    shell.process = pid;
    switch (shape) {
    case ShellShape::Standard:
    case ShellShape::NoListView:
    case ShellShape::TwoListViews:
        shell.progman = Create("Progman", Hwnd{}, pid, 0);
        shell.defView = Create(kShellViewClass, shell.progman, pid, 0);
        if (shape != ShellShape::NoListView)
            shell.listView = Create(kListViewClass, shell.defView, pid, listViewStyle);
        if (shape == ShellShape::TwoListViews)
            shell.otherListView = Create(kListViewClass, shell.defView, pid, listViewStyle);
        break;
    case ShellShape::NoProgman:
        shell.defView = Create(kShellViewClass, Hwnd{}, pid, 0);
        shell.listView = Create(kListViewClass, shell.defView, pid, listViewStyle);
        break;
    case ShellShape::NoDefView:
        shell.progman = Create("Progman", Hwnd{}, pid, 0);
        shell.otherListView = Create(kListViewClass, Hwnd{}, pid, listViewStyle);
        break;
    case ShellShape::WorkerW:
        shell.progman = Create("Progman", Hwnd{}, pid, 0);
        for (int k = 0; k < 3; ++k) {
            shell.workers.push_back(Create(kWorkerClass, Hwnd{}, pid, 0));
            if (k == 1) {
                shell.defView = Create(kShellViewClass, shell.workers.back(), pid, 0);
                shell.listView = Create(kListViewClass, shell.defView, pid, listViewStyle);
            }
        }
        break;
    case ShellShape::Nothing:
        break;
    }
    if (!desktop)
        desktop = shell;
    return shell;
}

SimWindow* SimWindows::Find(Hwnd window) {
    const std::uint32_t value = raw(window);
    if (value < kFirst || (value - kFirst) % kStep != 0)
        return nullptr;
    const std::size_t index = (value - kFirst) / kStep;
    if (index >= windows_.size() || !windows_[index].alive)
        return nullptr;
    return &windows_[index];
}

const SimWindow* SimWindows::Find(Hwnd window) const {
    return const_cast<SimWindows*>(this)->Find(window);
}

SimWindow& SimWindows::Need(Hwnd window, bool listView) {
    SimWindow* w = Find(window);
    if (!w || (listView && !w->IsListView()))
        throw std::invalid_argument(
            "SimSession: " + Hex(raw(window)) +
            (listView ? " is not a live list view" : " is not a live window"));
    return *w;
}

Hwnd SimWindows::Search(Hwnd parent, Hwnd after, const char* className,
                        const char* windowName) const {
    if (raw(parent) != 0 && !Find(parent))
        return Hwnd{};
    std::size_t start = 0;
    if (raw(after) != 0) {
        const SimWindow* a = Find(after);
        if (!a || a->parent != parent)
            return Hwnd{};
        start = (raw(after) - kFirst) / kStep + 1;
    }
    for (std::size_t i = start; i < windows_.size(); ++i) {
        const SimWindow& w = windows_[i];
        if (w.alive && w.parent == parent &&
            (!className || SameTextIgnoringCase(w.className, className)) &&
            (!windowName || *windowName == '\0'))
            return HandleAt(i);
    }
    return Hwnd{};
}

} // namespace pindrel::sim
