// wincheck's input: keys and mouse clicks sent with SendInput as a user would type and click, and
// the wait until pindrel's window has handled them.
#pragma once

#include "WinCheckWindows.h"

#include <windows.h>

#include <string>

namespace wincheck {

struct Waiter {
    const Target& target;
    HANDLE process;

    bool Open() const {
        return IsWindow(target.window) &&
               (!process || WaitForSingleObject(process, 0) == WAIT_TIMEOUT);
    }

    // Waits until the window's thread has taken the marker key's press (down) or release out of
    // its queue, which it does only after it has handled everything sent before; or until the
    // window is gone. The helper shares the window thread's input state (AttachThreadInput), so
    // GetKeyState shows the key state as that thread has seen it. False when the guard ran out.
    bool MarkerSeen(bool down) const;

    // Waits until the window has handled all input sent so far.
    bool Settle() const { return MarkerSeen(true) && MarkerSeen(false); }
};

// Sends one step of the "keys" command: a key or chord ("Shift+Ctrl+Tab"), "down:<key>" or
// "up:<key>" to press or release only, or "text:<characters>". False for a key it does not know.
bool SendStep(const std::string& step);

// Sends a mouse event (MOUSEEVENTF_MOVE, _LEFTDOWN, ...) at a screen pixel.
void SendMouse(DWORD flags, LONG x, LONG y);

} // namespace wincheck
