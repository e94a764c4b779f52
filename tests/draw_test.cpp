// draw_test.cpp — where each square of a board lands in the 800 x 600 window.
#include <gtest/gtest.h>

#include <cmath>

#include "draw.h"
#include "gameConstants.h"

namespace {

// glDrawPixels covers the pixels whose centres lie at or right of (above) the
// raster position, so the first column (row) filled is the one whose centre is
// the first at or past it.
int firstPixel(float ndc, int windowSize) {
    const double window = (static_cast<double>(ndc) + 1.0) * windowSize / 2.0;
    return static_cast<int>(std::ceil(window - 0.5));
}

TEST(TileRasterPos, TwelveByTwelveCornersMatchTheLayout) {
    float x = 0, y = 0;
    tileRasterPos(12, 12, 0, 0, x, y);
    EXPECT_NEAR(x, -0.96f, 1e-6);
    EXPECT_NEAR(y, 0.80f, 1e-6);
    tileRasterPos(12, 12, 11, 11, x, y);
    EXPECT_NEAR(x, 0.80f, 1e-6);
    EXPECT_NEAR(y, -0.96f, 1e-6);
}

TEST(TileRasterPos, OneSquareBoardFillsTheAreaInsideTheMargin) {
    float x = 0, y = 0;
    tileRasterPos(1, 1, 0, 0, x, y);
    EXPECT_NEAR(x, -0.96f, 1e-6);
    EXPECT_NEAR(y, -0.96f, 1e-6);
}

TEST(TileRasterPos, EightBySixSquaresAreQuarterAndThirdWide) {
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    tileRasterPos(8, 6, 2, 3, x0, y0);
    tileRasterPos(8, 6, 3, 4, x1, y1);
    EXPECT_NEAR(x1 - x0, 0.24f, 1e-6);
    EXPECT_NEAR(y0 - y1, 0.32f, 1e-6);
}

// Every square of every board whose squares are a whole number of pixels starts
// exactly where the window layout puts it: 16 + i * 768 / w from the left and
// 12 + (h - 1 - j) * 576 / h from the bottom. A rounding slip in the float
// arithmetic would leave a one-pixel seam or overlap between squares.
TEST(TileRasterPos, EverySquareStartsOnItsWindowPixel) {
    for (int w : {1, 2, 3, 4, 6, 8, 12}) {
        for (int h : {1, 2, 3, 4, 6, 8, 9, 12}) {
            for (int i = 0; i < w; ++i) {
                for (int j = 0; j < h; ++j) {
                    float x = 0, y = 0;
                    tileRasterPos(w, h, i, j, x, y);
                    EXPECT_EQ(firstPixel(x, WINDOW_WIDTH), 16 + i * 768 / w)
                        << "board " << w << "x" << h << " square (" << i << ", " << j << ")";
                    EXPECT_EQ(firstPixel(y, WINDOW_HEIGHT), 12 + (h - 1 - j) * 576 / h)
                        << "board " << w << "x" << h << " square (" << i << ", " << j << ")";
                }
            }
        }
    }
}

}  // namespace
