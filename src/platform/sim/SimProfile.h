// GetPrivateProfileStringA and WritePrivateProfileStringA on the session's files: the INI rules
// of SimIni applied to the file a Windows path names.
#pragma once

#include "platform/sim/SimFiles.h"
#include "platform/sim/SimLog.h"

#include "platform/Types.h"

namespace pindrel::sim {

// Listing sections or keys (a null section or key) is not simulated: it records a fault.
DWORD ProfileRead(SimFiles& files, SimLog& log, const char* section, const char* key,
                  const char* defaultValue, char* buffer, DWORD size, const char* fileName);
// Fails (0) when the file cannot be written, or the disk cannot hold what it grows by.
BOOL ProfileWrite(SimFiles& files, const char* section, const char* key, const char* value,
                  const char* fileName);

} // namespace pindrel::sim
