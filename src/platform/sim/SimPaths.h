// Windows paths ("C:\Tools\x.txt", "\\server\share\x.txt", and both in the "\\?\" form) as paths
// under a host folder, with the rules Windows applies to them.
#pragma once

#include "platform/Types.h"

#include <filesystem>
#include <optional>
#include <string>

namespace pindrel::sim {

// "X:\a\b" as root/x/a/b and "\\server\share\a" as root/unc/server/share/a (UTF-8 on the host).
// Repeated separators count as one, "/" is a separator too and trailing dots and spaces of a name
// are dropped, as Windows does; a "\\?\" path is taken literally (its separators are "\" alone,
// and an empty, "." or ".." name in it is refused). Each name is matched without regard to case
// against what exists. With `limitLength`, a path of MAX_PATH units or more that is not in the
// "\\?\" form fails as Windows fails it (ERROR_FILENAME_EXCED_RANGE), as does any name of more
// than 255 units. Throws the Failure FileFailure makes of the Windows error: ERROR_INVALID_NAME
// for a path that is not absolute or holds a character Windows forbids in a name.
std::filesystem::path WindowsToHost(const std::filesystem::path& root, const std::u16string& path,
                                    bool limitLength = false);
// The key a host path is known by in the sets of read-only and locked files: case does not count.
std::string HostKey(const std::filesystem::path& host);

std::optional<std::string> ReadHostFile(const std::filesystem::path& host);
bool WriteHostFile(const std::filesystem::path& host, const std::string& bytes);

} // namespace pindrel::sim
