// zstream.h -- streams that put zlib between their caller and another stream.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "zstream/byte_stream.h"
#include "zstream/zlib_errors.h"

namespace quorvane {

// What both zlib streams share: the underlying stream (not owned), where this object last left
// it, the zlib record and a 65536-byte buffer of compressed bytes.
class TCustomZStream : public ByteStream {
  public:
    static constexpr size_t kBufferSize = 65536;

    TCustomZStream(const TCustomZStream&) = delete;
    TCustomZStream& operator=(const TCustomZStream&) = delete;

    // Called after every exchange of a buffer with the underlying stream.
    std::function<void()> on_progress;

  protected:
    explicit TCustomZStream(ByteStream& underlying);

    void progress() const {
        if (on_progress) on_progress();
    }
    // Someone else may have moved the underlying stream since this object last used it.
    void restore_position();

    ByteStream& strm_;
    int64_t strm_pos_;
    z_stream zrec_{};
    std::unique_ptr<uint8_t[]> buffer_;
};

// Deflates everything written to it into one zlib stream on the underlying stream (window bits
// 15, memory level 8, default strategy). Invalid operations raise EZCompressionError.
class TZCompressionStream : public TCustomZStream {
  public:
    TZCompressionStream(ByteStream& target, ZCompressionLevel level);
    // Releases zlib; a stream not finished stays incomplete on the underlying stream.
    ~TZCompressionStream() override;

    size_t read(void* buffer, size_t count) override;
    size_t write(const void* data, size_t count) override;
    // Only offset 0 from the current position: the number of bytes taken in so far.
    int64_t seek(int64_t offset, SeekOrigin origin) override;

    // Ends the zlib stream: the rest of the deflate data and the Adler-32 trailer are written.
    void finish();

  private:
    void write_out(size_t filled);
    void end() noexcept;

    uint64_t taken_ = 0;
    bool ended_ = false;
};

// Inflates the zlib stream read from the underlying stream. Once the stream has ended, the
// underlying stream stands just behind it. Invalid operations raise EZDecompressionError.
class TZDecompressionStream : public TCustomZStream {
  public:
    explicit TZDecompressionStream(ByteStream& source);
    ~TZDecompressionStream() override;

    // Fewer than count bytes only at the end of the zlib stream or of the underlying stream.
    size_t read(void* buffer, size_t count) override;
    size_t write(const void* data, size_t count) override;
    // Returns the bytes delivered since the last reset. Offset 0 from the beginning starts over;
    // a positive offset from the current position, or one from the beginning beyond what was
    // delivered, reads ahead; offset 0 from the end reads to the end, giving the total size.
    int64_t seek(int64_t offset, SeekOrigin origin) override;

    // True once zlib has seen the whole stream, its Adler-32 trailer checked.
    bool at_end() const { return ended_; }

  private:
    static constexpr size_t kSkipChunk = 8192;

    void reset();
    void skip_to(uint64_t target);

    int64_t start_;  // where the zlib stream begins on the underlying stream
    uint64_t delivered_ = 0;
    bool ended_ = false;
};

}  // namespace quorvane
