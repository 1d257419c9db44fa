// Switching the desktop list view between its four views.
#pragma once

#include "platform/WindowsApi.h"

namespace pindrel::modDesktopViewMode {

// View-mode codes: the list view's view-type style bits.
constexpr DWORD kViewIcon = 0;      // large icons
constexpr DWORD kViewReport = 1;    // details
constexpr DWORD kViewSmallIcon = 2; // small icons
constexpr DWORD kViewList = 3;      // list

// Tells the desktop list view that its style changed to the given view (0..3). Nothing happens
// when there is no desktop list view.
void SetDesktopViewMode(WindowsApi& api, DWORD viewCode);

} // namespace pindrel::modDesktopViewMode
