// The conversions' edges that no other test reaches: a tab is no blank to Trim, LCase takes the
// code page's letters, a double out of range fails, and the lowest number as text. (The
// text-to-number readings are held to an exact decimal reading by numeric_fuzz on its corpus; the
// rounding of halves by the default start point in Store_test.cpp; blanks trimmed off names by the
// save there; numbers as text by the resolution tag in LayoutFile_test.cpp.)
#include "Conversions.h"
#include "platform/Types.h"

#include <gtest/gtest.h>

using namespace pindrel;

TEST(Conversions, EdgesNoOtherTestReaches) {
    EXPECT_EQ(Trim("\ta\t"), "\ta\t");
    EXPECT_EQ(LCase("-S \xC9T\xC9 \xD7"), "-s \xE9t\xE9 \xD7");
    EXPECT_THROW(DoubleToLong(1e12), Failure);
    EXPECT_EQ(LongToText(INT32_MIN), "-2147483648");
}
