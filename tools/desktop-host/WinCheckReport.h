// wincheck's report lines: tab-separated "name=value" fields after a leading word, for the window,
// each window inside it and each popup of its process.
#pragma once

#include "WinCheckWindows.h"

#include <windows.h>

#include <string>

namespace wincheck {

// A handle or a 32-bit value as 0x%08X.
std::string Hex(HWND window);
std::string Hex(DWORD value);
// Escapes tab, CR, LF and backslash as \t, \r, \n and \\, for a field that holds the rest of the
// line.
std::string Escape(const std::string& text);

// Rectangles are read in physical pixels: the helper is DPI aware, so Windows does not scale
// what it reports.
void BecomeDpiAware();

// The "window" line: caption, class, styles, screen rectangle, client size, DPI, focus.
std::string WindowLine(const Target& target);
// The whole "controls" report: the "window" line, a "child" line per descendant and a "popup"
// line per other visible top-level window of the window's process, each ended by LF.
std::string ControlsReport(const Target& target);

} // namespace wincheck
