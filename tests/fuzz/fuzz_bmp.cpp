// fuzz_bmp.cpp — the BMP loader on arbitrary files.
#include <cstdint>

#include "Bitmap/Bitmap.h"
#include "fuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ScratchFile file(".bmp");
    const char* path = file.write(data, size);

    Bitmap bitmap;
    const bool loaded = bitmap.loadBMP(path);
    FUZZ_CHECK(loaded == bitmap.loaded);
    if (!loaded) {
        FUZZ_CHECK(bitmap.data == nullptr);
        FUZZ_CHECK(!bitmap.error.empty());
        FUZZ_CHECK(bitmap.error == "Bitmap loaded" || bitmap.colours == nullptr);
        return 0;
    }
    FUZZ_CHECK(bitmap.error == "Bitmap loaded");
    FUZZ_CHECK(bitmap.bpp == 8 || bitmap.bpp == 24 || bitmap.bpp == 32);
    FUZZ_CHECK(bitmap.width > 0 && bitmap.height >= 0);
    FUZZ_CHECK((bitmap.colours != nullptr) == (bitmap.bpp == 8));
    // A loaded image cannot be larger than the file that holds its pixels.
    const int64_t filePixelBytes = int64_t{bitmap.width} * (bitmap.bpp / 8) * bitmap.height;
    FUZZ_CHECK(filePixelBytes <= static_cast<int64_t>(size));

    // Every row glDrawPixels would read, at its stride: AddressSanitizer checks the extent.
    const int pixelBytes = bitmap.bpp == 32 ? RGBA_BYTE_SIZE : RGB_BYTE_SIZE;
    const int64_t stride = (int64_t{bitmap.width} * pixelBytes + 3) / 4 * 4;
    FUZZ_CHECK(bitmap.height == 0 || bitmap.data != nullptr);
    unsigned sum = 0;
    for (int64_t i = 0; i < stride * bitmap.height; ++i) sum += static_cast<unsigned char>(bitmap.data[i]);
    volatile unsigned sink = sum;
    (void)sink;
    return 0;
}
