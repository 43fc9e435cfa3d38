// restoration.h -- undoing packing cycles, newest first, with bounds a corrupt stream cannot pass.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "engine/bit_string.h"
#include "engine/reverse_pass.h"
#include "engine/run_observer.h"
#include "run/run_state.h"

namespace quorvane {

// A rod file whose integrity trailer does not match it or what it restores to.
inline constexpr std::string_view kChecksumMismatch = "checksum mismatch";

// Extra reverse passes a cycle may need beyond the passes that packed it.
inline constexpr int32_t kExtraReversePasses = 64;

// Runs reverse passes until the round's header is used up: its decisions and whole rods. The
// restored bits are left in DataBits. False when the stream proves corrupt or needs more than
// PassDepth + 64 passes.
bool undo_cycle(RoundState& round, unsigned rod_size, RunObserver& observer);

// What a restoration found besides the restored bits.
struct RestoredStream {
    BitString bits;            // the bits that were packed (empty on failure)
    int32_t OriginalSize = 0;  // from the last header read
    int32_t CurrentSize = 0;   // bytes of the last stream whose header was read
    int32_t cycles = 0;        // packing cycles undone
    int64_t passes = 0;        // the passes that packed them, as their headers say
};

// The restoration itself: a rod stream of CurrentSize bytes, the rod size and the LZ77 setting
// in; true with the restored bits in out, or false for a stream that does not restore (no
// message shown). Every check applies: bounded reverse passes, inner headers counting down, and
// exactly 8 x OriginalSize bits at the end. round is the working state (a front end may watch
// it); observer gets the records. A decision part that does not inflate and counters that overflow
// raise their errors; zlib is the state the decision parts inflate with. Touches nothing else,
// so that several may run at once.
bool restore_rod_stream(const BitString& stream, int32_t CurrentSize, unsigned rod_size, bool lz77,
                        int32_t BitsIn, RoundState& round, RunObserver& observer, ZlibCoders& zlib,
                        RestoredStream& out);

// The same over the bytes of a rod file, for trying settings: the restored stream, or nullopt
// when it does not restore under these settings, raised errors included. Only proceed() reaches
// observer, which may throw ERunCancelled to stop it.
std::optional<RestoredStream> restore_rod_bytes(std::span<const uint8_t> bytes, unsigned rod_size,
                                                bool lz77, RunObserver& observer);
std::optional<RestoredStream> restore_rod_bytes(std::span<const uint8_t> bytes, unsigned rod_size,
                                                bool lz77);

// Restores the rod stream in StreamBits (CurrentSize bytes) down to the bits that were packed,
// reading the inner headers as it goes. On failure empties StreamBits and returns false (the
// caller reports the outcome). A file that ends in an integrity trailer is restored from the
// stream before it, and the result is checked against it (content_checked); a trailer that does
// not match raises ECorruptData "checksum mismatch".
bool RestoreStream(Engine& e);

}  // namespace quorvane
