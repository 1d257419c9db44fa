// The layout's lines read the plain way, the whole text at once: split at every CR LF, each line
// parsed into its three texts. The tests hold the program's streaming reader to this.
#pragma once

#include "Conversions.h"

#include <string_view>
#include <vector>

namespace pindrel {

// Splits a text into lines at every CR LF, keeping empty pieces; a lone CR or LF stays part of its
// line. An empty text gives no lines at all. The views point into `text`.
inline std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0, at = 0; !text.empty() && at != std::string_view::npos;
         start = at + 2) {
        at = text.find("\r\n", start);
        lines.push_back(text.substr(start, at - start));
    }
    return lines;
}

struct LayoutFields {
    std::string_view x;
    std::string_view y;
    std::string_view name;
};

// A line is a candidate only when it holds a first comma and, after it, a second comma with at
// least one character between them; x may be empty; the name is what follows the second comma,
// spaces trimmed at both ends.
inline bool ParseLayoutLine(std::string_view line, LayoutFields& fields) {
    const std::size_t first = line.find(',');
    if (first == std::string_view::npos)
        return false;
    const std::string_view rest = line.substr(first + 1);
    const std::size_t second = rest.find(',');
    if (second == std::string_view::npos || second == 0)
        return false;
    fields.x = line.substr(0, first);
    fields.y = rest.substr(0, second);
    fields.name = TrimView(rest.substr(second + 1));
    return true;
}

} // namespace pindrel
