// The INI engine's rules one by one, alone and through the session's profile functions.
#include "platform/sim/SimIni.h"
#include "platform/sim/SimSession.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>

namespace pindrel::sim {
namespace {

std::string Read(const std::string& file, const std::string& section, const std::string& key,
                 std::uint32_t size = 128, const std::string& def = "DEF") {
    return IniRead(file, section, key, def, size);
}

TEST(SimIniTest, ReadMatchesNamesWithoutCaseOrBlanksAndStripsOneQuotePair) {
    const std::string file = "; top\r\n"
                             "[ Default ]\r\n"
                             "  StartX \t=  ' 40 '  \r\n"
                             "DeltaY=\"75\"\r\n"
                             "mixed='x\"\r\n"
                             "lone=\"\r\n"
                             "empty=\r\n"
                             ";StartY=9\r\n"
                             "odd line\r\n"
                             "startx=second\r\n"
                             "inline=a;b\r\n"
                             "[default]\r\n"
                             "DeltaX=in the duplicate\r\n"
                             "[Other]\r\n"
                             "StartY=5\r\n";
    EXPECT_EQ(Read(file, "DEFAULT", "STARTX"), " 40 ");
    EXPECT_EQ(Read(file, " Default\t", " StartX "), " 40 ");
    EXPECT_EQ(Read(file, "Default", "DeltaY"), "75");
    EXPECT_EQ(Read(file, "Default", "mixed"), "'x\"");
    EXPECT_EQ(Read(file, "Default", "lone"), "\"");
    EXPECT_EQ(Read(file, "Default", "empty"), "");
    EXPECT_EQ(Read(file, "Default", "inline"), "a;b");
    EXPECT_EQ(Read(file, "Default", "StartY"), "DEF") << "a comment is no key";
    EXPECT_EQ(Read(file, "Default", ";StartY"), "DEF");
    EXPECT_EQ(Read(file, "Default", "odd line"), "DEF");
    EXPECT_EQ(Read(file, "Default", "DeltaX"), "DEF") << "only the first [Default] counts";
    EXPECT_EQ(Read(file, "Other", "StartY"), "5");
    EXPECT_EQ(Read(file, "Other", "StartX"), "DEF") << "keys belong to their own section";
    EXPECT_EQ(Read(file, "Missing", "StartX"), "DEF");
    EXPECT_EQ(IniRead(std::nullopt, "Default", "StartX", "", 128), "");
}

TEST(SimIniTest, ReadCutsValueAndDefaultToTheBuffer) {
    const std::string file = "[S]\r\nk=abcdefgh\r\nlong=" + std::string(200, 'v') + "\r\n";
    EXPECT_EQ(Read(file, "S", "k", 4), "abc");
    EXPECT_EQ(Read(file, "S", "k", 1), "");
    EXPECT_EQ(Read(file, "S", "k", 0), "");
    EXPECT_EQ(Read(file, "S", "long"), std::string(127, 'v'));
    EXPECT_EQ(Read(file, "S", "none", 5, "default"), "defa");
    EXPECT_EQ(Read(file, "S", "none", 128, "  def  "), "  def")
        << "trailing spaces of the default go";
}

TEST(SimIniTest, ReadsLfOnlyAndCrOnlyFiles) {
    for (const char* end : {"\n", "\r", "\r\n"}) {
        const std::string e = end;
        const std::string file = "[A]" + e + "k=1" + e + "[B]" + e + "k=2";
        EXPECT_EQ(Read(file, "A", "k"), "1") << int(e[0]);
        EXPECT_EQ(Read(file, "B", "k"), "2") << int(e[0]);
    }
}

TEST(SimIniTest, WriteReplacesInPlaceAndKeepsEveryOtherLine) {
    const std::string file = "; settings\r\n"
                             "[Default]\r\n"
                             "  StartX = 1 \r\n"
                             "odd line\r\n"
                             "\r\n"
                             "[IconType]\r\n"
                             "USER1@DESK1=Icon\r\n";
    EXPECT_EQ(IniWrite(file, "default", "STARTX", "40"), "; settings\r\n"
                                                         "[Default]\r\n"
                                                         "StartX=40\r\n"
                                                         "odd line\r\n"
                                                         "\r\n"
                                                         "[IconType]\r\n"
                                                         "USER1@DESK1=Icon\r\n");
    EXPECT_EQ(IniWrite(file, "IconType", "user1@desk1", ""),
              "; settings\r\n[Default]\r\n  StartX = 1 \r\nodd "
              "line\r\n\r\n[IconType]\r\nUSER1@DESK1=\r\n");
}

TEST(SimIniTest, WriteAddsKeysAfterTheSectionsLastLineAndSectionsAtTheEnd) {
    const std::string file = "[A]\r\nk=1\r\n; note\r\n\r\n\r\n[B]\r\nj=2\r\n\r\n";
    EXPECT_EQ(IniWrite(file, "A", "n", "v"),
              "[A]\r\nk=1\r\n; note\r\nn=v\r\n\r\n\r\n[B]\r\nj=2\r\n\r\n");
    EXPECT_EQ(IniWrite(file, "C", "n", "v"), file + "[C]\r\nn=v\r\n");
    EXPECT_EQ(IniWrite(std::string("[A]\r\n[B]\r\n"), "A", "n", "v"), "[A]\r\nn=v\r\n[B]\r\n");
    EXPECT_EQ(IniWrite(std::nullopt, " Default ", " StartX\t", " 40 "),
              "[Default]\r\nStartX= 40 \r\n");
    EXPECT_EQ(IniWrite(std::string("[A]\nk=1\n[B]\rj=2"), "A", "n", "v"),
              "[A]\r\nk=1\r\nn=v\r\n[B]\r\nj=2\r\n");
    EXPECT_EQ(IniWrite(std::string("[A]\r\nk=1\r\n[a]\r\nm=2\r\n"), "a", "m", "3"),
              "[A]\r\nk=1\r\nm=3\r\n[a]\r\nm=2\r\n")
        << "writes go to the first section of the name";
}

TEST(SimIniTest, NullKeyDeletesTheSectionAndNullValueTheKey) {
    const std::string file = "top=0\r\n[A]\r\nk=1\r\nj=2\r\n; c\r\n[B]\r\nk=3\r\n";
    EXPECT_EQ(IniWrite(file, "a", std::nullopt, std::nullopt), "top=0\r\n[B]\r\nk=3\r\n");
    EXPECT_EQ(IniWrite(file, "A", "K", std::nullopt),
              "top=0\r\n[A]\r\nj=2\r\n; c\r\n[B]\r\nk=3\r\n");
    EXPECT_EQ(IniWrite(file, "A", "missing", std::nullopt), std::nullopt);
    EXPECT_EQ(IniWrite(file, "Missing", std::nullopt, std::nullopt), std::nullopt);
    EXPECT_EQ(IniWrite(std::nullopt, "A", "k", std::nullopt), std::nullopt);
}

class SimProfileTest : public ::testing::Test {
  protected:
    std::string Get(const char* section, const char* key, const char* file, DWORD size = 128) {
        char buffer[256];
        std::memset(buffer, '#', sizeof buffer);
        const DWORD n = s.GetPrivateProfileStringA(section, key, "", buffer, size, file);
        EXPECT_EQ(buffer[n], '\0');
        return std::string(buffer, n);
    }
    TempFolder temp;
    SimSession s{temp.path()};
};

TEST_F(SimProfileTest, ProfileFunctionsWorkOnTheSimulatedFiles) {
    const char* ini = "C:\\Tools\\Pindrel.ini";
    EXPECT_EQ(Get("Default", "StartX", ini), "");
    EXPECT_FALSE(s.FileExists(ini));
    EXPECT_TRUE(s.WritePrivateProfileStringA("Default", "StartX", "40", ini));
    EXPECT_TRUE(
        s.WritePrivateProfileStringA("USER1@DESK1", "StartX", std::string(200, '9').c_str(), ini));
    EXPECT_EQ(s.FileBytes(ini), "[Default]\r\nStartX=40\r\n[USER1@DESK1]\r\nStartX=" +
                                    std::string(200, '9') + "\r\n");
    EXPECT_EQ(Get("default", "startx", ini), "40");
    EXPECT_EQ(Get("USER1@DESK1", "StartX", ini), std::string(127, '9'));
    EXPECT_EQ(Get("Default", "StartX", ini, 2), "4");
    EXPECT_EQ(s.CountCalls("GetPrivateProfileStringA"), 4);
    EXPECT_EQ(s.Calls().back().detail, ini);

    // A drive's root: the doubled separator names the same file.
    EXPECT_TRUE(s.WritePrivateProfileStringA("A", "k", "v", "C:\\\\Root.ini"));
    EXPECT_EQ(Get("A", "k", "C:\\Root.ini"), "v");
}

TEST_F(SimProfileTest, FailedWritesChangeNothingAndReturnFalse) {
    const char* ini = "C:\\Tools\\Pindrel.ini";
    s.WriteFileBytes(ini, "[A]\r\nk=1\r\n");
    EXPECT_FALSE(s.WritePrivateProfileStringA("A", "k", "2", "C:\\Nowhere\\Pindrel.ini"));
    EXPECT_FALSE(s.FileExists("C:\\Nowhere\\Pindrel.ini"));
    s.SetReadOnly(ini, true);
    EXPECT_FALSE(s.WritePrivateProfileStringA("A", "k", "2", ini));
    s.SetReadOnly(ini, false);
    s.SetReadOnly("C:\\Tools", true);
    EXPECT_FALSE(s.WritePrivateProfileStringA("A", "k", "2", ini));
    EXPECT_FALSE(s.WritePrivateProfileStringA("A", "k", "2", "C:\\Tools\\new.ini"));
    s.SetReadOnly("C:\\Tools", false);
    s.SetLocked(ini, true);
    EXPECT_FALSE(s.WritePrivateProfileStringA("A", "k", "2", ini));
    EXPECT_EQ(Get("A", "k", ini), "") << "a locked file reads as missing";
    s.SetLocked(ini, false);
    EXPECT_EQ(s.FileBytes(ini), "[A]\r\nk=1\r\n");
    EXPECT_EQ(Get("A", "k", ini), "1");
    EXPECT_FALSE(s.FileExists("C:\\Tools\\new.ini"));
}

} // namespace
} // namespace pindrel::sim
