// info_command.h -- the info subcommand: a rod file's outer header, without restoring it.
#pragma once

#include "cli/frame.h"

namespace quorvane::cli {

extern const Subcommand kInfoCommand;

}  // namespace quorvane::cli
