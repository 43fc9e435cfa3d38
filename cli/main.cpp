// main.cpp -- quorvane-cli: the table of subcommands handed to the command-line frame.
#include <array>

#include "cli/detect_command.h"
#include "cli/frame.h"
#include "cli/info_command.h"
#include "cli/rod_commands.h"
#include "cli/study_command.h"
#include "cli/zlib_commands.h"

int main(int argc, char** argv) {
    using namespace quorvane::cli;
    const std::array commands = {kPackCommand,     kUnpackCommand,     kTestCommand,
                                 kCompressCommand, kDecompressCommand, kInfoCommand,
                                 kDetectCommand,   kStudyCommand};
    return static_cast<int>(run_cli(commands, argc, argv));
}
