// centrifuge_cycle.h -- one packing cycle: passes to the depth threshold, a verified rod stream,
// and the decision what the run does next (another cycle, write, roll back, or give up).
#pragma once

#include <cstdint>

#include "engine/bit_string.h"
#include "engine/engine_state.h"

namespace quorvane {

// Passes stop when the data has shrunk to depth percent of the cycle's start length: the
// percentage rounded to the nearest bit.
int64_t DepthThreshold(int64_t depth, int64_t start_length);

// True when a stream of bytes reaches the target level (percent of the original size).
bool TargetReached(int32_t level, int32_t original_size, int64_t bytes);

// Restores candidate (a rod stream) by one cycle with the run's rod size and the given LZ77
// setting, and tells whether that gives exactly expected.
bool RestoresTo(Engine& e, const BitString& candidate, const BitString& expected, bool lz77);

// One cycle over DataBits (equal to StreamBits when called).
void CentrifugeCycle(Engine& e);

}  // namespace quorvane
