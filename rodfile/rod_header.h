// rod_header.h -- the rod stream: a 140-bit header of seven fields, the data, a pad of "0" bits
// to a byte boundary, and the decision part.
#pragma once

#include <array>
#include <cstdint>
#include <numeric>
#include <string>

#include "engine/engine_state.h"

namespace quorvane {

// Field widths in stream order: CycleCount, PassDepth, TrailingBitCount, LowRods, RodBalance,
// DataBitCount, SourceByteCount.
inline constexpr std::array<int32_t, 7> kHeaderFieldWidths = {15, 16, 3, 27, 28, 27, 24};
inline constexpr int32_t kHeaderBits =
    std::accumulate(kHeaderFieldWidths.begin(), kHeaderFieldWidths.end(), 0);
static_assert(kHeaderBits == 140);

// 1-based position of field i: one past the widths before it.
constexpr int32_t HeaderFieldPosition(size_t field) {
    int32_t position = 1;
    for (size_t i = 0; i < field; ++i)
        position += kHeaderFieldWidths[i];
    return position;
}

// The rod balance (high minus low rods) is carried as a 28-bit two's-complement number.
inline constexpr int32_t kMaxRodBalance = (1 << 27) - 1;
inline constexpr int32_t kMinRodBalance = -(1 << 27);
inline int32_t EncodeRodBalance(int32_t balance) {
    return balance & ((1 << 28) - 1);
}
inline int32_t DecodeRodBalance(int32_t field) {
    return field >= (1 << 27) ? field - (1 << 28) : field;
}

// "0" bits after header + data up to a byte boundary (0..7).
inline int32_t PadBits(int64_t data_bit_count) {
    return static_cast<int32_t>((8 - (kHeaderBits + data_bit_count) % 8) % 8);
}

// "Vexion Depth : " with the cycle and pass; cycle 1 shows the pass alone unless both are asked.
std::string DepthText(int32_t cycle, int32_t pass, bool always_both = false);
void SetDepthLabel(Engine& e, std::string text);

// Builds StreamBits (header, DataBits, pad, DecisionStreamBits) and HeaderDataBits from the
// cycle's state. Returns false, without a message and with StreamBits and HeaderDataBits
// unchanged, when a value does not fit its field.
bool CreateFileHeader(Engine& e);

// Parses the rod stream in StreamBits (CurrentSize bytes long) into the state: the counters,
// DataBits less its trailing bits, TrailingBits, and the decision bits. Every cut is clipped to
// the stream, so a short stream reads as zeros and empty parts.
void ReadInFileHeader(Engine& e);
void ReadInFileHeader(Engine& e, bool lz77);

}  // namespace quorvane
