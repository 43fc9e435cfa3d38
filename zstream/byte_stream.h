// byte_stream.h -- the small stream interface the zlib streams work over, and a stream copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace quorvane {

enum class SeekOrigin { Begin, Current, End };

// A sequence of bytes with a position. Sizes and positions are 64-bit throughout.
class ByteStream {
  public:
    virtual ~ByteStream() = default;

    // Delivers up to count bytes; 0 only at the end of the data (a pipe may deliver fewer).
    virtual size_t read(void* buffer, size_t count) = 0;
    // Takes up to count bytes and returns how many it took: fewer only when the medium is full.
    virtual size_t write(const void* data, size_t count) = 0;
    // Moves the position and returns the new one.
    virtual int64_t seek(int64_t offset, SeekOrigin origin) = 0;
    // The size in bytes (by seeking to the end and back), or -1 where the stream cannot tell.
    virtual int64_t size();

    int64_t position() { return seek(0, SeekOrigin::Current); }
    // Writes all of data or raises EInOutError "Stream write error".
    void write_buffer(const void* data, size_t count);
};

// The chunk in which copy_stream moves bytes.
inline constexpr size_t kCopyChunk = 61440;

// Reads source from its position to its end and writes everything to target, kCopyChunk bytes at
// a time; after each chunk calls moved (if set) with the bytes moved so far. Returns the total.
uint64_t copy_stream(ByteStream& target, ByteStream& source,
                     const std::function<void(uint64_t)>& moved = {});

}  // namespace quorvane
