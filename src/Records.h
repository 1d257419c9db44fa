// The records that cross the process boundary to the shell's list view, encoded as bytes at fixed
// offsets, little-endian. Nothing here casts an SDK structure, so the layout does not depend on
// the compiler that builds us; each native build checks these offsets against the SDK's own
// LVITEMW at compile time.
#pragma once

#include "platform/Types.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace pindrel::records {

// LVITEM comes in the form of the list view's process: the 32-bit one (ten 32-bit fields, 40
// bytes) or the 64-bit one, whose pszText and lParam are 8-byte fields on 8-byte boundaries (56
// bytes). POINT is the same in both.
enum class RecordForm { Bits32, Bits64 };

struct LvItem {
    std::uint32_t mask = 0;
    std::int32_t iItem = 0;
    std::int32_t iSubItem = 0;
    std::uint32_t state = 0;
    std::uint32_t stateMask = 0;
    std::uint64_t pszText = 0; // an address in the list view's process
    std::int32_t cchTextMax = 0;
    std::int32_t iImage = 0;
    std::uint64_t lParam = 0;
    std::int32_t iIndent = 0;
};

// Where each field of LVITEM lies in one form, and how wide its pointer-sized fields are.
struct LvItemLayout {
    std::uint32_t size;
    std::size_t mask, item, subItem, state, stateMask, text, textMax, image, param, indent;
    std::size_t pointerSize;
};

constexpr LvItemLayout kLvItem32{40, 0, 4, 8, 12, 16, 20, 24, 28, 32, 36, 4};
constexpr LvItemLayout kLvItem64{56, 0, 4, 8, 12, 16, 24, 32, 36, 40, 48, 8};

constexpr const LvItemLayout& Layout(RecordForm form) {
    return form == RecordForm::Bits64 ? kLvItem64 : kLvItem32;
}

constexpr std::uint32_t kLvItemMaxSize = 56;
constexpr std::uint32_t kPointSize = 8;

// The record in `form`; the first Layout(form).size bytes are its bytes. A pointer-sized field of
// the 32-bit form takes the low 32 bits, so a caller passes only addresses that fit it.
std::array<std::uint8_t, kLvItemMaxSize> EncodeLvItem(const LvItem& item, RecordForm form);

// POINT: x at offset 0, y at offset 4, signed 32-bit.
std::array<std::uint8_t, kPointSize> EncodePoint(Point point);
Point DecodePoint(const std::uint8_t* bytes);

std::uint32_t ReadU32(const std::uint8_t* bytes);
void WriteU32(std::uint8_t* bytes, std::uint32_t value);

} // namespace pindrel::records
