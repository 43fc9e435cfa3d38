// rod_trailer.h -- the integrity trailer behind a rod stream: its layout, building it, finding it.
//
// The rod stream carries no checksum, and a damaged one can restore to wrong data without any
// sign. The trailer closes that gap without changing the stream: readers that know only the
// stream never look past it, since they read the decision part up to LowRods bits (LZ77 off) or
// to the end of its zlib stream (LZ77 on). Layout, 20 bytes, numbers big-endian:
//
//   offset  size  field
//        0     7  tag: 89 51 56 43 48 4B 1A
//        7     1  version: 1
//        8     4  length of the original content in bytes
//       12     4  CRC-32 of the original content
//       16     4  CRC-32 of every byte before this field: the rod stream and the trailer's first
//                 16 bytes
//
// A trailer counts only when the tag, the version and the last checksum all match, so that a file
// without one is never taken for a file with one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace quorvane {

inline constexpr size_t kTrailerBytes = 20;
inline constexpr std::array<uint8_t, 7> kTrailerTag = {0x89, 'Q', 'V', 'C', 'H', 'K', 0x1A};
inline constexpr uint8_t kTrailerVersion = 1;

struct RodTrailer {
    uint8_t version = kTrailerVersion;
    uint32_t content_length = 0;  // bytes of the file that was packed
    uint32_t content_crc = 0;     // CRC-32 of that file
    uint32_t stream_crc = 0;      // CRC-32 of the stream and the fields before this one
};

enum class TrailerState {
    Absent,   // the file does not end in a tagged trailer: all of it is the rod stream
    Valid,    // tag, version and stream checksum match: the stream ends where the trailer begins
    Damaged,  // the tag is there, but the version or the stream checksum is not right
};

struct TrailerScan {
    TrailerState state = TrailerState::Absent;
    RodTrailer trailer;       // the fields as found (Valid and Damaged)
    size_t stream_bytes = 0;  // where the rod stream ends: before the trailer unless Absent
};

// CRC-32 (zlib's, as gzip uses) of bytes, continuing from crc (0 to start).
uint32_t crc32_of(std::span<const uint8_t> bytes, uint32_t crc = 0);

// The trailer for stream, made from content of content_length bytes with CRC-32 content_crc.
std::array<uint8_t, kTrailerBytes> build_trailer(std::span<const uint8_t> stream,
                                                 uint32_t content_length, uint32_t content_crc);

// Looks at the end of a whole file for a trailer.
TrailerScan find_trailer(std::span<const uint8_t> file);

// True when content is what the trailer describes: its length and its CRC-32.
bool trailer_matches(const RodTrailer& trailer, std::span<const uint8_t> content);

}  // namespace quorvane
