// pngLoader.cpp — decodes a PNG of any colour type into bottom-up 8-bit RGBA with libpng.
#include "pngLoader.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "check.h"

namespace {
// Globals rather than locals: they must keep their values across libpng's
// longjmp back to the setjmp point in read_png_file.
png_structp png_ptr = nullptr;
png_infop info_ptr = nullptr;
png_infop png_end = nullptr;
png_bytep png_data = nullptr;
png_bytep* png_rows = nullptr;
png_byte bit_depth = 0;
png_byte color_type = 0;
FILE* png_file = nullptr;

// What a failed call holds. The game exits right after, but a fatal handler that
// does not exit (a fuzzer's) must not leak it on every bad file.
void releaseFailedRead() {
    if (!png_file) return;  // no read under way: png_data is an earlier caller's image
    if (png_ptr) png_destroy_read_struct(&png_ptr, &info_ptr, &png_end);
    std::free(png_rows);
    std::free(png_data);
    png_rows = nullptr;
    png_data = nullptr;
    std::fclose(png_file);
    png_file = nullptr;
}
}  // namespace

void abort_(const char* s, ...) {
    // Sized to the message: a long path must reach the line whole.
    va_list args;
    va_start(args, s);
    const std::string line = formatLine(s, args) + '\n';
    va_end(args);
    releaseFailedRead();
    fatalExitStderr(1, line.c_str());
}

png_bytep read_png_file(const char* file_name, png_uint_32& width, png_uint_32& height) {
    png_data = nullptr;  // the last call's image belongs to its caller now
    png_file = std::fopen(file_name, "rb");
    if (!png_file) abort_("[read_png_file] File %s could not be opened for reading", file_name);

    png_byte header[8] = {};
    if (std::fread(header, 1, 8, png_file) != 8 || png_sig_cmp(header, 0, 8) != 0)
        abort_("[read_png_file] File %s is not recognized as a PNG file", file_name);

    png_ptr = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png_ptr) abort_("[read_png_file] png_create_read_struct failed");
    info_ptr = png_create_info_struct(png_ptr);
    if (!info_ptr) abort_("[read_png_file] png_create_info_struct failed");
    png_end = png_create_info_struct(png_ptr);

    if (setjmp(png_jmpbuf(png_ptr))) abort_("[read_png_file] Error during init_io");

    png_set_sig_bytes(png_ptr, 8);
    png_init_io(png_ptr, png_file);
    png_read_info(png_ptr, info_ptr);

    width = png_get_image_width(png_ptr, info_ptr);
    height = png_get_image_height(png_ptr, info_ptr);
    bit_depth = png_get_bit_depth(png_ptr, info_ptr);
    color_type = png_get_color_type(png_ptr, info_ptr);

    if (width > PNG_MAX_DIMENSION || height > PNG_MAX_DIMENSION)
        abort_("[read_png_file] File %s is too large: %u x %u pixels, at most %u x %u", file_name,
               static_cast<unsigned>(width), static_cast<unsigned>(height),
               static_cast<unsigned>(PNG_MAX_DIMENSION), static_cast<unsigned>(PNG_MAX_DIMENSION));

    if (color_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png_ptr);
    if (color_type == PNG_COLOR_TYPE_GRAY || color_type == PNG_COLOR_TYPE_GRAY_ALPHA) {
        if (bit_depth < 8) png_set_expand_gray_1_2_4_to_8(png_ptr);
        png_set_gray_to_rgb(png_ptr);
    }
    if (png_get_valid(png_ptr, info_ptr, PNG_INFO_tRNS)) {
        png_set_expand(png_ptr);
        png_set_tRNS_to_alpha(png_ptr);
    } else {
        png_set_filler(png_ptr, 0xFF, PNG_FILLER_AFTER);
    }
    if (bit_depth == 16) png_set_strip_16(png_ptr);
    png_set_interlace_handling(png_ptr);
    png_read_update_info(png_ptr, info_ptr);

    // The rows below are sized for 4 bytes a pixel; anything else would overrun them.
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    if (png_get_rowbytes(png_ptr, info_ptr) != rowBytes)
        abort_("[read_png_file] File %s does not decode to 8-bit RGBA", file_name);

    // At most 4096 × 4096 × 4 bytes, so the size cannot wrap.
    png_data = static_cast<png_bytep>(std::malloc(rowBytes * height > 0 ? rowBytes * height : 1));
    png_rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * (height > 0 ? height : 1)));
    if (!png_data || !png_rows) abort_("[read_png_file] Not enough memory for %s", file_name);
    // libpng writes the file's top row into the last row of memory: bottom-up, no flip.
    for (png_uint_32 r = 0; r < height; ++r) png_rows[height - 1 - r] = png_data + r * rowBytes;

    png_read_image(png_ptr, png_rows);

    std::free(png_rows);
    png_rows = nullptr;
    png_destroy_read_struct(&png_ptr, &info_ptr, &png_end);
    std::fclose(png_file);
    png_file = nullptr;
    return png_data;
}
