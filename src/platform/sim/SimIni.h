// The private-profile (INI) rules of GetPrivateProfileStringA and WritePrivateProfileStringA as
// pure functions over a file's bytes, so that they can be tested alone and compared with a real
// implementation. SimSession wires them to its file system.
//
// All rules live in SimIni.cpp, in one commented block at its top.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pindrel::sim {

// What GetPrivateProfileStringA(section, key, defaultValue, buffer, bufferSize) copies into the
// buffer before the terminating NUL; the text's length is the function's result. `file` holds
// the file's bytes, or nothing when the file is missing or cannot be read. A bufferSize of 0
// copies nothing.
std::string IniRead(const std::optional<std::string>& file, const std::string& section,
                    const std::string& key, const std::string& defaultValue,
                    std::uint32_t bufferSize);

// The file's bytes after WritePrivateProfileStringA(section, key, value). A missing key deletes
// the whole section, a missing value deletes the key. Gives nothing when the file stays as it is
// (there was nothing to delete); a missing file is then not created.
std::optional<std::string> IniWrite(const std::optional<std::string>& file,
                                    const std::string& section,
                                    const std::optional<std::string>& key,
                                    const std::optional<std::string>& value);

// The file's lines: CR LF, a lone LF and a lone CR each end a line; a last line without an end
// counts too.
std::vector<std::string> IniSplitLines(const std::string& bytes);

} // namespace pindrel::sim
