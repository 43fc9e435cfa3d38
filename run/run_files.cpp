// run_files.cpp -- Load File, and a run's input and output files.
#include "run/run_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "engine/errors.h"
#include "rodfile/rod_file_names.h"
#include "rodfile/rod_header.h"
#include "zstream/atomic_file.h"

namespace quorvane {
namespace {

constexpr size_t kReadBlock = 1024;

int64_t modified_ns(const struct stat& st) {
    return int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
}

// A regular input must still be what Load File saw: otherwise the bytes read may be torn between
// two versions of it, and a rod file's size would not be the one its stream was measured by.
void check_unchanged(const LoadedInput& input, int64_t bytes_read) {
    struct stat st {};
    if (!input.regular || ::fstat(::fileno(input.InputFile.get()), &st) != 0) return;
    if (bytes_read != input.byte_size || static_cast<int64_t>(st.st_size) != input.byte_size ||
        modified_ns(st) != input.modified_ns) {
        throw EInOutError("file changed while reading");
    }
}

// Reads the whole input file, a block at a time, and closes it.
void read_input(LoadedInput& input, const std::function<void(std::span<const uint8_t>)>& take) {
    // Both a second Start without Load File and a refused load leave no file open.
    if (!input.InputFile) throw EInOutError("I/O error 103: file not open");
    FileHandle file = std::move(input.InputFile);
    std::array<uint8_t, kReadBlock> block{};
    int64_t total = 0;
    for (;;) {
        const size_t got = std::fread(block.data(), 1, block.size(), file.get());
        if (got == 0) {
            if (std::ferror(file.get())) throw EInOutError("Cannot read file " + input.InputPath);
            break;
        }
        total += static_cast<int64_t>(got);
        try {
            take(std::span(block).first(got));
        } catch (const ECorruptData&) {
            throw ECorruptData("File larger than 16 MiB: " + input.InputPath);
        }
    }
    input.InputFile = std::move(file);
    try {
        check_unchanged(input, total);
    } catch (...) {
        input.InputFile.reset();
        throw;
    }
    input.InputFile.reset();
}

// Writes the output atomically, with the loaded file's permissions: a full device leaves the old
// file (if any) as it was and gives the system's reason. Without options.replace an existing
// file is never replaced, also not one that appeared during the run.
RunOutcome WriteOutputFile(Engine& e, const std::string& path, const RunOptions& options,
                           std::span<const uint8_t> bytes, std::string& error) {
    OutputOptions output;
    output.replace = options.replace;
    output.permissions = e.input.permissions;
    output.descriptor = options.output_descriptor;
    AtomicFile file(path, output);
    const bool complete = file.write(bytes.data(), bytes.size()) == bytes.size();
    // A cancel while the file is pending leaves nothing behind.
    checkpoint(e.observer);
    if (!complete) {
        error = file.write_error();
        return RunOutcome::DeviceFull;
    }
    file.commit();
    return RunOutcome::Written;
}

}  // namespace

LoadResult load_file(Engine& e, const std::string& path) {
    e.input.InputPath = path;
    e.input.InputFile.reset();
    FileHandle file(std::fopen(path.c_str(), "rb"));
    struct stat info {};
    if (!file || ::fstat(::fileno(file.get()), &info) != 0 || S_ISDIR(info.st_mode)) {
        const int error = file && S_ISDIR(info.st_mode) ? EISDIR : errno;
        throw EInOutError("Cannot open file " + path + ": " + std::strerror(error));
    }
    const LoadResult result = load_opened_file(e, path, std::move(file), info.st_size);
    LoadedInput& input = e.input;
    input.regular = S_ISREG(info.st_mode);
    input.byte_size = static_cast<int64_t>(info.st_size);
    input.modified_ns = modified_ns(info);
    input.permissions = input.regular ? static_cast<int>(info.st_mode & 0777) : -1;
    return result;
}

LoadResult load_opened_file(Engine& e, const std::string& path, FileHandle file, int64_t size) {
    LoadedInput& input = e.input;
    input.InputPath = path;
    input.InputFile.reset();
    input.regular = false;
    input.permissions = -1;
    const bool rod = is_rod_name(path);
    if (rod && size > kMaxRodFileBytes) {
        throw ECorruptData("Rod file larger than 16 MiB: " + path);
    }
    input.size = static_cast<int32_t>(std::min<int64_t>(size, INT32_MAX));
    if (!rod && (size > kMaxInputSize || size < kMinInputSize)) return LoadResult::Refused;
    input.unpack_next = rod;
    input.InputFile = std::move(file);
    e.observer.loaded(input.size, rod);
    checkpoint(e.observer);
    return LoadResult::Accepted;
}

void set_direction(Engine& e, bool unpacking) {
    e.input.unpack_next = unpacking;
    e.observer.direction_changed(unpacking);
}

RunResult ProcessRun(Engine& e, bool unpacking, const RunOptions& options) {
    LoadedInput& input = e.input;
    const std::string output_path = options.output_path.empty()
                                        ? rod_output_name(input.InputPath, unpacking)
                                        : options.output_path;
    const InputFeed read = [&input](const std::function<void(std::span<const uint8_t>)>& take) {
        read_input(input, take);
    };
    OutputWrite write;
    if (!options.dry_run) {
        write = [&e, &options, &output_path](std::span<const uint8_t> bytes, std::string& error) {
            return WriteOutputFile(e, output_path, options, bytes, error);
        };
    }
    RunResult result;
    try {
        result = run_engine(e, unpacking, input.size, read, write, options.integrity_check);
    } catch (...) {
        input.InputFile.reset();
        throw;
    }
    input.InputFile.reset();
    result.OutputPath = output_path;
    return result;
}

}  // namespace quorvane
