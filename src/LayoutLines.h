// The lines of a layout, read as the restore's search needs them. The search only moves forward,
// so the layout is never held whole: a line at a time, each reduced to what the search uses of it,
// in memory that does not grow with the size of the file or of its lines.
//
// The lines are those of the whole text split at every CR LF, empty pieces kept; a lone CR or LF
// stays part of its line. An empty text has no lines at all, any other text one line more than it
// has CR LF pairs.
#pragma once

#include "LayoutSource.h"

#include <cstddef>
#include <memory>
#include <string>

namespace pindrel {

// No item text is longer: the list view hands out at most 40 UTF-16 code units, at most three bytes
// each in any system code page. A saved name longer than this can equal no item's text.
constexpr std::size_t kLongestName = 1024;

// One layout line. A candidate holds a first comma and, after it, a second comma with at least one
// character between them; x is what comes before the first comma, y what lies between the two, the
// name what follows the second one, trimmed of spaces.
struct LayoutEntry {
    bool candidate = false;
    // x and y as texts that the numeric test and the conversion take exactly as they take the
    // line's own texts: spaces around dropped, leading zeros dropped, a fraction's digits far past
    // any that can change the rounding summed up in one, a non-numeric text as "x".
    std::string x;
    std::string y;
    std::string name;
    bool nameTooLong = false; // the name is longer than kLongestName and matches no item
};

class LayoutLines {
  public:
    // Reads the first block at once, so that a source that cannot be read fails here, before the
    // restore has moved anything.
    explicit LayoutLines(LayoutSource& source);
    LayoutLines(const LayoutLines&) = delete;
    LayoutLines& operator=(const LayoutLines&) = delete;

    // The next line into `entry`; false when no line is left. Throws the source's Failure.
    bool Next(LayoutEntry& entry);

  private:
    bool Fill();

    LayoutSource& source_;
    std::unique_ptr<char[]> block_; // kBlockBytes, not cleared: only what was read is looked at
    std::size_t position_ = 0;
    std::size_t end_ = 0;
    bool sourceEnded_ = false;
    bool linesLeft_ = false;
};

} // namespace pindrel
