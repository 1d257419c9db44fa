// IsNumeric, TryTextToLong and TextToLong on arbitrary text (the whole input), against a grammar
// check and an exact decimal reading of this file's own.
#include "Conversions.h"
#include "FuzzInput.h"
#include "platform/Types.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

using namespace pindrel;
using fuzz::Require;

namespace {

// A number's text as read by the grammar: spaces (character 32 only) around, an optional sign,
// digits with at most one point among them, at least one digit. `digits` holds all of them, the
// point left out, `whole` how many come before the point.
struct Decimal {
    bool negative = false;
    std::string digits;
    std::size_t whole = std::string::npos;
};

bool ReadDecimal(std::string_view text, Decimal& number) {
    const std::size_t first = text.find_first_not_of(' ');
    std::string_view t = text.substr(std::min(first, text.size()));
    t = t.substr(0, t.find_last_not_of(' ') + 1);
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
        number.negative = t[0] == '-';
        t.remove_prefix(1);
    }
    for (const char c : t) {
        if (c == '.' && number.whole == std::string::npos)
            number.whole = number.digits.size();
        else if (c >= '0' && c <= '9')
            number.digits += c;
        else
            return false;
    }
    number.whole = std::min(number.whole, number.digits.size());
    return !number.digits.empty();
}

// The exact value rounded to the nearest integer, a half to the even one; nothing outside the
// signed 32-bit range.
std::optional<std::int32_t> ExactRounding(const Decimal& number) {
    std::int64_t whole = 0;
    for (std::size_t i = 0; i < number.whole && whole <= 10'000'000'000; ++i)
        whole = whole * 10 + (number.digits[i] - '0');
    const std::string_view fraction = std::string_view(number.digits).substr(number.whole);
    const bool half = !fraction.empty() && fraction[0] == '5';
    const bool pastHalf = half && fraction.find_first_not_of('0', 1) != std::string_view::npos;
    if ((!fraction.empty() && fraction[0] > '5') || pastHalf || (half && whole % 2 == 1))
        ++whole;
    const std::int64_t value = number.negative ? -whole : whole;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Decimal number;
    const bool numeric = ReadDecimal(text, number);
    Require(IsNumeric(text) == numeric, "IsNumeric disagrees with the grammar");

    std::int32_t value = 0;
    const bool converted = TryTextToLong(text, value);
    int failure = 0;
    try {
        Require(TextToLong(text) == value, "TextToLong and TryTextToLong give different values");
    } catch (const Failure& e) {
        failure = e.number();
    }
    const int expected = converted ? 0 : numeric ? errors::kOverflow : errors::kTypeMismatch;
    Require(failure == expected, "TextToLong fails other than TryTextToLong says");
    if (!numeric) {
        Require(!converted, "a text that is not numeric converted");
        return 0;
    }

    // The program reads the text through a double, the one nearest to the text's value d. Let d
    // have f digits after the point, up to its last non-zero one. With at most 15 significant
    // digits and f > 0, |d| < 10^(15 - f): the double is off by at most |d| * 2^-53 < 0.12 * 10^-f,
    // while d, a multiple of 10^-f, lies at least 10^-f from every half (n + 0.5) it is not equal
    // to. With f = 0 the double of a d in the 32-bit range is off by less than 2^-21, and d lies
    // 0.5 from every half. Those halves are exact in a double, and the rounding to a double never
    // passes one. So the double rounds as d does, ties and the range's edges (-2147483648.5 and
    // 2147483647.5) included. With more digits the double may land on a half, or past it, that d
    // is within 2^-22 of (half an ulp at 2^31): the result may then be one off the exact one, or
    // be the edge value where the exact reading overflows, or the reverse.
    const std::optional<std::int32_t> exact = ExactRounding(number);
    const std::optional<std::int32_t> read =
        converted ? std::optional<std::int32_t>(value) : std::nullopt;
    const std::size_t significant = number.digits.find_first_not_of('0');
    if (significant == std::string::npos ||
        number.digits.find_last_not_of('0') + 1 - significant <= 15) {
        Require(read == exact, "the value differs from the exact rounding");
    } else if (read && exact) {
        Require(*read - std::int64_t{*exact} <= 1 && *exact - std::int64_t{*read} <= 1,
                "a long number is more than one off the exact rounding");
    } else if (read || exact) {
        const std::int32_t edge = read ? *read : *exact;
        Require(edge == INT32_MIN || edge == INT32_MAX, "a long number overflows off the edge");
    }
    return 0;
}
