// bit_codecs.cpp -- substring, fixed-width integer coding, byte expansion and byte packing.
#include "engine/bit_codecs.h"

#include "engine/checked_math.h"
#include "engine/errors.h"

namespace quorvane {

BitString CopyBits(const BitString& bits, int64_t start, int64_t count) {
    const auto length = static_cast<int64_t>(bits.size());
    if (length == 0 || count < 0) return {};
    if (start < 1) start = 1;
    if (start > length) return {};
    const int64_t available = length - start + 1;
    return bits.substr(static_cast<size_t>(start - 1),
                       static_cast<size_t>(count < available ? count : available));
}

bool DecimalToBits(int32_t value, int32_t width, BitString& destination, RunObserver& observer) {
    if (width < 0 || width > 30) throw EInvalidOp();
    if (!fits_width(value, width)) {
        observer.message(Message::DecimalTooHigh);
        return false;
    }
    BitString out;
    out.append_bits(value < 0 ? 0 : static_cast<uint64_t>(value), static_cast<unsigned>(width));
    destination = std::move(out);
    return true;
}

int32_t BitsToDecimal(const BitString& bits) {
    if (bits.size() > 31) throw EInvalidOp();
    return static_cast<int32_t>(bits.extract(0, static_cast<unsigned>(bits.size())));
}

int32_t BitsToBuffer(const BitString& bits, std::vector<uint8_t>& buffer) {
    const int32_t n = checked_i32(bits.size() / 8);
    const size_t needed = n > 0 ? static_cast<size_t>(n) : 1;
    if (buffer.size() < needed) buffer.resize(needed);
    // Byte 0 takes the first group even when it is shorter than 8 bits.
    const unsigned first = bits.size() < 8 ? static_cast<unsigned>(bits.size()) : 8;
    buffer[0] = static_cast<uint8_t>(bits.extract(0, first));
    for (int32_t k = 1; k < n; ++k) {
        buffer[static_cast<size_t>(k)] =
            static_cast<uint8_t>(bits.extract(8 * static_cast<size_t>(k), 8));
    }
    return n;
}

}  // namespace quorvane
