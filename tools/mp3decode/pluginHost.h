// pluginHost.h — what an engine does to use the MP3 plug-in: load the module, call its entry, keep loaders, read files.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "irrKlang.h"

// The entry point's C++ linkage name: irrKlangPluginInit(irrklang::ISoundEngine*, const char*).
constexpr const char* PLUGIN_ENTRY_SYMBOL = "_Z18irrKlangPluginInitPN8irrklang12ISoundEngineEPKc";

using PluginEntry = void (*)(irrklang::ISoundEngine*, const char*);

// A loaded plug-in module; unloads it on destruction, so every object the module made
// must be gone by then.
class PluginModule {
public:
    PluginModule() = default;
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    // False with `error` set when the module cannot be loaded or has no entry point.
    bool load(const std::string& path, std::string& error);
    PluginEntry entry() const { return Entry; }
    // Keeps the module mapped after destruction (objects it made may outlive us).
    void keepLoaded() { KeepLoaded = true; }

private:
    void* Handle = nullptr;
    PluginEntry Entry = nullptr;
    bool KeepLoaded = false;
};

// The host's engine: keeps (and grabs) every loader registered with it.
class HostEngine : public irrklang::ISoundEngine {
public:
    ~HostEngine() override;
    void registerAudioStreamLoader(irrklang::IAudioStreamLoader* loader) override;

    const std::vector<irrklang::IAudioStreamLoader*>& loaders() const { return Loaders; }
    // Drops every loader now, as the engine does when it shuts down.
    void dropLoaders();

private:
    std::vector<irrklang::IAudioStreamLoader*> Loaders;
};

// A reader over a file on disk. With `reportSize` false it tells the stream it has no size.
class StdioFileReader : public irrklang::IFileReader {
public:
    // Null with `error` set when the file cannot be opened.
    static StdioFileReader* open(const std::string& path, bool reportSize, std::string& error);
    ~StdioFileReader() override;

    int32_t read(void* buffer, uint32_t sizeToRead) override;
    bool seek(int32_t finalPos, bool relativeMovement) override;
    int32_t getSize() override;
    int32_t getPos() override;

private:
    StdioFileReader(std::FILE* file, int32_t size, bool reportSize);

    std::FILE* File;
    int32_t Size;
    bool ReportSize;
};

// The default module: beside the running program if one is there, else the installed one in the
// package's library folder (found from the program's own folder), else the one the build made.
std::string defaultPluginPath();
