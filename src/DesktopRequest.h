// One request to a window of the desktop (the list view or its shell view), which another program
// owns: it waits for the answer only so long.
#pragma once

#include "platform/WindowsApi.h"

namespace pindrel {

// The time one request may take. Windows itself takes a window whose thread has handled no
// message for 5 seconds to be hung ("Not Responding"), and SendMessageTimeout's SMTO_ABORTIFHUNG
// gives up at once on such a thread; a desktop that is slow but alive (Explorer busy at log-on)
// answers a single list-view request in well under a second.
constexpr UINT kAnswerLimitMs = 5000;

// The window's answer. Throws Failure naming the desktop windows: errors::kNoAnswer when the window
// did not answer within kAnswerLimitMs (or its thread is hung), errors::kObjectRequired when the
// window is gone (the desktop went away in the middle of an operation: Explorer restarting, a
// log-off).
LRESULT DesktopRequest(WindowsApi& api, Hwnd window, UINT message, WPARAM wParam, LPARAM lParam);

// Whether a failure is the desktop not answering, or gone: the operation it stopped must not go
// on.
bool IsNoAnswer(const Failure& failure);
bool IsWindowGone(const Failure& failure);

// Where the desktop list view is looked for, for messages about it.
extern const char* const kDesktopWindows;

} // namespace pindrel
