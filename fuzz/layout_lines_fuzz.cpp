// The streaming layout reader against the plain reading of the whole text: for any bytes, handed
// out in blocks of any size, the reader gives the same lines, each a candidate exactly when the
// whole line parses as one, with numbers that the numeric test and the conversion take the same
// way and the same trimmed name (or the mark that it is longer than any item's text).
#include "FuzzInput.h"
#include "LayoutLines.h"
#include "LayoutReference.h"

#include <cstdint>
#include <string>

using namespace pindrel;
using pindrel::fuzz::Require;

namespace {

void SameNumber(std::string_view streamed, std::string_view whole) {
    Require(IsNumeric(streamed) == IsNumeric(whole), "the numeric test agrees");
    std::int32_t a = 0, b = 0;
    Require(TryTextToLong(streamed, a) == TryTextToLong(whole, b) && a == b,
            "the conversion agrees");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t block = data[0] == 0 ? std::string_view::npos : data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    TextSource source(text, block);
    LayoutLines lines(source);
    LayoutEntry entry;
    for (const std::string_view line : SplitLines(text)) {
        Require(lines.Next(entry), "as many lines");
        LayoutFields fields;
        const bool candidate = ParseLayoutLine(line, fields);
        Require(entry.candidate == candidate, "the same candidates");
        if (!candidate)
            continue;
        SameNumber(entry.x, fields.x);
        SameNumber(entry.y, fields.y);
        if (fields.name.size() > kLongestName)
            Require(entry.nameTooLong, "a name too long is marked");
        else
            Require(!entry.nameTooLong && entry.name == fields.name, "the same name");
    }
    Require(!lines.Next(entry), "no line more");
    return 0;
}
