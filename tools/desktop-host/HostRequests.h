// hostctl's requests to desktop-host (HostProtocol.h), carried out on the desktop: write the state
// file, move an item, scramble the items, stop.
#pragma once

#include "HostDesktop.h"

#include <windows.h>

namespace desktophost {

// Posted to the control window by a stop request; the control window then closes the desktop.
constexpr UINT kStopMessage = WM_APP + 1;
// Posted to the control window by a hang request (wParam: milliseconds); the control window then
// blocks the thread for that long.
constexpr UINT kHangMessage = WM_APP + 3;

// Carries out the request of a WM_COPYDATA; the result is the reply: 1 done, 0 not done.
LRESULT HandleCopyData(Host& host, const COPYDATASTRUCT& cds);

} // namespace desktophost
