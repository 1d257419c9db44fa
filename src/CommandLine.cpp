#include "CommandLine.h"

namespace pindrel {

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
} // namespace

std::string ArgumentText(const std::string& commandLine) {
    std::string::size_type pos = 0;
    const std::string::size_type end = commandLine.size();

    if (pos < end && commandLine[pos] == '"') {
        // A quoted name: everything up to and including the closing quote. Quotes inside the name
        // are not special, and no escaping applies to it.
        const std::string::size_type closing = commandLine.find('"', pos + 1);
        pos = closing == std::string::npos ? end : closing + 1;
    } else {
        while (pos < end && !IsBlank(commandLine[pos])) {
            ++pos;
        }
    }

    while (pos < end && IsBlank(commandLine[pos])) {
        ++pos;
    }
    return commandLine.substr(pos);
}

} // namespace pindrel
