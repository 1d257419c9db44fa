#include "LayoutFile.h"
#include "SimFixture.h"

#include <gtest/gtest.h>

using namespace pindrel;
using pindrel::testing::SimTest;

TEST(LayoutFile, LinesAreXYAndTheTrimmedName) {
    EXPECT_EQ(FormatLayoutLine(120, 45, "Work files"), "120,45,Work files");
    EXPECT_EQ(FormatLayoutLine(-75, 20, "  Notes  "), "-75,20,Notes");
    EXPECT_EQ(FormatLayoutLine(0, -8, "   "), "0,-8,");
    EXPECT_EQ(FormatLayoutLine(1, 2, "a,b"), "1,2,a,b");
}

TEST(LayoutFile, SplitsAtCrLfOnly) {
    EXPECT_TRUE(SplitLines("").empty());
    EXPECT_EQ(SplitLines("1,2,a\r\n3,4,b\r\n"),
              (std::vector<std::string_view>{"1,2,a", "3,4,b", ""}));
    // LF-only and lone CRs are no separators.
    EXPECT_EQ(SplitLines("1,2,a\n3,4,b\n"), (std::vector<std::string_view>{"1,2,a\n3,4,b\n"}));
    EXPECT_EQ(SplitLines("a\rb\r\n\r\n"), (std::vector<std::string_view>{"a\rb", "", ""}));
}

TEST(LayoutFile, ParsesCandidateLines) {
    LayoutFields f;
    ASSERT_TRUE(ParseLayoutLine("120,45,Work files", f));
    EXPECT_EQ(f.x, "120");
    EXPECT_EQ(f.y, "45");
    EXPECT_EQ(f.name, "Work files");
    ASSERT_TRUE(ParseLayoutLine("10,20,a,b", f));
    EXPECT_EQ(f.name, "a,b");
    ASSERT_TRUE(ParseLayoutLine("5,7,", f));
    EXPECT_EQ(f.name, "");
    ASSERT_TRUE(ParseLayoutLine(",5,Files", f));
    EXPECT_EQ(f.x, "");
    ASSERT_TRUE(ParseLayoutLine("1,2,  \tname\t  ", f));
    EXPECT_EQ(f.name, "\tname\t");
    for (const char* no : {"10,,Files", "5,7", "Files", ""}) {
        EXPECT_FALSE(ParseLayoutLine(no, f)) << no;
    }
}

class LayoutPath : public SimTest {};

TEST_F(LayoutPath, NameFromUserComputerAndScreenSize) {
    session->SetScreenPixels(1280, 1024);
    EXPECT_EQ(LayoutFilePath(*session, "USER1", "DESK1"), "C:\\Tools\\USER1@DESK1@1280x1024.txt");
    session->SetScreenPixels(1366, 768);
    EXPECT_EQ(ResolutionTag(*session), "1366x768");
    // 3840 pixels at 7.5 twips per pixel: a floating division gives exactly 3840.
    session->SetScreen(28800.0f, 16200.0f, 7.5f, 7.5f);
    EXPECT_EQ(ResolutionTag(*session), "3840x2160");
    // At a drive's root the folder already ends with "\": two separators in a row.
    session->SetExecutable("D:\\Pindrel.exe");
    EXPECT_EQ(LayoutFilePath(*session, "", "DESK1"), "D:\\\\@DESK1@3840x2160.txt");
}
