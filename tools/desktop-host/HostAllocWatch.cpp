// The watch for other programs' allocations in desktop-host (HostAllocWatch.h explains how it
// tells them from the host's own).
#include "HostAllocWatch.h"

#include <commctrl.h>

#include <cwchar>

namespace desktophost {

namespace {

// Under this size a block is taken for one of VirtualAllocEx's. A heap's blocks are never
// separate allocations under it: Wine 8's heaps serve up to 508 KiB from their subheaps (which
// are reserved larger than 1 MiB and committed in part), and larger blocks get allocations of
// their own above 512 KiB.
constexpr SIZE_T kLargestBlock = 256 << 10;

// The class of the window through which COM's single-threaded apartments receive calls, in
// Wine as in Windows.
constexpr const wchar_t* kComWindow = L"OleMainThreadWndClass";

// One watch per process: the window hooks reach it here.
AllocWatch* g_watch = nullptr;

// Requests that only read, and WM_NULL: handling them allocates nothing, so they are not looked
// around (another program makes thousands of them in a row).
bool ReadOnly(UINT msg) {
    switch (msg) {
    case WM_NULL:
    case LVM_GETITEMCOUNT:
    case LVM_GETITEMA:
    case LVM_GETITEMW:
    case LVM_GETITEMTEXTA:
    case LVM_GETITEMTEXTW:
    case LVM_GETITEMPOSITION:
    case LVM_GETITEMRECT:
    case LVM_GETVIEW:
    case LVM_GETNEXTITEM:
    case LVM_GETSELECTEDCOUNT:
    case LVM_GETITEMSTATE:
        return true;
    default:
        return false;
    }
}

LRESULT CALLBACK BeforeSent(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && g_watch && !ReadOnly(reinterpret_cast<CWPSTRUCT*>(lParam)->message))
        g_watch->BeginWork();
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK AfterSent(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && g_watch && !ReadOnly(reinterpret_cast<CWPRETSTRUCT*>(lParam)->message))
        g_watch->EndWork();
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

AllocWatch::~AllocWatch() {
    if (before_)
        UnhookWindowsHookEx(before_);
    if (after_)
        UnhookWindowsHookEx(after_);
    if (g_watch == this)
        g_watch = nullptr;
}

bool AllocWatch::Start() {
    own_ = Blocks();
    g_watch = this;
    before_ = SetWindowsHookExW(WH_CALLWNDPROC, BeforeSent, nullptr, GetCurrentThreadId());
    after_ = SetWindowsHookExW(WH_CALLWNDPROCRET, AfterSent, nullptr, GetCurrentThreadId());
    return before_ && after_;
}

LRESULT AllocWatch::Dispatch(const MSG& msg) {
    // COM's apartment window carries other programs' calls in: ComServer looks at their start.
    wchar_t name[32] = L"";
    if (msg.hwnd && GetClassNameW(msg.hwnd, name, 32) && std::wcscmp(name, kComWindow) == 0)
        return DispatchMessageW(&msg);
    BeginWork();
    const LRESULT result = DispatchMessageW(&msg);
    EndWork();
    return result;
}

void AllocWatch::ForeignCall() {
    if (depth_ == 0)
        Look(true);
}

void AllocWatch::BeginWork() {
    if (depth_++ == 0)
        Look(true);
}

void AllocWatch::EndWork() {
    if (depth_ > 0 && --depth_ == 0)
        Look(false);
}

std::set<AllocWatch::Block> AllocWatch::Blocks() {
    std::set<Block> blocks;
    MEMORY_BASIC_INFORMATION info;
    // Each step leaves `info` describing the region at `at`, or ends the walk.
    ULONG_PTR at = 0;
    const auto moveTo = [&](ULONG_PTR next) {
        if (next <= at)
            return false; // the end of the address space
        at = next;
        return VirtualQuery(reinterpret_cast<void*>(at), &info, sizeof info) == sizeof info;
    };
    bool more = VirtualQuery(nullptr, &info, sizeof info) == sizeof info;
    while (more) {
        if (info.State == MEM_FREE) {
            more = moveTo(at + info.RegionSize);
            continue;
        }
        const auto base = reinterpret_cast<ULONG_PTR>(info.AllocationBase);
        const DWORD type = info.Type;
        // An allocation that can never be a block (an image, a mapping, or too large) is passed
        // over at once while it is still there: its start and its last byte still belong to it.
        if (const auto known = stable_.find(base); at == base && known != stable_.end()) {
            const auto [size, knownType] = known->second;
            MEMORY_BASIC_INFORMATION last;
            if (type == knownType &&
                VirtualQuery(reinterpret_cast<void*>(base + size - 1), &last, sizeof last) ==
                    sizeof last &&
                reinterpret_cast<ULONG_PTR>(last.AllocationBase) == base &&
                last.State != MEM_FREE) {
                more = moveTo(base + size);
                continue;
            }
            stable_.erase(known);
        }
        // The regions of one allocation follow each other; it is judged on all of them.
        const ULONG_PTR start = at;
        bool shaped = true;
        do {
            shaped = shaped && info.Type == MEM_PRIVATE && info.State == MEM_COMMIT &&
                     info.Protect == PAGE_READWRITE;
            more = moveTo(at + info.RegionSize);
        } while (more && info.State != MEM_FREE &&
                 reinterpret_cast<ULONG_PTR>(info.AllocationBase) == base);
        const SIZE_T size = at - start;
        if (start == base && (type != MEM_PRIVATE || size >= kLargestBlock))
            stable_[base] = {size, type};
        else if (start == base && shaped)
            blocks.insert({base, size});
    }
    return blocks;
}

void AllocWatch::Look(bool idle) {
    const std::set<Block> now = Blocks();
    for (auto* known : {&own_, &foreign_}) {
        for (auto it = known->begin(); it != known->end();)
            it = now.count(*it) ? std::next(it) : known->erase(it);
    }
    for (const Block& block : now) {
        if (own_.count(block) || foreign_.count(block))
            continue;
        if (idle) {
            foreign_.insert(block);
            ++count_;
        } else {
            own_.insert(block);
        }
    }
}

void AllocWatch::NotePointer(const void* p) {
    MEMORY_BASIC_INFORMATION info;
    if (!p || VirtualQuery(p, &info, sizeof info) != sizeof info || info.State != MEM_COMMIT ||
        info.Type != MEM_PRIVATE || info.Protect != PAGE_READWRITE)
        return;
    const auto base = reinterpret_cast<ULONG_PTR>(info.AllocationBase);
    // The whole block, as Blocks() sees it.
    SIZE_T size = 0;
    for (ULONG_PTR at = base;
         VirtualQuery(reinterpret_cast<void*>(at), &info, sizeof info) == sizeof info &&
         reinterpret_cast<ULONG_PTR>(info.AllocationBase) == base;
         at += info.RegionSize) {
        if (info.State != MEM_COMMIT || info.Protect != PAGE_READWRITE)
            return;
        size += info.RegionSize;
    }
    const Block block{base, size};
    if (size >= kLargestBlock || foreign_.count(block))
        return;
    own_.erase(block);
    foreign_.insert(block);
    ++count_;
}

} // namespace desktophost
