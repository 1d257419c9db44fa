// desktop-host's window classes and procedures, and the building of the desktop from them.
#include "HostDesktop.h"

#include "HostComServer.h"
#include "HostProtocol.h"
#include "HostRequests.h"

#include <cstdio>

namespace desktophost {

namespace {

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
    case kHangMessage: // the hang request's reply is out; now nothing is answered for a while
        Sleep(static_cast<DWORD>(wParam));
        return 0;
    case kComVanishMessage:
        if (Host* host = HostOf(hwnd); host && host->com)
            host->com->Vanish();
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
        if (LOWORD(wParam) == kAutoArrangeCommand) {
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

// A "WorkerW" window: it sizes the shell view it may hold to itself.
LRESULT CALLBACK WorkerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SIZE) {
        if (HWND child = GetWindow(hwnd, GW_CHILD))
            MoveWindow(child, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
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
    wc.lpfnWndProc = WorkerProc;
    wc.lpszClassName = L"WorkerW";
    if (!RegisterClassW(&wc))
        return false;
    WNDCLASSA control{};
    control.hInstance = instance;
    control.lpfnWndProc = ControlProc;
    control.lpszClassName = kControlClass;
    return RegisterClassA(&control) != 0;
}

// The workerw shape: "Progman" empty at the bottom, three hidden "WorkerW" windows above it, and
// the shell view under the second of them in the order FindWindowEx lists them (the z-order), which
// alone is shown. The view is placed only once the z-order is settled.
HWND BuildWorkers(Host& host, HINSTANCE instance, int width, int height) {
    host.top = CreateWindowExW(WS_EX_TOOLWINDOW, L"Progman", L"Program Manager",
                               WS_POPUP | WS_CLIPCHILDREN, 0, 0, width, height, nullptr, nullptr,
                               instance, &host);
    if (!host.top)
        return nullptr;
    ShowWindow(host.top, SW_SHOWNOACTIVATE);
    SetWindowPos(host.top, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    for (HWND& worker : host.workers) {
        worker = CreateWindowExW(WS_EX_TOOLWINDOW, L"WorkerW", L"", WS_POPUP | WS_CLIPCHILDREN, 0,
                                 0, width, height, nullptr, nullptr, instance, &host);
        if (!worker)
            return nullptr;
    }
    HWND first = FindWindowExW(nullptr, nullptr, L"WorkerW", nullptr);
    HWND holder = first ? FindWindowExW(nullptr, first, L"WorkerW", nullptr) : nullptr;
    if (!holder)
        return nullptr;
    ShowWindow(holder, SW_SHOWNOACTIVATE);
    return CreateWindowExW(0, L"SHELLDLL_DefView", L"", WS_CHILD | WS_VISIBLE, 0, 0, width, height,
                           holder, nullptr, instance, &host);
}

} // namespace

Fill BuildDesktop(Host& host) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterClasses(instance)) {
        std::fprintf(stderr, "desktop-host: window classes could not be registered\n");
        return Fill::Failed;
    }
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    const Shape shape = host.scenario.shape;

    if (shape == Shape::WorkerW) {
        host.defView = BuildWorkers(host, instance, width, height);
    } else if (shape != Shape::NoProgman) {
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
    if (shape != Shape::WorkerW) {
        ShowWindow(host.top, SW_SHOWNOACTIVATE);
        SetWindowPos(host.top, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    UpdateWindow(shape == Shape::WorkerW ? GetParent(host.defView) : host.top);

    for (int k = 0; k < host.listCount; ++k) {
        Fill filled = FillListView(host.lists[k], host.scenario.icons[k]);
        if (filled != Fill::Done)
            return filled;
    }
    if (host.listCount > 0) {
        ApplyStyle(host.lists[0].hwnd, host.scenario.autoArrange, host.scenario.view);
        host.lists[0].vanishAfter = host.scenario.vanishAfter;
        host.lists[0].hangAfter = host.scenario.hangAfter;
        host.lists[0].hangMs = host.scenario.hangMs;
    }
    if (!PumpPending())
        return Fill::Closed;

    host.control = CreateWindowExA(0, kControlClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   instance, &host);
    if (!host.control) {
        std::fprintf(stderr, "desktop-host: control window could not be created\n");
        return Fill::Failed;
    }
    return Fill::Done;
}

} // namespace desktophost
