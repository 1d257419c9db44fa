#include "LayoutMatch.h"

#include "Conversions.h"

#include <deque>
#include <exception>
#include <limits>
#include <map>

namespace pindrel {

namespace {

// The x and y texts of a line an item can take, as LayoutLines reduces them.
struct Line {
    std::string x;
    std::string y;
};

// One name's lines, in file order, and how many the desktop's items of that name can take.
struct Wanted {
    std::size_t items = 0;
    std::deque<Line> lines;
};

} // namespace

void MatchItems(const ProgramState& state, const std::vector<std::string>& names,
                LayoutLines& lines, std::vector<ItemMove>& moves, MatchCounts& counts) {
    std::vector<std::string> trimmed;
    std::map<std::string, Wanted> wanted;
    for (const std::string& name : names) {
        trimmed.push_back(Trim(name));
        if (!trimmed.back().empty()) {
            ++wanted[trimmed.back()].items;
        }
    }

    // The one pass over the file, as far as some item still lacks its line.
    std::size_t missing = 0;
    for (const auto& [name, want] : wanted) {
        missing += want.items;
    }
    std::exception_ptr unreadable;
    try {
        LayoutEntry entry;
        while (missing > 0 && lines.Next(entry)) {
            ++counts.linesParsed;
            if (!entry.candidate || entry.nameTooLong) {
                continue;
            }
            const auto found = wanted.find(entry.name);
            if (found != wanted.end() && found->second.lines.size() < found->second.items) {
                found->second.lines.push_back(Line{entry.x, entry.y});
                --missing;
            }
        }
    } catch (...) {
        unreadable = std::current_exception();
    }

    std::int32_t cursorX = state.startX;
    std::int32_t cursorY = state.startY;
    for (std::size_t k = 0; k < trimmed.size(); ++k) {
        const auto index = static_cast<std::int32_t>(k);
        const auto found = trimmed[k].empty() ? wanted.end() : wanted.find(trimmed[k]);
        if (found != wanted.end() && !found->second.lines.empty()) {
            const Line line = found->second.lines.front();
            found->second.lines.pop_front();
            std::int32_t x = 0;
            std::int32_t y = 0;
            if (TryTextToLong(line.x, x) && TryTextToLong(line.y, y) && PacksIntoLParam(x, y)) {
                moves.push_back(ItemMove{index, Point{x, y}});
                ++counts.fromFile;
            }
            continue;
        }
        if (unreadable) {
            continue; // its line may lie in the part that could not be read
        }
        if (PacksIntoLParam(cursorX, cursorY)) {
            moves.push_back(ItemMove{index, Point{cursorX, cursorY}});
            ++counts.fromCursor;
        }
        const std::int64_t nextX = static_cast<std::int64_t>(cursorX) + state.deltaX;
        const std::int64_t nextY = static_cast<std::int64_t>(cursorY) + state.deltaY;
        if (nextX >= std::numeric_limits<std::int32_t>::min() &&
            nextX <= std::numeric_limits<std::int32_t>::max()) {
            cursorX = static_cast<std::int32_t>(nextX);
        }
        if (nextY >= std::numeric_limits<std::int32_t>::min() &&
            nextY <= std::numeric_limits<std::int32_t>::max()) {
            cursorY = static_cast<std::int32_t>(nextY);
        }
    }
    if (unreadable) {
        std::rethrow_exception(unreadable);
    }
}

} // namespace pindrel
