// The layout file: its name and its text format.
//
// One line per desktop item, in the order of the items' indexes: x, ",", y, ",", name, CR LF.
// x and y are signed decimal integers; the name is the item's text with spaces trimmed at both
// ends, commas allowed and not quoted. The file lives beside the executable under
// <user>@<computer>@<W>x<H>.txt.
#pragma once

#include "platform/Runtime.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pindrel {

// W "x" H: the screen's size in pixels. Where the platform reports pixels they are written as whole
// numbers; otherwise each is the screen size in twips divided by the twips per pixel as
// single-precision numbers, written with at most seven significant digits.
std::string ResolutionTag(Runtime& runtime);

// <executable's folder> "\" <user> "@" <computer> "@" <resolution tag> ".txt". The "\" is added
// whatever the folder ends with.
std::string LayoutFilePath(Runtime& runtime, const std::string& userName,
                           const std::string& computerName);

// One line of the file, without its CR LF: x "," y "," name (the name trimmed of spaces).
std::string FormatLayoutLine(std::int32_t x, std::int32_t y, std::string_view name);

// Splits a file's text into lines at every CR LF, keeping empty pieces; a lone CR or LF stays part
// of its line. An empty text gives no lines at all. The views point into `text`.
std::vector<std::string_view> SplitLines(std::string_view text);

struct LayoutFields {
    std::string_view x;
    std::string_view y;
    std::string_view name;
};

// Parses a line into its x, y and name texts. A line is a candidate only when it holds a first
// comma and, after it, a second comma with at least one character between them; x may be empty;
// the name is what follows the second comma, spaces trimmed at both ends.
bool ParseLayoutLine(std::string_view line, LayoutFields& fields);

} // namespace pindrel
