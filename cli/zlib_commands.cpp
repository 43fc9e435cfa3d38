// zlib_commands.cpp -- compress FILE to FILE.zlib and decompress FILE.zlib to FILE.
#include "cli/zlib_commands.h"

#include <unistd.h>

#include <string>

#include "cli/progress_line.h"
#include "zstream/zlib_file.h"

namespace quorvane::cli {
namespace {

using FileCommand = ZFileResult (*)(const std::filesystem::path&, const std::filesystem::path&,
                                    const ZFileProgress&, OutputOptions);

void run_one(const Options& options, const std::string& input, std::filesystem::path target,
             FileCommand command) {
    OutputOptions output;
    output.replace = options.force;
    if (options.to_stdout) {
        target = "standard output";
        output.descriptor = STDOUT_FILENO;
    } else {
        check_output(options, input, target);
    }
    ProgressLine progress(!options.quiet);
    const std::string shown = printable(input);
    const ZFileResult result = command(
        source_of(input), target,
        [&](uint64_t done, int64_t total) { progress.update(shown, done, total); }, output);
    progress.clear();
    if (result.trailing_data && !options.quiet) {
        report(input, "warning: data after the end of the zlib stream ignored");
    }
    if (options.verbose && !options.quiet) {
        std::string message(std::to_string(result.bytes_read));
        message.append(" -> ").append(std::to_string(result.bytes_written));
        message.append(" bytes, wrote ").append(result.target.string());
        report(input, message);
    }
}

ExitStatus run_compress(const Options& options) {
    return for_each_input(options, [&](const std::string& input) {
        const std::filesystem::path target =
            options.output ? std::filesystem::path(*options.output) : zlib_file_name(input);
        run_one(options, input, target, compress_file);
    });
}

ExitStatus run_decompress(const Options& options) {
    return for_each_input(options, [&](const std::string& input) {
        // Standard input has no name to take the ending off; -o or -c is given for it.
        std::filesystem::path target;
        if (input != kStandardInput) {
            const auto derived = unzlib_file_name(input);
            if (!derived) throw Refusal(input, "name does not end in .zlib; not decompressed");
            target = *derived;
        }
        if (options.output) target = *options.output;
        run_one(options, input, target, decompress_file);
    });
}

}  // namespace

const Subcommand kCompressCommand{"compress", "[-f] [-o PATH] FILE...",
                                  "write FILE.zlib, one zlib stream of FILE",
                                  kOutputOptions | kStdoutOption, run_compress};
const Subcommand kDecompressCommand{"decompress",
                                    "[-f] [-o PATH] FILE.zlib...",
                                    "write FILE from FILE.zlib",
                                    kOutputOptions | kStdoutOption,
                                    run_decompress,
                                    "zlib"};

}  // namespace quorvane::cli
