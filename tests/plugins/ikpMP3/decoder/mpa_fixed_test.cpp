// mpa_fixed_test.cpp — the decoder's named fixed-point operations at their edges: halves, signs,
// the largest products.
#include <gtest/gtest.h>

#include <cstdint>

#include "fixed.h"

namespace {

TEST(FixedPoint, RoundShiftRoundsHalvesUpOnBothSides)
{
    struct Case {
        int64_t v;
        int s;
        int64_t expected;
    };
    const Case cases[] = {
        {3, 1, 2},    {-3, 1, -1},  {5, 2, 1},     {6, 2, 2},       {-6, 2, -1},    {-7, 2, -2},
        {(int64_t{1} << 22) - 1, 23, 0}, {int64_t{1} << 22, 23, 1}, {-(int64_t{1} << 22), 23, 0},
        {-(int64_t{1} << 22) - 1, 23, -1}, {INT64_MAX >> 1, 62, 1}, {INT64_MIN >> 1, 62, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(round_shift(c.v, c.s), c.expected) << c.v << " >> " << c.s;
}

TEST(FixedPoint, ProductsKeepTheirFullWidthBeforeShifting)
{
    // 23 fraction bits: one times anything is that thing, and the widest operands do not wrap.
    EXPECT_EQ(MULL(FIX_ONE, 123456789), 123456789);
    EXPECT_EQ(MULL(INT32_MAX, INT32_MAX), int32_t((int64_t{INT32_MAX} * INT32_MAX) >> 23));
    EXPECT_EQ(MULL(-1, 1), -1);   // rounds down
    EXPECT_EQ(mul_round(-1, 1), 0);   // rounds half up
    EXPECT_EQ(mul_round(FIX_ONE / 2, 1), 1);
    EXPECT_EQ(mul_round(-(int64_t{1} << 39), FIX_ONE), -(int64_t{1} << 39));
    EXPECT_EQ(mul_shift(-(1 << 30), 1 << 30, 60), -1);
}

TEST(FixedPoint, ConstantsRoundToNearestOrByThePublishedConvention)
{
    EXPECT_EQ(fix_round(1.0), FIX_ONE);
    EXPECT_EQ(fix_round(0.5, 1), 1);
    EXPECT_EQ(fix_round(-0.5, 1), -1);   // away from zero, as lround
    EXPECT_EQ(fix_round(0.1, 28), 26843546);
    EXPECT_EQ(fix_trunc_half(0.1), 838861);   // 838860.8 + 0.5, truncated
    EXPECT_EQ(fix_trunc_half(-0.1), -838860);   // toward zero after adding 0.5
}

}  // namespace
