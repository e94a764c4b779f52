// testImages.h — writes small BMP and PNG files for the image tests, in a temporary folder.
#pragma once

#include <png.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace testimages {

// A fresh folder under the system's temporary directory, removed with its contents.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vwimgXXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        dir = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string path(const std::string& name) const { return (dir / name).string(); }
    const std::filesystem::path& root() const { return dir; }

private:
    std::filesystem::path dir;
};

inline void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void put16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(v & 0xFF);
    b.push_back(v >> 8);
}
inline void put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back((v >> (8 * i)) & 0xFF);
}

// The 54 header bytes of an uncompressed BMP with the 40-byte info header.
inline std::vector<uint8_t> bmpHeader(int32_t width, int32_t height, uint16_t bpp,
                                      uint32_t clrUsed = 0) {
    std::vector<uint8_t> b;
    put16(b, 0x4D42);
    put32(b, 0);        // bfSize: never consulted
    put16(b, 0);
    put16(b, 0);
    put32(b, bpp == 8 ? 1078 : 54);
    put32(b, 40);
    put32(b, static_cast<uint32_t>(width));
    put32(b, static_cast<uint32_t>(height));
    put16(b, 1);
    put16(b, bpp);
    put32(b, 0);        // BI_RGB
    put32(b, 0);
    put32(b, 2835);
    put32(b, 2835);
    put32(b, clrUsed);
    put32(b, 0);
    return b;
}

// The test palette: entry i is B = i, G = 255 - i, R = i ^ 0x5A, reserved 0x77.
inline uint8_t paletteRed(int i) { return static_cast<uint8_t>(i ^ 0x5A); }
inline uint8_t paletteGreen(int i) { return static_cast<uint8_t>(255 - i); }
inline uint8_t paletteBlue(int i) { return static_cast<uint8_t>(i); }

// A whole BMP. `rows` holds each row's pixel bytes without padding, bottom row
// first, as stored in the file; rows are padded to 4 bytes with 0xEE so a reader
// that takes padding for pixels shows it. 8-bit files get the test palette.
inline std::vector<uint8_t> bmpFile(int32_t width, int32_t height, uint16_t bpp,
                                    const std::vector<std::vector<uint8_t>>& rows,
                                    uint32_t clrUsed = 0) {
    std::vector<uint8_t> b = bmpHeader(width, height, bpp, clrUsed);
    if (bpp == 8) {
        for (int i = 0; i < 256; ++i) {
            b.push_back(paletteBlue(i));
            b.push_back(paletteGreen(i));
            b.push_back(paletteRed(i));
            b.push_back(0x77);
        }
    }
    for (const auto& row : rows) {
        b.insert(b.end(), row.begin(), row.end());
        for (size_t n = row.size(); n % 4 != 0; ++n) b.push_back(0xEE);
    }
    return b;
}

// A solid 24-bit BMP whose every pixel is (r, g, b).
inline std::vector<uint8_t> solidBmp24(int32_t width, int32_t height, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<std::vector<uint8_t>> rows(height);
    for (auto& row : rows)
        for (int x = 0; x < width; ++x) row.insert(row.end(), {b, g, r});
    return bmpFile(width, height, 24, rows);
}

// What a PNG should hold; rows are raw PNG sample bytes, top row first.
struct PngImage {
    png_uint_32 width = 1;
    png_uint_32 height = 1;
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<std::vector<uint8_t>> rows;
    std::vector<png_color> palette;
    std::vector<uint8_t> trnsAlpha;   // palette images: alpha per entry
    bool hasTrnsColor = false;        // grey or RGB images: the one transparent value
    png_color_16 trnsColor{};
};

inline bool writePng(const std::string& path, const PngImage& img) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, img.width, img.height, img.bitDepth, img.colorType,
                 img.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!img.palette.empty())
        png_set_PLTE(png, info, img.palette.data(), static_cast<int>(img.palette.size()));
    if (!img.trnsAlpha.empty())
        png_set_tRNS(png, info, img.trnsAlpha.data(), static_cast<int>(img.trnsAlpha.size()), nullptr);
    if (img.hasTrnsColor) {
        png_color_16 colour = img.trnsColor;
        png_set_tRNS(png, info, nullptr, 0, &colour);
    }
    png_write_info(png, info);
    std::vector<png_bytep> rowPointers;
    for (const auto& row : img.rows) rowPointers.push_back(const_cast<png_bytep>(row.data()));
    png_write_image(png, rowPointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return true;
}

// A 1-bit grey image of the given size, all black: tiny on disk at any size.
inline PngImage blankGrey(png_uint_32 width, png_uint_32 height) {
    PngImage img;
    img.width = width;
    img.height = height;
    img.colorType = PNG_COLOR_TYPE_GRAY;
    img.bitDepth = 1;
    img.rows.assign(height, std::vector<uint8_t>((width + 7) / 8, 0));
    return img;
}

}  // namespace testimages
