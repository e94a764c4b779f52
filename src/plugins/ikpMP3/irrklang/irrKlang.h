// irrKlang.h — the irrKlang 1.1.3 engine's plug-in interfaces, as the plug-in relies on them.
//
// These types belong to the engine, not to this project: they are written here only
// because the engine is not available to build against, from what the plug-in relies
// on. The engine fixes their field order and virtual-slot order, so nothing here may be
// reordered or given extra virtual operations for our own convenience.
#pragma once

#include <cstdint>

namespace irrklang {

// Intrusive reference count: an object starts owned once, `grab` adds an owner and
// the `drop` that releases the last owner destroys it.
class IRefCounted {
public:
    IRefCounted() : ReferenceCounter(1) {}
    virtual ~IRefCounted() {}

    void grab() { ++ReferenceCounter; }

    // Returns true when this call destroyed the object.
    bool drop()
    {
        --ReferenceCounter;
        if (ReferenceCounter == 0) {
            delete this;
            return true;
        }
        return false;
    }

    int32_t getReferenceCount() const { return ReferenceCounter; }

private:
    int32_t ReferenceCounter;
};

enum ESampleFormat : int32_t {
    ESF_U8 = 0,
    ESF_S16 = 1,
};

struct SAudioStreamFormat {
    int32_t ChannelCount;
    int32_t FrameCount;   // sample frames in the stream; -1 when the length is not known
    int32_t SampleRate;
    ESampleFormat SampleFormat;

    int32_t getSampleSize() const { return SampleFormat == ESF_U8 ? 1 : 2; }
    int32_t getFrameSize() const { return getSampleSize() * ChannelCount; }
};

// A file the engine opened; the plug-in only reads it.
class IFileReader : public IRefCounted {
public:
    // Returns the bytes read, 0 at the end of the file.
    virtual int32_t read(void* buffer, uint32_t sizeToRead) = 0;
    virtual bool seek(int32_t finalPos, bool relativeMovement = false) = 0;
    // 0 or less: the reader does not know the file's size.
    virtual int32_t getSize() = 0;
    virtual int32_t getPos() = 0;
};

// A decoding stream handed to the engine; one sample frame holds one sample per channel.
class IAudioStream : public IRefCounted {
public:
    virtual SAudioStreamFormat getFormat() = 0;
    virtual bool setPosition(int32_t pos) = 0;
    virtual bool getIsSeekingSupported() { return true; }
    // Returns the sample frames copied to `target`; fewer than asked means the end.
    virtual int32_t readFrames(void* target, int32_t frameCountToRead) = 0;
};

class IAudioStreamLoader : public IRefCounted {
public:
    virtual bool isALoadableFileExtension(const char* fileName) = 0;
    // Null when the file cannot be played; otherwise the caller owns the stream.
    virtual IAudioStream* createAudioStream(IFileReader* file) = 0;
};

// The part of the engine that a plug-in sees at its entry point.
class ISoundEngine : public IRefCounted {
public:
    // The engine grabs the loader if it keeps it.
    virtual void registerAudioStreamLoader(IAudioStreamLoader* loader) = 0;
};

} // namespace irrklang

// The plug-in's entry point, looked up by the engine under this C++ name.
void irrKlangPluginInit(irrklang::ISoundEngine* engine, const char* version);
