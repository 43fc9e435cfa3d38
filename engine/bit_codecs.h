// bit_codecs.h -- the five shared operations on bit strings, with their positions counted from 1.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/bit_string.h"
#include "engine/run_observer.h"

namespace quorvane {

// The substring rule every step relies on: an empty source or a start past its end gives the
// empty string, a start below 1 counts as 1 without reducing the count, a negative count gives
// the empty string, and the count is clipped at the end of the source.
BitString CopyBits(const BitString& bits, int64_t start, int64_t count);

// Replaces destination by value in exactly width (0..30) bits. A value of 2^width or more is
// refused: the message "Decimal value to high" is shown and destination is left as it was (the
// result is then false). A negative value gives width zeros without a message.
bool DecimalToBits(int32_t value, int32_t width, BitString& destination, RunObserver& observer);

// True when DecimalToBits would accept value at this width without a message.
inline bool fits_width(int64_t value, int32_t width) {
    return value < (int64_t{1} << width);
}

// The bits as an unsigned number (empty gives 0; a short string is not padded). More than 31
// bits raise "Invalid floating point operation".
int32_t BitsToDecimal(const BitString& bits);

// Appends the byte's 8 bits, most significant first.
inline void ByteToBits(uint8_t byte, BitString& target) {
    target.append_bits(byte, 8);
}

// Packs the bits into buffer, 8 to a byte, and returns n = (length div 8), the number of whole
// bytes. The first group is converted even when shorter than 8 bits (byte 0 is then written but
// not counted); bits after the last whole byte are ignored. The buffer grows as needed.
int32_t BitsToBuffer(const BitString& bits, std::vector<uint8_t>& buffer);

}  // namespace quorvane
