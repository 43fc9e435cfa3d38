// run_state.h -- the engine's state, split by purpose and lifetime: what Load File chose, what a
// run reads and works on, the best stream it keeps, and the result it ends with.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/bit_string.h"
#include "engine/centrifuge_pass.h"
#include "engine/run_observer.h"
#include "engine/reverse_pass.h"
#include "rodfile/rod_header.h"
#include "run/run_settings.h"
#include "zstream/zlib_buffer.h"

namespace quorvane {

// Caps of the header's fields; tests may lower them to reach the caps quickly.
struct EngineLimits {
    int32_t max_passes = kMaxPassDepth;    // largest PassDepth
    int32_t max_cycles = kMaxCycleCount;   // CycleCount at which a multi-cycle run finalises
    int32_t max_balance = kMaxRodBalance;  // largest HighRods - LowRods
};

struct FileCloser {
    void operator()(std::FILE* f) const noexcept {
        if (f != nullptr) std::fclose(f);
    }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// The file Load File chose; it stays open until the next run has read it.
struct LoadedInput {
    std::string InputPath;
    FileHandle InputFile;
    int32_t FileSize = 0;    // the size at the load: the run's first CurrentSize and OriginalSize
    bool Unpacking = false;  // the direction chosen by Load File and the mode button
    // What the file system said at the load. A regular file must say the same once the run has
    // read it; its permission bits go to the outputs made from it (-1: not known).
    bool regular = false;
    int64_t byte_size = 0;
    int64_t modified_ns = 0;
    int permissions = -1;
};

// Where a run's output goes (the command line's -o, -c, -f, --no-check and test; the window uses
// the defaults).
struct RunOptions {
    std::string output_path;      // empty: named from the input and the direction
    bool dry_run = false;         // restore or pack in memory only, write nothing
    bool replace = true;          // an existing output file may be replaced
    bool integrity_check = true;  // packing: the integrity trailer follows the rod stream
    int output_descriptor = -1;   // write there (standard output) instead of a file
};

// The best stream a packing run has kept, with the depth text shown when it was made.
struct BestStream {
    BitString BestStreamBits;
    BitString BestDecisionStreamBits;
    BitString BestHeaderDataBits;
    std::string BestDepthText;
    int32_t BestSize = 0;
};

// Everything one run works on, from its start to its result. Every run starts from a fresh one,
// so nothing of an earlier run can reach it.
struct RunState {
    bool unpacking = false;  // the run's own direction, fixed at its start
    uint8_t RodSize = 2;     // copied from the settings at the start

    // Reading the input.
    int32_t BlockByteCount = 0;
    int32_t SourceByteCount = 0;
    int32_t BitsIn = 0;
    int32_t CurrentSize = 0;   // bytes of the stream being worked on
    int32_t OriginalSize = 0;  // bytes of the file that was packed
    uint32_t source_crc = 0;   // CRC-32 of the bytes read, for the integrity trailer

    // The input's bits; then the stream the cycles keep, or the restored bits.
    BitString StreamBits;
    BitString HeaderDataBits;      // header, data and pad of the stream kept
    BitString DecisionStreamBits;  // decision part of the stream kept
    std::string DepthText;         // what LoopCountLabel shows now

    // Packing.
    int32_t CycleCount = 1;
    int32_t CycleSize = 0;
    bool DecisionOverflow = false;
    bool NotSuccessful = false;  // the last cycle found no stream worth writing
    int32_t passes_run = 0;      // passes the last cycle ran before it chose its stream
    CycleState cycle;            // the cycle being run
    BestStream best;
    std::vector<BitString> spare_buffers;  // the cycles' pass buffers, kept from cycle to cycle

    // Unpacking.
    RoundState round;              // the packing cycle being undone
    bool content_checked = false;  // the restored bits matched the file's integrity trailer

    // Deflates and inflates the decision parts of every cycle, set up once a run.
    ZlibCoders zlib;

    // The output.
    std::vector<uint8_t> OutputBuffer;
    int32_t OutputByteCount = 0;
    std::string write_error;  // why the output could not be written whole

    // Where the run stands, for progress reports.
    int32_t pass() const { return unpacking ? round.PassDepth : cycle.PassDepth; }
    size_t working_bits() const {
        return unpacking ? round.DataBits.size() : cycle.DataBits.size();
    }
};

// How a run ended.
enum class RunOutcome {
    Written,        // the output file is written
    Tested,         // a dry run: the output was made and proven, nothing written
    NotSuccessful,  // packing found no stream worth writing; nothing written
    RestoreFailed,  // the rod stream did not restore; nothing written
    DeviceFull,     // the output could not be written whole; an existing file is unchanged
    Cancelled,      // the front end stopped the run; nothing written
};

struct RunResult {
    RunOutcome outcome = RunOutcome::NotSuccessful;
    std::string OutputPath;        // the output's name (also when nothing was written)
    int32_t SourceByteCount = 0;   // bytes read
    int32_t OutputByteCount = 0;   // bytes of the output
    bool content_checked = false;  // unpacking: the file's integrity trailer confirmed the result
    std::string write_error;       // DeviceFull: the system's reason

    // The described result of a run: false only when packing found nothing worth writing.
    bool successful() const { return outcome != RunOutcome::NotSuccessful; }
};

// What every step works in: the settings it reads, the front end it reports to, and the state.
struct Engine {
    Engine(RunSettings& run_settings, FrontEnd& front_end)
        : settings(run_settings), ui(front_end) {}
    RunSettings& settings;
    RunObserver& observer;
    EngineLimits limits;
    LoadedInput input;
    RunState run;
};

// Shows the depth text and keeps it, so that the best stream can take it along.
inline void set_depth_label(Engine& e, std::string text) {
    e.ui.set_label(Label::LoopCountLabel, text);
    e.run.DepthText = std::move(text);
}

}  // namespace quorvane
