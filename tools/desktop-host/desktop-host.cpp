// desktop-host.exe: a stand-in for the Windows shell's desktop, so that pindrel.exe can be run and
// tested under Wine, where no shell desktop exists.
//
// It plays the shell in a process of its own: a top-level window of class "Progman" holding a
// "SHELLDLL_DefView" holding a real comctl32 list view ("SysListView32", icon view, with image
// lists so that icons have a size), filled from a scenario file. The "SHELLDLL_DefView" window
// answers WM_COMMAND 0x7041 by flipping the list view's LVS_AUTOARRANGE with SetWindowLong, as the
// shell does. A hidden message-only window (HostProtocol.h) takes requests from hostctl.exe: write
// the state to a file, move an item, scramble the items, stop.
//
// Usage: desktop-host.exe <scenario file> <ready file>
//
// When the desktop is in place the host writes the ready file ("pid=<process id>" and CR LF; it is
// written under another name and renamed, so it is complete once it exists). Closing the "Progman"
// window (or the top-level "SHELLDLL_DefView") ends the host with exit code 0, also while it is
// still setting up, in which case no ready file is written.
//
// Scenario file: UTF-8 text (a BOM is allowed), one entry a line, LF or CR LF line ends.
//   # text                 a comment; comments and empty lines are ignored
//   autoarrange=0|1        LVS_AUTOARRANGE of the desktop list view once the icons are placed
//                          (default 0)
//   view=icon|report|smallicon|list
//                          the view the desktop list view is switched to once the icons are placed
//                          (default icon: no switch)
//   shape=standard|noprogman|nolistview|twolistviews
//                          standard:     Progman > SHELLDLL_DefView > SysListView32
//                          noprogman:    SHELLDLL_DefView (top-level) > SysListView32
//                          nolistview:   Progman > SHELLDLL_DefView, and no list view at all
//                          twolistviews: Progman > SHELLDLL_DefView > two SysListView32; the first
//                                        created is the desktop (FindWindowEx finds it first)
//   x,y,name               one icon: its position in list-view pixels (signed decimal) and its
//                          name, which is the whole rest of the line, kept byte for byte (commas,
//                          spaces at either end, any length, any UTF-8 text)
//   [second]               with shape=twolistviews, the icon lines after it fill the second list
//                          view
// A line that is none of these is refused: the host reports it on stderr and exits with code 3.
//
// Wine's list view arranges all icons at the first paint that finds items in it, so the icons are
// inserted, the list view is painted, and only then are they moved to their positions. Then
// auto-arrange is applied, then the view.
//
// State file (UTF-8, CR LF), written on a dump request:
//   desktop-host state
//   shape=<shape>
//   listviews=<n>
//   [listview <k>]            for each list view, the desktop's first
//   style=0x<window style, hex>
//   autoarrange=0|1           the LVS_AUTOARRANGE bit of the style
//   view=<n>                  LVM_GETVIEW: 0 icon, 1 details, 2 small icons, 3 list
//   painted=<n>               paints of the list view while it held items
//   moves=<n>                 LVM_SETITEMPOSITION and LVM_SETITEMPOSITION32 requests that other
//                             programs made (the host's own placing, move and scramble excluded)
//   arrangedmoves=<n>         those of them that arrived while LVS_AUTOARRANGE was set (Wine's
//                             list view moves the item all the same, so only this count shows it)
//   count=<n>                 LVM_GETITEMCOUNT
//   <index>,<x>,<y>,<text>    per item in index order: LVM_GETITEMPOSITION and LVM_GETITEMTEXTW
#include "HostFiles.h"
#include "HostProtocol.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using desktophost::MoveRequest;

constexpr UINT kStopMessage = WM_APP + 1;

enum class Shape { Standard, NoProgman, NoListView, TwoListViews };

struct Icon {
    int x = 0;
    int y = 0;
    std::string name; // UTF-8
};

struct Scenario {
    bool autoArrange = false;
    int view = LV_VIEW_ICON;
    Shape shape = Shape::Standard;
    std::string shapeName = "standard";
    std::vector<Icon> icons[2];
};

struct ListView {
    HWND hwnd = nullptr;
    int paintedWithItems = 0;
    bool hostMoving = false; // the host is moving an item itself
    int moves = 0;
    int arrangedMoves = 0;
};

struct Host {
    Scenario scenario;
    HWND top = nullptr; // Progman, or SHELLDLL_DefView when there is no Progman
    HWND defView = nullptr;
    HWND control = nullptr;
    ListView lists[2];
    int listCount = 0;
};

// ---- text ----------------------------------------------------------------------------------

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty())
        return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
    return wide;
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

// ---- scenario ------------------------------------------------------------------------------

// Reads a signed 32-bit decimal number; false unless the whole text is one.
bool ParseInt(const std::string& text, int& value) {
    if (text.empty() || text.size() > 11)
        return false;
    size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size())
        return false;
    long long v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        v = v * 10 + (text[i] - '0');
    }
    if (text[0] == '-')
        v = -v;
    if (v < INT32_MIN || v > INT32_MAX)
        return false;
    value = static_cast<int>(v);
    return true;
}

bool ParseOption(const std::string& key, const std::string& value, Scenario& s) {
    if (key == "autoarrange" && (value == "0" || value == "1")) {
        s.autoArrange = value == "1";
        return true;
    }
    if (key == "view") {
        static const struct {
            const char* name;
            int view;
        } views[] = {{"icon", LV_VIEW_ICON},
                     {"report", LV_VIEW_DETAILS},
                     {"smallicon", LV_VIEW_SMALLICON},
                     {"list", LV_VIEW_LIST}};
        for (const auto& v : views) {
            if (value == v.name) {
                s.view = v.view;
                return true;
            }
        }
        return false;
    }
    if (key == "shape") {
        static const struct {
            const char* name;
            Shape shape;
        } shapes[] = {{"standard", Shape::Standard},
                      {"noprogman", Shape::NoProgman},
                      {"nolistview", Shape::NoListView},
                      {"twolistviews", Shape::TwoListViews}};
        for (const auto& sh : shapes) {
            if (value == sh.name) {
                s.shape = sh.shape;
                s.shapeName = value;
                return true;
            }
        }
        return false;
    }
    return false;
}

bool ParseScenario(const std::string& text, Scenario& s) {
    size_t pos = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        pos = 3;
    int target = 0;
    int lineNumber = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        if (line == "[second]") {
            target = 1;
            continue;
        }
        char first = line[0];
        if (first == '-' || (first >= '0' && first <= '9')) {
            size_t c1 = line.find(',');
            size_t c2 = c1 == std::string::npos ? c1 : line.find(',', c1 + 1);
            Icon icon;
            if (c2 != std::string::npos && ParseInt(line.substr(0, c1), icon.x) &&
                ParseInt(line.substr(c1 + 1, c2 - c1 - 1), icon.y)) {
                icon.name = line.substr(c2 + 1);
                s.icons[target].push_back(icon);
                continue;
            }
        } else {
            size_t eq = line.find('=');
            if (eq != std::string::npos && ParseOption(line.substr(0, eq), line.substr(eq + 1), s))
                continue;
        }
        std::fprintf(stderr, "desktop-host: scenario line %d not understood: %s\n", lineNumber,
                     line.c_str());
        return false;
    }
    if (!s.icons[1].empty() && s.shape != Shape::TwoListViews) {
        std::fprintf(stderr, "desktop-host: [second] needs shape=twolistviews\n");
        return false;
    }
    return true;
}

// ---- the list views --------------------------------------------------------------------------

int ItemCount(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

LRESULT CALLBACK ListViewSubclass(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR refData) {
    auto* lv = reinterpret_cast<ListView*>(refData);
    if ((msg == LVM_SETITEMPOSITION || msg == LVM_SETITEMPOSITION32) && !lv->hostMoving) {
        ++lv->moves;
        if (GetWindowLongW(hwnd, GWL_STYLE) & LVS_AUTOARRANGE)
            ++lv->arrangedMoves;
    }
    LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
    if (msg == WM_PAINT && ItemCount(hwnd) > 0)
        ++lv->paintedWithItems;
    return result;
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

std::string GetText(HWND list, int index) {
    std::vector<wchar_t> buffer(1024, L'\0');
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&item));
    return Narrow(buffer.data());
}

// Handles the messages waiting. A WM_QUIT among them (the desktop was closed while it was being
// set up) is put back for the message loop, and the result is false.
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

enum class Fill { Done, Failed, Closed };

// Inserts the icons, has the list view paint them (its first paint arranges them), then places
// them.
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
    LONG style = GetWindowLongW(list, GWL_STYLE);
    if (autoArrange)
        SetWindowLongW(list, GWL_STYLE, style | LVS_AUTOARRANGE);
    if (view != LV_VIEW_ICON) {
        style = GetWindowLongW(list, GWL_STYLE);
        SetWindowLongW(list, GWL_STYLE, (style & ~LVS_TYPEMASK) | view);
    }
}

// ---- requests --------------------------------------------------------------------------------

std::string StateText(const Host& host) {
    std::string out = "desktop-host state\r\n";
    out += "shape=" + host.scenario.shapeName + "\r\n";
    out += "listviews=" + std::to_string(host.listCount) + "\r\n";
    for (int k = 0; k < host.listCount; ++k) {
        HWND list = host.lists[k].hwnd;
        DWORD style = static_cast<DWORD>(GetWindowLongW(list, GWL_STYLE));
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(style));
        int count = ItemCount(list);
        out += "[listview " + std::to_string(k) + "]\r\n";
        out += std::string("style=") + hex + "\r\n";
        out += std::string("autoarrange=") + ((style & LVS_AUTOARRANGE) ? "1" : "0") + "\r\n";
        out += "view=" + std::to_string(SendMessageW(list, LVM_GETVIEW, 0, 0)) + "\r\n";
        out += "painted=" + std::to_string(host.lists[k].paintedWithItems) + "\r\n";
        out += "moves=" + std::to_string(host.lists[k].moves) + "\r\n";
        out += "arrangedmoves=" + std::to_string(host.lists[k].arrangedMoves) + "\r\n";
        out += "count=" + std::to_string(count) + "\r\n";
        for (int i = 0; i < count; ++i) {
            POINT pt = GetPosition(list, i);
            out += std::to_string(i) + "," + std::to_string(pt.x) + "," + std::to_string(pt.y) +
                   "," + GetText(list, i) + "\r\n";
        }
    }
    return out;
}

// Moves every item of the desktop list view: item i takes the position item i+1 had, shifted a
// little, so that no item stays where it was and the order of positions no longer matches the
// order of items.
void Scramble(ListView& lv) {
    HWND list = lv.hwnd;
    int count = ItemCount(list);
    std::vector<POINT> old(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        old[static_cast<size_t>(i)] = GetPosition(list, i);
    for (int i = 0; i < count; ++i) {
        POINT next = old[static_cast<size_t>((i + 1) % count)];
        POINT to{next.x + 17, next.y + 9};
        if (to.x == old[static_cast<size_t>(i)].x && to.y == old[static_cast<size_t>(i)].y)
            to.x += 50;
        SetPosition(lv, i, to.x, to.y);
    }
}

LRESULT HandleCopyData(Host& host, const COPYDATASTRUCT& cds) {
    ListView* desktopList = host.listCount > 0 ? &host.lists[0] : nullptr;
    HWND desktop = desktopList ? desktopList->hwnd : nullptr;
    switch (cds.dwData) {
    case desktophost::kDump: {
        std::string path(static_cast<const char*>(cds.lpData), cds.cbData);
        return hostfiles::WriteWholeFile(path, StateText(host)) ? 1 : 0;
    }
    case desktophost::kMove: {
        if (!desktop || cds.cbData != sizeof(MoveRequest))
            return 0;
        const auto* move = static_cast<const MoveRequest*>(cds.lpData);
        if (move->index < 0 || move->index >= ItemCount(desktop))
            return 0;
        return SetPosition(*desktopList, move->index, move->x, move->y) ? 1 : 0;
    }
    case desktophost::kScramble:
        if (!desktop)
            return 0;
        Scramble(*desktopList);
        return 1;
    case desktophost::kStop:
        PostMessageW(host.control, kStopMessage, 0, 0);
        return 1;
    default:
        return 0;
    }
}

Host* HostOf(HWND hwnd) {
    return reinterpret_cast<Host*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void Attach(HWND hwnd, LPARAM createParams) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(createParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
}

LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NCCREATE:
        Attach(hwnd, lParam);
        break;
    case WM_COPYDATA:
        if (Host* host = HostOf(hwnd))
            return HandleCopyData(*host, *reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        return 0;
    case kStopMessage:
        if (Host* host = HostOf(hwnd))
            DestroyWindow(host->top);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The shell view: its auto-arrange command flips LVS_AUTOARRANGE of the list view.
LRESULT CALLBACK DefViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NCCREATE:
        Attach(hwnd, lParam);
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == desktophost::kAutoArrangeCommand) {
            Host* host = HostOf(hwnd);
            if (host && host->listCount > 0) {
                HWND list = host->lists[0].hwnd;
                LONG style = GetWindowLongW(list, GWL_STYLE);
                SetWindowLongW(list, GWL_STYLE, style ^ LVS_AUTOARRANGE);
            }
            return 0;
        }
        break;
    case WM_SIZE:
        for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            MoveWindow(child, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_DESTROY:
        if (Host* host = HostOf(hwnd); host && host->top == hwnd)
            PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK ProgmanProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NCCREATE:
        Attach(hwnd, lParam);
        break;
    case WM_SIZE:
        if (HWND child = GetWindow(hwnd, GW_CHILD))
            MoveWindow(child, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool RegisterClasses(HINSTANCE instance) {
    WNDCLASSW wc{};
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BACKGROUND + 1);

    wc.lpfnWndProc = ProgmanProc;
    wc.lpszClassName = L"Progman";
    if (!RegisterClassW(&wc))
        return false;
    wc.lpfnWndProc = DefViewProc;
    wc.lpszClassName = L"SHELLDLL_DefView";
    if (!RegisterClassW(&wc))
        return false;
    WNDCLASSA control{};
    control.hInstance = instance;
    control.lpfnWndProc = ControlProc;
    control.lpszClassName = desktophost::kControlClass;
    return RegisterClassA(&control) != 0;
}

// Builds the desktop and fills it. Gives Fill::Closed when the desktop was closed meanwhile.
Fill BuildDesktop(Host& host) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterClasses(instance)) {
        std::fprintf(stderr, "desktop-host: window classes could not be registered\n");
        return Fill::Failed;
    }
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    const Shape shape = host.scenario.shape;

    if (shape != Shape::NoProgman) {
        host.top = CreateWindowExW(WS_EX_TOOLWINDOW, L"Progman", L"Program Manager",
                                   WS_POPUP | WS_CLIPCHILDREN, 0, 0, width, height, nullptr,
                                   nullptr, instance, &host);
        host.defView = CreateWindowExW(0, L"SHELLDLL_DefView", L"", WS_CHILD | WS_VISIBLE, 0, 0,
                                       width, height, host.top, nullptr, instance, &host);
    } else {
        host.defView = CreateWindowExW(WS_EX_TOOLWINDOW, L"SHELLDLL_DefView", L"", WS_POPUP, 0, 0,
                                       width, height, nullptr, nullptr, instance, &host);
        host.top = host.defView;
    }
    if (!host.top || !host.defView) {
        std::fprintf(stderr, "desktop-host: desktop windows could not be created\n");
        return Fill::Failed;
    }

    int lists = shape == Shape::NoListView ? 0 : shape == Shape::TwoListViews ? 2 : 1;
    for (int k = 0; k < lists; ++k) {
        if (!CreateListView(host.defView, 1 + k, host.lists[k])) {
            std::fprintf(stderr, "desktop-host: list view could not be created\n");
            return Fill::Failed;
        }
        host.listCount = k + 1;
    }

    // Like the shell's desktop window, ours lies beneath every other window.
    ShowWindow(host.top, SW_SHOWNOACTIVATE);
    SetWindowPos(host.top, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    UpdateWindow(host.top);

    for (int k = 0; k < host.listCount; ++k) {
        Fill filled = FillListView(host.lists[k], host.scenario.icons[k]);
        if (filled != Fill::Done)
            return filled;
    }
    if (host.listCount > 0)
        ApplyStyle(host.lists[0].hwnd, host.scenario.autoArrange, host.scenario.view);
    if (!PumpPending())
        return Fill::Closed;

    host.control = CreateWindowExA(0, desktophost::kControlClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                   nullptr, instance, &host);
    if (!host.control) {
        std::fprintf(stderr, "desktop-host: control window could not be created\n");
        return Fill::Failed;
    }
    return Fill::Done;
}

bool WriteReadyFile(const std::string& path) {
    std::string temp = path + ".tmp";
    std::string text = "pid=" + std::to_string(GetCurrentProcessId()) + "\r\n";
    return hostfiles::WriteWholeFile(temp, text) &&
           MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: desktop-host.exe <scenario file> <ready file>\n");
        return 1;
    }
    std::string text;
    if (!hostfiles::ReadWholeFile(argv[1], text)) {
        std::fprintf(stderr, "desktop-host: cannot read %s\n", argv[1]);
        return 2;
    }
    // The windows keep a pointer to the host; it outlives them.
    Host host;
    if (!ParseScenario(text, host.scenario))
        return 3;

    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    switch (BuildDesktop(host)) {
    case Fill::Failed:
        return 4;
    case Fill::Closed: // closed before it was ready: it ends as a stop would end it
        return 0;
    case Fill::Done:
        break;
    }
    if (!WriteReadyFile(argv[2])) {
        std::fprintf(stderr, "desktop-host: cannot write %s\n", argv[2]);
        return 5;
    }

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (host.control)
        DestroyWindow(host.control);
    return static_cast<int>(msg.wParam);
}
