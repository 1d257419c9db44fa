// The simulated session's INI engine (SimIni) against a model: an arbitrary file, then writes and
// reads of keys in sections whose names collide by letter case and by blanks around them.
//
// Input: the file's length (two bytes, little-endian; 0: no file) and its bytes, then operations
// to the input's end: a byte (bit 0: a write, else a read; bits 1-3 the section; bits 4-6 the
// key) and, for a write, the value (a length byte and the bytes), for a read, the buffer size (a
// byte).
#include "FuzzInput.h"
#include "platform/sim/SimIni.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace pindrel;
using fuzz::Require;

namespace {

const char* const kSections[] = {"", "s", "S", " s ", "\tS", "t", "T ", "s t"};
const char* const kKeys[] = {"k", "K", " k", "k\t", "k2", "K2 ", "a b", " A b"};

std::string WithoutBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    return first == std::string_view::npos
               ? std::string()
               : std::string(text.substr(first, text.find_last_not_of(" \t") + 1 - first));
}

// A name as the engine tells names apart: blanks around it and ASCII letter case do not count.
std::string Name(std::string_view name) {
    std::string text = WithoutBlanks(name);
    for (char& c : text)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    return text;
}

// What a read gives of a value written: the blanks around it go, then one pair of matching quotes.
std::string ReadBack(const std::string& value) {
    const std::string text = WithoutBlanks(value);
    const bool quoted =
        text.size() >= 2 && (text[0] == '"' || text[0] == '\'') && text.back() == text[0];
    return quoted ? text.substr(1, text.size() - 2) : text;
}

// A write touches one line: the first line of its key in the first section of its name, which it
// replaces, or none when it adds the key (and perhaps a "[section]" header). Every line that a
// write could have touched or added is left out here: a line whose text before its first "=" is a
// written key's name, or one that is a header the writes could add. What remains of the original
// file must remain of the final one, line for line, byte for byte, in order, with nothing added.
std::vector<std::string> Untouched(const std::optional<std::string>& file,
                                   const std::set<std::string>& keys,
                                   const std::set<std::string>& headers) {
    std::vector<std::string> lines;
    for (const std::string& line : sim::IniSplitLines(file.value_or(""))) {
        const std::size_t eq = line.find('=');
        if (headers.count(line) == 0 &&
            (eq == std::string::npos || keys.count(Name(line.substr(0, eq))) == 0)) {
            lines.push_back(line);
        }
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput in(data, size);
    const auto length = static_cast<std::uint16_t>(in.Signed(2));
    const std::optional<std::string> original =
        length == 0 ? std::nullopt : std::optional<std::string>(in.Take(length));
    std::optional<std::string> file = original;
    std::map<std::pair<std::string, std::string>, std::string> stored;
    std::set<std::string> keys, headers;
    while (!in.Done()) {
        const std::uint8_t code = in.Byte();
        const std::string section = kSections[(code >> 1) & 7];
        const std::string key = kKeys[(code >> 4) & 7];
        const auto name = std::make_pair(Name(section), Name(key));
        if ((code & 1) != 0) {
            std::string value = in.Take(in.Byte());
            // A line end in a value would make a new line of its rest.
            value.erase(std::remove_if(value.begin(), value.end(),
                                       [](char c) { return c == '\r' || c == '\n'; }),
                        value.end());
            file = sim::IniWrite(file, section, key, value);
            Require(file.has_value(), "a write left no file");
            stored[name] = ReadBack(value);
            keys.insert(name.second);
            headers.insert("[" + WithoutBlanks(section) + "]");
            continue;
        }
        // A key this run has not written reads as it did in the original file.
        const std::uint32_t buffer = in.Byte();
        const auto it = stored.find(name);
        const std::string expected = it == stored.end()
                                         ? sim::IniRead(original, section, key, "none ", buffer)
                                         : it->second.substr(0, buffer == 0 ? 0 : buffer - 1);
        Require(sim::IniRead(file, section, key, "none ", buffer) == expected,
                "a read does not give what the last write of the key stored");
    }
    Require(Untouched(original, keys, headers) == Untouched(file, keys, headers),
            "a write changed, moved or added a line it had no business with");
    // A key line the writes made names its key without the blanks around it.
    const std::vector<std::string> before = sim::IniSplitLines(original.value_or(""));
    for (const std::string& line : sim::IniSplitLines(file.value_or(""))) {
        const std::size_t eq = line.find('=');
        Require(eq == std::string::npos || eq == 0 ||
                    std::find(before.begin(), before.end(), line) != before.end() ||
                    WithoutBlanks(line.substr(0, eq)) == line.substr(0, eq),
                "a write put blanks around a key's name");
    }
    return 0;
}
