// image.cpp — compositing of RGBA pictures and the PNG and BMP file writers.
#include "image.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

Rgba rgb(uint32_t hex, uint8_t alpha)
{
    return {uint8_t(hex >> 16), uint8_t(hex >> 8), uint8_t(hex), alpha};
}

static uint8_t lerp8(uint8_t a, uint8_t b, float t)
{
    return uint8_t(std::lround(a + (b - a) * std::clamp(t, 0.0f, 1.0f)));
}

Rgba mix(Rgba from, Rgba to, float t)
{
    return {lerp8(from.r, to.r, t), lerp8(from.g, to.g, t), lerp8(from.b, to.b, t),
            lerp8(from.a, to.a, t)};
}

Rgba shade(Rgba c, int delta)
{
    auto f = [delta](uint8_t v) { return uint8_t(std::clamp(int(v) + delta, 0, 255)); };
    return {f(c.r), f(c.g), f(c.b), c.a};
}

Image::Image(int width, int height, Rgba fill) : w(width), h(height), px(size_t(width) * height, fill) {}

void Image::set(int x, int y, Rgba c)
{
    if (inside(x, y))
        at(x, y) = c;
}

void Image::blend(int x, int y, Rgba c)
{
    if (!inside(x, y) || c.a == 0)
        return;
    Rgba& d = at(x, y);
    // Straight-alpha source-over; integer arithmetic keeps the output identical on every machine.
    int sa = c.a, da = d.a;
    int outA255 = sa * 255 + da * (255 - sa);          // alpha scaled by 255
    if (outA255 == 0) {
        d = {};
        return;
    }
    auto ch = [&](int s, int dst) {
        return uint8_t((s * sa * 255 + dst * da * (255 - sa) + outA255 / 2) / outA255);
    };
    d = {ch(c.r, d.r), ch(c.g, d.g), ch(c.b, d.b), uint8_t((outA255 + 127) / 255)};
}

void Image::fillRect(int x, int y, int rw, int rh, Rgba c)
{
    for (int j = y; j < y + rh; ++j)
        for (int i = x; i < x + rw; ++i)
            blend(i, j, c);
}

void Image::fillEllipse(float cx, float cy, float rx, float ry, Rgba c)
{
    for (int j = int(cy - ry) - 1; j <= int(cy + ry) + 1; ++j)
        for (int i = int(cx - rx) - 1; i <= int(cx + rx) + 1; ++i) {
            float dx = (i + 0.5f - cx) / rx, dy = (j + 0.5f - cy) / ry;
            if (dx * dx + dy * dy <= 1.0f)
                blend(i, j, c);
        }
}

void Image::draw(const Image& src, int x, int y)
{
    for (int j = 0; j < src.h; ++j)
        for (int i = 0; i < src.w; ++i)
            blend(x + i, y + j, src.at(i, j));
}

bool Image::nearCover(int x, int y, int ring, uint8_t minAlpha) const
{
    for (int dy = -ring; dy <= ring; ++dy)
        for (int dx = -ring; dx <= ring; ++dx)
            if (inside(x + dx, y + dy) && at(x + dx, y + dy).a >= minAlpha)
                return true;
    return false;
}

Image Image::mirrored() const
{
    Image out(w, h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            out.at(w - 1 - i, j) = at(i, j);
    return out;
}

Image Image::scaled(int factor) const
{
    Image out(w * factor, h * factor);
    for (int j = 0; j < out.h; ++j)
        for (int i = 0; i < out.w; ++i)
            out.at(i, j) = at(i / factor, j / factor);
    return out;
}

namespace {
struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

void putLe(std::vector<uint8_t>& out, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}
}

bool writePng(const Image& img, const std::string& path)
{
    File f(std::fopen(path.c_str(), "wb"));
    if (!f)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    png_init_io(png, f.get());
    // Fixed settings and no time or text chunks, so the same picture gives the same bytes.
    png_set_compression_level(png, 9);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_IHDR(png, info, img.width(), img.height(), 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_bytep> rows(img.height());
    for (int y = 0; y < img.height(); ++y)
        rows[y] = reinterpret_cast<png_bytep>(const_cast<Rgba*>(&img.at(0, y)));
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fflush(f.get()) == 0;
}

bool writeBmp24(const Image& img, const std::string& path)
{
    const uint32_t rowBytes = (uint32_t(img.width()) * 3 + 3) / 4 * 4;
    const uint32_t dataBytes = rowBytes * uint32_t(img.height());
    std::vector<uint8_t> out;
    out.reserve(54 + dataBytes);
    out.push_back('B');
    out.push_back('M');
    putLe(out, 54 + dataBytes, 4);   // file size
    putLe(out, 0, 4);                // two reserved words
    putLe(out, 54, 4);               // pixel data offset
    putLe(out, 40, 4);               // info header size
    putLe(out, uint32_t(img.width()), 4);
    putLe(out, uint32_t(img.height()), 4);   // positive: bottom row first
    putLe(out, 1, 2);                // planes
    putLe(out, 24, 2);               // bits per pixel
    putLe(out, 0, 4);                // no compression
    putLe(out, dataBytes, 4);
    putLe(out, 2835, 4);             // 72 dpi, both axes
    putLe(out, 2835, 4);
    putLe(out, 0, 4);                // no palette
    putLe(out, 0, 4);
    for (int y = img.height() - 1; y >= 0; --y) {
        for (int x = 0; x < img.width(); ++x) {
            const Rgba& c = img.at(x, y);
            out.push_back(c.b);
            out.push_back(c.g);
            out.push_back(c.r);
        }
        for (uint32_t pad = uint32_t(img.width()) * 3; pad < rowBytes; ++pad)
            out.push_back(0);
    }
    File f(std::fopen(path.c_str(), "wb"));
    if (!f)
        return false;
    return std::fwrite(out.data(), 1, out.size(), f.get()) == out.size() && std::fflush(f.get()) == 0;
}
