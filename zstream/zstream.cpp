// zstream.cpp -- deflate and inflate through fixed buffers against an underlying stream.
#include "zstream/zstream.h"

#include <algorithm>
#include <limits>

namespace quorvane {
namespace {

// zlib counts in 32-bit units; larger requests are handed over in pieces.
uInt zchunk(size_t n) {
    return static_cast<uInt>(std::min<size_t>(n, std::numeric_limits<uInt>::max()));
}

}  // namespace

TCustomZStream::TCustomZStream(ByteStream& underlying)
    : strm_(underlying),
      strm_pos_(underlying.position()),
      buffer_(std::make_unique<uint8_t[]>(kBufferSize)) {}

void TCustomZStream::restore_position() {
    if (strm_.position() != strm_pos_) strm_.seek(strm_pos_, SeekOrigin::Begin);
}

TZCompressionStream::TZCompressionStream(ByteStream& target, ZCompressionLevel level)
    : TCustomZStream(target) {
    zrec_.next_out = buffer_.get();
    zrec_.avail_out = kBufferSize;
    check_deflate(deflateInit2(&zrec_, zlib_level(level), Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY));
}

TZCompressionStream::~TZCompressionStream() {
    end();
}

size_t TZCompressionStream::read(void*, size_t) {
    throw EZCompressionError(kInvalidZStreamOperation);
}

size_t TZCompressionStream::write(const void* data, size_t count) {
    if (ended_) throw EZCompressionError(kInvalidZStreamOperation);
    restore_position();
    const auto* in = static_cast<const uint8_t*>(data);
    for (size_t left = count; left > 0;) {
        const uInt piece = zchunk(left);
        zrec_.next_in = const_cast<Bytef*>(in);
        zrec_.avail_in = piece;
        while (zrec_.avail_in > 0) {
            check_deflate(deflate(&zrec_, Z_NO_FLUSH));
            if (zrec_.avail_out == 0) write_out(kBufferSize);
        }
        in += piece;
        left -= piece;
    }
    taken_ += count;
    return count;
}

int64_t TZCompressionStream::seek(int64_t offset, SeekOrigin origin) {
    if (offset != 0 || origin != SeekOrigin::Current) {
        throw EZCompressionError(kInvalidZStreamOperation);
    }
    return static_cast<int64_t>(taken_);
}

void TZCompressionStream::finish() {
    if (ended_) throw EZCompressionError(kInvalidZStreamOperation);
    zrec_.next_in = nullptr;
    zrec_.avail_in = 0;
    try {
        restore_position();
        while (check_deflate(deflate(&zrec_, Z_FINISH)) != Z_STREAM_END) {
            write_out(kBufferSize - zrec_.avail_out);
        }
        if (zrec_.avail_out < kBufferSize) write_out(kBufferSize - zrec_.avail_out);
    } catch (...) {
        end();
        throw;
    }
    ended_ = true;
    check_deflate(deflateEnd(&zrec_));
}

void TZCompressionStream::write_out(size_t filled) {
    strm_.write_buffer(buffer_.get(), filled);
    zrec_.next_out = buffer_.get();
    zrec_.avail_out = kBufferSize;
    strm_pos_ = strm_.position();
    progress();
}

void TZCompressionStream::end() noexcept {
    if (ended_) return;
    ended_ = true;
    deflateEnd(&zrec_);
}

TZDecompressionStream::TZDecompressionStream(ByteStream& source)
    : TCustomZStream(source), start_(strm_pos_) {
    zrec_.next_in = buffer_.get();
    zrec_.avail_in = 0;
    check_inflate(inflateInit(&zrec_));
}

TZDecompressionStream::~TZDecompressionStream() {
    inflateEnd(&zrec_);
}

size_t TZDecompressionStream::read(void* buffer, size_t count) {
    auto* out = static_cast<uint8_t*>(buffer);
    size_t room = count;
    restore_position();
    while (room > 0 && !ended_) {
        if (zrec_.avail_in == 0) {
            const size_t got = strm_.read(buffer_.get(), kBufferSize);
            if (got == 0) break;
            zrec_.next_in = buffer_.get();
            zrec_.avail_in = static_cast<uInt>(got);
            strm_pos_ = strm_.position();
            progress();
        }
        const uInt piece = zchunk(room);
        zrec_.next_out = out;
        zrec_.avail_out = piece;
        const int code = check_inflate(inflate(&zrec_, Z_NO_FLUSH));
        const size_t produced = piece - zrec_.avail_out;
        out += produced;
        room -= produced;
        delivered_ += produced;
        // No preset dictionary is ever given; asking again would never end.
        if (code == Z_NEED_DICT) throw EZDecompressionError(zlib_message(Z_NEED_DICT));
        if (code == Z_STREAM_END) ended_ = true;
    }
    if (ended_ && zrec_.avail_in > 0) {
        strm_pos_ = strm_.seek(-static_cast<int64_t>(zrec_.avail_in), SeekOrigin::Current);
        zrec_.avail_in = 0;
    }
    return count - room;
}

size_t TZDecompressionStream::write(const void*, size_t) {
    throw EZDecompressionError(kInvalidZStreamOperation);
}

int64_t TZDecompressionStream::seek(int64_t offset, SeekOrigin origin) {
    if (offset == 0 && origin == SeekOrigin::Begin) {
        reset();
    } else if (offset >= 0 && origin == SeekOrigin::Current) {
        skip_to(delivered_ + static_cast<uint64_t>(offset));
    } else if (offset > 0 && origin == SeekOrigin::Begin &&
               static_cast<uint64_t>(offset) > delivered_) {
        skip_to(static_cast<uint64_t>(offset));
    } else if (offset == 0 && origin == SeekOrigin::End) {
        skip_to(std::numeric_limits<uint64_t>::max());
    } else {
        throw EZDecompressionError(kInvalidZStreamOperation);
    }
    return static_cast<int64_t>(delivered_);
}

void TZDecompressionStream::reset() {
    check_inflate(inflateReset(&zrec_));
    zrec_.next_in = buffer_.get();
    zrec_.avail_in = 0;
    strm_pos_ = strm_.seek(start_, SeekOrigin::Begin);
    delivered_ = 0;
    ended_ = false;
}

void TZDecompressionStream::skip_to(uint64_t target) {
    uint8_t discard[kSkipChunk];
    while (delivered_ < target) {
        const size_t want =
            static_cast<size_t>(std::min<uint64_t>(target - delivered_, kSkipChunk));
        if (read(discard, want) == 0) return;
    }
}

}  // namespace quorvane
