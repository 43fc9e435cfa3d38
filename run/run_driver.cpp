// run_driver.cpp -- Load File and ProcessRun.
#include "run/run_driver.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <span>

#include "chip/chip_code.h"
#include "engine/bit_codecs.h"
#include "engine/checked_math.h"
#include "engine/errors.h"

#include "rodfile/rod_file_names.h"
#include "rodfile/rod_trailer.h"
#include "run/centrifuge_cycle.h"
#include "run/restoration.h"
#include "run/run_output.h"

namespace quorvane {
namespace {

constexpr size_t kReadBlock = 1024;

int64_t modified_ns(const struct stat& st) {
    return int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
}

// A regular input must still be what Load File saw: otherwise the bytes read may be torn between
// two versions of it, and a rod file's size would not be the one its stream was measured by.
void check_unchanged(const LoadedInput& input, int32_t bytes_read) {
    struct stat st {};
    if (!input.regular || ::fstat(::fileno(input.InputFile.get()), &st) != 0) return;
    if (bytes_read != input.byte_size || static_cast<int64_t>(st.st_size) != input.byte_size ||
        modified_ns(st) != input.modified_ns) {
        throw EInOutError("file changed while reading");
    }
}

void show_read_counts(Engine& e) {
    const RunState& run = e.run;
    e.ui.set_label(Label::InputLabel, bits_input_text(run.BitsIn));
    e.ui.set_label(Label::OutputLabel, bits_output_text(run.BitsIn));
    e.ui.set_label(Label::StreamLabel, data_text(run.SourceByteCount));
}

// Reads the whole input file into StreamBits, a block at a time.
void read_input(Engine& e) {
    RunState& run = e.run;
    LoadedInput& input = e.input;
    // Both a second Start without Load File and a refused load leave no file open.
    if (!input.InputFile) throw EInOutError("I/O error 103: file not open");
    std::array<uint8_t, kReadBlock> block{};
    for (;;) {
        const size_t got = std::fread(block.data(), 1, block.size(), input.InputFile.get());
        if (got == 0) {
            if (std::ferror(input.InputFile.get())) {
                input.InputFile.reset();
                throw EInOutError("Cannot read file " + input.InputPath);
            }
            break;
        }
        run.BlockByteCount = static_cast<int32_t>(got);
        run.SourceByteCount = checked_add(run.SourceByteCount, run.BlockByteCount);
        if (run.SourceByteCount > kMaxRodFileBytes) {
            input.InputFile.reset();
            throw ECorruptData("File larger than 16 MiB: " + input.InputPath);
        }
        run.BitsIn = checked_mul(run.SourceByteCount, 8);
        run.source_crc = crc32_of(std::span(block).first(got), run.source_crc);
        e.ui.set_gauge_progress(Gauge::ProcessGauge, run.SourceByteCount);
        for (size_t i = 0; i < got; ++i)
            ByteToBits(block[i], run.StreamBits);
        // The labels show the block's totals; they were rewritten for every byte of it.
        show_read_counts(e);
    }
    try {
        check_unchanged(input, run.SourceByteCount);
    } catch (...) {
        input.InputFile.reset();
        throw;
    }
    input.InputFile.reset();
    e.checkpoint(observer);
}

void check_loop_count(Engine& e) {
    if (e.settings.integer(Setting::LoopCount) == e.run.CycleCount) {
        e.settings.set(Setting::AutoStop, "S");
    }
}

// The cycles of a packing run; Finalised leaves the stream to write in StreamBits.
CycleEnd pack_cycles(Engine& e) {
    RunState& run = e.run;
    run.CurrentSize = run.SourceByteCount;
    e.ui.set_gauge(Gauge::CentriGauge2, run.BitsIn, run.BitsIn);
    CycleEnd end = CycleEnd::NextCycle;
    if (e.settings.single_cycle()) {
        end = CentrifugeCycle(e);
        run.NotSuccessful = end == CycleEnd::NotSuccessful;
        e.ui.cycle_finished();
        e.checkpoint(observer);
    } else {
        e.settings.set(Setting::AutoStop, "");
        while (end == CycleEnd::NextCycle) {
            try {
                run.CurrentSize = checked_i32(run.StreamBits.size() / 8);
                const auto length = static_cast<int64_t>(run.StreamBits.size());
                e.ui.set_gauge(Gauge::CentriGauge2, length, length);
                end = CentrifugeCycle(e);
                run.NotSuccessful = end == CycleEnd::NotSuccessful;
                e.ui.cycle_finished();
                if (!run.NotSuccessful) run.CycleCount = checked_add(run.CycleCount, 1);
                e.ui.set_gauge_progress(Gauge::LoopProgressBar, run.CycleCount);
            } catch (const ERunCancelled&) {
                throw;
            } catch (...) {
                // The loop count is checked after every cycle, also one that ended in an error.
                check_loop_count(e);
                throw;
            }
            check_loop_count(e);
        }
    }
    e.ui.set_gauge_progress(Gauge::LoopProgressBar, run.CycleCount);
    e.checkpoint(observer);
    return end;
}

// The closing steps, also of a run that an error ended.
void close_run(Engine& e, bool not_successful) {
    RunState& run = e.run;
    run.NotSuccessful = false;
    if (not_successful) {
        e.ui.set_label(Label::ModeLabel, kModeNotSuccessful);
        e.ui.set_label(Label::OutputLabel, bits_output_text(run.BitsIn));
        e.ui.set_label(Label::StreamLabel, data_text(run.SourceByteCount, true));
        set_depth_label(e, std::string(kNoDepth));
        e.ui.set_label(Label::DecisionsLabel, kError);
        e.ui.set_label(Label::Label_9, kError);
    }
    e.ui.set_gauge_progress(Gauge::LoopProgressBar, 0);
    e.ui.set_gauge_progress(Gauge::CentriGauge1, 0);
    e.ui.set_gauge_progress(Gauge::CentriGauge2, 0);
}

// Everything between reading the rod size and the closing steps.
RunResult run_steps(Engine& e, const RunOptions& options) {
    RunState& run = e.run;
    RunResult result;
    result.OutputPath = options.output_path.empty()
                            ? rod_output_name(e.input.InputPath, run.unpacking)
                            : options.output_path;
    const bool lz77 = e.settings.lz77_on();
    e.ui.set_label(Label::ModeLabel, mode_text(run.unpacking, lz77));
    read_input(e);
    result.SourceByteCount = run.SourceByteCount;
    bool have_output = false;
    if (run.unpacking) {
        have_output = RestoreStream(e);
        if (!have_output) result.outcome = RunOutcome::RestoreFailed;
        result.content_checked = run.content_checked;
    } else {
        have_output = pack_cycles(e) == CycleEnd::Finalised;
        if (!have_output) result.outcome = RunOutcome::NotSuccessful;
    }
    if (have_output) {
        result.outcome = WriteZivIduvBitsBufferToFile(e, result.OutputPath, options);
        result.OutputByteCount = run.OutputByteCount;
        result.write_error = run.write_error;
    }
    e.checkpoint(observer);
    if (!run.unpacking && have_output && run.StreamBits.size() <= kTabletContentBits) {
        e.ui.draw_chip_code(run.StreamBits, run.HeaderDataBits);
    }
    return result;
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
    input.FileSize = static_cast<int32_t>(std::min<int64_t>(size, INT32_MAX));
    if (!rod && (size > kMaxInputSize || size < kMinInputSize)) {
        e.ui.show_message(kSizeLimitMessage);
        return LoadResult::Refused;
    }
    input.Unpacking = rod;
    input.InputFile = std::move(file);
    const int64_t bytes = input.FileSize;
    RunObserver& observer = e.ui;
    ui.set_gauge(Gauge::ProcessGauge, bytes, bytes);
    ui.set_gauge(Gauge::CentriGauge1, 100, 100);
    ui.set_gauge(Gauge::CentriGauge2, bytes * 8, bytes * 8);
    ui.set_label(Label::InputLabel, kNoBitsInput);
    ui.set_label(Label::OutputLabel, kNoBitsOutput);
    ui.set_label(Label::ModeLabel, mode_text(rod));
    ui.set_label(Label::StreamLabel, kNoData);
    set_depth_label(e, std::string(kNoDepth));
    checkpoint(observer);
    return LoadResult::Accepted;
}

void set_direction(Engine& e, bool unpacking) {
    e.input.Unpacking = unpacking;
    e.ui.set_label(Label::ModeLabel, mode_text(unpacking));
}

RunResult ProcessRun(Engine& e, bool unpacking, const RunOptions& options) {
    const int32_t rod_size = e.settings.integer(Setting::RodSize);
    if (rod_size < 2 || rod_size > 128) {
        throw EngineError("Rod size must be 2 to 128, not " + std::to_string(rod_size));
    }
    e.run = RunState{};
    RunState& run = e.run;
    run.unpacking = unpacking;
    run.RodSize = static_cast<uint8_t>(rod_size);
    run.CurrentSize = e.input.FileSize;
    run.OriginalSize = e.input.FileSize;
    e.checkpoint(observer);
    e.ui.set_gauge_max(Gauge::ProcessGauge, run.CurrentSize);
    run.best.BestSize = run.CurrentSize;
    e.ui.set_gauge_max(Gauge::LoopProgressBar, 127);
    e.checkpoint(observer);
    RunResult result;
    try {
        result = run_steps(e, options);
    } catch (const ERunCancelled&) {
        e.input.InputFile.reset();
        close_run(e, false);
        result.outcome = RunOutcome::Cancelled;
        return result;
    } catch (...) {
        e.input.InputFile.reset();
        close_run(e, run.NotSuccessful);
        throw;
    }
    close_run(e, result.outcome == RunOutcome::NotSuccessful);
    e.checkpoint(observer);
    return result;
}

}  // namespace quorvane
