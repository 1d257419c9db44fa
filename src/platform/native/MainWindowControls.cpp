// The main window's side of Controls: the logic's reads and writes of the text boxes, the
// drop-down list and the buttons, done on the real Win32 controls.
#include "platform/native/MainWindow.h"

#include "Utf.h"
#include "platform/native/MainWindowNames.h"

namespace pindrel {

using mainwindow::ButtonName;
using mainwindow::TextBoxName;

namespace {

// The "Out of memory" number of the run-time.
constexpr int kOutOfMemory = 7;

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

} // namespace

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

// Failures are UTF-8 text: a path with a name outside the code page is shown as it is.
void MainWindow::ShowError(const std::string& message) {
    const std::u16string text = Utf8ToUtf16(message);
    const std::u16string caption = Utf8ToUtf16(layout::kWindowCaption);
    ::MessageBoxW(hwnd_, reinterpret_cast<const wchar_t*>(text.c_str()),
                  reinterpret_cast<const wchar_t*>(caption.c_str()), MB_OK | MB_ICONERROR);
}

} // namespace pindrel
