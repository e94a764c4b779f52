// fuzz_png.cpp — the PNG loader on arbitrary files. Its failures end the process; a
// fatal handler that throws brings each one back here instead.
#include <cstdint>
#include <cstdlib>

#include "fuzzStops.h"
#include "pngLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* path = stoppableInput(".png", data, size);

    png_uint_32 width = 0, height = 0;
    png_bytep pixels = nullptr;
    try {
        pixels = read_png_file(path, width, height);
    } catch (const Stopped& stopped) {
        FUZZ_CHECK(stopped.status == 1);
        return 0;
    }
    FUZZ_CHECK(pixels != nullptr);
    FUZZ_CHECK(width >= 1 && width <= PNG_MAX_DIMENSION && height >= 1 && height <= PNG_MAX_DIMENSION);
    // Width × height RGBA pixels, all of them readable.
    unsigned sum = 0;
    for (size_t i = 0; i < size_t{width} * height * 4; ++i) sum += pixels[i];
    volatile unsigned sink = sum;
    (void)sink;
    std::free(pixels);
    return 0;
}
