// CIrrKlangAudioStreamMP3.h — one MP3 file as a decoding stream for the engine: ID3v2 skip, seek table, PCM queue.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "irrKlang.h"
#include "mpaudec.h"

namespace irrklang {

// Bytes pulled from the reader per block.
const int IKP_MP3_INPUT_BUFFER_SIZE = 4096;

class CIrrKlangAudioStreamMP3 : public IAudioStream {
public:
    // Takes its own reference to `file`. With a known file size the whole file is
    // scanned once for the seek table and the length; otherwise the first MPEG frame
    // is decoded to learn the format.
    explicit CIrrKlangAudioStreamMP3(IFileReader* file);
    ~CIrrKlangAudioStreamMP3() override;

    CIrrKlangAudioStreamMP3(const CIrrKlangAudioStreamMP3&) = delete;
    CIrrKlangAudioStreamMP3& operator=(const CIrrKlangAudioStreamMP3&) = delete;

    SAudioStreamFormat getFormat() override;
    bool setPosition(int32_t pos) override;
    int32_t readFrames(void* target, int32_t frameCountToRead) override;

    // False when there is no reader, no decoder, or no MPEG audio frame was found.
    bool isOK() const { return File != nullptr; }

private:
    // First-in-first-out bytes; the queued bytes always start at the front of Buffer.
    class QueueBuffer {
    public:
        QueueBuffer();
        ~QueueBuffer();
        QueueBuffer(const QueueBuffer&) = delete;
        QueueBuffer& operator=(const QueueBuffer&) = delete;

        // False (and nothing queued) when the memory could not be grown.
        bool write(const void* data, int size);
        int read(void* target, int size);
        int getSize() const { return Size; }
        void clear() { Size = 0; }

    private:
        unsigned char* Buffer;
        int Capacity;
        int Size;
    };

    struct SFramePositionData {
        int offset;   // byte offset of the MPEG frame's header in the file
        int size;     // sample frames it decodes to
    };

    struct DecoderDeleter {
        void operator()(MPAuDecContext* ctx) const;
    };

    static constexpr int MAX_FRAME_DEPENDENCY = 10;
    static constexpr int DECODE_BUFFER_SIZE = 4608;   // one MPEG frame: 1152 sample frames x 2 channels x 16 bits

    // The steps of construction. The decoder and the PCM buffer, false when memory runs out.
    bool openDecoder();
    // Without a file size: past the tag, the first frame decoded for the format, the
    // metadata frame recognised and left out.
    void startWithoutSize();
    // With one: the whole file parsed, not decoded, into the seek table and the length, the
    // metadata frame recognised and left out, then a rewind. False when the stream became
    // unusable on the way.
    bool scanFile();
    // Where the first frame, just decoded, lies in InputBuffer; null when it is not there whole.
    const unsigned char* firstFrameInInput() const;

    // Feeds input to the decoder until it completes a frame into `out`, and takes the format
    // from the first. False at the end of the input (EndOfFileReached set) or at a frame of
    // another sample rate. `outputSize` gets what the decoder returned.
    bool nextFrame(void* out, int& outputSize);
    // The next frame in parse-only mode: its bytes (valid until the next call) and their count.
    bool scanFrame(const unsigned char*& frame, int& size);
    bool decodeFrame();
    // The seek table's entry from which decoding restarts for audio in entry `frame`:
    // MAX_FRAME_DEPENDENCY entries before it, or further back where the bit reservoir
    // reaches further.
    size_t restartFrame(size_t frame) const;
    void skipID3IfNecessary();
    // The same for a reader that may only go forward: the tag is read past, and bytes that
    // are not a tag stay in InputBuffer for the decoder.
    void readPastID3();
    void becomeUnusable();
    // Looks at the first MPEG frame for the encoder's metadata frame; `frame` is null when its
    // bytes are not at hand. `audioFrames` is the scan's count of the frames after it, -1 unknown.
    void useEncoderTag(const unsigned char* frame, int size, int64_t audioFrames, int64_t audioLength);
    // Brings a decoded frame in `buffer` of the other channel count to the stream's: mono is
    // copied to both channels, stereo is mixed to (L + R) / 2. Returns the bytes it now takes.
    int convertChannels(unsigned char* buffer, int outputSize, int channels) const;
    // Keeps the part of `frames` decoded sample frames at `pcm` that lies within the music,
    // moved to the front; returns its bytes.
    int keepMusic(unsigned char* pcm, int frames);
    // Decodes MPEG frames into `out` (room for DECODE_BUFFER_SIZE bytes) until one yields
    // music, and returns its bytes: 0 at the end, -1 when the sample rate changed.
    int decodeFrameTo(unsigned char* out);

    IFileReader* File;
    SAudioStreamFormat Format;
    std::unique_ptr<MPAuDecContext, DecoderDeleter> TheMPAuDecContext;
    unsigned char InputBuffer[IKP_MP3_INPUT_BUFFER_SIZE];
    int InputPosition;
    int InputLength;
    int Position;
    std::unique_ptr<unsigned char[]> DecodeBuffer;
    int32_t FileBegin;
    uint32_t CurrentFramePosition;
    bool FirstFrameRead;
    bool EndOfFileReached;
    std::vector<SFramePositionData> FramePositionData;
    QueueBuffer DecodedQueue;

    // Gapless playback. Decoded sample frames are counted from the first audio frame (after
    // the metadata frame, when there is one); the music is the span [StartTrim, EndOfMusic)
    // of that count, and Position and FrameCount count only the music.
    bool HasTagFrame = false;       // the first frame is metadata, never played
    bool SkipTagFrame = false;      // it comes next: the reader is at the start
    int64_t StartTrim = 0;          // the encoder's delay and the decoder's own
    int64_t EndOfMusic = INT64_MAX; // where the encoder's padding begins
    int64_t DecodedFrames = 0;      // decoded sample frames since the start of the audio
};

} // namespace irrklang
