// The main window's events: the message loop with its key preview, the window procedure, and the
// hand-over of button clicks and key releases to the window's logic.
#include "platform/native/MainWindow.h"

#include "platform/native/MainWindowNames.h"

#include <cstdint>
#include <exception>

namespace pindrel {

using mainwindow::ButtonName;

namespace {

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

} // namespace

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

} // namespace pindrel
