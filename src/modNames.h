// Who is working and on which computer: the two name queries and the profile key built from them.
#pragma once

#include "platform/WindowsApi.h"

#include <string>

namespace pindrel::modNames {

// The logged-on user's name; "" when the query fails (for example a name of 100 characters or
// more, which does not fit the 100-character buffer with its terminator).
std::string GetUserNameString(WindowsApi& api);
// The computer's name; "" when the query fails.
std::string GetComputerNameString(WindowsApi& api);
// user "@" computer, joined unchanged; the user name is queried first.
std::string ProfileKey(WindowsApi& api);

} // namespace pindrel::modNames
