#include "platform/sim/SimListView.h"

#include "platform/sim/SimCodePage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace pindrel::sim {

using namespace pindrel::win;

namespace {

// LVITEM in either form. The fields before pszText sit alike in both.
struct LvItemForm {
    std::uint64_t size, text, textSize, textMax;
};
constexpr LvItemForm kLvItem32{40, 20, 4, 24};
constexpr LvItemForm kLvItem64{56, 24, 8, 32};
constexpr std::uint64_t kLvItemMask = 0;
constexpr std::uint64_t kLvItemIndex = 4;
constexpr std::uint64_t kLvItemSubItem = 8;
constexpr std::uint64_t kPointSize = 8;

// The list view's arrangement: a grid filled column by column, 75 pixels apart.
constexpr std::int32_t kGridStep = 75;
constexpr std::int32_t kGridOrigin = 10;

std::uint32_t Get32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint64_t Get64(const std::uint8_t* p) {
    return Get32(p) | static_cast<std::uint64_t>(Get32(p + 4)) << 32;
}

void Put32(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

bool Valid(const SimWindow& lv, std::int64_t i) {
    return i >= 0 && i < static_cast<std::int64_t>(lv.items.size());
}

// The record's text buffer: its address and its size in characters.
struct TextBuffer {
    std::uint64_t address;
    std::int32_t max;
};
TextBuffer TextOf(const std::uint8_t* record, const LvItemForm& form) {
    return {form.textSize == 8 ? Get64(record + form.text) : Get32(record + form.text),
            static_cast<std::int32_t>(Get32(record + form.textMax))};
}

} // namespace

LRESULT SimListView::Handle(Hwnd window, SimWindow& w, UINT message, WPARAM wParam, LPARAM lParam) {
    message_ = message;
    // DefWindowProc turns any window's painting off and on.
    if (message == WM_SETREDRAW) {
        w.SetPainting(wParam != 0);
        return 0;
    }
    if (w.IsListView())
        return ListViewMessage(w, message, wParam, lParam);
    if (w.IsShellView())
        return ShellViewMessage(window, message, wParam);
    return 0;
}

// Memory a request points at, resolved in the list view's own process; shared views are visible
// there only on the non-NT platforms.
std::uint8_t* SimListView::Memory(const SimWindow& lv, std::uint64_t address, std::uint64_t length,
                                  bool write) {
    std::uint8_t* bytes = memory_.ProcessBytes(lv.owner, address, length, !system_.Nt());
    if (!bytes) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "list view %s outside any allocation at %s (%llu bytes, message 0x%04X)",
                      write ? "write" : "read", Hex(address).c_str(),
                      static_cast<unsigned long long>(length), message_);
        log_.Fault(text);
    }
    return bytes;
}

void SimListView::Arrange(SimWindow& lv) const {
    const auto heightPixels = static_cast<std::int32_t>(system_.heightTwips / system_.tppY);
    const std::int32_t rows = std::max(1, heightPixels / kGridStep);
    for (std::size_t i = 0; i < lv.items.size(); ++i) {
        const auto index = static_cast<std::int32_t>(i);
        lv.items[i].position = Point{kGridOrigin + (index / rows) * kGridStep,
                                     kGridOrigin + (index % rows) * kGridStep};
    }
    lv.Changed();
}

LRESULT SimListView::ListViewMessage(SimWindow& lv, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto index = static_cast<std::int32_t>(static_cast<std::uint32_t>(wParam));
    // lParam is an address in the list view's process. A 32-bit list view sees 32 bits; a 32-bit
    // sender's LPARAM is sign-extended on its way to a 64-bit list view.
    const bool lv64 = memory_.Bits(lv.owner) == 64;
    const auto low = static_cast<std::uint32_t>(lParam);
    const std::uint64_t lAddress =
        !lv64 ? low
        : memory_.Program32()
            ? static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<std::int32_t>(low)))
            : static_cast<std::uint64_t>(lParam);
    switch (message) {
    case LVM_GETITEMCOUNT:
        return lv.reportedCount ? *lv.reportedCount : static_cast<LRESULT>(lv.items.size());
    case LVM_GETVIEW:
        return static_cast<LRESULT>(lv.view);
    case LVM_GETITEMW:
        return GetItemW(lv, lAddress);
    case LVM_GETITEMTEXTA:
        return GetItemTextA(lv, index, lAddress);
    case LVM_GETITEMPOSITION: { // wParam index, lParam -> POINT
        if (!Valid(lv, index))
            return 0;
        std::uint8_t* out = Memory(lv, lAddress, kPointSize, true);
        if (!out)
            return 0;
        const Point p = lv.items[static_cast<std::size_t>(index)].position;
        Put32(out, static_cast<std::uint32_t>(p.x));
        Put32(out + 4, static_cast<std::uint32_t>(p.y));
        return 1;
    }
    case LVM_SETITEMPOSITION: { // wParam index, lParam = MAKELPARAM(x, y), signed words
        if (!Valid(lv, index))
            return 0;
        // With auto-arrange on, the list view puts the item straight back into its place.
        if (lv.remembered & LVS_AUTOARRANGE)
            return 1;
        const auto packed = static_cast<std::uint32_t>(lParam);
        lv.items[static_cast<std::size_t>(index)].position = Point{
            static_cast<std::int16_t>(packed & 0xFFFF), static_cast<std::int16_t>(packed >> 16)};
        lv.Changed();
        return 1;
    }
    case WM_STYLECHANGED:
        return StyleChanged(lv, wParam, lParam);
    default:
        return 0;
    }
}

// lParam -> LVITEM naming the item; its text comes back as UTF-16, cut to cchTextMax - 1
// characters. Nothing is written for an unknown item or without LVIF_TEXT.
LRESULT SimListView::GetItemW(SimWindow& lv, std::uint64_t address) {
    const LvItemForm& form = memory_.Bits(lv.owner) == 64 ? kLvItem64 : kLvItem32;
    const std::uint8_t* record = Memory(lv, address, form.size, false);
    if (!record)
        return 0;
    const auto item = static_cast<std::int32_t>(Get32(record + kLvItemIndex));
    if (!Valid(lv, item))
        return 0;
    const TextBuffer buffer = TextOf(record, form);
    if ((Get32(record + kLvItemMask) & LVIF_TEXT) && buffer.max > 0) {
        const std::u16string text = Get32(record + kLvItemSubItem) == 0
                                        ? lv.items[static_cast<std::size_t>(item)].text
                                        : std::u16string();
        const std::size_t n =
            std::min<std::size_t>(text.size(), static_cast<std::size_t>(buffer.max - 1));
        // Without a NUL: every one of the buffer's characters, the text's and then 'x's.
        const std::size_t units = lv.textsWithoutNul ? static_cast<std::size_t>(buffer.max) : n + 1;
        std::uint8_t* out = Memory(lv, buffer.address, 2 * units, true);
        if (!out)
            return 0;
        for (std::size_t i = 0; i < units; ++i) {
            const char16_t unit = i < n ? text[i] : lv.textsWithoutNul ? u'x' : u'\0';
            out[2 * i] = static_cast<std::uint8_t>(unit & 0xFF);
            out[2 * i + 1] = static_cast<std::uint8_t>(unit >> 8);
        }
    }
    return 1;
}

// wParam index, lParam -> LVITEM; the text in the ANSI code page, and its length as the answer.
LRESULT SimListView::GetItemTextA(SimWindow& lv, std::int32_t index, std::uint64_t address) {
    if (!Valid(lv, index))
        return 0;
    const LvItemForm& form = memory_.Bits(lv.owner) == 64 ? kLvItem64 : kLvItem32;
    const std::uint8_t* record = Memory(lv, address, form.size, false);
    if (!record)
        return 0;
    const TextBuffer buffer = TextOf(record, form);
    if (buffer.max <= 0)
        return 0;
    const std::string text = Get32(record + kLvItemSubItem) == 0
                                 ? Utf16ToCp1252(lv.items[static_cast<std::size_t>(index)].text)
                                 : std::string();
    const std::size_t n =
        std::min<std::size_t>(text.size(), static_cast<std::size_t>(buffer.max - 1));
    const std::size_t bytes = lv.textsWithoutNul ? static_cast<std::size_t>(buffer.max) : n + 1;
    std::uint8_t* out = Memory(lv, buffer.address, bytes, true);
    if (!out)
        return 0;
    std::memcpy(out, text.data(), n);
    std::memset(out + n, lv.textsWithoutNul ? 'x' : 0, bytes - n);
    return static_cast<LRESULT>(lv.textsWithoutNul ? bytes : n);
}

// The platform copies the STYLESTRUCT across processes, so lParam is the sender's own pointer.
// Like comctl32, the list view compares styleNew with the style it last took note of, and takes
// its view from the view bits when they differ between old and new.
LRESULT SimListView::StyleChanged(SimWindow& lv, WPARAM wParam, LPARAM lParam) {
    if (wParam != static_cast<WPARAM>(static_cast<std::intptr_t>(GWL_STYLE)))
        return 0;
    if (lParam == 0) {
        log_.Fault("WM_STYLECHANGED without a STYLESTRUCT (lParam 0)");
        return 0;
    }
    const StyleStruct change = *reinterpret_cast<const StyleStruct*>(lParam);
    if (change.styleNew == lv.remembered)
        return 0;
    lv.remembered = change.styleNew;
    if ((change.styleOld ^ change.styleNew) & LVS_TYPEMASK) {
        lv.view = change.styleNew & LVS_TYPEMASK;
        ++lv.viewChanges;
        Arrange(lv);
    }
    return 0;
}

void SimListView::ShowView(SimWindow& lv, DWORD view) const {
    if (lv.view == view)
        return;
    lv.view = view;
    ++lv.viewChanges;
    Arrange(lv);
}

// The shell view's auto-arrange command flips LVS_AUTOARRANGE of its list view, with
// SetWindowLong as the real shell does, so both the window style and the list view's own note
// of it change; switching it on arranges the items.
LRESULT SimListView::ShellViewMessage(Hwnd view, UINT message, WPARAM wParam) {
    if (message != WM_COMMAND || (wParam & 0xFFFF) != kShellAutoArrangeCommand)
        return 0;
    SimWindow* lv = windows_.Find(windows_.Search(view, Hwnd{}, kListViewClass, nullptr));
    if (!lv)
        return 0;
    lv->style ^= LVS_AUTOARRANGE;
    lv->remembered = (lv->remembered & ~LVS_AUTOARRANGE) | (lv->style & LVS_AUTOARRANGE);
    if (lv->remembered & LVS_AUTOARRANGE)
        Arrange(*lv);
    return 0;
}

} // namespace pindrel::sim
