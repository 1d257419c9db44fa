// desktop-host's list views: a real comctl32 list view per desktop list view, subclassed to count
// the paints that found items, the moves that other programs requested and the requests that turn
// its painting off and on.
#include "HostListView.h"

#include "HostAllocWatch.h"

#include <commctrl.h>

#include <cstddef>
#include <cstdio>

namespace desktophost {

namespace {

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty())
        return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
    return wide;
}

// Whether `size` bytes at `p` can be read.
bool Readable(const void* p, size_t size) {
    MEMORY_BASIC_INFORMATION info;
    if (!p || VirtualQuery(p, &info, sizeof info) != sizeof info || info.State != MEM_COMMIT ||
        (info.Protect & (PAGE_NOACCESS | PAGE_GUARD)) || info.Protect == 0)
        return false;
    const auto end = reinterpret_cast<ULONG_PTR>(info.BaseAddress) + info.RegionSize;
    return reinterpret_cast<ULONG_PTR>(p) + size <= end;
}

// Tells the watch where another program's request points: its lParam and, for an item record,
// the text buffer the record names.
void NotePointers(AllocWatch& allocs, UINT msg, LPARAM lParam) {
    const void* p = reinterpret_cast<const void*>(lParam);
    allocs.NotePointer(p);
    switch (msg) {
    case LVM_GETITEMA:
    case LVM_GETITEMW:
    case LVM_GETITEMTEXTA:
    case LVM_GETITEMTEXTW:
    case LVM_SETITEMA:
    case LVM_SETITEMW:
    case LVM_SETITEMTEXTA:
    case LVM_SETITEMTEXTW:
    case LVM_INSERTITEMA:
    case LVM_INSERTITEMW:
        if (Readable(p, offsetof(LVITEMW, pszText) + sizeof(LPWSTR)))
            allocs.NotePointer(static_cast<const LVITEMW*>(p)->pszText);
        break;
    default:
        break;
    }
}

std::string Narrow(const std::wstring& wide) {
    if (wide.empty())
        return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0], n,
                        nullptr, nullptr);
    return utf8;
}

LRESULT CALLBACK ListViewSubclass(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR refData) {
    auto* lv = reinterpret_cast<ListView*>(refData);
    // A request of another program: one that comes from another thread while the host is not
    // asking anything itself.
    const bool foreign = !lv->hostBusy && InSendMessage();
    if ((msg == LVM_SETITEMPOSITION || msg == LVM_SETITEMPOSITION32) && !lv->hostMoving) {
        ++lv->moves;
        if (GetWindowLongW(hwnd, GWL_STYLE) & LVS_AUTOARRANGE)
            ++lv->arrangedMoves;
        if (!lv->redraw)
            ++lv->heldMoves;
    }
    if (foreign && (msg == LVM_GETITEMA || msg == LVM_GETITEMW || msg == LVM_GETITEMTEXTA ||
                    msg == LVM_GETITEMTEXTW))
        ++lv->getItems;
    if (foreign && msg == LVM_GETITEMPOSITION)
        ++lv->getPositions;
    const bool request = msg == WM_SETREDRAW || (msg >= LVM_FIRST && msg < LVM_FIRST + 0x100);
    if (request && foreign && lv->allocs)
        NotePointers(*lv->allocs, msg, lParam);
    if (msg == WM_SETREDRAW) {
        lv->redraw = wParam != 0;
        ++(lv->redraw ? lv->redrawOns : lv->redrawOffs);
    }
    LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
    if (msg == WM_PAINT && ItemCount(hwnd) > 0)
        ++lv->paintedWithItems;
    if (!request || !foreign || lv->vanished)
        return result;
    ++lv->requests;
    if (lv->requests == lv->vanishAfter) {
        // The n-th is answered, then the list view is gone, as if the shell had closed it just
        // then.
        lv->hostBusy = true;
        lv->items = ItemLines(hwnd);
        lv->lastStyle = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
        lv->lastView = SendMessageW(hwnd, LVM_GETVIEW, 0, 0);
        lv->hostBusy = false;
        lv->vanished = true;
        DestroyWindow(hwnd);
    } else if (lv->requests == lv->hangAfter) {
        // The n-th is answered, then the thread stops answering anything for a while, as a hung
        // shell does.
        ReplyMessage(result);
        Sleep(static_cast<DWORD>(lv->hangMs));
    }
    return result;
}

} // namespace

int ItemCount(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

bool SetPosition(ListView& lv, int index, int x, int y) {
    POINT pt{x, y};
    lv.hostMoving = true;
    bool moved = SendMessageW(lv.hwnd, LVM_SETITEMPOSITION32, static_cast<WPARAM>(index),
                              reinterpret_cast<LPARAM>(&pt)) != 0;
    lv.hostMoving = false;
    return moved;
}

POINT GetPosition(HWND list, int index) {
    POINT pt{0, 0};
    SendMessageW(list, LVM_GETITEMPOSITION, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&pt));
    return pt;
}

std::wstring GetWideText(HWND list, int index) {
    // The list view copies at most cchTextMax - 1 units and says how many it copied: a text that
    // fills the buffer may be longer, so the buffer grows until it does not.
    for (size_t size = 256;; size *= 2) {
        std::vector<wchar_t> buffer(size, L'\0');
        LVITEMW item{};
        item.iSubItem = 0;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        const LRESULT copied = SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(index),
                                            reinterpret_cast<LPARAM>(&item));
        if (copied < static_cast<LRESULT>(size) - 1 || size >= (1u << 24))
            return std::wstring(buffer.data(), static_cast<size_t>(copied));
    }
}

std::string GetText(HWND list, int index) {
    return Narrow(GetWideText(list, index));
}

std::vector<std::string> ItemLines(HWND list) {
    std::vector<std::string> lines;
    for (int i = 0, count = ItemCount(list); i < count; ++i) {
        POINT pt = GetPosition(list, i);
        lines.push_back(std::to_string(i) + "," + std::to_string(pt.x) + "," +
                        std::to_string(pt.y) + "," + GetText(list, i) + "\r\n");
    }
    return lines;
}

bool PumpPending() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

HWND CreateListView(HWND parent, int id, ListView& lv) {
    RECT rc;
    GetClientRect(parent, &rc);
    HWND list = CreateWindowExW(
        0, WC_LISTVIEWW, L"FolderView", WS_CHILD | WS_VISIBLE | LVS_ICON | LVS_SHAREIMAGELISTS, 0,
        0, rc.right, rc.bottom, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        GetModuleHandleW(nullptr), nullptr);
    if (!list)
        return nullptr;
    lv.hwnd = list;
    SetWindowSubclass(list, ListViewSubclass, 1, reinterpret_cast<DWORD_PTR>(&lv));

    // Icons get their size from the image lists; every item shows the same stock icon.
    HICON icon = LoadIconA(nullptr, IDI_APPLICATION);
    HIMAGELIST large = ImageList_Create(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                        ILC_COLOR32 | ILC_MASK, 1, 1);
    HIMAGELIST small = ImageList_Create(
        GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), ILC_COLOR32 | ILC_MASK, 1, 1);
    ImageList_AddIcon(large, icon);
    ImageList_AddIcon(small, icon);
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(large));
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(small));
    return list;
}

Fill FillListView(ListView& lv, const std::vector<Icon>& icons) {
    for (size_t i = 0; i < icons.size(); ++i) {
        std::wstring name = Widen(icons[i].name);
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = static_cast<int>(i);
        item.pszText = &name[0];
        item.iImage = 0;
        if (SendMessageW(lv.hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) !=
            static_cast<LRESULT>(i)) {
            std::fprintf(stderr, "desktop-host: item %u could not be inserted\n",
                         static_cast<unsigned>(i));
            return Fill::Failed;
        }
    }
    if (icons.empty())
        return Fill::Done;

    RedrawWindow(lv.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    for (int tries = 0; lv.paintedWithItems == 0 && tries < 500; ++tries) {
        if (!PumpPending())
            return Fill::Closed;
        if (lv.paintedWithItems == 0)
            Sleep(10);
    }
    if (lv.paintedWithItems == 0) {
        std::fprintf(stderr, "desktop-host: the list view was never painted\n");
        return Fill::Failed;
    }

    for (size_t i = 0; i < icons.size(); ++i) {
        if (!SetPosition(lv, static_cast<int>(i), icons[i].x, icons[i].y)) {
            std::fprintf(stderr, "desktop-host: item %u could not be placed\n",
                         static_cast<unsigned>(i));
            return Fill::Failed;
        }
    }
    return Fill::Done;
}

void ApplyStyle(HWND list, bool autoArrange, int view) {
    if (autoArrange)
        SetAutoArrange(list, true);
    if (view != LV_VIEW_ICON)
        SetView(list, view);
}

void SetView(HWND list, int view) {
    const LONG style = GetWindowLongW(list, GWL_STYLE);
    SetWindowLongW(list, GWL_STYLE, (style & ~LVS_TYPEMASK) | view);
}

void SetAutoArrange(HWND list, bool on) {
    const LONG style = GetWindowLongW(list, GWL_STYLE);
    SetWindowLongW(list, GWL_STYLE, on ? style | LVS_AUTOARRANGE : style & ~LVS_AUTOARRANGE);
}

} // namespace desktophost
