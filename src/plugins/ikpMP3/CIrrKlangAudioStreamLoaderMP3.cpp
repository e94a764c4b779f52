// CIrrKlangAudioStreamLoaderMP3.cpp — the stateless loader that turns the engine's file readers into MP3 streams.
#include "CIrrKlangAudioStreamLoaderMP3.h"

#include <cstring>
#include <new>

#include "CIrrKlangAudioStreamMP3.h"

namespace irrklang {

CIrrKlangAudioStreamLoaderMP3::~CIrrKlangAudioStreamLoaderMP3() = default;

bool CIrrKlangAudioStreamLoaderMP3::isALoadableFileExtension(const char* fileName)
{
    // Not anchored at the end: "theme.mp3.bak" is claimed too.
    return fileName && std::strstr(fileName, ".mp3") != nullptr;
}

IAudioStream* CIrrKlangAudioStreamLoaderMP3::createAudioStream(IFileReader* file)
{
    CIrrKlangAudioStreamMP3* stream = new (std::nothrow) CIrrKlangAudioStreamMP3(file);
    if (!stream)
        return nullptr;
    if (!stream->isOK()) {
        stream->drop();
        return nullptr;
    }
    return stream;
}

} // namespace irrklang
