// decision_packing.h -- closing a cycle's decisions into the decision stream, and back.
//
// The decision stream is a whole number of bytes: the decision bytes as they are (LZ77 off), or
// one zlib stream of them at zlib's default level (LZ77 on). It carries no length of its own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/bit_string.h"
#include "engine/run_observer.h"
#include "zstream/zlib_buffer.h"

namespace quorvane {

// The largest deflated decision part a stream may carry.
inline constexpr size_t kMaxDeflatedDecisionBytes = 32768;

// Fills the last, incomplete decision byte with "0" bits.
void AddTrailingBitsToDecisionArray(BitString& DecisionArray);

// Closes the decisions and returns the decision stream. Sets DecisionOverflow (and returns the
// empty string) when the deflated decisions exceed 32768 bytes; once set in a run it stays set
// and every later call returns the empty string.
BitString PackDecisionStream(BitString& DecisionArray, bool& DecisionOverflow, bool lz77,
                             RunObserver& observer);
// The same, deflating with the run's zlib state.
BitString PackDecisionStream(BitString& DecisionArray, bool& DecisionOverflow, bool lz77,
                             RunObserver& observer, ZlibCoders& zlib);

// The first count decision bits held in tail (fewer when tail holds fewer). With LZ77 on, tail
// is inflated first; a tail that is not a zlib stream raises EZDecompressionError, and so does
// one that inflates to more bytes than count bits can use.
BitString UnpackDecisionStream(const BitString& tail, int32_t count, bool lz77);
// The same, inflating with the run's zlib state.
BitString UnpackDecisionStream(const BitString& tail, int32_t count, bool lz77, ZlibCoders& zlib);

}  // namespace quorvane
