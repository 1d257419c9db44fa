// The messages of the watcher's hidden window, as its window procedure hands them to the watcher:
// which of them are events after which the icons may have moved, which end the watcher, and its
// one timer.
#pragma once

#include "Watcher.h"
#include "platform/Types.h"

namespace pindrel {

// The id of the watcher's timer (SetTimer), the wParam of its WM_TIMER.
constexpr WPARAM kWatcherTimerId = 1;

enum class WatcherReply {
    Default, // the window answers the message as DefWindowProc does
    Quit,    // the watcher has stopped: the window ends its message loop
};

// Hands one message of the watcher's window to the watcher. `taskbarCreated` is the number that
// RegisterWindowMessage gives "TaskbarCreated", which the shell broadcasts when it has started
// (again). The events: WM_DISPLAYCHANGE; WM_WTSSESSION_CHANGE for an unlock, a console connect and
// a remote connect; WM_POWERBROADCAST for a resume (automatic, or by the user); "TaskbarCreated".
// The end: WM_CLOSE ("pindrel.exe -q") and WM_ENDSESSION for a session that does end.
WatcherReply DispatchWatcherMessage(Watcher& watcher, UINT taskbarCreated, UINT message,
                                    WPARAM wParam, LPARAM lParam);

} // namespace pindrel
