// fuzz_mpaudec.cpp — the MPEG audio decoder on arbitrary bytes, cut into arbitrary chunks, decoding or parsing only.
//
// Input: two control bytes, then the stream. Control bit 0 picks parse-only mode;
// bits 1-2 pick the largest chunk (1, 17, 700 or 5000 bytes); the rest seeds the
// chunk lengths. The same stream is then fed once more in one piece to a second
// decoder running the portable kernels instead of those the CPU chose: frame finding
// and decoding must depend neither on where the chunks fall nor on the kernels.
#include <algorithm>
#include <cstring>
#include <vector>

#include "fuzzInput.h"
#include "mpaudec.h"

namespace {

struct Frame {
    int dataSize;                 // what the decoder reported
    std::vector<uint8_t> bytes;   // PCM (normal) or the frame's bytes (parse-only)
};

struct Decoder {
    MPAuDecContext ctx{};
    explicit Decoder(bool parseOnly) {
        FUZZ_CHECK(mpaudec_init(&ctx) == 0);
        ctx.parse_only = parseOnly ? 1 : 0;
    }
    ~Decoder() { mpaudec_clear(&ctx); }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Feeds one chunk until it is used up, recording every frame completed.
    void feed(const uint8_t* chunk, int size, std::vector<Frame>& frames) {
        alignas(8) uint8_t out[MPAUDEC_MAX_AUDIO_FRAME_SIZE];
        int offset = 0;
        while (offset < size) {
            int dataSize = 0;
            const int consumed = mpaudec_decode_frame(&ctx, out, &dataSize, chunk + offset, size - offset);
            FUZZ_CHECK(consumed >= 0 && consumed <= size - offset);
            // With input left, a call that neither consumes nor completes a frame
            // would make every caller spin.
            FUZZ_CHECK(consumed > 0 || dataSize != 0);
            offset += consumed;
            if (dataSize == 0) continue;

            FUZZ_CHECK(ctx.channels == 1 || ctx.channels == 2);
            FUZZ_CHECK(ctx.sample_rate >= 8000 && ctx.sample_rate <= 48000);
            FUZZ_CHECK(ctx.layer >= 1 && ctx.layer <= 3);
            Frame frame{dataSize, {}};
            if (ctx.parse_only) {
                FUZZ_CHECK(dataSize > 0 && dataSize == ctx.coded_frame_size);
                const uint8_t* bytes;
                std::memcpy(&bytes, out, sizeof bytes);
                FUZZ_CHECK(bytes != nullptr);
                // Every byte handed out must be readable (AddressSanitizer watches).
                frame.bytes.assign(bytes, bytes + dataSize);
            } else if (dataSize > 0) {
                FUZZ_CHECK(dataSize == ctx.frame_size * ctx.channels * 2);
                FUZZ_CHECK(dataSize <= MPAUDEC_MAX_AUDIO_FRAME_SIZE);
                frame.bytes.assign(out, out + dataSize);
            }
            frames.push_back(std::move(frame));
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint64_t control = FuzzHeader(data, size, 2).value;
    const bool parseOnly = (control >> 8) & 1;
    static const int largestChunk[] = {1, 17, 700, 5000};
    const int maxChunk = largestChunk[(control >> 9) & 3];
    FuzzRandom random(static_cast<uint32_t>(control) * 2654435761u + 1);
    if (size > (1u << 20)) return 0;

    std::vector<Frame> chunked;
    {
        Decoder decoder(parseOnly);
        size_t pos = 0;
        while (pos < size) {
            const size_t chunk = std::min<size_t>(size - pos, random.range(1, maxChunk));
            decoder.feed(data + pos, static_cast<int>(chunk), chunked);
            pos += chunk;
        }
    }

    std::vector<Frame> whole;
    {
        const char* chosen = mpaudec_kernels();
        FUZZ_CHECK(chosen != nullptr && mpaudec_use_kernels("scalar") == 0);
        Decoder decoder(parseOnly);
        decoder.feed(data, static_cast<int>(size), whole);
        FUZZ_CHECK(mpaudec_use_kernels(chosen) == 0);
    }

    FUZZ_CHECK(chunked.size() == whole.size());
    for (size_t i = 0; i < whole.size(); ++i) {
        FUZZ_CHECK(chunked[i].dataSize == whole[i].dataSize);
        FUZZ_CHECK(chunked[i].bytes == whole[i].bytes);
    }
    return 0;
}
