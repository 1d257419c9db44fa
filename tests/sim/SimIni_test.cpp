// Windows' private-profile rules that the program relies on, alone and through the session.
#include "platform/sim/SimIni.h"
#include "platform/sim/SimSession.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <tuple>

namespace pindrel::sim {
namespace {

TEST(SimIniTest, ReadsAsWindowsReadsAProfile) {
    const std::string file = "; top\r\n[ Default ]\r\n  StartX \t=  ' 40 '  \r\nDeltaY=\"75\"\n"
                             ";StartY=9\r\nlong=abcdefgh\r[default]\r\nDeltaX=dup\r\n[Other]\r\n"
                             "StartY=5";
    // Section, key, buffer size, text read (the default is "DEF").
    const std::tuple<const char*, const char*, std::uint32_t, const char*> scenes[] = {
        {"DEFAULT", " startx ", 128, " 40 "}, // names without case or blanks; one quote pair goes
        {"Default", "DeltaY", 128, "75"},     // lone LF and lone CR end lines too
        {"Default", "StartY", 128, "DEF"},    // a comment is no key
        {"Default", "DeltaX", 128, "DEF"},    // only the first [Default] counts
        {"Other", "StartY", 128, "5"},        // a last line without an end
        {"Other", "StartX", 128, "DEF"},      // keys belong to their own section
        {"Default", "long", 4, "abc"},        // cut to the buffer less its NUL
        {"Default", "none", 3, "DE"},         // so is the default
    };
    for (const auto& [section, key, size, expected] : scenes)
        EXPECT_EQ(IniRead(file, section, key, "DEF", size), expected) << key;
    EXPECT_EQ(IniRead(std::nullopt, "Default", "StartX", "  def  ", 128), "  def");
}

TEST(SimIniTest, WritesAsWindowsWritesAProfile) {
    const std::string file = "[A]\r\n k = 1 \r\n; note\r\n\r\n[B]\r\nj=2\r\n";
    using Opt = std::optional<std::string>;
    // Section, key, value (nothing: delete), the file's bytes afterwards (nothing: unchanged).
    const std::tuple<const char*, Opt, Opt, Opt> scenes[] = {
        {"a", "K", "9", "[A]\r\nk=9\r\n; note\r\n\r\n[B]\r\nj=2\r\n"},
        {"A", "n", "v", "[A]\r\n k = 1 \r\n; note\r\nn=v\r\n\r\n[B]\r\nj=2\r\n"},
        {"C", "n", "v", file + "[C]\r\nn=v\r\n"},
        {"A", std::nullopt, std::nullopt, "[B]\r\nj=2\r\n"},
        {"B", "j", std::nullopt, "[A]\r\n k = 1 \r\n; note\r\n\r\n[B]\r\n"},
        {"B", "none", std::nullopt, std::nullopt},
    };
    for (const auto& [section, key, value, expected] : scenes)
        EXPECT_EQ(IniWrite(file, section, key, value), expected) << section;
    EXPECT_EQ(IniWrite(std::nullopt, " D ", " k\t", " 4 "), "[D]\r\nk= 4 \r\n");
}

TEST(SimIniTest, ProfileWritesThatCannotBeDoneChangeNothing) {
    TempSession s;
    const char* ini = "C:\\Tools\\Pindrel.ini";
    s.WriteFileBytes(ini, "[A]\r\nk=1\r\n");
    for (const int refusal : {0, 1, 2}) { // read-only, locked, disk full
        s.SetReadOnly(ini, refusal == 0);
        s.SetLocked(ini, refusal == 1);
        s.SetDiskSpace(refusal == 2 ? 0 : -1);
        EXPECT_FALSE(s.WritePrivateProfileStringA("A", "k", "22", ini)) << refusal;
        EXPECT_EQ(s.FileBytes(ini), "[A]\r\nk=1\r\n") << refusal;
    }
    EXPECT_FALSE(s.WritePrivateProfileStringA("A", "k", "2", "C:\\Nowhere\\Pindrel.ini"));
    char buffer[8];
    s.SetLocked(ini, true);
    EXPECT_EQ(s.GetPrivateProfileStringA("A", "k", "dflt", buffer, 8, ini), 4u) << "as missing";
}

} // namespace
} // namespace pindrel::sim
