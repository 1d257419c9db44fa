#include "Records.h"

#include <gtest/gtest.h>

using namespace pindrel;
using namespace pindrel::records;

TEST(Records, LvItemFieldsSitAtTheirFixedOffsets) {
    LvItem item;
    item.mask = 1;
    item.iItem = -2;
    item.pszText = 0x80001000u;
    item.cchTextMax = 80;
    item.iIndent = 7;
    const auto bytes = EncodeLvItem(item);
    ASSERT_EQ(bytes.size(), 40u);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(ReadU32(&bytes[4]), 0xFFFFFFFEu);
    EXPECT_EQ(ReadU32(&bytes[20]), 0x80001000u);
    // Little-endian: the low byte first.
    EXPECT_EQ(bytes[20], 0x00);
    EXPECT_EQ(bytes[23], 0x80);
    EXPECT_EQ(ReadU32(&bytes[24]), 80u);
    EXPECT_EQ(ReadU32(&bytes[36]), 7u);
    const LvItem back = DecodeLvItem(bytes.data());
    EXPECT_EQ(back.iItem, -2);
    EXPECT_EQ(back.pszText, 0x80001000u);
    EXPECT_EQ(back.iIndent, 7);
}

TEST(Records, PointIsXThenYSigned) {
    const auto bytes = EncodePoint(Point{-75, 20});
    EXPECT_EQ(ReadU32(&bytes[0]), static_cast<std::uint32_t>(-75));
    EXPECT_EQ(ReadU32(&bytes[4]), 20u);
    EXPECT_EQ(DecodePoint(bytes.data()), (Point{-75, 20}));
}
