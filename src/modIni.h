// The settings file beside the executable: its path and one-value reads and writes through the
// platform's INI functions.
//
// The wide profile functions are used, so that a section named after a user or computer whose
// name the system's code page cannot write is stored as it is. They keep a file in the encoding
// it has: an ANSI file (every file Pindrel ever wrote, byte for byte as before) takes only names
// the code page can write, a UTF-16 file (it starts with the mark FF FE) takes any. So the first
// write of a name that the code page cannot write turns the file into UTF-16 first, keeping all it
// holds; a file whose names all fit stays ANSI.
#pragma once

#include "platform/Runtime.h"
#include "platform/WindowsApi.h"

#include <string>

namespace pindrel::modIni {

// <executable's folder> "\" <executable's name> ".ini", spaces trimmed at both ends.
std::u16string SettingsFilePath(Runtime& runtime);

// The profile functions take no path of MAX_PATH units or more (they have no "\\?\" form).
constexpr std::size_t kLongestSettingsPath = 259;

// The stored value, in the ANSI code page; "" when the file, the section or the key is missing
// (and when the path is too long for the profile functions: such a file cannot hold settings).
// A value too long for the first 128-unit buffer is read again with a larger one, up to
// kLongestValue units: a long value is read whole, not cut to a different one ("0000...05" is
// not "0000").
constexpr unsigned kLongestValue = 1024 * 1024;
std::string ReadIniString(WindowsApi& api, Runtime& runtime, const std::u16string& key,
                          const std::u16string& section, const std::u16string& filePath);
// Stores the value (ANSI text, stored unchanged, empty text included). Throws Failure naming the
// settings file when it cannot be written (a read-only file or folder, a folder that is gone, a
// path longer than kLongestSettingsPath); the file is then as it was.
void WriteIniString(WindowsApi& api, Runtime& runtime, const std::u16string& key,
                    const std::u16string& section, const std::string& value,
                    const std::u16string& filePath);

} // namespace pindrel::modIni
