// CIrrKlangAudioStreamMP3.cpp — pulls MP3 bytes from the engine's reader, decodes them one MPEG frame at a time, hands out PCM.
#include "CIrrKlangAudioStreamMP3.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "lameTag.h"

namespace irrklang {

namespace {
// Sample frames by which the synthesis filter bank and the transforms' overlap delay the
// music behind the encoder's input; the LAME tag's delay counts only the encoder's part.
const int64_t DECODER_DELAY = 529;

// The tag's size after its 10-byte header: four bytes of 7 bits, most significant first.
int32_t id3TagSize(const unsigned char* header)
{
    return (header[6] & 0x7F) << 21 | (header[7] & 0x7F) << 14 | (header[8] & 0x7F) << 7
           | (header[9] & 0x7F);
}
} // namespace

void CIrrKlangAudioStreamMP3::DecoderDeleter::operator()(MPAuDecContext* ctx) const
{
    mpaudec_clear(ctx);
    delete ctx;
}

CIrrKlangAudioStreamMP3::CIrrKlangAudioStreamMP3(IFileReader* file)
    : File(file), Format{0, -1, 0, ESF_S16}, InputBuffer{}, InputPosition(0), InputLength(0),
      Position(0), FileBegin(0), CurrentFramePosition(0), FirstFrameRead(false),
      EndOfFileReached(false)
{
    if (!File)
        return;
    File->grab();
    if (!openDecoder()) {
        becomeUnusable();
        return;
    }
    if (File->getSize() <= 0)
        startWithoutSize();
    else if (!scanFile())
        return;
    // A header alone sets the decoder's fields; without one whole frame the stream
    // would report a format of 0 channels at 0 Hz.
    if (TheMPAuDecContext
        && (TheMPAuDecContext->channels == 0 || TheMPAuDecContext->sample_rate == 0
            || !FirstFrameRead))
        becomeUnusable();
}

bool CIrrKlangAudioStreamMP3::openDecoder()
{
    TheMPAuDecContext.reset(new (std::nothrow) MPAuDecContext{});
    if (!TheMPAuDecContext || mpaudec_init(TheMPAuDecContext.get()) < 0)
        return false;
    DecodeBuffer.reset(new (std::nothrow) unsigned char[DECODE_BUFFER_SIZE]);
    return DecodeBuffer != nullptr;
}

void CIrrKlangAudioStreamMP3::startWithoutSize()
{
    // No length to scan, but the tag is skipped all the same: a picture in it can hold
    // bytes that pass for an MPEG header, and the format would come from that false frame.
    readPastID3();
    const int bytes = decodeFrameTo(DecodeBuffer.get());
    if (bytes < 0 || !FirstFrameRead)
        return;
    useEncoderTag(firstFrameInInput(), TheMPAuDecContext->coded_frame_size, -1, -1);
    if (HasTagFrame) {
        // Its silence is no part of the music: counting starts again with the first audio.
        DecodedFrames = 0;
        decodeFrame();
    } else {
        DecodedQueue.write(DecodeBuffer.get(), bytes);
    }
}

const unsigned char* CIrrKlangAudioStreamMP3::firstFrameInInput() const
{
    // The frame ends where the decoder stopped reading, unless it straddled two input blocks
    // (the metadata frame is the first after the tag, so it does not). A free-format frame
    // ends 4 bytes earlier: the decoder finds its end by reading the next frame's header.
    const int size = TheMPAuDecContext->coded_frame_size;
    auto headerAt = [&](int at, bool freeFormat) {
        return at >= 0 && at + 4 <= InputLength && InputBuffer[at] == 0xFF
               && (InputBuffer[at + 1] & 0xE0) == 0xE0 && ((InputBuffer[at + 2] >> 4) == 0) == freeFormat;
    };
    if (size <= 0)
        return nullptr;
    if (headerAt(InputPosition - size, false))
        return InputBuffer + InputPosition - size;
    if (headerAt(InputPosition - 4 - size, true))
        return InputBuffer + InputPosition - 4 - size;
    return nullptr;
}

bool CIrrKlangAudioStreamMP3::scanFile()
{
    skipID3IfNecessary();
    MPAuDecContext& ctx = *TheMPAuDecContext;
    ctx.parse_only = 1;
    // Summed apart from Format: the first frame found resets Format.FrameCount.
    int64_t frameCount = 0;
    std::unique_ptr<unsigned char[]> tagFrame;
    int tagFrameSize = 0;
    const unsigned char* frame = nullptr;
    int size = 0;
    while (scanFrame(frame, size)) {
        if (!HasTagFrame && FramePositionData.empty() && ikpmp3::readEncoderTag(frame, size).isTagFrame) {
            // Read again once the scan has counted the frames after it; the decoder's copy
            // of its bytes lasts only until the next frame.
            tagFrame.reset(new (std::nothrow) unsigned char[size_t(size)]);
            if (tagFrame) {
                std::memcpy(tagFrame.get(), frame, size_t(size));
                tagFrameSize = size;
                HasTagFrame = true;
                continue;
            }
        }
        const int unusedInput = InputLength - InputPosition;
        const int offset = File->getPos() - unusedInput - ctx.coded_frame_size;
        try {
            FramePositionData.push_back({offset, ctx.frame_size});
        } catch (const std::bad_alloc&) {
            // Thrown on into the engine, this would also keep the reader grabbed for ever.
            becomeUnusable();
            return false;
        }
        frameCount += ctx.frame_size;
    }
    ctx.parse_only = 0;
    if (HasTagFrame)
        useEncoderTag(tagFrame.get(), tagFrameSize, int64_t(FramePositionData.size()), frameCount);
    const int64_t music = std::min(EndOfMusic, frameCount) - std::min(StartTrim, frameCount);
    // A long file at a low bit rate can hold more sample frames than the field counts;
    // every position setPosition can name still lies within the largest int.
    Format.FrameCount = int32_t(std::min<int64_t>(music, INT32_MAX));
    setPosition(0);
    return true;
}

CIrrKlangAudioStreamMP3::~CIrrKlangAudioStreamMP3()
{
    if (File)
        File->drop();
}

void CIrrKlangAudioStreamMP3::becomeUnusable()
{
    if (File)
        File->drop();
    File = nullptr;
    TheMPAuDecContext.reset();
}

SAudioStreamFormat CIrrKlangAudioStreamMP3::getFormat()
{
    return Format;
}

void CIrrKlangAudioStreamMP3::skipID3IfNecessary()
{
    unsigned char header[10];
    if (File->read(header, sizeof header) == 10 && std::memcmp(header, "ID3", 3) == 0) {
        FileBegin = id3TagSize(header) + 10;
        File->seek(FileBegin, false);
    } else {
        File->seek(0, false);
    }
}

void CIrrKlangAudioStreamMP3::readPastID3()
{
    InputPosition = 0;
    InputLength = std::clamp(File->read(InputBuffer, 10), 0, 10);
    if (InputLength < 10 || std::memcmp(InputBuffer, "ID3", 3) != 0) {
        // The rest of the block follows at once, so that the first frame lies in one piece
        // in InputBuffer, where the encoder's metadata frame can be recognised.
        while (InputLength > 0 && InputLength < IKP_MP3_INPUT_BUFFER_SIZE) {
            const int32_t got = File->read(InputBuffer + InputLength,
                                           uint32_t(IKP_MP3_INPUT_BUFFER_SIZE - InputLength));
            if (got <= 0)
                break;
            InputLength += std::min(got, IKP_MP3_INPUT_BUFFER_SIZE - InputLength);
        }
        return;
    }
    const int32_t tagSize = id3TagSize(InputBuffer);
    for (int32_t left = tagSize; left > 0;) {
        const int32_t got = File->read(InputBuffer, uint32_t(std::min(left, IKP_MP3_INPUT_BUFFER_SIZE)));
        if (got <= 0)
            break;
        left -= got;
    }
    InputLength = 0;
    FileBegin = tagSize + 10;
}

void CIrrKlangAudioStreamMP3::useEncoderTag(const unsigned char* frame, int size, int64_t audioFrames,
                                            int64_t audioLength)
{
    const ikpmp3::SEncoderTag tag = ikpmp3::readEncoderTag(frame, size);
    // Decided once: the scan has already left this frame out of the seek table.
    HasTagFrame = tag.isTagFrame;
    SkipTagFrame = false;
    StartTrim = 0;
    EndOfMusic = INT64_MAX;
    if (!HasTagFrame || !tag.hasGapless)
        return;
    // A tag that does not describe this file (a damaged one, or the first of several files
    // joined together) must not cut music: then everything is played.
    if (audioFrames >= 0) {
        if (tag.frameCount != audioFrames || tag.encoderDelay + tag.padding > audioLength)
            return;
        EndOfMusic = audioLength - tag.padding + DECODER_DELAY;
    }
    StartTrim = tag.encoderDelay + DECODER_DELAY;
}

int CIrrKlangAudioStreamMP3::convertChannels(unsigned char* buffer, int outputSize, int channels) const
{
    int16_t* pcm = reinterpret_cast<int16_t*>(buffer);
    if (channels == 1 && Format.ChannelCount == 2) {
        const int frames = std::min(outputSize / 2, DECODE_BUFFER_SIZE / 4);
        // Backwards, so that no sample is overwritten before it is copied.
        for (int i = frames - 1; i >= 0; --i)
            pcm[2 * i] = pcm[2 * i + 1] = pcm[i];
        return frames * 4;
    }
    if (channels == 2 && Format.ChannelCount == 1) {
        const int frames = outputSize / 4;
        for (int i = 0; i < frames; ++i) {
            const int sum = pcm[2 * i] + pcm[2 * i + 1];
            // Halves round away from zero, alike for both signs.
            pcm[i] = int16_t(sum >= 0 ? (sum + 1) >> 1 : -((1 - sum) >> 1));
        }
        return frames * 2;
    }
    return outputSize;
}

int CIrrKlangAudioStreamMP3::keepMusic(unsigned char* pcm, int frames)
{
    const int64_t first = DecodedFrames;
    DecodedFrames += frames;
    const int64_t from = std::max(first, StartTrim);
    const int64_t to = std::min(DecodedFrames, EndOfMusic);
    if (to <= from)
        return 0;
    const int frameSize = Format.getFrameSize();
    const int bytes = int((to - from) * frameSize);
    if (from > first)
        std::memmove(pcm, pcm + (from - first) * frameSize, size_t(bytes));
    return bytes;
}

bool CIrrKlangAudioStreamMP3::nextFrame(void* out, int& outputSize)
{
    MPAuDecContext* ctx = TheMPAuDecContext.get();
    outputSize = 0;
    while (outputSize == 0) {
        if (InputPosition == InputLength) {
            InputPosition = 0;
            const int32_t got = File->read(InputBuffer, IKP_MP3_INPUT_BUFFER_SIZE);
            InputLength = std::clamp(got, 0, IKP_MP3_INPUT_BUFFER_SIZE);
            if (InputLength == 0) {
                EndOfFileReached = true;
                return false;
            }
        }
        const int available = InputLength - InputPosition;
        int consumed = mpaudec_decode_frame(ctx, out, &outputSize, InputBuffer + InputPosition, available);
        // A decoder that neither consumes nor finishes a frame would spin here forever.
        if (consumed <= 0 && outputSize == 0)
            consumed = available;
        InputPosition += std::clamp(consumed, 0, available);
    }

    if (!FirstFrameRead) {
        Format.ChannelCount = ctx->channels;
        Format.SampleRate = ctx->sample_rate;
        Format.SampleFormat = ESF_S16;
        Format.FrameCount = -1;
        FirstFrameRead = true;
        return true;
    }
    return ctx->sample_rate == Format.SampleRate && (ctx->channels == 1 || ctx->channels == 2);
}

bool CIrrKlangAudioStreamMP3::scanFrame(const unsigned char*& frame, int& size)
{
    // In parse-only mode the decoder says where the frame's bytes are instead of decoding
    // them; decoding, it would write a frame of PCM over `frame`.
    if (!TheMPAuDecContext->parse_only)
        return false;
    return nextFrame(&frame, size) && !EndOfFileReached;
}

int CIrrKlangAudioStreamMP3::decodeFrameTo(unsigned char* out)
{
    MPAuDecContext* ctx = TheMPAuDecContext.get();
    for (;;) {
        if (DecodedFrames >= EndOfMusic) {
            // The encoder's padding is not played.
            EndOfFileReached = true;
            return 0;
        }
        int outputSize = 0;
        if (!nextFrame(out, outputSize))
            return EndOfFileReached ? 0 : -1;
        if (SkipTagFrame) {
            SkipTagFrame = false;
            continue;
        }

        if (outputSize < 0) {
            // The frame's audio is damaged: keep the timing with one frame of silence.
            outputSize = std::clamp(ctx->frame_size * Format.getFrameSize(), 0, DECODE_BUFFER_SIZE);
            std::memset(out, 0, size_t(outputSize));
        } else if (ctx->channels != Format.ChannelCount) {
            outputSize = convertChannels(out, std::min(outputSize, DECODE_BUFFER_SIZE), ctx->channels);
        }
        const int bytes = keepMusic(out, std::min(outputSize, DECODE_BUFFER_SIZE) / Format.getFrameSize());
        if (bytes > 0)
            return bytes;
        if (DecodedFrames >= EndOfMusic) {
            EndOfFileReached = true;
            return 0;
        }
        // Wholly before the music starts: on to the next frame.
    }
}

bool CIrrKlangAudioStreamMP3::decodeFrame()
{
    const int bytes = decodeFrameTo(DecodeBuffer.get());
    if (bytes < 0)
        return false;
    DecodedQueue.write(DecodeBuffer.get(), bytes);
    return true;
}

int32_t CIrrKlangAudioStreamMP3::readFrames(void* target, int32_t frameCountToRead)
{
    const int frameSize = Format.getFrameSize();
    if (!File || frameSize <= 0 || frameCountToRead <= 0)
        return 0;

    unsigned char* out = static_cast<unsigned char*>(target);
    int32_t framesRead = 0;
    while (framesRead < frameCountToRead) {
        int framesToRead = 0;
        if (DecodedQueue.getSize() == 0
            && int64_t(frameCountToRead - framesRead) * frameSize >= DECODE_BUFFER_SIZE) {
            // Room for a whole MPEG frame: it is decoded straight into the target.
            const int bytes = decodeFrameTo(out);
            if (bytes <= 0)
                break;
            framesToRead = bytes / frameSize;
        } else {
            if (DecodedQueue.getSize() < frameSize) {
                if (!decodeFrame() || EndOfFileReached || DecodedQueue.getSize() < frameSize)
                    break;
            }
            framesToRead = std::min(DecodedQueue.getSize() / frameSize, frameCountToRead - framesRead);
            DecodedQueue.read(out, framesToRead * frameSize);
        }
        out += framesToRead * frameSize;
        framesRead += framesToRead;
        // Saturates: playback goes on past the largest int on a long stream.
        Position = int(std::min<int64_t>(int64_t(Position) + framesToRead, INT32_MAX));
    }
    return framesRead;
}

size_t CIrrKlangAudioStreamMP3::restartFrame(size_t frame) const
{
    // Enough for the transforms' overlap and the synthesis history, and for the bit
    // reservoir of a file at an ordinary bit rate.
    size_t start = frame > MAX_FRAME_DEPENDENCY ? frame - MAX_FRAME_DEPENDENCY : 0;
    if (start == 0)
        return 0;
    // The target frame's audio is made from its own spectrum and those of the two frames
    // before it (overlap, synthesis history). The first of them reads its main data up to
    // 511 bytes back (255 at the lower sample rates) in the main data of the frames decoded
    // before it, which at a low bit rate can be a dozen frames or more: decoding must start
    // early enough that all of it has gone through the decoder.
    const bool lowerRates = Format.SampleRate < 32000;
    const int64_t reservoir = lowerRates ? 255 : 511;
    // What a frame holds besides main data, at most: header, checksum, side information.
    const int64_t overhead = 4 + 2 + (lowerRates ? 17 : 32);
    const size_t first = std::min(frame >= 2 ? frame - 2 : 0, FramePositionData.size() - 1);
    auto mainDataBetween = [&](size_t from) {
        return int64_t(FramePositionData[first].offset) - FramePositionData[from].offset
               - int64_t(first - from) * overhead;
    };
    while (start > 0 && mainDataBetween(start) < reservoir)
        --start;
    return start;
}

bool CIrrKlangAudioStreamMP3::setPosition(int32_t pos)
{
    if (!File || !TheMPAuDecContext)
        return false;

    if (pos == 0) {
        File->seek(FileBegin, false);
        EndOfFileReached = false;
        DecodedQueue.clear();
        // A fresh decoder state, but the stream's idea of the format survives.
        MPAuDecContext& ctx = *TheMPAuDecContext;
        const MPAuDecContext saved = ctx;
        mpaudec_clear(&ctx);
        if (mpaudec_init(&ctx) < 0) {
            becomeUnusable();
            return false;
        }
        ctx.bit_rate = saved.bit_rate;
        ctx.sample_rate = saved.sample_rate;
        ctx.channels = saved.channels;
        ctx.frame_size = saved.frame_size;
        InputPosition = 0;
        InputLength = 0;
        Position = 0;
        CurrentFramePosition = 0;
        SkipTagFrame = HasTagFrame;
        DecodedFrames = 0;
        return true;
    }

    // Without a seek table there is nowhere to jump to.
    if (FramePositionData.empty())
        return false;

    // The table counts decoded sample frames, the music starts StartTrim into them.
    const int64_t decodedPos = int64_t(pos) + StartTrim;
    size_t frame = 0;
    int64_t frameStart = 0;
    for (; frame < FramePositionData.size(); ++frame) {
        if (decodedPos <= frameStart + FramePositionData[frame].size)
            break;
        frameStart += FramePositionData[frame].size;
    }
    const size_t targetFrame = restartFrame(frame);

    if (!setPosition(0))
        return false;
    // Frame 0 starts wherever the scan from FileBegin found it, and the rewind has put
    // the reader there already; its recorded offset can be 4 bytes late for a
    // free-format stream, whose first frame is only complete once the next header is read.
    if (targetFrame > 0) {
        File->seek(FramePositionData[targetFrame].offset, false);
        SkipTagFrame = false;
    }
    for (size_t i = 0; i < targetFrame; ++i)
        DecodedFrames += FramePositionData[i].size;
    // The first sample frame queued from here on is this far into the music.
    Position = int(std::clamp<int64_t>(DecodedFrames - StartTrim, 0, INT32_MAX));

    if (!decodeFrame() || EndOfFileReached) {
        setPosition(0);
        return false;
    }

    // Discard up to the target through a fixed buffer, however far the target lies.
    unsigned char scratch[DECODE_BUFFER_SIZE];
    const int frameSize = Format.getFrameSize();
    const int scratchFrames = DECODE_BUFFER_SIZE / frameSize;
    int64_t framesToConsume = int64_t(pos) - Position;
    while (framesToConsume > 0) {
        const int chunk = int(std::min<int64_t>(framesToConsume, scratchFrames));
        const int got = readFrames(scratch, chunk);
        framesToConsume -= got;
        if (got < chunk)
            break;
    }
    return true;
}

} // namespace irrklang
