// layer3_imdct.cpp — layer III's hybrid filter bank: short blocks reordered, alias reduction, the
// 36- and 12-point IMDCT with windowing and overlap-add into the sub-band samples.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "imdct_kernels.h"
#include "layer3.h"

int32_t csa_table[8][2];
int32_t mdct_win[8][36];
int64_t icos36[9];
int64_t icos72[18];
int64_t imdct_odd_scale[18];
int64_t cos9[4][9];
int64_t mdct_win_lanes[4][36][4];

namespace {

constexpr int COS9_BITS = IMDCT_COS9_BITS;
static_assert(IMDCT_FRAC_BITS == FRAC_BITS);

int32_t cos12[6][6];      // cos((2m + 1)(2k + 1)π/24), the 6-point DCT-IV, 23 fraction bits

// Index of the last non-zero line plus one (0 for an all-zero spectrum).
int spectrum_end(const int32_t* x)
{
    int n = GRANULE_LINES;
    while (n > 0 && x[n - 1] == 0)
        --n;
    return n;
}

// The 18-point DCT-IV c[m] = Σ in[k] cos((2m + 1)(2k + 1)π/72), through two 9-point cosine sums,
// in and out with SB_FRAC_BITS fraction bits, inputs clamped to IMDCT_INPUT_LIMIT.
void dct4_18(int64_t c[18], const int32_t in[18])
{
    constexpr int32_t INPUT_LIMIT = IMDCT_INPUT_LIMIT;
    int32_t v[18];
    for (int i = 0; i < 18; ++i)
        v[i] = in[i] > INPUT_LIMIT ? INPUT_LIMIT : (in[i] < -INPUT_LIMIT ? -INPUT_LIMIT : in[i]);
    // With u[k] = in[k] + in[k - 1], the even sums take u[0], u[2], ..., u[16] and the odd sums
    // u[1] + u[-1], u[3] + u[1], ..., u[17] + u[15].
    int64_t a[2][9];
    a[0][0] = v[0];
    a[1][0] = int64_t{v[1]} + v[0];
    for (int j = 1; j < 9; ++j) {
        a[0][j] = int64_t{v[2 * j]} + v[2 * j - 1];
        a[1][j] = int64_t{v[2 * j + 1]} + v[2 * j] + v[2 * j - 1] + v[2 * j - 2];
    }

    // m and 8 - m share their products, the odd-j terms changing sign. Products add up unshifted
    // and the sums keep IMDCT_SUM_GUARD_BITS more fraction bits than the inputs. Past about twice
    // full scale (only corrupt data gets there) the sums wrap, alike in every kernel.
    constexpr int SUM_SHIFT = COS9_BITS - IMDCT_SUM_GUARD_BITS;
    constexpr uint64_t SUM_ROUND = uint64_t{1} << (SUM_SHIFT - 1);
    int64_t sums[2][9];
    for (int part = 0; part < 2; ++part) {
        const int64_t* x = a[part];
        int64_t* out = sums[part];
        auto term = [&](int j, int m) { return static_cast<uint64_t>(x[j]) * static_cast<uint64_t>(cos9[m][j]); };
        const uint64_t x0 = (static_cast<uint64_t>(x[0]) << COS9_BITS) + SUM_ROUND;
        for (int m = 0; m < 4; ++m) {
            const uint64_t even = x0 + term(2, m) + term(4, m) + term(6, m) + term(8, m);
            const uint64_t odd = term(1, m) + term(3, m) + term(5, m) + term(7, m);
            out[m] = static_cast<int64_t>(even + odd) >> SUM_SHIFT;
            out[8 - m] = static_cast<int64_t>(even - odd) >> SUM_SHIFT;
        }
        out[4] = (x[0] - x[2] + x[4] - x[6] + x[8]) * (1 << IMDCT_SUM_GUARD_BITS);
    }
    // Output m takes the sums of m (of 17 - m past 8) in one sum of two products, rounded once, so
    // that the large scales near the transform's ends do not magnify a rounding on the way. The
    // products may wrap where the sum does not: the sum is exact whenever the output fits.
    constexpr int OUT_SHIFT = IMDCT_SCALE_BITS + IMDCT_SUM_GUARD_BITS;
    constexpr uint64_t OUT_ROUND = uint64_t{1} << (OUT_SHIFT - 1);
    for (int m = 0; m < 18; ++m) {
        const int s = m < 9 ? m : 17 - m;
        const uint64_t sum = static_cast<uint64_t>(sums[0][s]) * static_cast<uint64_t>(icos72[m])
                             + static_cast<uint64_t>(sums[1][s]) * static_cast<uint64_t>(imdct_odd_scale[m]) + OUT_ROUND;
        c[m] = static_cast<int64_t>(sum) >> OUT_SHIFT;
    }
}

void build_transform_tables()
{
    for (int m = 0; m < 9; ++m)
        icos36[m] = fix_round(1.0 / (2.0 * std::cos((2 * m + 1) * M_PI / 36.0)), IMDCT_SCALE_BITS);
    for (int m = 0; m < 18; ++m) {
        const double scale = 1.0 / (2.0 * std::cos((2 * m + 1) * M_PI / 72.0));
        const int s = m < 9 ? m : 17 - m;
        const double odd = (m < 9 ? 1.0 : -1.0) / (2.0 * std::cos((2 * s + 1) * M_PI / 36.0));
        icos72[m] = fix_round(scale, IMDCT_SCALE_BITS);
        imdct_odd_scale[m] = fix_round(scale * odd, IMDCT_SCALE_BITS);
    }
    for (int m = 0; m < 4; ++m)
        for (int j = 0; j < 9; ++j)
            cos9[m][j] = fix_round(std::cos((2 * m + 1) * j * M_PI / 18.0), COS9_BITS);
    for (int m = 0; m < 6; ++m)
        for (int k = 0; k < 6; ++k)
            cos12[m][k] = fix_round(std::cos((2 * m + 1) * (2 * k + 1) * M_PI / 24.0));
}

void build_window_tables()
{
    for (int i = 0; i < 36; ++i) {
        const int32_t v = fix_trunc_half(std::sin((i + 0.5) * M_PI / 36.0));
        mdct_win[0][i] = mdct_win[1][i] = mdct_win[3][i] = v;
    }
    for (int i = 0; i < 6; ++i) {
        mdct_win[1][18 + i] = FIX_ONE;
        mdct_win[1][24 + i] = fix_trunc_half(std::sin((i + 6 + 0.5) * M_PI / 12.0));
        mdct_win[1][30 + i] = 0;
        mdct_win[3][i] = 0;
        mdct_win[3][6 + i] = fix_trunc_half(std::sin((i + 0.5) * M_PI / 12.0));
        mdct_win[3][12 + i] = FIX_ONE;
    }
    for (int i = 0; i < 36; ++i)
        mdct_win[2][i] = i < 12 ? fix_trunc_half(std::sin((i + 0.5) * M_PI / 12.0)) : 0;
    // Odd sub-bands come out frequency-inverted; negating every other coefficient undoes it.
    for (int row = 0; row < 4; ++row)
        for (int i = 0; i < 36; ++i)
            mdct_win[row + 4][i] = (i & 1) ? -mdct_win[row][i] : mdct_win[row][i];
    // The same rows for four adjacent sub-bands side by side, with the unfolding's signs.
    for (int row = 0; row < 4; ++row)
        for (int i = 0; i < 36; ++i)
            for (int lane = 0; lane < 4; ++lane)
                mdct_win_lanes[row][i][lane] = (i < 9 ? 1 : -1) * mdct_win[row + ((lane & 1) << 2)][i];
}

void build_alias_tables()
{
    static const float ci_table[8] = {-0.6f, -0.535f, -0.33f, -0.185f, -0.095f, -0.041f, -0.0142f, -0.0037f};
    for (int i = 0; i < 8; ++i) {
        const double ci = ci_table[i];
        const double cs = 1.0 / std::sqrt(1.0 + ci * ci);
        csa_table[i][0] = static_cast<int32_t>(cs * FIX_ONE);
        csa_table[i][1] = static_cast<int32_t>(cs * ci * FIX_ONE);
    }
}

}  // namespace

void build_imdct_tables()
{
    build_transform_tables();
    build_window_tables();
    build_alias_tables();
}

void reorder_block(const MPADecodeContext* s, GranuleDef* g)
{
    if (g->block_type != 2)
        return;
    const int sri = s->sample_rate_index;
    int32_t* ptr = g->sb_hybrid;
    if (g->switch_point)
        ptr += sri != 8 ? 36 : 48;
    int32_t tmp[3 * 66];   // widest short band
    for (int i = g->short_start; i < 13; ++i) {
        const int w = band_size_short[sri][i];
        for (int k = 0; k < 3; ++k)
            for (int j = 0; j < w; ++j)
                tmp[3 * j + k] = ptr[k * w + j];
        std::memcpy(ptr, tmp, sizeof(int32_t) * 3 * w);
        ptr += 3 * w;
    }
}

void compute_antialias(const MPADecodeContext*, GranuleDef* g)
{
    int last_boundary;
    if (g->block_type == 2) {
        if (!g->switch_point)
            return;
        last_boundary = 1;
    } else {
        last_boundary = SBLIMIT - 1;
    }
    // A boundary whose eight lines on both sides are zero stays zero.
    const int end = spectrum_end(g->sb_hybrid);
    const int needed = (end + 7) / 18;
    if (needed < last_boundary)
        last_boundary = needed;
    antialias(g->sb_hybrid, last_boundary, csa_table);
}

namespace {

// The 2N outputs of an IMDCT are its N-point DCT-IV's values unfolded:
// c[N/2 .. N-1], -c[N-1 .. 0], -c[0 .. N/2-1].
template <int N>
void unfold_dct4(int32_t* out, const int64_t* c)
{
    constexpr int H = N / 2;
    for (int i = 0; i < H; ++i)
        out[i] = static_cast<int32_t>(c[i + H]);
    for (int i = H; i < N + H; ++i)
        out[i] = static_cast<int32_t>(-c[N + H - 1 - i]);
    for (int i = N + H; i < 2 * N; ++i)
        out[i] = static_cast<int32_t>(-c[i - N - H]);
}

}  // namespace

void imdct36(int32_t out[36], const int32_t in[18])
{
    int64_t c[18];
    dct4_18(c, in);
    unfold_dct4<18>(out, c);
}

void imdct12(int32_t out[12], const int32_t in[6])
{
    int64_t c[6];
    for (int m = 0; m < 6; ++m) {
        int64_t sum = 0;
        for (int k = 0; k < 6; ++k)
            sum += int64_t{in[k]} * cos12[m][k];
        c[m] = round_shift(sum, FRAC_BITS);
    }
    unfold_dct4<6>(out, c);
}

namespace {

// The long-block IMDCT of sub-bands first..end - 1, windowed and overlapped; see compute_imdct.
void imdct_long_portable(const GranuleDef* g, int first, int end, int32_t* sb_samples, int32_t* mdct_buf)
{
    for (int j = first; j < end; ++j) {
        // The transform's outputs unfolded as in imdct36, windowed on the way.
        int64_t c[18];
        dct4_18(c, g->sb_hybrid + 18 * j);
        const int row = (g->switch_point && j < 2) ? 0 : g->block_type;
        const int32_t* win = mdct_win[row + ((j & 1) << 2)];
        int32_t* overlap = mdct_buf + j;
        int32_t* out = sb_samples + j;
        for (int i = 0; i < 9; ++i) {
            out[i * SBLIMIT] = static_cast<int32_t>(mul_round(c[i + 9], win[i]) + overlap[i * SBLIMIT]);
            out[(i + 9) * SBLIMIT] = static_cast<int32_t>(mul_round(-c[17 - i], win[i + 9]) + overlap[(i + 9) * SBLIMIT]);
            overlap[i * SBLIMIT] = static_cast<int32_t>(mul_round(-c[8 - i], win[i + 18]));
            overlap[(i + 9) * SBLIMIT] = static_cast<int32_t>(mul_round(-c[i], win[i + 27]));
        }
    }
}

}  // namespace

// mdct_buf holds each sub-band's overlap laid out like sb_samples, [time slot][sub-band], so that
// a vector kernel reads and writes adjacent sub-bands together.
void compute_imdct(const MPADecodeContext*, GranuleDef* g, int32_t* sb_samples, int32_t* mdct_buf)
{
    int32_t* x = g->sb_hybrid;
    int sblimit = 2;
    for (int start = GRANULE_LINES - 6; start >= 36; start -= 6) {
        if (x[start] | x[start + 1] | x[start + 2] | x[start + 3] | x[start + 4] | x[start + 5]) {
            sblimit = start / 18 + 1;
            break;
        }
    }
    int long_end;
    if (g->block_type == 2)
        long_end = g->switch_point ? 2 : 0;
    else
        long_end = sblimit;

    int done = 0;   // sub-bands transformed so far
    if (imdct_long_blocks && g->block_type != 2) {
        // The kernel takes groups of four sub-bands on one window row: a switch point gives
        // sub-bands 0 and 1 another row, so their group stays portable. The lines past sblimit
        // are zero, and the transform of zeros is zero: rounding the end up gives those
        // sub-bands exactly what the loop over silent sub-bands below would.
        const int first = g->switch_point ? 4 : 0;
        const int end = (long_end + 3) & ~3;
        if (first < end) {
            imdct_long_portable(g, 0, first, sb_samples, mdct_buf);
            imdct_long_blocks(x, first, end, g->block_type, sb_samples, mdct_buf);
            done = end;
        }
    }
    imdct_long_portable(g, done, long_end, sb_samples, mdct_buf);

    for (int j = long_end; j < sblimit; ++j) {
        const int32_t* win = mdct_win[2 + ((j & 1) << 2)];
        const int32_t* lines = x + 18 * j;
        int64_t r[36] = {};
        for (int k = 0; k < 3; ++k) {
            int32_t in[6];
            for (int m = 0; m < 6; ++m)
                in[m] = lines[k + 3 * m];
            int32_t out[12];
            imdct12(out, in);
            for (int i = 0; i < 6; ++i) {
                r[6 + 6 * k + i] += mul_round(out[i], win[i]);
                r[12 + 6 * k + i] = mul_round(out[i + 6], win[i + 6]);
            }
        }
        for (int i = 0; i < 18; ++i) {
            sb_samples[i * SBLIMIT + j] = static_cast<int32_t>(r[i] + mdct_buf[i * SBLIMIT + j]);
            mdct_buf[i * SBLIMIT + j] = static_cast<int32_t>(r[i + 18]);
        }
    }

    // The silent sub-bands output their overlap, side by side in each time slot.
    const int silent = std::max(done, sblimit);
    for (int i = 0; i < 18; ++i) {
        int32_t* overlap = mdct_buf + i * SBLIMIT;
        std::copy(overlap + silent, overlap + SBLIMIT, sb_samples + i * SBLIMIT + silent);
        std::fill(overlap + silent, overlap + SBLIMIT, 0);
    }
}

