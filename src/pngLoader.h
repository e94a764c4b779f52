// pngLoader.h — reads one PNG file into 8-bit RGBA pixels, bottom row first.
#pragma once

#include <png.h>

// Largest width and height accepted; a tile or screen never comes near it.
constexpr png_uint_32 PNG_MAX_DIMENSION = 4096;

// Loads `file_name` and returns its pixels, 4 bytes R, G, B, A per pixel, rows
// packed (stride width × 4) and bottom-up. The array comes from malloc and
// belongs to the caller. Returns only on success: any failure prints one
// "[read_png_file] ..." line on standard error and ends the process with status 1.
png_bytep read_png_file(const char* file_name, png_uint_32& width, png_uint_32& height);

// Formats like printf, writes the line and "\n" to standard error, exits with status 1.
[[noreturn]] void abort_(const char* s, ...) __attribute__((format(printf, 1, 2)));
