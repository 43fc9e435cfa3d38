// zlib_buffer.h -- deflate and inflate of whole buffers in memory (the decision part of a stream).
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "zstream/zlib_errors.h"

struct z_stream_s;

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

// DeflateBuffer with one zlib state kept from call to call: zlib sets up its working memory
// (some 270 KB) once and is reset, not set up again, for every further buffer. The bytes are
// exactly DeflateBuffer's.
class BufferDeflater {
  public:
    explicit BufferDeflater(ZCompressionLevel level = ZCompressionLevel::Default);
    ~BufferDeflater();
    BufferDeflater(BufferDeflater&&) noexcept;
    BufferDeflater& operator=(BufferDeflater&&) noexcept;

    std::vector<uint8_t> deflate(const uint8_t* input, size_t length);

  private:
    ZCompressionLevel level_;
    std::unique_ptr<z_stream_s> stream_;  // set up at the first use; zlib keeps its address
};

// InflateBuffer with one zlib state kept from call to call; the results and errors are exactly
// InflateBuffer's.
class BufferInflater {
  public:
    BufferInflater();
    ~BufferInflater();
    BufferInflater(BufferInflater&&) noexcept;
    BufferInflater& operator=(BufferInflater&&) noexcept;

    std::vector<uint8_t> inflate(const uint8_t* input, size_t length, size_t size_hint,
                                 size_t max_output = std::numeric_limits<size_t>::max());

  private:
    std::unique_ptr<z_stream_s> stream_;
};

// The zlib states a run packs and unpacks its decision parts with.
struct ZlibCoders {
    BufferDeflater deflater{ZCompressionLevel::Default};
    BufferInflater inflater;
};

// True when bytes begin with a zlib stream header (deflate method, a window of at most 32 KiB,
// the header check right, no preset dictionary): the decision part of a stream packed with LZ77.
bool starts_like_zlib(const uint8_t* bytes, size_t length);

}  // namespace quorvane
