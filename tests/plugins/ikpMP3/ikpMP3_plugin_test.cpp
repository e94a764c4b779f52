// ikpMP3_plugin_test.cpp — the MP3 plug-in as the engine meets it: loaded with dlopen, driven through the engine's interfaces.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "mpaudec.h"
#include "pluginHost.h"

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;
using Pcm = std::vector<int16_t>;
using irrklang::IAudioStream;
using irrklang::IAudioStreamLoader;

namespace {

// ---- the module, loaded once like the engine would --------------------------------------

PluginEntry pluginEntry()
{
    static PluginModule module;
    static PluginEntry entry = [] {
        std::string error;
        if (!module.load(IKPMP3_MODULE_PATH, error)) {
            ADD_FAILURE() << error;
            return PluginEntry(nullptr);
        }
        module.keepLoaded();   // LeakSanitizer then still sees the module's symbols
        return module.entry();
    }();
    return entry;
}

// A reader over bytes in memory that records every seek.
class MemoryReader : public irrklang::IFileReader {
public:
    MemoryReader(Bytes data, bool reportSize) : Data(std::move(data)), ReportSize(reportSize) {}
    int32_t read(void* buffer, uint32_t sizeToRead) override
    {
        const size_t n = std::min<size_t>(sizeToRead, Data.size() - Pos);
        if (n > 0)
            std::memcpy(buffer, Data.data() + Pos, n);
        Pos += n;
        BytesRead += n;
        return int32_t(n);
    }
    bool seek(int32_t finalPos, bool relativeMovement) override
    {
        const int64_t target = relativeMovement ? int64_t(Pos) + finalPos : finalPos;
        Seeks.push_back(int32_t(target));
        if (!Seekable)
            return false;
        Pos = size_t(std::clamp<int64_t>(target, 0, int64_t(Data.size())));
        return target >= 0 && target <= int64_t(Data.size());
    }
    int32_t getSize() override { return ReportSize ? int32_t(Data.size()) : 0; }
    int32_t getPos() override { return int32_t(Pos); }

    Bytes Data;
    bool ReportSize;
    size_t Pos = 0;
    size_t BytesRead = 0;
    std::vector<int32_t> Seeks;
    bool Seekable = true;   // false: a stream that only reads forward, as over a pipe
};

// A reader over one MPEG frame repeated many times: files far longer than memory allows.
class RepeatedFrameReader : public irrklang::IFileReader {
public:
    RepeatedFrameReader(Bytes frame, int64_t count) : Frame(std::move(frame)), Total(int64_t(Frame.size()) * count) {}
    int32_t read(void* buffer, uint32_t sizeToRead) override
    {
        const int64_t n = std::min<int64_t>(sizeToRead, Total - Pos);
        auto* out = static_cast<unsigned char*>(buffer);
        for (int64_t done = 0; done < n;) {
            const size_t at = size_t(Pos % int64_t(Frame.size()));
            const size_t k = std::min<size_t>(Frame.size() - at, size_t(n - done));
            std::memcpy(out + done, Frame.data() + at, k);
            done += int64_t(k);
            Pos += int64_t(k);
        }
        return int32_t(std::max<int64_t>(n, 0));
    }
    bool seek(int32_t finalPos, bool relativeMovement) override
    {
        Pos = std::clamp<int64_t>(relativeMovement ? Pos + finalPos : finalPos, 0, Total);
        return true;
    }
    int32_t getSize() override { return int32_t(Total); }
    int32_t getPos() override { return int32_t(Pos); }

private:
    Bytes Frame;
    int64_t Total;
    int64_t Pos = 0;
};

// MPEG-2 layer II, 8 kbit/s, 16 kHz, mono, nothing allocated: 72 bytes of silence that
// decode to 1152 sample frames, so 134 MB of them hold more sample frames than an int counts.
Bytes silentLowRateFrame()
{
    Bytes frame(72, 0);
    frame[0] = 0xFF;
    frame[1] = 0xF5;
    frame[2] = 0x18;
    frame[3] = 0xC4;
    return frame;
}
const int64_t FRAMES_PAST_LARGEST_INT = int64_t(INT_MAX) / 1152 + 10;

// An engine with the plug-in's loader registered.
struct Engine {
    HostEngine engine;
    IAudioStreamLoader* loader = nullptr;
    Engine()
    {
        if (PluginEntry entry = pluginEntry()) {
            entry(&engine, "1.1.3");
            if (!engine.loaders().empty())
                loader = engine.loaders().front();
        }
    }
};

// A stream and its reader, both released at the end of the test.
struct Opened {
    MemoryReader* reader = nullptr;
    IAudioStream* stream = nullptr;
    Opened(IAudioStreamLoader* loader, const Bytes& data, bool reportSize)
        : reader(new MemoryReader(data, reportSize))
    {
        if (loader)
            stream = loader->createAudioStream(reader);
    }
    ~Opened()
    {
        if (stream)
            stream->drop();
        reader->drop();
    }
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;
};

Pcm readAll(IAudioStream* stream, int chunkFrames = 1000)
{
    const int channels = stream->getFormat().ChannelCount;
    Pcm out;
    Pcm chunk(size_t(chunkFrames) * channels);
    for (;;) {
        const int got = stream->readFrames(chunk.data(), chunkFrames);
        out.insert(out.end(), chunk.begin(), chunk.begin() + got * channels);
        if (got < chunkFrames)
            return out;
    }
}

// The decoder alone over the whole file, silence standing in for frames it cannot decode.
Pcm decodeAlone(const Bytes& data)
{
    MPAuDecContext ctx{};
    EXPECT_EQ(mpaudec_init(&ctx), 0);
    Pcm out;
    std::vector<int16_t> frame(MPAUDEC_MAX_AUDIO_FRAME_SIZE / 2);
    size_t pos = 0;
    int channels = 0;
    while (pos < data.size()) {
        int size = 0;
        const int chunk = int(std::min<size_t>(data.size() - pos, 1001));
        pos += size_t(mpaudec_decode_frame(&ctx, frame.data(), &size, data.data() + pos, chunk));
        if (size == 0)
            continue;
        if (channels == 0)
            channels = ctx.channels;
        if (size < 0) {
            out.insert(out.end(), size_t(ctx.frame_size) * channels, 0);
        } else {
            out.insert(out.end(), frame.begin(), frame.begin() + size / 2);
        }
    }
    mpaudec_clear(&ctx);
    return out;
}

// Byte offsets of the MPEG-1 layer II/III frames of a constant-bit-rate file, for checking
// where the stream jumps and for cutting files into frames.
std::vector<size_t> mpeg1FrameOffsets(const Bytes& data, size_t start = 0)
{
    static const int layer2[] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
    static const int layer3[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const int rates[] = {44100, 48000, 32000};
    std::vector<size_t> offsets;
    size_t pos = start;
    while (pos + 4 <= data.size()) {
        const unsigned char* h = data.data() + pos;
        const int layer = 4 - ((h[1] >> 1) & 3);
        const int rateIndex = (h[2] >> 2) & 3, bitrateIndex = h[2] >> 4;
        if (h[0] != 0xFF || (h[1] & 0xF8) != 0xF8 || (layer != 2 && layer != 3) || rateIndex == 3
            || bitrateIndex == 0 || bitrateIndex == 15)
            break;
        const int kbps = (layer == 2 ? layer2 : layer3)[bitrateIndex];
        offsets.push_back(pos);
        pos += size_t(144000 * kbps / rates[rateIndex] + ((h[2] >> 1) & 1));
    }
    return offsets;
}

Bytes readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

bool haveTool(const char* name)
{
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Test files made by the encoders at run time, once per process.
struct Media {
    fs::path dir;
    Bytes layer2Stereo;   // 44100 Hz joint stereo, 1152 sample frames per MPEG frame
    Bytes layer2Mono;
    Bytes layer3Stereo;
    Bytes layer2Free;     // free format: frame lengths are measured, not read from the header
    std::string missing;

    static const Media& get()
    {
        static Media media;
        return media;
    }

private:
    Media()
    {
        for (const char* tool : {"sox", "twolame", "lame"})
            if (!haveTool(tool))
                missing += std::string(missing.empty() ? "" : ", ") + tool;
        if (!missing.empty())
            return;
        char pattern[] = "/tmp/ikpMP3_test_XXXXXX";
        dir = mkdtemp(pattern);
        const std::string d = dir.string();
        const std::string script =
            "cd " + d + " && sox -n -r 44100 -c 2 -b 16 stereo.wav synth 7 sine 440 sine 659"
            " && sox -n -r 44100 -c 1 -b 16 mono.wav synth 1 sine 330"
            " && twolame --quiet -b 192 stereo.wav l2.mp3 && twolame --quiet -m m -b 96 mono.wav l2m.mp3"
            " && twolame --quiet --freeformat -b 448 stereo.wav l2f.mp3"
            " && lame --quiet -t --cbr -b 128 stereo.wav l3.mp3";
        if (std::system(script.c_str()) != 0) {
            missing = "a working encoder (the commands in " + d + " failed)";
            return;
        }
        layer2Stereo = readFile(dir / "l2.mp3");
        layer2Mono = readFile(dir / "l2m.mp3");
        layer3Stereo = readFile(dir / "l3.mp3");
        layer2Free = readFile(dir / "l2f.mp3");
    }
    ~Media()
    {
        if (!dir.empty())
            fs::remove_all(dir);
    }
};

#define REQUIRE_MEDIA()                                                            \
    const Media& media = Media::get();                                             \
    if (!media.missing.empty())                                                    \
        GTEST_SKIP() << "needs " << media.missing << " to make test MP3 files"

#if !defined(__SANITIZE_ADDRESS__)
// In a death test's child: lets the process grow by at most `bytes` of address space
// beyond what it holds now. Exits with status 3 if its size cannot be read.
void allowOnlyMoreAddressSpace(rlim_t bytes)
{
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    long pages = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm || std::fscanf(statm, "%ld", &pages) != 1)
        _exit(3);
    std::fclose(statm);
    limit.rlim_cur = rlim_t(pages) * sysconf(_SC_PAGESIZE) + bytes;
    setrlimit(RLIMIT_AS, &limit);
}
#endif

// Sample frames [from, from + count) of interleaved PCM.
Pcm slice(const Pcm& pcm, int channels, int64_t from, int64_t count)
{
    const int64_t total = int64_t(pcm.size()) / channels;
    from = std::clamp<int64_t>(from, 0, total);
    count = std::clamp<int64_t>(count, 0, total - from);
    return Pcm(pcm.begin() + from * channels, pcm.begin() + (from + count) * channels);
}

// ---- entry point ----------------------------------------------------------------------

TEST(PluginEntry, RightVersionRegistersOneLoaderOwnedByTheEngineAlone)
{
    ASSERT_NE(pluginEntry(), nullptr);
    HostEngine engine;
    testing::internal::CaptureStdout();
    pluginEntry()(&engine, "1.1.3");
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    ASSERT_EQ(engine.loaders().size(), 1u);
    EXPECT_EQ(engine.loaders()[0]->getReferenceCount(), 1);

    pluginEntry()(&engine, "1.1.3");
    EXPECT_EQ(engine.loaders().size(), 2u);
}

TEST(PluginEntry, OtherVersionsPrintTheMessageAndRegisterNothing)
{
    ASSERT_NE(pluginEntry(), nullptr);
    for (const char* version : {"1.1.30", "1.1", "1.1.2", "", "1.1.3 ", "v1.1.3", (const char*)nullptr}) {
        HostEngine engine;
        testing::internal::CaptureStdout();
        pluginEntry()(&engine, version);
        std::fflush(stdout);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "This MP3 plugin only supports irrKlang version 1.1.3, mp3 playback disabled.\n")
            << (version ? version : "null");
        EXPECT_TRUE(engine.loaders().empty()) << (version ? version : "null");
    }
}

// ---- loader ---------------------------------------------------------------------------

TEST(Loader, ClaimsNamesContainingDotMp3)
{
    Engine e;
    ASSERT_NE(e.loader, nullptr);
    EXPECT_TRUE(e.loader->isALoadableFileExtension("music/theme.mp3"));
    EXPECT_TRUE(e.loader->isALoadableFileExtension("theme.mp3.bak"));
    EXPECT_TRUE(e.loader->isALoadableFileExtension(".mp3"));
    EXPECT_FALSE(e.loader->isALoadableFileExtension("theme.MP3"));
    EXPECT_FALSE(e.loader->isALoadableFileExtension("theme.mp"));
    EXPECT_FALSE(e.loader->isALoadableFileExtension("theme.wav"));
    EXPECT_FALSE(e.loader->isALoadableFileExtension(nullptr));
}

TEST(Loader, RefusesWhatIsNotMpegAudioAndGivesTheReaderBack)
{
    Engine e;
    ASSERT_NE(e.loader, nullptr);
    EXPECT_EQ(e.loader->createAudioStream(nullptr), nullptr);

    const std::string text = "This is a plain text file.\nIt has no MPEG audio in it at all.\n";
    for (const Bytes& data : {Bytes(text.begin(), text.end()), Bytes()}) {
        for (bool sized : {true, false}) {
            Opened opened(e.loader, data, sized);
            EXPECT_EQ(opened.stream, nullptr) << data.size() << " bytes, sized " << sized;
            EXPECT_EQ(opened.reader->getReferenceCount(), 1);
        }
    }
}

TEST(Loader, StreamHoldsOneReaderReferenceAndReportsTheFirstFramesFormat)
{
    REQUIRE_MEDIA();
    Engine e;
    ASSERT_NE(e.loader, nullptr);
    for (bool sized : {true, false}) {
        Opened opened(e.loader, media.layer2Mono, sized);
        ASSERT_NE(opened.stream, nullptr);
        EXPECT_EQ(opened.reader->getReferenceCount(), 2);
        EXPECT_EQ(opened.stream->getReferenceCount(), 1);
        const irrklang::SAudioStreamFormat format = opened.stream->getFormat();
        EXPECT_EQ(format.ChannelCount, 1);
        EXPECT_EQ(format.SampleRate, 44100);
        EXPECT_EQ(format.SampleFormat, irrklang::ESF_S16);
        EXPECT_EQ(format.getFrameSize(), 2);
        EXPECT_TRUE(opened.stream->getIsSeekingSupported());
        opened.stream->drop();
        opened.stream = nullptr;
        EXPECT_EQ(opened.reader->getReferenceCount(), 1);
    }
}

// ---- stream: length and whole-file decoding -------------------------------------------

TEST(Stream, TenLayerIIIFramesGiveExactly11520SampleFrames)
{
    REQUIRE_MEDIA();
    const std::vector<size_t> offsets = mpeg1FrameOffsets(media.layer3Stereo);
    ASSERT_GT(offsets.size(), 10u);
    const Bytes ten(media.layer3Stereo.begin(), media.layer3Stereo.begin() + long(offsets[10]));
    Engine e;
    Opened opened(e.loader, ten, true);
    ASSERT_NE(opened.stream, nullptr);
    EXPECT_EQ(opened.stream->getFormat().FrameCount, 11520);
    EXPECT_EQ(opened.stream->getFormat().ChannelCount, 2);
    Pcm pcm(20000 * 2);
    EXPECT_EQ(opened.stream->readFrames(pcm.data(), 20000), 11520);
    EXPECT_EQ(opened.stream->readFrames(pcm.data(), 20000), 0);
}

TEST(Stream, PluginOutputEqualsTheDecoderAloneWithAndWithoutFileSize)
{
    REQUIRE_MEDIA();
    Engine e;
    for (const Bytes* file : {&media.layer2Stereo, &media.layer2Mono, &media.layer3Stereo, &media.layer2Free}) {
        const Pcm expected = decodeAlone(*file);
        ASSERT_FALSE(expected.empty());
        for (bool sized : {true, false}) {
            Opened opened(e.loader, *file, sized);
            ASSERT_NE(opened.stream, nullptr);
            const int channels = opened.stream->getFormat().ChannelCount;
            EXPECT_EQ(opened.stream->getFormat().FrameCount,
                      sized ? int32_t(expected.size() / channels) : -1);
            // Odd chunk sizes make the queue carry partial MPEG frames between calls.
            EXPECT_TRUE(readAll(opened.stream, 777) == expected) << "sized " << sized;
        }
    }
}

TEST(Stream, UnsizedReaderDecodesTheFirstFrameUpFrontAndRefusesToSeek)
{
    REQUIRE_MEDIA();
    Engine e;
    Opened opened(e.loader, media.layer2Stereo, false);
    ASSERT_NE(opened.stream, nullptr);
    EXPECT_GT(opened.reader->BytesRead, 0u);
    const size_t readAtStart = opened.reader->BytesRead;

    Pcm pcm(2 * 2000);
    EXPECT_EQ(opened.stream->readFrames(pcm.data(), 0), 0);
    EXPECT_EQ(opened.stream->readFrames(pcm.data(), -5), 0);
    EXPECT_EQ(opened.reader->BytesRead, readAtStart);

    ASSERT_EQ(opened.stream->readFrames(pcm.data(), 500), 500);
    EXPECT_FALSE(opened.stream->setPosition(3000));
    const Pcm expected = decodeAlone(media.layer2Stereo);
    Pcm rest = readAll(opened.stream);
    rest.insert(rest.begin(), pcm.begin(), pcm.begin() + 1000);
    EXPECT_TRUE(rest == expected) << "the refused seek moved the stream";

    ASSERT_TRUE(opened.stream->setPosition(0));
    EXPECT_TRUE(readAll(opened.stream) == expected);
}

TEST(Stream, LeadingId3TagIsSkippedByItsSyncsafeSize)
{
    REQUIRE_MEDIA();
    // Size bytes 00 00 02 01: (2 << 7) | 1 = 257 bytes of tag after the 10-byte header.
    Bytes tagged = {'I', 'D', '3', 3, 0, 0, 0x00, 0x00, 0x02, 0x01};
    tagged.resize(267, 0);
    tagged.insert(tagged.end(), media.layer2Stereo.begin(), media.layer2Stereo.end());

    Engine e;
    Opened opened(e.loader, tagged, true);
    ASSERT_NE(opened.stream, nullptr);
    ASSERT_FALSE(opened.reader->Seeks.empty());
    EXPECT_EQ(opened.reader->Seeks.front(), 267);
    EXPECT_EQ(opened.reader->Seeks.back(), 267) << "the rewind goes back to the end of the tag";
    const Pcm expected = decodeAlone(media.layer2Stereo);
    EXPECT_TRUE(readAll(opened.stream) == expected);

    // The seek table's offsets are in the tagged file: frame 20's target restarts at frame 10.
    const std::vector<size_t> offsets = mpeg1FrameOffsets(tagged, 267);
    ASSERT_GT(offsets.size(), 20u);
    ASSERT_TRUE(opened.stream->setPosition(20 * 1152 + 5));
    EXPECT_EQ(opened.reader->Seeks.back(), int32_t(offsets[10]));
}

TEST(Stream, TagWithHeaderLikeBytesIsSkippedAlsoWithoutFileSize)
{
    REQUIRE_MEDIA();
    // A tag of 30000 bytes (size bytes 00 01 6A 30) holding noise, as a picture would: some
    // of its bytes pass for MPEG headers of other formats.
    Bytes tagged = {'I', 'D', '3', 3, 0, 0, 0x00, 0x01, 0x6A, 0x30};
    uint32_t seed = 7;
    while (tagged.size() < 30010) {
        seed = seed * 1664525u + 1013904223u;
        tagged.push_back(static_cast<unsigned char>(seed >> 24));
    }
    tagged.insert(tagged.end(), media.layer3Stereo.begin(), media.layer3Stereo.end());
    const Pcm expected = decodeAlone(media.layer3Stereo);

    Engine e;
    for (bool sized : {false, true}) {
        Opened opened(e.loader, tagged, sized);
        ASSERT_NE(opened.stream, nullptr) << "sized " << sized;
        EXPECT_EQ(opened.stream->getFormat().ChannelCount, 2) << "sized " << sized;
        EXPECT_EQ(opened.stream->getFormat().SampleRate, 44100) << "sized " << sized;
        EXPECT_TRUE(readAll(opened.stream) == expected) << "sized " << sized;
        ASSERT_TRUE(opened.stream->setPosition(0));
        EXPECT_EQ(opened.reader->Seeks.back(), 30010) << "sized " << sized;
    }
}

TEST(Stream, ForwardOnlyReaderWithoutSizeStillDeliversTheWholeFile)
{
    REQUIRE_MEDIA();
    Bytes tagged = {'I', 'D', '3', 3, 0, 0, 0x00, 0x00, 0x02, 0x01};
    tagged.resize(267, 0);
    tagged.insert(tagged.end(), media.layer3Stereo.begin(), media.layer3Stereo.end());
    const Pcm expected = decodeAlone(media.layer3Stereo);

    Engine e;
    ASSERT_NE(e.loader, nullptr);
    const Bytes* files[] = {&media.layer3Stereo, &tagged};
    for (const Bytes* file : files) {
        auto* reader = new MemoryReader(*file, false);
        reader->Seekable = false;
        IAudioStream* stream = e.loader->createAudioStream(reader);
        reader->drop();
        if (!stream) {
            ADD_FAILURE() << file->size() << " bytes: no stream";
            continue;
        }
        EXPECT_TRUE(readAll(stream) == expected) << file->size() << " bytes";
        stream->drop();
    }
}

// ---- stream: seeking ------------------------------------------------------------------

struct SeekCase {
    int64_t pos;            // sample frame asked for
    int restartFrame;       // MPEG frame decoding restarts at
    int64_t firstDelivered; // sample frame the next readFrames starts at
};

void expectSeek(const Bytes& file, const SeekCase& c)
{
    Engine e;
    Opened opened(e.loader, file, true);
    ASSERT_NE(opened.stream, nullptr);
    const Pcm expected = decodeAlone(file);
    const std::vector<size_t> offsets = mpeg1FrameOffsets(file);
    ASSERT_TRUE(c.restartFrame == 0 || offsets.size() > size_t(c.restartFrame));

    ASSERT_TRUE(opened.stream->setPosition(int32_t(c.pos))) << c.pos;
    // Frame 0 needs no jump: the rewind already stands at the start of the audio.
    EXPECT_EQ(opened.reader->Seeks.back(), c.restartFrame == 0 ? 0 : int32_t(offsets[c.restartFrame]))
        << c.pos;
    const Pcm got = readAll(opened.stream, 1000);
    const Pcm want = slice(expected, 2, c.firstDelivered, INT64_MAX);
    EXPECT_EQ(got.size(), want.size()) << c.pos;
    EXPECT_TRUE(got == want) << c.pos;
}

TEST(Stream, SeeksRestartTenFramesEarlyAndDiscardUpToTheTarget)
{
    REQUIRE_MEDIA();
    const int64_t f = 1152;
    expectSeek(media.layer2Stereo, {3 * f + 100, 0, 3 * f + 100});    // inside frame 3
    expectSeek(media.layer2Stereo, {50 * f + 7, 40, 50 * f + 7});     // inside frame 50
    expectSeek(media.layer2Stereo, {31 * f, 20, 31 * f});             // the end of frame 30 selects frame 30
    expectSeek(media.layer2Stereo, {31 * f + 1, 21, 31 * f + 1});     // one further is frame 31
    expectSeek(media.layer2Stereo, {-5000, 0, 0});                    // negative: frame 0, nothing discarded
    expectSeek(media.layer3Stereo, {50 * f + 7, 40, 50 * f + 7});     // the bit reservoir is rebuilt
    // The first free-format frame is only complete once the next header has been read.
    expectSeek(media.layer2Free, {3 * f + 100, 0, 3 * f + 100});
}

TEST(Stream, SeekBeyondTheEndSucceedsAndLeavesNothingToRead)
{
    REQUIRE_MEDIA();
    Engine e;
    Opened opened(e.loader, media.layer2Stereo, true);
    ASSERT_NE(opened.stream, nullptr);
    const int32_t total = opened.stream->getFormat().FrameCount;
    Pcm pcm(2 * 100);
    for (int32_t pos : {total, total + 1, INT_MAX}) {
        EXPECT_TRUE(opened.stream->setPosition(pos)) << pos;
        EXPECT_EQ(opened.stream->readFrames(pcm.data(), 100), 0) << pos;
    }
    // After the end, a rewind plays the whole file again.
    ASSERT_TRUE(opened.stream->setPosition(0));
    EXPECT_TRUE(readAll(opened.stream) == decodeAlone(media.layer2Stereo));
    EXPECT_EQ(opened.stream->readFrames(pcm.data(), 100), 0);
    ASSERT_TRUE(opened.stream->setPosition(0));
    EXPECT_EQ(opened.stream->readFrames(pcm.data(), 100), 100);
}

#if !defined(__SANITIZE_ADDRESS__)
// A seek far past the end must discard through a small buffer, not one the size of the distance.
TEST(StreamDeathTest, SeekToTheLargestIntNeedsNoLargeAllocation)
{
    REQUIRE_MEDIA();
    Engine e;
    Opened opened(e.loader, media.layer2Stereo, true);
    ASSERT_NE(opened.stream, nullptr);
    EXPECT_EXIT(
        {
            allowOnlyMoreAddressSpace(256 << 20);
            _exit(opened.stream->setPosition(INT_MAX) ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}
#endif

// ---- stream: files whose frames change their channel count ------------------------------

// Runs a shell command in the media folder; false when it fails.
bool shell(const std::string& command)
{
    return std::system(("cd " + Media::get().dir.string() + " && " + command).c_str()) == 0;
}

// The decoder alone, each frame brought to `channels`: mono copied to both channels,
// stereo mixed to (L + R) / 2 with halves rounded away from zero.
Pcm decodeAloneAs(const Bytes& data, int channels)
{
    MPAuDecContext ctx{};
    EXPECT_EQ(mpaudec_init(&ctx), 0);
    Pcm out;
    std::vector<int16_t> frame(MPAUDEC_MAX_AUDIO_FRAME_SIZE / 2);
    for (size_t pos = 0; pos < data.size();) {
        int size = 0;
        pos += size_t(mpaudec_decode_frame(&ctx, frame.data(), &size, data.data() + pos,
                                           int(std::min<size_t>(data.size() - pos, 4096))));
        if (size <= 0)
            continue;
        for (int i = 0; i < size / 2 / ctx.channels; ++i) {
            if (ctx.channels == channels) {
                out.insert(out.end(), frame.begin() + i * channels, frame.begin() + (i + 1) * channels);
            } else if (channels == 2) {
                out.insert(out.end(), 2, frame[size_t(i)]);
            } else {
                const double mean = (frame[size_t(2 * i)] + frame[size_t(2 * i + 1)]) / 2.0;
                out.push_back(int16_t(std::lround(mean)));
            }
        }
    }
    mpaudec_clear(&ctx);
    return out;
}

TEST(Stream, ChannelSwitchesAreConvertedAndCountedAndSeekExactly)
{
    REQUIRE_MEDIA();
    // Mono and stereo pieces at one rate, joined as they are; lame's -t leaves no
    // metadata frame between them.
    ASSERT_TRUE(shell("sox -n -r 44100 -c 1 -b 16 m1.wav synth 0.4 sine 300"
                      " && sox -n -r 44100 -c 2 -b 16 s1.wav synth 0.5 sine 500 sine 700"
                      " && lame --quiet -t -m m -b 64 m1.wav m1.mp3 && lame --quiet -t -m j -b 128 s1.wav s1.mp3"
                      " && twolame --quiet -m m -b 96 m1.wav m2.mp2 && twolame --quiet -b 192 s1.wav s2.mp2"));
    const Bytes m3 = readFile(media.dir / "m1.mp3"), s3 = readFile(media.dir / "s1.mp3");
    const Bytes m2 = readFile(media.dir / "m2.mp2"), s2 = readFile(media.dir / "s2.mp2");
    auto join = [](std::initializer_list<const Bytes*> parts) {
        Bytes all;
        for (const Bytes* part : parts)
            all.insert(all.end(), part->begin(), part->end());
        return all;
    };
    struct Case {
        const char* name;
        Bytes file;
        int channels;
    };
    const Case cases[] = {
        {"stereo mono stereo (layer III)", join({&s3, &m3, &s3}), 2},
        {"mono stereo mono (layer III)", join({&m3, &s3, &m3}), 1},
        {"stereo mono (layer II)", join({&s2, &m2}), 2},
        {"mono stereo stereo mono (layer II)", join({&m2, &s2, &s2, &m2}), 1},
    };
    Engine e;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Pcm expected = decodeAloneAs(c.file, c.channels);
        for (bool sized : {true, false}) {
            Opened opened(e.loader, c.file, sized);
            ASSERT_NE(opened.stream, nullptr);
            EXPECT_EQ(opened.stream->getFormat().ChannelCount, c.channels);
            EXPECT_EQ(opened.stream->getFormat().FrameCount, sized ? int32_t(expected.size()) / c.channels : -1);
            const Pcm all = readAll(opened.stream, 777);
            EXPECT_EQ(all.size(), expected.size()) << "sized " << sized;
            EXPECT_TRUE(all == expected) << "sized " << sized;
        }
        // Seeks land on the sample frame asked for wherever the switches lie: around every
        // MPEG frame boundary of the first 30 frames and far into the file.
        Opened opened(e.loader, c.file, true);
        ASSERT_NE(opened.stream, nullptr);
        const int64_t total = int64_t(expected.size()) / c.channels;
        for (int64_t pos = 1; pos < total; pos += pos < 30 * 1152 ? 1151 : 9973) {
            ASSERT_TRUE(opened.stream->setPosition(int32_t(pos)));
            Pcm got(size_t(3000) * c.channels);
            got.resize(size_t(opened.stream->readFrames(got.data(), 3000)) * c.channels);
            ASSERT_TRUE(got == slice(expected, c.channels, pos, 3000)) << "seek to " << pos;
        }
    }
    // A stereo frame mixed to mono: the mean of the channels, rounded half away from zero.
    const Pcm stereo = decodeAlone(s3), mixed = decodeAloneAs(join({&m3, &s3}), 1);
    const size_t monoFrames = decodeAlone(m3).size();
    ASSERT_EQ(mixed.size(), monoFrames + stereo.size() / 2);
    for (size_t i = 1000; i < stereo.size() / 2; i += 997) {
        const int sum = stereo[2 * i] + stereo[2 * i + 1];
        const int want = sum >= 0 ? (sum + 1) / 2 : -((1 - sum) / 2);
        // The pieces meet without a reset: only the first frames after the join differ.
        if (i > 2 * 1152) {
            ASSERT_EQ(mixed[monoFrames + i], want) << i;
        }
    }
}

TEST(Stream, SampleRateChangeStillEndsTheStream)
{
    REQUIRE_MEDIA();
    ASSERT_TRUE(shell("sox -n -r 48000 -c 2 -b 16 s48.wav synth 0.3 sine 500 && twolame --quiet -b 192 s48.wav s48.mp2"));
    Bytes mixed = media.layer2Stereo;
    const size_t firstFrames = mpeg1FrameOffsets(mixed).size();
    const Bytes other = readFile(media.dir / "s48.mp2");
    mixed.insert(mixed.end(), other.begin(), other.end());

    Engine e;
    Opened opened(e.loader, mixed, true);
    ASSERT_NE(opened.stream, nullptr);
    EXPECT_EQ(opened.stream->getFormat().FrameCount, int32_t(firstFrames * 1152));
    const Pcm pcm = readAll(opened.stream, 100000);
    EXPECT_EQ(pcm.size(), firstFrames * 1152 * 2);
    EXPECT_TRUE(pcm == decodeAlone(media.layer2Stereo));
}

// ---- stream: gapless playback of lame files ---------------------------------------------

// Raw 16-bit PCM that a command writes to its standard output.
Pcm pcmOf(const std::string& command)
{
    Pcm out;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        int16_t buffer[4096];
        for (size_t n; (n = std::fread(buffer, 2, 4096, pipe)) > 0;)
            out.insert(out.end(), buffer, buffer + n);
        pclose(pipe);
    }
    return out;
}

int largestDifference(const Pcm& a, const Pcm& b)
{
    int largest = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        largest = std::max(largest, std::abs(a[i] - b[i]));
    return largest;
}

// Where the LAME tag starts in a file that begins with lame's metadata frame.
size_t lameTagAt(const Bytes& file)
{
    const std::string text(file.begin(), file.begin() + long(std::min<size_t>(file.size(), 1000)));
    return text.find("LAME");
}

// A stream the tests make: sox's tones at this rate and channel count, encoded by lame so.
struct LameStream {
    int rate;
    int channels;
    const char* lameOptions;
};

TEST(Stream, LameFilesDecodeToTheirSourcesLengthLikeMpg123)
{
    REQUIRE_MEDIA();
    if (!haveTool("mpg123"))
        GTEST_SKIP() << "needs mpg123 to compare with";
    // MPEG-1, -2 and -2.5 rates; constant, variable and average bit rates; a protected frame;
    // free format, whose frames' ends are found by reading the next header.
    const LameStream cases[] = {
        {44100, 2, "--cbr -b 128"}, {48000, 2, "--cbr -b 160 -p"}, {32000, 1, "-V 2 -m m"},
        {22050, 2, "-V 4"},         {8000, 1, "--cbr -b 32 -m m"}, {44100, 2, "--abr 112 --resample 44.1"},
        {24000, 1, "-V 6 -m m"},    {44100, 2, "--freeformat -b 400"},
    };
    Engine e;
    for (const LameStream& c : cases) {
        for (bool noTag : {false, true}) {
            const std::string name = "g" + std::to_string(c.rate) + "_" + std::to_string(c.channels)
                                     + (noTag ? "t" : "") + ".mp3";
            SCOPED_TRACE(name + " " + c.lameOptions);
            // An odd length, not a whole number of MPEG frames.
            const int64_t length = c.rate * 13 / 10 + 7;
            ASSERT_TRUE(shell("sox -D -r " + std::to_string(c.rate) + " -c " + std::to_string(c.channels) + " -n"
                              + " -b 16 g.wav synth " + std::to_string(length) + "s sine 440 sine 620 gain -3"
                              + " && lame --quiet " + (noTag ? "-t " : "") + c.lameOptions + " g.wav " + name));
            const Bytes file = readFile(media.dir / name);
            Opened opened(e.loader, file, true);
            ASSERT_NE(opened.stream, nullptr);
            const int ch = c.channels;
            const Pcm all = readAll(opened.stream, 1000);
            if (noTag) {
                // Nothing to go by: every frame is played, as before.
                const Pcm whole = decodeAlone(file);
                EXPECT_EQ(opened.stream->getFormat().FrameCount, int32_t(whole.size()) / ch);
                EXPECT_TRUE(all == whole);
                continue;
            }
            EXPECT_EQ(opened.stream->getFormat().FrameCount, length);
            ASSERT_EQ(int64_t(all.size()), length * ch);
            const Pcm reference = pcmOf("mpg123 -q -s " + (media.dir / name).string());
            EXPECT_EQ(reference.size(), all.size());
            EXPECT_LE(largestDifference(all, reference), 1);

            // Seeks count only the music: they land where the whole read has that sample frame.
            for (int64_t pos : {int64_t(1), int64_t(577), int64_t(1105), length / 2, length - 5, length}) {
                ASSERT_TRUE(opened.stream->setPosition(int32_t(pos))) << pos;
                Pcm got(size_t(2000) * ch);
                got.resize(size_t(opened.stream->readFrames(got.data(), 2000)) * ch);
                EXPECT_TRUE(got == slice(all, ch, pos, 2000)) << "seek to " << pos;
            }
            ASSERT_TRUE(opened.stream->setPosition(0));
            EXPECT_TRUE(readAll(opened.stream, 4096) == all);

            // Without a size the metadata frame and the delay go all the same; where the
            // music ends is not known, so the padding is played.
            Opened unsized(e.loader, file, false);
            ASSERT_NE(unsized.stream, nullptr);
            const Pcm streamed = readAll(unsized.stream, 1000);
            ASSERT_GE(streamed.size(), all.size());
            EXPECT_LT(streamed.size(), all.size() + size_t(4096 * ch));
            EXPECT_TRUE(std::equal(all.begin(), all.end(), streamed.begin()));
        }
    }
}

// At a low bit rate a frame reads its main data from a dozen frames back or more: a seek
// must decode from before all of them, or the frames after the target come out wrong.
TEST(Stream, SeeksLandOnTheSampleFrameAtEveryRateModeAndBitRate)
{
    REQUIRE_MEDIA();
    const LameStream cases[] = {
        {24000, 1, "--cbr -b 8 -m m"},  {22050, 1, "--cbr -b 8 -m m"}, {16000, 1, "--cbr -b 8 -m m"},
        {24000, 2, "--cbr -b 16 -m j"}, {22050, 2, "-V 9 -m s"},        {16000, 2, "-V 9 -m j -p"},
        {12000, 1, "-V 9 -m m"},        {8000, 2, "--cbr -b 8 -m j"},   {32000, 1, "--cbr -b 32 -m m"},
        {44100, 2, "--cbr -b 32 -m j"}, {48000, 2, "-V 9 -m s"},        {24000, 1, "-t --cbr -b 8 -m m"},
    };
    Engine e;
    for (const LameStream& c : cases) {
        const std::string options = c.lameOptions;
        SCOPED_TRACE(std::to_string(c.rate) + " Hz, " + options);
        // No dither: the same file on every run; and the rate kept, however low the bit rate.
        char kHz[16];
        std::snprintf(kHz, sizeof kHz, "%g", c.rate / 1000.0);
        ASSERT_TRUE(shell("sox -D -r " + std::to_string(c.rate) + " -c " + std::to_string(c.channels)
                          + " -n -b 16 s.wav synth 2.1 sine 440 sine 620 gain -3 && lame --quiet --resample "
                          + kHz + " " + options + " s.wav s.mp3"));
        Opened opened(e.loader, readFile(media.dir / "s.mp3"), true);
        ASSERT_NE(opened.stream, nullptr);
        ASSERT_EQ(opened.stream->getFormat().SampleRate, c.rate);
        const int ch = c.channels;
        const Pcm all = readAll(opened.stream, 1000);
        const int64_t total = int64_t(all.size()) / ch;
        ASSERT_EQ(opened.stream->getFormat().FrameCount, total);
        ASSERT_GT(total, 40000 * c.rate / 24000) << "too short to seek deep into";
        // Just before, at and after MPEG frame boundaries, and between them, all over the file.
        std::vector<int64_t> positions = {1, total - 1};
        for (int64_t pos = 575; pos < total; pos += 2 * 576 * 7 + 331)
            positions.insert(positions.end(), {pos, pos + 1, pos + 2, pos + 300});
        int wrong = 0;
        for (int64_t pos : positions) {
            ASSERT_TRUE(opened.stream->setPosition(int32_t(pos))) << pos;
            Pcm got(size_t(1500) * ch);
            got.resize(size_t(opened.stream->readFrames(got.data(), 1500)) * ch);
            if (got != slice(all, ch, pos, 1500) && ++wrong <= 3)
                ADD_FAILURE() << "seek to " << pos << " of " << total;
        }
        EXPECT_EQ(wrong, 0) << "of " << positions.size() << " seeks";
    }
}

TEST(Stream, DamagedOrForeignLameTagCutsNothing)
{
    REQUIRE_MEDIA();
    ASSERT_TRUE(shell("sox -r 44100 -c 2 -n -b 16 d.wav synth 40000s sine 440 sine 620"
                      " && lame --quiet --cbr -b 128 d.wav d.mp3"));
    const Bytes file = readFile(media.dir / "d.mp3");
    const size_t tag = lameTagAt(file);
    ASSERT_NE(tag, std::string::npos);
    // What is left once the metadata frame (the first 1152 sample frames of silence) is dropped.
    auto allButFirstFrame = [](const Bytes& bytes) {
        const Pcm whole = decodeAlone(bytes);
        return Pcm(whole.begin() + 1152 * 2, whole.end());
    };

    Bytes damagedDelay = file;
    damagedDelay[tag + 21] ^= 0x10;   // the delay no longer matches the tag's checksum
    Bytes damagedChecksum = file;
    damagedChecksum[tag + 35] ^= 0x01;
    Bytes joined = file;              // the tag counts the frames of the first file only
    joined.insert(joined.end(), file.begin(), file.end());
    Bytes healthy = file;

    Engine e;
    for (const Bytes* bytes : {&damagedDelay, &damagedChecksum, &joined, &healthy}) {
        Opened opened(e.loader, *bytes, true);
        ASSERT_NE(opened.stream, nullptr);
        const Pcm all = readAll(opened.stream, 4096);
        EXPECT_EQ(opened.stream->getFormat().FrameCount, int32_t(all.size() / 2));
        if (bytes == &healthy) {
            EXPECT_EQ(all.size(), 40000u * 2);
        } else {
            EXPECT_TRUE(all == allButFirstFrame(*bytes)) << (bytes == &joined ? "joined" : "damaged");
        }
    }

    // Followed by frames at another rate, the stream still ends at the change, and the tag
    // describes everything before it: the music plays exactly, seeks included.
    ASSERT_TRUE(shell("sox -r 24000 -c 2 -n -b 16 d24.wav synth 9000s sine 300 && lame --quiet -t d24.wav d24.mp3"));
    const Bytes other = readFile(media.dir / "d24.mp3");
    Bytes rateChange = file;
    rateChange.insert(rateChange.end(), other.begin(), other.end());
    Opened alone(e.loader, file, true), followed(e.loader, rateChange, true);
    ASSERT_NE(alone.stream, nullptr);
    ASSERT_NE(followed.stream, nullptr);
    EXPECT_EQ(followed.stream->getFormat().FrameCount, 40000);
    const Pcm music = readAll(alone.stream, 4096);
    EXPECT_TRUE(readAll(followed.stream, 4096) == music);
    ASSERT_TRUE(followed.stream->setPosition(30001));
    EXPECT_TRUE(readAll(followed.stream, 4096) == slice(music, 2, 30001, INT64_MAX));
}

TEST(Stream, LengthPastTheLargestIntIsReportedAsTheLargestInt)
{
    Engine e;
    ASSERT_NE(e.loader, nullptr);
    auto* reader = new RepeatedFrameReader(silentLowRateFrame(), FRAMES_PAST_LARGEST_INT);
    IAudioStream* stream = e.loader->createAudioStream(reader);
    reader->drop();
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->getFormat().ChannelCount, 1);
    EXPECT_EQ(stream->getFormat().SampleRate, 16000);
    EXPECT_EQ(stream->getFormat().FrameCount, INT_MAX);

    // Playing on across the largest int keeps the position defined (the sanitized run traps an overflow).
    EXPECT_TRUE(stream->setPosition(INT_MAX - 100));
    Pcm pcm(1000, 1);
    EXPECT_EQ(stream->readFrames(pcm.data(), 1000), 1000);
    EXPECT_TRUE(pcm == Pcm(1000, 0));
    EXPECT_TRUE(stream->setPosition(INT_MAX));
    EXPECT_EQ(stream->readFrames(pcm.data(), 1000), 1000);
    stream->drop();
}

#if !defined(__SANITIZE_ADDRESS__)
// Out of memory for the seek table: the file is refused, nothing escapes into the engine
// and the reader's count is back where it was.
TEST(StreamDeathTest, SeekTableThatCannotGrowRefusesTheFile)
{
    Engine e;
    ASSERT_NE(e.loader, nullptr);
    auto* reader = new RepeatedFrameReader(silentLowRateFrame(), FRAMES_PAST_LARGEST_INT);
    EXPECT_EXIT(
        {
            // Room for the decoder, not for a table of 1.8 million entries (15 MB).
            allowOnlyMoreAddressSpace(8 << 20);
            IAudioStream* stream = e.loader->createAudioStream(reader);
            // The scan ran well into the file: the refusal is the table's, not the decoder's set-up.
            const bool scanned = reader->getPos() > (1 << 20);
            _exit(stream == nullptr && reader->getReferenceCount() == 1 && scanned ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    reader->drop();
}
#endif

// ---- every conformance stream through the plug-in ---------------------------------------

TEST(Stream, ConformanceStreamsDecodeAsWithTheDecoderAlone)
{
    // $VW_MPEG_AUDIO_DIR names the reference data folder; else it lies beside the checkout.
    const char* data = std::getenv("VW_MPEG_AUDIO_DIR");
    const char* source = std::getenv("VW_SOURCE_DIR");
    const fs::path vectors = (data && *data ? fs::path(data)
                                            : fs::path(source ? source : "..") / ".." / "shared" / "mpeg-audio")
                             / "vectors";
    if (!fs::is_directory(vectors))
        GTEST_SKIP() << "no conformance streams at " << vectors
                     << " (put the MPEG audio reference data there or set VW_MPEG_AUDIO_DIR)";
    Engine e;
    int streams = 0;
    for (const auto& entry : fs::directory_iterator(vectors)) {
        if (entry.path().extension() != ".bit")
            continue;
        const Bytes file = readFile(entry.path());
        Opened opened(e.loader, file, true);
        ASSERT_NE(opened.stream, nullptr) << entry.path();
        const Pcm got = readAll(opened.stream, 4096);
        EXPECT_EQ(int64_t(got.size()),
                  int64_t(opened.stream->getFormat().FrameCount) * opened.stream->getFormat().ChannelCount)
            << entry.path();
        EXPECT_TRUE(got == decodeAlone(file)) << entry.path();
        ++streams;
    }
    EXPECT_GT(streams, 0);
}

// ---- the host program ----------------------------------------------------------------

#ifdef MP3DECODE_PATH
void writeFile(const fs::path& path, const Bytes& data)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                                std::streamsize(data.size()));
}

struct RunResult {
    int status = -1;
    std::string err;
    Bytes out;
};

RunResult runMp3decode(const std::string& args)
{
    const fs::path dir = Media::get().dir;
    const fs::path out = dir / "out.bin", err = dir / "err.txt";
    fs::remove(out);
    const std::string command = std::string(MP3DECODE_PATH) + " " + args + " > /dev/null 2> " + err.string();
    const int raw = std::system(command.c_str());
    RunResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    const Bytes errBytes = readFile(err);
    result.err.assign(errBytes.begin(), errBytes.end());
    if (fs::exists(out))
        result.out = readFile(out);
    return result;
}

Bytes asBytes(const Pcm& pcm)
{
    const auto* p = reinterpret_cast<const unsigned char*>(pcm.data());
    return Bytes(p, p + pcm.size() * 2);
}

uint32_t le32(const Bytes& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

TEST(Mp3decode, WritesWavAndRawPcmOfTheWholeFile)
{
    REQUIRE_MEDIA();
    const std::string in = (media.dir / "l2.mp3").string(), out = (media.dir / "out.bin").string();
    const Pcm expected = decodeAlone(media.layer2Stereo);
    const size_t frames = expected.size() / 2;

    RunResult raw = runMp3decode("--raw " + in + " " + out);
    ASSERT_EQ(raw.status, 0) << raw.err;
    EXPECT_TRUE(raw.out == asBytes(expected));
    EXPECT_NE(raw.err.find("2 channels, 44100 Hz"), std::string::npos) << raw.err;
    EXPECT_NE(raw.err.find("length: " + std::to_string(frames) + " sample frames"), std::string::npos) << raw.err;

    RunResult wav = runMp3decode(in + " " + out);
    ASSERT_EQ(wav.status, 0) << wav.err;
    ASSERT_EQ(wav.out.size(), 44 + frames * 4);
    EXPECT_EQ(std::string(wav.out.begin(), wav.out.begin() + 4), "RIFF");
    EXPECT_EQ(le32(wav.out, 4), 36 + frames * 4);
    EXPECT_EQ(le32(wav.out, 22) & 0xFFFF, 2u);   // channels
    EXPECT_EQ(le32(wav.out, 24), 44100u);
    EXPECT_EQ(le32(wav.out, 40), frames * 4);
    EXPECT_TRUE(Bytes(wav.out.begin() + 44, wav.out.end()) == raw.out);
}

TEST(Mp3decode, StartAndFramesCutTheOutput)
{
    REQUIRE_MEDIA();
    const std::string in = (media.dir / "l2.mp3").string(), out = (media.dir / "out.bin").string();
    RunResult cut = runMp3decode("--raw --start 60000 --frames 5000 " + in + " " + out);
    ASSERT_EQ(cut.status, 0) << cut.err;
    EXPECT_TRUE(cut.out == asBytes(slice(decodeAlone(media.layer2Stereo), 2, 60000, 5000)));
}

TEST(Mp3decode, WavOnStandardOutputCarriesTheRealSizes)
{
    REQUIRE_MEDIA();
    if (!haveTool("mpg123"))
        GTEST_SKIP() << "needs mpg123 to compare with";
    // A lame file with its metadata frame: lengths and --start count the music only.
    ASSERT_TRUE(shell("sox -r 44100 -c 2 -n -b 16 w.wav synth 50001s sine 440 sine 620"
                      " && lame --quiet --cbr -b 128 w.wav w.mp3"));
    const std::string in = (media.dir / "w.mp3").string(), out = (media.dir / "out.bin").string();
    const Pcm reference = pcmOf("mpg123 -q -s " + in);
    ASSERT_EQ(reference.size(), 50001u * 2);
    struct Case {
        std::string options;
        int64_t start, frames;   // what the output holds, in sample frames
        bool sized;              // the header can carry the sizes
    };
    const Case cases[] = {
        {"", 0, 50001, true},
        {"--start 3000 --frames 2000", 3000, 2000, true},
        {"--start 49000", 49000, 1001, true},
        {"--frames 0", 0, 0, true},
        {"--no-size", 0, -1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        const std::string command = std::string(MP3DECODE_PATH) + " " + c.options + " " + in + " - 2>/dev/null | cat > " + out;
        ASSERT_EQ(std::system(command.c_str()), 0);
        const Bytes wav = readFile(out);
        ASSERT_GE(wav.size(), 44u);
        const size_t data = wav.size() - 44;
        if (c.sized) {
            EXPECT_EQ(data, size_t(c.frames) * 4);
            EXPECT_EQ(le32(wav, 4), 36 + data);
            EXPECT_EQ(le32(wav, 40), data);
            const Pcm pcm(reinterpret_cast<const int16_t*>(wav.data() + 44),
                          reinterpret_cast<const int16_t*>(wav.data() + wav.size()));
            EXPECT_LE(largestDifference(pcm, slice(reference, 2, c.start, c.frames)), 1);
        } else {
            // Unknown ahead: the largest sizes, as a streamed WAV says "to the end".
            EXPECT_EQ(le32(wav, 40), UINT32_MAX);
            EXPECT_GT(data, 50001u * 4);
        }
    }
}

TEST(Mp3decode, WithoutSizeTheLengthIsUnknownAndSeekingIsRefused)
{
    REQUIRE_MEDIA();
    const std::string in = (media.dir / "l2.mp3").string(), out = (media.dir / "out.bin").string();
    RunResult whole = runMp3decode("--raw --no-size " + in + " " + out);
    ASSERT_EQ(whole.status, 0) << whole.err;
    EXPECT_NE(whole.err.find("length: unknown"), std::string::npos) << whole.err;
    EXPECT_TRUE(whole.out == asBytes(decodeAlone(media.layer2Stereo)));

    RunResult seek = runMp3decode("--raw --no-size --start 100 " + in + " " + out);
    EXPECT_NE(seek.status, 0);
    EXPECT_NE(seek.err.find("cannot seek to sample frame 100"), std::string::npos) << seek.err;
}

TEST(Mp3decode, OutputNamingTheInputIsRefusedAndTheInputKept)
{
    REQUIRE_MEDIA();
    const fs::path in = media.dir / "kept.mp3", link = media.dir / "kept-link.mp3";
    writeFile(in, media.layer2Mono);
    fs::remove(link);
    fs::create_symlink(in, link);
    for (const std::string& out : {in.string(), link.string()}) {
        RunResult r = runMp3decode(in.string() + " " + out);
        EXPECT_NE(r.status, 0) << out;
        EXPECT_NE(r.err.find("is the input"), std::string::npos) << r.err;
        EXPECT_TRUE(readFile(in) == media.layer2Mono) << "the input was overwritten through " << out;
        writeFile(in, media.layer2Mono);
    }
}

TEST(Mp3decode, UnusableInputIsReportedWithANonZeroExit)
{
    REQUIRE_MEDIA();
    const fs::path text = media.dir / "notes.mp3", unclaimed = media.dir / "notes.txt";
    writeFile(text, Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
    writeFile(unclaimed, Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
    const std::string out = (media.dir / "out.bin").string();

    const struct {
        std::string args;
        std::string message;
    } cases[] = {
        {text.string() + " " + out, "no MPEG audio found"},
        {(media.dir / "missing.mp3").string() + " " + out, "cannot open"},
        {unclaimed.string() + " " + out, "does not claim"},
        {"--force " + unclaimed.string() + " " + out, "no MPEG audio found"},
        {"--plugin " + unclaimed.string() + " " + text.string() + " " + out, "cannot load plug-in"},
        {"--frames -3 " + text.string() + " " + out, "--frames needs a whole number"},
        {text.string(), "need an input file and an output file"},
    };
    for (const auto& c : cases) {
        RunResult r = runMp3decode(c.args);
        EXPECT_NE(r.status, 0) << c.args;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
    }
}
#endif

} // namespace
