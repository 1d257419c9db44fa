// Random sequences of private-profile calls for comparing the simulated INI engine with the real
// GetPrivateProfileStringA / WritePrivateProfileStringA (run by tools/desktop-host/iniprobe.exe).
// The same seed gives the same sequences on every machine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct IniOp {
    enum class Kind { Write, Read };
    Kind kind = Kind::Read;
    std::string section;
    std::optional<std::string> key;   // a write without key deletes the section
    std::optional<std::string> value; // a write without value deletes the key
    std::string defaultValue;         // reads
    std::uint32_t bufferSize = 0;     // reads
};

struct IniSequence {
    std::optional<std::string> initialFile; // nothing: no file at the start
    std::vector<IniOp> ops;
};

// What one operation gave: for a read the text copied (its length is the function's result), for
// a write the file's bytes afterwards (nothing when there is no file).
struct IniOutcome {
    IniOp::Kind kind = IniOp::Kind::Read;
    std::uint32_t readResult = 0;
    std::optional<std::string> text;
};

// Kinds of case that the generator can leave out. Each is a case where Wine's engine and the
// simulated one are known to answer differently; see ini_differential_test.cpp for why each is
// left out or kept.
struct IniCaseKinds {
    // A header "[]" (an empty section name). Wine drops it when it rewrites the file, so the
    // keys under it join the section before it.
    bool emptySectionHeaders = true;
    // A default value in quotes. Wine strips the quotes from the default as from a stored value.
    bool quotedDefaults = true;
    // A delete (no key, or no value) naming the section or key with blanks around. Wine's deletes
    // compare names without removing the blanks, as its reads and writes do.
    bool paddedNamesInDeletes = true;
    // A line that is only a key name, without "=". Wine takes it for a key without a value: a
    // write to that key fills the line in place.
    bool bareKeyLines = true;
    // More than one line "=value" (an empty key name) in a section. Wine keeps only the first
    // when it rewrites the file.
    bool repeatedEmptyKeys = true;
    // A read of a quoted value whose unquoted text fills the buffer or more. Wine cuts the value
    // with its closing quote still on and then removes the text's last character as the quote,
    // so it gives one character less. (This one depends on the file, not on the generated
    // operation; the comparison recognises it.)
    bool quotedValuesCut = true;
    // A delete of a key that the first section of the name lacks and a later section of the same
    // name holds. Wine's delete finds it there (its reads and writes look in the first section
    // only). (Recognised by the comparison, too.)
    bool deletesInRepeatedSections = true;
};

std::vector<IniSequence> GenerateIniSequences(std::uint32_t seed, int count,
                                              const IniCaseKinds& kinds = {});

// The script that iniprobe.exe runs (its format is described in iniprobe.cpp).
std::string IniProbeScript(const std::vector<IniSequence>& sequences);

// iniprobe.exe's output, split per sequence; throws when it is not complete.
std::vector<std::vector<IniOutcome>> ParseIniProbeOutput(const std::string& output,
                                                         const std::vector<IniSequence>& sequences);

// A file's bytes in the layout that Wine's engine writes: blanks at both ends of each line, blank
// lines, and blanks around a header's name and around the "=" of a key line removed. Only CR LF
// ends a line here. Wine rewrites the whole file in this layout on every write, while Windows
// leaves the lines that a write does not touch as they were; files are compared in this form.
std::string IniCanonicalForm(const std::string& bytes);

// The bytes with every line end (CR LF, lone CR, lone LF) made CR LF.
std::string IniWithCrLf(const std::string& bytes);

// A text with its control bytes and quotes shown as escapes, for failure messages.
std::string Visible(const std::optional<std::string>& text);

} // namespace e2e
