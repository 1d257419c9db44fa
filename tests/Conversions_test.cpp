// The conversions the fuzz targets do not decide: trimming, lower case, the rounding of a double
// and numbers as text. (The text-to-number readings are held to an exact decimal reading by
// numeric_fuzz on its corpus; the quotients of the resolution tag by LayoutFile_test.cpp.)
#include "Conversions.h"
#include "platform/Types.h"

#include <gtest/gtest.h>

using namespace pindrel;

TEST(Conversions, TrimLowerCaseRoundingAndNumbersAsText) {
    EXPECT_EQ(Trim("  a b  "), "a b");
    EXPECT_EQ(Trim("\ta\t"), "\ta\t");
    EXPECT_EQ(Trim("    "), "");
    EXPECT_EQ(LCase("-S \xC9T\xC9 \xD7"), "-s \xE9t\xE9 \xD7");
    EXPECT_EQ(DoubleToLong(511.5), 512);
    EXPECT_EQ(DoubleToLong(512.5), 512);
    EXPECT_THROW(DoubleToLong(1e12), Failure);
    EXPECT_EQ(LongToText(INT32_MIN), "-2147483648");
    EXPECT_EQ(SingleToText(1024.0f), "1024");
    EXPECT_EQ(SingleToText(1365.5f), "1365.5");
}
