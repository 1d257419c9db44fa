#include "platform/native/WatcherWindow.h"

#include <wtsapi32.h>

#include <stdexcept>
#include <string>

namespace pindrel {

namespace {

constexpr const char* kWindowTitle = "Pindrel watcher";

std::string ErrorCode(::DWORD error) {
    return "error " + std::to_string(error);
}

// wtsapi32 is loaded by the watcher alone, when it signs up: the other runs of the program (the
// window, "-s", "-r") do without it.
template <typename Function> Function WtsFunction(const char* name) {
    static HMODULE wtsapi32 = ::LoadLibraryA("wtsapi32.dll");
    FARPROC proc = wtsapi32 ? ::GetProcAddress(wtsapi32, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(proc));
}

} // namespace

WatcherWindow::~WatcherWindow() {
    Destroy();
}

void WatcherWindow::Create() {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &WatcherWindow::WindowProc;
    wc.hInstance = instance_;
    wc.lpszClassName = kWatcherClass;
    if (!::RegisterClassExA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        throw std::runtime_error("The window class " + std::string(kWatcherClass) +
                                 " of the Pindrel watcher could not be registered (" +
                                 ErrorCode(::GetLastError()) + ").");
    }
    // Never shown: no WS_VISIBLE, and a tool window, which no task bar or Alt+Tab lists.
    if (!::CreateWindowExA(WS_EX_TOOLWINDOW, kWatcherClass, kWindowTitle, WS_POPUP, 0, 0, 0, 0,
                           nullptr, nullptr, instance_, this)) {
        throw std::runtime_error("The window " + std::string(kWatcherClass) +
                                 " of the Pindrel watcher could not be created (" +
                                 ErrorCode(::GetLastError()) + ").");
    }
    taskbarCreated_ = ::RegisterWindowMessageA("TaskbarCreated");
    sessionNotified_ = RegisterSessionNotification();
}

bool WatcherWindow::RegisterSessionNotification() {
    using RegisterFn = ::BOOL(WINAPI*)(HWND, ::DWORD);
    static const auto registerFn = WtsFunction<RegisterFn>("WTSRegisterSessionNotification");
    return registerFn && registerFn(hwnd_, NOTIFY_FOR_THIS_SESSION) != FALSE;
}

void WatcherWindow::Run(const std::function<WatcherReply(UINT, WPARAM, LPARAM)>& handle) {
    handle_ = &handle;
    MSG message{};
    // GetMessage sleeps until a message comes: nothing runs while the watcher waits.
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::DispatchMessageA(&message);
    }
    handle_ = nullptr;
}

void WatcherWindow::Destroy() {
    if (!hwnd_) {
        return;
    }
    Disarm();
    if (sessionNotified_) {
        using UnregisterFn = ::BOOL(WINAPI*)(HWND);
        static const auto unregisterFn =
            WtsFunction<UnregisterFn>("WTSUnRegisterSessionNotification");
        if (unregisterFn) {
            unregisterFn(hwnd_);
        }
        sessionNotified_ = false;
    }
    handle_ = nullptr;
    ::DestroyWindow(hwnd_);
}

std::uint64_t WatcherWindow::NowMs() {
    return ::GetTickCount64();
}

void WatcherWindow::Arm(std::uint32_t ms) {
    // Setting the timer again replaces it.
    ::SetTimer(hwnd_, kWatcherTimerId, ms, nullptr);
}

void WatcherWindow::Disarm() {
    ::KillTimer(hwnd_, kWatcherTimerId);
}

::LRESULT CALLBACK WatcherWindow::WindowProc(HWND window, ::UINT message, ::WPARAM wParam,
                                             ::LPARAM lParam) {
    WatcherWindow* self = nullptr;
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        self = static_cast<WatcherWindow*>(create->lpCreateParams);
        self->hwnd_ = window;
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<WatcherWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    }
    if (self && message == WM_NCDESTROY) {
        self->hwnd_ = nullptr;
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    } else if (self) {
        return self->HandleMessage(message, wParam, lParam);
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

::LRESULT WatcherWindow::HandleMessage(::UINT message, ::WPARAM wParam, ::LPARAM lParam) {
    if (!handle_) {
        // Before the loop runs and after it ended: closing must not destroy the window under the
        // start-up, and nothing else is the watcher's yet.
        return message == WM_CLOSE ? 0 : ::DefWindowProcA(hwnd_, message, wParam, lParam);
    }
    if (!sessionNotified_ && message != WM_TIMER) {
        // Signed up late: the session service was not up yet at the start.
        sessionNotified_ = RegisterSessionNotification();
    }
    if ((*handle_)(message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)) ==
        WatcherReply::Quit) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(hwnd_, message, wParam, lParam);
}

} // namespace pindrel
