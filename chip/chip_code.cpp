// chip_code.cpp -- chip bits, length fields, and the stream picture's colours.
#include "chip/chip_code.h"

#include <algorithm>
#include <string>

#include "engine/bit_codecs.h"
#include "engine/checked_math.h"

namespace quorvane {

BitString tablet_bits_from_pixels(const BitString& pixels) {
    const int32_t n = BitsToDecimal(CopyBits(pixels, static_cast<int64_t>(pixels.size()) - 15, 16));
    return CopyBits(pixels, 1, n);
}

ChipPictures draw_chip_bits(BitString& stream, BitString& header_data, const BitString& tablet,
                            RunObserver& observer) {
    const int32_t hl = checked_i32(header_data.size());
    const int32_t sl = checked_i32(stream.size());
    BitString l16;
    BitString l10;
    DecimalToBits(sl, 16, l16, observer);
    DecimalToBits(hl, 10, l10, observer);
    stream.append_repeated(
        true, sl < kTabletContentBits ? static_cast<size_t>(kTabletContentBits - sl) : 0);
    stream.append(l16);
    header_data.append_repeated(
        true, hl < kChipContentBits ? static_cast<size_t>(kChipContentBits - hl) : 0);
    header_data.append(l10);
    header_data.append(l16);

    ChipPictures out;
    out.header_data_bits = hl;
    out.decision_bits = sl - hl;
    // A chip bit "0" is a white pixel; positions past the bits stay black.
    out.chip = header_data.substr(0, std::min<size_t>(kChipBits, header_data.size()));
    out.chip.append_repeated(true, kChipBits - out.chip.size());

    out.stream.assign(kTabletPixels, StreamColour::Black);
    // A "0" after the header and data takes the last colour set: green where the tablet is "0"
    // as well, else whatever came before.
    StreamColour colour = StreamColour::Red;
    for (int32_t p = 0; p < kTabletPixels; ++p) {
        const bool zero = static_cast<size_t>(p) < stream.size() && !stream[static_cast<size_t>(p)];
        if (p < hl) {
            colour = StreamColour::Red;
        } else if (zero) {
            const size_t t = static_cast<size_t>(p - hl);
            if (t < tablet.size() && !tablet[t]) colour = StreamColour::Green;
        }
        if (zero) out.stream[static_cast<size_t>(p)] = colour;
    }
    return out;
}

}  // namespace quorvane
