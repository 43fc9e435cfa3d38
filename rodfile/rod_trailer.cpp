// rod_trailer.cpp -- building and finding the integrity trailer, with zlib's CRC-32.
#include "rodfile/rod_trailer.h"

#include <zlib.h>

#include <algorithm>

namespace quorvane {
namespace {

constexpr size_t kVersionAt = kTrailerTag.size();
constexpr size_t kLengthAt = kVersionAt + 1;
constexpr size_t kContentCrcAt = kLengthAt + 4;
constexpr size_t kStreamCrcAt = kContentCrcAt + 4;
static_assert(kStreamCrcAt + 4 == kTrailerBytes);

void put_u32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

uint32_t get_u32(const uint8_t* at) {
    return (uint32_t{at[0]} << 24) | (uint32_t{at[1]} << 16) | (uint32_t{at[2]} << 8) | at[3];
}

}  // namespace

uint32_t crc32_of(std::span<const uint8_t> bytes, uint32_t crc) {
    return static_cast<uint32_t>(::crc32_z(crc, bytes.data(), bytes.size()));
}

std::array<uint8_t, kTrailerBytes> build_trailer(std::span<const uint8_t> stream,
                                                 uint32_t content_length, uint32_t content_crc) {
    std::array<uint8_t, kTrailerBytes> trailer{};
    std::copy(kTrailerTag.begin(), kTrailerTag.end(), trailer.begin());
    trailer[kVersionAt] = kTrailerVersion;
    put_u32(&trailer[kLengthAt], content_length);
    put_u32(&trailer[kContentCrcAt], content_crc);
    const uint32_t crc = crc32_of(std::span(trailer).first(kStreamCrcAt), crc32_of(stream));
    put_u32(&trailer[kStreamCrcAt], crc);
    return trailer;
}

TrailerScan find_trailer(std::span<const uint8_t> file) {
    TrailerScan scan;
    scan.stream_bytes = file.size();
    if (file.size() < kTrailerBytes) return scan;
    const size_t start = file.size() - kTrailerBytes;
    const uint8_t* t = file.data() + start;
    if (!std::equal(kTrailerTag.begin(), kTrailerTag.end(), t)) return scan;
    scan.stream_bytes = start;
    scan.trailer.version = t[kVersionAt];
    scan.trailer.content_length = get_u32(t + kLengthAt);
    scan.trailer.content_crc = get_u32(t + kContentCrcAt);
    scan.trailer.stream_crc = get_u32(t + kStreamCrcAt);
    const bool valid = scan.trailer.version == kTrailerVersion &&
                       crc32_of(file.first(start + kStreamCrcAt)) == scan.trailer.stream_crc;
    scan.state = valid ? TrailerState::Valid : TrailerState::Damaged;
    return scan;
}

bool trailer_matches(const RodTrailer& trailer, std::span<const uint8_t> content) {
    return content.size() == trailer.content_length && crc32_of(content) == trailer.content_crc;
}

}  // namespace quorvane
