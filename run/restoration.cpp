// restoration.cpp -- one round per packing cycle, each checked against the header that began it.
#include "run/restoration.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine/checked_math.h"
#include "engine/errors.h"
#include "rodfile/rod_header.h"
#include "rodfile/rod_trailer.h"

namespace quorvane {

bool undo_cycle(RoundState& round, unsigned rod_size, RunObserver& observer) {
    const int64_t limit = int64_t{round.PassDepth} + kExtraReversePasses;
    for (int64_t passes = 1;; ++passes) {
        if (!ReversePass(round, rod_size, observer)) return false;
        checkpoint(observer);
        if (round.HighRods < 0) return false;
        if (round.DecisionBits.empty() && round.HighRods == 0) return true;
        if (passes >= limit) return false;
    }
}

bool restore_rod_stream(const BitString& stream, int32_t CurrentSize, unsigned rod_size, bool lz77,
                        int32_t BitsIn, RoundState& round, RunObserver& observer, ZlibCoders& zlib,
                        RestoredStream& out) {
    out = RestoredStream{};
    out.CurrentSize = CurrentSize;
    ReadInFileHeader(round, stream, CurrentSize, BitsIn, lz77, observer, zlib);
    out.OriginalSize = round.OriginalSize;
    checkpoint(observer);
    const int64_t expected_bits = int64_t{out.OriginalSize} * 8;
    // Packing needs at least one split rod, so no stream ever stands for an empty file.
    if (expected_bits == 0) return false;
    for (;;) {
        const int32_t cycle = round.CycleCount;
        out.cycles += 1;
        out.passes += round.header_passes;
        if (!undo_cycle(round, rod_size, observer)) return false;
        out.bits = std::move(round.DataBits);
        round.DataBits.clear();
        if (cycle <= 1) break;
        if (static_cast<int64_t>(out.bits.size()) > kMaxRodFileBytes * 8) return false;
        out.CurrentSize = checked_i32(out.bits.size() / 8);
        ReadInFileHeader(round, out.bits, out.CurrentSize, BitsIn, lz77, observer, zlib);
        out.OriginalSize = round.OriginalSize;
        // Every inner stream was made by the cycle before: its number counts down by one.
        if (round.CycleCount != cycle - 1) return false;
    }
    return static_cast<int64_t>(out.bits.size()) == expected_bits;
}

std::optional<RestoredStream> restore_rod_bytes(std::span<const uint8_t> bytes, unsigned rod_size,
                                                bool lz77, RunObserver& observer) {
    if (static_cast<int64_t>(bytes.size()) > kMaxRodFileBytes) return std::nullopt;
    ProceedOnlyObserver quiet(observer);
    RoundState round;
    ZlibCoders zlib;
    RestoredStream out;
    try {
        const BitString stream = BitString::from_bytes(bytes.data(), bytes.size());
        if (restore_rod_stream(stream, static_cast<int32_t>(bytes.size()), rod_size, lz77, 0, round,
                               quiet, zlib, out)) {
            return out;
        }
    } catch (const ERunCancelled&) {
        throw;
    } catch (const EngineError&) {
        // A decision part that does not inflate, or counters beyond their range: not restorable
        // under these settings.
    }
    return std::nullopt;
}

std::optional<RestoredStream> restore_rod_bytes(std::span<const uint8_t> bytes, unsigned rod_size,
                                                bool lz77) {
    SilentObserver silent;
    return restore_rod_bytes(bytes, rod_size, lz77, silent);
}

bool RestoreStream(Engine& e) {
    RunState& run = e.run;
    run.content_checked = false;
    std::vector<uint8_t> file = run.StreamBits.to_bytes();
    file.resize(std::min(file.size(), static_cast<size_t>(std::max(run.CurrentSize, 0))));
    const TrailerScan scan = find_trailer(file);
    // A tag whose checksum does not match is a damaged file, not a file without a trailer: a
    // stream damaged behind an intact tag must not be restored as if nobody had checked it.
    if (scan.state == TrailerState::Damaged) throw ECorruptData(std::string(kChecksumMismatch));
    if (scan.state == TrailerState::Valid) {
        run.StreamBits.truncate(scan.stream_bytes * 8);
        run.CurrentSize = checked_i32(scan.stream_bytes);
    }
    const BitString stream = std::move(run.StreamBits);
    run.StreamBits.clear();
    RestoredStream out;
    const bool restored =
        restore_rod_stream(stream, run.CurrentSize, run.RodSize, e.live(LiveSetting::Lz77).lz77,
                           run.BitsIn, run.round, e.observer, run.zlib, out);
    run.OriginalSize = out.OriginalSize;
    run.CurrentSize = out.CurrentSize;
    run.cycles_undone = out.cycles;
    run.passes_undone = out.passes;
    if (!restored) return false;
    run.StreamBits = std::move(out.bits);
    if (scan.state == TrailerState::Valid) {
        if (!trailer_matches(scan.trailer, run.StreamBits.to_bytes())) {
            run.StreamBits.clear();
            throw ECorruptData(std::string(kChecksumMismatch));
        }
        run.content_checked = true;
    }
    e.observer.restored(run.OriginalSize);
    checkpoint(e.observer);
    return true;
}

}  // namespace quorvane
