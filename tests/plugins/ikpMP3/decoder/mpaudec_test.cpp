// mpaudec_test.cpp — the frame layer: header checks, frame lengths, assembly from chunks, resync, free format.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "mpaudec_internal.h"
#include "pcm_compare.h"

namespace {

using Bytes = std::vector<uint8_t>;

// One frame: the header, then `length` - 4 payload bytes that can never look like a sync word.
Bytes frame(uint32_t header, int length, uint32_t seed)
{
    Bytes f(length);
    f[0] = uint8_t(header >> 24);
    f[1] = uint8_t(header >> 16);
    f[2] = uint8_t(header >> 8);
    f[3] = uint8_t(header);
    std::mt19937 rng(seed);
    for (int i = 4; i < length; ++i)
        f[i] = uint8_t(rng() % 255);   // never 0xFF
    return f;
}

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// MPEG-1 layer II, no CRC, 44100 Hz, stereo, 256 kbit/s: 835 bytes, 836 with padding.
constexpr uint32_t L2_256K_STEREO = 0xFFFDC000;
constexpr uint32_t PADDING = 1u << 9;

class FrameLayer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(mpaudec_init(&ctx_), 0); }
    void TearDown() override { mpaudec_clear(&ctx_); }

    MPADecodeContext* priv() { return ctx_.priv_data; }

    // One call; returns bytes consumed and stores the data size.
    int decode(const Bytes& input, size_t offset = 0)
    {
        return mpaudec_decode_frame(&ctx_, pcm_, &data_size_, input.data() + offset, int(input.size() - offset));
    }

    MPAuDecContext ctx_{};
    alignas(8) short pcm_[MPAUDEC_MAX_AUDIO_FRAME_SIZE / 2];
    int data_size_ = 0;
};

TEST_F(FrameLayer, HeaderCheckRejectsOnlyTheForbiddenFields)
{
    EXPECT_EQ(check_header(0xFFFB9064), 0);
    EXPECT_EQ(check_header(0xFFFB9C64), -1);   // sampling index 3
    EXPECT_EQ(check_header(0xFFFBF064), -1);   // bit-rate index 15
    EXPECT_EQ(check_header(0xFFF99064), -1);   // layer 0
    EXPECT_EQ(check_header(0xFF7B9064), -1);   // sync incomplete
    EXPECT_EQ(check_header(0xFFFB9067), 0);    // emphasis is not examined

    // The reserved version value decodes as the 2.5 rates.
    ASSERT_EQ(check_header(0xFFEB9064), 0);
    EXPECT_EQ(decode_header(priv(), 0xFFEB9064), 0);
    EXPECT_EQ(priv()->sample_rate, 11025);
    EXPECT_EQ(priv()->sample_rate_index, 6);
    EXPECT_EQ(priv()->lsf, 1);
}

TEST_F(FrameLayer, FrameLengthsFollowLayerRateAndPadding)
{
    MPADecodeContext* s = priv();
    ASSERT_EQ(decode_header(s, 0xFFFB9064), 0);   // layer III, 128 kbit/s, 44100 Hz, joint stereo
    EXPECT_EQ(s->frame_size, 417);
    EXPECT_EQ(s->layer, 3);
    EXPECT_EQ(s->bit_rate, 128000);
    EXPECT_EQ(s->mode, MPA_JSTEREO);
    EXPECT_EQ(s->mode_ext, 2);
    EXPECT_EQ(s->error_protection, 0);
    ASSERT_EQ(decode_header(s, 0xFFFB9264), 0);
    EXPECT_EQ(s->frame_size, 418);

    ASSERT_EQ(decode_header(s, 0xFFFF1000), 0);   // layer I, 32 kbit/s, 44100 Hz
    EXPECT_EQ(s->frame_size, 32);
    ASSERT_EQ(decode_header(s, 0xFFFF1200), 0);
    EXPECT_EQ(s->frame_size, 36);

    ASSERT_EQ(decode_header(s, 0xFFF3E4C0), 0);   // MPEG-2 layer III, 160 kbit/s, 24000 Hz
    EXPECT_EQ(s->frame_size, 480);
    EXPECT_EQ(s->sample_rate_index, 4);
    EXPECT_EQ(s->nb_channels, 1);

    EXPECT_EQ(decode_header(s, 0xFFFD0000), 1);   // free format, not measured yet
}

TEST_F(FrameLayer, PublicFieldsFollowTheHeaderBeforeTheFrameIsComplete)
{
    const Bytes f = frame(0xFFF3E4C0, 480, 1);
    EXPECT_EQ(decode(Bytes(f.begin(), f.begin() + 10)), 10);
    EXPECT_EQ(data_size_, 0);
    EXPECT_EQ(ctx_.sample_rate, 24000);
    EXPECT_EQ(ctx_.channels, 1);
    EXPECT_EQ(ctx_.bit_rate, 160000);
    EXPECT_EQ(ctx_.layer, 3);
    EXPECT_EQ(ctx_.frame_size, 576);
    EXPECT_EQ(ctx_.coded_frame_size, 0);
}

TEST_F(FrameLayer, TwoFramesInOneChunkTakeTwoCalls)
{
    const Bytes a = frame(L2_256K_STEREO, 835, 1);
    const Bytes b = frame(L2_256K_STEREO | PADDING, 836, 2);
    const Bytes both = concat({a, b});

    EXPECT_EQ(decode(both), 835);
    EXPECT_EQ(data_size_, 1152 * 2 * 2);
    EXPECT_EQ(ctx_.coded_frame_size, 835);
    EXPECT_EQ(decode(both, 835), 836);
    EXPECT_EQ(data_size_, 1152 * 2 * 2);
    EXPECT_EQ(ctx_.coded_frame_size, 836);
}

TEST_F(FrameLayer, GarbageBeforeAFrameIsSkippedByteByByte)
{
    const Bytes f = frame(L2_256K_STEREO, 835, 3);
    const Bytes input = concat({Bytes{0x12, 0xFF, 0xFF}, f});
    EXPECT_EQ(decode(input), 3 + 835);
    EXPECT_EQ(data_size_, 1152 * 2 * 2);

    // The same frame alone, in a fresh decoder, gives the same samples.
    std::vector<short> first(pcm_, pcm_ + 1152 * 2);
    mpaudec_clear(&ctx_);
    ASSERT_EQ(mpaudec_init(&ctx_), 0);
    EXPECT_EQ(decode(f), 835);
    EXPECT_EQ(std::vector<short>(pcm_, pcm_ + 1152 * 2), first);
}

TEST_F(FrameLayer, ChunkSizeDoesNotChangeTheOutput)
{
    Bytes stream;
    for (uint32_t i = 0; i < 6; ++i)
        stream = concat({stream, frame(L2_256K_STEREO, 835, 10 + i)});
    const pcm_compare::Decoded whole = pcm_compare::decodeStream(stream, {int(stream.size())});
    const pcm_compare::Decoded bytewise = pcm_compare::decodeStream(stream, {1});
    const pcm_compare::Decoded odd = pcm_compare::decodeStream(stream, {3, 834, 5, 1000});
    EXPECT_EQ(whole.frames, 6);
    EXPECT_EQ(whole.pcm.size(), 6u * 1152 * 2);
    EXPECT_EQ(bytewise.pcm, whole.pcm);
    EXPECT_EQ(odd.pcm, whole.pcm);
}

TEST_F(FrameLayer, OverlongFramesAreCutAndTheRestSkipped)
{
    // MPEG-2.5 layer II, 160 kbit/s, 8000 Hz, mono: 2880 bytes, beyond the decoder's buffer.
    const uint32_t huge = 0xFFE5E8C0;
    Bytes big = frame(huge, 2880, 5);
    const Bytes next = frame(L2_256K_STEREO, 835, 6);
    const Bytes input = concat({big, next});
    const pcm_compare::Decoded d = pcm_compare::decodeStream(input, {7, 100, 3000});
    EXPECT_EQ(d.frames, 2);
    EXPECT_EQ(d.channels, 2);   // the real frame after the cut was found
    EXPECT_EQ(d.pcm.size(), 1152u * 1 + 1152u * 2);

    EXPECT_EQ(decode(big), MPA_MAX_CODED_FRAME_SIZE);
    EXPECT_EQ(ctx_.coded_frame_size, MPA_MAX_CODED_FRAME_SIZE);
}

// A CBR stream rewritten as free format (bit-rate index 0) must decode exactly like the original.
Bytes asFreeFormat(Bytes stream, const std::vector<int>& lengths)
{
    size_t pos = 0;
    for (int len : lengths) {
        stream[pos + 2] &= 0x0F;
        pos += len;
    }
    return stream;
}

TEST_F(FrameLayer, FreeFormatIsMeasuredOnceAndDecodesLikeTheSameFramesWithARate)
{
    std::vector<int> lengths;
    Bytes stream;
    for (uint32_t i = 0; i < 8; ++i) {
        const bool padded = i % 3 == 1;
        lengths.push_back(padded ? 836 : 835);
        stream = concat({stream, frame(L2_256K_STEREO | (padded ? PADDING : 0), lengths.back(), 20 + i)});
    }
    const Bytes free_stream = asFreeFormat(stream, lengths);

    const pcm_compare::Decoded cbr = pcm_compare::decodeStream(stream, {int(stream.size())});
    const pcm_compare::Decoded free_format = pcm_compare::decodeStream(free_stream, {1, 700, 13});
    EXPECT_EQ(free_format.frames, 8);
    // The layer II allocation table follows the measured bit rate: 256 kbit/s, not 0.
    EXPECT_EQ(free_format.pcm, cbr.pcm);

    // Call by call: nothing until the second header is seen, then its bytes are consumed.
    EXPECT_EQ(decode(Bytes(free_stream.begin(), free_stream.begin() + 835)), 835);
    EXPECT_EQ(data_size_, 0);
    EXPECT_EQ(priv()->frame_size, -1);
    EXPECT_EQ(decode(Bytes(free_stream.begin() + 835, free_stream.end())), 4);
    EXPECT_EQ(data_size_, 1152 * 2 * 2);
    EXPECT_EQ(ctx_.coded_frame_size, 835);
    EXPECT_EQ(priv()->free_format_frame_size, 835);
    EXPECT_NEAR(ctx_.bit_rate, 256000, 500);   // measured, in bits per second
    // From then on whole frames without searching: the next call ends exactly at frame 2's end.
    EXPECT_EQ(decode(free_stream, 835 + 4), 836 - 4);
    EXPECT_EQ(ctx_.coded_frame_size, 836);
}

TEST_F(FrameLayer, ParseOnlyFreeFormatFramesKeepTheirOwnHeader)
{
    const Bytes a = frame(L2_256K_STEREO & ~0xF000u, 835, 30);
    const Bytes b = frame((L2_256K_STEREO & ~0xF000u) | PADDING, 836, 31);
    const Bytes stream = concat({a, b, a});
    ctx_.parse_only = 1;
    void* handed[4] = {};
    EXPECT_EQ(mpaudec_decode_frame(&ctx_, handed, &data_size_, stream.data(), int(stream.size())), 835 + 4);
    EXPECT_EQ(data_size_, 835);
    EXPECT_EQ(ctx_.coded_frame_size, 835);
    EXPECT_EQ(std::memcmp(handed[0], a.data(), a.size()), 0);
    EXPECT_EQ(mpaudec_decode_frame(&ctx_, handed, &data_size_, stream.data() + 839, int(stream.size() - 839)),
              836 - 4);
    EXPECT_EQ(data_size_, 836);
    EXPECT_EQ(std::memcmp(handed[0], b.data(), b.size()), 0);
}

TEST_F(FrameLayer, FreeFormatSearchWithoutASecondHeaderLosesNoFollowingFrame)
{
    // A lone free-format header and 100 bytes of non-sync data, then normal frames: the search
    // for a second free-format header gathers the longest frame's worth, gives up, and the
    // frames inside what it gathered are found and none is lost.
    const Bytes lone = frame(L2_256K_STEREO & ~0xF000u, 100, 40);
    const Bytes normal = concat({frame(L2_256K_STEREO, 835, 41), frame(L2_256K_STEREO, 835, 42),
                                 frame(L2_256K_STEREO, 835, 43)});
    for (int chunk : {64, 5000}) {
        const pcm_compare::Decoded d = pcm_compare::decodeStream(concat({lone, normal}), {chunk});
        EXPECT_EQ(d.frames, 3) << "chunk " << chunk;
        EXPECT_EQ(d.pcm, pcm_compare::decodeStream(normal).pcm) << "chunk " << chunk;
    }
}

TEST_F(FrameLayer, ParseOnlyFramesFoundInsideAnAbandonedSearchStayWhole)
{
    // The frames found in the bytes an abandoned free-format search gathered are handed out
    // while the bytes after them are still in the row: the frame pointer must see the frame.
    const Bytes lone = frame(L2_256K_STEREO & ~0xF000u, 100, 60);
    const std::vector<Bytes> normal = {frame(L2_256K_STEREO, 835, 61), frame(L2_256K_STEREO, 835, 62),
                                       frame(L2_256K_STEREO, 835, 63)};
    const Bytes stream = concat({lone, normal[0], normal[1], normal[2]});
    ctx_.parse_only = 1;
    size_t pos = 0;
    size_t found = 0;
    while (pos < stream.size() && found < normal.size()) {
        void* handed[4] = {};
        pos += mpaudec_decode_frame(&ctx_, handed, &data_size_, stream.data() + pos, int(stream.size() - pos));
        if (data_size_ == 0)
            continue;
        ASSERT_EQ(data_size_, 835);
        EXPECT_EQ(std::memcmp(handed[0], normal[found].data(), 835), 0) << "frame " << found;
        ++found;
    }
    EXPECT_EQ(found, normal.size());
}

TEST_F(FrameLayer, JointStereoBoundBeyondTheSubBandLimitMeansPlainStereo)
{
    // 32 kbit/s stereo at 44100 Hz uses the 8-sub-band table; mode extension 3 asks for 16.
    const Bytes joint = frame(0xFFFD1070, 104, 50);   // joint stereo, mode_ext 3
    Bytes plain = joint;
    plain[3] = 0x00;                                  // stereo
    ASSERT_EQ(decode(joint), 104);
    ASSERT_EQ(data_size_, 1152 * 2 * 2);
    const std::vector<short> joint_pcm(pcm_, pcm_ + 1152 * 2);
    mpaudec_clear(&ctx_);
    ASSERT_EQ(mpaudec_init(&ctx_), 0);
    ASSERT_EQ(decode(plain), 104);
    EXPECT_EQ(std::vector<short>(pcm_, pcm_ + 1152 * 2), joint_pcm);
}

TEST_F(FrameLayer, RandomFrameContentsOfEveryHeaderKindDecodeToWholeFrames)
{
    // Arbitrary bytes after a valid header are a corrupt frame: it must decode to a full frame
    // of samples (layers I and II) or report failure (layer III), and stay inside its buffers.
    std::mt19937 rng(99);
    int decoded_frames = 0;
    for (int trial = 0; trial < 400; ++trial) {
        uint32_t header = 0xFFE00000 | (rng() & 0x001FFFFF);
        if (check_header(header) < 0 || ((header >> 12) & 0xF) == 0)
            continue;
        ASSERT_EQ(decode_header(priv(), header), 0);
        const int length = priv()->frame_size;
        const int layer = priv()->layer;
        const int channels = priv()->nb_channels;
        const int expected = channels * 2 * (layer == 1 ? 384 : layer == 2 ? 1152 : priv()->lsf ? 576 : 1152);
        mpaudec_clear(&ctx_);
        ASSERT_EQ(mpaudec_init(&ctx_), 0);
        const Bytes f = frame(header, length, trial);
        const int used = decode(concat({f, frame(header, length, trial + 1000)}));
        EXPECT_EQ(used, std::min(length, MPA_MAX_CODED_FRAME_SIZE)) << std::hex << header;
        if (layer == 3 && data_size_ < 0)
            continue;
        EXPECT_EQ(data_size_, expected) << std::hex << header;
        ++decoded_frames;
    }
    EXPECT_GT(decoded_frames, 100);
}

}  // namespace
