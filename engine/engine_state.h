// engine_state.h -- the single record of run state shared by every engine step, and the context
// (state, settings, front end) that the steps work in.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/bit_string.h"
#include "engine/front_end.h"
#include "run/run_settings.h"

namespace quorvane {

// Caps of the header's fields; tests may lower them to reach the caps quickly.
struct EngineLimits {
    int32_t max_passes = 65535;  // largest PassDepth (16-bit field)
    int32_t max_cycles = 32767;  // CycleCount at which a multi-cycle run finalises (15-bit field)
    int32_t max_balance = (1 << 27) - 1;  // largest HighRods - LowRods (28-bit signed field)
};

struct FileCloser {
    void operator()(std::FILE* f) const noexcept {
        if (f != nullptr) std::fclose(f);
    }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// How a run treats its output (the command line's -o and test; the window uses the defaults).
struct RunOptions {
    std::string output_path;  // empty: named from the input and the direction
    bool dry_run = false;     // restore or pack in memory only, write nothing
};

struct EngineState {
    // Input and output files.
    std::string InputPath;
    FileHandle InputFile;  // open from Load File until the next run has read it
    std::string OutputPath;
    bool Unpacking = false;      // direction chosen by Load File and the mode button
    bool RunUnpacking = false;   // the running run's own direction, fixed at its start
    bool OutputWritten = false;  // the last run wrote its output file
    bool RestoreFailed = false;  // the last unpacking run could not restore its stream

    // Reading.
    int32_t BlockByteCount = 0;
    int32_t SourceByteCount = 0;
    int32_t BitsIn = 0;
    int32_t BitsOut = 0;

    // Bit strings.
    BitString StreamBits;
    BitString DataBits;
    BitString
        DecisionArray;  // a cycle's decision bits, eight to a byte, the first in bit 7 of byte 0
    BitString DecisionBits;  // on restore: the cycle's decision bits not yet used
    BitString HeaderDataBits;
    BitString DecisionStreamBits;
    BitString TrailingBits;
    BitString TabletBits;
    BitString BestStreamBits;
    BitString BestDecisionStreamBits;
    BitString BestHeaderDataBits;
    std::string BestDepthText;
    std::string DepthText;  // the text LoopCountLabel shows now

    // Counters and sizes.
    uint8_t RodSize = 2;
    int32_t CycleCount = 1;
    int32_t PassDepth = 1;
    int32_t HeaderPassDepth = 0;  // on restore: the passes the header read last gave
    int32_t PassesRun = 0;        // passes the last cycle kept, before its stream was chosen
    int32_t LowRods = 0;
    int32_t HighRods = 0;
    int32_t TrailingBitCount = 0;
    int32_t DataBitCount = 0;
    int32_t RodBalance = 0;
    int32_t CurrentSize = 0;
    int32_t OriginalSize = 0;
    int32_t BestSize = 0;
    int32_t CycleSize = 0;
    int32_t OutputByteCount = 0;
    std::vector<uint8_t> OutputBuffer;

    // Flags.
    bool CycleDone = false;
    bool OutputReady = false;
    bool NotSuccessful = false;
    bool DecisionOverflow = false;
    bool TrailingPending = false;

    EngineLimits limits;
    RunOptions Options;
};

// What every step works in: the state, the settings it reads, the front end it reports to.
struct Engine {
    Engine(RunSettings& run_settings, FrontEnd& front_end)
        : settings(run_settings), ui(front_end) {}
    EngineState st;
    RunSettings& settings;
    FrontEnd& ui;
};

}  // namespace quorvane
