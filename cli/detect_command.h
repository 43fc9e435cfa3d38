// detect_command.h -- the detect subcommand, and the detection behind unpack --detect and
// test --detect.
#pragma once

#include <string>

#include "cli/frame.h"
#include "run/rod_detection.h"

namespace quorvane::cli {

extern const Subcommand kDetectCommand;

// The settings input restores with, for unpack and test: refused (exit 1) with the restoration
// failure message when none restores it, and with every candidate listed (all settings tried)
// when it restores to two or more different files.
RodSettingsPair detect_settings_of(const Options& options, const std::string& input);

// "-r 2-5,8; -r 3 --no-lz77": settings as the options that give them.
std::string settings_text(const std::vector<RodSettingsPair>& settings);

}  // namespace quorvane::cli
