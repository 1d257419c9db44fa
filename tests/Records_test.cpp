// The records sent to the list view, byte for byte. Where each field lies is checked against the
// SDK at compile time by each Windows build; here each field must go to its own place, in its own
// width, little-endian, and nothing past the record's size.
#include "Records.h"

#include <gtest/gtest.h>

#include <vector>

using namespace pindrel;
using namespace pindrel::records;

TEST(Records, EveryFieldGoesToItsPlaceInEachForm) {
    // mask, iItem, iSubItem, state, stateMask, pszText (the 32-bit form takes its low half),
    // cchTextMax, iImage, lParam, iIndent.
    const LvItem item{1, -2, 3, 4, 5, 0x000001F000011000u, 80, 6, 0x0000000A0000000Bu, 7};
    for (const RecordForm form : {RecordForm::Bits32, RecordForm::Bits64}) {
        const LvItemLayout& at = Layout(form);
        std::vector<std::uint8_t> expected(kLvItemMaxSize, 0);
        auto put = [&](std::size_t offset, std::uint64_t value, std::size_t size) {
            for (std::size_t k = 0; k < size; ++k)
                expected[offset + k] = static_cast<std::uint8_t>(value >> (8 * k));
        };
        put(at.mask, 1, 4);
        put(at.item, 0xFFFFFFFEu, 4);
        put(at.subItem, 3, 4);
        put(at.state, 4, 4);
        put(at.stateMask, 5, 4);
        put(at.text, item.pszText, at.pointerSize);
        put(at.textMax, 80, 4);
        put(at.image, 6, 4);
        put(at.param, item.lParam, at.pointerSize);
        put(at.indent, 7, 4);
        const auto bytes = EncodeLvItem(item, form);
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), expected) << at.size;
        // The SDK's offsets, for the builds that cannot check them.
        const std::vector<std::size_t> offsets = {at.size,  at.text,   at.textMax,    at.image,
                                                  at.param, at.indent, at.pointerSize};
        EXPECT_EQ(offsets, form == RecordForm::Bits64
                               ? (std::vector<std::size_t>{56, 24, 32, 36, 40, 48, 8})
                               : (std::vector<std::size_t>{40, 20, 24, 28, 32, 36, 4}));
    }
    const auto point = EncodePoint(Point{-75, 20});
    EXPECT_EQ(std::vector<std::uint8_t>(point.begin(), point.end()),
              (std::vector<std::uint8_t>{0xB5, 0xFF, 0xFF, 0xFF, 20, 0, 0, 0}));
    EXPECT_EQ(DecodePoint(point.data()), (Point{-75, 20}));
}
