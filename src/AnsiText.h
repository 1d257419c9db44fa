// Text between UTF-16 and the system's ANSI code page, converted by Windows: the layout file and
// the window's texts are ANSI, names and paths come and go as UTF-16.
#pragma once

#include "platform/WindowsApi.h"

#include <string>

namespace pindrel {

// Characters the code page lacks become its default character ("?").
std::string WideToAnsi(WindowsApi& api, const std::u16string& wide);
std::u16string AnsiToWide(WindowsApi& api, const std::string& ansi);
// True when `wide` comes back unchanged from the code page: it writes every character as itself.
bool FitsCodePage(WindowsApi& api, const std::u16string& wide);

} // namespace pindrel
