// zlib_file.h -- the whole-file commands: a file to NAME.zlib and back, never half-written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "zstream/atomic_file.h"
#include "zstream/byte_stream.h"

namespace quorvane {

// What a whole-file command did.
struct ZFileResult {
    std::filesystem::path target;
    uint64_t bytes_read = 0;     // of the source
    uint64_t bytes_written = 0;  // to the target
    bool trailing_data = false;  // decompressing: the source goes on after its zlib stream
};

// Called now and then with the bytes of the source consumed so far and the source's size (-1
// when the source cannot tell, as a pipe).
using ZFileProgress = std::function<void(uint64_t done, int64_t total)>;

// name + ".zlib".
std::filesystem::path zlib_file_name(const std::filesystem::path& name);
// name without its ".zlib" ending; nullopt when name does not end exactly in ".zlib".
std::optional<std::filesystem::path> unzlib_file_name(const std::filesystem::path& name);

// Writes one zlib stream of the whole source (level 9, window bits 15, memory level 8, default
// strategy) to target. target is replaced only once the stream is complete; on any failure it
// keeps its content and no temporary file is left. output says whether an existing target may be
// replaced; a new file gets the source's permissions unless output names others. A source that
// changes while it is read raises "file changed while reading".
ZFileResult compress_file(const std::filesystem::path& source, const std::filesystem::path& target,
                          const ZFileProgress& progress = {}, OutputOptions output = {});

// Writes the inflated content of the zlib stream in source to target, once the whole stream has
// been inflated and its trailer checked; bytes after the stream are not read into it (the result
// says they are there). Data that is not a zlib stream raises EZDecompressionError "data error",
// a stream cut short "unexpected end of file"; in both cases target keeps its content. output as
// for compress_file.
ZFileResult decompress_file(const std::filesystem::path& source,
                            const std::filesystem::path& target, const ZFileProgress& progress = {},
                            OutputOptions output = {});

// Writes one zlib stream (as compress_file) of source, from its position to its end, to target;
// returns the bytes read. moved is called after every chunk with the bytes read so far.
uint64_t compress_stream(ByteStream& source, ByteStream& target,
                         const std::function<void(uint64_t)>& moved = {});

// The zlib stream compress_file would write for these bytes, made in memory.
std::vector<uint8_t> compress_bytes(const uint8_t* bytes, size_t count);

// Inflates the zlib stream that source holds from its position into target and returns the
// bytes written; a stream cut short raises "unexpected end of file". progress is called after
// every block read from source.
uint64_t decompress_stream(ByteStream& source, ByteStream& target,
                           const std::function<void()>& progress = {});

// The desktop commands: NAME to NAME.zlib, replacing it; NAME.zlib to NAME, replacing it, or
// nullopt and nothing done when the name does not end exactly in ".zlib".
ZFileResult compress_to_zlib(const std::filesystem::path& name, const ZFileProgress& progress = {});
std::optional<ZFileResult> decompress_from_zlib(const std::filesystem::path& name,
                                                const ZFileProgress& progress = {});

}  // namespace quorvane
