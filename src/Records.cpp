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

namespace {

void WritePointer(std::uint8_t* bytes, std::uint64_t value, std::size_t size) {
    WriteU32(bytes, static_cast<std::uint32_t>(value));
    if (size == 8) {
        WriteU32(bytes + 4, static_cast<std::uint32_t>(value >> 32));
    }
}

} // namespace

std::array<std::uint8_t, kLvItemMaxSize> EncodeLvItem(const LvItem& item, RecordForm form) {
    const LvItemLayout& at = Layout(form);
    std::array<std::uint8_t, kLvItemMaxSize> bytes{};
    WriteU32(&bytes[at.mask], item.mask);
    WriteU32(&bytes[at.item], static_cast<std::uint32_t>(item.iItem));
    WriteU32(&bytes[at.subItem], static_cast<std::uint32_t>(item.iSubItem));
    WriteU32(&bytes[at.state], item.state);
    WriteU32(&bytes[at.stateMask], item.stateMask);
    WritePointer(&bytes[at.text], item.pszText, at.pointerSize);
    WriteU32(&bytes[at.textMax], static_cast<std::uint32_t>(item.cchTextMax));
    WriteU32(&bytes[at.image], static_cast<std::uint32_t>(item.iImage));
    WritePointer(&bytes[at.param], item.lParam, at.pointerSize);
    WriteU32(&bytes[at.indent], static_cast<std::uint32_t>(item.iIndent));
    return bytes;
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
