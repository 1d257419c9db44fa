#include "Conversions.h"
#include "platform/Types.h"

#include <gtest/gtest.h>

using namespace pindrel;

TEST(Conversions, TrimRemovesSpacesOnlyAtBothEnds) {
    EXPECT_EQ(Trim("  a b  "), "a b");
    EXPECT_EQ(Trim("\ta\t"), "\ta\t");
    EXPECT_EQ(Trim("    "), "");
    EXPECT_EQ(LCase("-S"), "-s");
    EXPECT_EQ(LCase("\xC9T\xC9"), "\xE9t\xE9");
    EXPECT_EQ(LCase("\xD7"), "\xD7");
}

TEST(Conversions, SplitKeepsEmptyPiecesAndGivesNothingForEmptyText) {
    EXPECT_TRUE(Split("", ",").empty());
    EXPECT_EQ(Split("a,,b,", ","), (std::vector<std::string>{"a", "", "b", ""}));
    EXPECT_EQ(Split("a\r\nb", "\r\n"), (std::vector<std::string>{"a", "b"}));
}

TEST(Conversions, NumericTest) {
    for (const char* yes : {"0", "-80", "+7", " 12.5 ", "1.", ".5", "-.5", "007"}) {
        EXPECT_TRUE(IsNumeric(yes)) << yes;
    }
    for (const char* no :
         {"", " ", "abc", "1.2.3", "1e5", "0x10", "--1", "1-", "- 1", ".", "-", "1 2", "\t5"}) {
        EXPECT_FALSE(IsNumeric(no)) << no;
    }
}

TEST(Conversions, TextToLongRoundsHalvesToEvenAndChecksTheRange) {
    EXPECT_EQ(TextToLong("12.5"), 12);
    EXPECT_EQ(TextToLong("13.5"), 14);
    EXPECT_EQ(TextToLong("-2.5"), -2);
    EXPECT_EQ(TextToLong("-3.5"), -4);
    EXPECT_EQ(TextToLong("2.51"), 3);
    EXPECT_EQ(TextToLong(" -80 "), -80);
    EXPECT_EQ(TextToLong("2147483647"), 2147483647);
    EXPECT_EQ(TextToLong("2147483647.4"), 2147483647);
    EXPECT_EQ(TextToLong("-2147483648.5"), INT32_MIN);
    try {
        TextToLong("2147483647.5");
        FAIL() << "no overflow";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), errors::kOverflow);
    }
    try {
        TextToLong("-2147483648.51");
        FAIL() << "no overflow";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), errors::kOverflow);
    }
    try {
        TextToLong("");
        FAIL() << "no type mismatch";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), errors::kTypeMismatch);
    }
    EXPECT_EQ(DoubleToLong(511.5), 512);
    EXPECT_EQ(DoubleToLong(512.5), 512);
    EXPECT_EQ(DoubleToLong(7.5), 8);
    EXPECT_THROW(DoubleToLong(1e12), Failure);
}

TEST(Conversions, NumbersAsText) {
    EXPECT_EQ(LongToText(-75), "-75");
    EXPECT_EQ(LongToText(0), "0");
    EXPECT_EQ(LongToText(INT32_MIN), "-2147483648");
    EXPECT_EQ(SingleToText(1024.0f), "1024");
    EXPECT_EQ(SingleToText(28800.0f / 7.5f), "3840");
    EXPECT_EQ(SingleToText(1365.5f), "1365.5");
    EXPECT_EQ(SingleToText(4096.0f / 3.0f), "1365.333");
}
