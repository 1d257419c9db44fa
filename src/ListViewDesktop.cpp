#include "ListViewDesktop.h"

#include "AnsiText.h"
#include "DesktopRequest.h"
#include "Records.h"
#include "modDesktopViewMode.h"

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

namespace pindrel::modPindrel {

namespace {

// A slot of the record buffer holds an LVITEM of either form (or a POINT); one of the text buffer
// the 80 UTF-16 units a wide request may write (160 bytes, of which 80 are read back).
constexpr DWORD kRecordSlot = records::kLvItemMaxSize;
constexpr DWORD kTextSlot = 160;
constexpr DWORD kTextBytes = 80;
constexpr std::int32_t kTextMaxCharacters = 80;

RemoteAddr At(RemoteAddr base, std::int32_t slot, DWORD size) {
    return RemoteAddr{raw(base) + static_cast<std::uint64_t>(slot) * size};
}

// The shell view under the first top-level "WorkerW" window that holds one, in the order the
// platform lists them; 0 when none does.
Hwnd FindViewUnderWorkerW(WindowsApi& api) {
    for (Hwnd worker = api.FindWindowExA(Hwnd{0}, Hwnd{0}, "WorkerW", nullptr); worker != Hwnd{0};
         worker = api.FindWindowExA(Hwnd{0}, worker, "WorkerW", nullptr)) {
        const Hwnd view = api.FindWindowExA(worker, Hwnd{0}, "SHELLDLL_defVIEW", nullptr);
        if (view != Hwnd{0}) {
            return view;
        }
    }
    return Hwnd{0};
}

} // namespace

// Where "Progman" (or a top-level window) gives the shell view, these are the only three lookups.
Hwnd FindDesktopListView(WindowsApi& api) {
    const Hwnd progman = api.FindWindowA("Progman", nullptr);
    Hwnd view = api.FindWindowExA(progman, Hwnd{0}, "SHELLDLL_defVIEW", nullptr);
    if (view == Hwnd{0}) {
        view = FindViewUnderWorkerW(api);
    }
    return api.FindWindowExA(view, Hwnd{0}, "SysListView32", nullptr);
}

std::string TrimAtNul(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

std::u16string TrimAtNul(const std::u16string& text) {
    return text.substr(0, text.find(u'\0'));
}

std::int32_t GetItemCount(WindowsApi& api, Hwnd listView) {
    const LRESULT answer = DesktopRequest(api, listView, win::LVM_GETITEMCOUNT, 0, 0);
    // The count is an int in the low 32 bits of the answer.
    const auto count = static_cast<std::int32_t>(static_cast<std::uint32_t>(answer));
    if (count < 0 || count > kMostItems) {
        throw CountRefused(count);
    }
    return count;
}

void SetItemPosition(WindowsApi& api, Hwnd listView, std::int32_t index, std::int32_t x,
                     std::int32_t y) {
    if (!PacksIntoLParam(x, y)) {
        throw Failure(errors::kOverflow, "Overflow",
                      "item " + std::to_string(index) + " at " + std::to_string(x) + "," +
                          std::to_string(y));
    }
    const std::uint32_t lParam = (static_cast<std::uint32_t>(x) & 0xFFFFu) |
                                 ((static_cast<std::uint32_t>(y) & 0xFFFFu) << 16);
    DesktopRequest(api, listView, win::LVM_SETITEMPOSITION, static_cast<WPARAM>(index),
                   static_cast<LPARAM>(static_cast<std::int32_t>(lParam)));
}

bool IsAutoArrangeOn(WindowsApi& api, Hwnd listView) {
    const auto style = static_cast<DWORD>(api.GetWindowLongA(listView, win::GWL_STYLE));
    return (style & win::LVS_AUTOARRANGE) == win::LVS_AUTOARRANGE;
}

void ToggleAutoArrange(WindowsApi& api, Hwnd listView) {
    const Hwnd shellView = api.GetParent(listView);
    DesktopRequest(api, shellView, win::WM_COMMAND, win::kShellAutoArrangeCommand, 0);
}

namespace {
Pid OwnerOf(WindowsApi& api, Hwnd window) {
    Pid pid{};
    api.GetWindowThreadProcessId(window, &pid);
    return pid;
}
} // namespace

ListViewDesktop::ListViewDesktop(WindowsApi& api, Hwnd listView)
    : api_(api), listView_(listView), memory_(api, OwnerOf(api, listView), IsWindowsNT(api)) {}

template <typename Request> auto ListViewDesktop::Guarded(bool pointsIntoBuffers, Request request) {
    try {
        return request();
    } catch (const Failure& failure) {
        if (IsNoAnswer(failure)) {
            NotAnswering();
            if (pointsIntoBuffers) {
                memory_.Abandon();
            }
        }
        throw;
    }
}

bool ListViewDesktop::IsAutoArrangeOn() {
    return modPindrel::IsAutoArrangeOn(api_, listView_);
}

void ListViewDesktop::ToggleAutoArrange() {
    if (!Answering()) {
        // Taken, in turn, once the shell view answers again.
        api_.PostMessageA(api_.GetParent(listView_), win::WM_COMMAND, win::kShellAutoArrangeCommand,
                          0);
        return;
    }
    Guarded(false, [&] { modPindrel::ToggleAutoArrange(api_, listView_); });
}

std::int32_t ListViewDesktop::GetItemCount() {
    return Guarded(false, [&] { return modPindrel::GetItemCount(api_, listView_); });
}

Reach ListViewDesktop::ReadItemPositions(std::int32_t count, std::vector<Point>& table) {
    if (count <= 0 || table.size() < static_cast<std::size_t>(count)) {
        return Reach::Reached;
    }
    const RemoteAddr slots = memory_.Buffer(ListViewMemory::kRecords, kBatch * kRecordSlot);
    if (slots == RemoteAddr{0}) {
        return memory_.reach();
    }
    std::vector<std::uint8_t> read(kBatch * records::kPointSize);
    std::vector<bool> answered(kBatch);
    for (std::int32_t start = 0; start < count; start += kBatch) {
        const std::int32_t n = std::min(kBatch, count - start);
        for (std::int32_t k = 0; k < n; ++k) {
            answered[static_cast<std::size_t>(k)] = Guarded(true, [&] {
                return DesktopRequest(api_, listView_, win::LVM_GETITEMPOSITION,
                                      static_cast<WPARAM>(start + k),
                                      AddressParam(At(slots, k, records::kPointSize))) != 0;
            });
        }
        memory_.Read(slots, read.data(), static_cast<DWORD>(n) * records::kPointSize);
        for (std::int32_t k = 0; k < n; ++k) {
            const auto i = static_cast<std::size_t>(start + k);
            if (answered[static_cast<std::size_t>(k)]) {
                table[i] = records::DecodePoint(&read[static_cast<std::size_t>(k) * 8]);
            } else {
                table[i] = i == 0 ? Point{} : table[i - 1];
            }
        }
    }
    return Reach::Reached;
}

ItemNames ListViewDesktop::ReadItemNames(std::int32_t count) {
    ItemNames result;
    result.names.assign(static_cast<std::size_t>(std::max(count, 0)), std::string());
    if (count <= 0) {
        return result;
    }
    const bool nt = memory_.nt();
    const records::RecordForm form = memory_.Form();
    const RemoteAddr recordSlots = memory_.Buffer(ListViewMemory::kRecords, kBatch * kRecordSlot);
    const RemoteAddr textSlots = memory_.Buffer(ListViewMemory::kTexts, kBatch * kTextSlot);
    if (recordSlots == RemoteAddr{0} || textSlots == RemoteAddr{0}) {
        result.reach = memory_.reach();
        return result;
    }
    std::vector<std::uint8_t> records(kBatch * kRecordSlot);
    std::vector<std::uint8_t> texts(kBatch * kTextSlot);
    for (std::int32_t start = 0; start < count; start += kBatch) {
        const std::int32_t n = std::min(kBatch, count - start);
        for (std::int32_t k = 0; k < n; ++k) {
            records::LvItem item;
            // The shared-mapping request takes the index in wParam and no mask.
            item.mask = nt ? win::LVIF_TEXT : 0;
            item.iItem = nt ? start + k : 0;
            item.pszText = raw(At(textSlots, k, kTextSlot));
            item.cchTextMax = kTextMaxCharacters;
            const auto bytes = records::EncodeLvItem(item, form);
            std::copy(bytes.begin(), bytes.end(), records.begin() + k * kRecordSlot);
        }
        std::fill(texts.begin(), texts.end(), std::uint8_t{0});
        const auto recordBytes = static_cast<DWORD>(n) * kRecordSlot;
        const auto textBytes = static_cast<DWORD>(n) * kTextSlot;
        memory_.Write(recordSlots, records.data(), recordBytes);
        memory_.Write(textSlots, texts.data(), textBytes);
        for (std::int32_t k = 0; k < n; ++k) {
            const LPARAM record = AddressParam(At(recordSlots, k, kRecordSlot));
            Guarded(true, [&] {
                if (nt) {
                    DesktopRequest(api_, listView_, win::LVM_GETITEMW, 0, record);
                } else {
                    DesktopRequest(api_, listView_, win::LVM_GETITEMTEXTA,
                                   static_cast<WPARAM>(start + k), record);
                }
            });
        }
        memory_.Read(textSlots, texts.data(), textBytes);
        for (std::int32_t k = 0; k < n; ++k) {
            const std::uint8_t* text = &texts[static_cast<std::size_t>(k) * kTextSlot];
            std::string& name = result.names[static_cast<std::size_t>(start + k)];
            if (nt) {
                // The first 80 bytes are the first 40 UTF-16 code units; a longer text has no
                // NUL among them and comes back as exactly those 40 units.
                std::u16string wide(kTextBytes / 2, u'\0');
                for (std::size_t i = 0; i < wide.size(); ++i) {
                    wide[i] = static_cast<char16_t>(text[2 * i] | (text[2 * i + 1] << 8));
                }
                name = WideToAnsi(api_, TrimAtNul(wide));
            } else {
                name = TrimAtNul(std::string(reinterpret_cast<const char*>(text), kTextBytes));
            }
        }
    }
    return result;
}

void ListViewDesktop::MoveItems(const std::vector<ItemMove>& moves) {
    for (const ItemMove& move : moves) {
        Guarded(false, [&] { SetItemPosition(api_, listView_, move.index, move.to.x, move.to.y); });
    }
}

void ListViewDesktop::SetViewMode(DWORD viewCode) {
    Guarded(false, [&] { modDesktopViewMode::SetDesktopViewMode(api_, viewCode); });
}

} // namespace pindrel::modPindrel
