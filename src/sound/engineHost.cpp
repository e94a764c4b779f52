// engineHost.cpp — the engine side of the plug-in interfaces, for the game's own use of its MP3 plug-in.
#include "sound/engineHost.h"

#include <algorithm>
#include <cstring>

int32_t MemoryFileReader::read(void* buffer, uint32_t sizeToRead) {
    const int64_t left = int64_t(Bytes->size()) - Pos;
    const int32_t n = int32_t(std::clamp<int64_t>(std::min<int64_t>(sizeToRead, left), 0, INT32_MAX));
    if (n > 0) std::memcpy(buffer, Bytes->data() + Pos, size_t(n));
    Pos += n;
    return n;
}

bool MemoryFileReader::seek(int32_t finalPos, bool relativeMovement) {
    const int64_t target = relativeMovement ? int64_t(Pos) + finalPos : finalPos;
    if (target < 0 || target > int64_t(Bytes->size())) return false;
    Pos = int32_t(target);
    return true;
}

int32_t MemoryFileReader::getSize() {
    return int32_t(std::min<size_t>(Bytes->size(), INT32_MAX));
}

EngineHost::~EngineHost() { dropLoaders(); }

void EngineHost::dropLoaders() {
    for (irrklang::IAudioStreamLoader* loader : Loaders) loader->drop();
    Loaders.clear();
}

void EngineHost::registerAudioStreamLoader(irrklang::IAudioStreamLoader* loader) {
    if (!loader) return;
    loader->grab();
    Loaders.push_back(loader);
}

void EngineHost::loadPlugins() { irrKlangPluginInit(this, ENGINE_VERSION); }

irrklang::IAudioStream* EngineHost::openStream(const std::string& name, const SoundBytes& bytes) {
    for (irrklang::IAudioStreamLoader* loader : Loaders) {
        if (!loader->isALoadableFileExtension(name.c_str())) continue;
        auto* reader = new MemoryFileReader(bytes);
        irrklang::IAudioStream* stream = loader->createAudioStream(reader);
        reader->drop();   // the stream took its own reference if it kept the reader
        if (stream) return stream;
    }
    return nullptr;
}
