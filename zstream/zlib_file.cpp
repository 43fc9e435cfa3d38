// zlib_file.cpp -- file streams, zlib streams and a copy between them, committed at the end.
#include "zstream/zlib_file.h"

#include <string>
#include <string_view>

#include "engine/errors.h"
#include "zstream/file_stream.h"
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
                          const ZFileProgress& progress) {
    FileInputStream in(source);
    const int64_t total = in.size();
    AtomicOutputStream out(target);
    ZFileResult result{target, 0, 0};
    {
        TZCompressionStream z(out, ZCompressionLevel::Max);
        result.bytes_read = copy_stream(z, in, [&](uint64_t done) {
            if (progress) progress(done, total);
        });
        z.finish();
    }
    result.bytes_written = static_cast<uint64_t>(out.position());
    out.commit();
    return result;
}

ZFileResult decompress_file(const std::filesystem::path& source,
                            const std::filesystem::path& target, const ZFileProgress& progress) {
    FileInputStream in(source);
    const int64_t total = in.size();
    // "name.zlib" stripped to a folder ("dir/") names no file to create.
    if (!target.has_filename()) {
        std::string message("Cannot create file ");
        message.append(target.string());
        throw EInOutError(message);
    }
    AtomicOutputStream out(target);
    TZDecompressionStream z(in);
    if (progress) {
        z.on_progress = [&] { progress(static_cast<uint64_t>(in.position()), total); };
    }
    ZFileResult result{target, 0, copy_stream(out, z)};
    if (!z.at_end()) throw EZDecompressionError("unexpected end of file");
    result.bytes_read = static_cast<uint64_t>(in.position());
    out.commit();
    return result;
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
