// The simulated Windows session. See SimSession.h for what it promises; the comments here explain
// how each piece is modelled.
#include "platform/sim/SimSession.h"

#include "platform/sim/SimIni.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace pindrel::sim {

namespace fs = std::filesystem;
using namespace pindrel::win;

namespace {

// Memory: pages are committed whole, and every allocation or view starts on a 64 KiB boundary,
// as on Windows. A 32-bit process's allocations lie below 2 GiB, and so do those a 32-bit (WOW64)
// program makes in a 64-bit process; a 64-bit program's allocations in a 64-bit process lie above
// 4 GiB, so that an address cut to 32 bits points at nothing. The shared arena (where page-file
// mapping views appear on the non-NT Windows) lies above 2 GiB.
constexpr std::uint64_t kPageSize = 0x1000;
constexpr std::uint64_t kGranularity = 0x10000;
constexpr std::uint64_t kProcessLow = 0x00100000;
constexpr std::uint64_t kProcessHigh = 0x7FFF0000;
constexpr std::uint64_t kHighLow = 0x000001F000000000;
constexpr std::uint64_t kHighHigh = 0x000007FFFFFF0000;
constexpr std::uint64_t kSharedLow = 0x80000000;
constexpr std::uint64_t kSharedHigh = 0xC0000000;

// Ids: window handles, process ids (a process's main thread has the id after it) and kernel
// handles. Kernel handles are never reused, so a closed handle stays invalid.
constexpr std::uint32_t kFirstWindow = 0x00010010;
constexpr std::uint32_t kWindowStep = 0x10;
constexpr std::uint32_t kSelfPid = 0x04D0;
constexpr std::uint32_t kFirstOtherPid = 0x0600;
constexpr std::uint32_t kFirstHandle = 0x44;

// LVITEM as the list view decodes it, in the form of its own process: 40 bytes with a 4-byte
// pszText at 20 (32-bit), or 56 bytes with an 8-byte pszText at 24 (64-bit). The fields before
// pszText sit alike in both.
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

constexpr const char* kListViewClass = "SysListView32";
constexpr const char* kShellViewClass = "SHELLDLL_DefView";

// Windows-1252 characters 0x80..0x9F. The five bytes the code page leaves undefined map to the
// control characters of the same number, as Windows maps them.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::uint64_t RoundUp(std::uint64_t n, std::uint64_t unit) {
    return (n + unit - 1) / unit * unit;
}

std::string Hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(value));
    return text;
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = Lower(c);
    return text;
}

bool SameText(const std::string& a, const std::string& b) {
    return Lower(a) == Lower(b);
}

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

void CopyName(const std::string& name, char* buffer) {
    std::memcpy(buffer, name.c_str(), name.size() + 1);
}

// Places a block of `size` bytes in [low, high) among `blocks` (keyed by base address), next-fit:
// addresses go upwards from `cursor` and are reused only after the range has been used up once,
// so a stale address usually points at nothing. `sizeOf` gives a block's size.
template <typename Blocks, typename SizeOf>
std::optional<std::uint64_t> Place(const Blocks& blocks, std::uint64_t& cursor, std::uint64_t low,
                                   std::uint64_t high, std::uint64_t size, SizeOf sizeOf) {
    const std::uint64_t span = RoundUp(size, kGranularity);
    for (int pass = 0; pass < 2; ++pass) {
        std::uint64_t at = pass == 0 ? std::max(cursor, low) : low;
        while (at + span <= high) {
            auto next = blocks.lower_bound(at);
            if (next != blocks.begin()) {
                auto prev = std::prev(next);
                const std::uint64_t prevEnd =
                    prev->first + RoundUp(sizeOf(prev->second), kGranularity);
                if (prevEnd > at) {
                    at = prevEnd;
                    continue;
                }
            }
            if (next == blocks.end() || next->first >= at + span) {
                cursor = at + span;
                return at;
            }
            at = next->first + RoundUp(sizeOf(next->second), kGranularity);
        }
    }
    return std::nullopt;
}

Failure FileFailure(int number, const std::string& path) {
    switch (number) {
    case errors::kBadFileName:
        return Failure(number, "Bad file name or number", path);
    case errors::kFileNotFound:
        return Failure(number, "File not found", path);
    case errors::kDeviceIo:
        return Failure(number, "Device I/O error", path);
    case errors::kDiskFull:
        return Failure(number, "Disk full", path);
    case errors::kPermissionDenied:
        return Failure(number, "Permission denied", path);
    case errors::kPathNotFound:
        return Failure(number, "Path not found", path);
    default:
        return Failure(errors::kPathFileAccess, "Path/File access error", path);
    }
}

std::optional<std::string> ReadHostFile(const fs::path& host) {
    std::ifstream in(host, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool WriteHostFile(const fs::path& host, const std::string& bytes) {
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

int& DefaultBits() {
    static int bits = sizeof(void*) == 8 ? 64 : 32;
    return bits;
}

} // namespace

void SetDefaultProgramBits(int bits) {
    if (bits != 32 && bits != 64)
        throw std::invalid_argument("SetDefaultProgramBits: 32 or 64");
    DefaultBits() = bits;
}

int DefaultProgramBits() {
    return DefaultBits();
}

// ---- the session's state ------------------------------------------------------------------------

struct SimSession::Impl {
    struct Process {
        int bits = 64;
        std::map<std::uint64_t, std::vector<std::uint8_t>> memory; // committed allocations by base
        std::uint64_t lowCursor = kProcessLow; // next-fit cursors below 2 GiB and above 4 GiB
        std::uint64_t highCursor = kHighLow;
    };
    struct Window {
        std::string className;
        Hwnd parent{};
        Pid owner{};
        DWORD style = 0; // what GetWindowLongA(GWL_STYLE) gives
        bool alive = true;
        int destroyAfter = 0; // requests left before the window goes; 0: not armed
        // A list view's own state: the style it last took note of, its view, its items.
        DWORD remembered = 0;
        DWORD view = 0;
        int viewChanges = 0;
        std::vector<SimItem> items;
    };
    enum class Kind { Process, Mapping };
    struct KernelObject {
        Kind kind = Kind::Process;
        Pid pid{};                 // process handles
        DWORD access = 0;          // process handles
        std::uint32_t mapping = 0; // mapping handles
    };
    struct Mapping {
        std::vector<std::uint8_t> bytes;
        int handles = 0;
        int views = 0;
    };
    struct View {
        std::uint32_t mapping = 0;
        std::uint64_t offset = 0;
        std::uint64_t size = 0;
    };
    struct OpenFile {
        fs::path host;
        std::string path;
        std::ofstream out;
    };

    fs::path root;
    std::string user = "USER1";
    std::string computer = "DESK1";
    DWORD platformId = VER_PLATFORM_WIN32_NT;
    int windowsBits = 64;
    int programBits = 64;
    bool wow64Missing = false;
    bool queryRefused = false;
    bool versionFails = false;
    float widthTwips = 1024 * 15.0f, heightTwips = 768 * 15.0f, tppX = 15.0f, tppY = 15.0f;
    std::string executable;
    std::string commandLine;

    std::map<std::uint32_t, Process> processes;
    std::uint32_t nextPid = kFirstOtherPid;
    std::deque<Window> windows; // index i is window kFirstWindow + i * kWindowStep
    std::map<std::uint64_t, KernelObject> handles;
    std::uint64_t nextHandle = kFirstHandle;
    std::map<std::uint32_t, Mapping> mappings;
    std::uint32_t nextMapping = 1;
    std::map<std::uint64_t, View> views; // by base address in the shared arena
    std::uint64_t viewCursor = kSharedLow;

    std::vector<SimCall> calls;
    std::vector<std::string> faults;
    bool openRefused = false;
    int failAllocations = 0;
    int failMappings = 0;
    std::function<void(const SimCall&)> hook;

    std::map<int, OpenFile> files;
    std::set<std::string> readOnly; // Key() of read-only files and folders
    std::set<std::string> locked;
    long long diskSpace = -1;

    void Log(const char* function, std::uint64_t wParam = 0, std::int64_t lParam = 0,
             std::string detail = {}) {
        calls.push_back(SimCall{function, Hwnd{}, 0, wParam, lParam, std::move(detail)});
    }

    bool Nt() const { return platformId == VER_PLATFORM_WIN32_NT; }
    bool Program32() const { return programBits == 32; }

    // A 32-bit program cannot hold a value beyond 32 bits: one that reaches the platform from it
    // means the core computed it wrongly (a real 32-bit build would have cut it).
    void CheckProgramValue(const char* function, std::uint64_t value) {
        if (Program32() && value > 0xFFFFFFFFu && value < 0xFFFFFFFF80000000u)
            faults.push_back(std::string(function) + ": a 32-bit program passed " + Hex(value));
    }

    // ---- windows ----
    Window* Find(Hwnd window) {
        const std::uint32_t value = raw(window);
        if (value < kFirstWindow || (value - kFirstWindow) % kWindowStep != 0)
            return nullptr;
        const std::size_t index = (value - kFirstWindow) / kWindowStep;
        if (index >= windows.size() || !windows[index].alive)
            return nullptr;
        return &windows[index];
    }
    const Window* Find(Hwnd window) const { return const_cast<Impl*>(this)->Find(window); }

    // For the test-facing set-up functions: misuse is a bug in the test, not a Windows failure.
    Window& Need(Hwnd window, bool listView) {
        Window* w = Find(window);
        if (!w || (listView && !SameText(w->className, kListViewClass)))
            throw std::invalid_argument(
                "SimSession: " + Hex(raw(window)) +
                (listView ? " is not a live list view" : " is not a live window"));
        return *w;
    }

    Hwnd HandleOf(const Window& w) const {
        for (std::size_t i = 0; i < windows.size(); ++i) {
            if (&windows[i] == &w)
                return Hwnd{static_cast<std::uint32_t>(kFirstWindow + i * kWindowStep)};
        }
        return Hwnd{};
    }

    void Destroy(Hwnd window) {
        Window* w = Find(window);
        if (!w)
            return;
        w->alive = false;
        for (std::size_t i = 0; i < windows.size(); ++i) {
            if (windows[i].alive && windows[i].parent == window)
                Destroy(Hwnd{static_cast<std::uint32_t>(kFirstWindow + i * kWindowStep)});
        }
    }

    // FindWindowExA's search: the live children of `parent` (top-level windows for 0), in
    // creation order, after `after`.
    Hwnd Search(Hwnd parent, Hwnd after, const char* className, const char* windowName) {
        if (raw(parent) != 0 && !Find(parent))
            return Hwnd{};
        std::size_t start = 0;
        if (raw(after) != 0) {
            const Window* a = Find(after);
            if (!a || a->parent != parent)
                return Hwnd{};
            start = (raw(after) - kFirstWindow) / kWindowStep + 1;
        }
        for (std::size_t i = start; i < windows.size(); ++i) {
            const Window& w = windows[i];
            // Windows in the simulation have no titles: only "" matches a given title.
            if (w.alive && w.parent == parent && (!className || SameText(w.className, className)) &&
                (!windowName || *windowName == '\0'))
                return Hwnd{static_cast<std::uint32_t>(kFirstWindow + i * kWindowStep)};
        }
        return Hwnd{};
    }

    // ---- memory ----
    std::uint8_t* ViewBytes(std::uint64_t address, std::uint64_t length) {
        auto it = views.upper_bound(address);
        if (address == 0 || it == views.begin())
            return nullptr;
        --it;
        if (address < it->first || address + length > it->first + std::uint64_t{it->second.size})
            return nullptr;
        return mappings.at(it->second.mapping).bytes.data() + it->second.offset +
               (address - it->first);
    }

    // The bytes [address, address + length) as process `pid` reaches them: inside one of its own
    // allocations, or (when `shared`) inside one live view of the shared arena. nullptr otherwise.
    std::uint8_t* ProcessBytes(Pid pid, std::uint64_t address, std::uint64_t length, bool shared) {
        if (address == 0)
            return nullptr;
        auto process = processes.find(raw(pid));
        if (process != processes.end()) {
            auto& memory = process->second.memory;
            auto it = memory.upper_bound(address);
            if (it != memory.begin()) {
                --it;
                if (address + length <= it->first + std::uint64_t{it->second.size()})
                    return it->second.data() + (address - it->first);
            }
        }
        return shared ? ViewBytes(address, length) : nullptr;
    }

    // A process handle that is open and grants all of `access`.
    KernelObject* ProcessHandle(Handle handle, DWORD access) {
        auto it = handles.find(raw(handle));
        if (it == handles.end() || it->second.kind != Kind::Process ||
            (it->second.access & access) != access || !processes.count(raw(it->second.pid)))
            return nullptr;
        return &it->second;
    }

    void ReleaseMappingIfUnused(std::uint32_t id) {
        auto it = mappings.find(id);
        if (it != mappings.end() && it->second.handles == 0 && it->second.views == 0)
            mappings.erase(it);
    }

    // ---- the list view and the shell view ----
    // Memory a list-view request points at, resolved in the list view's own process; shared views
    // are visible there only on the non-NT platforms. Outside it, real Windows would crash the
    // shell: record a fault and give nullptr so that the request touches nothing.
    std::uint8_t* ListViewMemory(const Window& lv, std::uint64_t address, std::uint64_t length,
                                 bool write, UINT message) {
        std::uint8_t* bytes = ProcessBytes(lv.owner, address, length, !Nt());
        if (!bytes) {
            char text[160];
            std::snprintf(text, sizeof text,
                          "list view %s outside any allocation at %s (%llu bytes, message 0x%04X)",
                          write ? "write" : "read", Hex(address).c_str(),
                          static_cast<unsigned long long>(length), message);
            faults.push_back(text);
        }
        return bytes;
    }

    void Arrange(Window& lv) {
        const auto heightPixels = static_cast<std::int32_t>(heightTwips / tppY);
        const std::int32_t rows = std::max(1, heightPixels / kGridStep);
        for (std::size_t i = 0; i < lv.items.size(); ++i) {
            const auto index = static_cast<std::int32_t>(i);
            lv.items[i].position = Point{kGridOrigin + (index / rows) * kGridStep,
                                         kGridOrigin + (index % rows) * kGridStep};
        }
    }

    LRESULT ListViewMessage(Window& lv, UINT message, WPARAM wParam, LPARAM lParam) {
        const auto index = static_cast<std::int32_t>(static_cast<std::uint32_t>(wParam));
        // lParam is an address in the list view's process. A 32-bit list view sees 32 bits; a
        // 32-bit sender's LPARAM is sign-extended on its way to a 64-bit list view.
        const bool lv64 = processes.at(raw(lv.owner)).bits == 64;
        const auto low = static_cast<std::uint32_t>(lParam);
        const std::uint64_t lAddress =
            !lv64         ? low
            : Program32() ? static_cast<std::uint64_t>(
                                static_cast<std::int64_t>(static_cast<std::int32_t>(low)))
                          : static_cast<std::uint64_t>(lParam);
        const LvItemForm& form = lv64 ? kLvItem64 : kLvItem32;
        const auto valid = [&lv](std::int64_t i) {
            return i >= 0 && i < static_cast<std::int64_t>(lv.items.size());
        };
        switch (message) {
        case LVM_GETITEMCOUNT:
            return static_cast<LRESULT>(lv.items.size());
        case LVM_GETVIEW:
            return static_cast<LRESULT>(lv.view);
        case LVM_GETITEMW: { // lParam -> LVITEM; the text comes back as UTF-16
            const std::uint8_t* record = ListViewMemory(lv, lAddress, form.size, false, message);
            if (!record)
                return 0;
            const auto item = static_cast<std::int32_t>(Get32(record + kLvItemIndex));
            if (!valid(item))
                return 0;
            const auto textMax = static_cast<std::int32_t>(Get32(record + form.textMax));
            const std::uint64_t textAt =
                form.textSize == 8 ? Get64(record + form.text) : Get32(record + form.text);
            if ((Get32(record + kLvItemMask) & LVIF_TEXT) && textMax > 0) {
                const std::u16string text = Get32(record + kLvItemSubItem) == 0
                                                ? lv.items[static_cast<std::size_t>(item)].text
                                                : std::u16string();
                const std::size_t n =
                    std::min<std::size_t>(text.size(), static_cast<std::size_t>(textMax - 1));
                std::uint8_t* out = ListViewMemory(lv, textAt, 2 * (n + 1), true, message);
                if (!out)
                    return 0;
                for (std::size_t i = 0; i <= n; ++i) {
                    const char16_t unit = i < n ? text[i] : u'\0';
                    out[2 * i] = static_cast<std::uint8_t>(unit & 0xFF);
                    out[2 * i + 1] = static_cast<std::uint8_t>(unit >> 8);
                }
            }
            return 1;
        }
        case LVM_GETITEMTEXTA: { // wParam index, lParam -> LVITEM; text in the ANSI code page
            if (!valid(index))
                return 0;
            const std::uint8_t* record = ListViewMemory(lv, lAddress, form.size, false, message);
            if (!record)
                return 0;
            const auto textMax = static_cast<std::int32_t>(Get32(record + form.textMax));
            const std::uint64_t textAt =
                form.textSize == 8 ? Get64(record + form.text) : Get32(record + form.text);
            if (textMax <= 0)
                return 0;
            const std::string text =
                Get32(record + kLvItemSubItem) == 0
                    ? Utf16ToCp1252(lv.items[static_cast<std::size_t>(index)].text)
                    : std::string();
            const std::size_t n =
                std::min<std::size_t>(text.size(), static_cast<std::size_t>(textMax - 1));
            std::uint8_t* out = ListViewMemory(lv, textAt, n + 1, true, message);
            if (!out)
                return 0;
            std::memcpy(out, text.data(), n);
            out[n] = 0;
            return static_cast<LRESULT>(n);
        }
        case LVM_GETITEMPOSITION: { // wParam index, lParam -> POINT
            if (!valid(index))
                return 0;
            std::uint8_t* out = ListViewMemory(lv, lAddress, kPointSize, true, message);
            if (!out)
                return 0;
            const Point p = lv.items[static_cast<std::size_t>(index)].position;
            Put32(out, static_cast<std::uint32_t>(p.x));
            Put32(out + 4, static_cast<std::uint32_t>(p.y));
            return 1;
        }
        case LVM_SETITEMPOSITION: { // wParam index, lParam = MAKELPARAM(x, y), signed words
            if (!valid(index))
                return 0;
            // With auto-arrange on, the list view puts the item straight back into its place.
            if (lv.remembered & LVS_AUTOARRANGE)
                return 1;
            const auto packed = static_cast<std::uint32_t>(lParam);
            lv.items[static_cast<std::size_t>(index)].position =
                Point{static_cast<std::int16_t>(packed & 0xFFFF),
                      static_cast<std::int16_t>(packed >> 16)};
            return 1;
        }
        case WM_STYLECHANGED: {
            // The platform copies the STYLESTRUCT across processes, so lParam is the sender's own
            // pointer. Like comctl32, the list view compares styleNew with the style it last took
            // note of, and takes its view from the view bits when they differ between old and new.
            if (wParam != static_cast<WPARAM>(static_cast<std::intptr_t>(GWL_STYLE)))
                return 0;
            if (lParam == 0) {
                faults.push_back("WM_STYLECHANGED without a STYLESTRUCT (lParam 0)");
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
        default:
            return 0;
        }
    }

    // The shell view's auto-arrange command flips LVS_AUTOARRANGE of its list view, with
    // SetWindowLong as the real shell does, so both the window style and the list view's own
    // note of it change; switching it on arranges the items.
    LRESULT ShellViewMessage(Window& view, UINT message, WPARAM wParam) {
        if (message != WM_COMMAND || (wParam & 0xFFFF) != kShellAutoArrangeCommand)
            return 0;
        const Hwnd self = HandleOf(view);
        for (Window& w : windows) {
            if (w.alive && w.parent == self && SameText(w.className, kListViewClass)) {
                w.style ^= LVS_AUTOARRANGE;
                w.remembered = (w.remembered & ~LVS_AUTOARRANGE) | (w.style & LVS_AUTOARRANGE);
                if (w.remembered & LVS_AUTOARRANGE)
                    Arrange(w);
                break;
            }
        }
        return 0;
    }

    // ---- files ----
    // A Windows path "X:\a\b" as a host path under root/x/. Repeated separators count as one and
    // trailing dots and spaces of a name are dropped, as Windows does; each name is matched
    // without regard to case against what exists.
    fs::path Host(const std::string& path) const {
        const auto bad = [&path]() { return FileFailure(errors::kBadFileName, path); };
        if (path.size() < 2 ||
            !((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z')) ||
            path[1] != ':')
            throw bad();
        fs::path host = root / std::string(1, Lower(path[0]));
        int depth = 0;
        std::size_t start = 2;
        while (start <= path.size()) {
            std::size_t end = path.find_first_of("\\/", start);
            if (end == std::string::npos)
                end = path.size();
            std::string name = path.substr(start, end - start);
            start = end + 1;
            if (name.empty() || name == ".")
                continue;
            if (name == "..") {
                if (depth > 0) {
                    host = host.parent_path();
                    --depth;
                }
                continue;
            }
            while (!name.empty() && (name.back() == ' ' || name.back() == '.'))
                name.pop_back();
            if (name.empty() || name.find_first_of("<>:\"|?*") != std::string::npos ||
                std::any_of(name.begin(), name.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 32; }))
                throw bad();
            host = MatchCase(host, name);
            ++depth;
        }
        return host;
    }

    // The name as stored in `folder`, found without regard to case (on a host whose own names are
    // case-insensitive too, the stored spelling still matters for comparisons).
    static fs::path MatchCase(const fs::path& folder, const std::string& name) {
        std::error_code ec;
        fs::path match = folder / name;
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            const std::string stored = entry.path().filename().string();
            if (stored == name)
                return entry.path();
            if (SameText(stored, name))
                match = entry.path();
        }
        return match;
    }

    static std::string Key(const fs::path& host) {
        return Lower(host.lexically_normal().generic_string());
    }
    bool IsReadOnly(const fs::path& host) const { return readOnly.count(Key(host)) != 0; }
    bool IsLocked(const fs::path& host) const { return locked.count(Key(host)) != 0; }

    // Why the file at `host` cannot be created, emptied or replaced: an error number, or 0.
    int WriteRefusal(const fs::path& host) const {
        std::error_code ec;
        if (!fs::is_directory(host.parent_path(), ec))
            return errors::kPathNotFound;
        if (IsLocked(host))
            return errors::kPermissionDenied;
        if (fs::is_directory(host, ec) || IsReadOnly(host) || IsReadOnly(host.parent_path()))
            return errors::kPathFileAccess;
        return 0;
    }

    // Takes `bytes` from the disk's free space; false when it has less.
    bool TakeSpace(long long bytes) {
        if (diskSpace < 0 || bytes <= diskSpace) {
            if (diskSpace >= 0)
                diskSpace -= std::max(0LL, bytes);
            return true;
        }
        return false;
    }
};

// ---- construction, identity, platform ----------------------------------------------------------

SimSession::SimSession(fs::path hostRoot) : impl_(std::make_unique<Impl>()) {
    impl_->root = std::move(hostRoot);
    fs::create_directories(impl_->root / "c");
    impl_->programBits = DefaultProgramBits();
    impl_->processes[kSelfPid].bits = impl_->programBits;
    SetExecutable("C:\\Tools\\Pindrel.exe");
}

SimSession::~SimSession() = default;

void SimSession::SetUserName(const std::string& name) {
    impl_->user = name;
}
void SimSession::SetComputerName(const std::string& name) {
    impl_->computer = name;
}
// The non-NT Windows are 32-bit throughout.
void SimSession::SetPlatformId(DWORD platformId) {
    impl_->platformId = platformId;
    if (platformId != VER_PLATFORM_WIN32_NT)
        SetWindowsBits(32);
}
void SimSession::SetVersionQueryFails(bool fails) {
    impl_->versionFails = fails;
}

void SimSession::SetScreen(float widthTwips, float heightTwips, float twipsPerPixelX,
                           float twipsPerPixelY) {
    impl_->widthTwips = widthTwips;
    impl_->heightTwips = heightTwips;
    impl_->tppX = twipsPerPixelX;
    impl_->tppY = twipsPerPixelY;
}

void SimSession::SetScreenPixels(int width, int height, float twipsPerPixel) {
    SetScreen(static_cast<float>(width) * twipsPerPixel, static_cast<float>(height) * twipsPerPixel,
              twipsPerPixel, twipsPerPixel);
}

// The executable's folder is created: a program always runs from a folder that exists.
void SimSession::SetExecutable(const std::string& windowsPath) {
    impl_->executable = windowsPath;
    fs::create_directories(HostPath(AppPath()));
}

void SimSession::SetCommandLine(const std::string& argumentText) {
    impl_->commandLine = argumentText;
}
Pid SimSession::SelfProcess() const {
    return Pid{kSelfPid};
}

// ---- windows and processes ---------------------------------------------------------------------

Pid SimSession::CreateProcess(int bits) {
    if (bits == 0)
        bits = impl_->windowsBits;
    if ((bits != 32 && bits != 64) || bits > impl_->windowsBits)
        throw std::invalid_argument("SimSession::CreateProcess: no " + std::to_string(bits) +
                                    "-bit process on " + std::to_string(impl_->windowsBits) +
                                    "-bit Windows");
    const std::uint32_t pid = impl_->nextPid;
    impl_->nextPid += 8; // the process's main thread takes pid + 4
    impl_->processes[pid].bits = bits;
    return Pid{pid};
}

void SimSession::SetWindowsBits(int bits) {
    if (bits != 32 && bits != 64)
        throw std::invalid_argument("SimSession::SetWindowsBits: 32 or 64");
    if (bits == 32) {
        for (const auto& [pid, process] : impl_->processes) {
            if (pid != kSelfPid && process.bits == 64)
                throw std::invalid_argument("SimSession::SetWindowsBits: a 64-bit process exists");
        }
        impl_->programBits = 32;
    }
    impl_->windowsBits = bits;
    impl_->processes.at(kSelfPid).bits = impl_->programBits;
}

void SimSession::SetProgramBits(int bits) {
    if ((bits != 32 && bits != 64) || bits > impl_->windowsBits)
        throw std::invalid_argument("SimSession::SetProgramBits: no " + std::to_string(bits) +
                                    "-bit program on " + std::to_string(impl_->windowsBits) +
                                    "-bit Windows");
    impl_->programBits = bits;
    impl_->processes.at(kSelfPid).bits = bits;
}

int SimSession::ProgramBits() const {
    return impl_->programBits;
}

void SimSession::SetIsWow64ProcessMissing(bool missing) {
    impl_->wow64Missing = missing;
}

void SimSession::SetQueryAccessRefused(bool refused) {
    impl_->queryRefused = refused;
}

Hwnd SimSession::CreateWindow(const std::string& className, Hwnd parent, Pid owner, DWORD style) {
    if (!impl_->processes.count(raw(owner)))
        throw std::invalid_argument("SimSession::CreateWindow: unknown process " + Hex(raw(owner)));
    if (raw(parent) != 0)
        impl_->Need(parent, false);
    Impl::Window w;
    w.className = className;
    w.parent = parent;
    w.owner = owner;
    w.style = style;
    w.remembered = style;
    w.view = style & LVS_TYPEMASK;
    impl_->windows.push_back(std::move(w));
    return Hwnd{
        static_cast<std::uint32_t>(kFirstWindow + (impl_->windows.size() - 1) * kWindowStep)};
}

void SimSession::DestroyWindow(Hwnd window) {
    impl_->Destroy(window);
}
bool SimSession::IsWindow(Hwnd window) const {
    return impl_->Find(window) != nullptr;
}

SimShell SimSession::CreateShell(ShellShape shape, DWORD listViewStyle, int bits) {
    SimShell shell;
    shell.process = CreateProcess(bits);
    const Pid pid = shell.process;
    switch (shape) {
    case ShellShape::Standard:
    case ShellShape::NoListView:
    case ShellShape::TwoListViews:
        shell.progman = CreateWindow("Progman", Hwnd{}, pid);
        shell.defView = CreateWindow(kShellViewClass, shell.progman, pid);
        if (shape != ShellShape::NoListView)
            shell.listView = CreateWindow(kListViewClass, shell.defView, pid, listViewStyle);
        if (shape == ShellShape::TwoListViews)
            shell.otherListView = CreateWindow(kListViewClass, shell.defView, pid, listViewStyle);
        break;
    case ShellShape::NoProgman:
        shell.defView = CreateWindow(kShellViewClass, Hwnd{}, pid);
        shell.listView = CreateWindow(kListViewClass, shell.defView, pid, listViewStyle);
        break;
    case ShellShape::NoDefView:
        shell.progman = CreateWindow("Progman", Hwnd{}, pid);
        shell.otherListView = CreateWindow(kListViewClass, Hwnd{}, pid, listViewStyle);
        break;
    case ShellShape::Nothing:
        break;
    }
    return shell;
}

// ---- list-view content (set-up places items as asked, whatever the style)
// -------------------------

void SimSession::AddItem(Hwnd listView, const std::u16string& text, Point position) {
    impl_->Need(listView, true).items.push_back(SimItem{text, position});
}

void SimSession::AddItem(Hwnd listView, const std::string& utf8Text, Point position) {
    AddItem(listView, Utf8ToUtf16(utf8Text), position);
}

std::vector<SimItem>& SimSession::Items(Hwnd listView) {
    return impl_->Need(listView, true).items;
}

DWORD SimSession::Style(Hwnd window) const {
    const Impl::Window* w = impl_->Find(window);
    return w ? w->style : 0;
}

void SimSession::SetStyle(Hwnd window, DWORD style) {
    Impl::Window& w = impl_->Need(window, false);
    w.style = style;
    w.remembered = style;
    w.view = style & LVS_TYPEMASK;
}

DWORD SimSession::CurrentView(Hwnd listView) const {
    return const_cast<Impl&>(*impl_).Need(listView, true).view;
}

bool SimSession::AutoArrange(Hwnd listView) const {
    return (const_cast<Impl&>(*impl_).Need(listView, true).remembered & LVS_AUTOARRANGE) != 0;
}

int SimSession::ViewChanges(Hwnd listView) const {
    return const_cast<Impl&>(*impl_).Need(listView, true).viewChanges;
}

// ---- observation and fault injection
// -------------------------------------------------------------

const std::vector<SimCall>& SimSession::Calls() const {
    return impl_->calls;
}
void SimSession::ClearCalls() {
    impl_->calls.clear();
}

int SimSession::CountMessages(UINT message) const {
    return static_cast<int>(
        std::count_if(impl_->calls.begin(), impl_->calls.end(), [&](const SimCall& c) {
            return c.function == "SendMessageA" && c.message == message;
        }));
}

int SimSession::CountCalls(const std::string& function) const {
    return static_cast<int>(
        std::count_if(impl_->calls.begin(), impl_->calls.end(),
                      [&](const SimCall& c) { return c.function == function; }));
}

int SimSession::OpenHandles() const {
    return static_cast<int>(impl_->handles.size());
}

int SimSession::LiveAllocations() const {
    std::size_t count = 0;
    for (const auto& entry : impl_->processes)
        count += entry.second.memory.size();
    return static_cast<int>(count);
}

int SimSession::LiveMappings() const {
    return static_cast<int>(impl_->mappings.size());
}
int SimSession::LiveViews() const {
    return static_cast<int>(impl_->views.size());
}
int SimSession::OpenFiles() const {
    return static_cast<int>(impl_->files.size());
}
const std::vector<std::string>& SimSession::Faults() const {
    return impl_->faults;
}

void SimSession::SetOpenProcessRefused(bool refused) {
    impl_->openRefused = refused;
}
void SimSession::FailAllocations(int count) {
    impl_->failAllocations = count;
}
void SimSession::FailMappings(int count) {
    impl_->failMappings = count;
}

void SimSession::DestroyWindowAfterRequests(Hwnd window, int requests) {
    if (requests <= 0)
        impl_->Destroy(window);
    else
        impl_->Need(window, false).destroyAfter = requests;
}

void SimSession::OnSendMessage(std::function<void(const SimCall&)> hook) {
    impl_->hook = std::move(hook);
}

// ---- files (test side)
// ---------------------------------------------------------------------------

fs::path SimSession::HostPath(const std::string& windowsPath) const {
    return impl_->Host(windowsPath);
}

bool SimSession::FileExists(const std::string& windowsPath) const {
    std::error_code ec;
    return fs::is_regular_file(HostPath(windowsPath), ec);
}

std::string SimSession::FileBytes(const std::string& windowsPath) const {
    return ReadHostFile(HostPath(windowsPath)).value_or("");
}

void SimSession::WriteFileBytes(const std::string& windowsPath, const std::string& bytes) {
    const fs::path host = HostPath(windowsPath);
    fs::create_directories(host.parent_path());
    if (!WriteHostFile(host, bytes))
        throw std::runtime_error("SimSession: cannot write " + host.string());
}

void SimSession::CreateFolder(const std::string& windowsPath) {
    fs::create_directories(HostPath(windowsPath));
}

void SimSession::SetReadOnly(const std::string& windowsPath, bool readOnly) {
    const std::string key = Impl::Key(HostPath(windowsPath));
    readOnly ? (void)impl_->readOnly.insert(key) : (void)impl_->readOnly.erase(key);
}

void SimSession::SetLocked(const std::string& windowsPath, bool locked) {
    const std::string key = Impl::Key(HostPath(windowsPath));
    locked ? (void)impl_->locked.insert(key) : (void)impl_->locked.erase(key);
}

void SimSession::SetDiskSpace(long long bytes) {
    impl_->diskSpace = bytes < 0 ? -1 : bytes;
}

std::vector<std::string> SimSession::ListFolder(const std::string& windowsFolder) const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(HostPath(windowsFolder), ec)) {
        if (entry.is_regular_file(ec))
            names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// ---- WindowsApi: names, version, profile files -----------------------------------------------

// GetUserNameA: the size counts the terminator both ways; too small a buffer fails, writing
// nothing, and gives the size needed.
BOOL SimSession::GetUserNameA(char* buffer, DWORD* size) {
    impl_->Log("GetUserNameA", size ? *size : 0);
    if (!size)
        return 0;
    const auto needed = static_cast<DWORD>(impl_->user.size() + 1);
    if (!buffer || *size < needed) {
        *size = needed;
        return 0;
    }
    CopyName(impl_->user, buffer);
    *size = needed;
    return 1;
}

// GetComputerNameA: as GetUserNameA, except that on success the size excludes the terminator
// (ERROR_BUFFER_OVERFLOW on failure, with the size needed including it).
BOOL SimSession::GetComputerNameA(char* buffer, DWORD* size) {
    impl_->Log("GetComputerNameA", size ? *size : 0);
    if (!size)
        return 0;
    const auto length = static_cast<DWORD>(impl_->computer.size());
    if (!buffer || *size < length + 1) {
        *size = length + 1;
        return 0;
    }
    CopyName(impl_->computer, buffer);
    *size = length;
    return 1;
}

BOOL SimSession::GetVersionExA(OsVersionInfoA* info) {
    impl_->Log("GetVersionExA", info ? info->dwOSVersionInfoSize : 0);
    if (!info || info->dwOSVersionInfoSize != sizeof(OsVersionInfoA) || impl_->versionFails)
        return 0;
    const bool nt = impl_->platformId == VER_PLATFORM_WIN32_NT;
    info->dwMajorVersion = nt ? 5 : 4; // Windows XP (5.1.2600) or Windows 98 (4.10.1998)
    info->dwMinorVersion = nt ? 1 : 10;
    info->dwBuildNumber = nt ? 2600 : 0x040A07CE;
    info->dwPlatformId = impl_->platformId;
    std::snprintf(info->szCSDVersion, sizeof info->szCSDVersion, "%s",
                  nt ? "Service Pack 3" : " A ");
    return 1;
}

DWORD SimSession::GetPrivateProfileStringA(const char* section, const char* key,
                                           const char* defaultValue, char* buffer, DWORD size,
                                           const char* fileName) {
    impl_->Log("GetPrivateProfileStringA", size, 0, fileName ? fileName : "");
    if (!section || !key) {
        // Listing the sections or keys is not simulated; the program never asks for it.
        impl_->faults.push_back(
            "GetPrivateProfileStringA: listing sections or keys is not simulated");
        if (buffer && size > 0)
            buffer[0] = '\0';
        return 0;
    }
    std::optional<std::string> file;
    try {
        const fs::path host = impl_->Host(fileName ? fileName : "");
        if (!impl_->IsLocked(host))
            file = ReadHostFile(host);
    } catch (const Failure&) {
        // A relative or malformed name: nothing there to read (the default is used).
    }
    if (!buffer)
        return 0;
    const std::string text = IniRead(file, section, key, defaultValue ? defaultValue : "", size);
    if (size > 0)
        CopyName(text, buffer);
    return static_cast<DWORD>(text.size());
}

BOOL SimSession::WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                            const char* fileName) {
    impl_->Log("WritePrivateProfileStringA", 0, 0, fileName ? fileName : "");
    if (!section) // only the "flush the cache" call (all NULL) succeeds without a section
        return !key && !value ? 1 : 0;
    try {
        const fs::path host = impl_->Host(fileName ? fileName : "");
        if (impl_->WriteRefusal(host) != 0)
            return 0;
        const std::optional<std::string> old = ReadHostFile(host);
        const std::optional<std::string> bytes =
            IniWrite(old, section, key ? std::optional<std::string>(key) : std::nullopt,
                     value ? std::optional<std::string>(value) : std::nullopt);
        if (!bytes)
            return 1;
        const auto growth =
            static_cast<long long>(bytes->size()) - static_cast<long long>(old ? old->size() : 0);
        if (!impl_->TakeSpace(growth))
            return 0;
        return WriteHostFile(host, *bytes) ? 1 : 0;
    } catch (const Failure&) {
        return 0;
    }
}

// ---- WindowsApi: memory in another process
// -------------------------------------------------------

Handle SimSession::OpenProcess(DWORD desiredAccess, BOOL inheritHandle, Pid processId) {
    (void)inheritHandle;
    impl_->Log("OpenProcess", desiredAccess, static_cast<LPARAM>(raw(processId)));
    // Memory access and the query access are refused separately, as a protected process does.
    const bool query = desiredAccess == PROCESS_QUERY_LIMITED_INFORMATION;
    if ((query ? impl_->queryRefused : impl_->openRefused) ||
        !impl_->processes.count(raw(processId)))
        return Handle{};
    const std::uint64_t handle = impl_->nextHandle;
    impl_->nextHandle += 4;
    impl_->handles[handle] = Impl::KernelObject{Impl::Kind::Process, processId, desiredAccess, 0};
    return Handle{handle};
}

// Only what the program asks for is simulated: a fresh committed read-write block at an address
// of the system's choosing (no preferred address, no reserve-only, no other protection).
RemoteAddr SimSession::VirtualAllocEx(Handle process, RemoteAddr address, DWORD size,
                                      DWORD allocationType, DWORD protect) {
    impl_->Log("VirtualAllocEx", raw(process), static_cast<LPARAM>(size));
    if (impl_->failAllocations > 0) {
        --impl_->failAllocations;
        return RemoteAddr{};
    }
    Impl::KernelObject* object = impl_->ProcessHandle(process, PROCESS_VM_OPERATION);
    if (!impl_->Nt() || !object || raw(address) != 0 || size == 0 ||
        !(allocationType & MEM_COMMIT) || (allocationType & ~(MEM_COMMIT | MEM_RESERVE)) ||
        protect != PAGE_READWRITE)
        return RemoteAddr{};
    Impl::Process& target = impl_->processes.at(raw(object->pid));
    // A 64-bit program gets addresses above 4 GiB in a 64-bit process; everyone else below 2 GiB.
    const bool high = target.bits == 64 && !impl_->Program32();
    const auto base = Place(target.memory, high ? target.highCursor : target.lowCursor,
                            high ? kHighLow : kProcessLow, high ? kHighHigh : kProcessHigh, size,
                            [](const std::vector<std::uint8_t>& bytes) { return bytes.size(); });
    if (!base)
        return RemoteAddr{};
    target.memory[*base].assign(static_cast<std::size_t>(RoundUp(size, kPageSize)), 0);
    return RemoteAddr{*base};
}

BOOL SimSession::VirtualFreeEx(Handle process, RemoteAddr address, DWORD size, DWORD freeType) {
    impl_->Log("VirtualFreeEx", raw(process), static_cast<std::int64_t>(raw(address)));
    Impl::KernelObject* object = impl_->ProcessHandle(process, PROCESS_VM_OPERATION);
    // MEM_RELEASE frees a whole allocation: its exact base, with size 0.
    if (!object || freeType != MEM_RELEASE || size != 0)
        return 0;
    return impl_->processes.at(raw(object->pid)).memory.erase(raw(address)) ? 1 : 0;
}

BOOL SimSession::WriteProcessMemory(Handle process, RemoteAddr baseAddress, const void* buffer,
                                    DWORD size, DWORD* bytesWritten) {
    impl_->Log("WriteProcessMemory", raw(baseAddress), static_cast<LPARAM>(size));
    impl_->CheckProgramValue("WriteProcessMemory", raw(baseAddress));
    if (bytesWritten)
        *bytesWritten = 0;
    // Writing needs PROCESS_VM_OPERATION as well as PROCESS_VM_WRITE.
    Impl::KernelObject* object =
        impl_->ProcessHandle(process, PROCESS_VM_WRITE | PROCESS_VM_OPERATION);
    std::uint8_t* target =
        object ? impl_->ProcessBytes(object->pid, raw(baseAddress), size, !impl_->Nt()) : nullptr;
    if (!target || (size > 0 && !buffer))
        return 0;
    if (size > 0)
        std::memcpy(target, buffer, size);
    if (bytesWritten)
        *bytesWritten = size;
    return 1;
}

BOOL SimSession::ReadProcessMemory(Handle process, RemoteAddr baseAddress, void* buffer, DWORD size,
                                   DWORD* bytesRead) {
    impl_->Log("ReadProcessMemory", raw(baseAddress), static_cast<LPARAM>(size));
    impl_->CheckProgramValue("ReadProcessMemory", raw(baseAddress));
    if (bytesRead)
        *bytesRead = 0;
    Impl::KernelObject* object = impl_->ProcessHandle(process, PROCESS_VM_READ);
    const std::uint8_t* source =
        object ? impl_->ProcessBytes(object->pid, raw(baseAddress), size, !impl_->Nt()) : nullptr;
    if (!source || (size > 0 && !buffer))
        return 0;
    if (size > 0)
        std::memcpy(buffer, source, size);
    if (bytesRead)
        *bytesRead = size;
    return 1;
}

Handle SimSession::GetCurrentProcess() {
    impl_->Log("GetCurrentProcess");
    return kCurrentProcess;
}

// IsWow64Process answers for this program's pseudo-handle or for a process handle opened with
// query access; a process is under WOW64 when it is 32-bit on 64-bit Windows.
BOOL SimSession::IsWow64Process(Handle process, BOOL* wow64) {
    impl_->Log("IsWow64Process", raw(process));
    if (impl_->wow64Missing || !wow64)
        return 0;
    int bits = 0;
    if (process == kCurrentProcess) {
        bits = impl_->programBits;
    } else {
        auto it = impl_->handles.find(raw(process));
        if (it == impl_->handles.end() || it->second.kind != Impl::Kind::Process ||
            !(it->second.access & (PROCESS_QUERY_LIMITED_INFORMATION | 0x0400)) ||
            !impl_->processes.count(raw(it->second.pid)))
            return 0;
        bits = impl_->processes.at(raw(it->second.pid)).bits;
    }
    *wow64 = impl_->windowsBits == 64 && bits == 32 ? 1 : 0;
    return 1;
}

bool SimSession::IsProgram64Bit() {
    return impl_->programBits == 64;
}

BOOL SimSession::CloseHandle(Handle object) {
    impl_->Log("CloseHandle", raw(object));
    auto it = impl_->handles.find(raw(object));
    if (it == impl_->handles.end())
        return 0;
    const Impl::KernelObject closed = it->second;
    impl_->handles.erase(it);
    if (closed.kind == Impl::Kind::Mapping) {
        --impl_->mappings.at(closed.mapping).handles;
        impl_->ReleaseMappingIfUnused(closed.mapping);
    }
    return 1;
}

// ---- WindowsApi: shared mappings ----------------------------------------------------------------

// Unnamed page-file mappings only (named ones are not simulated and fail).
Handle SimSession::CreateFileMappingA(Handle file, const void* securityAttributes, DWORD protect,
                                      DWORD maximumSizeHigh, DWORD maximumSizeLow,
                                      const char* name) {
    (void)securityAttributes;
    impl_->Log("CreateFileMappingA", maximumSizeLow, 0, name ? name : "");
    if (impl_->failMappings > 0) {
        --impl_->failMappings;
        return Handle{};
    }
    if (file != kInvalidHandleValue || protect != PAGE_READWRITE || maximumSizeHigh != 0 ||
        maximumSizeLow == 0 || maximumSizeLow > kSharedHigh - kSharedLow || name)
        return Handle{};
    const std::uint32_t id = impl_->nextMapping++;
    Impl::Mapping& mapping = impl_->mappings[id];
    mapping.bytes.assign(static_cast<std::size_t>(RoundUp(maximumSizeLow, kPageSize)), 0);
    mapping.handles = 1;
    const std::uint64_t handle = impl_->nextHandle;
    impl_->nextHandle += 4;
    impl_->handles[handle] = Impl::KernelObject{Impl::Kind::Mapping, Pid{}, 0, id};
    return Handle{handle};
}

RemoteAddr SimSession::MapViewOfFile(Handle mapping, DWORD desiredAccess, DWORD fileOffsetHigh,
                                     DWORD fileOffsetLow, DWORD numberOfBytesToMap) {
    impl_->Log("MapViewOfFile", raw(mapping), static_cast<LPARAM>(numberOfBytesToMap));
    auto it = impl_->handles.find(raw(mapping));
    if (it == impl_->handles.end() || it->second.kind != Impl::Kind::Mapping ||
        desiredAccess == 0 || fileOffsetHigh != 0 || fileOffsetLow % kGranularity != 0)
        return RemoteAddr{};
    const std::uint32_t id = it->second.mapping;
    Impl::Mapping& object = impl_->mappings.at(id);
    const auto total = static_cast<std::uint32_t>(object.bytes.size());
    if (fileOffsetLow >= total || numberOfBytesToMap > total - fileOffsetLow)
        return RemoteAddr{};
    const std::uint32_t size =
        numberOfBytesToMap == 0
            ? total - fileOffsetLow
            : static_cast<std::uint32_t>(std::min<std::uint64_t>(
                  RoundUp(numberOfBytesToMap, kPageSize), total - fileOffsetLow));
    const auto base = Place(impl_->views, impl_->viewCursor, kSharedLow, kSharedHigh, size,
                            [](const Impl::View& v) { return v.size; });
    if (!base)
        return RemoteAddr{};
    impl_->views[*base] = Impl::View{id, fileOffsetLow, size};
    ++object.views;
    return RemoteAddr{*base};
}

BOOL SimSession::UnmapViewOfFile(RemoteAddr baseAddress) {
    impl_->Log("UnmapViewOfFile", raw(baseAddress));
    auto it = impl_->views.find(raw(baseAddress));
    if (it == impl_->views.end())
        return 0;
    const std::uint32_t id = it->second.mapping;
    impl_->views.erase(it);
    --impl_->mappings.at(id).views;
    impl_->ReleaseMappingIfUnused(id);
    return 1;
}

// RtlMoveMemory has no way to fail: outside a live view the program itself would crash. The
// session records that as a fault and copies nothing.
void SimSession::RtlMoveMemory(RemoteAddr destination, const void* source, DWORD length) {
    impl_->Log("RtlMoveMemory", raw(destination), static_cast<LPARAM>(length));
    std::uint8_t* target = impl_->ViewBytes(raw(destination), length);
    if (length == 0)
        return;
    if (!target || !source) {
        impl_->faults.push_back("RtlMoveMemory write outside any mapped view at " +
                                Hex(raw(destination)) + " (" + std::to_string(length) + " bytes)");
        return;
    }
    std::memcpy(target, source, length);
}

void SimSession::RtlMoveMemory(void* destination, RemoteAddr source, DWORD length) {
    impl_->Log("RtlMoveMemory", raw(source), static_cast<LPARAM>(length));
    const std::uint8_t* from = impl_->ViewBytes(raw(source), length);
    if (length == 0)
        return;
    if (!from || !destination) {
        impl_->faults.push_back("RtlMoveMemory read outside any mapped view at " +
                                Hex(raw(source)) + " (" + std::to_string(length) + " bytes)");
        return;
    }
    std::memcpy(destination, from, length);
}

// ---- WindowsApi: text --------------------------------------------------------------------------

// The system code page is Windows-1252; no flags are simulated. A count of -1 takes the text up
// to and including its NUL; a size of 0 asks for the length needed; too small a buffer fails.
int SimSession::WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* wide, int wideCount,
                                    char* multi, int multiSize) {
    impl_->Log("WideCharToMultiByte", static_cast<WPARAM>(static_cast<std::uint32_t>(wideCount)),
               multiSize);
    if ((codePage != CP_ACP && codePage != 1252) || flags != 0 || !wide || wideCount == 0 ||
        wideCount < -1 || multiSize < 0 || (multiSize > 0 && !multi))
        return 0;
    std::size_t count = static_cast<std::size_t>(wideCount);
    if (wideCount == -1)
        count = std::char_traits<char16_t>::length(wide) + 1;
    const std::string bytes = Utf16ToCp1252(std::u16string(wide, count));
    const auto needed = static_cast<int>(bytes.size());
    if (multiSize == 0)
        return needed;
    if (needed > multiSize)
        return 0;
    std::memcpy(multi, bytes.data(), bytes.size());
    return needed;
}

// ---- WindowsApi: windows
// -------------------------------------------------------------------------

Hwnd SimSession::FindWindowA(const char* className, const char* windowName) {
    impl_->Log("FindWindowA", 0, 0, className ? className : "");
    return impl_->Search(Hwnd{}, Hwnd{}, className, windowName);
}

Hwnd SimSession::FindWindowExA(Hwnd parent, Hwnd childAfter, const char* className,
                               const char* windowName) {
    impl_->Log("FindWindowExA", raw(parent), static_cast<LPARAM>(raw(childAfter)),
               className ? className : "");
    return impl_->Search(parent, childAfter, className, windowName);
}

DWORD SimSession::GetWindowThreadProcessId(Hwnd window, Pid* processId) {
    impl_->Log("GetWindowThreadProcessId", raw(window));
    const Impl::Window* w = impl_->Find(window);
    if (processId)
        *processId = w ? w->owner : Pid{};
    return w ? raw(w->owner) + 4 : 0;
}

std::int32_t SimSession::GetWindowLongA(Hwnd window, std::int32_t index) {
    impl_->Log("GetWindowLongA", raw(window), index);
    const Impl::Window* w = impl_->Find(window);
    return (w && index == GWL_STYLE) ? static_cast<std::int32_t>(w->style) : 0;
}

Hwnd SimSession::GetParent(Hwnd window) {
    impl_->Log("GetParent", raw(window));
    const Impl::Window* w = impl_->Find(window);
    return w ? w->parent : Hwnd{};
}

LRESULT SimSession::SendMessageA(Hwnd window, UINT message, WPARAM wParam, LPARAM lParam) {
    const SimCall call{
        "SendMessageA", window, message, wParam, static_cast<std::int64_t>(lParam), {}};
    impl_->calls.push_back(call);
    // List-view requests carry addresses in the list view's process; WM_STYLECHANGED points into
    // the sender's own memory, which the platform copies across.
    if (message >= 0x1000)
        impl_->CheckProgramValue("SendMessageA", static_cast<std::uint64_t>(lParam));
    if (impl_->hook)
        impl_->hook(call);
    Impl::Window* w = impl_->Find(window);
    if (!w)
        return 0;
    LRESULT result = 0;
    if (SameText(w->className, kListViewClass))
        result = impl_->ListViewMessage(*w, message, wParam, lParam);
    else if (SameText(w->className, kShellViewClass))
        result = impl_->ShellViewMessage(*w, message, wParam);
    if (w->destroyAfter > 0 && --w->destroyAfter == 0)
        impl_->Destroy(window);
    return result;
}

// ---- Runtime
// -------------------------------------------------------------------------------------

float SimSession::ScreenWidthTwips() {
    return impl_->widthTwips;
}
float SimSession::ScreenHeightTwips() {
    return impl_->heightTwips;
}
float SimSession::TwipsPerPixelX() {
    return impl_->tppX;
}
float SimSession::TwipsPerPixelY() {
    return impl_->tppY;
}

std::string SimSession::AppPath() {
    const std::string& exe = impl_->executable;
    const std::size_t slash = exe.find_last_of('\\');
    const std::string folder = slash == std::string::npos ? exe : exe.substr(0, slash);
    return (folder.size() == 2 && folder[1] == ':') ? folder + "\\" : folder;
}

std::string SimSession::AppExeName() {
    std::string name = impl_->executable.substr(impl_->executable.find_last_of('\\') + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string SimSession::Command() {
    return impl_->commandLine;
}

int SimSession::OpenForOutput(const std::string& path) {
    const fs::path host = impl_->Host(path);
    if (const int refusal = impl_->WriteRefusal(host))
        throw FileFailure(refusal, path);
    int number = 1;
    while (impl_->files.count(number))
        ++number;
    Impl::OpenFile& file = impl_->files[number];
    file.host = host;
    file.path = path;
    file.out.open(host, std::ios::binary | std::ios::trunc);
    if (!file.out) {
        impl_->files.erase(number);
        throw FileFailure(errors::kPathFileAccess, path);
    }
    return number;
}

void SimSession::WriteLine(int fileNumber, const std::string& text) {
    auto it = impl_->files.find(fileNumber);
    if (it == impl_->files.end())
        throw FileFailure(errors::kBadFileName, "#" + std::to_string(fileNumber));
    const std::string bytes = text + "\r\n";
    const auto size = static_cast<long long>(bytes.size());
    if (!impl_->TakeSpace(size)) {
        // The disk fills part-way: what fits reaches the file, the rest is refused.
        it->second.out.write(bytes.data(), static_cast<std::streamsize>(impl_->diskSpace));
        it->second.out.flush();
        impl_->diskSpace = 0;
        throw FileFailure(errors::kDiskFull, it->second.path);
    }
    it->second.out.write(bytes.data(), static_cast<std::streamsize>(size));
    if (!it->second.out)
        throw FileFailure(errors::kDeviceIo, it->second.path);
}

void SimSession::CloseFile(int fileNumber) {
    auto it = impl_->files.find(fileNumber);
    if (it == impl_->files.end())
        throw FileFailure(errors::kBadFileName, "#" + std::to_string(fileNumber));
    it->second.out.close();
    const bool ok = !it->second.out.fail();
    const std::string path = it->second.path;
    impl_->files.erase(it);
    if (!ok)
        throw FileFailure(errors::kDeviceIo, path);
}

std::string SimSession::ReadWholeFile(const std::string& path) {
    const fs::path host = impl_->Host(path);
    std::error_code ec;
    if (impl_->IsLocked(host))
        throw FileFailure(errors::kPermissionDenied, path);
    if (!fs::is_directory(host.parent_path(), ec))
        throw FileFailure(errors::kPathNotFound, path);
    if (fs::is_directory(host, ec))
        throw FileFailure(errors::kPathFileAccess, path);
    std::optional<std::string> bytes = ReadHostFile(host);
    if (!bytes)
        throw FileFailure(errors::kFileNotFound, path);
    return *bytes;
}

// A rename over the target: both files stay as they were when it cannot be done. A read-only
// file stays read-only under its new name.
void SimSession::ReplaceFile(const std::string& source, const std::string& target) {
    const fs::path from = impl_->Host(source);
    const fs::path to = impl_->Host(target);
    std::error_code ec;
    if (impl_->IsLocked(from))
        throw FileFailure(errors::kPermissionDenied, source);
    if (!fs::is_regular_file(from, ec))
        throw FileFailure(errors::kFileNotFound, source);
    if (const int refusal = impl_->WriteRefusal(to))
        throw FileFailure(refusal, target);
    if (impl_->IsReadOnly(from.parent_path()))
        throw FileFailure(errors::kPathFileAccess, source);
    fs::rename(from, to, ec);
    if (ec)
        throw FileFailure(errors::kPathFileAccess, target);
    if (impl_->readOnly.erase(Impl::Key(from)))
        impl_->readOnly.insert(Impl::Key(to));
}

void SimSession::DeleteFileQuietly(const std::string& path) noexcept {
    try {
        const fs::path host = impl_->Host(path);
        std::error_code ec;
        if (impl_->IsLocked(host) || impl_->IsReadOnly(host) ||
            impl_->IsReadOnly(host.parent_path()) || !fs::is_regular_file(host, ec))
            return;
        fs::remove(host, ec);
    } catch (...) {
        // Never fails: a name that cannot be a file simply is not there.
    }
}

// ---- text conversions
// ------------------------------------------------------------------------------

std::u16string Utf8ToUtf16(const std::string& utf8) {
    std::u16string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int extra = lead < 0x80         ? 0
                    : (lead >> 5) == 6  ? 1
                    : (lead >> 4) == 14 ? 2
                    : (lead >> 3) == 30 ? 3
                                        : -1;
        char32_t code = extra == 0   ? lead
                        : extra == 1 ? lead & 0x1Fu
                        : extra == 2 ? lead & 0x0Fu
                                     : lead & 0x07u;
        bool ok = extra >= 0 && i + static_cast<std::size_t>(extra) < utf8.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            ok = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3Fu);
        }
        if (!ok || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        i += static_cast<std::size_t>(extra) + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
    }
    return out;
}

std::string Utf16ToUtf8(const std::u16string& utf16) {
    std::string out;
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t code = utf16[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (utf16[i + 1] - 0xDC00u);
            ++i;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

// Characters the code page lacks become '?'; a surrogate pair is one character, so one '?'.
// (Windows' own conversion would first try a "best fit", e.g. a macron A to A; that table is not
// simulated.)
std::string Utf16ToCp1252(const std::u16string& utf16) {
    std::string out;
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char16_t unit = utf16[i];
        if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
            out += static_cast<char>(unit);
            continue;
        }
        const auto* found = std::find(std::begin(kCp1252High), std::end(kCp1252High), unit);
        if (found != std::end(kCp1252High)) {
            out += static_cast<char>(0x80 + (found - std::begin(kCp1252High)));
            continue;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF)
            ++i;
        out += '?';
    }
    return out;
}

std::u16string Cp1252ToUtf16(const std::string& bytes) {
    std::u16string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out +=
            (byte >= 0x80 && byte < 0xA0) ? kCp1252High[byte - 0x80] : static_cast<char16_t>(byte);
    }
    return out;
}

} // namespace pindrel::sim
