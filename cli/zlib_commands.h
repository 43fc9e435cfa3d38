// zlib_commands.h -- the compress and decompress subcommands.
#pragma once

#include "cli/frame.h"

namespace quorvane::cli {

extern const Subcommand kCompressCommand;
extern const Subcommand kDecompressCommand;

}  // namespace quorvane::cli
