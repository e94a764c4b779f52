// Bitmap.cpp — the BMP reader: headers, palette, pixel rows and their conversion to RGB(A).
#include "Bitmap/Bitmap.h"

#include <climits>
#include <cstdio>
#include <memory>
#include <new>

namespace {
struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

int64_t roundUpTo4(int64_t bytes) { return (bytes + 3) / 4 * 4; }

// Bytes left between the current position and the end of the file, or -1.
int64_t bytesRemaining(FILE* f) {
    long here = std::ftell(f);
    if (here < 0 || std::fseek(f, 0, SEEK_END) != 0) return -1;
    long end = std::ftell(f);
    if (end < 0 || std::fseek(f, here, SEEK_SET) != 0) return -1;
    return end - here;
}
}  // namespace

Bitmap::Bitmap() : colours(nullptr), data(nullptr), loaded(false), width(0), height(0), bpp(0) {
    reset();
}

Bitmap::Bitmap(const char* file) : Bitmap() { loadBMP(file); }

Bitmap::~Bitmap() { release(); }

void Bitmap::reset() {
    colours = nullptr;
    data = nullptr;
    loaded = false;
    error.clear();
}

void Bitmap::release() {
    delete[] colours;
    delete[] data;
    colours = nullptr;
    data = nullptr;
}

bool Bitmap::loadBMP(const char* file) {
    loaded = false;
    release();

    FilePtr f(std::fopen(file, "rb"));
    if (!f) {
        error = "File not found";
        return false;
    }

    if (std::fread(&bmfh, sizeof bmfh, 1, f.get()) != 1 || bmfh.bfType != BITMAP_MAGIC_NUMBER) {
        error = "File is not in DIB format";
        return false;
    }
    if (std::fread(&bmih, sizeof bmih, 1, f.get()) != 1) {
        error = "File is shorter than its headers";
        return false;
    }
    width = bmih.biWidth;
    height = bmih.biHeight;
    bpp = bmih.biBitCount;

    if (bpp < 8) {
        error = "File is not 8 or 24 bits per pixel";
        return false;
    }
    if (width <= 0) {
        error = "Bitmap width is not positive";
        return false;
    }
    if (height < 0) {
        error = "Top-down bitmaps (negative height) are not supported";
        return false;
    }
    // Other depths of 8 bits or more are read as nothing, and that is not an error.
    if (bpp != 8 && bpp != 24 && bpp != 32) {
        error = "Bitmap loaded";
        return false;
    }

    // Sizes in 64 bits: a hostile header must not wrap them into a short buffer.
    // Both the file rows and the output rows have to fit in an int, which is
    // what glDrawPixels and the conversions index with.
    const int outPixelBytes = bpp == 32 ? RGBA_BYTE_SIZE : RGB_BYTE_SIZE;
    const int64_t fileRowBytes = roundUpTo4(int64_t{width} * (bpp / 8));
    const int64_t outRowBytes = roundUpTo4(int64_t{width} * outPixelBytes);
    // A row alone must fit too: a height of 0 would let any width through.
    if (outRowBytes > INT_MAX || fileRowBytes * height > INT_MAX || outRowBytes * height > INT_MAX) {
        error = "Bitmap dimensions are too large";
        return false;
    }
    byteWidth = width * (bpp / 8);
    padWidth = static_cast<int>(fileRowBytes);
    dataSize = static_cast<uint32_t>(fileRowBytes * height);

    if (bpp == 8) {
        colours = new (std::nothrow) tagRGBQuad[256];
        if (!colours) {
            error = "Not enough memory to allocate a palette";
            return false;
        }
        if (std::fread(colours, sizeof(tagRGBQuad), 256, f.get()) != 256) {
            release();
            error = "File is shorter than its palette";
            return false;
        }
    }

    // Checked before allocating, so a tiny file cannot ask for a huge buffer.
    const int64_t remaining = bytesRemaining(f.get());
    if (remaining < static_cast<int64_t>(dataSize)) {
        release();
        error = "File is shorter than its pixel data";
        return false;
    }

    std::unique_ptr<char[]> tempData(new (std::nothrow) char[dataSize > 0 ? dataSize : 1]);
    if (!tempData) {
        release();
        error = "Not enough memory to allocate a temporary buffer";
        return false;
    }
    if (dataSize > 0 && std::fread(tempData.get(), 1, dataSize, f.get()) != dataSize) {
        release();
        error = "File is shorter than its pixel data";
        return false;
    }
    f.reset();

    if (bpp == 8) {
        loaded = convert8(tempData.get());
    } else if (bpp == 24) {
        loaded = convert24(tempData.get());
    } else {
        loaded = convert32(tempData.get());
    }
    if (!loaded) {
        release();
        return false;
    }
    error = "Bitmap loaded";
    return true;
}

// Each conversion walks the file rows bottom first, as stored, and writes output
// rows that start at multiples of 4 bytes.

bool Bitmap::convert8(const char* tempData) {
    const int outStride = static_cast<int>(roundUpTo4(int64_t{width} * RGB_BYTE_SIZE));
    data = new (std::nothrow) char[static_cast<size_t>(outStride) * height];
    if (!data) {
        error = "Not enough memory to allocate an image buffer";
        return false;
    }
    for (int row = 0; row < height; ++row) {
        const unsigned char* in = reinterpret_cast<const unsigned char*>(tempData) + size_t(row) * padWidth;
        char* out = data + size_t(row) * outStride;
        for (int x = 0; x < width; ++x) {
            const tagRGBQuad& c = colours[in[x]];
            out[3 * x] = static_cast<char>(c.rgbRed);
            out[3 * x + 1] = static_cast<char>(c.rgbGreen);
            out[3 * x + 2] = static_cast<char>(c.rgbBlue);
        }
        for (int pad = width * RGB_BYTE_SIZE; pad < outStride; ++pad) out[pad] = 0;
    }
    return true;
}

bool Bitmap::convert24(const char* tempData) {
    // With 3 bytes a pixel the file's padded stride is also the output's.
    data = new (std::nothrow) char[static_cast<size_t>(padWidth) * height];
    if (!data) {
        error = "Not enough memory to allocate an image buffer";
        return false;
    }
    for (int row = 0; row < height; ++row) {
        const char* in = tempData + size_t(row) * padWidth;
        char* out = data + size_t(row) * padWidth;
        for (int x = 0; x < width; ++x) {
            out[3 * x] = in[3 * x + 2];
            out[3 * x + 1] = in[3 * x + 1];
            out[3 * x + 2] = in[3 * x];
        }
        for (int pad = byteWidth; pad < padWidth; ++pad) out[pad] = 0;
    }
    return true;
}

bool Bitmap::convert32(const char* tempData) {
    const size_t pixels = static_cast<size_t>(width) * height;
    data = new (std::nothrow) char[pixels * RGBA_BYTE_SIZE];
    if (!data) {
        error = "Not enough memory to allocate an image buffer";
        return false;
    }
    for (size_t k = 0; k < pixels; ++k) {
        data[4 * k] = tempData[4 * k + 2];
        data[4 * k + 1] = tempData[4 * k + 1];
        data[4 * k + 2] = tempData[4 * k];
        data[4 * k + 3] = tempData[4 * k + 3];
    }
    return true;
}
