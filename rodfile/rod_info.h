// rod_info.h -- what a rod file says about itself, read from its outer header without restoring.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "rodfile/rod_header.h"

namespace quorvane {

// The least a rod file can be: the 140 header bits and their pad.
inline constexpr int64_t kMinRodFileBytes = (kHeaderBits + 7) / 8;

// A named value of an extra section.
struct RodInfoField {
    std::string name;
    std::variant<int64_t, bool, std::string> value;
};

// A part of a rod file beyond the rod stream its header measures (such as an integrity trailer a
// newer writer adds), shown as a section of its own.
struct RodInfoSection {
    std::string name;
    std::vector<RodInfoField> fields;
};

struct RodFileInfo {
    RodHeader header;               // the seven fields, RodBalance as the signed value it carries
    int64_t HighRods = 0;           // LowRods + RodBalance: the whole rods of the newest cycle
    int64_t file_bytes = 0;         // the whole file
    int64_t stream_bytes = 0;       // the rod stream: header, data, pad and decision part
    int64_t header_data_bytes = 0;  // header + data + pad
    int64_t decision_bytes = 0;     // the decision part, to the end of the stream
    // The decision part begins like a zlib stream: the file was most likely packed with LZ77.
    bool decisions_start_like_zlib = false;
    std::vector<RodInfoSection> sections;
};

// True when the decision part that the outer header places in bytes begins like a zlib stream
// (false when the header places it beyond the end).
bool decisions_start_like_zlib(std::span<const uint8_t> bytes);

// Reads the outer header of a rod file. A file too short for a header, or whose fields cannot
// describe its length, raises ECorruptData with a one-line reason.
RodFileInfo describe_rod_file(std::span<const uint8_t> bytes);

}  // namespace quorvane
