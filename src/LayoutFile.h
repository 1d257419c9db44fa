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

namespace pindrel {

// W "x" H: the screen's size in pixels. Where the platform reports pixels they are written as whole
// numbers; otherwise each is the screen size in twips divided by the twips per pixel as
// single-precision numbers, written with at most seven significant digits.
std::string ResolutionTag(Runtime& runtime);

// <executable's folder> "\" <user> "@" <computer> "@" <resolution tag> ".txt". The "\" is added
// whatever the folder ends with.
std::u16string LayoutFilePath(Runtime& runtime, const std::u16string& userName,
                              const std::u16string& computerName);

// One line of the file, without its CR LF: x "," y "," name (the name trimmed of spaces).
std::string FormatLayoutLine(std::int32_t x, std::int32_t y, std::string_view name);

} // namespace pindrel
