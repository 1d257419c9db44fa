// The stand-in desktop's scenario (what it starts with) and state (what it reports on a dump), in
// the formats that tools/desktop-host/desktop-host.cpp describes.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace e2e {

struct Icon {
    int x = 0;
    int y = 0;
    std::string name; // UTF-8, kept byte for byte

    friend bool operator==(const Icon& a, const Icon& b) {
        return a.x == b.x && a.y == b.y && a.name == b.name;
    }
    friend std::ostream& operator<<(std::ostream& out, const Icon& icon) {
        return out << "(" << icon.x << "," << icon.y << ",\"" << icon.name << "\")";
    }
};

struct Scenario {
    bool autoArrange = false;
    std::string view = "icon";      // icon, report, smallicon, list
    std::string shape = "standard"; // standard, noprogman, nolistview, twolistviews
    std::vector<Icon> icons;        // the desktop list view's
    std::vector<Icon> second;       // the second list view's (shape twolistviews)

    std::string Text() const;
};

struct ItemState {
    int index = 0;
    int x = 0;
    int y = 0;
    std::string text; // UTF-8
};

// LVM_GETVIEW's answers.
enum ViewCode { kViewIcon = 0, kViewDetails = 1, kViewSmallIcon = 2, kViewList = 3 };
constexpr std::uint32_t kAutoArrangeStyle = 0x100; // LVS_AUTOARRANGE
constexpr std::uint32_t kViewStyleMask = 0x3;      // LVS_TYPEMASK

struct ListViewState {
    std::uint32_t style = 0;
    bool autoArrange = false;
    int view = -1;
    int painted = 0;
    int moves = 0;         // position requests from other programs
    int arrangedMoves = 0; // those that arrived while auto-arrange was on
    std::vector<ItemState> items;

    // The items as scenario icons, for comparing with what a scenario placed.
    std::vector<Icon> Icons() const;
};

struct DesktopState {
    std::string shape;
    std::vector<ListViewState> lists;

    // The desktop list view (the first); throws when there is none.
    const ListViewState& desktop() const;
};

// Throws std::runtime_error when the text is not a complete state file.
DesktopState ParseDesktopState(const std::string& text);

} // namespace e2e
