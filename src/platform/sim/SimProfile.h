// GetPrivateProfileStringW and WritePrivateProfileStringW on the session's files: the INI rules of
// SimIni applied to the file a Windows path names, in the encoding the file has.
//
// As Windows does, a file that starts with the UTF-16 mark (FF FE) is read and written as UTF-16;
// any other file, and a new one, as ANSI (Windows-1252): names and values the code page cannot
// write become "?" on their way into it. The profile functions take no path of MAX_PATH units or
// more, nor the "\\?\" form: such a file reads as missing and cannot be written.
#pragma once

#include "platform/sim/SimFiles.h"
#include "platform/sim/SimLog.h"

#include "platform/Types.h"

namespace pindrel::sim {

// Listing sections or keys (a null section or key) is not simulated: it records a fault.
DWORD ProfileRead(SimFiles& files, SimLog& log, const char16_t* section, const char16_t* key,
                  const char16_t* defaultValue, char16_t* buffer, DWORD size,
                  const char16_t* fileName);
// Fails (0) when the file cannot be written, or the disk cannot hold what it grows by.
BOOL ProfileWrite(SimFiles& files, const char16_t* section, const char16_t* key,
                  const char16_t* value, const char16_t* fileName);

} // namespace pindrel::sim
