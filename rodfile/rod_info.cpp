// rod_info.cpp -- the outer header of a rod file and the sizes of its parts.
#include "rodfile/rod_info.h"

#include <algorithm>

#include <cstdio>

#include "engine/errors.h"
#include "rodfile/rod_trailer.h"
#include "zstream/zlib_buffer.h"

namespace quorvane {
namespace {

std::string bytes_text(int64_t n) {
    return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

int64_t header_data_bytes(const RodHeader& h) {
    return (kHeaderBits + int64_t{h.DataBitCount} + pad_bits(h.DataBitCount)) / 8;
}

std::string hex32(uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

// The integrity trailer as a section: its fields, and whether it checks out.
RodInfoSection trailer_section(const TrailerScan& scan) {
    RodInfoSection section;
    section.name = "integrity trailer";
    const bool valid = scan.state == TrailerState::Valid;
    section.fields.push_back({"state", std::string(valid ? "valid" : "damaged")});
    section.fields.push_back({"version", int64_t{scan.trailer.version}});
    section.fields.push_back({"content_bytes", int64_t{scan.trailer.content_length}});
    section.fields.push_back({"content_crc32", hex32(scan.trailer.content_crc)});
    section.fields.push_back({"stream_crc32", hex32(scan.trailer.stream_crc)});
    return section;
}

RodHeader header_of(std::span<const uint8_t> bytes) {
    const size_t n = std::min(bytes.size(), static_cast<size_t>(kMinRodFileBytes));
    return decode_header(BitString::from_bytes(bytes.data(), n));
}

}  // namespace

bool decisions_start_like_zlib(std::span<const uint8_t> bytes) {
    const int64_t start = header_data_bytes(header_of(bytes));
    const auto size = static_cast<int64_t>(bytes.size());
    if (start >= size) return false;
    return starts_like_zlib(bytes.data() + start, static_cast<size_t>(size - start));
}

RodFileInfo describe_rod_file(std::span<const uint8_t> bytes) {
    RodFileInfo info;
    info.file_bytes = static_cast<int64_t>(bytes.size());
    if (info.file_bytes < kMinRodFileBytes) {
        throw ECorruptData("too short for a rod file: " + bytes_text(info.file_bytes) +
                           ", the header alone takes " + bytes_text(kMinRodFileBytes));
    }
    if (info.file_bytes > kMaxRodFileBytes) {
        throw ECorruptData("larger than any rod file: " + bytes_text(info.file_bytes));
    }
    // The rod stream ends where a trailer begins; a damaged one is shown, and is not taken
    // for part of the stream either.
    const TrailerScan scan = find_trailer(bytes);
    if (scan.state != TrailerState::Absent) info.sections.push_back(trailer_section(scan));
    const std::span<const uint8_t> stream = bytes.first(scan.stream_bytes);
    info.stream_bytes = static_cast<int64_t>(stream.size());
    info.header = header_of(stream);
    const RodHeader& h = info.header;
    info.HighRods = int64_t{h.LowRods} + h.RodBalance;
    info.header_data_bytes = header_data_bytes(h);
    if (info.header_data_bytes > info.stream_bytes) {
        throw ECorruptData("the header describes " + std::to_string(h.DataBitCount) +
                           " data bits, " + bytes_text(info.header_data_bytes) +
                           " with the header, but the file has " + bytes_text(info.stream_bytes));
    }
    info.decision_bytes = info.stream_bytes - info.header_data_bytes;
    if (h.LowRods > 0 && info.decision_bytes == 0) {
        throw ECorruptData("the header counts " + std::to_string(h.LowRods) +
                           " decision bits, but the file ends before its decision part");
    }
    info.decisions_start_like_zlib = decisions_start_like_zlib(stream);
    return info;
}

}  // namespace quorvane
