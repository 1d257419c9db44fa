#include "modPindrel.h"

#include "AnsiText.h"
#include "ContinueOnFailure.h"
#include "Conversions.h"
#include "DesktopRequest.h"
#include "LayoutFile.h"
#include "LayoutSource.h"
#include "PaintingHold.h"
#include "Records.h"
#include "modNames.h"

#include <array>
#include <cstring>
#include <limits>

namespace pindrel::modPindrel {

namespace {

// A buffer that the list view's process can reach, on either transport: memory committed inside
// that process (NT), or a view of a shared page-file mapping (other platforms). It is obtained in
// the constructor and released by Release() or, failing that, by the destructor.
class ReachableBuffer {
  public:
    ReachableBuffer(WindowsApi& api, bool nt, Pid processId, DWORD size)
        : api_(api), nt_(nt), size_(size) {
        address_ = nt_ ? AllocRemoteBuffer(api_, processId, size_, handle_)
                       : MapSharedBuffer(api_, size_, handle_);
    }
    ReachableBuffer(const ReachableBuffer&) = delete;
    ReachableBuffer& operator=(const ReachableBuffer&) = delete;
    ~ReachableBuffer() { Release(); }

    bool valid() const { return address_ != RemoteAddr{0}; }
    Reach reach() const {
        if (valid()) {
            return Reach::Reached;
        }
        return nt_ && handle_ == Handle{0} ? Reach::ProcessNotOpened : Reach::NoBuffer;
    }
    RemoteAddr address() const { return address_; }

    void Write(const void* data, DWORD size) {
        if (nt_) {
            api_.WriteProcessMemory(handle_, address_, data, size, nullptr);
        } else {
            api_.RtlMoveMemory(address_, data, size);
        }
    }

    void Read(void* data, DWORD size) {
        if (nt_) {
            api_.ReadProcessMemory(handle_, address_, data, size, nullptr);
        } else {
            api_.RtlMoveMemory(data, address_, size);
        }
    }

    // Releases what was obtained, and only that: no call is made with address or handle 0.
    void Release() {
        if (released_) {
            return;
        }
        released_ = true;
        if (nt_) {
            if (address_ != RemoteAddr{0}) {
                FreeRemoteBuffer(api_, handle_, address_, size_);
            } else if (handle_ != Handle{0}) {
                api_.CloseHandle(handle_);
            }
        } else {
            if (address_ != RemoteAddr{0}) {
                UnmapSharedBuffer(api_, handle_, address_);
            } else if (handle_ != Handle{0}) {
                api_.CloseHandle(handle_);
            }
        }
    }

  private:
    WindowsApi& api_;
    bool nt_;
    DWORD size_;
    Handle handle_{};
    RemoteAddr address_{};
    bool released_ = false;
};

constexpr DWORD kTextBufferBytes = 80;
constexpr std::int32_t kTextMaxCharacters = 80;

// An address in the list view's process as a message parameter. Every address passed here came
// from this program's own VirtualAllocEx or MapViewOfFile, which give a 32-bit program only
// addresses that fit its LPARAM; one that would not fit gives 0, which no request acts on.
LPARAM AddressParam(RemoteAddr address) {
    const std::uint64_t value = raw(address);
    if (value > std::numeric_limits<std::uintptr_t>::max()) {
        return 0;
    }
    return static_cast<LPARAM>(static_cast<std::uintptr_t>(value));
}

// The first of the two buffers' failures, or Reached.
Reach Worse(const ReachableBuffer& first, const ReachableBuffer& second) {
    return first.reach() != Reach::Reached ? first.reach() : second.reach();
}

std::string GetItemTextForeign(WindowsApi& api, Hwnd listView, std::int32_t index, Pid pid,
                               Reach& reach) {
    // The list view reads the record in the form of its own process.
    const records::RecordForm form = ListViewRecordForm(api, pid);
    const DWORD recordSize = records::Layout(form).size;
    ReachableBuffer record(api, true, pid, recordSize);
    ReachableBuffer text(api, true, pid, kTextBufferBytes);
    std::array<std::uint8_t, kTextBufferBytes> local{};
    reach = Worse(record, text);
    if (reach == Reach::Reached) {
        records::LvItem item;
        item.mask = win::LVIF_TEXT;
        item.iItem = index;
        item.pszText = raw(text.address());
        // The request is wide, so the list view may write up to 80 UTF-16 units (160 bytes)
        // behind pszText; the allocation is a whole page, which holds them.
        item.cchTextMax = kTextMaxCharacters;
        const auto bytes = records::EncodeLvItem(item, form);
        record.Write(bytes.data(), recordSize);
        text.Write(local.data(), kTextBufferBytes);
        DesktopRequest(api, listView, win::LVM_GETITEMW, 0, AddressParam(record.address()));
        text.Read(local.data(), kTextBufferBytes);
    }
    record.Release();
    text.Release();
    // The 80 bytes read back are the first 40 UTF-16 code units; a longer text has no NUL among
    // them and comes back as exactly those 40 units.
    std::u16string wide(kTextBufferBytes / 2, u'\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {
        wide[i] = static_cast<char16_t>(local[2 * i] | (local[2 * i + 1] << 8));
    }
    return WideToAnsi(api, TrimAtNul(wide));
}

// The shared-mapping path exists only on the non-NT Windows, which is 32-bit throughout: the
// record is always the 40-byte form.
std::string GetItemTextShared(WindowsApi& api, Hwnd listView, std::int32_t index, Pid pid,
                              Reach& reach) {
    constexpr records::RecordForm form = records::RecordForm::Bits32;
    const DWORD recordSize = records::Layout(form).size;
    ReachableBuffer record(api, false, pid, recordSize);
    ReachableBuffer text(api, false, pid, kTextBufferBytes);
    std::array<char, kTextBufferBytes> local{};
    reach = Worse(record, text);
    if (reach == Reach::Reached) {
        records::LvItem item;
        item.pszText = raw(text.address());
        item.cchTextMax = kTextMaxCharacters;
        const auto bytes = records::EncodeLvItem(item, form);
        record.Write(bytes.data(), recordSize);
        text.Write(local.data(), kTextBufferBytes);
        DesktopRequest(api, listView, win::LVM_GETITEMTEXTA, static_cast<WPARAM>(index),
                       AddressParam(record.address()));
        text.Read(local.data(), kTextBufferBytes);
    }
    record.Release();
    text.Release();
    return TrimAtNul(std::string(local.data(), local.size()));
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

records::RecordForm ListViewRecordForm(WindowsApi& api, Pid processId) {
    using records::RecordForm;
    const RecordForm own = api.IsProgram64Bit() ? RecordForm::Bits64 : RecordForm::Bits32;
    // A 32-bit program that is not itself under WOW64 runs on 32-bit Windows, where every process
    // is 32-bit.
    if (own == RecordForm::Bits32) {
        BOOL selfWow64 = 0;
        if (api.IsWow64Process(api.GetCurrentProcess(), &selfWow64) == 0 || selfWow64 == 0) {
            return own;
        }
    }
    // On 64-bit Windows the list view's process is 32-bit exactly when it runs under WOW64.
    const Handle process = api.OpenProcess(win::PROCESS_QUERY_LIMITED_INFORMATION, 0, processId);
    if (process == Handle{0}) {
        return own;
    }
    BOOL wow64 = 0;
    const BOOL answered = api.IsWow64Process(process, &wow64);
    api.CloseHandle(process);
    if (answered == 0) {
        return own;
    }
    return wow64 != 0 ? RecordForm::Bits32 : RecordForm::Bits64;
}

bool IsWindowsNT(WindowsApi& api) {
    OsVersionInfoA info;
    info.dwOSVersionInfoSize = sizeof info;
    return api.GetVersionExA(&info) != 0 && info.dwPlatformId == win::VER_PLATFORM_WIN32_NT;
}

RemoteAddr AllocRemoteBuffer(WindowsApi& api, Pid processId, DWORD size, Handle& process) {
    process = api.OpenProcess(
        win::PROCESS_VM_OPERATION | win::PROCESS_VM_READ | win::PROCESS_VM_WRITE, 0, processId);
    return api.VirtualAllocEx(process, RemoteAddr{0}, size, win::MEM_COMMIT | win::MEM_RESERVE,
                              win::PAGE_READWRITE);
}

void FreeRemoteBuffer(WindowsApi& api, Handle process, RemoteAddr address, DWORD /*size*/) {
    // MEM_RELEASE frees the whole allocation and demands a size of 0.
    api.VirtualFreeEx(process, address, 0, win::MEM_RELEASE);
    api.CloseHandle(process);
}

RemoteAddr MapSharedBuffer(WindowsApi& api, DWORD size, Handle& mapping) {
    mapping =
        api.CreateFileMappingA(kInvalidHandleValue, nullptr, win::PAGE_READWRITE, 0, size, nullptr);
    return api.MapViewOfFile(mapping, win::FILE_MAP_ALL_ACCESS, 0, 0, 0);
}

void UnmapSharedBuffer(WindowsApi& api, Handle mapping, RemoteAddr view) {
    api.UnmapViewOfFile(view);
    api.CloseHandle(mapping);
}

std::string TrimAtNul(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

std::u16string TrimAtNul(const std::u16string& text) {
    return text.substr(0, text.find(u'\0'));
}

std::string DescribeReach(Reach reach) {
    switch (reach) {
    case Reach::Reached:
        return "the request was made";
    case Reach::ProcessNotOpened:
        return "the process of the desktop window could not be opened";
    case Reach::NoBuffer:
        return "no memory could be had that the desktop window's process can reach";
    }
    return {};
}

std::string GetItemText(WindowsApi& api, Hwnd listView, std::int32_t index, Reach* reach) {
    Pid pid{};
    api.GetWindowThreadProcessId(listView, &pid);
    Reach ignored = Reach::Reached;
    Reach& outcome = reach != nullptr ? *reach : ignored;
    return IsWindowsNT(api) ? GetItemTextForeign(api, listView, index, pid, outcome)
                            : GetItemTextShared(api, listView, index, pid, outcome);
}

std::int32_t GetItemCount(WindowsApi& api, Hwnd listView) {
    const LRESULT answer = DesktopRequest(api, listView, win::LVM_GETITEMCOUNT, 0, 0);
    // The count is an int in the low 32 bits of the answer.
    const auto count = static_cast<std::int32_t>(static_cast<std::uint32_t>(answer));
    if (count < 0 || count > kMostItems) {
        throw Failure(errors::kOutOfMemory,
                      "The desktop window reports " + std::to_string(count) +
                          " icons, more than a desktop holds",
                      kDesktopWindows);
    }
    return count;
}

Reach ReadItemPositions(WindowsApi& api, Hwnd listView, Pid processId, std::int32_t count,
                        std::vector<Point>& table) {
    if (count <= 0 || table.size() < static_cast<std::size_t>(count)) {
        return Reach::Reached;
    }
    ReachableBuffer buffer(api, IsWindowsNT(api), processId, records::kPointSize);
    if (buffer.valid()) {
        // The buffer starts out as entry 0 and is not cleared between items.
        auto bytes = records::EncodePoint(table[0]);
        buffer.Write(bytes.data(), records::kPointSize);
        for (std::int32_t i = 0; i < count; ++i) {
            DesktopRequest(api, listView, win::LVM_GETITEMPOSITION, static_cast<WPARAM>(i),
                           AddressParam(buffer.address()));
            bytes = records::EncodePoint(table[static_cast<std::size_t>(i)]);
            buffer.Read(bytes.data(), records::kPointSize);
            table[static_cast<std::size_t>(i)] = records::DecodePoint(bytes.data());
        }
    }
    const Reach reach = buffer.reach();
    buffer.Release();
    return reach;
}

void SetItemPosition(WindowsApi& api, Hwnd listView, std::int32_t index, std::int32_t x,
                     std::int32_t y) {
    // The position must pack as the 32-bit number x + 65536 * y.
    const std::int64_t high = static_cast<std::int64_t>(y) * 65536;
    const std::int64_t packed = high + x;
    if (high < INT32_MIN || high > INT32_MAX || packed < INT32_MIN || packed > INT32_MAX) {
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

std::int32_t CapturePositions(WindowsApi& api, ProgramState& state, Reach* reach) {
    const Hwnd listView = FindDesktopListView(api);
    if (listView == Hwnd{0}) {
        return 0;
    }
    // Before the count: auto-arrange goes off even on an empty desktop.
    if (IsAutoArrangeOn(api, listView)) {
        state.autoArrangeFlag = true;
        ToggleAutoArrange(api, listView);
    }
    Pid pid{};
    api.GetWindowThreadProcessId(listView, &pid);
    const std::int32_t count = GetItemCount(api, listView);
    if (count <= 0) {
        return 0;
    }
    state.positions.assign(static_cast<std::size_t>(count), Point{});
    const Reach outcome = ReadItemPositions(api, listView, pid, count, state.positions);
    if (reach != nullptr) {
        *reach = outcome;
    }
    return count;
}

RestoreReport RestoreLayout(WindowsApi& api, Runtime& runtime, ProgramState& state) {
    std::u16string path;
    ContinueOnFailure([&] {
        const std::u16string user = modNames::GetUserNameString(api);
        const std::u16string computer = modNames::GetComputerNameString(api);
        path = LayoutFilePath(runtime, user, computer);
    });
    FileSource file(runtime, path);
    LayoutLines lines(file);
    return RestoreLayout(api, state, lines);
}

namespace {

// Puts item k (0 <= k < count) where the layout lines name it, or at the placement cursor.
void PlaceItems(WindowsApi& api, const ProgramState& state, Hwnd listView, std::int32_t count,
                LayoutLines& lines, RestoreReport& report) {
    std::int32_t cursorX = state.startX;
    std::int32_t cursorY = state.startY;
    // One forward pass over the lines for all items: the search for an item starts where the
    // previous one stopped, so each line is read and parsed at most once per restore.
    LayoutEntry match;
    for (std::int32_t k = 0; k < count; ++k) {
        ++report.items;
        std::string name;
        ContinueUnlessNoAnswer([&] { name = Trim(GetItemText(api, listView, k)); });

        bool found = false;
        while (lines.Next(match)) {
            ++report.linesParsed;
            if (match.candidate && !match.nameTooLong && match.name == name) {
                found = true;
                break;
            }
        }

        if (found && !name.empty()) {
            // A line whose position does not convert or does not pack leaves the item where it
            // is, and the cursor where it is.
            ContinueUnlessNoAnswer([&] {
                const std::int32_t x = TextToLong(match.x);
                const std::int32_t y = TextToLong(match.y);
                SetItemPosition(api, listView, k, x, y);
                ++report.fromFile;
            });
        } else {
            ContinueUnlessNoAnswer([&] {
                SetItemPosition(api, listView, k, cursorX, cursorY);
                ++report.fromCursor;
            });
            // The cursor advances even when the move was refused; an addition that would leave
            // the 32-bit range leaves that coordinate as it was.
            const std::int64_t nextX = static_cast<std::int64_t>(cursorX) + state.deltaX;
            const std::int64_t nextY = static_cast<std::int64_t>(cursorY) + state.deltaY;
            if (nextX >= INT32_MIN && nextX <= INT32_MAX) {
                cursorX = static_cast<std::int32_t>(nextX);
            }
            if (nextY >= INT32_MIN && nextY <= INT32_MAX) {
                cursorY = static_cast<std::int32_t>(nextY);
            }
        }
    }
}

} // namespace

RestoreReport RestoreLayout(WindowsApi& api, ProgramState& state, std::string_view layoutText) {
    TextSource text(layoutText);
    LayoutLines lines(text);
    return RestoreLayout(api, state, lines);
}

RestoreReport RestoreLayout(WindowsApi& api, ProgramState& state, LayoutLines& lines) {
    RestoreReport report;
    Hwnd listView{};
    ContinueOnFailure([&] { listView = FindDesktopListView(api); });
    report.listViewFound = listView != Hwnd{0};

    // A desktop that does not answer stops the restore at the request that waited for it; the
    // painting and auto-arrange are put back all the same (each request under the same limit).
    auto stopsUnanswered = [&report](auto&& step) {
        if (report.unanswered) {
            return false;
        }
        try {
            ContinueUnlessNoAnswer(step);
            return true;
        } catch (const Failure& failure) {
            report.unanswered = failure;
            return false;
        }
    };
    stopsUnanswered([&] { CapturePositions(api, state); });

    std::int32_t count = 0;
    stopsUnanswered([&] {
        try {
            count = GetItemCount(api, listView);
        } catch (const Failure& failure) {
            if (IsNoAnswer(failure)) {
                throw;
            }
            report.countRefused = failure;
        }
    });

    if (!report.countRefused && !report.unanswered) {
        // The list view paints once, after the last move, instead of after each one. Its
        // painting is on again when the hold ends here, however the moves went.
        PaintingHold hold(api, listView);
        if (count > 0) {
            stopsUnanswered([&] { hold.Engage(); });
        }
        stopsUnanswered([&] {
            try {
                PlaceItems(api, state, listView, count, lines, report);
            } catch (const Failure& failure) {
                if (IsNoAnswer(failure)) {
                    throw;
                }
                report.layoutUnreadable = failure;
            }
        });
    }

    if (state.autoArrangeFlag) {
        ContinueOnFailure([&] { ToggleAutoArrange(api, listView); });
    }
    return report;
}

} // namespace pindrel::modPindrel
