// A whole restore of an arbitrary layout text on a desktop the input also makes: the items' names
// and positions, the placement settings, the platform, the bitnesses and failures of the platform
// along the way.
//
// Input: a flags byte, a faults byte, the item count, a request count for the list view to vanish
// after, start x/y and step x/y (16-bit, or 32-bit with flag 0x10), the layout's length (16-bit)
// and text, then per item a head byte, the name and two 16-bit coordinates. The head's low 7 bits
// are the name's length, 0x80 makes it UTF-16 (two bytes a unit) rather than Windows-1252 bytes;
// a length of 0x7F gives the item the name of layout line n instead, n the byte after the head.
#include "Conversions.h"
#include "FuzzInput.h"
#include "LayoutReference.h" // SplitLines, ParseLayoutLine: how the oracle reads the layout lines
#include "ProgramState.h"
#include "modPindrel.h"
#include "platform/sim/SimSession.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

using namespace pindrel;
using fuzz::Require;

namespace {

// Where the list view keeps a position sent to it: the program packs x and y as the low and high
// signed 16-bit words of one 32-bit number, and sends nothing when x + 65536 * y does not fit.
std::optional<Point> Stored(std::int64_t x, std::int64_t y) {
    const std::int64_t high = y * 65536;
    if (high < INT32_MIN || high > INT32_MAX || high + x < INT32_MIN || high + x > INT32_MAX)
        return std::nullopt;
    return Point{static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)};
}

// The positions of the lines an item can take: a name, and coordinates that convert and pack.
std::vector<Point> LinePositions(std::string_view text) {
    std::vector<Point> points;
    for (std::string_view line : SplitLines(text)) {
        LayoutFields fields;
        std::int32_t x = 0, y = 0;
        std::optional<Point> point;
        if (ParseLayoutLine(line, fields) && !fields.name.empty() && TryTextToLong(fields.x, x) &&
            TryTextToLong(fields.y, y) && (point = Stored(x, y)))
            points.push_back(*point);
    }
    return points;
}

// The placement cursor's positions in turn: start, then one step further for each item placed
// there; a step that would leave the 32-bit range leaves that coordinate as it was.
std::vector<std::optional<Point>> CursorPositions(const ProgramState& state, int count) {
    std::vector<std::optional<Point>> cursor;
    const auto step = [](std::int64_t v, std::int64_t d) {
        return v + d < INT32_MIN || v + d > INT32_MAX ? v : v + d;
    };
    for (std::int64_t k = 0, x = state.startX, y = state.startY; k < count; ++k) {
        cursor.push_back(Stored(x, y));
        x = step(x, state.deltaX);
        y = step(y, state.deltaY);
    }
    return cursor;
}

// Each item stayed, went to a line's position, or to a cursor position. The items only the cursor
// explains took cursor positions in the cursor's order, each position once, and item k no later
// one than the k-th (only items before it can have moved the cursor on).
void CheckPlacement(const std::vector<Point>& before, const std::vector<sim::SimItem>& after,
                    const std::vector<Point>& lines,
                    const std::vector<std::optional<Point>>& cursor) {
    Require(after.size() == before.size(), "the restore added or removed items");
    std::size_t next = 0;
    for (std::size_t k = 0; k < after.size(); ++k) {
        const Point p = after[k].position;
        if (p == before[k] || std::find(lines.begin(), lines.end(), p) != lines.end())
            continue;
        while (next <= k && cursor[next] != p)
            ++next;
        Require(next <= k, "an item went where neither a line nor the cursor puts it");
        ++next;
    }
}

// An item's name from the input: Windows-1252 bytes, or UTF-16 code units of two bytes each.
std::u16string NameOf(const std::string& bytes, bool utf16) {
    if (!utf16)
        return sim::Cp1252ToUtf16(bytes);
    std::u16string name;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        name += static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                      static_cast<std::uint8_t>(bytes[i + 1]) << 8);
    return name;
}

std::array<int, 5> Held(const sim::SimSession& session) {
    return {session.OpenHandles(), session.LiveAllocations(), session.LiveMappings(),
            session.LiveViews(), session.OpenFiles()};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput in(data, size);
    const std::uint8_t flags = in.Byte(), faults = in.Byte();
    const int count = in.Byte() % 65;
    const std::uint8_t destroyAfter = in.Byte();
    ProgramState state;
    const int width = (flags & 0x10) != 0 ? 4 : 2;
    for (std::int32_t* value : {&state.startX, &state.startY, &state.deltaX, &state.deltaY})
        *value = in.Signed(width);

    sim::SimSession session(fuzz::ScratchFolder());
    const bool nt = (flags & 0x01) == 0;
    if (!nt)
        session.SetPlatformId(1); // 32-bit Windows, where every process is 32-bit
    else if ((flags & 0x02) != 0)
        session.SetWindowsBits(32);
    const bool windows64 = nt && (flags & 0x02) == 0;
    session.SetProgramBits(windows64 && (flags & 0x04) == 0 ? 64 : 32);
    const sim::SimShell shell = session.CreateShell((flags & 0x20) != 0 ? sim::ShellShape::WorkerW
                                                                        : sim::ShellShape::Standard,
                                                    0, windows64 && (flags & 0x08) == 0 ? 64 : 32);
    const std::string layout = in.Take(static_cast<std::uint16_t>(in.Signed(2)));
    const std::vector<std::string_view> lines = SplitLines(layout);
    for (int k = 0; k < count; ++k) {
        const std::uint8_t head = in.Byte();
        const bool utf16 = (head & 0x80) != 0;
        std::u16string name;
        LayoutFields fields;
        if ((head & 0x7F) != 0x7F)
            name = NameOf(in.Take((head & 0x7Fu) * (utf16 ? 2u : 1u)), utf16);
        else if (const std::size_t n = in.Byte();
                 !lines.empty() && ParseLayoutLine(lines[n % lines.size()], fields))
            name = sim::Cp1252ToUtf16(std::string(fields.name));
        const std::int32_t x = in.Signed(2);
        session.AddItem(shell.listView, name, Point{x, in.Signed(2)});
    }

    std::vector<Point> before;
    for (const sim::SimItem& item : session.Items(shell.listView))
        before.push_back(item.position);
    const std::array<int, 5> held = Held(session);
    session.FailAllocations(faults & 0x03);
    session.FailMappings((faults >> 2) & 0x03);
    session.FailViews((faults >> 4) & 0x03);
    session.SetOpenProcessRefused((faults & 0x40) != 0);
    if ((faults & 0x80) != 0 && destroyAfter != 0)
        session.DestroyWindowAfterRequests(shell.listView, destroyAfter);

    const ProgramState settings = state;
    modPindrel::RestoreLayout(session, state, layout);

    Require(Held(session) == held, "the restore left a handle, memory, a mapping or a file open");
    Require(session.Faults().empty(), "the simulated shell saw a fault");
    if (session.IsWindow(shell.listView))
        CheckPlacement(before, session.Items(shell.listView), LinePositions(layout),
                       CursorPositions(settings, count));
    return 0;
}
