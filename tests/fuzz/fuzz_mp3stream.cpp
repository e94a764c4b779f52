// fuzz_mp3stream.cpp — the plug-in's MP3 stream over an in-memory reader: reads of random lengths and random seeks.
//
// Input: five control bytes, then the file. Control byte 0: bit 0 the reader reports
// its size, bit 1 the stream comes from the loader rather than the constructor, bit 2
// the reader returns short reads; the other four bytes seed the operations.
#include <algorithm>
#include <cstring>
#include <vector>

#include "CIrrKlangAudioStreamLoaderMP3.h"
#include "CIrrKlangAudioStreamMP3.h"
#include "fuzzInput.h"

using namespace irrklang;

namespace {

// A reader over the input bytes; short reads hand out fewer bytes than asked but
// never 0 before the end, which is how a real file behaves.
class MemoryReader : public IFileReader {
public:
    MemoryReader(const uint8_t* data, size_t size, bool reportSize, bool shortReads, FuzzRandom& random)
        : data(data), size(size), reportSize(reportSize), shortReads(shortReads), random(random) {}

    int32_t read(void* buffer, uint32_t sizeToRead) override {
        size_t n = std::min<size_t>(sizeToRead, size - pos);
        if (shortReads && n > 1) n = static_cast<size_t>(random.range(1, static_cast<int64_t>(n)));
        if (n > 0) std::memcpy(buffer, data + pos, n);
        pos += n;
        return static_cast<int32_t>(n);
    }
    bool seek(int32_t finalPos, bool relativeMovement) override {
        FUZZ_CHECK(!relativeMovement);
        if (finalPos < 0 || static_cast<size_t>(finalPos) > size) return false;
        pos = static_cast<size_t>(finalPos);
        return true;
    }
    int32_t getSize() override { return reportSize ? static_cast<int32_t>(size) : 0; }
    int32_t getPos() override { return static_cast<int32_t>(pos); }

private:
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    bool reportSize;
    bool shortReads;
    FuzzRandom& random;
};

void play(IAudioStream* stream, bool sized, FuzzRandom& random) {
    const SAudioStreamFormat format = stream->getFormat();
    FUZZ_CHECK(format.ChannelCount == 1 || format.ChannelCount == 2);
    FUZZ_CHECK(format.SampleRate >= 8000 && format.SampleRate <= 48000);
    FUZZ_CHECK(format.SampleFormat == ESF_S16);
    FUZZ_CHECK(sized ? format.FrameCount >= 0 : format.FrameCount == -1);
    const int frameSize = format.getFrameSize();

    std::vector<uint8_t> target;
    for (int op = 0; op < 12; ++op) {
        const uint32_t what = random.next() % 8;
        if (what < 5) {
            // The buffer is exactly as large as asked, so AddressSanitizer sees any overrun.
            const int frames = static_cast<int>(random.range(0, 3000));
            target.assign(static_cast<size_t>(frames) * frameSize, 0);
            const int got = stream->readFrames(target.data(), frames);
            FUZZ_CHECK(got >= 0 && got <= frames);
        } else {
            int32_t pos;
            switch (random.next() % 4) {
            case 0: pos = 0; break;
            case 1: pos = static_cast<int32_t>(random.range(-2000, 2000)); break;
            case 2: pos = static_cast<int32_t>(random.range(0, std::max(format.FrameCount, 0) + 2000)); break;
            default: pos = static_cast<int32_t>(random.next() & 0x7FFFFFFF); break;
            }
            const bool ok = stream->setPosition(pos);
            if (pos == 0) FUZZ_CHECK(ok);
            if (!sized && pos != 0) FUZZ_CHECK(!ok);
        }
        const SAudioStreamFormat now = stream->getFormat();
        FUZZ_CHECK(now.ChannelCount == format.ChannelCount && now.SampleRate == format.SampleRate &&
                   now.FrameCount == format.FrameCount);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint64_t control = FuzzHeader(data, size, 5).value;
    const uint8_t flags = static_cast<uint8_t>(control >> 32);
    const bool sized = flags & 1, viaLoader = flags & 2, shortReads = flags & 4;
    FuzzRandom random(static_cast<uint32_t>(control));
    if (size > (1u << 20)) return 0;

    MemoryReader* reader = new MemoryReader(data, size, sized, shortReads, random);
    IAudioStream* stream = nullptr;
    if (viaLoader) {
        CIrrKlangAudioStreamLoaderMP3* loader = new CIrrKlangAudioStreamLoaderMP3();
        stream = loader->createAudioStream(reader);
        // A refused file leaves the reader's count where it was.
        FUZZ_CHECK(reader->getReferenceCount() == (stream ? 2 : 1));
        FUZZ_CHECK(loader->drop());
    } else {
        CIrrKlangAudioStreamMP3* direct = new CIrrKlangAudioStreamMP3(reader);
        FUZZ_CHECK(reader->getReferenceCount() == (direct->isOK() ? 2 : 1));
        if (direct->isOK()) {
            stream = direct;
        } else {
            FUZZ_CHECK(!direct->setPosition(0));
            FUZZ_CHECK(direct->drop());
        }
    }
    if (stream) {
        play(stream, sized, random);
        FUZZ_CHECK(stream->drop());
    }
    // Every reference the stream took has been given back.
    FUZZ_CHECK(reader->getReferenceCount() == 1);
    FUZZ_CHECK(reader->drop());
    return 0;
}
