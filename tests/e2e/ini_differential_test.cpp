// The simulated INI engine against the real private-profile functions: random sequences of writes
// and reads (the same for a seed on every machine) run through both, the real ones in iniprobe.exe
// under Wine, every read result and the file after every write compared. PINDREL_INI_SEED and
// PINDREL_INI_SEQUENCES choose other sequences.
//
// Where the two differ on purpose:
// - The file's layout. Wine rewrites the whole file on every write without blanks around names
//   and values and without blank lines; Windows and the simulated engine leave untouched lines
//   as they were. Files are compared in Wine's layout (Canonical). A write that changes nothing
//   leaves the file as it is under Wine, even its line ends, while the simulated engine writes it
//   anew with CR LF; that file is compared in its CR LF form.
// - Cases where Wine answers otherwise than Windows, which the program never makes (it writes
//   whole "key=value" pairs, never deletes, reads through a 128-character buffer with an empty
//   default, and never names a section "[]"), are not generated: a "[]" header (Wine drops it,
//   merging its keys upwards), a quoted default (Wine unquotes it), blanks around the names of a
//   delete (Wine looks for them with the blanks), a line that is only a key name (Wine fills it
//   in place), a second "=value" line in a section (Wine keeps the first only), and a key delete
//   where a section name is repeated (Wine deletes in the later section too). One case depends
//   on the file and is recognised instead: a quoted value cut by the buffer (Wine gives one
//   character less).
#include "Harness.h"

#include "platform/sim/SimIni.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <random>
#include <regex>
#include <set>
#include <sstream>

namespace e2e {
namespace {

using Text = std::optional<std::string>;
using Strings = std::vector<std::string>;

struct Dice {
    std::mt19937 engine; // its output is fixed by the standard: a seed gives the same sequences
    std::uint32_t Below(size_t n) { return static_cast<std::uint32_t>(engine() % n); }
    bool Chance(std::uint32_t percent) { return Below(100) < percent; }
    const std::string& Pick(const Strings& items) { return items[Below(items.size())]; }
};

const Strings kSections = {"Default", "USER1@DESK1", "IconType", "Odd Section", "s"};
const Strings kKeys = {"StartX", "StartY", "DeltaX", "DeltaY", "USER1@DESK1", "Key Two", "k"};
const Strings kBlanks = {"", "", "", " ", "  ", "\t"};
const Strings kValues = {"40",       "-80",        "12.5",       "",
                         " 40",      "40 ",        "  spaced  ", "\"quoted\"",
                         "'single'", "\"half",     "\"\"",       "a=b",
                         "x;y",      "Small Icon", "\t tab",     "\" in \"",
                         "'mixed\"", "[x]",        "Caf\xE9",    "  \"padded quote\"  "};
// Lines of no kind, and lines that read as something else than they seem.
const Strings kOtherLines = {"; a comment = with equals",
                             "",
                             "   ",
                             "odd line without equals",
                             "[Odd Section",
                             "# hash k=1",
                             "StartX==double"};
const Strings kFallbacks = {"", "", "", "", "dflt", "dflt   ", "  lead"};
const std::uint32_t kSizes[] = {0, 1, 2, 3, 5, 8, 16};

std::string Trim(const std::string& text) {
    const size_t end = text.find_last_not_of(" \t") + 1; // 0 when it is all blanks
    const size_t begin = std::min(text.find_first_not_of(" \t"), end);
    return text.substr(begin, end - begin);
}

std::string Value(Dice& dice) {
    if (!dice.Chance(8))
        return dice.Pick(kValues);
    const std::uint32_t length = 100 + dice.Below(200); // longer than any buffer read through
    return std::string(length, static_cast<char>('a' + dice.Below(26)));
}

// A name as a caller may write it: in another letter case, sometimes with blanks around.
std::string Vary(Dice& dice, std::string name) {
    const std::uint32_t how = dice.Below(5);
    for (char& c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (how == 0 || (how == 2 && dice.Chance(50)))
            c = static_cast<char>(std::toupper(u));
        else if (how == 1)
            c = static_cast<char>(std::tolower(u));
    }
    return (dice.Chance(8) ? " " : "") + name +
           (dice.Chance(8) ? dice.Chance(50) ? " " : "\t" : "");
}

// A file written by hand: headers, keys, other lines, one "=value" line at most, and line ends of
// one style (CR LF, LF, mixed, a few lone CRs). Sets `repeated` when a section name occurs twice.
std::string SeedFile(Dice& dice, bool& repeated) {
    const Strings ends[] = {{"\r\n"}, {"\n"}, {"\r\n", "\n"}, {"\r\n", "\r\n", "\r\n", "\r"}};
    const Strings& end = ends[dice.Below(4)];
    std::set<std::string> sections;
    bool emptyKey = false;
    std::string file;
    for (std::uint32_t i = 0, lines = 1 + dice.Below(12); i < lines; ++i) {
        const std::uint32_t kind = dice.Below(14);
        if (kind < 3) {
            std::string name = Vary(dice, dice.Pick(kSections));
            file += dice.Pick(kBlanks) + "[" + dice.Pick(kBlanks) + name + dice.Pick(kBlanks) +
                    "]" + dice.Pick(kBlanks);
            for (char& c : name)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            repeated = !sections.insert(Trim(name)).second || repeated;
        } else if (kind < 7) {
            file += dice.Pick(kBlanks) + Vary(dice, dice.Pick(kKeys)) + dice.Pick(kBlanks) + "=" +
                    dice.Pick(kBlanks) + Value(dice) + dice.Pick(kBlanks);
        } else if (kind == 10 && !emptyKey) {
            file += "=no key";
            emptyKey = true;
        } else {
            file += kOtherLines[kind % kOtherLines.size()];
        }
        if (i + 1 < lines || dice.Chance(75)) // the last line may have no end
            file += dice.Pick(end);
    }
    return file;
}

std::string Hex(const Text& text) {
    std::string out = text ? "h:" : "-";
    for (unsigned char c : text.value_or(""))
        out += std::string(1, "0123456789abcdef"[c >> 4]) + "0123456789abcdef"[c & 15];
    return out;
}

Text Unhex(const std::string& field) {
    std::string bytes;
    for (size_t i = 2; i + 1 < field.size(); i += 2)
        bytes += static_cast<char>(std::stoi(field.substr(i, 2), nullptr, 16));
    return field == "-" ? Text() : bytes;
}

// One call, in the script's form: the kinds of operation and how often each comes.
struct Op {
    bool write = false;
    std::string section;
    Text key;   // a write without key deletes the section
    Text value; // a write without value deletes the key
    std::string fallback;
    std::uint32_t size = 0; // a read's buffer
    std::string Line() const {
        return write ? "write " + Hex(section) + " " + Hex(key) + " " + Hex(value) + "\n"
                     : "read " + Hex(section) + " " + Hex(key) + " " + Hex(fallback) + " " +
                           std::to_string(size) + "\n";
    }
};

Op Operation(Dice& dice, bool keyDeletes) {
    Op op;
    op.write = dice.Chance(55);
    op.section = Vary(dice, dice.Chance(90) ? dice.Pick(kSections) : "Missing");
    op.key = Vary(dice, dice.Chance(90) ? dice.Pick(kKeys) : "Absent");
    const std::uint32_t roll = dice.Below(100);
    if (!op.write) { // a read: mostly through the program's buffer, sometimes a tiny one
        op.fallback = dice.Pick(kFallbacks);
        op.size = roll < 70 ? 128 : kSizes[roll % 7];
    } else if (roll >= 8 || (roll >= 3 && !keyDeletes)) { // a key=value write
        op.value = Value(dice);
    } else { // a delete of the key, or of the whole section, by exact names
        op.section = Trim(op.section);
        op.key = roll < 3 ? Text() : Trim(*op.key);
    }
    return op;
}

// The bytes in the layout that Wine writes: lines split at CR LF only (both engines end the
// lines they write so, so a lone CR or LF stays inside its line and shows), blanks at both ends
// and blank lines dropped, blanks around a header's name and around a key line's "=" removed.
std::string Canonical(const std::string& bytes) {
    std::string out;
    for (size_t start = 0; start < bytes.size(); start += 2) {
        const size_t end = std::min(bytes.find("\r\n", start), bytes.size());
        std::string line = Trim(bytes.substr(start, end - start));
        const size_t close = line.rfind(']'), eq = line.find('=');
        if (line[0] == '[' && close != std::string::npos && close > 0)
            line = "[" + Trim(line.substr(1, close - 1)) + "]";
        else if (eq != std::string::npos)
            line = Trim(line.substr(0, eq)) + "=" + Trim(line.substr(eq + 1));
        if (!line.empty())
            out += line + (end < bytes.size() ? "\r\n" : "");
        start = end;
    }
    return out;
}

// Whether the simulated engine agrees with the real outcome of `op` (a read's result and text, a
// write's file after it), given the file each had before. Both files move on to the next.
bool Agrees(const Op& op, Text& file, Text& realFile, const std::pair<std::uint32_t, Text>& real,
            Text& got) {
    const auto& [realResult, want] = real;
    if (op.write) {
        const Text next = pindrel::sim::IniWrite(file, op.section, op.key, op.value);
        got = file = next ? next : file; // a write that fails leaves the file
        const Text expected =
            want && realFile == want && got != want
                ? std::regex_replace(*want, std::regex("\r\n|\r|\n"), "\r\n") // as if written
                : want;
        realFile = want;
        return got.has_value() == expected.has_value() &&
               (!got || Canonical(*got) == Canonical(*expected));
    }
    got = pindrel::sim::IniRead(file, op.section, *op.key, op.fallback, op.size);
    if (got == want && got->size() == realResult)
        return true;
    // Wine cut a quoted value one character short: the simulated engine filled the buffer with
    // the start of the unquoted value, which the file holds in quotes.
    const std::string whole = pindrel::sim::IniRead(file, op.section, *op.key, "", 1u << 20);
    return file && want && op.size >= 2 && got->size() == op.size - 1 &&
           *want == got->substr(0, got->size() - 1) &&
           (file->find('"' + whole + '"') != std::string::npos ||
            file->find('\'' + whole + '\'') != std::string::npos);
}

class IniDifferentialTest : public E2eTest {};

TEST_F(IniDifferentialTest, SimulatedEngineAgreesWithTheRealProfileFunctions) {
    const auto seed = static_cast<std::uint32_t>(std::stoul(Env("PINDREL_INI_SEED", "20240607")));
    Dice dice{std::mt19937(seed)};
    std::vector<std::pair<Text, std::vector<Op>>> sequences(
        std::stoul(Env("PINDREL_INI_SEQUENCES", "600"))); // the file at the start, and the calls
    std::string script;
    size_t calls = 0;
    for (size_t i = 0; i < sequences.size(); ++i) {
        auto& [file, ops] = sequences[i];
        bool repeated = false;
        if (dice.Chance(75))
            file = SeedFile(dice, repeated);
        script += "seq " + std::to_string(i) + "\n" + (file ? "file " + Hex(file) + "\n" : "");
        for (std::uint32_t n = 4 + dice.Below(14); n > 0; --n, ++calls) {
            ops.push_back(Operation(dice, !repeated));
            script += ops.back().Line();
        }
    }
    WriteFile(dir() / "script.txt", script);
    fs::create_directories(dir() / "ini");
    Tool("iniprobe",
         {WinPath(dir() / "script.txt"), WinPath(dir() / "ini"), WinPath(dir() / "real.txt")});
    // The real outcomes of all calls in order: a read's result and text, a write's file after it.
    std::vector<std::pair<std::uint32_t, Text>> real;
    std::istringstream in(ReadFile(dir() / "real.txt"));
    for (std::string tag, result, text; in >> tag;)
        if ((tag == "W" || tag == "R") && in >> result >> text)
            real.emplace_back(static_cast<std::uint32_t>(std::stoul(result)), Unhex(text));
    ASSERT_EQ(real.size(), calls) << "iniprobe's output is incomplete";

    int differing = 0;
    std::string report; // the first ones, each by its call that differs, in the script's form
    auto outcome = real.begin();
    for (size_t i = 0; i < sequences.size(); ++i) {
        const auto& [start, ops] = sequences[i];
        Text file = start, realFile = start, got;
        for (size_t k = 0; k < ops.size(); ++k, ++outcome) {
            if (Agrees(ops[k], file, realFile, *outcome, got))
                continue;
            if (++differing <= 5)
                report += "sequence " + std::to_string(i) + ", " + ops[k].Line() + "  simulated " +
                          Hex(got) + ", real " + Hex(outcome->second) + " (result " +
                          std::to_string(outcome->first) + ")\n";
            outcome += static_cast<std::ptrdiff_t>(ops.size() - k);
            break;
        }
    }
    EXPECT_EQ(differing, 0) << differing << " of " << sequences.size() << " sequences (seed "
                            << seed << ", all in script.txt) differ:\n"
                            << report;
}

} // namespace
} // namespace e2e
