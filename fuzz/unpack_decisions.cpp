// Fuzz target: arbitrary bytes as the decision part of a stream, with a low-rod count and the
// LZ77 setting taken from the first five bytes.
#include <cstdlib>

#include "engine/errors.h"
#include "engine/run_observer.h"
#include "rodfile/decision_packing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quorvane;
    if (size < 5) return 0;
    const bool lz77 = (data[0] & 1) != 0;
    // The header's field holds 27 bits.
    const auto count = static_cast<int32_t>(
        (uint32_t{data[1]} << 24 | uint32_t{data[2]} << 16 | uint32_t{data[3]} << 8 | data[4]) &
        ((1U << 27) - 1));
    try {
        const BitString decisions =
            UnpackDecisionStream(BitString::from_bytes(data + 5, size - 5), count, lz77);
        if (decisions.size() > static_cast<size_t>(count)) std::abort();
    } catch (const EngineError&) {
    }
    return 0;
}
