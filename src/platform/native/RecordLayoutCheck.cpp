// The item record's byte layout, as the portable code encodes it, checked against the SDK's own
// LVITEMW for the form of this build: 40 bytes in the 32-bit build, 56 in the 64-bit one. The
// other form cannot be checked here; the other build checks it.
#include "Records.h"

#include <cstddef>

#include <windows.h>

#include <commctrl.h>

namespace pindrel::records {

#ifdef _WIN64
constexpr const LvItemLayout& kOwn = kLvItem64;
#else
constexpr const LvItemLayout& kOwn = kLvItem32;
#endif

// The record ends with iIndent: the later fields (groups, columns) are left out of the request, as
// the list view allows. Its size is that end, padded to the struct's alignment.
constexpr std::size_t kSdkSize = (offsetof(LVITEMW, iIndent) + sizeof(int) + alignof(LVITEMW) - 1) /
                                 alignof(LVITEMW) * alignof(LVITEMW);
static_assert(kSdkSize == kOwn.size, "LVITEM size");
static_assert(offsetof(LVITEMW, mask) == kOwn.mask, "LVITEM.mask");
static_assert(offsetof(LVITEMW, iItem) == kOwn.item, "LVITEM.iItem");
static_assert(offsetof(LVITEMW, iSubItem) == kOwn.subItem, "LVITEM.iSubItem");
static_assert(offsetof(LVITEMW, state) == kOwn.state, "LVITEM.state");
static_assert(offsetof(LVITEMW, stateMask) == kOwn.stateMask, "LVITEM.stateMask");
static_assert(offsetof(LVITEMW, pszText) == kOwn.text, "LVITEM.pszText");
static_assert(sizeof(LVITEMW::pszText) == kOwn.pointerSize, "LVITEM.pszText width");
static_assert(offsetof(LVITEMW, cchTextMax) == kOwn.textMax, "LVITEM.cchTextMax");
static_assert(offsetof(LVITEMW, iImage) == kOwn.image, "LVITEM.iImage");
static_assert(offsetof(LVITEMW, lParam) == kOwn.param, "LVITEM.lParam");
static_assert(sizeof(LVITEMW::lParam) == kOwn.pointerSize, "LVITEM.lParam width");
static_assert(offsetof(LVITEMW, iIndent) == kOwn.indent, "LVITEM.iIndent");
static_assert(sizeof(POINT) == kPointSize, "POINT");
static_assert(sizeof(STYLESTRUCT) == 8, "STYLESTRUCT");

} // namespace pindrel::records
