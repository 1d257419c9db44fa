#include "Records.h"

namespace pindrel::records {

std::uint32_t ReadU32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) |
           (static_cast<std::uint32_t>(bytes[3]) << 24);
}

void WriteU32(std::uint8_t* bytes, std::uint32_t value) {
    bytes[0] = static_cast<std::uint8_t>(value);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
    bytes[2] = static_cast<std::uint8_t>(value >> 16);
    bytes[3] = static_cast<std::uint8_t>(value >> 24);
}

std::array<std::uint8_t, kLvItemSize> EncodeLvItem(const LvItem& item) {
    std::array<std::uint8_t, kLvItemSize> bytes{};
    WriteU32(&bytes[offsets::kMask], item.mask);
    WriteU32(&bytes[offsets::kItem], static_cast<std::uint32_t>(item.iItem));
    WriteU32(&bytes[offsets::kSubItem], static_cast<std::uint32_t>(item.iSubItem));
    WriteU32(&bytes[offsets::kState], item.state);
    WriteU32(&bytes[offsets::kStateMask], item.stateMask);
    WriteU32(&bytes[offsets::kText], item.pszText);
    WriteU32(&bytes[offsets::kTextMax], static_cast<std::uint32_t>(item.cchTextMax));
    WriteU32(&bytes[offsets::kImage], static_cast<std::uint32_t>(item.iImage));
    WriteU32(&bytes[offsets::kParam], item.lParam);
    WriteU32(&bytes[offsets::kIndent], static_cast<std::uint32_t>(item.iIndent));
    return bytes;
}

LvItem DecodeLvItem(const std::uint8_t* bytes) {
    LvItem item;
    item.mask = ReadU32(bytes + offsets::kMask);
    item.iItem = static_cast<std::int32_t>(ReadU32(bytes + offsets::kItem));
    item.iSubItem = static_cast<std::int32_t>(ReadU32(bytes + offsets::kSubItem));
    item.state = ReadU32(bytes + offsets::kState);
    item.stateMask = ReadU32(bytes + offsets::kStateMask);
    item.pszText = ReadU32(bytes + offsets::kText);
    item.cchTextMax = static_cast<std::int32_t>(ReadU32(bytes + offsets::kTextMax));
    item.iImage = static_cast<std::int32_t>(ReadU32(bytes + offsets::kImage));
    item.lParam = ReadU32(bytes + offsets::kParam);
    item.iIndent = static_cast<std::int32_t>(ReadU32(bytes + offsets::kIndent));
    return item;
}

std::array<std::uint8_t, kPointSize> EncodePoint(Point point) {
    std::array<std::uint8_t, kPointSize> bytes{};
    WriteU32(&bytes[0], static_cast<std::uint32_t>(point.x));
    WriteU32(&bytes[4], static_cast<std::uint32_t>(point.y));
    return bytes;
}

Point DecodePoint(const std::uint8_t* bytes) {
    return Point{static_cast<std::int32_t>(ReadU32(bytes)),
                 static_cast<std::int32_t>(ReadU32(bytes + 4))};
}

} // namespace pindrel::records
