// fuzz_support.h -- what the fuzz targets share: settings from the input's first byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/settings.h"

namespace quorvane::fuzz {

inline constexpr std::array<unsigned, 8> kRodSizes = {2, 3, 4, 5, 8, 17, 64, 128};

// Rod size and LZ77 setting from one byte: bits 0-2 the rod size, bit 3 LZ77 off.
inline void apply_setting_byte(uint8_t byte, Settings& settings) {
    settings.rod_size = kRodSizes[byte & 7];
    settings.lz77 = (byte & 8) == 0;
}

}  // namespace quorvane::fuzz
