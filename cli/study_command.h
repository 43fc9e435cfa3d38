// study_command.h -- the study subcommand: files packed under a sweep of settings, measured.
#pragma once

#include "cli/frame.h"

namespace quorvane::cli {

extern const Subcommand kStudyCommand;

}  // namespace quorvane::cli
