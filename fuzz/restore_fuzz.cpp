// A whole restore of an arbitrary layout text on a desktop the input also makes: the items' names
// and positions, the placement settings, the platform, the bitnesses and failures of the platform
// along the way.
//
// Input: a flags byte, a faults byte, the item count, a request count for the list view to vanish
// after, start x/y and step x/y (16-bit, or 32-bit with flag 0x10), the layout's length (16-bit)
// and text, then per item a head byte, the name and two 16-bit coordinates. The head's low 7 bits
// are the name's length, 0x80 makes it UTF-16 (two bytes a unit) rather than Windows-1252 bytes;
// a length of 0x7F gives the item the name of layout line n instead, n the byte after the head.
//
// Every icon's final place is checked against a model of the restore's rule of its own, and, where
// the forward search of earlier releases gives every icon the same line, against that too.
#include "Conversions.h"
#include "FuzzInput.h"
#include "LayoutReference.h" // SplitLines, ParseLayoutLine: how the oracle reads the layout lines
#include "ProgramState.h"
#include "modPindrel.h"
#include "platform/sim/SimMemory.h" // kMostProgramBits
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

// The layout's lines as the reference reader parses them; nothing for a line that is no candidate.
std::vector<std::optional<LayoutFields>> ParsedLines(std::string_view text) {
    std::vector<std::optional<LayoutFields>> parsed;
    for (std::string_view line : SplitLines(text)) {
        LayoutFields fields;
        parsed.push_back(ParseLayoutLine(line, fields) ? std::optional(fields) : std::nullopt);
    }
    return parsed;
}

// Where a line puts its item: nowhere (the item stays) when x or y does not convert or pack.
std::optional<Point> LinePoint(const LayoutFields& fields) {
    std::int32_t x = 0, y = 0;
    if (TryTextToLong(fields.x, x) && TryTextToLong(fields.y, y))
        return Stored(x, y);
    return std::nullopt;
}

// The placement cursor: its positions in turn, each step that would leave the 32-bit range
// leaving that coordinate as it was.
class Cursor {
  public:
    explicit Cursor(const ProgramState& state)
        : x_(state.startX), y_(state.startY), dx_(state.deltaX), dy_(state.deltaY) {}
    std::optional<Point> Next() {
        const std::optional<Point> at = Stored(x_, y_);
        x_ = x_ + dx_ < INT32_MIN || x_ + dx_ > INT32_MAX ? x_ : x_ + dx_;
        y_ = y_ + dy_ < INT32_MIN || y_ + dy_ > INT32_MAX ? y_ : y_ + dy_;
        return at;
    }

  private:
    std::int64_t x_, y_, dx_, dy_;
};

// The rule of the restore: each item, in index order, takes the first line of its name that no
// item before it took; an item with an empty name, or with no such line left, takes the cursor.
// Where each item goes (its place before, when it stays).
std::vector<Point> TakeFirstUntaken(const std::vector<std::string>& names,
                                    const std::vector<std::optional<LayoutFields>>& lines,
                                    const ProgramState& state, const std::vector<Point>& before) {
    std::vector<bool> taken(lines.size());
    std::vector<Point> after = before;
    Cursor cursor(state);
    for (std::size_t k = 0; k < names.size(); ++k) {
        std::size_t i = 0;
        while (!names[k].empty() && i < lines.size() &&
               (taken[i] || !lines[i] || lines[i]->name != names[k]))
            ++i;
        if (!names[k].empty() && i < lines.size()) {
            taken[i] = true;
            after[k] = LinePoint(*lines[i]).value_or(before[k]);
        } else {
            after[k] = cursor.Next().value_or(before[k]);
        }
    }
    return after;
}

// The search of earlier releases: each item's search goes on forward from where the one before
// it stopped (an item with an empty name searches too, and consumes a line with an empty name, but
// takes the cursor). Where the items go, when every item with a name found a line and no line a
// search passed over carries the name of an item after it: there it must agree with the rule
// above.
std::optional<std::vector<Point>>
ForwardWhereItAgrees(const std::vector<std::string>& names,
                     const std::vector<std::optional<LayoutFields>>& lines,
                     const ProgramState& state, const std::vector<Point>& before) {
    std::vector<Point> after = before;
    std::vector<std::size_t> passedOver;
    Cursor cursor(state);
    std::size_t at = 0;
    for (std::size_t k = 0; k < names.size(); ++k) {
        std::optional<std::size_t> match;
        for (; at < lines.size() && !match; ++at) {
            if (lines[at] && lines[at]->name == names[k])
                match = at;
            else
                passedOver.push_back(at);
        }
        if (!match && !names[k].empty())
            return std::nullopt; // a named item found no line
        for (const std::size_t skipped : passedOver) {
            for (std::size_t later = k; later < names.size(); ++later) {
                if (lines[skipped] && !names[later].empty() && lines[skipped]->name == names[later])
                    return std::nullopt;
            }
        }
        after[k] = match && !names[k].empty() ? LinePoint(*lines[*match]).value_or(before[k])
                                              : cursor.Next().value_or(before[k]);
    }
    return after;
}

// The name the program reads of an item: through the shell's memory its first 40 UTF-16 units,
// through a shared mapping its first 79 bytes, in Windows-1252, up to a NUL, spaces trimmed.
std::string NameRead(const std::u16string& text, bool nt) {
    std::string name =
        nt ? sim::Utf16ToCp1252(text.substr(0, 40)) : sim::Utf16ToCp1252(text).substr(0, 79);
    return Trim(name.substr(0, name.find('\0')));
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
    // A 64-bit program where this build is one (the 32-bit build replays the corpus as the 32-bit
    // program it is).
    session.SetProgramBits(windows64 && (flags & 0x04) == 0 && sim::kMostProgramBits == 64 ? 64
                                                                                           : 32);
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

    std::vector<std::string> names;
    for (const sim::SimItem& item : session.Items(shell.listView))
        names.push_back(NameRead(item.text, nt));
    const ProgramState settings = state;
    const modPindrel::RestoreReport report = modPindrel::RestoreLayout(session, state, layout);

    Require(Held(session) == held, "the restore left a handle, memory, a mapping or a file open");
    Require(session.Faults().empty(), "the simulated shell saw a fault");
    const bool faulty = (faults & 0x7F) != 0;
    Require(faulty || !report.namesUnreached, "names unread without a fault to explain it");
    if (!session.IsWindow(shell.listView))
        return 0; // it vanished part-way: what was moved stays, which the scenes check
    std::vector<Point> after;
    for (const sim::SimItem& item : session.Items(shell.listView))
        after.push_back(item.position);
    if (report.namesUnreached) {
        Require(after == before, "a restore that could read no name moved an icon");
        return 0;
    }
    const auto parsed = ParsedLines(layout);
    const std::vector<Point> expected = TakeFirstUntaken(names, parsed, settings, before);
    Require(after == expected, "an icon is not where the rule puts it");
    if (const auto forward = ForwardWhereItAgrees(names, parsed, settings, before))
        Require(*forward == expected, "the rule and the forward search disagree where they agree");
    return 0;
}
