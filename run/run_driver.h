// run_driver.h -- a run over bytes in memory: packing them into a rod file, or restoring one.
//
// These are the engine's entry points for every front end. A run reads its settings from a
// Settings value (and, for the ones that may change while it goes, from its observer), reports to
// the observer, and ends in a RunResult: the one way its outcome leaves the engine. Errors (files,
// zlib, conversions, damaged data) are raised as the exceptions of engine/errors.h.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "engine/run_observer.h"
#include "engine/settings.h"
#include "run/run_state.h"

namespace quorvane {

inline constexpr int32_t kMinInputSize = 82;
inline constexpr int32_t kMaxInputSize = 32767;

// How a run ended.
enum class RunOutcome {
    Written,        // the output file is written
    Tested,         // the output was made and proven in memory; nothing written
    NotSuccessful,  // packing found no stream worth writing; nothing written
    RestoreFailed,  // the rod stream did not restore; nothing written
    DeviceFull,     // the output could not be written whole; an existing file is unchanged
    Cancelled,      // the observer stopped the run; nothing written
};

struct RunResult {
    RunOutcome outcome = RunOutcome::NotSuccessful;
    std::vector<uint8_t> bytes;    // the output made: the rod file, or the restored file
    std::string OutputPath;        // the output's name (also when nothing was written)
    int32_t SourceByteCount = 0;   // bytes read
    int32_t OutputByteCount = 0;   // bytes of the output
    int32_t cycles = 0;            // packing cycles in the rod stream (packed or restored)
    int64_t passes = 0;            // unpacking: the passes that packed them
    bool content_checked = false;  // unpacking: the file's integrity trailer confirmed the result
    std::string write_error;       // DeviceFull: the system's reason

    // False only when packing found nothing worth writing.
    bool successful() const { return outcome != RunOutcome::NotSuccessful; }
};

// Packs input (82..32767 bytes) as the desktop program would, followed by the integrity trailer
// when integrity_check is set; the rod file is in bytes when the outcome is Tested. Raises
// EngineError for a size or rod size outside the limits.
RunResult pack_buffer(std::span<const uint8_t> input, const Settings& settings,
                      RunObserver& observer, bool integrity_check = true);

// Restores a rod file (at most 16 MiB); the restored bytes are in bytes when the outcome is
// Tested. A damaged integrity trailer, or a result that does not match it, raises ECorruptData
// "checksum mismatch".
RunResult unpack_buffer(std::span<const uint8_t> rod, const Settings& settings,
                        RunObserver& observer);

// The run itself, for the file module above: read feeds the input to take in blocks; write
// writes the output and tells how that went (absent: nothing is written, the outcome is Tested).
using InputFeed = std::function<void(const std::function<void(std::span<const uint8_t>)>& take)>;
using OutputWrite = std::function<RunOutcome(std::span<const uint8_t> bytes, std::string& error)>;
RunResult run_engine(Engine& e, bool unpacking, int64_t input_size, const InputFeed& read,
                     const OutputWrite& write, bool integrity_check);

}  // namespace quorvane
