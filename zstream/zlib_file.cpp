// zlib_file.cpp -- file streams, zlib streams and a copy between them, committed at the end.
#include "zstream/zlib_file.h"

#include <string>
#include <string_view>

#include "engine/errors.h"
#include "zstream/file_stream.h"
#include "zstream/memory_stream.h"
#include "zstream/zstream.h"

namespace quorvane {
namespace {

constexpr std::string_view kZlibEnding = ".zlib";

}  // namespace

std::filesystem::path zlib_file_name(const std::filesystem::path& name) {
    std::string text = name.string();
    text.append(kZlibEnding);
    return text;
}

std::optional<std::filesystem::path> unzlib_file_name(const std::filesystem::path& name) {
    const std::string text = name.string();
    if (!text.ends_with(kZlibEnding)) return std::nullopt;
    return text.substr(0, text.size() - kZlibEnding.size());
}

ZFileResult compress_file(const std::filesystem::path& source, const std::filesystem::path& target,
                          const ZFileProgress& progress, OutputOptions output) {
    FileInputStream in(source);
    const int64_t total = in.size();
    if (output.permissions < 0) output.permissions = in.permissions();
    AtomicOutputStream out(target, output);
    ZFileResult result{target, 0, 0};
    result.bytes_read = compress_stream(in, out, [&](uint64_t done) {
        if (progress) progress(done, total);
    });
    in.check_unchanged(true);
    result.bytes_written = static_cast<uint64_t>(out.position());
    out.commit();
    return result;
}

ZFileResult decompress_file(const std::filesystem::path& source,
                            const std::filesystem::path& target, const ZFileProgress& progress,
                            OutputOptions output) {
    FileInputStream in(source);
    const int64_t total = in.size();
    if (output.permissions < 0) output.permissions = in.permissions();
    AtomicOutputStream out(target, output);
    ZFileResult result{target, 0, 0};
    result.bytes_written = decompress_stream(in, out, [&] {
        if (progress) progress(static_cast<uint64_t>(in.position()), total);
    });
    result.bytes_read = static_cast<uint64_t>(in.position());
    uint8_t more = 0;
    result.trailing_data = in.read(&more, 1) != 0;
    in.check_unchanged(false);
    out.commit();
    return result;
}

uint64_t compress_stream(ByteStream& source, ByteStream& target,
                         const std::function<void(uint64_t)>& moved) {
    TZCompressionStream z(target, ZCompressionLevel::Max);
    const uint64_t read = copy_stream(z, source, moved);
    z.finish();
    return read;
}

std::vector<uint8_t> compress_bytes(const uint8_t* bytes, size_t count) {
    MemoryStream source(std::vector<uint8_t>(bytes, bytes + count));
    MemoryStream target;
    compress_stream(source, target);
    return std::move(target.data);
}

uint64_t decompress_stream(ByteStream& source, ByteStream& target,
                           const std::function<void()>& progress) {
    TZDecompressionStream z(source);
    if (progress) z.on_progress = progress;
    const uint64_t written = copy_stream(target, z);
    if (!z.at_end()) throw EZDecompressionError("unexpected end of file");
    return written;
}

ZFileResult compress_to_zlib(const std::filesystem::path& name, const ZFileProgress& progress) {
    return compress_file(name, zlib_file_name(name), progress);
}

std::optional<ZFileResult> decompress_from_zlib(const std::filesystem::path& name,
                                                const ZFileProgress& progress) {
    const auto target = unzlib_file_name(name);
    if (!target) return std::nullopt;
    return decompress_file(name, *target, progress);
}

}  // namespace quorvane
