// engineHost.h — our side of the plug-in's interfaces: the engine it registers with, readers over bytes in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "irrklang/irrKlang.h"

using SoundBytes = std::shared_ptr<const std::vector<uint8_t>>;

// Reads a file already held in memory, so decoding on the audio thread never
// touches the disk. The bytes are shared with every other reader of the same file.
class MemoryFileReader : public irrklang::IFileReader {
public:
    explicit MemoryFileReader(SoundBytes bytes) : Bytes(std::move(bytes)) {}
    int32_t read(void* buffer, uint32_t sizeToRead) override;
    bool seek(int32_t finalPos, bool relativeMovement = false) override;
    int32_t getSize() override;
    int32_t getPos() override { return Pos; }

private:
    SoundBytes Bytes;
    int32_t Pos = 0;
};

// The engine as the plug-in sees it: keeps every loader registered with it, with a
// reference of its own, until it is destroyed.
class EngineHost : public irrklang::ISoundEngine {
public:
    EngineHost() = default;
    EngineHost(const EngineHost&) = delete;
    EngineHost& operator=(const EngineHost&) = delete;
    ~EngineHost() override;

    void registerAudioStreamLoader(irrklang::IAudioStreamLoader* loader) override;

    // Calls the plug-in's entry point, linked into this program, with our version.
    void loadPlugins();
    const std::vector<irrklang::IAudioStreamLoader*>& loaders() const { return Loaders; }
    size_t loaderCount() const { return Loaders.size(); }
    // Drops every loader now, as the engine does when it shuts down.
    void dropLoaders();

    // A stream over `bytes` from the first loader that claims `name`; null when none
    // claims it or the loader cannot decode it. The caller owns the stream (drop()).
    irrklang::IAudioStream* openStream(const std::string& name, const SoundBytes& bytes);

private:
    std::vector<irrklang::IAudioStreamLoader*> Loaders;
};

// The engine version the plug-in is built for.
constexpr const char* ENGINE_VERSION = "1.1.3";
