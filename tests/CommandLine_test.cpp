#include "CommandLine.h"

#include <gtest/gtest.h>

namespace pindrel {
namespace {

TEST(CommandLine, UnquotedProgramNameEndsAtTheFirstSpaceOrTab) {
    EXPECT_EQ(ArgumentText("pindrel.exe"), "");
    EXPECT_EQ(ArgumentText("pindrel.exe -s"), "-s");
    EXPECT_EQ(ArgumentText("C:\\Tools\\pindrel.exe -r"), "-r");
    EXPECT_EQ(ArgumentText("pindrel.exe\t-r"), "-r");
    // A quote inside an unquoted name does not start a quoted part.
    EXPECT_EQ(ArgumentText("C:\\To\"ols\\pindrel.exe -s"), "-s");
    // Unquoted, a name with a space ends at the space: the rest is argument text.
    EXPECT_EQ(ArgumentText("C:\\Program Files\\pindrel.exe -s"), "Files\\pindrel.exe -s");
}

TEST(CommandLine, QuotedProgramNameRunsToTheClosingQuote) {
    EXPECT_EQ(ArgumentText("\"C:\\Program Files\\Pindrel\\pindrel.exe\""), "");
    EXPECT_EQ(ArgumentText("\"C:\\Program Files\\Pindrel\\pindrel.exe\" -s"), "-s");
    EXPECT_EQ(ArgumentText("\"C:\\Program Files\\Pindrel\\pindrel.exe\" \t -r"), "-r");
    // The name ends at its closing quote even when no space follows.
    EXPECT_EQ(ArgumentText("\"C:\\Program Files\\pindrel.exe\"-s"), "-s");
    EXPECT_EQ(ArgumentText("\"\" -s"), "-s");
    // Without a closing quote the whole line is the name.
    EXPECT_EQ(ArgumentText("\"C:\\Program Files\\pindrel.exe -s"), "");
}

TEST(CommandLine, ArgumentsAreKeptAsTheyStand) {
    // Only the blanks between the name and the first argument go; the caller trims the rest.
    EXPECT_EQ(ArgumentText("pindrel.exe   -s  "), "-s  ");
    EXPECT_EQ(ArgumentText("pindrel.exe \"-s\""), "\"-s\"");
    EXPECT_EQ(ArgumentText("\"C:\\My Tools\\pindrel.exe\" -s \"a  b\"\tc "), "-s \"a  b\"\tc ");
    EXPECT_EQ(ArgumentText("pindrel.exe -S -r"), "-S -r");
}

TEST(CommandLine, EmptyAndBlankLines) {
    EXPECT_EQ(ArgumentText(""), "");
    EXPECT_EQ(ArgumentText("   "), "");
    // A line that starts with a blank has an empty program name; what follows is argument text.
    EXPECT_EQ(ArgumentText(" -s"), "-s");
}

} // namespace
} // namespace pindrel
