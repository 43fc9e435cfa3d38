// zlib_buffer.h -- deflate and inflate of whole buffers in memory (the decision part of a stream).
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "zstream/zlib_errors.h"

namespace quorvane {

// One complete zlib stream of the input (deflated method, window bits 15, memory level 8,
// default strategy). A zlib failure raises EZCompressionError with zlib's message.
std::vector<uint8_t> DeflateBuffer(const uint8_t* input, size_t length, ZCompressionLevel level);

// The inflated content of the zlib stream at the start of input. size_hint (0: let the operation
// choose) is the first capacity. An inflated result longer than max_output is corrupt data
// ("data error"); a stream that is cut short or empty gives "buffer error"; any other zlib
// failure raises EZDecompressionError with zlib's message.
std::vector<uint8_t> InflateBuffer(const uint8_t* input, size_t length, size_t size_hint,
                                   size_t max_output = std::numeric_limits<size_t>::max());

// True when bytes begin with a zlib stream header (deflate method, a window of at most 32 KiB,
// the header check right, no preset dictionary): the decision part of a stream packed with LZ77.
bool starts_like_zlib(const uint8_t* bytes, size_t length);

}  // namespace quorvane
