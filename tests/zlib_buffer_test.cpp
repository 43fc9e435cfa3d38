// In-memory deflate and inflate: zlib's own output, error classes and messages, the size bound.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "tests/test_support.h"
#include "tests/zlib_reference.h"
#include "zstream/zlib_buffer.h"

namespace quorvane {
namespace {

using test::zlib_reference;

TEST(ZlibBuffer, DeflateIsZlibsOwnStreamAtEveryLevel) {
    std::mt19937 rng(3);
    const std::vector<std::vector<uint8_t>> inputs = {{},
                                                      {0x41},
                                                      test::text_bytes(5000),
                                                      test::random_bytes(rng, 70000),
                                                      std::vector<uint8_t>(40000, 0)};
    const std::pair<ZCompressionLevel, int> levels[] = {
        {ZCompressionLevel::None, 0},
        {ZCompressionLevel::Fastest, 1},
        {ZCompressionLevel::Default, Z_DEFAULT_COMPRESSION},
        {ZCompressionLevel::Max, 9}};
    for (const auto& in : inputs) {
        for (const auto& [index, level] : levels) {
            const auto z = DeflateBuffer(in.data(), in.size(), index);
            EXPECT_EQ(z, zlib_reference(in, level)) << in.size() << " bytes, level " << level;
            EXPECT_EQ(InflateBuffer(z.data(), z.size(), 0), in);
            EXPECT_EQ(InflateBuffer(z.data(), z.size(), 7), in);  // a small hint grows
        }
    }
}

TEST(ZlibBuffer, InflateErrors) {
    const auto good = DeflateBuffer(reinterpret_cast<const uint8_t*>("hello hello hello"), 17,
                                    ZCompressionLevel::Default);
    // Empty or cut short: inflate can make no progress.
    EXPECT_THROW_MSG(InflateBuffer(nullptr, 0, 0), EZDecompressionError, "buffer error");
    for (size_t cut = 1; cut < good.size(); ++cut) {
        SCOPED_TRACE(cut);
        EXPECT_THROW_MSG(InflateBuffer(good.data(), cut, 0), EZDecompressionError, "buffer error");
    }
    // Not a zlib header.
    const std::vector<uint8_t> junk = {0x00, 0x01, 0x02, 0x03};
    EXPECT_THROW_MSG(InflateBuffer(junk.data(), junk.size(), 0), EZDecompressionError,
                     "data error");
    // A wrong Adler-32 trailer.
    auto bad_sum = good;
    bad_sum.back() ^= 1;
    EXPECT_THROW_MSG(InflateBuffer(bad_sum.data(), bad_sum.size(), 0), EZDecompressionError,
                     "data error");
    // A header asking for a preset dictionary.
    const std::vector<uint8_t> dict = {0x78, 0xBB, 0x00, 0x00, 0x00, 0x01, 0x03, 0x00};
    EXPECT_THROW_MSG(InflateBuffer(dict.data(), dict.size(), 0), EZDecompressionError,
                     "need dictionary");
    // Bytes after the end of the stream are not looked at.
    auto trailing = good;
    trailing.push_back(0x55);
    EXPECT_EQ(InflateBuffer(trailing.data(), trailing.size(), 0).size(), 17U);
}

TEST(ZlibBuffer, InflateRefusesMoreThanTheLimit) {
    const std::vector<uint8_t> zeros(1 << 20, 0);
    const auto z = DeflateBuffer(zeros.data(), zeros.size(), ZCompressionLevel::Max);
    EXPECT_EQ(InflateBuffer(z.data(), z.size(), 0, zeros.size()).size(), zeros.size());
    EXPECT_THROW_MSG(InflateBuffer(z.data(), z.size(), 0, zeros.size() - 1), EZDecompressionError,
                     "data error");
    EXPECT_THROW_MSG(InflateBuffer(z.data(), z.size(), 0, 100), EZDecompressionError, "data error");
}

// One state for many buffers gives every buffer exactly the bytes and errors of a fresh state,
// also after a call that failed.
TEST(ZlibBuffer, ReusedStatesMatchFreshOnes) {
    std::mt19937 rng(8);
    const std::vector<std::vector<uint8_t>> inputs = {
        test::text_bytes(5000),        {},     std::vector<uint8_t>(40000, 0),
        test::random_bytes(rng, 3000), {0x41}, test::text_bytes(300, 2)};
    BufferDeflater deflater;
    BufferInflater inflater;
    const std::vector<uint8_t> junk = {0x00, 0x01, 0x02, 0x03};
    for (int round = 0; round < 2; ++round) {
        for (const auto& in : inputs) {
            const auto z = deflater.deflate(in.data(), in.size());
            ASSERT_EQ(z, DeflateBuffer(in.data(), in.size(), ZCompressionLevel::Default));
            EXPECT_EQ(inflater.inflate(z.data(), z.size(), 0), in);
            EXPECT_EQ(inflater.inflate(z.data(), z.size(), 7, in.size()), in);
            // The failures leave nothing behind for the next buffer.
            EXPECT_THROW_MSG(inflater.inflate(junk.data(), junk.size(), 0), EZDecompressionError,
                             "data error");
            if (!z.empty()) {
                EXPECT_THROW_MSG(inflater.inflate(z.data(), z.size() - 1, 0), EZDecompressionError,
                                 "buffer error");
            }
            if (!in.empty()) {
                EXPECT_THROW_MSG(inflater.inflate(z.data(), z.size(), 0, in.size() - 1),
                                 EZDecompressionError, "data error");
            }
        }
    }
    // A state moves with its owner.
    BufferDeflater moved = std::move(deflater);
    const auto& text = inputs[0];
    EXPECT_EQ(moved.deflate(text.data(), text.size()),
              DeflateBuffer(text.data(), text.size(), ZCompressionLevel::Default));
    BufferDeflater fastest(ZCompressionLevel::Fastest);
    EXPECT_EQ(fastest.deflate(text.data(), text.size()),
              DeflateBuffer(text.data(), text.size(), ZCompressionLevel::Fastest));
}

TEST(ZlibErrors, MessageTable) {
    EXPECT_STREQ(zlib_message(Z_NEED_DICT), "need dictionary");
    EXPECT_STREQ(zlib_message(Z_STREAM_END), "stream end");
    EXPECT_STREQ(zlib_message(Z_OK), "");
    EXPECT_STREQ(zlib_message(Z_ERRNO), "file error");
    EXPECT_STREQ(zlib_message(Z_STREAM_ERROR), "stream error");
    EXPECT_STREQ(zlib_message(Z_DATA_ERROR), "data error");
    EXPECT_STREQ(zlib_message(Z_MEM_ERROR), "insufficient memory");
    EXPECT_STREQ(zlib_message(Z_BUF_ERROR), "buffer error");
    EXPECT_STREQ(zlib_message(Z_VERSION_ERROR), "incompatible version");
    EXPECT_STREQ(zlib_message(-7), "");
    EXPECT_THROW_MSG(check_deflate(Z_STREAM_ERROR), EZCompressionError, "stream error");
    EXPECT_THROW_MSG(check_inflate(Z_MEM_ERROR), EZDecompressionError, "insufficient memory");
    EXPECT_EQ(check_inflate(Z_STREAM_END), Z_STREAM_END);
}

}  // namespace
}  // namespace quorvane
