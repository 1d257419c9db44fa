// The layout file's resolution tag at every display scaling.
#include "LayoutFile.h"
#include "SimFixture.h"

#include <gtest/gtest.h>

using namespace pindrel;

class ResolutionTagTest : public pindrel::testing::SimTest {};

// Where the platform reports pixels the tag is exactly the pixel size at every dpi, also where
// 1440 / dpi twips per pixel is not a whole or half number (106 dpi: 13.584... twips per pixel).
TEST_F(ResolutionTagTest, IsThePixelSizeAtEveryDpi) {
    const int sizes[][2] = {{800, 600},   {1024, 768},  {1280, 720},  {1280, 800},  {1280, 1024},
                            {1366, 768},  {1440, 900},  {1536, 864},  {1600, 900},  {1680, 1050},
                            {1920, 1080}, {1920, 1200}, {2256, 1504}, {2560, 1080}, {2560, 1440},
                            {2880, 1800}, {3440, 1440}, {3840, 2160}, {956, 720}};
    std::string wrong; // the first sizes whose tag is not their pixel size
    for (int dpi = 96; dpi <= 288; ++dpi) {
        for (const auto& size : sizes) {
            // Each axis its own: the two axes have different twips per pixel.
            session->SetScreenPixels(size[0], size[1], 1440.0f / static_cast<float>(dpi),
                                     1440.0f / static_cast<float>(dpi + 4));
            const std::string tag = ResolutionTag(*session);
            if (tag != std::to_string(size[0]) + "x" + std::to_string(size[1]) &&
                wrong.size() < 200)
                wrong += tag + " at " + std::to_string(dpi) + " dpi; ";
        }
    }
    EXPECT_EQ(wrong, "");
}
