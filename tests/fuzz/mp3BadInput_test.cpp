// Bad MP3 input through the plug-in's loader and stream: cut files, garbage, corrupt
// and unmeasurable frames. Playback keeps going where it can and never reports a
// format it did not read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "CIrrKlangAudioStreamLoaderMP3.h"
#include "mpaudec.h"

namespace {

using namespace irrklang;
using Bytes = std::vector<uint8_t>;
using Pcm = std::vector<int16_t>;

// MPEG-1 at 44100 Hz, 128 kbit/s, stereo, no padding: 417 bytes a frame.
constexpr uint32_t LAYER2_128K = 0xFFFD8004;
constexpr uint32_t LAYER3_128K = 0xFFFB9064;
constexpr uint32_t LAYER2_FREE = 0xFFFD0004;
constexpr int FRAME_BYTES = 417;
constexpr int SAMPLES = 1152;

// A header and a pseudo-random body: any layer II body decodes, layer III ones may not.
Bytes frames(uint32_t header, int count, uint32_t seed, int length = FRAME_BYTES) {
    Bytes out;
    for (int f = 0; f < count; ++f) {
        for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(header >> shift));
        for (int i = 4; i < length; ++i) {
            seed = seed * 1664525u + 1013904223u;
            out.push_back(uint8_t(seed >> 24) & 0x7F);   // never 0xFF: no false sync
        }
    }
    return out;
}

Bytes head(Bytes b, size_t n) {
    b.resize(n);
    return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class MemoryReader : public IFileReader {
public:
    MemoryReader(Bytes data, bool sized) : data(std::move(data)), sized(sized) {}
    int32_t read(void* buffer, uint32_t n) override {
        const size_t k = std::min<size_t>(n, data.size() - pos);
        if (k) std::memcpy(buffer, data.data() + pos, k);
        pos += k;
        return int32_t(k);
    }
    bool seek(int32_t to, bool) override {
        if (to < 0 || size_t(to) > data.size()) return false;
        pos = size_t(to);
        return true;
    }
    int32_t getSize() override { return sized ? int32_t(data.size()) : 0; }
    int32_t getPos() override { return int32_t(pos); }

private:
    Bytes data;
    bool sized;
    size_t pos = 0;
};

// One file opened through the loader, as the engine would; drops everything at the end.
struct Opened {
    Opened(const Bytes& file, bool sized) : reader(new MemoryReader(file, sized)) {
        CIrrKlangAudioStreamLoaderMP3* loader = new CIrrKlangAudioStreamLoaderMP3();
        stream = loader->createAudioStream(reader);
        loader->drop();
    }
    ~Opened() {
        if (stream) stream->drop();
        EXPECT_EQ(reader->getReferenceCount(), 1);
        reader->drop();
    }
    Pcm playAll() {
        Pcm pcm;
        const int channels = stream->getFormat().ChannelCount;
        std::vector<int16_t> block(1000 * channels);
        while (int got = stream->readFrames(block.data(), 1000))
            pcm.insert(pcm.end(), block.begin(), block.begin() + got * channels);
        return pcm;
    }
    MemoryReader* reader;
    IAudioStream* stream = nullptr;
};

TEST(Mp3BadInput, FileCutInsideItsOnlyFrameIsRefused) {
    // Found by fuzz_mp3stream: a header was enough to pass, and the stream reported
    // 0 channels at 0 Hz to an engine that would divide by them.
    const std::string text = "plain text, not audio\n";
    const Bytes cut = Bytes(text.begin(), text.end()) + head(frames(LAYER3_128K, 1, 7), 200);
    for (bool sized : {true, false}) {
        Opened opened(cut, sized);
        EXPECT_EQ(opened.stream, nullptr) << "sized " << sized;
    }
}

TEST(Mp3BadInput, TruncatedFilePlaysItsWholeFramesThenEnds) {
    const Bytes whole = frames(LAYER2_128K, 4, 11);
    const Bytes cut = whole + head(frames(LAYER2_128K, 1, 12), 100);
    Pcm reference;
    {
        Opened opened(whole, true);
        ASSERT_NE(opened.stream, nullptr);
        reference = opened.playAll();
    }
    ASSERT_EQ(reference.size(), 4u * SAMPLES * 2);
    for (bool sized : {true, false}) {
        Opened opened(cut, sized);
        ASSERT_NE(opened.stream, nullptr);
        EXPECT_EQ(opened.stream->getFormat().FrameCount, sized ? 4 * SAMPLES : -1);
        EXPECT_EQ(opened.playAll(), reference) << "sized " << sized;
        Pcm more(100 * 2);
        EXPECT_EQ(opened.stream->readFrames(more.data(), 100), 0);
    }
}

TEST(Mp3BadInput, GarbageBetweenFramesIsSkippedWithoutTouchingTheAudio) {
    const Bytes a = frames(LAYER2_128K, 3, 21), b = frames(LAYER2_128K, 3, 22);
    Bytes garbage(61);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 37 % 251);
    Pcm reference;
    {
        Opened opened(a + b, false);
        ASSERT_NE(opened.stream, nullptr);
        reference = opened.playAll();
    }
    ASSERT_EQ(reference.size(), 6u * SAMPLES * 2);
    for (bool sized : {true, false}) {
        Opened opened(a + garbage + b, sized);
        ASSERT_NE(opened.stream, nullptr);
        EXPECT_EQ(opened.playAll(), reference) << "sized " << sized;
    }
}

TEST(Mp3BadInput, CorruptLayer3FramesBecomeSilenceAndKeepTheLength) {
    const Bytes file = frames(LAYER3_128K, 12, 31);
    // The decoder alone refuses some of these frames; the stream must stand in for them.
    int refused = 0;
    {
        MPAuDecContext ctx{};
        ASSERT_EQ(mpaudec_init(&ctx), 0);
        std::vector<uint8_t> out(MPAUDEC_MAX_AUDIO_FRAME_SIZE);
        size_t pos = 0;
        while (pos < file.size()) {
            int size = 0;
            pos += mpaudec_decode_frame(&ctx, out.data(), &size, file.data() + pos, int(file.size() - pos));
            refused += size < 0;
        }
        mpaudec_clear(&ctx);
    }
    EXPECT_GT(refused, 0);
    for (bool sized : {true, false}) {
        Opened opened(file, sized);
        ASSERT_NE(opened.stream, nullptr);
        EXPECT_EQ(opened.playAll().size(), 12u * SAMPLES * 2) << "sized " << sized;
    }
}

TEST(Mp3BadInput, UnmeasurableFreeFormatFrameIsDroppedAndPlaybackResumes) {
    // No second free-format header within the decoder's longest frame: the first one
    // is given up and the search goes on behind it.
    Bytes lone = frames(LAYER2_FREE, 1, 41, 2000);
    const Bytes after = frames(LAYER2_128K, 3, 42);
    Pcm reference;
    {
        Opened opened(after, true);
        ASSERT_NE(opened.stream, nullptr);
        reference = opened.playAll();
    }
    for (bool sized : {true, false}) {
        Opened opened(lone + after, sized);
        ASSERT_NE(opened.stream, nullptr);
        EXPECT_EQ(opened.stream->getFormat().FrameCount, sized ? 3 * SAMPLES : -1);
        EXPECT_EQ(opened.playAll(), reference) << "sized " << sized;
    }
}

}  // namespace
