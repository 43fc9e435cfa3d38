// baselines.h -- the sizes that the compressors a person would otherwise pick write for the same
// bytes, computed in memory with their libraries, and the bytes' order-0 entropy.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace quorvane {

enum class Baseline {
    Zlib,     // the stream `compress` writes: deflate at level 9
    Zstd,     // `zstd -19`
    Xz,       // `xz -9e`
    Entropy,  // order-0 Shannon entropy of the bytes: a reference, not a bound
};

inline constexpr std::array<Baseline, 4> kBaselines = {Baseline::Zlib, Baseline::Zstd, Baseline::Xz,
                                                       Baseline::Entropy};

// "zlib", "zstd", "xz", "entropy": the baseline's name in a list of them.
std::string_view baseline_name(Baseline baseline);
std::optional<Baseline> baseline_named(std::string_view name);
// What the size stands for: "zlib (compress)", "zstd -19", "xz -9e", "order-0 entropy".
std::string_view baseline_label(Baseline baseline);
// Whether the baseline is a file a compressor writes (entropy is not).
bool baseline_is_compressor(Baseline baseline);

// The frame `zstd -19 -c` writes for the bytes: content size and checksum in it.
std::vector<uint8_t> zstd_frame(std::span<const uint8_t> bytes);

// The .xz file `xz -9e -c` writes for the bytes: one stream of one block, CRC64.
std::vector<uint8_t> xz_file(std::span<const uint8_t> bytes);

// The order-0 Shannon entropy of the bytes, in bits summed over them, rounded up to bytes.
int64_t entropy_bytes(std::span<const uint8_t> bytes);

// The size the baseline gives the bytes.
int64_t baseline_bytes(Baseline baseline, std::span<const uint8_t> bytes);

}  // namespace quorvane
