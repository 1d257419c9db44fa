// The layout file's name, with its resolution tag at every display scaling. (How its lines are
// read is held to the whole-text reading by layout_lines_fuzz on its corpus.)
#include "LayoutFile.h"
#include "SimFixture.h"
#include "Utf.h"

#include <gtest/gtest.h>

using namespace pindrel;

class LayoutPath : public pindrel::testing::SimTest {};

// Where the platform reports pixels the tag is the pixel size at any dpi, also where 1440 / dpi
// twips per pixel is no whole or half number and differs between the axes (1366 pixels at 102 dpi
// would come back from twips as 1365.9999). Known in twips only, the width is divided by the
// horizontal twips per pixel and the height by the vertical one, in single precision. At a drive's
// root the folder already ends with "\": two separators in a row.
TEST_F(LayoutPath, NameFromUserComputerAndScreenSize) {
    const struct {
        bool pixels;
        float width, height, twipsPerPixelX, twipsPerPixelY;
        const char *executable, *user, *path;
    } scenes[] = {
        {true, 956, 720, 1440.0f / 106, 1440.0f / 110, "C:\\Tools\\Pindrel.exe", "USER1",
         "C:\\Tools\\USER1@DESK1@956x720.txt"},
        {true, 1366, 768, 1440.0f / 102, 1440.0f / 106, "C:\\Tools\\Pindrel.exe", "U",
         "C:\\Tools\\U@DESK1@1366x768.txt"},
        {true, 3840, 2160, 1440.0f / 103, 1440.0f / 107, "C:\\Tools\\Pindrel.exe", "U",
         "C:\\Tools\\U@DESK1@3840x2160.txt"},
        {false, 28800, 16200, 7.5f, 15, "D:\\Pindrel.exe", "", "D:\\\\@DESK1@3840x1080.txt"},
        {false, 15000, 9000, 15, 12, "D:\\Pindrel.exe", "", "D:\\\\@DESK1@1000x750.txt"},
        {false, 4096, 11520, 3, 15, "D:\\Pindrel.exe", "", "D:\\\\@DESK1@1365.333x768.txt"}};
    for (const auto& s : scenes) {
        session->SetExecutable(s.executable);
        if (s.pixels)
            session->SetScreenPixels(static_cast<int>(s.width), static_cast<int>(s.height),
                                     s.twipsPerPixelX, s.twipsPerPixelY);
        else
            session->SetScreen(s.width, s.height, s.twipsPerPixelX, s.twipsPerPixelY);
        EXPECT_EQ(LayoutFilePath(*session, Utf8ToUtf16(s.user), u"DESK1"), Utf8ToUtf16(s.path))
            << s.width;
    }
}
