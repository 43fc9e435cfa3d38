// settings.h -- the settings a run works with, as numbers and switches, and their limits.
//
// Front ends parse and check their own forms of them (the window's controls, the command line's
// options, the library's struct) and hand the engine this value; nothing inside the engine turns
// a setting into text or back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvane {

inline constexpr unsigned kMinRodSize = 2;
inline constexpr unsigned kMaxRodSize = 128;
inline constexpr int32_t kMinDepth = 1;  // percent of a cycle's start length
inline constexpr int32_t kMaxDepth = 60;
inline constexpr int32_t kMinLevel = 1;  // target size, percent of the original
inline constexpr int32_t kMaxLevel = 100;

struct Settings {
    unsigned rod_size = 2;      // bits per rod; taken once, at a run's start
    int32_t depth = 1;          // a cycle's passes stop at this percentage of its start length
    int32_t level = 1;          // the run stops once the stream is this percentage of the original
    bool lz77 = true;           // decision parts deflated with zlib
    bool single = false;        // one cycle only
    bool auto_stop = true;      // stop when a cycle no longer improves on the best stream
    int32_t loop_count = 2;     // cycles after which auto stop is switched on
    bool experimental = false;  // shown with the statistics; the passes do not depend on it
};

// The settings a run reads again at the step that uses them (the rod size at its start), so that
// a change made during the run takes effect there.
enum class LiveSetting { RodSize, Depth, Level, Lz77, Single, AutoStop, LoopCount };

// "Rod size must be 2 to 128, not N" for a rod size outside the limits; empty when it is within.
std::string rod_size_problem(int64_t rod_size);

// Strict decimal conversion: an optional sign and at least one digit, within the signed 32-bit
// range; anything else raises "'%s' is not a valid integer value".
int32_t strict_decimal(std::string_view text);

}  // namespace quorvane
