// status_texts.h -- every text the statistics and centrifuge labels show, in one place, so that
// the engine and both front ends say the same thing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvane {

// Mode texts (ModeLabel).
inline constexpr std::string_view kModePacking = "Vexion Mode  : Packing";
inline constexpr std::string_view kModeUnpacking = "Vexion Mode  : UnPacking";
inline constexpr std::string_view kModePackingLz77 = "Vexion Mode  : Packing [Lz77]";
inline constexpr std::string_view kModeUnpackingLz77 = "Vexion Mode  : UnPacking [Lz77]";
inline constexpr std::string_view kModeSuccessful = "Vexion Mode  : Succesfull";
inline constexpr std::string_view kModeTestingOnly = "Vexion Mode  : Testing only";
inline constexpr std::string_view kModeFailed = "Vexion Mode  : Failed !";
inline constexpr std::string_view kModeNotSuccessful = "Vexion Mode  : Not Succesfull";
// A run the user stopped: nothing written.
inline constexpr std::string_view kModeStopped = "Vexion Mode  : Stopped";

// Words that take the place of the rod counts (DecisionsLabel, Label_9).
inline constexpr std::string_view kNextPass = "Next pass";
inline constexpr std::string_view kLastPass = "Last pass";
inline constexpr std::string_view kReady = "Ready";
inline constexpr std::string_view kRestored = "Restored";
inline constexpr std::string_view kError = "Error";

// Texts of a freshly loaded file.
inline constexpr std::string_view kNoBitsInput = "Bits Input   : 0";
inline constexpr std::string_view kNoBitsOutput = "Bits Output  : 0";
inline constexpr std::string_view kNoData = "Vexion Data  : 0";
inline constexpr std::string_view kNoDepth = "Vexion Depth : 0";

// The mode text of a direction at a run's start or after Load File.
std::string_view mode_text(bool unpacking, bool lz77 = false);

std::string bits_input_text(int64_t bits);
std::string bits_output_text(int64_t bits);
// "Vexion Data  : N bytes"; without_unit drops " bytes", as the not-successful outcome shows it.
std::string data_text(int64_t bytes, bool without_unit = false);
// "Vexion Depth : " with the cycle and pass; cycle 1 shows the pass alone unless both are asked.
std::string depth_text(int32_t cycle, int32_t pass, bool always_both = false);

}  // namespace quorvane
