// restoration.h -- undoing packing cycles, newest first, with bounds a corrupt stream cannot pass.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/bit_string.h"
#include "engine/front_end.h"
#include "engine/reverse_pass.h"
#include "run/run_state.h"

namespace quorvane {

// The four lines shown when a stream cannot be restored.
inline constexpr std::string_view kRestoreFailedMessage =
    "This attempt to restore a fractalized file has failed\r\n"
    "You either used a corrupted file or did something illegal\r\n"
    "This vexion mechanism can not see ramdomly created wholes\r\n"
    "Please contakt Korrindal for details to resolve this problem";

// A rod file whose integrity trailer does not match it or what it restores to.
inline constexpr std::string_view kChecksumMismatch = "checksum mismatch";

// Extra reverse passes a cycle may need beyond the passes that packed it.
inline constexpr int32_t kExtraReversePasses = 64;

// Runs reverse passes until the round's header is used up: its decisions and whole rods. The
// restored bits are left in DataBits. False when the stream proves corrupt or needs more than
// PassDepth + 64 passes.
bool undo_cycle(RoundState& round, unsigned rod_size, FrontEnd& ui);

// Restores the rod stream in StreamBits (CurrentSize bytes) down to the bits that were packed,
// reading the inner headers as it goes. On failure shows the failure message, empties
// StreamBits and returns false. A file that ends in an integrity trailer is restored from the
// stream before it, and the result is checked against it (content_checked); a trailer that does
// not match raises ECorruptData "checksum mismatch".
bool RestoreStream(Engine& e);

}  // namespace quorvane
