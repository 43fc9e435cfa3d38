// decision_packing.cpp -- closing, deflating and inflating the decision bytes.
#include "rodfile/decision_packing.h"

#include <algorithm>
#include <vector>

namespace quorvane {

void AddTrailingBitsToDecisionArray(BitString& DecisionArray) {
    const size_t pending = DecisionArray.size() % 8;
    if (pending != 0) DecisionArray.append_repeated(false, 8 - pending);
}

BitString PackDecisionStream(BitString& DecisionArray, bool& DecisionOverflow, bool lz77,
                             RunObserver& observer) {
    ZlibCoders fresh;
    return PackDecisionStream(DecisionArray, DecisionOverflow, lz77, observer, fresh);
}

BitString PackDecisionStream(BitString& DecisionArray, bool& DecisionOverflow, bool lz77,
                             RunObserver& observer, ZlibCoders& zlib) {
    AddTrailingBitsToDecisionArray(DecisionArray);
    BitString stream = DecisionArray;
    if (lz77 && !DecisionOverflow) {
        const std::vector<uint8_t> bytes = DecisionArray.to_bytes();
        const std::vector<uint8_t> deflated = zlib.deflater.deflate(bytes.data(), bytes.size());
        if (deflated.size() > kMaxDeflatedDecisionBytes) {
            DecisionOverflow = true;
        } else {
            stream = BitString::from_bytes(deflated);
        }
    }
    if (DecisionOverflow) {
        observer.decisions_packed(-1);
        return {};
    }
    observer.decisions_packed(static_cast<int64_t>(stream.size() / 8));
    return stream;
}

BitString UnpackDecisionStream(const BitString& tail, int32_t count, bool lz77) {
    ZlibCoders fresh;
    return UnpackDecisionStream(tail, count, lz77, fresh);
}

BitString UnpackDecisionStream(const BitString& tail, int32_t count, bool lz77, ZlibCoders& zlib) {
    const size_t wanted = count > 0 ? static_cast<size_t>(count) : 0;
    if (!lz77) return tail.substr(0, std::min(wanted, tail.size()));
    const std::vector<uint8_t> bytes = tail.to_bytes();
    // A decision part that inflates beyond the bytes count decisions fill is not one we wrote.
    const std::vector<uint8_t> inflated =
        zlib.inflater.inflate(bytes.data(), bytes.size(), 0, (wanted + 7) / 8);
    BitString decisions = BitString::from_bytes(inflated);
    decisions.truncate(wanted);
    return decisions;
}

}  // namespace quorvane
