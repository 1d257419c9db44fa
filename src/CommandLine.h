// The command line as Windows hands it to a program, and the argument text that follows the
// program's own name.
#pragma once

#include <string>

namespace pindrel {

// Everything after the program's name in `commandLine` (the text GetCommandLineA returns).
//
// The program's name is removed by the rule Windows applies to the first argument: when the line
// starts with a double quote, the name runs to the next double quote (a missing closing quote
// takes the rest of the line); otherwise it runs to the first space or tab. The spaces and tabs
// that separate the name from the arguments are skipped. The arguments themselves are returned
// as they stand: quotes, inner spaces and trailing spaces are kept.
std::string ArgumentText(const std::string& commandLine);

} // namespace pindrel
