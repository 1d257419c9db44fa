#include "WatcherMessages.h"

#include "platform/WindowsApi.h"

namespace pindrel {

using namespace win;

WatcherReply DispatchWatcherMessage(Watcher& watcher, UINT taskbarCreated, UINT message,
                                    WPARAM wParam, LPARAM /*lParam*/) {
    bool event = false;
    switch (message) {
    case WM_CLOSE:
        watcher.Stop();
        return WatcherReply::Quit;
    case WM_ENDSESSION:
        // wParam FALSE: the log-off was called off, and the session goes on.
        if (wParam != 0) {
            watcher.Stop();
            return WatcherReply::Quit;
        }
        break;
    case WM_TIMER:
        if (wParam == kWatcherTimerId) {
            watcher.OnTimer();
        }
        break;
    case WM_DISPLAYCHANGE:
        event = true;
        break;
    case WM_WTSSESSION_CHANGE:
        event = wParam == WTS_SESSION_UNLOCK || wParam == WTS_CONSOLE_CONNECT ||
                wParam == WTS_REMOTE_CONNECT;
        break;
    case WM_POWERBROADCAST:
        event = wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND;
        break;
    default:
        // A registered message has a number of 0xC000 or above; 0 means none was registered.
        event = taskbarCreated != 0 && message == taskbarCreated;
        break;
    }
    if (event) {
        watcher.OnEvent();
    }
    return WatcherReply::Default;
}

} // namespace pindrel
