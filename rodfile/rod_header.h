// rod_header.h -- the rod stream: a 140-bit header of seven fields, the data, a pad of "0" bits
// to a byte boundary, and the decision part.
#pragma once

#include <array>
#include <cstdint>
#include <numeric>
#include <optional>

#include "engine/bit_string.h"
#include "engine/reverse_pass.h"
#include "engine/run_observer.h"
#include "zstream/zlib_buffer.h"

namespace quorvane {

// Field widths in stream order: CycleCount, PassDepth, TrailingBitCount, LowRods, RodBalance,
// DataBitCount, SourceByteCount.
inline constexpr std::array<int32_t, 7> kHeaderFieldWidths = {15, 16, 3, 27, 28, 27, 24};
inline constexpr int32_t kHeaderBits =
    std::accumulate(kHeaderFieldWidths.begin(), kHeaderFieldWidths.end(), 0);
static_assert(kHeaderBits == 140);

// 1-based position of field i: one past the widths before it.
constexpr int32_t header_field_position(size_t field) {
    int32_t position = 1;
    for (size_t i = 0; i < field; ++i)
        position += kHeaderFieldWidths[i];
    return position;
}

// The caps that the fields set: at most 32767 cycles, 65535 passes per cycle.
inline constexpr int32_t kMaxCycleCount = (1 << kHeaderFieldWidths[0]) - 1;
inline constexpr int32_t kMaxPassDepth = (1 << kHeaderFieldWidths[1]) - 1;
// The rod balance (high minus low rods) is carried as a 28-bit two's-complement number.
inline constexpr int32_t kMaxRodBalance = (1 << (kHeaderFieldWidths[4] - 1)) - 1;
inline constexpr int32_t kMinRodBalance = -(1 << (kHeaderFieldWidths[4] - 1));
// The largest rod file, 16,777,215 bytes: the 24-bit source size field describes no more.
inline constexpr int64_t kMaxRodFileBytes = (int64_t{1} << kHeaderFieldWidths[6]) - 1;

// The seven fields, RodBalance decoded to its signed value.
struct RodHeader {
    int32_t CycleCount = 0;
    int32_t PassDepth = 0;
    int32_t TrailingBitCount = 0;
    int32_t LowRods = 0;
    int32_t RodBalance = 0;
    int32_t DataBitCount = 0;
    int32_t SourceByteCount = 0;
};

inline int32_t encode_rod_balance(int32_t balance) {
    return balance & ((1 << kHeaderFieldWidths[4]) - 1);
}
inline int32_t decode_rod_balance(int32_t field) {
    return field > kMaxRodBalance ? field - (1 << kHeaderFieldWidths[4]) : field;
}

// "0" bits after header + data up to a byte boundary (0..7).
inline int32_t pad_bits(int64_t data_bit_count) {
    return static_cast<int32_t>((8 - (kHeaderBits + data_bit_count) % 8) % 8);
}

// The 140 header bits, or nullopt when a value does not fit its field.
std::optional<BitString> encode_header(const RodHeader& header);

// The fields of the header at the start of stream. Every cut is clipped to the stream, so a short
// stream reads as zeros.
RodHeader decode_header(const BitString& stream);

// What a cycle's header records besides its data.
struct CycleCounts {
    int32_t CycleCount = 0;
    int32_t PassDepth = 0;
    int32_t LowRods = 0;
    int32_t HighRods = 0;
    int32_t SourceByteCount = 0;
};

// A rod stream, and its part before the decisions.
struct RodStream {
    BitString StreamBits;      // header, data, pad and decision part
    BitString HeaderDataBits;  // header, data and pad
};

// Builds the rod stream of a cycle from its counts, its data and its decision part. nullopt,
// without a message, when a value does not fit its field.
std::optional<RodStream> CreateFileHeader(const CycleCounts& counts, const BitString& DataBits,
                                          const BitString& DecisionStreamBits,
                                          RunObserver& observer);

// Parses the rod stream (CurrentSize bytes long) into a fresh round: the fields, DataBits less
// its trailing bits, TrailingBits, and the decision bits (inflated when lz77 is on); shows the
// header's statistics (BitsIn: the bits the run read). Every cut is clipped to the stream.
void ReadInFileHeader(RoundState& round, const BitString& StreamBits, int32_t CurrentSize,
                      int32_t BitsIn, bool lz77, RunObserver& observer);
// The same, inflating with the run's zlib state.
void ReadInFileHeader(RoundState& round, const BitString& StreamBits, int32_t CurrentSize,
                      int32_t BitsIn, bool lz77, RunObserver& observer, ZlibCoders& zlib);

}  // namespace quorvane
