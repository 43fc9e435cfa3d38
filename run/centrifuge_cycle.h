// centrifuge_cycle.h -- one packing cycle: passes to the depth threshold, a verified rod stream,
// and the decision what the run does next (another cycle, write, roll back, or give up).
#pragma once

#include <cstdint>

#include "engine/bit_string.h"
#include "engine/run_observer.h"
#include "run/run_state.h"

namespace quorvane {

enum class CycleEnd {
    NextCycle,      // a new best stream was kept: the run wants another cycle
    Finalised,      // StreamBits holds the stream to write
    RolledBack,     // StreamBits holds the best stream of an earlier cycle, to write
    NotSuccessful,  // there is no stream worth writing
};

// Passes stop when the data has shrunk to depth percent of the cycle's start length: the
// percentage rounded to the nearest bit.
int64_t depth_threshold(int64_t depth, int64_t start_length);

// True when a stream of bytes reaches the target level (percent of the original size).
bool target_reached(int32_t level, int32_t original_size, int64_t bytes);

// Restores candidate (a rod stream) by one cycle with the given rod size and LZ77 setting, and
// tells whether that gives exactly expected. Only proceed() reaches observer; zlib inflates; round
// is the scratch the restoration runs in (its buffers are reused).
bool restores_to(const BitString& candidate, const BitString& expected, unsigned rod_size,
                 bool lz77, RunObserver& observer, ZlibCoders& zlib, RoundState& round);

// One cycle over the run's StreamBits. The stream it keeps or rolls back to is left in
// StreamBits and HeaderDataBits; its record in run.last_cycle, for the caller to report once it
// has counted the cycle.
CycleEnd CentrifugeCycle(Engine& e);

}  // namespace quorvane
