#include "IniSequences.h"

#include <random>
#include <stdexcept>

namespace e2e {

namespace {

class Dice {
  public:
    explicit Dice(std::uint32_t seed) : engine_(seed) {}
    // 0 .. n-1; std::mt19937's output is fixed by the standard, and so is this.
    std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(engine_() % n); }
    bool Chance(std::uint32_t percent) { return Below(100) < percent; }
    template <typename T> const T& Pick(const std::vector<T>& items) {
        return items[Below(static_cast<std::uint32_t>(items.size()))];
    }

  private:
    std::mt19937 engine_;
};

const std::vector<std::string> kSections = {"Default", "USER1@DESK1", "IconType", "Odd Section",
                                            "s"};
const std::vector<std::string> kKeys = {"StartX",      "StartY",  "DeltaX", "DeltaY",
                                        "USER1@DESK1", "Key Two", "k"};

std::string LongText(Dice& dice, std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i)
        text += static_cast<char>('a' + dice.Below(26));
    return text;
}

std::string Value(Dice& dice) {
    static const std::vector<std::string> values = {
        "40",       "-80",        "12.5",       "",           " 40",
        "40 ",      "  spaced  ", "\"quoted\"", "'single'",   "\"half",
        "\"\"",     "a=b",        "x;y",        "Small Icon", "\t tab",
        "\" in \"", "'mixed\"",   "[x]",        "Caf\xE9",    "  \"padded quote\"  "};
    if (dice.Chance(8))
        return LongText(dice, 100 + dice.Below(200));
    return dice.Pick(values);
}

// A name as a caller may write it: in another letter case, sometimes with blanks around.
std::string Vary(Dice& dice, const std::string& name) {
    std::string out = name;
    switch (dice.Below(5)) {
    case 0:
        for (char& c : out)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        break;
    case 1:
        for (char& c : out)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        break;
    case 2:
        for (char& c : out) {
            if (dice.Chance(50))
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        break;
    default:
        break;
    }
    if (dice.Chance(8))
        out = " " + out;
    if (dice.Chance(8))
        out += dice.Chance(50) ? " " : "\t";
    return out;
}

std::string Blanks(Dice& dice) {
    static const std::vector<std::string> blanks = {"", "", "", " ", "  ", "\t"};
    return dice.Pick(blanks);
}

// One line of a file written by hand: headers, keys, comments and lines of no kind.
std::string SeedLine(Dice& dice, const IniCaseKinds& kinds, bool& emptyKeySeen) {
    switch (dice.Below(15)) {
    case 0:
    case 1:
    case 2:
        return Blanks(dice) + "[" + Blanks(dice) + Vary(dice, dice.Pick(kSections)) + Blanks(dice) +
               "]" + Blanks(dice);
    case 3:
    case 4:
    case 5:
    case 6:
        return Blanks(dice) + Vary(dice, dice.Pick(kKeys)) + Blanks(dice) + "=" + Blanks(dice) +
               Value(dice) + Blanks(dice);
    case 7:
        return "; a comment = with equals";
    case 8:
        return dice.Chance(50) ? "" : "   ";
    case 9:
        return "odd line without equals";
    case 10:
        if (emptyKeySeen && !kinds.repeatedEmptyKeys)
            return "odd line without equals";
        emptyKeySeen = true;
        return "=no key";
    case 11:
        return dice.Chance(50) || !kinds.emptySectionHeaders ? "[Odd Section" : "[]";
    case 14:
        if (!kinds.bareKeyLines)
            return "; no bare key";
        return Blanks(dice) + Vary(dice, dice.Pick(kKeys)) + Blanks(dice);
    case 12:
        return "# hash " + dice.Pick(kKeys) + "=1";
    default:
        return dice.Pick(kKeys) + "==double";
    }
}

std::string SeedFile(Dice& dice, const IniCaseKinds& kinds) {
    const std::uint32_t style = dice.Below(20); // line ends: CR LF, LF, mixed, a few lone CRs
    std::string file;
    const std::uint32_t lines = 1 + dice.Below(12);
    bool emptyKeySeen = false;
    for (std::uint32_t i = 0; i < lines; ++i) {
        file += SeedLine(dice, kinds, emptyKeySeen);
        const bool last = i + 1 == lines;
        if (last && dice.Chance(25))
            break; // the last line has no end
        if (style < 10)
            file += "\r\n";
        else if (style < 16)
            file += "\n";
        else if (style < 19)
            file += dice.Chance(50) ? "\r\n" : "\n";
        else
            file += dice.Chance(80) ? "\r\n" : "\r";
    }
    return file;
}

std::string Trim(const std::string& text) {
    const std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

IniOp Operation(Dice& dice, const IniCaseKinds& kinds) {
    IniOp op;
    op.section = Vary(dice, dice.Chance(90) ? dice.Pick(kSections) : "Missing");
    std::string key = Vary(dice, dice.Chance(90) ? dice.Pick(kKeys) : "Absent");
    if (dice.Chance(55)) {
        op.kind = IniOp::Kind::Write;
        const std::uint32_t roll = dice.Below(100);
        const bool remove = roll < 8;
        if (remove && !kinds.paddedNamesInDeletes) {
            op.section = Trim(op.section);
            key = Trim(key);
        }
        if (roll < 3)
            return op; // delete the section
        op.key = key;
        if (!remove)
            op.value = Value(dice); // else delete the key
        return op;
    }
    op.kind = IniOp::Kind::Read;
    op.key = key;
    static const std::vector<std::string> defaults = {"",     "",        "",       "",
                                                      "dflt", "dflt   ", "  lead", "\"q\""};
    op.defaultValue = dice.Pick(defaults);
    if (!kinds.quotedDefaults && op.defaultValue.find('"') != std::string::npos)
        op.defaultValue = "dflt";
    static const std::vector<std::uint32_t> sizes = {0, 1, 2, 3, 5, 8, 16};
    op.bufferSize = dice.Chance(70) ? 128 : dice.Pick(sizes);
    return op;
}

std::string Hex(const std::optional<std::string>& text) {
    if (!text)
        return "-";
    static const char digits[] = "0123456789abcdef";
    std::string out = "h:";
    for (unsigned char c : *text) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::optional<std::string> Unhex(const std::string& field) {
    if (field == "-")
        return std::nullopt;
    if (field.compare(0, 2, "h:") != 0 || field.size() % 2 != 0)
        throw std::runtime_error("iniprobe output: not a text: " + field);
    std::string bytes;
    for (std::size_t i = 2; i < field.size(); i += 2)
        bytes += static_cast<char>(std::stoi(field.substr(i, 2), nullptr, 16));
    return bytes;
}

} // namespace

std::vector<IniSequence> GenerateIniSequences(std::uint32_t seed, int count,
                                              const IniCaseKinds& kinds) {
    Dice dice(seed);
    std::vector<IniSequence> sequences;
    for (int i = 0; i < count; ++i) {
        IniSequence seq;
        if (dice.Chance(75))
            seq.initialFile = SeedFile(dice, kinds);
        const std::uint32_t ops = 4 + dice.Below(14);
        for (std::uint32_t k = 0; k < ops; ++k)
            seq.ops.push_back(Operation(dice, kinds));
        sequences.push_back(std::move(seq));
    }
    return sequences;
}

std::string IniProbeScript(const std::vector<IniSequence>& sequences) {
    std::string script;
    for (std::size_t i = 0; i < sequences.size(); ++i) {
        const IniSequence& seq = sequences[i];
        script += "seq " + std::to_string(i) + "\n";
        if (seq.initialFile)
            script += "file " + Hex(seq.initialFile) + "\n";
        for (const IniOp& op : seq.ops) {
            if (op.kind == IniOp::Kind::Write)
                script +=
                    "write " + Hex(op.section) + " " + Hex(op.key) + " " + Hex(op.value) + "\n";
            else
                script += "read " + Hex(op.section) + " " + Hex(op.key) + " " +
                          Hex(op.defaultValue) + " " + std::to_string(op.bufferSize) + "\n";
        }
    }
    return script;
}

std::vector<std::vector<IniOutcome>>
ParseIniProbeOutput(const std::string& output, const std::vector<IniSequence>& sequences) {
    std::vector<std::vector<IniOutcome>> all;
    std::size_t pos = 0;
    while (pos < output.size()) {
        std::size_t end = output.find('\n', pos);
        if (end == std::string::npos)
            throw std::runtime_error("iniprobe output: last line without end");
        const std::string line = output.substr(pos, end - pos);
        pos = end + 1;
        const std::size_t space = line.find(' ');
        const std::string tag = line.substr(0, space);
        const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
        if (tag == "S") {
            if (rest != std::to_string(all.size()))
                throw std::runtime_error("iniprobe output: sequence out of order: " + line);
            all.emplace_back();
        } else if (tag == "F") {
            continue;
        } else if ((tag == "W" || tag == "R") && !all.empty()) {
            const std::size_t gap = rest.find(' ');
            if (gap == std::string::npos)
                throw std::runtime_error("iniprobe output: " + line);
            IniOutcome outcome;
            outcome.kind = tag == "W" ? IniOp::Kind::Write : IniOp::Kind::Read;
            outcome.readResult = static_cast<std::uint32_t>(std::stoul(rest.substr(0, gap)));
            outcome.text = Unhex(rest.substr(gap + 1));
            all.back().push_back(outcome);
        } else {
            throw std::runtime_error("iniprobe output: " + line);
        }
    }
    if (all.size() != sequences.size())
        throw std::runtime_error("iniprobe output: sequences missing");
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i].size() != sequences[i].ops.size())
            throw std::runtime_error("iniprobe output: operations missing in sequence " +
                                     std::to_string(i));
    }
    return all;
}

std::string IniCanonicalForm(const std::string& bytes) {
    const auto trim = [](const std::string& text) {
        std::size_t begin = text.find_first_not_of(" \t");
        if (begin == std::string::npos)
            return std::string();
        return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
    };
    // Both engines end every line they write with CR LF, so only CR LF separates lines here: a
    // lone CR or LF in a written file stays inside its line and shows as a difference.
    std::string out;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find("\r\n", start);
        const bool ended = end != std::string::npos;
        if (!ended)
            end = bytes.size();
        std::string line = trim(bytes.substr(start, end - start));
        start = ended ? end + 2 : end;
        if (line.empty())
            continue;
        const std::size_t close = line.rfind(']');
        const std::size_t eq = line.find('=');
        if (line[0] == '[' && close != std::string::npos && close > 0)
            line = "[" + trim(line.substr(1, close - 1)) + "]";
        else if (eq != std::string::npos)
            line = trim(line.substr(0, eq)) + "=" + trim(line.substr(eq + 1));
        out += line + (ended ? "\r\n" : "");
    }
    return out;
}

std::string IniWithCrLf(const std::string& bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            out += "\r\n";
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            out += bytes[i];
        }
    }
    return out;
}

std::string Visible(const std::optional<std::string>& text) {
    if (!text)
        return "(none)";
    std::string out = "\"";
    for (unsigned char c : *text) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '"')
            out += "\\\"";
        else if (c < 32 || c >= 127) {
            static const char digits[] = "0123456789abcdef";
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 15];
        } else
            out += static_cast<char>(c);
    }
    return out + "\"";
}

} // namespace e2e
