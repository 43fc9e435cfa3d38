// rod_header.cpp -- building and parsing the rod stream's header.
#include "rodfile/rod_header.h"

#include <algorithm>
#include <utility>

#include "engine/bit_codecs.h"
#include "engine/checked_math.h"

#include "rodfile/decision_packing.h"

namespace quorvane {

std::optional<BitString> encode_header(const RodHeader& header) {
    const std::array<int32_t, 7> fields = {header.CycleCount,
                                           header.PassDepth,
                                           header.TrailingBitCount,
                                           header.LowRods,
                                           encode_rod_balance(header.RodBalance),
                                           header.DataBitCount,
                                           header.SourceByteCount};
    if (header.RodBalance < kMinRodBalance || header.RodBalance > kMaxRodBalance) {
        return std::nullopt;
    }
    BitString bits;
    bits.reserve(kHeaderBits);
    for (size_t i = 0; i < fields.size(); ++i) {
        // A field written shifted would corrupt the whole stream: no header instead.
        if (fields[i] < 0 || !fits_width(fields[i], kHeaderFieldWidths[i])) return std::nullopt;
        bits.append_bits(static_cast<uint64_t>(fields[i]),
                         static_cast<unsigned>(kHeaderFieldWidths[i]));
    }
    return bits;
}

RodHeader decode_header(const BitString& stream) {
    const BitString header = CopyBits(stream, 1, kHeaderBits);
    const auto field = [&](size_t i) {
        return BitsToDecimal(CopyBits(header, header_field_position(i), kHeaderFieldWidths[i]));
    };
    RodHeader fields;
    fields.CycleCount = field(0);
    fields.PassDepth = field(1);
    fields.TrailingBitCount = field(2);
    fields.LowRods = field(3);
    fields.RodBalance = decode_rod_balance(field(4));
    fields.DataBitCount = field(5);
    fields.SourceByteCount = field(6);
    return fields;
}

std::optional<RodStream> CreateFileHeader(const CycleCounts& counts, const BitString& DataBits,
                                          const BitString& DecisionStreamBits,
                                          RunObserver& observer) {
    RodHeader header;
    header.CycleCount = counts.CycleCount;
    header.PassDepth = counts.PassDepth;
    header.TrailingBitCount = static_cast<int32_t>(DataBits.size() % 8);
    header.LowRods = counts.LowRods;
    header.RodBalance = checked_sub(counts.HighRods, counts.LowRods);
    header.DataBitCount = checked_i32(DataBits.size());
    header.SourceByteCount = counts.SourceByteCount;
    std::optional<BitString> header_bits = encode_header(header);
    if (!header_bits) return std::nullopt;

    RodStream out;
    BitString& stream = out.StreamBits;
    stream = std::move(*header_bits);
    stream.reserve(kHeaderBits + DataBits.size() + 8 + DecisionStreamBits.size());
    stream.append(DataBits);
    checkpoint(observer);
    stream.append_repeated(false, static_cast<size_t>(pad_bits(header.DataBitCount)));
    checkpoint(observer);
    out.HeaderDataBits = stream;
    stream.append(DecisionStreamBits);
    observer.stream_built(static_cast<int64_t>(stream.size() / 8));
    checkpoint(observer);
    return out;
}

void ReadInFileHeader(RoundState& round, const BitString& StreamBits, int32_t CurrentSize,
                      int32_t BitsIn, bool lz77, RunObserver& observer) {
    ZlibCoders fresh;
    ReadInFileHeader(round, StreamBits, CurrentSize, BitsIn, lz77, observer, fresh);
}

void ReadInFileHeader(RoundState& round, const BitString& StreamBits, int32_t CurrentSize,
                      int32_t BitsIn, bool lz77, RunObserver& observer, ZlibCoders& zlib) {
    const RodHeader header = decode_header(StreamBits);
    // A fresh round that keeps the buffers its reverse passes reuse.
    ReversePlan plan = std::move(round.plan);
    BitString spare = std::move(round.spare);
    round = RoundState{};
    round.plan = std::move(plan);
    round.spare = std::move(spare);
    round.CycleCount = header.CycleCount;
    round.PassDepth = header.PassDepth;
    round.header_passes = header.PassDepth;
    round.TrailingBitCount = header.TrailingBitCount;
    round.LowRods = header.LowRods;
    round.HighRods = checked_add(header.RodBalance, header.LowRods);
    round.DataBitCount = header.DataBitCount;
    round.OriginalSize = header.SourceByteCount;

    round.DataBits = CopyBits(StreamBits, kHeaderBits + 1, round.DataBitCount);
    const int64_t pad = pad_bits(round.DataBitCount);
    const int64_t decisions_start = int64_t{kHeaderBits} + 1 + round.DataBitCount + pad;
    const int64_t decisions_length =
        int64_t{CurrentSize} * 8 - kHeaderBits - round.DataBitCount - pad;
    round.DecisionBits = UnpackDecisionStream(
        CopyBits(StreamBits, decisions_start, decisions_length), round.LowRods, lz77, zlib);

    if (round.TrailingBitCount > 0) {
        round.TrailingPending = true;
        const auto length = static_cast<int64_t>(round.DataBits.size());
        round.TrailingBits =
            CopyBits(round.DataBits, length - round.TrailingBitCount + 1, round.TrailingBitCount);
        round.DataBits.truncate(
            static_cast<size_t>(std::max<int64_t>(0, length - round.TrailingBitCount)));
    }

    RoundRecord record;
    record.cycle = round.CycleCount;
    record.passes = round.PassDepth;
    record.stream_bytes = CurrentSize;
    record.data_bits = round.DataBitCount;
    record.low_rods = round.LowRods;
    record.high_rods = round.HighRods;
    record.original_bytes = round.OriginalSize;
    record.bits_in = BitsIn;
    observer.round_started(record);
    checkpoint(observer);
}

}  // namespace quorvane
