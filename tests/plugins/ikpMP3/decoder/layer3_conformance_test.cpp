// layer3_conformance_test.cpp — layer III streams decode to full accuracy: the reference streams, and
// lame-encoded streams at every rate, mode and block kind against mpg123's output.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <filesystem>
#include <fstream>
#include <string>

#include "pcm_compare.h"

namespace fs = std::filesystem;
using namespace pcm_compare;

namespace {

// libmad's distance from a reference, through madplay (undithered 16-bit output); -1 without it.
double libmadRms(const std::string& stream, const std::vector<int16_t>& reference)
{
    if (!haveTool("madplay"))
        return -1.0;
    char pattern[] = "/tmp/mpa_madplay_XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd < 0)
        return -1.0;
    close(fd);
    const bool ran = run("madplay -q -d -o raw:" + std::string(pattern) + " " + stream);
    const std::vector<int16_t> pcm = readPcm(pattern);
    fs::remove(pattern);
    return ran ? compare(pcm, reference).rms : -1.0;
}

// Ours at least as close to the reference as libmad, where madplay is at hand.
void expectAtLeastLibmadAccuracy(const std::string& name, const std::string& stream, const Comparison& ours,
                                 const std::vector<int16_t>& reference)
{
    const double mad = libmadRms(stream, reference);
    if (mad < 0)
        return;
    std::printf("%-16s libmad rms %.4f LSB\n", name.c_str(), mad);
    EXPECT_LE(ours.rms, mad) << name;
}

Comparison expectFullAccuracy(const std::string& name, const Decoded& decoded, const std::vector<int16_t>& reference,
                              bool same_length)
{
    const Comparison c = compare(decoded.pcm, reference);
    printComparison(name, c);
    EXPECT_EQ(decoded.failed_frames, 0) << name;
    if (same_length) {
        EXPECT_EQ(decoded.pcm.size(), reference.size()) << name;
    } else {
        // References may stop a frame early or be zero-padded; the audio they hold must be covered.
        size_t audible = reference.size();
        while (audible > 0 && reference[audible - 1] == 0)
            --audible;
        EXPECT_GE(decoded.pcm.size() + 1152 * 2, audible) << name;
    }
    EXPECT_GT(c.samples, 0u) << name;
    EXPECT_LT(c.rms, FULL_ACCURACY_RMS) << name;
    EXPECT_LE(c.max_diff, FULL_ACCURACY_MAX_DIFF) << name;
    return c;
}

TEST(Layer3Conformance, ReferenceStreamsDecodeToFullAccuracy)
{
    REQUIRE_MPEG_AUDIO_DIR(dir);
    // RMS ceilings just above what the decoder reaches (libmad: 0.042, 0.059 on the three he_
    // streams, 0.051, 0.026, 0.018; l3-si_huff's reference clips at -32767, see pcm_compare.h).
    const struct {
        const char* name;
        double rms;
        double rms_unclipped;
    } streams[] = {
        {"l3-compl", 0.030, 0.030},    {"l3-he_32khz", 0.045, 0.045}, {"l3-he_44khz", 0.045, 0.045},
        {"l3-he_48khz", 0.045, 0.045}, {"l3-hecommon", 0.032, 0.032}, {"l3-si", 0.017, 0.017},
        {"l3-si_block", 0.012, 0.012}, {"l3-si_huff", 0.11, 0.02},
    };
    for (const auto& stream : streams) {
        const std::string name = stream.name;
        const fs::path bit = dir / "vectors" / (name + ".bit");
        const fs::path pcm = dir / "vectors" / (name + ".pcm");
        ASSERT_TRUE(fs::exists(bit) && fs::exists(pcm)) << name;
        const std::vector<int16_t> reference = readPcm(pcm);
        const Comparison c = expectFullAccuracy(name, decodeStreamOnEveryPath(readFile(bit), name), reference, false);
        EXPECT_LT(c.rms, std::min(stream.rms, referenceRmsCeiling(name))) << name;
        EXPECT_LT(c.rms_unclipped, stream.rms_unclipped) << name;
        EXPECT_LE(c.max_diff, REFERENCE_MAX_DIFF) << name;
        expectAtLeastLibmadAccuracy(name, bit.string(), c, reference);
    }
}

// Walks the frames in parse-only mode: `each(frame, end)` gets every complete frame and
// the byte offset in the stream where it ends.
template <typename Each>
void forEachFrame(const std::vector<uint8_t>& stream, Each each)
{
    MPAuDecContext ctx;
    if (mpaudec_init(&ctx) < 0)
        return;
    ctx.parse_only = 1;
    size_t pos = 0;
    while (pos < stream.size()) {
        void* frame_ptr[MPAUDEC_MAX_AUDIO_FRAME_SIZE / sizeof(void*)];
        int size = 0;
        pos += mpaudec_decode_frame(&ctx, frame_ptr, &size, stream.data() + pos, int(stream.size() - pos));
        if (size > 0)
            each(static_cast<const uint8_t*>(frame_ptr[0]), pos);
    }
    mpaudec_clear(&ctx);
}

// Byte offsets where each frame of a stream without garbage ends.
std::vector<size_t> frameEnds(const std::vector<uint8_t>& stream)
{
    std::vector<size_t> ends;
    forEachFrame(stream, [&](const uint8_t*, size_t end) { ends.push_back(end); });
    return ends;
}

TEST(Layer3Conformance, DamagedFramesFailOrDecodeAndTheStreamRecovers)
{
    REQUIRE_MPEG_AUDIO_DIR(dir);
    const std::vector<uint8_t> clean = readFile(dir / "vectors" / "l3-he_44khz.bit");
    const std::vector<size_t> ends = frameEnds(clean);
    ASSERT_GT(ends.size(), 300u);
    const Decoded reference = decodeStream(clean);
    ASSERT_EQ(reference.failed_frames, 0);

    // Frames 100 to 199 get random bytes after their headers: side information, reservoir
    // pointers, scale factors and Huffman data all turn to garbage.
    std::mt19937 random(2024);
    for (int rate : {50, 5, 1}) {
        std::vector<uint8_t> damaged = clean;
        for (size_t f = 100; f < 200; ++f)
            for (size_t i = ends[f - 1] + 4; i < ends[f]; ++i)
                if (random() % rate == 0)
                    damaged[i] = static_cast<uint8_t>(random());
        const Decoded decoded = decodeStreamOnEveryPath(damaged, "damaged at 1/" + std::to_string(rate));
        // Every frame still ends where its header says: it either decodes whole or fails.
        EXPECT_EQ(decoded.frames, static_cast<int>(ends.size())) << rate;
        EXPECT_EQ(decoded.pcm.size(), (decoded.frames - decoded.failed_frames) * size_t{1152}) << rate;
        // Well after the damage (reservoir, overlap and synthesis history renewed) the output is
        // exactly the undamaged one.
        const size_t tail = (ends.size() - 210) * 1152;
        ASSERT_GE(decoded.pcm.size(), tail) << rate;
        EXPECT_TRUE(std::equal(decoded.pcm.end() - tail, decoded.pcm.end(), reference.pcm.end() - tail)) << rate;
        std::printf("bytes damaged at 1/%d: %d of %d frames failed\n", rate, decoded.failed_frames, decoded.frames);
    }
}

// What a stream's side information shows: which block kinds and stereo tools the encoder used.
struct StreamUse {
    int frames = 0;
    int short_blocks = 0;    // granule-channels with block type 2
    int switched = 0;        // start, short or stop windows
    int mid_side_frames = 0;
    int free_format_frames = 0;
    int lsf_frames = 0;
};

uint32_t readBits(const uint8_t* p, int& pos, int n)
{
    uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++pos)
        v = (v << 1) | ((p[pos >> 3] >> (7 - (pos & 7))) & 1);
    return v;
}

// Walks the frames in parse-only mode and reads each frame's side information.
StreamUse inspect(const std::vector<uint8_t>& stream)
{
    StreamUse use;
    forEachFrame(stream, [&](const uint8_t* f, size_t) {
        ++use.frames;
        const bool lsf = !((f[1] >> 3) & 1);
        const int channels = (f[3] >> 6) == 3 ? 1 : 2;
        use.lsf_frames += lsf;
        use.free_format_frames += (f[2] >> 4) == 0;
        use.mid_side_frames += (f[3] >> 6) == 1 && ((f[3] >> 4) & 2);
        int bit = (f[1] & 1) ? 32 : 48;   // after the header and any CRC
        bit += lsf ? 8 + channels : 9 + (channels == 2 ? 3 : 5) + 4 * channels;
        for (int gr = 0; gr < (lsf ? 1 : 2); ++gr) {
            for (int ch = 0; ch < channels; ++ch) {
                bit += 12 + 9 + 8 + (lsf ? 9 : 4);
                if (readBits(f, bit, 1)) {
                    const uint32_t block_type = readBits(f, bit, 2);
                    ++use.switched;
                    use.short_blocks += block_type == 2;
                    bit += 1 + 10 + 9;
                } else {
                    bit += 15 + 7;
                }
                bit += lsf ? 2 : 3;
            }
        }
    });
    return use;
}

// lame-encoded streams made from synthesised signals, checked against mpg123 on the same file: as
// close to it as libmad at least, and within LAME_STREAM_RMS (mpg123 itself stands about 0.015 LSB
// from an exact decode, libmad 0.045–0.063 from mpg123 on these streams).
constexpr double LAME_STREAM_RMS = 0.05;
class LameStreams : public ToolStreams {
protected:
    LameStreams() : ToolStreams({"lame", "sox", "mpg123"}, "mpa_lame") {}

    // The sox pieces of lame_signal.txt for this rate and channel count.
    static std::vector<std::string> signalParts(int rate, int channels)
    {
        std::ifstream in(VW_DECODER_TEST_DIR "/lame_signal.txt");
        std::vector<std::string> parts;
        for (std::string line; std::getline(in, line);) {
            if (line.empty() || line[0] == '#')
                continue;
            if (const size_t bar = line.find(" | "); bar != std::string::npos)
                line = channels == 2 ? line.substr(bar + 3) : line.substr(0, bar);
            if (const size_t top = line.find("TOP"); top != std::string::npos)
                line.replace(top, 3, std::to_string(rate / 2 - 200));
            parts.push_back(line);
        }
        return parts;
    }

    // The signal of lame_signal.txt as a WAV file, made once per rate and channel count.
    std::string makeSignal(int rate, int channels)
    {
        const std::string r = std::to_string(rate);
        const std::string c = std::to_string(channels);
        const std::string wav = (dir_ / ("in_" + r + "_" + c + ".wav")).string();
        if (fs::exists(wav))
            return wav;
        const std::vector<std::string> parts = signalParts(rate, channels);
        if (parts.empty()) {
            ADD_FAILURE() << VW_DECODER_TEST_DIR "/lame_signal.txt holds no piece of the signal";
            return {};
        }
        std::string pieces;
        for (size_t i = 0; i < parts.size(); ++i) {
            const std::string piece = (dir_ / ("part" + std::to_string(i) + "_" + r + "_" + c + ".wav")).string();
            if (!run("sox -R -D -n -r " + r + " -c " + c + " -b 16 " + piece + " " + parts[i]))
                return {};
            pieces += piece + " ";
        }
        if (!run("sox -R -D " + pieces + wav))
            return {};
        return wav;
    }

    // Encodes (no Xing/Info tag frame, which mpg123 would not output), decodes both ways, compares.
    StreamUse checkStream(const std::string& name, int rate, int channels, const std::string& lame_options)
    {
        const std::string wav = makeSignal(rate, channels);
        EXPECT_FALSE(wav.empty()) << "sox failed for " << name;
        const std::string mp3 = (dir_ / (name + ".mp3")).string();
        const std::string out = (dir_ / (name + ".raw")).string();
        EXPECT_TRUE(run("lame --quiet -t --resample " + std::to_string(rate / 1000.0) + " " + lame_options + " " + wav + " " + mp3)) << "lame failed for " << name;
        EXPECT_TRUE(run("mpg123 --no-gapless -q -s " + mp3, out)) << "mpg123 failed for " << name;
        const std::vector<uint8_t> stream = readFile(mp3);
        const Decoded decoded = decodeStreamOnEveryPath(stream, name);
        const std::vector<int16_t> reference = readPcm(out);
        const Comparison c = expectFullAccuracy(name, decoded, reference, true);
        EXPECT_LT(c.rms, LAME_STREAM_RMS) << name;
        expectAtLeastLibmadAccuracy(name, mp3, c, reference);
        EXPECT_EQ(decoded.sample_rate, rate) << name;
        EXPECT_EQ(decoded.channels, channels) << name;
        const StreamUse use = inspect(stream);
        EXPECT_EQ(use.frames, decoded.frames) << name;
        EXPECT_GT(use.short_blocks, 0) << name << ": the clicks should force short blocks";
        return use;
    }
};

// MPEG-1, MPEG-2 and MPEG-2.5 rates, each version's first stream in joint stereo that must use
// mid/side frames; the lower two versions' frames all have the half-rate (lsf) layout.
TEST_F(LameStreams, EachVersionsRatesDecodeLikeMpg123)
{
    const struct {
        const char* name;
        int rate, channels;
        const char* lameOptions;
        bool usesMidSide;
    } streams[] = {
        {"44100_joint_cbr", 44100, 2, "-b 128 -m j", true},  {"44100_stereo_vbr", 44100, 2, "-V 4 -m s", false},
        {"48000_joint_vbr", 48000, 2, "-V 2 -m j", false},   {"32000_mono_cbr", 32000, 1, "-b 64 -m m", false},
        {"44100_stereo_320", 44100, 2, "-b 320 -m s", false}, {"22050_joint_cbr", 22050, 2, "-b 64 -m j", true},
        {"24000_stereo_vbr", 24000, 2, "-V 5 -m s", false},  {"16000_mono_cbr", 16000, 1, "-b 32 -m m", false},
        {"8000_joint_cbr", 8000, 2, "-b 16 -m j", true},     {"8000_mono_cbr", 8000, 1, "-b 8 -m m", false},
        {"11025_mono_cbr", 11025, 1, "-b 24 -m m", false},   {"12000_joint_vbr", 12000, 2, "-V 6 -m j", false},
    };
    for (const auto& st : streams) {
        const StreamUse use = checkStream(st.name, st.rate, st.channels, st.lameOptions);
        if (st.usesMidSide) {
            EXPECT_GT(use.mid_side_frames, 0) << st.name;
        }
        EXPECT_EQ(use.lsf_frames, st.rate < 32000 ? use.frames : 0) << st.name;
    }
}

TEST_F(LameStreams, FreeFormatStreamDecodesLikeMpg123)
{
    const StreamUse use = checkStream("44100_free_format", 44100, 2, "--freeformat -b 200 -m j");
    EXPECT_EQ(use.free_format_frames, use.frames);
}

}  // namespace
