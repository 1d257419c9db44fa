// The settings file beside the executable: its path and one-value reads and writes through the
// platform's INI functions.
#pragma once

#include "platform/Runtime.h"
#include "platform/WindowsApi.h"

#include <string>

namespace pindrel::modIni {

// <executable's folder> "\" <executable's name> ".ini", spaces trimmed at both ends.
std::string SettingsFilePath(Runtime& runtime);

// The stored value, "" when the file, the section or the key is missing. A value too long for the
// first 128-byte buffer is read again with a larger one, up to kLongestValue characters: a long
// value is read whole, not cut to a different one ("0000...05" is not "0000").
constexpr unsigned kLongestValue = 1024 * 1024;
std::string ReadIniString(WindowsApi& api, const std::string& key, const std::string& section,
                          const std::string& filePath);
// Stores the value unchanged (empty text included). Throws Failure naming the settings file when
// it cannot be written (a read-only file or folder, a folder that is gone).
void WriteIniString(WindowsApi& api, const std::string& key, const std::string& section,
                    const std::string& value, const std::string& filePath);

} // namespace pindrel::modIni
