// The settings file beside the executable: its path and one-value reads and writes through the
// platform's INI functions.
#pragma once

#include "platform/Runtime.h"
#include "platform/WindowsApi.h"

#include <string>

namespace pindrel::modIni {

// <executable's folder> "\" <executable's name> ".ini", spaces trimmed at both ends.
std::string SettingsFilePath(Runtime& runtime);

// The stored value (at most 127 characters), "" when the file, the section or the key is missing.
std::string ReadIniString(WindowsApi& api, const std::string& key, const std::string& section,
                          const std::string& filePath);
// Stores the value unchanged (empty text included). Whether the write succeeded is not reported.
void WriteIniString(WindowsApi& api, const std::string& key, const std::string& section,
                    const std::string& value, const std::string& filePath);

} // namespace pindrel::modIni
