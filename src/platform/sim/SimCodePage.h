// The simulated system's text: UTF-8 and UTF-16 (test convenience), Windows-1252 as the ANSI code
// page, WideCharToMultiByte's buffer rules, and the ASCII case folding Windows applies to class
// and file names.
#pragma once

#include "Utf.h"
#include "platform/Types.h"

#include <string>

namespace pindrel::sim {

using pindrel::Utf16ToUtf8;
using pindrel::Utf8ToUtf16;
// Characters Windows-1252 lacks become '?' (a surrogate pair is one character, so one '?').
std::string Utf16ToCp1252(const std::u16string& utf16);
std::u16string Cp1252ToUtf16(const std::string& bytes);

// WideCharToMultiByte into Windows-1252 (CP_ACP or 1252; no flags but WC_NO_BEST_FIT_CHARS, which
// changes nothing here since no "best fit" is simulated): a count of -1 takes the text up to and
// including its NUL; a size of 0 asks for the length needed; too small a buffer fails (0) and
// writes nothing. Characters the code page lacks become `defaultChar` ("?" when null), and
// `usedDefaultChar` says whether one did.
int WideToCp1252(UINT codePage, DWORD flags, const char16_t* wide, int wideCount, char* multi,
                 int multiSize, const char* defaultChar = nullptr, BOOL* usedDefaultChar = nullptr);
// MultiByteToWideChar from Windows-1252, with the same rules for counts and sizes (no flags but
// MB_ERR_INVALID_CHARS, which refuses nothing: every byte is a character of the code page).
int Cp1252ToWide(UINT codePage, DWORD flags, const char* multi, int multiCount, char16_t* wide,
                 int wideSize);

char AsciiLower(char c);
std::string AsciiLower(std::string text);
bool SameTextIgnoringCase(const std::string& a, const std::string& b);

} // namespace pindrel::sim
