// Windows paths ("C:\Tools\x.txt") as paths under a host folder, and the run-time's file
// failures that name the file.
#pragma once

#include "platform/Types.h"

#include <filesystem>
#include <optional>
#include <string>

namespace pindrel::sim {

// "X:\a\b" as root/x/a/b. Repeated separators count as one and trailing dots and spaces of a name
// are dropped, as Windows does; each name is matched without regard to case against what exists.
// A path without a drive letter, or with a character Windows forbids in a name, fails with
// "Bad file name or number".
std::filesystem::path WindowsToHost(const std::filesystem::path& root, const std::string& path);
// The key a host path is known by in the sets of read-only and locked files: case does not count.
std::string HostKey(const std::filesystem::path& host);

// The run-time's failure with this error number, about `path`.
Failure FileFailure(int number, const std::string& path);

std::optional<std::string> ReadHostFile(const std::filesystem::path& host);
bool WriteHostFile(const std::filesystem::path& host, const std::string& bytes);

} // namespace pindrel::sim
