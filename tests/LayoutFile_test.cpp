#include "LayoutFile.h"
#include "SimFixture.h"

#include <gtest/gtest.h>

using namespace pindrel;

TEST(LayoutFile, SplitsAtCrLfOnlyAndParsesCandidateLines) {
    EXPECT_TRUE(SplitLines("").empty());
    EXPECT_EQ(SplitLines("a\rb\nc\r\n\r\n"), (std::vector<std::string_view>{"a\rb\nc", "", ""}));
    // The fields joined by '|'; nullptr: not a candidate.
    // clang-format off
    const std::pair<const char*, const char*> rows[] = {
        {"120,45,Work files", "120|45|Work files"}, {"10,20,a,b", "10|20|a,b"}, {"5,7,", "5|7|"},
        {",5,Files", "|5|Files"}, {"1,2,  \tname\t  ", "1|2|\tname\t"}, {"10,,Files", nullptr},
        {"5,7", nullptr}, {"Files", nullptr}, {"", nullptr}};
    // clang-format on
    for (const auto& [line, expected] : rows) {
        LayoutFields f;
        ASSERT_EQ(ParseLayoutLine(line, f), expected != nullptr) << line;
        if (expected != nullptr) {
            EXPECT_EQ(std::string(f.x) + "|" + std::string(f.y) + "|" + std::string(f.name),
                      expected);
        }
    }
}

class LayoutPath : public pindrel::testing::SimTest {};

TEST_F(LayoutPath, NameFromUserComputerAndScreenSize) {
    session->SetScreenPixels(1366, 768);
    EXPECT_EQ(LayoutFilePath(*session, "USER1", "DESK1"), "C:\\Tools\\USER1@DESK1@1366x768.txt");
    // Known in twips only: the width is divided by the horizontal twips per pixel and the height
    // by the vertical one (3840 at 7.5 is exactly 3840). At a drive's root the folder already
    // ends with "\": two separators in a row.
    session->SetScreen(28800.0f, 16200.0f, 7.5f, 15.0f);
    session->SetExecutable("D:\\Pindrel.exe");
    EXPECT_EQ(LayoutFilePath(*session, "", "DESK1"), "D:\\\\@DESK1@3840x1080.txt");
}
