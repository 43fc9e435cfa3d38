// run_state.h -- the engine's state, split by purpose and lifetime: what Load File chose, what a
// run reads and works on, and the best stream it keeps.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/bit_string.h"
#include "engine/centrifuge_pass.h"
#include "engine/reverse_pass.h"
#include "engine/run_observer.h"
#include "engine/settings.h"
#include "rodfile/rod_header.h"
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
    int32_t size = 0;          // the size at the load: the run's first CurrentSize and OriginalSize
    bool unpack_next = false;  // the direction of the next run: Load File and the mode button
    // What the file system said at the load. A regular file must say the same once the run has
    // read it; its permission bits go to the outputs made from it (-1: not known).
    bool regular = false;
    int64_t byte_size = 0;
    int64_t modified_ns = 0;
    int permissions = -1;
};

// The best stream a packing run has kept.
struct BestStream {
    BitString BestStreamBits;
    BitString BestHeaderDataBits;
    int32_t BestSize = 0;
};

// Everything one run works on, from its start to its result. Every run starts from a fresh one,
// so nothing of an earlier run can reach it.
struct RunState {
    bool unpacking = false;  // the run's own direction, fixed at its start
    uint8_t RodSize = 2;     // copied from the settings at the start

    // Reading the input.
    int32_t SourceByteCount = 0;
    int32_t BitsIn = 0;
    int32_t CurrentSize = 0;   // bytes of the stream being worked on
    int32_t OriginalSize = 0;  // bytes of the file that was packed
    uint32_t source_crc = 0;   // CRC-32 of the bytes read, for the integrity trailer

    // The input's bits; then the stream the cycles keep, or the restored bits.
    BitString StreamBits;
    BitString HeaderDataBits;  // header, data and pad of the stream kept

    // Packing.
    int32_t CycleCount = 1;
    bool DecisionOverflow = false;
    int32_t passes_run = 0;  // passes the last cycle ran before it chose its stream
    CycleState cycle;        // the cycle being run
    BestStream best;
    std::vector<BitString> spare_buffers;  // the cycles' pass buffers, kept from cycle to cycle
    RoundState proof;        // where a cycle restores its candidate stream to prove it
    CycleRecord last_cycle;  // what the last cycle did

    // Unpacking.
    RoundState round;              // the packing cycle being undone
    bool content_checked = false;  // the restored bits matched the file's integrity trailer
    int32_t cycles_undone = 0;
    int64_t passes_undone = 0;

    // Deflates and inflates the decision parts of every cycle, set up once a run.
    ZlibCoders zlib;
};

// What every step works in: the settings as last read, the observer it reports to and asks, and
// the state.
struct Engine {
    explicit Engine(RunObserver& run_observer, const Settings& start = {})
        : settings(start), observer(run_observer) {}
    Settings settings;
    RunObserver& observer;
    EngineLimits limits;
    LoadedInput input;
    RunState run;

    // The current value of a setting that may change during the run.
    const Settings& live(LiveSetting which) {
        observer.read_setting(which, settings);
        return settings;
    }
    // The run switches auto stop itself (on to stop, off when a loop of cycles begins).
    void set_auto_stop(bool on) {
        settings.auto_stop = on;
        observer.setting_changed(LiveSetting::AutoStop, settings);
    }
};

}  // namespace quorvane
