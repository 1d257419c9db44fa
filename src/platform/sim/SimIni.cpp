// The private-profile (INI) engine.
//
// The rules, all of them here:
//
//  Lines    CR LF, a lone LF and a lone CR each end a line. Blanks are spaces and tabs.
//  Kinds    After its leading blanks, a line is
//           - a comment when it starts with ";" (Wine's engine takes it for a key);
//           - a section header when it starts with "[" and has a "]" after it; the name is the
//             text between the "[" and the last "]", blanks around it ignored;
//           - a key line when it holds "="; the key is the text before the first "=", the value
//             the text after it, blanks around each ignored;
//           - anything else (blank lines, odd lines) is neither, and is kept but never matched.
//           Lines before the first header form a section with the empty name.
//  Match    Section and key names match without regard to ASCII case, blanks around the names
//           asked for ignored. Only the first section of a name is used (a later section of the
//           same name is never read or written), and within it the first key line of a name.
//  Read     The value loses one matching pair of double or single quotes around it ('"x"' and
//           "'x'" give x, '"x' stays). When the file, the section or the key is missing, the
//           default is used instead, less its trailing spaces. Either is cut to fit the buffer:
//           at most bufferSize - 1 characters, the function giving the number copied.
//  Write    A key that exists has its line replaced, in place, by its own key name, "=" and the
//           value ("key=" for an empty value). A missing key is added as "key=value" right after
//           the section's last non-blank line (so before the blank lines that end the section),
//           or right after the header of a section with no other lines. A missing section is
//           added at the end of the file as "[section]" followed by "key=value", with no blank
//           line between. Names are written without the blanks around them, the value exactly as
//           given (Wine's engine drops its leading blanks; a read gives the same text either
//           way). Every other line stays as it was (Wine rewrites those too); the whole
//           file is written with CR LF line ends.
//  Delete   A missing key deletes the section: its header and every line up to the next header.
//           A missing value deletes the key's line. Deleting what is not there changes nothing.
#include "platform/sim/SimIni.h"

#include <cstddef>
#include <string_view>

namespace pindrel::sim {

namespace {

constexpr std::size_t kNone = std::string::npos;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return std::string(text.substr(begin, end - begin));
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

enum class LineKind { Other, Section, Key };

struct Line {
    LineKind kind = LineKind::Other;
    std::string name;  // section name or key
    std::string value; // value of a key line, blanks around it removed
};

Line Classify(const std::string& raw) {
    const std::string text = Trim(raw);
    if (text.empty() || text[0] == ';')
        return {};
    if (text[0] == '[') {
        const std::size_t close = text.rfind(']');
        if (close != kNone && close > 0)
            return {LineKind::Section, Trim(std::string_view(text).substr(1, close - 1)), {}};
    }
    const std::size_t eq = text.find('=');
    if (eq == kNone)
        return {};
    return {LineKind::Key, Trim(std::string_view(text).substr(0, eq)),
            Trim(std::string_view(text).substr(eq + 1))};
}

// A section's place among the lines: its header (kNone for the nameless leading section) and
// its body [begin, end).
struct SectionRange {
    bool found = false;
    std::size_t header = kNone;
    std::size_t begin = 0;
    std::size_t end = 0;
};

std::size_t NextHeader(const std::vector<std::string>& lines, std::size_t from) {
    for (std::size_t i = from; i < lines.size(); ++i) {
        if (Classify(lines[i]).kind == LineKind::Section)
            return i;
    }
    return lines.size();
}

SectionRange FindSection(const std::vector<std::string>& lines, const std::string& section) {
    const std::string wanted = Trim(section);
    const std::size_t first = NextHeader(lines, 0);
    if (wanted.empty())
        return {true, kNone, 0, first};
    for (std::size_t i = first; i < lines.size(); i = NextHeader(lines, i + 1)) {
        if (SameName(Classify(lines[i]).name, wanted))
            return {true, i, i + 1, NextHeader(lines, i + 1)};
    }
    return {};
}

std::size_t FindKey(const std::vector<std::string>& lines, const SectionRange& range,
                    const std::string& key) {
    const std::string wanted = Trim(key);
    for (std::size_t i = range.begin; i < range.end; ++i) {
        const Line line = Classify(lines[i]);
        if (line.kind == LineKind::Key && SameName(line.name, wanted))
            return i;
    }
    return kNone;
}

std::string Unquote(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

std::string KeyLine(const std::string& key, const std::string& value) {
    return key + "=" + value;
}

std::string Join(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines)
        bytes += line + "\r\n";
    return bytes;
}

} // namespace

std::vector<std::string> IniSplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        lines.push_back(bytes.substr(start, i - start));
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < bytes.size())
        lines.push_back(bytes.substr(start));
    return lines;
}

std::string IniRead(const std::optional<std::string>& file, const std::string& section,
                    const std::string& key, const std::string& defaultValue,
                    std::uint32_t bufferSize) {
    if (bufferSize == 0)
        return {};
    std::optional<std::string> value;
    if (file) {
        const std::vector<std::string> lines = IniSplitLines(*file);
        const SectionRange range = FindSection(lines, section);
        const std::size_t at = range.found ? FindKey(lines, range, key) : kNone;
        if (at != kNone)
            value = Unquote(Classify(lines[at]).value);
    }
    if (!value) {
        value = defaultValue;
        while (!value->empty() && value->back() == ' ')
            value->pop_back();
    }
    if (value->size() > bufferSize - 1)
        value->resize(bufferSize - 1);
    return *value;
}

std::optional<std::string> IniWrite(const std::optional<std::string>& file,
                                    const std::string& section,
                                    const std::optional<std::string>& key,
                                    const std::optional<std::string>& value) {
    std::vector<std::string> lines = file ? IniSplitLines(*file) : std::vector<std::string>{};
    const SectionRange range = FindSection(lines, section);
    using Diff = std::vector<std::string>::difference_type;
    const auto at = [&lines](std::size_t index) {
        return lines.begin() + static_cast<Diff>(index);
    };

    if (!key) { // delete the section
        if (!range.found)
            return std::nullopt;
        lines.erase(at(range.header == kNone ? 0 : range.header), at(range.end));
        return Join(lines);
    }
    if (!range.found) {
        if (!value)
            return std::nullopt;
        lines.push_back("[" + Trim(section) + "]");
        lines.push_back(KeyLine(Trim(*key), *value));
        return Join(lines);
    }
    const std::size_t existing = FindKey(lines, range, *key);
    if (existing != kNone) {
        if (value)
            lines[existing] = KeyLine(Classify(lines[existing]).name, *value);
        else
            lines.erase(at(existing));
        return Join(lines);
    }
    if (!value)
        return std::nullopt;
    std::size_t insertAt = range.begin;
    for (std::size_t i = range.end; i > range.begin; --i) {
        if (!Trim(lines[i - 1]).empty()) {
            insertAt = i;
            break;
        }
    }
    lines.insert(at(insertAt), KeyLine(Trim(*key), *value));
    return Join(lines);
}

} // namespace pindrel::sim
