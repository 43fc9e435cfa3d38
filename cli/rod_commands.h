// rod_commands.h -- the pack, unpack and test subcommands.
#pragma once

#include "cli/frame.h"

namespace quorvane::cli {

extern const Subcommand kPackCommand;
extern const Subcommand kUnpackCommand;
extern const Subcommand kTestCommand;

}  // namespace quorvane::cli
