#include "Records.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace pindrel;
using namespace pindrel::records;

namespace {

std::uint64_t ReadU64(const std::uint8_t* bytes) {
    return ReadU32(bytes) | static_cast<std::uint64_t>(ReadU32(bytes + 4)) << 32;
}

} // namespace

// Both forms of the item record, byte for byte: the fields before pszText alike, pszText and
// lParam 4 bytes wide in the 32-bit form and 8 bytes wide (on 8-byte boundaries) in the 64-bit one.
TEST(Records, LvItemFieldsSitAtTheOffsetsOfEachForm) {
    struct Scene {
        RecordForm form;
        std::uint32_t size;
        std::size_t text, textMax, param, indent;
        std::uint64_t address; // what pszText carries
    };
    const Scene scenes[] = {
        {RecordForm::Bits32, 40, 20, 24, 32, 36, 0x80001000u},
        {RecordForm::Bits64, 56, 24, 32, 40, 48, 0x000001F000011000u},
    };
    for (const Scene& scene : scenes) {
        SCOPED_TRACE(scene.size);
        LvItem item;
        item.mask = 1;
        item.iItem = -2;
        item.pszText = scene.address;
        item.cchTextMax = 80;
        item.lParam = 0x55;
        item.iIndent = 7;
        const auto bytes = EncodeLvItem(item, scene.form);
        EXPECT_EQ(Layout(scene.form).size, scene.size);
        EXPECT_EQ(ReadU32(&bytes[0]), 1u);
        EXPECT_EQ(ReadU32(&bytes[4]), 0xFFFFFFFEu);
        const std::uint64_t text = scene.form == RecordForm::Bits64 ? ReadU64(&bytes[scene.text])
                                                                    : ReadU32(&bytes[scene.text]);
        EXPECT_EQ(text, scene.address);
        EXPECT_EQ(bytes[scene.text], 0x00); // little-endian: the low byte first
        EXPECT_EQ(ReadU32(&bytes[scene.textMax]), 80u);
        EXPECT_EQ(ReadU32(&bytes[scene.param]), 0x55u);
        EXPECT_EQ(ReadU32(&bytes[scene.indent]), 7u);
        // Nothing is written past the record's own size.
        for (std::size_t i = scene.size; i < bytes.size(); ++i)
            EXPECT_EQ(bytes[i], 0) << i;
    }
}

TEST(Records, PointIsXThenYSigned) {
    const auto bytes = EncodePoint(Point{-75, 20});
    EXPECT_EQ(ReadU32(&bytes[0]), static_cast<std::uint32_t>(-75));
    EXPECT_EQ(ReadU32(&bytes[4]), 20u);
    EXPECT_EQ(DecodePoint(bytes.data()), (Point{-75, 20}));
}
