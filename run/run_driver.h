// run_driver.h -- loading the input file and the run behind Start, in either direction.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/engine_state.h"

namespace quorvane {

inline constexpr std::string_view kSizeLimitMessage = "Quorvane Limit: 83 Bytes < File > 32 KBytes";
inline constexpr int32_t kMinInputSize = 82;
inline constexpr int32_t kMaxInputSize = 32767;
// No rod file the program writes is larger: the header's fields cannot describe more.
inline constexpr int64_t kMaxRodFileSize = int64_t{16} * 1024 * 1024;
// A stream at most this long is drawn as a chip code after packing.
inline constexpr size_t kMaxChipStreamBits = 36274;

// True when the name ends exactly (case counts) in ".rod": such a file is unpacked by default.
bool IsRodName(std::string_view path);

enum class LoadResult {
    Accepted,  // opened; Unpacking set from the name
    Refused,   // outside the size limit; the message has been shown and the file closed
};

// Opens path for reading as the next run's input. Raises EInOutError when it cannot be opened
// and ECorruptData for a rod file larger than any rod file can be.
LoadResult LoadFile(Engine& e, const std::string& path);

// The same for a file already open for reading (of size bytes), named path.
LoadResult LoadOpenedFile(Engine& e, const std::string& path, FileHandle file, int64_t size);

// The run: reads the loaded file, then packs it (unpacking = false) or restores it. Returns
// false only when packing found no stream worth writing. Its closing steps run also when an
// error ends it; the error then passes on to the caller.
bool ProcessRun(Engine& e, bool unpacking);

}  // namespace quorvane
