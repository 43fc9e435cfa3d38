// zlib_buffer.cpp -- buffer-to-buffer deflate and inflate with growing output.
#include "zstream/zlib_buffer.h"

#include <zlib.h>

#include <algorithm>

#include "engine/errors.h"

namespace quorvane {
namespace {

size_t round_up_256(size_t n) {
    return (n + 255) / 256 * 256;
}

// zlib takes 32-bit sizes; larger buffers would need a loop nobody here needs.
uInt zsize(size_t n) {
    if (n > std::numeric_limits<uInt>::max()) throw EIntOverflow();
    return static_cast<uInt>(n);
}

void init_deflate(z_stream& zs, ZCompressionLevel level) {
    zs = z_stream{};
    check_deflate(deflateInit2(&zs, zlib_level(level), Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY));
}

void init_inflate(z_stream& zs) {
    zs = z_stream{};
    check_inflate(inflateInit(&zs));
}

// Deflates the whole input with a stream that is freshly set up or reset.
std::vector<uint8_t> run_deflate(z_stream& zs, const uint8_t* input, size_t length) {
    std::vector<uint8_t> out(round_up_256(length + length / 10 + 12));
    zs.next_in = const_cast<Bytef*>(input);
    zs.avail_in = zsize(length);
    zs.next_out = out.data();
    zs.avail_out = zsize(out.size());
    while (check_deflate(deflate(&zs, Z_FINISH)) != Z_STREAM_END) {
        const size_t produced = out.size() - zs.avail_out;
        out.resize(out.size() + 256);
        zs.next_out = out.data() + produced;
        zs.avail_out = zsize(out.size() - produced);
    }
    out.resize(out.size() - zs.avail_out);
    return out;
}

// Inflates the zlib stream at the start of input with a stream that is freshly set up or reset.
std::vector<uint8_t> run_inflate(z_stream& zs, const uint8_t* input, size_t length,
                                 size_t size_hint, size_t max_output) {
    const size_t step = std::max<size_t>(round_up_256(length), 256);
    // One byte beyond the limit is room enough to see that the limit is passed.
    const size_t ceiling =
        max_output == std::numeric_limits<size_t>::max() ? max_output : max_output + 1;
    std::vector<uint8_t> out(std::min(size_hint != 0 ? size_hint : round_up_256(length), ceiling));
    zs.next_in = const_cast<Bytef*>(input);
    zs.avail_in = zsize(length);
    // With no room zlib must still see an output buffer, so that it reports "buffer error".
    Bytef no_room = 0;
    zs.next_out = out.empty() ? &no_room : out.data();
    zs.avail_out = zsize(out.size());
    for (;;) {
        const int code = check_inflate(inflate(&zs, Z_NO_FLUSH));
        if (code == Z_STREAM_END) break;
        // A preset dictionary is never used here; asking again would never end.
        if (code == Z_NEED_DICT) throw EZDecompressionError(zlib_message(Z_NEED_DICT));
        const size_t produced = out.size() - zs.avail_out;
        if (produced > max_output) throw EZDecompressionError(zlib_message(Z_DATA_ERROR));
        out.resize(std::min(out.size() + step, ceiling));
        zs.next_out = out.data() + produced;
        zs.avail_out = zsize(out.size() - produced);
    }
    out.resize(out.size() - zs.avail_out);
    if (out.size() > max_output) throw EZDecompressionError(zlib_message(Z_DATA_ERROR));
    return out;
}

}  // namespace

std::vector<uint8_t> DeflateBuffer(const uint8_t* input, size_t length, ZCompressionLevel level) {
    z_stream zs;
    init_deflate(zs, level);
    std::vector<uint8_t> out;
    try {
        out = run_deflate(zs, input, length);
    } catch (...) {
        deflateEnd(&zs);
        throw;
    }
    check_deflate(deflateEnd(&zs));
    return out;
}

std::vector<uint8_t> InflateBuffer(const uint8_t* input, size_t length, size_t size_hint,
                                   size_t max_output) {
    z_stream zs;
    init_inflate(zs);
    std::vector<uint8_t> out;
    try {
        out = run_inflate(zs, input, length, size_hint, max_output);
    } catch (...) {
        inflateEnd(&zs);
        throw;
    }
    inflateEnd(&zs);
    return out;
}

BufferDeflater::BufferDeflater(ZCompressionLevel level) : level_(level) {}

BufferDeflater::~BufferDeflater() {
    if (stream_) deflateEnd(stream_.get());
}

BufferDeflater::BufferDeflater(BufferDeflater&&) noexcept = default;

BufferDeflater& BufferDeflater::operator=(BufferDeflater&& other) noexcept {
    if (this != &other) {
        if (stream_) deflateEnd(stream_.get());
        level_ = other.level_;
        stream_ = std::move(other.stream_);
    }
    return *this;
}

std::vector<uint8_t> BufferDeflater::deflate(const uint8_t* input, size_t length) {
    if (!stream_) {
        auto zs = std::make_unique<z_stream>();
        init_deflate(*zs, level_);
        stream_ = std::move(zs);
    } else {
        // Also clears whatever a failed call left behind.
        check_deflate(deflateReset(stream_.get()));
    }
    return run_deflate(*stream_, input, length);
}

BufferInflater::BufferInflater() = default;

BufferInflater::~BufferInflater() {
    if (stream_) inflateEnd(stream_.get());
}

BufferInflater::BufferInflater(BufferInflater&&) noexcept = default;

BufferInflater& BufferInflater::operator=(BufferInflater&& other) noexcept {
    if (this != &other) {
        if (stream_) inflateEnd(stream_.get());
        stream_ = std::move(other.stream_);
    }
    return *this;
}

std::vector<uint8_t> BufferInflater::inflate(const uint8_t* input, size_t length, size_t size_hint,
                                             size_t max_output) {
    if (!stream_) {
        auto zs = std::make_unique<z_stream>();
        init_inflate(*zs);
        stream_ = std::move(zs);
    } else {
        check_inflate(inflateReset(stream_.get()));
    }
    return run_inflate(*stream_, input, length, size_hint, max_output);
}

bool starts_like_zlib(const uint8_t* bytes, size_t length) {
    if (length < 2) return false;
    const unsigned cmf = bytes[0];
    const unsigned flg = bytes[1];
    constexpr unsigned kDeflated = 8;
    constexpr unsigned kPresetDictionary = 0x20;
    return (cmf & 0x0F) == kDeflated && (cmf >> 4) <= 7 && (cmf * 256 + flg) % 31 == 0 &&
           (flg & kPresetDictionary) == 0;
}

}  // namespace quorvane
