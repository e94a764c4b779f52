// fuzzInput.h — what the fuzz targets share: a byte-driven random source, a scratch file, a loud check.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

// A finding must stop the run where libFuzzer (or the replay) can see it, in every
// build type: abort() with the broken property named.
#define FUZZ_CHECK(cond)                                                                 \
    do {                                                                                 \
        if (!(cond)) {                                                                   \
            std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                \
        }                                                                                \
    } while (0)

// Small and fast; seeded from the input so the fuzzer steers every choice it drives.
class FuzzRandom {
public:
    explicit FuzzRandom(uint32_t seed) : state(seed ? seed : 0x9E3779B9u) {}
    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    // Uniform enough in [lo, hi]; hi >= lo.
    int64_t range(int64_t lo, int64_t hi) {
        return lo + static_cast<int64_t>(next() % static_cast<uint64_t>(hi - lo + 1));
    }

private:
    uint32_t state;
};

// Reads control bytes off the front of an input; missing bytes read as 0.
class FuzzHeader {
public:
    FuzzHeader(const uint8_t*& data, size_t& size, size_t length) {
        for (size_t i = 0; i < length; ++i) value = value << 8 | (i < size ? data[i] : 0u);
        const size_t used = length < size ? length : size;
        data += used;
        size -= used;
    }
    uint64_t value = 0;
};

// One scratch file per process for the loaders that only read named files. It is
// rewritten for every input and removed when the process ends.
class ScratchFile {
public:
    explicit ScratchFile(const char* suffix) {
        std::string pattern = std::string(P_tmpdir) + "/vw_fuzz_XXXXXX" + suffix;
        path_ = pattern;
        int fd = mkstemps(path_.data(), static_cast<int>(std::string(suffix).size()));
        FUZZ_CHECK(fd >= 0);
        close(fd);
    }
    ~ScratchFile() { std::remove(path_.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const char* write(const uint8_t* data, size_t size) {
        std::FILE* f = std::fopen(path_.c_str(), "wb");
        FUZZ_CHECK(f != nullptr);
        FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, f) == size);
        FUZZ_CHECK(std::fclose(f) == 0);
        return path_.c_str();
    }

private:
    std::string path_;
};
