// Bitmap.h — reads uncompressed BMP files into pixel arrays ready for glDrawPixels.
#pragma once

#include <cstdint>
#include <string>

constexpr uint16_t BITMAP_MAGIC_NUMBER = 0x4D42;   // "BM" read little-endian
constexpr int RGB_BYTE_SIZE = 3;
constexpr int RGBA_BYTE_SIZE = 4;

#pragma pack(push, 1)
struct tagBitmapFileHeader {
    uint16_t bfType;
    uint32_t bfSize;
    uint16_t bfReserved1;
    uint16_t bfReserved2;
    uint32_t bfOffBits;
};

struct tagBitmapInfoHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};

struct tagRGBQuad {
    uint8_t rgbBlue;
    uint8_t rgbGreen;
    uint8_t rgbRed;
    uint8_t rgbReserved;
};
#pragma pack(pop)
static_assert(sizeof(tagBitmapFileHeader) == 14);
static_assert(sizeof(tagBitmapInfoHeader) == 40);
static_assert(sizeof(tagRGBQuad) == 4);

// A decoded BMP. `data` holds the pixels bottom row first, R, G, B per pixel for
// 8- and 24-bit files and R, G, B, A for 32-bit files; every row starts at a
// multiple of 4 bytes, as glDrawPixels reads them under its default alignment.
// `bpp` keeps the file's depth (an 8-bit file keeps 8 although `data` is RGB).
// On failure `loaded` is false, `data` null and `error` says why.
class Bitmap {
public:
    tagRGBQuad* colours;   // palette of an 8-bit file, 256 entries; owned
    char* data;            // converted pixels; owned
    bool loaded;
    int width;
    int height;
    uint16_t bpp;
    std::string error;

    Bitmap();
    explicit Bitmap(const char* file);
    ~Bitmap();
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    bool loadBMP(const char* file);

private:
    tagBitmapFileHeader bmfh{};
    tagBitmapInfoHeader bmih{};
    int byteWidth = 0;       // pixel bytes of one file row, without padding
    int padWidth = 0;        // file row stride: byteWidth rounded up to 4
    uint32_t dataSize = 0;   // pixel bytes read from the file, padding included

    void reset();
    void release();
    bool convert8(const char* tempData);
    bool convert24(const char* tempData);
    bool convert32(const char* tempData);
};
