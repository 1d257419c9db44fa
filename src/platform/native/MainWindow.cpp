// The main window's creation and layout: its window class, its controls in tab order, and their
// places and font for the DPI of the monitor it is on. Its message handling is in
// MainWindowEvents.cpp and the Controls the logic uses in MainWindowControls.cpp.
#include "platform/native/MainWindow.h"

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace pindrel {

namespace {

constexpr const char* kClassName = "PindrelMainWindow";
// Fixed size, no maximise box. No WS_CLIPCHILDREN: group boxes do not paint their insides, the
// window's background does.
constexpr ::DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr ::DWORD kWindowExStyle = WS_EX_CONTROLPARENT;
// Control ids are 100 + the control's index in the layout table, clear of IDOK and IDCANCEL,
// which the dialog manager sends for Enter and Escape.
constexpr int kFirstControlId = 100;
// The icon resource's id (resources/pindrel.rc).
constexpr WORD kIconId = 1;
// Entries the drop-down list shows without scrolling.
constexpr int kVisibleEntries = 8;

// The window's controls in the order they are created, which is their z-order and therefore the
// order in which Tab visits them: the controls that take the focus in tab-index order, then the
// labels, then the frames. The text boxes thus lie above the labels that reach under them, and the
// frames below everything they hold.
std::vector<std::size_t> CreationOrder() {
    std::vector<std::size_t> order = layout::FocusOrder();
    for (layout::ControlKind kind : {layout::ControlKind::Label, layout::ControlKind::Frame}) {
        for (std::size_t i = 0; i < layout::kControlCount; ++i) {
            if (layout::kControls[i].kind == kind) {
                order.push_back(i);
            }
        }
    }
    return order;
}

struct ControlClass {
    const char* className;
    ::DWORD style;
    ::DWORD exStyle;
};

ControlClass ClassFor(layout::ControlKind kind) {
    const ::DWORD child = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    switch (kind) {
    case layout::ControlKind::Frame:
        return {"BUTTON", child | BS_GROUPBOX, 0};
    case layout::ControlKind::Label:
        // SS_LEFT wraps the text at word boundaries.
        return {"STATIC", child | SS_LEFT | SS_NOPREFIX, 0};
    case layout::ControlKind::TextBox:
        return {"EDIT", child | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case layout::ControlKind::DropDownList:
        return {"COMBOBOX", child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0};
    case layout::ControlKind::Button:
        break;
    }
    return {"BUTTON", child | WS_TABSTOP | BS_PUSHBUTTON, 0};
}

// The system's DPI, which the stock GUI font is made for.
::UINT SystemDpi() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) {
        ::ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? static_cast<::UINT>(dpi) : 96;
}

// A function of user32 that older versions of Windows lack, or nullptr.
template <typename Function> Function User32Function(const char* name) {
    HMODULE user32 = ::GetModuleHandleA("user32.dll");
    FARPROC proc = user32 ? ::GetProcAddress(user32, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(proc));
}

// The DPI of the monitor the window is on (Windows 10 1607 and later), or the system's.
::UINT WindowDpi(HWND window) {
    using GetDpiForWindowFn = ::UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    const ::UINT dpi = getDpiForWindow ? getDpiForWindow(window) : 0;
    return dpi != 0 ? dpi : SystemDpi();
}

// The window size that gives a client area of the layout's size at `dpi`.
SIZE WindowSizeFor(::UINT dpi) {
    const float tpp = 1440.0f / static_cast<float>(dpi);
    RECT rect{0, 0, layout::TwipsToPixels(layout::kClientWidthTwips, tpp),
              layout::TwipsToPixels(layout::kClientHeightTwips, tpp)};
    using AdjustForDpiFn = ::BOOL(WINAPI*)(LPRECT, ::DWORD, ::BOOL, ::DWORD, ::UINT);
    static const auto adjustForDpi = User32Function<AdjustForDpiFn>("AdjustWindowRectExForDpi");
    if (!adjustForDpi || !adjustForDpi(&rect, kWindowStyle, FALSE, kWindowExStyle, dpi)) {
        ::AdjustWindowRectEx(&rect, kWindowStyle, FALSE, kWindowExStyle);
    }
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

// The system's text for a Windows error code.
std::string ErrorText(::DWORD error) {
    char* buffer = nullptr;
    const ::DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = length && buffer ? std::string(buffer, length) : std::string();
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return "error " + std::to_string(error) + (text.empty() ? "" : ": " + text);
}

} // namespace

MainWindow::MainWindow(HINSTANCE instance) : instance_(instance) {}

MainWindow::~MainWindow() {
    logic_ = nullptr;
    if (hwnd_) {
        ::DestroyWindow(hwnd_);
    }
    if (scaledFont_) {
        ::DeleteObject(scaledFont_);
    }
}

void MainWindow::Create() {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &MainWindow::WindowProc;
    wc.hInstance = instance_;
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kClassName;
    wc.hIcon = static_cast<HICON>(::LoadImageA(instance_, MAKEINTRESOURCEA(kIconId), IMAGE_ICON,
                                               ::GetSystemMetrics(SM_CXICON),
                                               ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    wc.hIconSm = static_cast<HICON>(::LoadImageA(instance_, MAKEINTRESOURCEA(kIconId), IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXSMICON),
                                                 ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    if (!::RegisterClassExA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        throw std::runtime_error("The window class " + std::string(kClassName) +
                                 " of the Pindrel window could not be registered (" +
                                 ErrorText(::GetLastError()) + ").");
    }

    dpi_ = SystemDpi();
    const SIZE size = WindowSizeFor(dpi_);
    // WindowProc stores hwnd_ when the window is created.
    if (!::CreateWindowExA(kWindowExStyle, kClassName, layout::kWindowCaption, kWindowStyle,
                           CW_USEDEFAULT, CW_USEDEFAULT, size.cx, size.cy, nullptr, nullptr,
                           instance_, this)) {
        throw std::runtime_error("The Pindrel window could not be created (" +
                                 ErrorText(::GetLastError()) + ").");
    }
    // The class carries the icons; set on the window as well, they also answer WM_GETICON, which
    // task switchers ask.
    ::SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<::LPARAM>(wc.hIcon));
    ::SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<::LPARAM>(wc.hIconSm));
    CreateControls();
    ApplyLayout(WindowDpi(hwnd_));
}

void MainWindow::CreateControls() {
    for (std::size_t index : CreationOrder()) {
        const layout::ControlSpec& entry = layout::kControls[index];
        const ControlClass cls = ClassFor(entry.kind);
        const auto id = static_cast<std::uintptr_t>(kFirstControlId + static_cast<int>(index));
        HWND control =
            ::CreateWindowExA(cls.exStyle, cls.className, entry.caption, cls.style, 0, 0, 0, 0,
                              hwnd_, reinterpret_cast<HMENU>(id), instance_, nullptr);
        if (!control) {
            throw std::runtime_error("The control " + std::string(entry.name) +
                                     " of the Pindrel window could not be created (" +
                                     ErrorText(::GetLastError()) + ").");
        }
        controls_[index] = control;
        if (entry.kind == layout::ControlKind::TextBox) {
            // A text box takes text of any length.
            ::SendMessageA(control, EM_LIMITTEXT, 0, 0);
        }
    }
}

void MainWindow::ApplyLayout(::UINT dpi) {
    dpi_ = dpi;
    const ::UINT systemDpi = SystemDpi();
    HFONT font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    HFONT oldScaled = scaledFont_;
    scaledFont_ = nullptr;
    if (dpi != systemDpi) {
        LOGFONTA logFont{};
        if (::GetObjectA(font, sizeof(logFont), &logFont) == sizeof(logFont)) {
            logFont.lfHeight =
                ::MulDiv(logFont.lfHeight, static_cast<int>(dpi), static_cast<int>(systemDpi));
            scaledFont_ = ::CreateFontIndirectA(&logFont);
        }
        if (scaledFont_) {
            font = scaledFont_;
        }
    }

    const float tpp = 1440.0f / static_cast<float>(dpi);
    for (std::size_t i = 0; i < layout::kControlCount; ++i) {
        HWND control = controls_[i];
        if (!control) {
            continue;
        }
        ::SendMessageA(control, WM_SETFONT, reinterpret_cast<::WPARAM>(font), FALSE);
        const layout::PixelRect rect = layout::ClientRectPixels(layout::kControls[i], tpp, tpp);
        int height = rect.height;
        if (layout::kControls[i].kind == layout::ControlKind::DropDownList) {
            // A combo box's window height includes its dropped-down list; the closed box is as
            // high as the layout says.
            const int selectionHeight = rect.height - 6;
            if (selectionHeight > 0) {
                ::SendMessageA(control, CB_SETITEMHEIGHT, static_cast<::WPARAM>(-1),
                               selectionHeight);
            }
            const auto itemHeight =
                static_cast<int>(::SendMessageA(control, CB_GETITEMHEIGHT, 0, 0));
            height += kVisibleEntries * (itemHeight > 0 ? itemHeight : rect.height) + 2;
        }
        ::SetWindowPos(control, nullptr, rect.x, rect.y, rect.width, height,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (oldScaled) {
        ::DeleteObject(oldScaled);
    }

    // Only the size changes: the window stays where Windows put it.
    const SIZE size = WindowSizeFor(dpi);
    ::SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void MainWindow::Show(int showCommand) {
    shown_ = true;
    ::ShowWindow(hwnd_, showCommand);
    ::UpdateWindow(hwnd_);
    RestoreFocus();
}

void MainWindow::Destroy() {
    if (hwnd_) {
        ::DestroyWindow(hwnd_);
    }
}

} // namespace pindrel
