// Windows paths as the wide file functions take them, and as messages show them.
#pragma once

#include <string>

namespace pindrel {

// The path in the form the file functions take whatever its length: unchanged when it is shorter
// than MAX_PATH units; otherwise its separators made single and "\" throughout, in the "\\?\"
// form ("\\?\C:\...", "\\?\UNC\server\share\..."), which those functions take up to 32,767 units.
// The "\\?\" form is taken literally by Windows, so only a path that needs it gets it: a plain
// path keeps the repeated separator an executable in a drive's root gives ("C:\\x.txt").
std::u16string FileSystemPath(const std::u16string& path);

// The path as failures and messages show it: UTF-8, without a "\\?\" prefix.
std::string PathText(const std::u16string& path);

} // namespace pindrel
