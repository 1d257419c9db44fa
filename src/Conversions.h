// Text and number rules used throughout the program: trimming, lower-casing, the numeric test
// and the conversions between text and numbers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pindrel {

// Removes spaces (character 32 only; tabs stay) at both ends.
std::string Trim(std::string_view text);
std::string_view TrimView(std::string_view text);
std::u16string Trim(std::u16string_view text);
// Lower-cases the letters of the system's 8-bit code page (ASCII and the Latin-1 letters).
std::string LCase(std::string_view text);

// True when the text, spaces around it aside, reads as a decimal number: an optional sign, then
// at least one digit, with at most one decimal point before, among or after the digits.
bool IsNumeric(std::string_view text);
// Converts numeric text to a signed 32-bit integer, a fraction rounded to the nearest whole number
// and a half to the even neighbour. Throws Failure 13 "Type mismatch" for text that is not numeric
// and Failure 6 "Overflow" outside the 32-bit range.
std::int32_t TextToLong(std::string_view text);
// The same conversion for a floating-point value.
std::int32_t DoubleToLong(double value);
// True when TextToLong would succeed.
bool TryTextToLong(std::string_view text, std::int32_t& value);

// A signed 32-bit integer as decimal text: "-" for negative values, no "+", no leading zeros.
std::string LongToText(std::int32_t value);
// A single-precision number as decimal text of at most seven significant digits, without a
// decimal point when it is whole ("1024", never "1024.0").
std::string SingleToText(float value);

} // namespace pindrel
