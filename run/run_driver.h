// run_driver.h -- loading the input file and the run behind Start, in either direction.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "run/run_state.h"

namespace quorvane {

inline constexpr std::string_view kSizeLimitMessage = "Quorvane Limit: 83 Bytes < File > 32 KBytes";
inline constexpr int32_t kMinInputSize = 82;
inline constexpr int32_t kMaxInputSize = 32767;

enum class LoadResult {
    Accepted,  // opened; Unpacking set from the name
    Refused,   // outside the size limit; the message has been shown and the file closed
};

// Opens path for reading as the next run's input. Raises EInOutError when it cannot be opened
// and ECorruptData for a rod file larger than any rod file can be.
LoadResult load_file(Engine& e, const std::string& path);

// The same for a file already open for reading (of size bytes), named path.
LoadResult load_opened_file(Engine& e, const std::string& path, FileHandle file, int64_t size);

// The mode button: the direction of the next run, and the mode text that says it.
void set_direction(Engine& e, bool unpacking);

// The run: reads the loaded file, packs it (unpacking = false) or restores it, and writes the
// output once the engine has its result. Errors other than cancellation are raised after the
// closing steps have run.
RunResult ProcessRun(Engine& e, bool unpacking, const RunOptions& options = {});

}  // namespace quorvane
