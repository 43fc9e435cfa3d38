// zlib stream classes: zlib's own bytes, invalid operations, seeks, the underlying position.
#include "zstream/zstream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>

#include "tests/test_support.h"
#include "tests/zlib_reference.h"
#include "zstream/file_stream.h"
#include "zstream/memory_stream.h"
#include "zstream/zlib_file.h"

namespace quorvane {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes compress_through_stream(const Bytes& in, const std::vector<size_t>& pieces) {
    MemoryStream target;
    TZCompressionStream z(target, ZCompressionLevel::Max);
    size_t done = 0;
    for (size_t i = 0; done < in.size(); ++i) {
        const size_t n = std::min(pieces[i % pieces.size()], in.size() - done);
        EXPECT_EQ(z.write(in.data() + done, n), n);
        done += n;
    }
    EXPECT_EQ(z.position(), static_cast<int64_t>(in.size()));
    z.finish();
    return target.data;
}

Bytes read_all(TZDecompressionStream& z, size_t piece) {
    Bytes out;
    Bytes buffer(piece);
    while (const size_t n = z.read(buffer.data(), piece))
        out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(n));
    return out;
}

struct Input {
    std::string name;
    Bytes bytes;
};

std::vector<Input> inputs() {
    std::mt19937 rng(11);
    std::vector<Input> all;
    for (const size_t size : {size_t{0}, size_t{1}, size_t{82}, size_t{32768}, size_t{1} << 20}) {
        const std::string n = std::to_string(size);
        all.push_back({std::string("random_").append(n), test::random_bytes(rng, size)});
        all.push_back(
            {std::string("text_").append(n), test::text_bytes(size, static_cast<uint32_t>(size))});
        all.push_back({std::string("zero_").append(n), Bytes(size, 0)});
    }
    return all;
}

void PrintTo(const Input& input, std::ostream* os) {
    *os << input.name;
}

class ZStreamRoundTrip : public testing::TestWithParam<Input> {};

TEST_P(ZStreamRoundTrip, ZlibsOwnBytesAndBackAgain) {
    const Bytes& in = GetParam().bytes;
    const Bytes reference = test::zlib_reference(in, 9);
    // However the data is handed over, the stream is the one zlib makes in one call.
    EXPECT_EQ(compress_through_stream(in, {kCopyChunk}), reference);
    EXPECT_EQ(compress_through_stream(in, {1, 7, 4096, 65537}), reference);

    for (const size_t piece : {size_t{1000}, size_t{65536 * 3}}) {
        MemoryStream source(reference);
        TZDecompressionStream z(source);
        EXPECT_EQ(read_all(z, piece), in) << "read in pieces of " << piece;
        EXPECT_TRUE(z.at_end());
    }

    // The same through files, as the whole-file commands do it.
    test::TempDir dir;
    test::write_file(dir / "in", in);
    const ZFileResult packed = compress_file(dir / "in", dir / "in.zlib");
    EXPECT_EQ(test::read_file(dir / "in.zlib"), reference);
    EXPECT_EQ(packed.bytes_read, in.size());
    EXPECT_EQ(packed.bytes_written, reference.size());
    const ZFileResult unpacked = decompress_file(dir / "in.zlib", dir / "out");
    EXPECT_EQ(test::read_file(dir / "out"), in);
    EXPECT_EQ(unpacked.bytes_read, reference.size());
    EXPECT_EQ(unpacked.bytes_written, in.size());
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"in", "in.zlib", "out"}));
}

INSTANTIATE_TEST_SUITE_P(Inputs, ZStreamRoundTrip, testing::ValuesIn(inputs()),
                         [](const auto& info) { return info.param.name; });

TEST(ZStream, InvalidOperations) {
    const Bytes data = test::text_bytes(20000);
    MemoryStream target;
    TZCompressionStream deflating(target, ZCompressionLevel::Max);
    deflating.write(data.data(), 100);
    MemoryStream source(test::zlib_reference(data, 9));
    TZDecompressionStream inflating(source);
    uint8_t buffer[16];
    inflating.read(buffer, sizeof buffer);

    const std::vector<std::pair<std::string, std::function<void()>>> compressing = {
        {"read", [&] { deflating.read(buffer, 1); }},
        {"seek +1 from current", [&] { deflating.seek(1, SeekOrigin::Current); }},
        {"seek 0 from beginning", [&] { deflating.seek(0, SeekOrigin::Begin); }},
        {"seek 0 from end", [&] { deflating.seek(0, SeekOrigin::End); }},
        {"size", [&] { deflating.size(); }},
    };
    for (const auto& [what, operation] : compressing) {
        SCOPED_TRACE(what);
        EXPECT_THROW_MSG(operation(), EZCompressionError, "Invalid ZStream operation!");
    }
    EXPECT_EQ(deflating.seek(0, SeekOrigin::Current), 100);
    deflating.finish();
    EXPECT_THROW_MSG(deflating.write(data.data(), 1), EZCompressionError,
                     "Invalid ZStream operation!");
    EXPECT_THROW_MSG(deflating.finish(), EZCompressionError, "Invalid ZStream operation!");

    const std::vector<std::pair<std::string, std::function<void()>>> decompressing = {
        {"write", [&] { inflating.write(buffer, 1); }},
        {"seek back from current", [&] { inflating.seek(-1, SeekOrigin::Current); }},
        {"seek within what was delivered", [&] { inflating.seek(8, SeekOrigin::Begin); }},
        {"seek to what was delivered", [&] { inflating.seek(16, SeekOrigin::Begin); }},
        {"seek before the beginning", [&] { inflating.seek(-1, SeekOrigin::Begin); }},
        {"seek back from end", [&] { inflating.seek(-1, SeekOrigin::End); }},
        {"seek beyond end", [&] { inflating.seek(1, SeekOrigin::End); }},
    };
    for (const auto& [what, operation] : decompressing) {
        SCOPED_TRACE(what);
        EXPECT_THROW_MSG(operation(), EZDecompressionError, "Invalid ZStream operation!");
    }
    // None of the refused seeks moved anything.
    EXPECT_EQ(inflating.seek(0, SeekOrigin::Current), 16);
    EXPECT_EQ(inflating.read(buffer, 4), 4U);
    EXPECT_EQ(Bytes(buffer, buffer + 4), Bytes(data.begin() + 16, data.begin() + 20));
}

TEST(ZStream, DecompressionSeeks) {
    const Bytes data = test::text_bytes(200000);
    MemoryStream source(test::zlib_reference(data, 9));
    TZDecompressionStream z(source);
    const auto next = [&](size_t n) {
        Bytes out(n);
        out.resize(z.read(out.data(), n));
        return out;
    };
    const auto slice = [&](size_t from, size_t n) {
        return Bytes(data.begin() + static_cast<ptrdiff_t>(from),
                     data.begin() + static_cast<ptrdiff_t>(std::min(from + n, data.size())));
    };

    // Offset 0 from the end reads to the end: the total inflated size.
    EXPECT_EQ(z.seek(0, SeekOrigin::End), 200000);
    EXPECT_TRUE(next(10).empty());
    // From the beginning starts over and delivers the same bytes again.
    EXPECT_EQ(z.seek(0, SeekOrigin::Begin), 0);
    EXPECT_EQ(next(1000), slice(0, 1000));
    EXPECT_EQ(z.seek(0, SeekOrigin::Current), 1000);
    EXPECT_EQ(next(10), slice(1000, 10));
    // Forward seeks skip, from the current position or from the beginning.
    EXPECT_EQ(z.seek(30000, SeekOrigin::Current), 31010);
    EXPECT_EQ(next(10), slice(31010, 10));
    EXPECT_EQ(z.seek(150000, SeekOrigin::Begin), 150000);
    EXPECT_EQ(next(10), slice(150000, 10));
    // A skip past the end stops at the end.
    EXPECT_EQ(z.seek(500000, SeekOrigin::Begin), 200000);
    // The size by seeking to the end and back, from the start, leaves the stream at the start.
    z.seek(0, SeekOrigin::Begin);
    EXPECT_EQ(z.size(), 200000);
    EXPECT_EQ(next(200001), data);
}

TEST(ZStream, DecompressionLeavesUnderlyingStreamJustBehindTheZlibStream) {
    const Bytes data = test::text_bytes(150000);
    const Bytes zdata = test::zlib_reference(data, 9);
    const Bytes head = {'H', 'E', 'A', 'D'};
    const Bytes tail = {'T', 'A', 'I', 'L'};
    Bytes all = head;
    all.insert(all.end(), zdata.begin(), zdata.end());
    all.insert(all.end(), tail.begin(), tail.end());

    MemoryStream source(all);
    source.pos = head.size();
    TZDecompressionStream z(source);
    EXPECT_EQ(read_all(z, 7000), data);
    EXPECT_EQ(source.position(), static_cast<int64_t>(head.size() + zdata.size()));
    uint8_t rest[8];
    EXPECT_EQ(source.read(rest, sizeof rest), tail.size());
    EXPECT_EQ(Bytes(rest, rest + tail.size()), tail);

    // Starting over goes back to where the zlib stream begins, not to the start of the bytes.
    EXPECT_EQ(z.seek(0, SeekOrigin::Begin), 0);
    EXPECT_EQ(source.position(), static_cast<int64_t>(head.size()));
    EXPECT_EQ(read_all(z, 65536), data);
}

TEST(ZStream, UnderlyingStreamMovedByAnotherIsPutBack) {
    const Bytes data = test::text_bytes(300000);
    const Bytes zdata = test::zlib_reference(data, 9);

    MemoryStream target;
    {
        TZCompressionStream z(target, ZCompressionLevel::Max);
        z.write(data.data(), 200000);
        target.seek(0, SeekOrigin::Begin);
        z.write(data.data() + 200000, 100000);
        target.seek(3, SeekOrigin::Begin);
        z.finish();
    }
    EXPECT_EQ(target.data, zdata);

    MemoryStream source(zdata);
    TZDecompressionStream z(source);
    Bytes out(100000);
    ASSERT_EQ(z.read(out.data(), out.size()), out.size());
    source.seek(0, SeekOrigin::Begin);
    out.resize(data.size());
    EXPECT_EQ(z.read(out.data() + 100000, 200000), 200000U);
    EXPECT_EQ(out, data);
}

TEST(ZStream, ProgressAfterEveryBufferExchanged) {
    std::mt19937 rng(5);
    const Bytes data = test::random_bytes(rng, 300000);
    const Bytes zdata = test::zlib_reference(data, 9);
    const size_t buffers =
        (zdata.size() + TCustomZStream::kBufferSize - 1) / TCustomZStream::kBufferSize;

    MemoryStream target;
    std::vector<size_t> written;
    TZCompressionStream deflating(target, ZCompressionLevel::Max);
    deflating.on_progress = [&] { written.push_back(target.data.size()); };
    deflating.write(data.data(), data.size());
    deflating.finish();
    ASSERT_EQ(written.size(), buffers);
    EXPECT_EQ(written.front(), TCustomZStream::kBufferSize);
    EXPECT_EQ(written.back(), zdata.size());

    MemoryStream source(zdata);
    std::vector<size_t> read;
    TZDecompressionStream inflating(source);
    inflating.on_progress = [&] { read.push_back(source.pos); };
    EXPECT_EQ(read_all(inflating, 50000), data);
    ASSERT_EQ(read.size(), buffers);
    EXPECT_EQ(read.back(), zdata.size());
}

TEST(ZStream, PresetDictionaryIsRefused) {
    // A valid header with the preset-dictionary flag: zlib asks for the dictionary.
    MemoryStream source(Bytes{0x78, 0xBB, 0x00, 0x00, 0x00, 0x01, 0x03, 0x00});
    TZDecompressionStream z(source);
    uint8_t buffer[8];
    EXPECT_THROW_MSG(z.read(buffer, sizeof buffer), EZDecompressionError, "need dictionary");
}

TEST(FileStreams, OpenCreateAndSize) {
    test::TempDir dir;
    test::write_file(dir / "five", {1, 2, 3, 4, 5});
    {
        FileInputStream in(dir / "five");
        EXPECT_EQ(in.size(), 5);
        EXPECT_EQ(in.seek(2, SeekOrigin::Begin), 2);
        uint8_t buffer[8];
        EXPECT_EQ(in.read(buffer, sizeof buffer), 3U);
        EXPECT_EQ(in.position(), 5);
        EXPECT_THROW_MSG(in.write(buffer, 1), EInOutError, "Stream write error");
    }

    const auto cannot_open = [](const std::filesystem::path& path, const char* reason) {
        return std::string("Cannot open file ").append(path.string()).append(": ").append(reason);
    };
    EXPECT_THROW_MSG(FileInputStream{dir / "missing"}, EInOutError,
                     cannot_open(dir / "missing", "No such file or directory"));
    EXPECT_THROW_MSG(FileInputStream{dir.path()}, EInOutError,
                     cannot_open(dir.path(), "Is a directory"));

    // Bytes reach the target only on commit, written where the position was moved to.
    AtomicOutputStream out(dir / "five");
    out.write_buffer("abcdef", 6);
    EXPECT_EQ(out.seek(1, SeekOrigin::Begin), 1);
    out.write_buffer("B", 1);
    EXPECT_EQ(test::read_file(dir / "five"), (Bytes{1, 2, 3, 4, 5}));
    out.commit();
    EXPECT_EQ(test::read_file(dir / "five"), (Bytes{'a', 'B', 'c', 'd', 'e', 'f'}));
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"five"}));
}

}  // namespace
}  // namespace quorvane
