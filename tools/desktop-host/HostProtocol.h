// The private protocol between desktop-host.exe and hostctl.exe.
//
// The host owns a message-only window of class kControlClass. hostctl finds it with
// FindWindowExA(HWND_MESSAGE, ...) and sends it WM_COPYDATA; COPYDATASTRUCT.dwData names the
// request and the reply (the SendMessage result) is 1 when the request was carried out, 0 when it
// was not. SendMessage returns only after the host has handled the request, so a dump file is
// complete when hostctl exits.
#pragma once

#include <cstdint>

namespace desktophost {

constexpr const char* kControlClass = "PindrelDesktopHostCtl";

enum Request : std::uint32_t {
    // lpData: the Windows path of the file to write (8-bit text, no terminator needed).
    kDump = 1,
    // lpData: MoveRequest. Moves one item of the desktop list view (the first one).
    kMove = 2,
    // No data. Moves every item of the desktop list view somewhere else.
    kScramble = 3,
    // No data. The host closes its windows and ends with exit code 0.
    kStop = 4,
    // lpData: std::uint32_t milliseconds. The host's main thread (the list views' and the COM
    // server's) stops answering for that long, starting right after this request is answered.
    kHang = 5,
};

struct MoveRequest {
    std::int32_t index;
    std::int32_t x;
    std::int32_t y;
};

// The shell view's command that switches the desktop's auto-arrange.
constexpr unsigned kAutoArrangeCommand = 0x7041;

} // namespace desktophost
