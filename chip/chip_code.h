// chip_code.h -- the chip code and the stream picture as bits and colours; drawing is the front
// end's business.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/bit_string.h"
#include "engine/run_observer.h"

namespace quorvane {

inline constexpr int kChipSide = 25;
inline constexpr int kChipBits = kChipSide * kChipSide;  // 625
inline constexpr int kChipContentBits = 599;             // then 10 bits HL and 16 bits SL
inline constexpr int kTabletWidth = 190;
inline constexpr int kTabletHeight = 191;
inline constexpr int kTabletPixels = kTabletWidth * kTabletHeight;  // 36290
inline constexpr int kTabletContentBits = kTabletPixels - 16;       // 36274; then the length

enum class StreamColour : uint8_t { Black, Red, Green };

struct ChipPictures {
    BitString chip;                    // 625 bits, row by row; "1" is a black pixel
    std::vector<StreamColour> stream;  // 36290 pixels, row by row
    int32_t header_data_bits = 0;      // HL: header, data and pad
    int32_t decision_bits = 0;         // SL - HL: the decision part
};

// The tablet's content bits from its 36290 pixels ("1" for a pixel that is not white): the
// first N bits, N being the number its last 16 pixels hold.
BitString tablet_bits_from_pixels(const BitString& pixels);

// Extends stream (to 36290 bits) and header_data (to 625 or more) as the drawing does, and
// computes both pictures. A length too large for its field shows "Decimal value to high" and
// leaves that field out.
ChipPictures draw_chip_bits(BitString& stream, BitString& header_data, const BitString& tablet,
                            RunObserver& observer);

}  // namespace quorvane
