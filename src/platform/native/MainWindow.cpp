#include "platform/native/MainWindow.h"

#include <cstdint>
#include <exception>
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
// The "Out of memory" number of the run-time.
constexpr int kOutOfMemory = 7;

// The modifier state of a key event as Form_KeyUp takes it: 1 Shift, 2 Ctrl, 4 Alt.
std::int16_t ShiftState() {
    std::int16_t shift = 0;
    if (::GetKeyState(VK_SHIFT) < 0) {
        shift |= 1;
    }
    if (::GetKeyState(VK_CONTROL) < 0) {
        shift |= 2;
    }
    if (::GetKeyState(VK_MENU) < 0) {
        shift |= 4;
    }
    return shift;
}

const char* ButtonName(Button button) {
    switch (button) {
    case Button::Save:
        return "cmdSave";
    case Button::Load:
        return "cmdLoad";
    case Button::SetIconType:
        return "cmdSetIconType";
    case Button::SetDefault:
        return "cmdSetDefault";
    case Button::SetUnique:
        return "cmdSetUnique";
    }
    return "";
}

const char* TextBoxName(TextBox box) {
    switch (box) {
    case TextBox::StartX:
        return "txtStartX";
    case TextBox::StartY:
        return "txtStartY";
    case TextBox::DeltaX:
        return "txtDeltaX";
    case TextBox::DeltaY:
        return "txtDeltaY";
    }
    return "";
}

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

std::string WindowText(HWND window) {
    const int length = ::GetWindowTextLengthA(window);
    if (length <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = ::GetWindowTextA(window, &text[0], length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
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

int MainWindow::RunMessageLoop() {
    MSG message{};
    for (;;) {
        const ::BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            return static_cast<int>(message.wParam);
        }
        if (got == -1) {
            return 0;
        }
        if (PreviewKeyUp(message)) {
            continue;
        }
        // Tab and Shift+Tab move the focus in z-order, which is the tab order; Enter and Escape
        // become IDOK and IDCANCEL, which no control has.
        if (hwnd_ && ::IsDialogMessageA(hwnd_, &message)) {
            continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

bool MainWindow::PreviewKeyUp(const MSG& message) {
    if (message.message != WM_KEYUP && message.message != WM_SYSKEYUP) {
        return false;
    }
    if (!logic_ || !hwnd_ || (message.hwnd != hwnd_ && !::IsChild(hwnd_, message.hwnd))) {
        return false;
    }
    try {
        logic_->Form_KeyUp(static_cast<std::int16_t>(message.wParam & 0xFFFF), ShiftState());
    } catch (const std::exception& e) {
        ShowError(std::string("The key release in the Pindrel window failed: ") + e.what());
    }
    return hwnd_ == nullptr;
}

void MainWindow::OnButton(Button button) {
    // Each handler runs to completion before the next click is taken; a message box shown by one
    // must not let another start.
    if (!logic_ || inHandler_) {
        return;
    }
    inHandler_ = true;
    try {
        logic_->ButtonClicked(button);
    } catch (const std::exception& e) {
        ShowError(std::string("The button ") + ButtonName(button) +
                  " of the Pindrel window failed: " + e.what());
    }
    inHandler_ = false;
}

void MainWindow::RestoreFocus() {
    HWND target = lastFocus_ && ::IsWindowEnabled(lastFocus_) ? lastFocus_ : nullptr;
    if (!target) {
        for (std::size_t index : layout::FocusOrder()) {
            if (::IsWindowEnabled(controls_[index])) {
                target = controls_[index];
                break;
            }
        }
    }
    if (target) {
        ::SetFocus(target);
    }
}

::LRESULT CALLBACK MainWindow::WindowProc(HWND window, ::UINT message, ::WPARAM wParam,
                                          ::LPARAM lParam) {
    MainWindow* self = nullptr;
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        self = static_cast<MainWindow*>(create->lpCreateParams);
        self->hwnd_ = window;
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    }
    if (self) {
        return self->HandleMessage(message, wParam, lParam);
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

::LRESULT MainWindow::HandleMessage(::UINT message, ::WPARAM wParam, ::LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        // IDOK and IDCANCEL (Enter and Escape through the dialog manager) do nothing: the window
        // has no default and no cancel button.
        if (id == IDOK || id == IDCANCEL) {
            return 0;
        }
        if (HIWORD(wParam) == BN_CLICKED && lParam != 0) {
            for (Button button : {Button::Save, Button::Load, Button::SetIconType,
                                  Button::SetDefault, Button::SetUnique}) {
                if (reinterpret_cast<HWND>(lParam) == ButtonWindow(button)) {
                    OnButton(button);
                    return 0;
                }
            }
        }
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = ::GetFocus();
            if (focus && ::IsChild(hwnd_, focus)) {
                lastFocus_ = focus;
            }
        } else if (!HIWORD(wParam)) {
            RestoreFocus();
        }
        return 0;
    case WM_DPICHANGED: {
        // Lay the window out again for the new monitor's DPI, at the size Windows suggests.
        ApplyLayout(LOWORD(wParam));
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        ::SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                       suggested->right - suggested->left, suggested->bottom - suggested->top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY: {
        HWND window = hwnd_;
        hwnd_ = nullptr;
        controls_.fill(nullptr);
        lastFocus_ = nullptr;
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
    default:
        break;
    }
    return ::DefWindowProcA(hwnd_, message, wParam, lParam);
}

// ---- Controls ------------------------------------------------------------------------------

HWND MainWindow::ControlWindow(const char* name) const {
    const std::size_t index = layout::IndexOf(name);
    return index < layout::kControlCount ? controls_[index] : nullptr;
}

HWND MainWindow::TextBoxWindow(TextBox box) const {
    return ControlWindow(TextBoxName(box));
}

HWND MainWindow::ButtonWindow(Button button) const {
    return ControlWindow(ButtonName(button));
}

HWND MainWindow::ComboWindow() const {
    return ControlWindow("cmbView");
}

std::string MainWindow::GetText(TextBox box) {
    return WindowText(TextBoxWindow(box));
}

void MainWindow::SetText(TextBox box, const std::string& text) {
    ::SetWindowTextA(TextBoxWindow(box), text.c_str());
}

void MainWindow::ComboAddItem(const std::string& text) {
    const ::LRESULT result =
        ::SendMessageA(ComboWindow(), CB_ADDSTRING, 0, reinterpret_cast<::LPARAM>(text.c_str()));
    if (result == CB_ERR || result == CB_ERRSPACE) {
        throw Failure(kOutOfMemory, "Out of memory",
                      "the entry \"" + text + "\" of the list cmbView in the Pindrel window");
    }
}

bool MainWindow::ComboSelectText(const std::string& text) {
    HWND combo = ComboWindow();
    const int count = static_cast<int>(::SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        // CB_FINDSTRINGEXACT ignores letter case; the entry must match exactly.
        if (ComboItemText(i) == text) {
            ::SendMessageA(combo, CB_SETCURSEL, static_cast<::WPARAM>(i), 0);
            return true;
        }
    }
    ::SendMessageA(combo, CB_SETCURSEL, static_cast<::WPARAM>(-1), 0);
    return false;
}

int MainWindow::ComboListIndex() {
    return static_cast<int>(::SendMessageA(ComboWindow(), CB_GETCURSEL, 0, 0));
}

std::string MainWindow::ComboItemText(int index) {
    if (index < 0) {
        return {};
    }
    HWND combo = ComboWindow();
    const auto length =
        static_cast<int>(::SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<::WPARAM>(index), 0));
    if (length < 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const auto copied = static_cast<int>(::SendMessageA(
        combo, CB_GETLBTEXT, static_cast<::WPARAM>(index), reinterpret_cast<::LPARAM>(&text[0])));
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

void MainWindow::SetEnabled(Button button, bool enabled) {
    HWND control = ButtonWindow(button);
    if (!control) {
        return;
    }
    if (!enabled) {
        // Disabling the focused button takes its focus away; it gets it back when enabled again.
        if (::GetFocus() == control) {
            lastFocus_ = control;
        }
        ::EnableWindow(control, FALSE);
        return;
    }
    ::EnableWindow(control, TRUE);
    HWND focus = ::GetFocus();
    if (control == lastFocus_ && (!focus || focus == hwnd_) && ::GetActiveWindow() == hwnd_) {
        ::SetFocus(control);
    }
}

bool MainWindow::IsEnabled(Button button) {
    HWND control = ButtonWindow(button);
    return control && ::IsWindowEnabled(control);
}

void MainWindow::CloseWindow() {
    closeRequested_ = true;
    // A window closed while it loads is destroyed by the start-up, without ever being shown.
    if (shown_ && hwnd_) {
        ::DestroyWindow(hwnd_);
    }
}

void MainWindow::ShowError(const std::string& message) {
    ::MessageBoxA(hwnd_, message.c_str(), layout::kWindowCaption, MB_OK | MB_ICONERROR);
}

} // namespace pindrel
