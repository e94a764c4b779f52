// ikpMP3.cpp — the plug-in's entry point: checks the engine's version and registers the MP3 loader.
#include <cstdio>
#include <cstring>

#include "CIrrKlangAudioStreamLoaderMP3.h"
#include "irrKlang.h"

namespace {
const char* const SUPPORTED_ENGINE_VERSION = "1.1.3";
}

// The module hides everything else; this is the one name the engine looks up.
__attribute__((visibility("default"))) void irrKlangPluginInit(irrklang::ISoundEngine* engine,
                                                                const char* version)
{
    if (!version || std::strcmp(version, SUPPORTED_ENGINE_VERSION) != 0) {
        std::printf("This MP3 plugin only supports irrKlang version %s, mp3 playback disabled.\n",
                    SUPPORTED_ENGINE_VERSION);
        return;
    }
    if (!engine)
        return;

    irrklang::CIrrKlangAudioStreamLoaderMP3* loader =
        new irrklang::CIrrKlangAudioStreamLoaderMP3();
    engine->registerAudioStreamLoader(loader);
    // The engine grabbed the loader if it kept it; the plug-in keeps nothing.
    loader->drop();
}
