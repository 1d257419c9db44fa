#include "Conversions.h"

#include "platform/Types.h"

#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace pindrel {

std::string_view TrimView(std::string_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && text[first] == ' ') {
        ++first;
    }
    while (last > first && text[last - 1] == ' ') {
        --last;
    }
    return text.substr(first, last - first);
}

std::string Trim(std::string_view text) {
    return std::string(TrimView(text));
}

std::u16string Trim(std::u16string_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && text[first] == u' ') {
        ++first;
    }
    while (last > first && text[last - 1] == u' ') {
        --last;
    }
    return std::u16string(text.substr(first, last - first));
}

std::string LCase(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        const auto u = static_cast<unsigned char>(c);
        // ASCII capitals, and the capitals of the Latin-1 range except the multiplication sign.
        if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7)) {
            c = static_cast<char>(u + 0x20);
        }
    }
    return result;
}

bool IsNumeric(std::string_view text) {
    const std::string_view t = TrimView(text);
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        ++i;
    }
    bool digit = false;
    bool point = false;
    for (; i < t.size(); ++i) {
        const char c = t[i];
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digit;
}

namespace {

// Rounds to the nearest integer, a half to the even neighbour, and checks the 32-bit range: a
// value fails below -2147483648.5 and at or above 2147483647.5.
bool RoundToLong(double value, std::int32_t& out) {
    if (!(value >= -2147483648.5 && value < 2147483647.5)) {
        return false;
    }
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) {
        whole += 1.0;
    }
    if (whole > 2147483647.0 || whole < -2147483648.0) {
        return false;
    }
    out = static_cast<std::int32_t>(whole);
    return true;
}

} // namespace

bool TryTextToLong(std::string_view text, std::int32_t& value) {
    if (!IsNumeric(text)) {
        return false;
    }
    const std::string t(TrimView(text));
    // strtod reads "1.", ".5", "-0.5" and "+7"; the numeric test above has already excluded
    // everything else (exponents, hexadecimal, infinities).
    const double number = std::strtod(t.c_str(), nullptr);
    return RoundToLong(number, value);
}

std::int32_t TextToLong(std::string_view text) {
    if (!IsNumeric(text)) {
        throw Failure(errors::kTypeMismatch, "Type mismatch", "\"" + std::string(text) + "\"");
    }
    std::int32_t value = 0;
    if (!TryTextToLong(text, value)) {
        throw Failure(errors::kOverflow, "Overflow", "\"" + std::string(text) + "\"");
    }
    return value;
}

std::int32_t DoubleToLong(double value) {
    std::int32_t out = 0;
    if (!RoundToLong(value, out)) {
        throw Failure(errors::kOverflow, "Overflow");
    }
    return out;
}

std::string LongToText(std::int32_t value) {
    return std::to_string(value);
}

std::string SingleToText(float value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.7G", static_cast<double>(value));
    std::string text(buffer);
    // "%G" writes exponents as "E+08"; the run-time's form is the same but has at least two
    // exponent digits, which "%G" also gives. Nothing else to change.
    return text;
}

} // namespace pindrel
