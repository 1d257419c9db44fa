// The failures of the file functions: the run-time's number and text for a Windows error code,
// about one file.
#pragma once

#include "platform/Types.h"

#include <string>

namespace pindrel {

// "File not found" (53) and "Path not found" (76) are the only failures that mean the file is not
// there. A drive or network path that cannot be reached (a share that dropped, a drive that is
// gone or not ready) is "Device unavailable" (68), a different thing: the file may well be there.
Failure FileFailure(DWORD windowsError, const std::u16string& path);

} // namespace pindrel
