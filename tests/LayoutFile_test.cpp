#include "Conversions.h"
#include "LayoutFile.h"
#include "LayoutLines.h"
#include "LayoutReference.h"
#include "SimFixture.h"

#include <gtest/gtest.h>

using namespace pindrel;

namespace {

// A number as the conversion reads it: its value, "x" when it is not numeric, "big" when it does
// not fit.
std::string Number(std::string_view text) {
    std::int32_t v = 0;
    return !IsNumeric(text) ? std::string("x") : TryTextToLong(text, v) ? std::to_string(v) : "big";
}

std::string Line(bool candidate, std::string_view x, std::string_view y, std::string_view name,
                 bool tooLong) {
    return !candidate ? "-"
                      : Number(x) + "|" + Number(y) + "|" + (tooLong ? "#" : std::string(name));
}

// Every line the streaming reader gives, handed out `block` bytes at a time, as "x|y|name" ("-"
// for a line that is no candidate, "#" for a name too long to match any item).
std::vector<std::string> Streamed(std::string_view text, std::size_t block) {
    TextSource source(text, block);
    LayoutLines lines(source);
    std::vector<std::string> out;
    LayoutEntry e;
    while (lines.Next(e))
        out.push_back(Line(e.candidate, e.x, e.y, e.name, e.nameTooLong));
    return out;
}

// The same from the whole text at once.
std::vector<std::string> Whole(std::string_view text) {
    std::vector<std::string> out;
    for (const auto line : SplitLines(text)) {
        LayoutFields f;
        const bool candidate = ParseLayoutLine(line, f);
        out.push_back(Line(candidate, f.x, f.y, f.name, f.name.size() > kLongestName));
    }
    return out;
}

} // namespace

TEST(LayoutFile, StreamedLinesAreTheLinesOfTheWholeText) {
    EXPECT_TRUE(Streamed("", 1).empty());
    EXPECT_EQ(Streamed("120,45,Work files\r\n10,,a\r\n,5,  a,b  \r\n", 3),
              (std::vector<std::string>{"120|45|Work files", "-", "x|5|a,b", "-"}));
    const std::string zeros(70000, '0');
    const std::string spaces(70000, ' ');
    // clang-format off
    const std::string texts[] = {
        "a\rb\nc\r\n\r\n", "1,2,a\r", "1,2,a\r\r\n", "5,7", "Files", "\r", "\r\r\n\r", "\n\n", "1,2,\0name\0\r\n",
        "1,2,  \tname\t  ", "5,7,", " -5 , +7. ,x", "- 5,1,x", "5 5,1,x", "2.5,3.5,x", "-2.5,.5,x",
        "2147483647.5,-2147483648.5,x", "2147483647.4999,-2147483648.4999,x", "1e3,0x10,x",
        zeros + "7," + zeros + "." + zeros + "1,deep",
        "2." + zeros + "1,0.5" + zeros + ",tie", "3.5" + zeros + ",1,x",
        // Just above the point halfway between 2.5 and the next double: 3, not 2.
        "2.5000000000000002220446049250313080847263336181640625" + zeros + "1,1,x",
        "12345678901,-00000000002147483648,x", "1,2," + spaces + "name" + spaces + "\r\n",
        "1,2," + std::string(kLongestName, 'n'), "1,2," + std::string(kLongestName + 1, 'n'),
        "1,2,a" + spaces + "b"};
    // clang-format on
    for (const auto& text : texts) {
        const auto expected = Whole(text);
        for (const std::size_t block :
             {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::string_view::npos}) {
            if (text.size() > 100000 && block < 2)
                continue;
            EXPECT_EQ(Streamed(text, block), expected)
                << text.substr(0, 60) << " in blocks of " << block;
        }
    }
}

class LayoutPath : public pindrel::testing::SimTest {};

// Where the platform reports pixels the tag is the pixel size at any dpi, also where 1440 / dpi
// twips per pixel is no whole or half number (106 dpi: 13.584...) and differs between the axes.
// Known in twips only, the width is divided by the horizontal twips per pixel and the height by
// the vertical one, in single precision. At a drive's root the folder already ends with "\": two
// separators in a row.
TEST_F(LayoutPath, NameFromUserComputerAndScreenSize) {
    session->SetScreenPixels(956, 720, 1440.0f / 106, 1440.0f / 110);
    EXPECT_EQ(LayoutFilePath(*session, "USER1", "DESK1"), "C:\\Tools\\USER1@DESK1@956x720.txt");
    session->SetExecutable("D:\\Pindrel.exe");
    const struct {
        float width, height, twipsPerPixelX, twipsPerPixelY;
        const char* path;
    } scenes[] = {{28800, 16200, 7.5f, 15, "D:\\\\@DESK1@3840x1080.txt"},
                  {15000, 9000, 15, 12, "D:\\\\@DESK1@1000x750.txt"},
                  {4096, 11520, 3, 15, "D:\\\\@DESK1@1365.333x768.txt"}};
    for (const auto& s : scenes) {
        session->SetScreen(s.width, s.height, s.twipsPerPixelX, s.twipsPerPixelY);
        EXPECT_EQ(LayoutFilePath(*session, "", "DESK1"), s.path);
    }
}
