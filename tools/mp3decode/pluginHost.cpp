// pluginHost.cpp — loading the plug-in module, the host's engine object and its file reader.
#include "pluginHost.h"

#include <dlfcn.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

PluginModule::~PluginModule()
{
    if (Handle && !KeepLoaded)
        dlclose(Handle);
}

bool PluginModule::load(const std::string& path, std::string& error)
{
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        error = "cannot load plug-in " + path + ": " + (reason ? reason : "unknown error");
        return false;
    }
    dlerror();
    void* symbol = dlsym(handle, PLUGIN_ENTRY_SYMBOL);
    if (!symbol) {
        error = "plug-in " + path + " has no entry point irrKlangPluginInit";
        dlclose(handle);
        return false;
    }
    if (Handle && !KeepLoaded)
        dlclose(Handle);
    Handle = handle;
    Entry = reinterpret_cast<PluginEntry>(symbol);
    return true;
}

HostEngine::~HostEngine()
{
    dropLoaders();
}

void HostEngine::registerAudioStreamLoader(irrklang::IAudioStreamLoader* loader)
{
    if (!loader)
        return;
    loader->grab();
    Loaders.push_back(loader);
}

void HostEngine::dropLoaders()
{
    for (irrklang::IAudioStreamLoader* loader : Loaders)
        loader->drop();
    Loaders.clear();
}

StdioFileReader* StdioFileReader::open(const std::string& path, bool reportSize, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        size = std::ftell(file);
    if (size < 0 || size > INT32_MAX || std::fseek(file, 0, SEEK_SET) != 0) {
        error = "cannot read " + path + ": not a regular file of at most 2 GiB";
        std::fclose(file);
        return nullptr;
    }
    return new StdioFileReader(file, int32_t(size), reportSize);
}

StdioFileReader::StdioFileReader(std::FILE* file, int32_t size, bool reportSize)
    : File(file), Size(size), ReportSize(reportSize)
{
}

StdioFileReader::~StdioFileReader()
{
    std::fclose(File);
}

int32_t StdioFileReader::read(void* buffer, uint32_t sizeToRead)
{
    return int32_t(std::fread(buffer, 1, sizeToRead, File));
}

bool StdioFileReader::seek(int32_t finalPos, bool relativeMovement)
{
    return std::fseek(File, finalPos, relativeMovement ? SEEK_CUR : SEEK_SET) == 0;
}

int32_t StdioFileReader::getSize()
{
    return ReportSize ? Size : -1;
}

int32_t StdioFileReader::getPos()
{
    return int32_t(std::ftell(File));
}

std::string defaultPluginPath()
{
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::filesystem::path beside = self.parent_path() / "ikpMP3.so";
        if (std::filesystem::exists(beside, ec))
            return beside.string();
#ifdef IKPMP3_INSTALLED_FROM_BINDIR
        // Installed: the module lies in the package's own library folder, found from here
        // so that a package unpacked or installed anywhere still works.
        const std::filesystem::path installed =
            (self.parent_path() / IKPMP3_INSTALLED_FROM_BINDIR / "ikpMP3.so").lexically_normal();
        if (std::filesystem::exists(installed, ec))
            return installed.string();
#endif
    }
#ifdef IKPMP3_BUILT_MODULE
    return IKPMP3_BUILT_MODULE;
#else
    return "ikpMP3.so";
#endif
}
