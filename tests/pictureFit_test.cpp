// pictureFit_test.cpp — the picture's scale and place for windows of every shape.
#include "pictureFit.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct FitCase {
    int window_w, window_h;
    int scale;
    int x, y, width, height;
};

// The game's 800 × 600 picture: whole multiples centred, shrunk below 1×.
const FitCase CASES[] = {
    {800, 600, 1, 0, 0, 800, 600},          // the window the game opens
    {801, 601, 1, 0, 0, 800, 600},          // one spare pixel: offsets round down
    {802, 602, 1, 1, 1, 800, 600},
    {1024, 768, 1, 112, 84, 800, 600},      // a 1024 × 768 screen
    {1599, 1199, 1, 399, 299, 800, 600},    // just short of 2×
    {1600, 1200, 2, 0, 0, 1600, 1200},      // exactly 2×
    {1600, 600, 1, 400, 0, 800, 600},       // wide: the height binds
    {800, 1200, 1, 0, 300, 800, 600},       // tall: the width binds
    {1920, 1080, 1, 560, 240, 800, 600},    // 1080p holds 1× only (1080 / 600)
    {1920, 1200, 2, 160, 0, 1600, 1200},
    {2560, 1440, 2, 480, 120, 1600, 1200},
    {3840, 2160, 3, 720, 180, 2400, 1800},  // 4K
    {7680, 4320, 7, 1040, 60, 5600, 4200},
    {400, 300, 0, 0, 0, 400, 300},          // half size: shrunk to fit exactly
    {400, 600, 0, 0, 150, 400, 300},        // narrow: the width binds
    {800, 300, 0, 200, 0, 400, 300},        // low: the height binds
    {799, 600, 0, 0, 0, 799, 599},          // one pixel short: rounded down, never over
    {1, 1, 0, 0, 0, 1, 1},
};

TEST(PictureFit, EveryWindowShapeGetsItsMultipleAndCentre) {
    for (const FitCase& c : CASES) {
        SCOPED_TRACE(testing::Message() << c.window_w << " x " << c.window_h);
        const PictureFit fit = fitPicture(c.window_w, c.window_h, 800, 600);
        EXPECT_EQ(fit.scale, c.scale);
        EXPECT_EQ(fit.x, c.x);
        EXPECT_EQ(fit.y, c.y);
        EXPECT_EQ(fit.width, c.width);
        EXPECT_EQ(fit.height, c.height);
        // The picture stays inside the window and the zoom draws exactly its size.
        EXPECT_GE(fit.x, 0);
        EXPECT_GE(fit.y, 0);
        EXPECT_LE(fit.x + fit.width, c.window_w);
        EXPECT_LE(fit.y + fit.height, c.window_h);
        if (c.scale >= 1) {
            EXPECT_EQ(fit.zoom, static_cast<float>(c.scale));
        } else {
            EXPECT_LT(fit.zoom, 1.0f);
            EXPECT_LE(std::floor(800 * fit.zoom), static_cast<float>(fit.width) + 0.5f);
            EXPECT_LE(std::floor(600 * fit.zoom), static_cast<float>(fit.height) + 0.5f);
        }
    }
}

TEST(PictureFit, WindowWithoutPixelsGetsNothing) {
    for (const auto& [w, h] : {std::pair{0, 600}, std::pair{800, 0}, std::pair{-5, 10}}) {
        const PictureFit fit = fitPicture(w, h, 800, 600);
        EXPECT_EQ(fit.width, 0);
        EXPECT_EQ(fit.height, 0);
        EXPECT_EQ(fit.zoom, 0.0f);
    }
}

}  // namespace
