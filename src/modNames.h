// Who is working and on which computer: the two name queries and the profile key built from them.
//
// The names are asked for with the wide functions, so that a name the system's code page cannot
// write (a Cyrillic user name on a Western European system) comes back as it is, not as "?".
#pragma once

#include "platform/WindowsApi.h"

#include <string>

namespace pindrel::modNames {

// The logged-on user's name; "" when the query fails (for example a name of 100 UTF-16 units or
// more, which does not fit the 100-unit buffer with its terminator).
std::u16string GetUserNameString(WindowsApi& api);
// The computer's name; "" when the query fails.
std::u16string GetComputerNameString(WindowsApi& api);
// user "@" computer, joined unchanged; the user name is queried first.
std::u16string ProfileKey(WindowsApi& api);

} // namespace pindrel::modNames
