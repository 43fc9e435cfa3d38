// chip_images.h -- the chip code, the stream picture and the tablet as Qt images, and the chip
// bitmap file.
#pragma once

#include <QByteArray>
#include <QImage>
#include <filesystem>
#include <vector>

#include "chip/chip_code.h"

namespace quorvane {

inline constexpr QRgb kChipBlack = 0xFF000000;
inline constexpr QRgb kChipWhite = 0xFFFFFFFF;
inline constexpr QRgb kStreamRed = 0xFFFF0000;
inline constexpr QRgb kStreamGreen = 0xFF00FF00;

// A 1-bit image with the colour table black (index 0), white (index 1), all white.
QImage blank_mono_image(int width, int height);

// The 25 x 25 chip: a "0" bit is a white pixel, a "1" bit a black one.
QImage chip_bitmap(const BitString& chip);

// The 190 x 191 stream picture: black background, red and green.
QImage stream_picture(const std::vector<StreamColour>& pixels);

// The built-in tablet as a 1-bit image.
QImage built_in_tablet();

// The picture's pixels row by row: "0" for a white pixel, "1" for any other.
BitString picture_pixels(const QImage& picture);

// The chip as the bytes of a BMP file with 1 bit per pixel and its two-entry colour table.
QByteArray chip_bmp_bytes(const QImage& chip);

// Writes the chip bitmap file; an existing file is replaced, never left half-written.
// permissions: the input's permission bits, which the file takes (-1: 0666 less the umask).
void save_chip_bitmap(const QImage& chip, const std::filesystem::path& path, int permissions = -1);

}  // namespace quorvane
