// UTF-8 and UTF-16, the two forms of Unicode text the program meets: UTF-16 where Windows' wide
// functions take or give it (file paths, user and computer names), UTF-8 in its messages.
#pragma once

#include <string>

namespace pindrel {

// Malformed input becomes U+FFFD.
std::u16string Utf8ToUtf16(const std::string& utf8);
// An unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::u16string& utf16);

// True when text[i] is the first half of a surrogate pair.
bool HighSurrogateAt(const std::u16string& text, std::size_t i);

} // namespace pindrel
