#include "LayoutLines.h"

namespace pindrel {

namespace {

constexpr std::size_t kBlockBytes = 64 * 1024;

// A number's text reduced, character by character, to one of bounded length that the numeric test
// accepts exactly when it accepts the whole text, and that converts to the same value.
//  - The whole part keeps its digits after the leading zeros; more than ten of them is at least
//    10^10, out of the 32-bit range whatever follows, and is kept as eleven nines.
//  - The fraction keeps its first kFractionDigits digits. The conversion reads the text as the
//    nearest double and rounds that to a whole number, a half to the even neighbour; what decides
//    the result is on which side of a half-integer that double falls. Every double next to a
//    half-integer of the 32-bit range, and every point halfway between two such doubles, is a
//    multiple of 2^-55 and so has at most 55 decimal places. Any text whose first 64 decimals are
//    given therefore falls, whatever follows, in the same open interval between two consecutive
//    such points, or on its lower end when nothing but zeros follows: one more digit "1" for "any
//    non-zero digit followed" keeps the text in that interval, and keeps the result.
class NumberText {
  public:
    void Add(char c) {
        if (invalid_) {
            return;
        }
        if (c == ' ') {
            trailing_ = started_;
            return;
        }
        if (trailing_) {
            invalid_ = true; // a space inside the number
            return;
        }
        const bool first = !started_;
        started_ = true;
        if ((c == '+' || c == '-') && first) {
            sign_ = c;
        } else if (c >= '0' && c <= '9') {
            AddDigit(c);
        } else if (c == '.' && !point_) {
            point_ = true;
        } else {
            invalid_ = true;
        }
    }

    void Take(std::string& text) const {
        text.clear();
        if (invalid_ || !digits_) {
            text = "x";
            return;
        }
        if (sign_ != 0) {
            text += sign_;
        }
        if (whole_.size() > kWholeDigits) {
            text += "99999999999";
        } else if (whole_.empty() && wholeZero_) {
            text += '0';
        } else {
            text += whole_;
        }
        if (point_) {
            text += '.';
            text += fraction_;
            if (beyond_) {
                text += '1';
            }
        }
    }

  private:
    static constexpr std::size_t kWholeDigits = 10;
    static constexpr std::size_t kFractionDigits = 64;

    void AddDigit(char c) {
        digits_ = true;
        if (point_) {
            if (fraction_.size() < kFractionDigits) {
                fraction_ += c;
            } else if (c != '0') {
                beyond_ = true;
            }
        } else if (whole_.empty() && c == '0') {
            wholeZero_ = true;
        } else if (whole_.size() <= kWholeDigits) {
            whole_ += c;
        }
    }

    bool started_ = false;
    bool trailing_ = false;
    bool invalid_ = false;
    bool digits_ = false;
    bool point_ = false;
    bool wholeZero_ = false;
    bool beyond_ = false;
    char sign_ = 0;
    std::string whole_;
    std::string fraction_;
};

// The name after the second comma, trimmed of spaces as it comes: spaces are held back as a count
// until a character follows them.
class NameText {
  public:
    void Add(char c) {
        if (c == ' ') {
            if (!name_.empty()) {
                ++spaces_;
            }
            return;
        }
        if (name_.size() + spaces_ + 1 > kLongestName) {
            tooLong_ = true;
            return;
        }
        if (!tooLong_) {
            name_.append(spaces_, ' ');
            name_ += c;
        }
        spaces_ = 0;
    }

    void Take(LayoutEntry& entry) {
        entry.name.swap(name_);
        entry.nameTooLong = tooLong_;
    }

  private:
    std::string name_;
    std::size_t spaces_ = 0;
    bool tooLong_ = false;
};

// One line's characters into its fields.
class LineFields {
  public:
    void Add(char c) {
        switch (part_) {
        case Part::X:
            c == ',' ? void(part_ = Part::Y) : x_.Add(c);
            break;
        case Part::Y:
            if (c == ',') {
                part_ = yLength_ == 0 ? Part::Rest : Part::Name;
            } else {
                ++yLength_;
                y_.Add(c);
            }
            break;
        case Part::Name:
            name_.Add(c);
            break;
        case Part::Rest:
            break; // a line with nothing between its first two commas is no candidate
        }
    }

    void Take(LayoutEntry& entry) {
        entry.candidate = part_ == Part::Name;
        x_.Take(entry.x);
        y_.Take(entry.y);
        name_.Take(entry);
    }

  private:
    enum class Part { X, Y, Name, Rest };
    Part part_ = Part::X;
    std::size_t yLength_ = 0;
    NumberText x_;
    NumberText y_;
    NameText name_;
};

} // namespace

LayoutLines::LayoutLines(LayoutSource& source) : source_(source), block_(new char[kBlockBytes]) {
    linesLeft_ = Fill();
}

bool LayoutLines::Fill() {
    if (sourceEnded_) {
        return false;
    }
    position_ = 0;
    end_ = source_.Read(block_.get(), kBlockBytes);
    sourceEnded_ = end_ == 0;
    return !sourceEnded_;
}

bool LayoutLines::Next(LayoutEntry& entry) {
    if (!linesLeft_) {
        return false;
    }
    LineFields fields;
    bool carriageReturn = false; // a CR whose next character is not known yet
    for (;;) {
        if (position_ == end_ && !Fill()) {
            linesLeft_ = false; // the text ends with this line
            break;
        }
        const char c = block_[position_++];
        if (carriageReturn) {
            carriageReturn = false;
            if (c == '\n') {
                break; // CR LF: another line follows, if only an empty one
            }
            fields.Add('\r');
        }
        if (c == '\r') {
            carriageReturn = true;
        } else {
            fields.Add(c);
        }
    }
    if (carriageReturn) {
        fields.Add('\r');
    }
    fields.Take(entry);
    return true;
}

} // namespace pindrel
