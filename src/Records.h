// The records that cross the process boundary to the shell's list view, encoded and decoded as
// bytes at fixed offsets (the 32-bit forms, little-endian). Nothing here casts an SDK structure,
// so the layout does not depend on the compiler that builds us.
#pragma once

#include "platform/Types.h"

#include <array>
#include <cstdint>

namespace pindrel::records {

// LVITEM, 32-bit form: ten 32-bit fields, 40 bytes.
struct LvItem {
    std::uint32_t mask = 0;
    std::int32_t iItem = 0;
    std::int32_t iSubItem = 0;
    std::uint32_t state = 0;
    std::uint32_t stateMask = 0;
    std::uint32_t pszText = 0;
    std::int32_t cchTextMax = 0;
    std::int32_t iImage = 0;
    std::uint32_t lParam = 0;
    std::int32_t iIndent = 0;
};

constexpr std::uint32_t kLvItemSize = 40;
constexpr std::uint32_t kPointSize = 8;

namespace offsets {
constexpr std::size_t kMask = 0;
constexpr std::size_t kItem = 4;
constexpr std::size_t kSubItem = 8;
constexpr std::size_t kState = 12;
constexpr std::size_t kStateMask = 16;
constexpr std::size_t kText = 20;
constexpr std::size_t kTextMax = 24;
constexpr std::size_t kImage = 28;
constexpr std::size_t kParam = 32;
constexpr std::size_t kIndent = 36;
} // namespace offsets

std::array<std::uint8_t, kLvItemSize> EncodeLvItem(const LvItem& item);
LvItem DecodeLvItem(const std::uint8_t* bytes);

// POINT: x at offset 0, y at offset 4, signed 32-bit.
std::array<std::uint8_t, kPointSize> EncodePoint(Point point);
Point DecodePoint(const std::uint8_t* bytes);

std::uint32_t ReadU32(const std::uint8_t* bytes);
void WriteU32(std::uint8_t* bytes, std::uint32_t value);

} // namespace pindrel::records
