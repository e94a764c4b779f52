// CIrrKlangAudioStreamLoaderMP3.h — the loader the plug-in registers: claims ".mp3" names, opens MP3 streams.
#pragma once

#include "irrKlang.h"

namespace irrklang {

class CIrrKlangAudioStreamLoaderMP3 : public IAudioStreamLoader {
public:
    ~CIrrKlangAudioStreamLoaderMP3() override;

    // True when the name contains ".mp3" anywhere, case-sensitively.
    bool isALoadableFileExtension(const char* fileName) override;

    // Null when `file` is null or holds no MPEG audio; the reader's count is then unchanged.
    IAudioStream* createAudioStream(IFileReader* file) override;
};

} // namespace irrklang
