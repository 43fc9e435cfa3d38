// The baselines against the zstd and xz commands where they are installed, and against the
// libraries' own decoders otherwise; the entropy against sums worked by hand.
#include <gtest/gtest.h>
#include <lzma.h>
#include <zstd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "tests/test_support.h"
#include "zstream/baselines.h"
#include "zstream/zlib_file.h"

namespace quorvane {
namespace {

using Bytes = std::vector<uint8_t>;

// What the command writes to its standard output; nullopt when it is not installed.
std::optional<Bytes> command_output(const std::string& command) {
    if (std::system(
            ("command -v " + command.substr(0, command.find(' ')) + " >/dev/null 2>&1").c_str()) !=
        0) {
        return std::nullopt;
    }
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return std::nullopt;
    Bytes out;
    uint8_t chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        out.insert(out.end(), chunk, chunk + n);
    EXPECT_EQ(pclose(pipe), 0) << command;
    return out;
}

Bytes zstd_decoded(const Bytes& frame) {
    // The frame header descriptor after the magic number: bit 2 says a checksum follows.
    EXPECT_TRUE(frame.size() > 4 && (frame[4] & 0x04) != 0);
    const unsigned long long size = ZSTD_getFrameContentSize(frame.data(), frame.size());
    EXPECT_LT(size, ZSTD_CONTENTSIZE_ERROR);  // known, not an error
    Bytes out(size < ZSTD_CONTENTSIZE_ERROR ? size : 0);
    EXPECT_EQ(ZSTD_decompress(out.data(), out.size(), frame.data(), frame.size()), out.size());
    return out;
}

Bytes xz_decoded(const Bytes& file, size_t size) {
    lzma_stream_flags flags;
    EXPECT_EQ(lzma_stream_header_decode(&flags, file.data()), LZMA_OK);
    EXPECT_EQ(flags.check, LZMA_CHECK_CRC64);
    Bytes out(size);
    uint64_t memlimit = UINT64_MAX;
    size_t in_pos = 0;
    size_t out_pos = 0;
    EXPECT_EQ(lzma_stream_buffer_decode(&memlimit, 0, nullptr, file.data(), &in_pos, file.size(),
                                        out.data(), &out_pos, out.size()),
              LZMA_OK);
    EXPECT_EQ(in_pos, file.size());
    out.resize(out_pos);
    return out;
}

TEST(Baselines, WhatTheCommandsWrite) {
    std::mt19937 rng(7);
    Bytes zero_heavy(100000, 0);
    for (size_t i = 0; i < zero_heavy.size(); i += 37)
        zero_heavy[i] = static_cast<uint8_t>(i);
    const struct {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"empty", {}},
        {"one byte", {42}},
        {"random", test::random_bytes(rng, 3000)},
        {"text", test::text_bytes(20000)},
        {"sparse", test::sparse_bytes(32767)},
        {"zero heavy", zero_heavy},
        {"long text", test::text_bytes(400000, 3)},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = (dir / "input").string();
        test::write_file(dir / "input", c.bytes);
        const Bytes zstd = zstd_frame(c.bytes);
        const Bytes xz = xz_file(c.bytes);
        if (const auto out = command_output("zstd -19 -q -c '" + path + "'")) {
            EXPECT_EQ(zstd, *out);
        } else {
            EXPECT_EQ(zstd_decoded(zstd), c.bytes);
        }
        if (const auto out = command_output("xz -9e -c '" + path + "'")) {
            EXPECT_EQ(xz, *out);
        } else {
            EXPECT_EQ(xz_decoded(xz, c.bytes.size()), c.bytes);
        }
        EXPECT_EQ(baseline_bytes(Baseline::Zstd, c.bytes), static_cast<int64_t>(zstd.size()));
        EXPECT_EQ(baseline_bytes(Baseline::Xz, c.bytes), static_cast<int64_t>(xz.size()));
        EXPECT_EQ(baseline_bytes(Baseline::Zlib, c.bytes),
                  static_cast<int64_t>(compress_bytes(c.bytes.data(), c.bytes.size()).size()));
    }
}

TEST(Baselines, OrderZeroEntropyRoundedUpToBytes) {
    Bytes every_value(256);
    for (size_t i = 0; i < 256; ++i)
        every_value[i] = static_cast<uint8_t>(i);
    Bytes quarters(4000);  // four values, a quarter each: 2 bits a byte
    for (size_t i = 0; i < quarters.size(); ++i)
        quarters[i] = static_cast<uint8_t>(i % 4);
    const struct {
        Bytes bytes;
        int64_t expected;
    } cases[] = {
        {{}, 0},
        {Bytes(5000, 9), 0},
        {every_value, 256},
        {quarters, 1000},
        {{0, 1, 0, 1, 0, 1, 0, 1, 0, 1}, 2},  // 10 bits
        {{0, 0, 1}, 1},                       // 2.75 bits
    };
    for (const auto& c : cases) {
        EXPECT_EQ(entropy_bytes(c.bytes), c.expected) << c.bytes.size();
        EXPECT_EQ(baseline_bytes(Baseline::Entropy, c.bytes), c.expected);
    }
}

TEST(Baselines, Names) {
    for (const Baseline b : kBaselines)
        EXPECT_EQ(baseline_named(baseline_name(b)), b);
    EXPECT_EQ(baseline_named("lzma"), std::nullopt);
}

}  // namespace
}  // namespace quorvane
