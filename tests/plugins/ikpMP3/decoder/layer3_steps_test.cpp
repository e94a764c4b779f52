// layer3_steps_test.cpp — the steps of layer III decoding, each on hand-made input: dequantisation,
// Huffman data, side information, the bit reservoir, mixed blocks at 8000 Hz, stereo and the IMDCT.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "layer3.h"

namespace {

// Most significant bit first, as the decoder reads.
class BitWriter {
public:
    void put(uint32_t value, int n)
    {
        for (int i = n - 1; i >= 0; --i) {
            if (bits_ % 8 == 0)
                bytes_.push_back(0);
            if ((value >> i) & 1)
                bytes_.back() |= static_cast<uint8_t>(0x80 >> (bits_ % 8));
            ++bits_;
        }
    }
    int bits() const { return bits_; }
    // Padded with zero bytes so that reads past the end stay inside the buffer.
    std::vector<uint8_t> bytes() const
    {
        std::vector<uint8_t> b = bytes_;
        b.resize(b.size() + 16, 0);
        return b;
    }

private:
    std::vector<uint8_t> bytes_;
    int bits_ = 0;
};

class Layer3Steps : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The first decoder builds the shared tables.
        MPAuDecContext ctx;
        ASSERT_EQ(mpaudec_init(&ctx), 0);
        mpaudec_clear(&ctx);
    }

    void SetUp() override
    {
        s_ = std::make_unique<MPADecodeContext>();
        g_ = std::make_unique<GranuleDef>();
        g1_ = std::make_unique<GranuleDef>();
    }

    void read(const BitWriter& w)
    {
        data_ = w.bytes();
        init_get_bits(&s_->gb, data_.data(), static_cast<int>(data_.size()) * 8);
    }

    // A granule's block layout: all 22 bands long; all short; or mixed, long bands below
    // `long_end` and short ones from `short_start`.
    static void longBlocks(GranuleDef* g)
    {
        g->block_type = 0;
        g->short_start = 13;
        g->long_end = 22;
    }
    static void shortBlocks(GranuleDef* g)
    {
        g->block_type = 2;
        g->short_start = 0;
        g->long_end = 0;
    }
    static void mixedBlocks(GranuleDef* g, int long_end, int short_start)
    {
        g->block_type = 2;
        g->switch_point = 1;
        g->long_end = long_end;
        g->short_start = short_start;
    }
    // The sample rate by its index, 0..8: from 3 on, MPEG-2 and 2.5 with their one granule (lsf).
    void atRate(int index)
    {
        s_->sample_rate_index = index;
        s_->lsf = index >= 3;
    }

    // A long-block granule whose big values use `tables` over the given region lengths.
    void longGranule(int t0, int t1, int t2, int r0, int r1, int r2, int count1_table = 0)
    {
        longBlocks(g_.get());
        g_->table_select[0] = t0;
        g_->table_select[1] = t1;
        g_->table_select[2] = t2;
        g_->region_size[0] = r0;
        g_->region_size[1] = r1;
        g_->region_size[2] = r2;
        g_->count1table_select = static_cast<uint8_t>(count1_table);
    }

    std::unique_ptr<MPADecodeContext> s_;
    std::unique_ptr<GranuleDef> g_;
    std::unique_ptr<GranuleDef> g1_;
    std::vector<uint8_t> data_;
    int16_t exponents_[576] = {};
};

TEST_F(Layer3Steps, UnscaleFollowsThePowerLawToTheLastBit)
{
    // Spectral values carry SB_FRAC_BITS (1.0 = 2^27); whole powers of two come out exact.
    EXPECT_EQ(l3_unscale(1, 0), 1 << 27);
    EXPECT_EQ(l3_unscale(1, -4), 1 << 26);
    EXPECT_EQ(l3_unscale(1, 4), 1 << 28);
    EXPECT_EQ(l3_unscale(8, -12), 1 << 28);   // 8^(4/3) = 16, times 2^-3
    EXPECT_EQ(l3_unscale(1, -400), 0);   // shift of 64 or more
    // Every value and exponent within the range: the exact result rounded, give or take the
    // table's 32 significant bits.
    for (int value : {1, 2, 3, 7, 15, 16, 100, 1000, 4095, 8206}) {
        for (int exponent = -120; exponent <= 8; ++exponent) {
            const double exact = std::pow(value, 4.0 / 3.0) * std::pow(2.0, exponent / 4.0) * std::exp2(SB_FRAC_BITS);
            if (exact > INT32_MAX || exact < 1)   // below one unit the shift may pass 63: 0
                continue;
            EXPECT_NEAR(l3_unscale(value, exponent), exact, exact * 1e-9 + 0.5) << value << " " << exponent;
        }
    }
}

TEST_F(Layer3Steps, UnscaleSaturatesFarAboveFullScale)
{
    // Shift 1: the result needs more than 32 bits. Shift below 1 would be a negative shift count.
    EXPECT_EQ(l3_unscale(8206, 20), INT32_MAX);
    EXPECT_EQ(l3_unscale(8206, 28), INT32_MAX);
    EXPECT_EQ(l3_unscale(8206, 45), INT32_MAX);
    EXPECT_EQ(l3_unscale(15, 45), INT32_MAX);
    EXPECT_LT(l3_unscale(8206, -56), INT32_MAX);
    EXPECT_GT(l3_unscale(8206, -56), 1 << 30);
}

TEST_F(Layer3Steps, EveryHuffmanCodeDecodesToItsOwnValue)
{
    std::mt19937 random(7);
    for (int d = 1; d < 16; ++d) {
        const HuffTable& h = mpa_huff_tables[d];
        for (int symbol = 0; symbol < h.xsize * h.xsize; ++symbol) {
            BitWriter w;
            w.put(h.codes[symbol], h.bits[symbol]);
            w.put(random() & 0xFFFF, 16);   // whatever follows must not matter
            const std::vector<uint8_t> bytes = w.bytes();
            GetBitContext gb;
            init_get_bits(&gb, bytes.data(), static_cast<int>(bytes.size()) * 8);
            ASSERT_EQ(get_vlc(&gb, &huff_vlc[d]), symbol) << "descriptor " << d;
            ASSERT_EQ(get_bits_count(&gb), h.bits[symbol]) << "descriptor " << d;
            EXPECT_EQ(huff_code_table[d][symbol], ((symbol / h.xsize) << 4) | (symbol % h.xsize));
        }
    }
    for (int t = 0; t < 2; ++t) {
        for (int value = 0; value < 16; ++value) {
            BitWriter w;
            w.put(mpa_quad_codes[t][value], mpa_quad_bits[t][value]);
            const std::vector<uint8_t> bytes = w.bytes();
            GetBitContext gb;
            init_get_bits(&gb, bytes.data(), static_cast<int>(bytes.size()) * 8);
            ASSERT_EQ(get_vlc(&gb, &huff_quad_vlc[t]), value) << "count-1 table " << t;
        }
    }
    // Table B is the plain 4-bit complement of the value.
    EXPECT_EQ(mpa_quad_codes[1][0], 15);
    EXPECT_EQ(mpa_quad_bits[1][9], 4);
}

TEST_F(Layer3Steps, TwoLevelLookupsAgreeWithTheCodeTreesOnEveryCodeAndOnRandomBits)
{
    std::mt19937_64 random(11);
    for (int d = 1; d < 16; ++d) {
        const HuffTable& h = mpa_huff_tables[d];
        for (int symbol = 0; symbol < h.xsize * h.xsize; ++symbol) {
            const int length = h.bits[symbol];
            const uint64_t tail = random() >> length;   // whatever follows must not matter
            const uint64_t window = (uint64_t{h.codes[symbol]} << (64 - length)) | tail;
            ASSERT_EQ(huff_entry(huff_lookup[d], window),
                      (static_cast<uint32_t>(length) << 8) | huff_code_table[d][symbol])
                << "descriptor " << d << " symbol " << symbol;
        }
    }
    for (int t = 0; t < 2; ++t)
        for (int value = 0; value < 16; ++value) {
            const int length = mpa_quad_bits[t][value];
            const uint64_t window = (uint64_t{mpa_quad_codes[t][value]} << (64 - length)) | (random() >> length);
            ASSERT_EQ(huff_entry(huff_quad_lookup[t], window), (static_cast<uint32_t>(length) << 8) | value);
        }
    // Any bits, also those that are no code, read as with the bit reader's trees.
    for (int trial = 0; trial < 20000; ++trial) {
        const uint64_t window = random() << (trial % 13);   // runs of zeros reach the deep codes
        uint8_t bytes[8];
        for (int i = 0; i < 8; ++i)
            bytes[i] = static_cast<uint8_t>(window >> (56 - 8 * i));
        const int d = 1 + trial % 17;
        const bool quad = d > 15;
        GetBitContext gb;
        init_get_bits(&gb, bytes, 64);
        const int symbol = get_vlc(&gb, quad ? &huff_quad_vlc[d - 16] : &huff_vlc[d]);
        const uint32_t entry = huff_entry(quad ? huff_quad_lookup[d - 16] : huff_lookup[d], window);
        if (symbol < 0) {
            EXPECT_EQ(entry, 0u) << "descriptor " << d;   // a pattern that is no code stays one
            continue;
        }
        EXPECT_EQ(static_cast<int>(entry >> 8), get_bits_count(&gb)) << "descriptor " << d;
        EXPECT_EQ(static_cast<int>(entry & 0xFF), quad ? symbol : huff_code_table[d][symbol]) << "descriptor " << d;
    }
}

TEST_F(Layer3Steps, EscapeWithThirteenLinbitsReachesTheLastTableEntry)
{
    for (int table : {23, 31}) {   // the two escape families with 13 linbits
        const HuffTable& h = mpa_huff_tables[mpa_huff_data[table][0]];
        ASSERT_EQ(mpa_huff_data[table][1], 13);
        BitWriter w;
        const int symbol = 15 * 16 + 1;   // x = 15 (escape), y = 1
        w.put(h.codes[symbol], h.bits[symbol]);
        w.put(8191, 13);   // 15 + 8191 = 8206
        w.put(1, 1);       // x negative
        w.put(0, 1);       // y positive
        const int end = w.bits();
        read(w);
        longGranule(table, 0, 0, 1, 0, 0);
        for (int i = 0; i < 576; ++i)
            exponents_[i] = -36;
        ASSERT_EQ(huffman_decode(s_.get(), g_.get(), exponents_, end), 0) << table;
        EXPECT_EQ(g_->sb_hybrid[0], -l3_unscale(8206, -36)) << table;
        EXPECT_EQ(g_->sb_hybrid[1], l3_unscale(1, -36)) << table;
        EXPECT_EQ(get_bits_count(&s_->gb), end) << table;
        for (int i = 2; i < 576; ++i)
            ASSERT_EQ(g_->sb_hybrid[i], 0) << table << " line " << i;
    }
}

TEST_F(Layer3Steps, TablesZeroFourAndFourteenReadNoBits)
{
    BitWriter w;
    w.put(mpa_quad_codes[1][8], 4);   // count-1 table B: v = 1, then its sign
    w.put(1, 1);
    const int end = w.bits();
    read(w);
    longGranule(0, 4, 14, 2, 2, 2, 1);
    for (int i = 0; i < 576; ++i)
        exponents_[i] = 0;
    std::fill(std::begin(g_->sb_hybrid), std::end(g_->sb_hybrid), 12345);
    ASSERT_EQ(huffman_decode(s_.get(), g_.get(), exponents_, end), 0);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(g_->sb_hybrid[i], 0) << i;
    EXPECT_EQ(g_->sb_hybrid[12], -l3_unscale(1, 0));
    for (int i = 13; i < 576; ++i)
        ASSERT_EQ(g_->sb_hybrid[i], 0) << i;
    EXPECT_EQ(get_bits_count(&s_->gb), end);
}

TEST_F(Layer3Steps, QuadrupleCutByPartLengthIsUndone)
{
    BitWriter w;
    w.put(mpa_quad_codes[1][1], 4);   // y = 1
    w.put(0, 1);
    const int first_end = w.bits();
    w.put(mpa_quad_codes[1][15], 4);  // all four set, four sign bits
    w.put(0b1010, 4);
    const int second_end = w.bits();
    longGranule(0, 0, 0, 0, 0, 0, 1);
    const int32_t one = l3_unscale(1, 0);

    // The part length ends inside the second quadruple: it is dropped and its bits given back.
    read(w);
    ASSERT_EQ(huffman_decode(s_.get(), g_.get(), exponents_, first_end + 6), 0);
    EXPECT_EQ(g_->sb_hybrid[3], one);
    for (int i = 4; i < 8; ++i)
        EXPECT_EQ(g_->sb_hybrid[i], 0) << i;
    EXPECT_EQ(get_bits_count(&s_->gb), first_end);

    // Ending exactly after it keeps it.
    read(w);
    ASSERT_EQ(huffman_decode(s_.get(), g_.get(), exponents_, second_end), 0);
    const int32_t expected[4] = {-one, one, -one, one};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(g_->sb_hybrid[4 + i], expected[i]) << i;
    EXPECT_EQ(get_bits_count(&s_->gb), second_end);
}

// Side information of one granule and channel; returns -1 as the decoder does.
int sideInfo(MPADecodeContext* s, GranuleDef* g, int big_values, bool switching, int block_type, bool mixed,
             int r0 = 0, int r1 = 0)
{
    BitWriter w;
    w.put(1000, 12);   // part2_3_length
    w.put(big_values, 9);
    w.put(150, 8);     // global_gain
    w.put(0, s->lsf ? 9 : 4);
    w.put(switching, 1);
    if (switching) {
        w.put(block_type, 2);
        w.put(mixed, 1);
        w.put(1, 5);
        w.put(2, 5);
        w.put(0b001010011, 9);
    } else {
        w.put(1, 5);
        w.put(2, 5);
        w.put(3, 5);
        w.put(r0, 4);
        w.put(r1, 3);
    }
    w.put(0, s->lsf ? 2 : 3);
    static std::vector<uint8_t> bytes;
    bytes = w.bytes();
    init_get_bits(&s->gb, bytes.data(), static_cast<int>(bytes.size()) * 8);
    return read_granule_side_info(s, g);
}

TEST_F(Layer3Steps, RegionsShrinkToBigValues)
{
    s_->sample_rate_index = 0;   // 44100 Hz: region 0 ends at 2 pairs, region 1 at 4 with counts 0, 0
    struct Case {
        int big_values;
        int regions[3];
    } cases[] = {{0, {0, 0, 0}}, {1, {1, 0, 0}}, {3, {2, 1, 0}}, {4, {2, 2, 0}}, {100, {2, 2, 96}}, {300, {2, 2, 284}}};
    ASSERT_EQ(sideInfo(s_.get(), g_.get(), 0, false, 0, false), 0);
    EXPECT_EQ(g_->global_gain, 150);
    s_->mode_ext = 2;   // mid/side alone carries its 1/√2 in the gain
    ASSERT_EQ(sideInfo(s_.get(), g_.get(), 0, false, 0, false), 0);
    EXPECT_EQ(g_->global_gain, 148);
    s_->mode_ext = 3;
    ASSERT_EQ(sideInfo(s_.get(), g_.get(), 0, false, 0, false), 0);
    EXPECT_EQ(g_->global_gain, 150);
    s_->mode_ext = 0;
    for (const Case& c : cases) {
        ASSERT_EQ(sideInfo(s_.get(), g_.get(), c.big_values, false, 0, false), 0);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(g_->region_size[i], c.regions[i]) << "big_values " << c.big_values << " region " << i;
        EXPECT_EQ(g_->table_select[2], 3);
    }
    // The region 1 boundary stops at the last band.
    ASSERT_EQ(sideInfo(s_.get(), g_.get(), 288, false, 0, false, 15, 7), 0);
    EXPECT_EQ(g_->region_size[0], 162 / 2);
    EXPECT_EQ(g_->region_size[0] + g_->region_size[1], 288);
    EXPECT_EQ(g_->region_size[2], 0);
}

TEST_F(Layer3Steps, WindowSwitchingSetsRegionsAndBands)
{
    s_->sample_rate_index = 0;
    ASSERT_EQ(sideInfo(s_.get(), g_.get(), 100, true, 2, true), 0);
    EXPECT_EQ(g_->region_size[0], 18);
    EXPECT_EQ(g_->region_size[1], 82);
    EXPECT_EQ(g_->long_end, 8);
    EXPECT_EQ(g_->short_start, 3);
    EXPECT_EQ(g_->subblock_gain[0], 1);
    EXPECT_EQ(g_->subblock_gain[2], 3);
    ASSERT_EQ(sideInfo(s_.get(), g_.get(), 100, true, 2, false), 0);
    EXPECT_EQ(g_->long_end, 0);
    EXPECT_EQ(g_->short_start, 0);
    ASSERT_EQ(sideInfo(s_.get(), g_.get(), 100, true, 3, false), 0);
    EXPECT_EQ(g_->long_end, 22);
    EXPECT_EQ(g_->short_start, 13);
    EXPECT_EQ(sideInfo(s_.get(), g_.get(), 100, true, 0, false), -1);

    // 8000 Hz: region 1 starts at the fourth short band (72 lines) or the ninth long band (108).
    atRate(8);
    ASSERT_EQ(sideInfo(s_.get(), g_.get(), 100, true, 2, true), 0);
    EXPECT_EQ(g_->region_size[0], 36);
    EXPECT_EQ(g_->long_end, 4);
    EXPECT_EQ(g_->short_start, 2);
    ASSERT_EQ(sideInfo(s_.get(), g_.get(), 100, true, 1, false), 0);
    EXPECT_EQ(g_->region_size[0], 54);
}

TEST_F(Layer3Steps, ReservoirComesFromThePreviousRowOrZeros)
{
    MPADecodeContext* s = s_.get();
    // First frame after creation: 100 bytes in row 0, main data reaching 50 bytes back.
    s->inbuf_index = 0;
    s->inbuf = s->inbuf1[0] + BACKSTEP_SIZE;
    s->frame_size = 100;
    for (int i = 0; i < 100; ++i)
        s->inbuf[i] = static_cast<uint8_t>(i + 1);
    init_get_bits(&s->gb, s->inbuf + 4, 96 * 8);
    skip_bits(&s->gb, 17 * 8);   // side information
    seek_to_maindata(s, 50);
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(get_bits(&s->gb, 8), 0u) << i;
    EXPECT_EQ(get_bits(&s->gb, 8), 22u);   // the frame's byte 21
    EXPECT_EQ(s->inbuf_index, 1);
    EXPECT_EQ(s->inbuf, s->inbuf1[1] + BACKSTEP_SIZE);
    EXPECT_EQ(s->old_frame_size, 100);

    // Second frame, in row 1: its reservoir is the last 10 bytes of the first.
    s->frame_size = 80;
    for (int i = 0; i < 80; ++i)
        s->inbuf[i] = static_cast<uint8_t>(200 + i);
    init_get_bits(&s->gb, s->inbuf + 4, 76 * 8);
    skip_bits(&s->gb, 17 * 8);
    seek_to_maindata(s, 10);
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(get_bits(&s->gb, 8), 91u + i) << i;
    EXPECT_EQ(get_bits(&s->gb, 8), 221u);
    EXPECT_EQ(s->inbuf_index, 0);
    EXPECT_EQ(s->old_frame_size, 80);

    // main_data_begin 0 reads the frame's own bytes, and the reader ends with the frame.
    s->frame_size = 30;
    init_get_bits(&s->gb, s->inbuf + 4, 26 * 8);
    skip_bits(&s->gb, 17 * 8);
    seek_to_maindata(s, 0);
    EXPECT_EQ(get_bits(&s->gb, 8), 22u);
    skip_bits(&s->gb, 8 * 8);
    EXPECT_EQ(get_bits(&s->gb, 8), 0u);
}

TEST_F(Layer3Steps, MixedBlockAt8000Hz)
{
    atRate(8);
    GranuleDef* g = g_.get();
    mixedBlocks(g, 4, 2);
    g->global_gain = 210;
    g->scalefac_scale = 0;
    g->subblock_gain[0] = 0;
    g->subblock_gain[1] = 1;
    g->subblock_gain[2] = 2;
    for (int i = 0; i < 40; ++i)
        g->scale_factors[i] = static_cast<uint8_t>(i % 8);

    // Four long bands of 12 lines, then short band 2 (8 lines) window by window.
    exponents_from_scale_factors(s_.get(), g, exponents_);
    for (int i = 0; i < 48; ++i)
        ASSERT_EQ(exponents_[i], -2 * (i / 12)) << i;
    for (int l = 0; l < 3; ++l)
        for (int i = 0; i < 8; ++i)
            ASSERT_EQ(exponents_[48 + 8 * l + i], -8 * l - 2 * (4 + l)) << l << " " << i;

    // Reordering starts at line 48.
    for (int i = 0; i < 576; ++i)
        g->sb_hybrid[i] = 1000 * i;
    reorder_block(s_.get(), g);
    for (int i = 0; i < 48; ++i)
        ASSERT_EQ(g->sb_hybrid[i], 1000 * i);
    for (int j = 0; j < 8; ++j)
        for (int k = 0; k < 3; ++k)
            ASSERT_EQ(g->sb_hybrid[48 + 3 * j + k], 1000 * (48 + 8 * k + j)) << j << " " << k;

    // Alias reduction only across the boundary of sub-bands 0 and 1.
    std::vector<int32_t> before(g->sb_hybrid, g->sb_hybrid + 576);
    compute_antialias(s_.get(), g);
    for (int i = 0; i < 576; ++i) {
        if (i >= 10 && i < 26)
            EXPECT_NE(g->sb_hybrid[i], before[i]) << i;
        else
            ASSERT_EQ(g->sb_hybrid[i], before[i]) << i;
    }
}

TEST_F(Layer3Steps, MidSideOnlySumsAndDifferences)
{
    s_->mode_ext = 2;
    for (int i = 0; i < 576; ++i) {
        g_->sb_hybrid[i] = 1000 * i;
        g1_->sb_hybrid[i] = 7 - i;
    }
    compute_stereo(s_.get(), g_.get(), g1_.get());
    for (int i = 0; i < 576; ++i) {
        ASSERT_EQ(g_->sb_hybrid[i], 1000 * i + 7 - i);
        ASSERT_EQ(g1_->sb_hybrid[i], 1000 * i - 7 + i);
    }
}

TEST_F(Layer3Steps, IntensityStereoAboveTheLastNonZeroBand)
{
    s_->sample_rate_index = 0;   // band 5 is lines 20..23, band 6 lines 24..29, band 10 lines 52..61
    const int32_t x = 1 << 22;
    for (int mode_ext : {1, 3}) {
        s_->mode_ext = mode_ext;
        GranuleDef* r = g1_.get();
        longBlocks(r);
        for (int i = 0; i < 22; ++i)
            r->scale_factors[i] = 3;   // tan(π/4): half to each side
        r->scale_factors[10] = 7;      // not an intensity position: normal stereo
        r->scale_factors[20] = 0;      // all to the right; band 21 takes band 20's position
        for (int i = 0; i < 576; ++i) {
            g_->sb_hybrid[i] = x;
            r->sb_hybrid[i] = (i >= 20 && i < 24) ? x / 2 : 0;
        }
        compute_stereo(s_.get(), g_.get(), r);
        const int32_t half = MULL(x, is_table[0][3]);
        EXPECT_EQ(half, x / 2);
        EXPECT_EQ(g_->sb_hybrid[24], half) << mode_ext;
        EXPECT_EQ(r->sb_hybrid[24], half) << mode_ext;
        EXPECT_EQ(g_->sb_hybrid[300], half) << mode_ext;
        EXPECT_EQ(g_->sb_hybrid[500], 0) << mode_ext;   // band 21
        EXPECT_EQ(r->sb_hybrid[500], x) << mode_ext;
        const bool ms = mode_ext & 2;
        const int32_t normal_left = ms ? static_cast<int32_t>((int64_t{x} * 5931642) >> 23) : x;
        EXPECT_EQ(g_->sb_hybrid[55], normal_left) << mode_ext;   // band 10
        EXPECT_EQ(r->sb_hybrid[55], ms ? normal_left : 0) << mode_ext;
        // Bands at and below the last non-zero one are normal stereo.
        const int32_t sum = static_cast<int32_t>((int64_t{x + x / 2} * 5931642) >> 23);
        EXPECT_EQ(g_->sb_hybrid[21], ms ? sum : x) << mode_ext;
        EXPECT_EQ(g_->sb_hybrid[2], normal_left) << mode_ext;
    }
}

TEST_F(Layer3Steps, ShortBlockIntensityWorksWindowByWindow)
{
    s_->sample_rate_index = 0;   // short band 7 starts at line 120 (width 12), 8 at 156 (14), 12 at 408 (56)
    s_->mode_ext = 1;
    GranuleDef* r = g1_.get();
    shortBlocks(r);
    for (int k = 0; k < 39; ++k)
        r->scale_factors[k] = 3;
    r->scale_factors[11 * 3 + 2] = 0;   // band 11, window 2; band 12 takes it over
    const int32_t x = 1 << 22;
    for (int i = 0; i < 576; ++i) {
        g_->sb_hybrid[i] = x;
        r->sb_hybrid[i] = 0;
    }
    r->sb_hybrid[175] = 5;   // band 8, window 1
    compute_stereo(s_.get(), g_.get(), r);
    auto expect = [&](int line, int32_t left, int32_t right) {
        EXPECT_EQ(g_->sb_hybrid[line], left) << line;
        EXPECT_EQ(r->sb_hybrid[line], right) << line;
    };
    expect(408 + 2 * 56 + 1, 0, x);   // band 12, window 2: all to the right
    expect(408, x / 2, x / 2);        // band 12, window 0
    expect(186, x / 2, x / 2);        // band 8, window 2
    expect(175, x, 5);                // the non-zero band stays as it is
    expect(140, x, 0);                // below it in window 1: normal stereo
    expect(130, x / 2, x / 2);        // band 7, window 0 has seen nothing non-zero
}

TEST_F(Layer3Steps, LowerRateIntensityScalesOneSide)
{
    atRate(3);
    s_->mode_ext = 1;
    GranuleDef* r = g1_.get();
    longBlocks(r);
    r->scalefac_compress = 1;   // intensity scale 1: steps of 2^(-1/2)
    for (int i = 0; i < 22; ++i)
        r->scale_factors[i] = static_cast<uint8_t>(i % 2 ? 1 : 2);
    const int32_t x = 1 << 22;
    for (int i = 0; i < 576; ++i) {
        g_->sb_hybrid[i] = x;
        r->sb_hybrid[i] = 0;
    }
    compute_stereo(s_.get(), g_.get(), r);
    const int32_t reduced = static_cast<int32_t>(x / std::sqrt(2.0));
    // Band 1 (lines 6..11), position 1: the left side is reduced. Band 2 (12..17), position 2: the right.
    EXPECT_NEAR(g_->sb_hybrid[7], reduced, 2);
    EXPECT_EQ(r->sb_hybrid[7], x);
    EXPECT_EQ(g_->sb_hybrid[13], x);
    EXPECT_NEAR(r->sb_hybrid[13], reduced, 2);
}

double imdctFormula(const int32_t* in, int n, int i)
{
    double sum = 0.0;
    for (int k = 0; k < n / 2; ++k)
        sum += in[k] * std::cos(M_PI / (2.0 * n) * (2 * i + 1 + n / 2.0) * (2 * k + 1));
    return sum;
}

TEST_F(Layer3Steps, TransformsMatchTheirFormulas)
{
    std::mt19937 random(11);
    // Spectral values of an eighth of full scale and of full scale: the loud outputs reach about
    // sixteen times full scale, where the transform's sums are widest.
    for (const int32_t range : {1 << 24, 1 << 27}) {
        std::uniform_int_distribution<int32_t> value(-range, range);
        double worst36 = 0.0;
        double worst12 = 0.0;
        for (int trial = 0; trial < 200; ++trial) {
            int32_t in[18];
            for (int32_t& v : in)
                v = value(random);
            int32_t out[36];
            imdct36(out, in);
            for (int i = 0; i < 36; ++i)
                worst36 = std::max(worst36, std::abs(out[i] - imdctFormula(in, 36, i)));
            int32_t out12[12];
            imdct12(out12, in);
            for (int i = 0; i < 12; ++i)
                worst12 = std::max(worst12, std::abs(out12[i] - imdctFormula(in, 12, i)));
        }
        // Units of the last bit (2^-27): one 16-bit step of output is 4096 of them. The 36-point
        // transform rounds once at the end, its constants short of exact by 2^-28 of full scale.
        std::printf("largest IMDCT error at inputs up to 2^%d: 36-point %.2f, 12-point %.2f (units of 2^-27)\n",
                    static_cast<int>(std::log2(range)), worst36, worst12);
        EXPECT_LT(worst36, range == 1 << 24 ? 2.0 : 8.0);
        EXPECT_LT(worst12, range == 1 << 24 ? 8.0 : 64.0);
    }
}

TEST_F(Layer3Steps, SilenceAfterLoudOutputsTheOverlapThenZeros)
{
    GranuleDef* g = g_.get();
    g->block_type = 0;
    g->switch_point = 0;
    std::mt19937 random(3);
    for (int i = 0; i < 576; ++i)
        g->sb_hybrid[i] = static_cast<int32_t>(random() % 200000) - 100000;
    int32_t out[18][SBLIMIT];
    int32_t overlap[576] = {};
    compute_imdct(s_.get(), g, &out[0][0], overlap);
    const std::vector<int32_t> carried(overlap, overlap + 576);
    EXPECT_NE(std::count(carried.begin(), carried.end(), 0), 576);

    std::fill(std::begin(g->sb_hybrid), std::end(g->sb_hybrid), 0);
    compute_imdct(s_.get(), g, &out[0][0], overlap);
    for (int j = 0; j < SBLIMIT; ++j)
        for (int i = 0; i < 18; ++i)
            ASSERT_EQ(out[i][j], carried[SBLIMIT * i + j]) << j << " " << i;

    compute_imdct(s_.get(), g, &out[0][0], overlap);
    for (int j = 0; j < SBLIMIT; ++j)
        for (int i = 0; i < 18; ++i)
            ASSERT_EQ(out[i][j], 0) << j << " " << i;
}

}  // namespace
