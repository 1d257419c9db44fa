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

#include <cctype>
#include <cstdlib>
#include <random>
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
    const size_t begin = text.find_first_not_of(" \t");
    return begin == std::string::npos
               ? ""
               : text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

std::string Value(Dice& dice) {
    if (!dice.Chance(8))
        return dice.Pick(kValues);
    std::string text; // longer than any buffer read through
    for (std::uint32_t n = 100 + dice.Below(200); n > 0; --n)
        text += static_cast<char>('a' + dice.Below(26));
    return text;
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
    if (!text)
        return "-";
    std::string out = "h:";
    for (unsigned char c : *text)
        out += std::string(1, "0123456789abcdef"[c >> 4]) + "0123456789abcdef"[c & 15];
    return out;
}

Text Unhex(const std::string& field) {
    if (field == "-")
        return std::nullopt;
    std::string bytes;
    for (size_t i = 2; i + 1 < field.size(); i += 2)
        bytes += static_cast<char>(std::stoi(field.substr(i, 2), nullptr, 16));
    return bytes;
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
    for (size_t start = 0; start < bytes.size();) {
        size_t end = bytes.find("\r\n", start);
        const bool ended = end != std::string::npos;
        end = ended ? end : bytes.size();
        std::string line = Trim(bytes.substr(start, end - start));
        start = ended ? end + 2 : end;
        const size_t close = line.rfind(']');
        const size_t eq = line.find('=');
        if (line.empty())
            continue;
        if (line[0] == '[' && close != std::string::npos && close > 0)
            line = "[" + Trim(line.substr(1, close - 1)) + "]";
        else if (eq != std::string::npos)
            line = Trim(line.substr(0, eq)) + "=" + Trim(line.substr(eq + 1));
        out += line + (ended ? "\r\n" : "");
    }
    return out;
}

std::string WithCrLf(const std::string& bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const bool crlf = bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n';
        out += bytes[i] == '\r' || bytes[i] == '\n' ? std::string("\r\n") : bytes.substr(i, 1);
        i += crlf ? 1 : 0;
    }
    return out;
}

std::uint32_t EnvNumber(const char* name, std::uint32_t fallback) {
    const char* value = std::getenv(name);
    return value && *value ? static_cast<std::uint32_t>(std::stoul(value)) : fallback;
}

// Whether the simulated engine agrees with the real outcome of `op` (a read's result and text, a
// write's file after it), given the file each had before. Both files move on to the next.
bool Agrees(const Op& op, Text& file, Text& realFile, const std::pair<std::uint32_t, Text>& real,
            Text& got) {
    const auto& [realResult, want] = real;
    if (op.write) {
        if (Text next = pindrel::sim::IniWrite(file, op.section, op.key, op.value))
            file = next;
        got = file;
        const Text expected = want && realFile == want && got != want ? WithCrLf(*want) : want;
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
    const std::uint32_t seed = EnvNumber("PINDREL_INI_SEED", 20240607);
    Dice dice{std::mt19937(seed)};
    std::vector<std::pair<Text, std::vector<Op>>> sequences(
        EnvNumber("PINDREL_INI_SEQUENCES", 600)); // the file at the start, and the calls
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
    const ProcessResult probe =
        session().Wine({Exe("iniprobe").string(), WinPath(dir() / "script.txt"),
                        WinPath(dir() / "ini"), WinPath(dir() / "real.txt")},
                       dir());
    ASSERT_EQ(probe.status, 0) << probe.Describe();
    // The real outcomes of all calls in order: a read's result and text, a write's file after it.
    std::vector<std::pair<std::uint32_t, Text>> real;
    std::istringstream in(ReadFile(dir() / "real.txt"));
    for (std::string tag, result, text; in >> tag;) {
        if ((tag == "W" || tag == "R") && in >> result >> text)
            real.emplace_back(static_cast<std::uint32_t>(std::stoul(result)), Unhex(text));
    }
    ASSERT_EQ(real.size(), calls) << "iniprobe's output is incomplete";

    int differing = 0;
    std::string report;
    auto outcome = real.begin();
    for (size_t i = 0; i < sequences.size(); ++i) {
        const auto& [start, ops] = sequences[i];
        Text file = start;
        Text realFile = start;
        Text got;
        for (size_t k = 0; k < ops.size(); ++k, ++outcome) {
            if (Agrees(ops[k], file, realFile, *outcome, got))
                continue;
            // The sequence in the script's form (texts in hex) up to the call that differs.
            if (++differing <= 8) {
                report += "sequence " + std::to_string(i) + " (seed " + std::to_string(seed) +
                          "), file at the start " + Hex(start) + ":\n";
                for (size_t m = 0; m <= k; ++m)
                    report += "  " + ops[m].Line();
                report += "    simulated: " + Hex(got) +
                          "\n    real:      " + Hex(outcome->second) + " (result " +
                          std::to_string(outcome->first) + ")\n";
            }
            outcome += static_cast<std::ptrdiff_t>(ops.size() - k);
            break;
        }
    }
    EXPECT_EQ(differing, 0) << differing << " of " << sequences.size()
                            << " sequences differ; the first ones:\n"
                            << report;
}

} // namespace
} // namespace e2e
