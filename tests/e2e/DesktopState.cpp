#include "DesktopState.h"

#include <stdexcept>

namespace e2e {

namespace {

void AppendIcons(std::string& out, const std::vector<Icon>& icons) {
    for (const auto& icon : icons)
        out += std::to_string(icon.x) + "," + std::to_string(icon.y) + "," + icon.name + "\n";
}

[[noreturn]] void Malformed(const std::string& why, const std::string& line) {
    throw std::runtime_error("desktop state: " + why + ": \"" + line + "\"");
}

long long Number(const std::string& text, const std::string& line, int base = 10) {
    try {
        size_t used = 0;
        long long v = std::stoll(text, &used, base);
        if (used != text.size())
            Malformed("not a number", line);
        return v;
    } catch (const std::logic_error&) {
        Malformed("not a number", line);
    }
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find("\r\n", pos);
        if (end == std::string::npos)
            Malformed("last line without CR LF", text.substr(pos));
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

} // namespace

std::string Scenario::Text() const {
    std::string out = "# scenario for desktop-host.exe\n";
    out += std::string("autoarrange=") + (autoArrange ? "1" : "0") + "\n";
    out += "view=" + view + "\n";
    out += "shape=" + shape + "\n";
    AppendIcons(out, icons);
    if (!second.empty()) {
        out += "[second]\n";
        AppendIcons(out, second);
    }
    return out;
}

std::vector<Icon> ListViewState::Icons() const {
    std::vector<Icon> icons;
    for (const auto& item : items)
        icons.push_back(Icon{item.x, item.y, item.text});
    return icons;
}

const ListViewState& DesktopState::desktop() const {
    if (lists.empty())
        throw std::runtime_error("the stand-in desktop has no list view");
    return lists.front();
}

DesktopState ParseDesktopState(const std::string& text) {
    std::vector<std::string> lines = Lines(text);
    if (lines.empty() || lines[0] != "desktop-host state")
        Malformed("no header", lines.empty() ? "" : lines[0]);

    DesktopState state;
    long long expectedLists = -1;
    std::vector<long long> expectedCounts;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.rfind("[listview ", 0) == 0) {
            if (line != "[listview " + std::to_string(state.lists.size()) + "]")
                Malformed("list views out of order", line);
            state.lists.emplace_back();
            expectedCounts.push_back(-1);
            continue;
        }
        char first = line.empty() ? '\0' : line[0];
        if (first >= '0' && first <= '9') {
            if (state.lists.empty())
                Malformed("item outside a list view", line);
            size_t c1 = line.find(',');
            size_t c2 = c1 == std::string::npos ? c1 : line.find(',', c1 + 1);
            size_t c3 = c2 == std::string::npos ? c2 : line.find(',', c2 + 1);
            if (c3 == std::string::npos)
                Malformed("item line", line);
            ItemState item;
            item.index = static_cast<int>(Number(line.substr(0, c1), line));
            item.x = static_cast<int>(Number(line.substr(c1 + 1, c2 - c1 - 1), line));
            item.y = static_cast<int>(Number(line.substr(c2 + 1, c3 - c2 - 1), line));
            item.text = line.substr(c3 + 1);
            auto& items = state.lists.back().items;
            if (item.index != static_cast<int>(items.size()))
                Malformed("items out of order", line);
            items.push_back(item);
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            Malformed("line not understood", line);
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (key == "shape") {
            state.shape = value;
        } else if (key == "listviews") {
            expectedLists = Number(value, line);
        } else if (state.lists.empty()) {
            Malformed("list-view value outside a list view", line);
        } else if (key == "style") {
            if (value.rfind("0x", 0) != 0)
                Malformed("style", line);
            state.lists.back().style =
                static_cast<std::uint32_t>(Number(value.substr(2), line, 16));
        } else if (key == "autoarrange") {
            state.lists.back().autoArrange = Number(value, line) != 0;
        } else if (key == "view") {
            state.lists.back().view = static_cast<int>(Number(value, line));
        } else if (key == "painted") {
            state.lists.back().painted = static_cast<int>(Number(value, line));
        } else if (key == "moves") {
            state.lists.back().moves = static_cast<int>(Number(value, line));
        } else if (key == "arrangedmoves") {
            state.lists.back().arrangedMoves = static_cast<int>(Number(value, line));
        } else if (key == "count") {
            expectedCounts.back() = Number(value, line);
        } else {
            Malformed("unknown key", line);
        }
    }
    if (expectedLists != static_cast<long long>(state.lists.size()))
        throw std::runtime_error("desktop state: list-view count does not match");
    for (size_t k = 0; k < state.lists.size(); ++k) {
        if (expectedCounts[k] != static_cast<long long>(state.lists[k].items.size()))
            throw std::runtime_error("desktop state: item count does not match");
    }
    return state;
}

} // namespace e2e
