// main.cpp — mp3decode: decodes an MP3 file to WAV or raw PCM through the ikpMP3 plug-in, as the engine would.
#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "pluginHost.h"

namespace {

const char* const ENGINE_VERSION = "1.1.3";
const int CHUNK_FRAMES = 16384;   // 64 KiB of stereo PCM per write

struct Options {
    std::string plugin;
    std::string input;
    std::string output;
    bool noSize = false;
    bool raw = false;
    bool force = false;
    bool hasStart = false;
    int32_t start = 0;
    int64_t frames = -1;   // -1: to the end
};

void usage(std::FILE* to)
{
    std::fprintf(to,
                 "usage: mp3decode [options] INPUT OUTPUT\n"
                 "Decodes INPUT through the ikpMP3 plug-in and writes OUTPUT as WAV (\"-\" for standard output).\n"
                 "  --plugin PATH  load this plug-in module instead of the one built with mp3decode\n"
                 "  --raw          write raw signed 16-bit little-endian PCM instead of WAV\n"
                 "  --no-size      the file reader reports no size (no seek table, unknown length)\n"
                 "  --start N      seek to sample frame N first\n"
                 "  --frames N     write at most N sample frames\n"
                 "  --force        try the plug-in even if its loader does not claim the file name\n"
                 "  --help         show this text\n");
}

[[noreturn]] void fail(const std::string& message)
{
    std::fprintf(stderr, "mp3decode: %s\n", message.c_str());
    std::exit(1);
}

[[noreturn]] void badUsage(const std::string& message)
{
    std::fprintf(stderr, "mp3decode: %s\n", message.c_str());
    usage(stderr);
    std::exit(2);
}

int64_t parseCount(const char* text, const char* option, int64_t lowest, int64_t highest)
{
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < lowest || value > highest)
        badUsage(std::string(option) + " needs a whole number from " + std::to_string(lowest)
                 + " to " + std::to_string(highest) + ", not \"" + text + "\"");
    return value;
}

Options parseOptions(int argc, char** argv)
{
    Options options;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc)
                badUsage(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--help") {
            usage(stdout);
            std::exit(0);
        } else if (arg == "--plugin") {
            options.plugin = value();
        } else if (arg == "--raw") {
            options.raw = true;
        } else if (arg == "--no-size") {
            options.noSize = true;
        } else if (arg == "--force") {
            options.force = true;
        } else if (arg == "--start") {
            options.hasStart = true;
            options.start = int32_t(parseCount(value(), "--start", 0, INT32_MAX));
        } else if (arg == "--frames") {
            options.frames = parseCount(value(), "--frames", 0, INT64_MAX);
        } else if (arg.size() > 1 && arg[0] == '-') {
            badUsage("unknown option " + arg);
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2)
        badUsage("need an input file and an output file");
    options.input = positional[0];
    options.output = positional[1];
    // Creating the output empties it before the plug-in has read the input.
    std::error_code ec;
    if (options.output != "-" && std::filesystem::equivalent(options.input, options.output, ec))
        badUsage("the output " + options.output + " is the input file");
    if (options.plugin.empty())
        options.plugin = defaultPluginPath();
    return options;
}

void putLE(std::vector<unsigned char>& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

std::vector<unsigned char> wavHeader(const irrklang::SAudioStreamFormat& format, uint32_t dataBytes)
{
    const uint32_t blockAlign = uint32_t(format.getFrameSize());
    std::vector<unsigned char> header;
    header.insert(header.end(), {'R', 'I', 'F', 'F'});
    putLE(header, dataBytes > UINT32_MAX - 36 ? UINT32_MAX : dataBytes + 36, 4);
    header.insert(header.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    putLE(header, 16, 4);
    putLE(header, 1, 2);   // integer PCM
    putLE(header, uint32_t(format.ChannelCount), 2);
    putLE(header, uint32_t(format.SampleRate), 4);
    putLE(header, uint32_t(format.SampleRate) * blockAlign, 4);
    putLE(header, blockAlign, 2);
    putLE(header, 16, 2);
    header.insert(header.end(), {'d', 'a', 't', 'a'});
    putLE(header, dataBytes, 4);
    return header;
}

void writeAll(std::FILE* out, const void* data, size_t size, const std::string& name)
{
    if (size && std::fwrite(data, 1, size, out) != size)
        fail("cannot write " + name + ": " + std::strerror(errno));
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = parseOptions(argc, argv);

    std::string error;
    PluginModule module;
    if (!module.load(options.plugin, error))
        fail(error);
    // The decoder's tables live until the process ends; unmapped at exit they would
    // look leaked to LeakSanitizer.
    module.keepLoaded();

    {
        HostEngine engine;
        module.entry()(&engine, ENGINE_VERSION);
        if (engine.loaders().empty())
            fail("the plug-in " + options.plugin + " registered no loader for engine version "
                 + ENGINE_VERSION);

        irrklang::IAudioStreamLoader* loader = nullptr;
        for (irrklang::IAudioStreamLoader* candidate : engine.loaders())
            if (candidate->isALoadableFileExtension(options.input.c_str())) {
                loader = candidate;
                break;
            }
        if (!loader) {
            if (!options.force)
                fail("the plug-in does not claim \"" + options.input
                     + "\" (it takes names containing \".mp3\"); use --force to try anyway");
            loader = engine.loaders().front();
        }

        irrklang::IFileReader* reader = StdioFileReader::open(options.input, !options.noSize, error);
        if (!reader)
            fail(error);
        irrklang::IAudioStream* stream = loader->createAudioStream(reader);
        reader->drop();   // the stream holds its own reference
        if (!stream)
            fail(options.input + ": no MPEG audio found that the plug-in can decode");

        const irrklang::SAudioStreamFormat format = stream->getFormat();
        std::fprintf(stderr, "%s: %d channel%s, %d Hz, signed 16-bit\n", options.input.c_str(),
                     format.ChannelCount, format.ChannelCount == 1 ? "" : "s", format.SampleRate);
        if (format.FrameCount >= 0)
            std::fprintf(stderr, "length: %d sample frames\n", format.FrameCount);
        else
            std::fprintf(stderr, "length: unknown (the reader gave no size)\n");

        if (options.hasStart && !stream->setPosition(options.start)) {
            stream->drop();
            fail("cannot seek to sample frame " + std::to_string(options.start)
                 + (options.noSize ? " (seeking needs the file size; drop --no-size)" : ""));
        }

        const bool toStdout = options.output == "-";
        std::FILE* out = toStdout ? stdout : std::fopen(options.output.c_str(), "wb");
        if (!out) {
            stream->drop();
            fail("cannot create " + options.output + ": " + std::strerror(errno));
        }
        const int frameBytes = format.getFrameSize();
        // What will be written, when the stream knows its length: a WAV header on a pipe
        // cannot be patched afterwards, so it must carry the real sizes from the start.
        int64_t expected = -1;
        if (format.FrameCount >= 0) {
            expected = std::max<int64_t>(0, int64_t(format.FrameCount) - (options.hasStart ? options.start : 0));
            if (options.frames >= 0)
                expected = std::min(expected, options.frames);
        }
        const int64_t largestData = (int64_t(UINT32_MAX) - 36) / frameBytes * frameBytes;
        const bool sizedHeader = expected >= 0 && expected * frameBytes <= largestData;
        if (!options.raw) {
            // Otherwise the sizes are patched at the end where the output can seek.
            const std::vector<unsigned char> header =
                wavHeader(format, sizedHeader ? uint32_t(expected * frameBytes) : UINT32_MAX);
            writeAll(out, header.data(), header.size(), options.output);
        }

        std::vector<int16_t> buffer(size_t(CHUNK_FRAMES) * size_t(format.ChannelCount));
        int64_t written = 0;
        // A header that promised a size is never overrun.
        const int64_t limit = sizedHeader && !options.raw ? expected : options.frames;
        while (limit < 0 || written < limit) {
            int32_t want = CHUNK_FRAMES;
            if (limit >= 0 && limit - written < want)
                want = int32_t(limit - written);
            const int32_t got = stream->readFrames(buffer.data(), want);
            if (got <= 0)
                break;
            if constexpr (std::endian::native == std::endian::big)
                for (int32_t i = 0; i < got * format.ChannelCount; ++i)
                    buffer[i] = int16_t(uint16_t(buffer[i]) >> 8 | uint16_t(buffer[i]) << 8);
            writeAll(out, buffer.data(), size_t(got) * size_t(frameBytes), options.output);
            written += got;
            if (got < want)
                break;
        }
        stream->drop();

        if (!options.raw && toStdout && sizedHeader && written != expected) {
            // The header on the pipe promised `expected` sample frames: keep the file
            // readable by padding with silence (or by having stopped there).
            std::fprintf(stderr, "mp3decode: the stream gave %lld sample frames, not the %lld its length said\n",
                         static_cast<long long>(written), static_cast<long long>(expected));
            std::fill(buffer.begin(), buffer.end(), int16_t(0));
            for (; written < expected; written += std::min<int64_t>(expected - written, CHUNK_FRAMES))
                writeAll(out, buffer.data(),
                         size_t(std::min<int64_t>(expected - written, CHUNK_FRAMES)) * size_t(frameBytes),
                         options.output);
        }
        if (!options.raw) {
            const uint64_t dataBytes = uint64_t(written) * uint64_t(frameBytes);
            const std::vector<unsigned char> header =
                wavHeader(format, dataBytes > UINT32_MAX ? UINT32_MAX : uint32_t(dataBytes));
            if (!toStdout && std::fseek(out, 0, SEEK_SET) == 0)
                writeAll(out, header.data(), header.size(), options.output);
        }
        if (std::fflush(out) != 0 || (!toStdout && std::fclose(out) != 0))
            fail("cannot write " + options.output + ": " + std::strerror(errno));
        std::fprintf(stderr, "decoded: %lld sample frames\n", static_cast<long long>(written));
    }
    return 0;
}
