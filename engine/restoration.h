// restoration.h -- undoing packing cycles: reverse passes over a stream, newest cycle first.
//
// A reverse pass reads rods from the start of the data: a rod whose bit RodSize-1 is 1 was split
// and gets back the newest unused decision bit; any other rod is whole. The bits no rod took go
// back in front, as a forward pass had moved them to the end.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/bit_string.h"
#include "engine/engine_state.h"

namespace quorvane {

// The four lines shown when a stream cannot be restored.
inline constexpr std::string_view kRestoreFailedMessage =
    "This attempt to restore a fractalized file has failed\r\n"
    "You either used a corrupted file or did something illegal\r\n"
    "This vexion mechanism can not see ramdomly created wholes\r\n"
    "Please contakt Korrindal for details to resolve this problem";

// Extra reverse passes a cycle may need beyond the passes that packed it.
inline constexpr int32_t kExtraReversePasses = 64;

// Restores one pass's rods from data into restored. decisions_left counts the decision bits of
// decisions not yet used (they are used from the end); high_rods counts whole rods still to come.
// consumed receives the data bits the rods took. False when a split rod finds no decision bit
// left, or the whole rods run out (the stream is then not one this program wrote).
bool reverse_rods(const BitString& data, unsigned rod_size, const BitString& decisions,
                  int64_t& decisions_left, int32_t& high_rods, BitString& restored,
                  size_t& consumed, bool allow_wide = true);

// One reverse pass over DataBits, with its statistics. False when the stream proves corrupt.
bool ReversePass(Engine& e);

// Runs reverse passes until the header just read is used up: its decisions and whole rods. The
// restored bits are left in DataBits. False when the stream proves corrupt or needs more than
// PassDepth + 64 passes.
bool UndoCycle(Engine& e);

// Restores the rod stream in StreamBits (CurrentSize bytes) down to the bits that were packed,
// reading the inner headers as it goes. On failure shows the failure message, empties
// StreamBits and returns false.
bool RestoreStream(Engine& e);

}  // namespace quorvane
