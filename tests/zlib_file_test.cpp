// Whole-file zlib commands: refused data leaves nothing behind, names, replacing, file errors.
#include "zstream/zlib_file.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/test_support.h"
#include "tests/zlib_reference.h"
#include "zstream/zlib_errors.h"

namespace quorvane {
namespace {

using Bytes = std::vector<uint8_t>;
using Names = std::vector<std::string>;

const Bytes kOld = {'o', 'l', 'd'};

// Decompressing data.zlib must fail with message, leave data.zlib and an existing target as they
// were, and leave nothing else in the folder.
void expect_refused(const Bytes& zdata, const std::string& message) {
    for (const bool target_exists : {false, true}) {
        SCOPED_TRACE(target_exists ? "over an existing target" : "no target yet");
        test::TempDir dir;
        test::write_file(dir / "data.zlib", zdata);
        if (target_exists) test::write_file(dir / "data", kOld);
        EXPECT_THROW_MSG(decompress_from_zlib(dir / "data.zlib"), EZDecompressionError, message);
        if (target_exists) {
            EXPECT_EQ(dir.files(), (Names{"data", "data.zlib"}));
            EXPECT_EQ(test::read_file(dir / "data"), kOld);
        } else {
            EXPECT_EQ(dir.files(), (Names{"data.zlib"}));
        }
        EXPECT_EQ(test::read_file(dir / "data.zlib"), zdata);
    }
}

TEST(ZlibFile, CorruptDataIsRefused) {
    const Bytes data = test::text_bytes(100000);
    const Bytes good = test::zlib_reference(data, 9);
    struct Case {
        const char* what;
        Bytes zdata;
    };
    std::vector<Case> cases = {
        {"not a zlib header", test::text_bytes(500)},
        {"flipped byte in the middle", good},
        {"wrong Adler-32 trailer", good},
        {"header asking for a preset dictionary", {0x78, 0xBB, 0x00, 0x00, 0x00, 0x01, 0x03, 0x00}},
    };
    cases[1].zdata[good.size() / 2] ^= 0x10;
    cases[2].zdata.back() ^= 0x01;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        expect_refused(c.zdata, c.what == cases[3].what ? "need dictionary" : "data error");
    }
}

TEST(ZlibFile, EveryTruncationIsRefused) {
    const Bytes good = test::zlib_reference(test::text_bytes(300), 9);
    // From the empty file to the stream without its last trailer byte.
    for (size_t cut = 0; cut < good.size(); ++cut) {
        SCOPED_TRACE(cut);
        expect_refused(Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(cut)),
                       "unexpected end of file");
    }
}

TEST(ZlibFile, BytesAfterTheStreamAreIgnored) {
    const Bytes data = test::text_bytes(70000);
    Bytes zdata = test::zlib_reference(data, 9);
    const size_t stream_size = zdata.size();
    const Bytes junk = test::text_bytes(100000, 7);
    zdata.insert(zdata.end(), junk.begin(), junk.end());
    test::TempDir dir;
    test::write_file(dir / "a.zlib", zdata);
    const auto result = decompress_from_zlib(dir / "a.zlib");
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->target, dir / "a");
    EXPECT_EQ(result->bytes_read, stream_size);
    EXPECT_EQ(test::read_file(dir / "a"), data);
}

TEST(ZlibFile, Names) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> names = {
        {"a.txt.zlib", "a.txt"},           {"data/a.txt.zlib", "data/a.txt"},
        {"a.txt.zlib.zlib", "a.txt.zlib"}, {"a.zlib", "a"},
        {"a.ZLIB", std::nullopt},          {"a.zlib.txt", std::nullopt},
        {"a.Zlib", std::nullopt},          {"zlib", std::nullopt},
        {"a.zlib ", std::nullopt},
    };
    for (const auto& [name, target] : names) {
        SCOPED_TRACE(name);
        const auto got = unzlib_file_name(name);
        ASSERT_EQ(got.has_value(), target.has_value());
        if (target) {
            EXPECT_EQ(got->string(), *target);
            EXPECT_EQ(zlib_file_name(*got).string(), name);
        }
    }
}

TEST(ZlibFile, DesktopCommandsReplaceTargetsAndSkipOtherNames) {
    test::TempDir dir;
    const Bytes data = test::text_bytes(5000);
    test::write_file(dir / "a.txt", data);
    test::write_file(dir / "a.txt.zlib", kOld);
    EXPECT_EQ(compress_to_zlib(dir / "a.txt").target, dir / "a.txt.zlib");
    const Bytes zdata = test::read_file(dir / "a.txt.zlib");
    EXPECT_EQ(zdata, test::zlib_reference(data, 9));

    // Compressing a .zlib file appends ".zlib" once more, and back.
    EXPECT_EQ(compress_to_zlib(dir / "a.txt.zlib").target, dir / "a.txt.zlib.zlib");
    std::filesystem::remove(dir / "a.txt.zlib");
    EXPECT_EQ(decompress_from_zlib(dir / "a.txt.zlib.zlib")->target, dir / "a.txt.zlib");
    EXPECT_EQ(test::read_file(dir / "a.txt.zlib"), zdata);

    test::write_file(dir / "a.txt", kOld);
    EXPECT_EQ(decompress_from_zlib(dir / "a.txt.zlib")->target, dir / "a.txt");
    EXPECT_EQ(test::read_file(dir / "a.txt"), data);

    // Another ending: nothing happens at all.
    test::write_file(dir / "b.ZLIB", zdata);
    EXPECT_FALSE(decompress_from_zlib(dir / "b.ZLIB").has_value());
    EXPECT_FALSE(decompress_from_zlib(dir / "nonexistent.txt").has_value());
    EXPECT_EQ(dir.files(), (Names{"a.txt", "a.txt.zlib", "a.txt.zlib.zlib", "b.ZLIB"}));
}

TEST(ZlibFile, FileSystemErrors) {
    test::TempDir dir;
    test::write_file(dir / "a", test::text_bytes(100));
    compress_to_zlib(dir / "a");
    std::filesystem::create_directory(dir / "sub");
    test::write_file(dir / "sub" / ".zlib", test::read_file(dir / "a.zlib"));
    const auto text = [](const char* message, const std::filesystem::path& path,
                         const char* reason = "No such file or directory") {
        return std::string(message).append(path.string()).append(": ").append(reason);
    };
    const auto no_folder = dir / "none" / "x";
    EXPECT_THROW_MSG(compress_to_zlib(dir / "missing"), EInOutError,
                     text("Cannot open file ", dir / "missing"));
    EXPECT_THROW_MSG(decompress_from_zlib(dir / "missing.zlib"), EInOutError,
                     text("Cannot open file ", dir / "missing.zlib"));
    EXPECT_THROW_MSG(compress_file(dir / "a", no_folder), EInOutError,
                     text("Cannot create file ", no_folder));
    EXPECT_THROW_MSG(decompress_file(dir / "a.zlib", no_folder), EInOutError,
                     text("Cannot create file ", no_folder));
    // ".zlib" alone leaves a folder name, which names no file.
    EXPECT_THROW_MSG(decompress_from_zlib(dir / "sub" / ".zlib"), EInOutError,
                     text("Cannot create file ", dir / "sub" / "", "Is a directory"));
    EXPECT_EQ(dir.files(), (Names{"a", "a.zlib", "sub"}));
}

}  // namespace
}  // namespace quorvane
