// rod_commands.cpp -- pack FILE to FILE.rod, unpack FILE.rod to FILE, test FILE.rod in memory.
#include "cli/rod_commands.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/detect_command.h"
#include "cli/progress_line.h"
#include "engine/errors.h"
#include "rodfile/rod_file_names.h"
#include "rodfile/rod_header.h"
#include "run/run_files.h"
#include "status/setting_texts.h"
#include "status/status_board.h"
#include "status/status_texts.h"
#include "zstream/file_stream.h"

namespace quorvane::cli {
namespace {

// The statistics labels printed with -v, the rod counts aside.
constexpr std::array<Label, 5> kStatistics = {Label::InputLabel, Label::OutputLabel,
                                              Label::ModeLabel, Label::LoopCountLabel,
                                              Label::StreamLabel};

// The command line's face for the engine: the window's statistics texts (from the status board)
// with the rod counts as numbers, printed with -v at the end of every cycle, and a progress line
// with cycle, pass and bits.
class CommandLineObserver final : public StatusView, public StatusBoard {
  public:
    CommandLineObserver(const Options& options, std::string input, const Settings& settings)
        : StatusBoard(static_cast<StatusView&>(*this)),
          verbose_(options.verbose && !options.quiet),
          progress_(!options.quiet),
          input_(printable(input)),
          settings_(settings) {}

    void set_label(Label label, std::string_view text) override {
        labels_[static_cast<size_t>(label)] = std::string(text);
    }
    void set_gauge_max(Gauge, int64_t) override {}
    void set_gauge_progress(Gauge, int64_t) override {}

    void pass_done(const PassRecord& pass) override {
        StatusBoard::pass_done(pass);
        cycle_ = pass.cycle;
        pass_ = pass.pass;
        bits_ = pass.bits_out;
    }
    void cycle_done(const CycleRecord& cycle) override {
        StatusBoard::cycle_done(cycle);
        // A rolled-back run writes the stream of the last cycle it kept.
        if (cycle.fate != CycleFate::RolledBack && cycle.fate != CycleFate::NotSuccessful) {
            low_ = cycle.low_rods;
            high_ = cycle.high_rods;
        }
        // The statistics of a cycle are printed when the next one ends; those of the last
        // cycle give way to the final ones, printed by finish() once the output is written.
        if (!verbose_) return;
        if (!pending_.empty()) print(pending_);
        pending_ = statistics();
    }
    void round_started(const RoundRecord& round) override {
        StatusBoard::round_started(round);
        // The rods of the first packing cycle, whose round is undone last.
        low_ = round.low_rods;
        high_ = round.high_rods;
        cycle_ = round.cycle;
    }
    void reverse_pass_done(const ReversePassRecord& pass) override {
        StatusBoard::reverse_pass_done(pass);
        pass_ = pass.passes - pass.passes_left;
        bits_ = pass.bits_out;
    }
    bool proceed() override {
        if (progress_.due()) {
            std::string line(input_);
            line.append(": cycle ").append(std::to_string(cycle_));
            line.append(", pass ").append(std::to_string(pass_));
            line.append(", ").append(std::to_string(bits_)).append(" bits");
            progress_.draw(std::move(line));
        }
        return true;
    }

    // Ends the progress line and prints the final statistics.
    void finish() {
        progress_.clear();
        if (verbose_) print(statistics());
    }

  private:
    std::string statistics() const {
        std::string block(input_);
        block.append(":\n");
        for (Label l : kStatistics) {
            const std::string& text = labels_[static_cast<size_t>(l)];
            if (!text.empty()) block.append("  ").append(text).append("\n");
        }
        block.append("  Low rods     : ").append(std::to_string(low_)).append("\n");
        block.append("  High rods    : ").append(std::to_string(high_)).append("\n");
        block.append("  ").append(settings_.single ? kSingleCycles : kNonstopCycles).append("\n");
        block.append("  ")
            .append(settings_.experimental ? kExperimentalYes : kExperimentalNo)
            .append("\n");
        return block;
    }
    void print(const std::string& block) {
        progress_.clear();
        std::fputs(block.c_str(), stderr);
    }

    bool verbose_;
    ProgressLine progress_;
    std::string input_;
    const Settings& settings_;
    std::string pending_;
    std::array<std::string, kLabelCount> labels_{};
    int32_t cycle_ = 1;
    int32_t pass_ = 0;
    int64_t bits_ = 0;
    int64_t low_ = 0;
    int64_t high_ = 0;
};

Settings settings_of(const RodSettings& rod) {
    Settings settings;
    if (rod.rod_size) settings.rod_size = static_cast<unsigned>(*rod.rod_size);
    if (rod.depth) settings.depth = *rod.depth;
    if (rod.level) settings.level = *rod.level;
    if (rod.loops) settings.loop_count = strict_decimal(*rod.loops);
    settings.lz77 = !rod.no_lz77;
    settings.single = rod.single;
    settings.experimental = rod.experimental;
    return settings;
}

enum class Direction { Pack, Unpack, Test };

std::vector<uint8_t> read_standard_input(const std::string& input, bool unpacking) {
    const int64_t limit = unpacking ? kMaxRodFileBytes : kMaxInputSize;
    FileStart file = read_file_start(source_of(input), static_cast<size_t>(limit) + 1);
    if (unpacking && static_cast<int64_t>(file.bytes.size()) > limit) {
        throw Refusal(input, "larger than any rod file", ExitStatus::BadData);
    }
    return std::move(file.bytes);
}

// Loads bytes read from standard input as the run's input. The engine tells a rod file by its
// name, which standard input lacks; the name given here only says which of the two it is.
LoadResult load_piped(Engine& engine, std::vector<uint8_t>& bytes, bool unpacking) {
    static char empty = 0;
    void* const data = bytes.empty() ? static_cast<void*>(&empty) : bytes.data();
    FileHandle file(::fmemopen(data, bytes.size(), "rb"));
    if (!file)
        throw EInOutError(std::string("Cannot read standard input: ") + std::strerror(errno));
    return load_opened_file(engine, unpacking ? "-.rod" : "-", std::move(file),
                            static_cast<int64_t>(bytes.size()));
}

// What a failed restoration used: a rod file records neither, so a wrong one is the likely cause.
std::string restoration_settings(const Settings& settings) {
    std::string line("restored with rod size ");
    line.append(std::to_string(settings.rod_size));
    line.append(" and LZ77 ").append(settings.lz77 ? "on" : "off");
    line.append("; a rod file records neither: try the settings it was packed with");
    return line;
}

void run_one(const Options& options, const std::string& input, Direction direction) {
    const bool unpacking = direction != Direction::Pack;
    const bool from_stdin = input == kStandardInput;
    if (unpacking && !from_stdin && !is_rod_name(input)) {
        throw Refusal(input, "name does not end in .rod; not unpacked");
    }
    RunOptions run_options;
    run_options.dry_run = direction == Direction::Test;
    run_options.replace = options.force;
    run_options.integrity_check = !options.rod.no_check;
    if (options.to_stdout) {
        run_options.output_path = "standard output";
        run_options.output_descriptor = STDOUT_FILENO;
    } else if (!run_options.dry_run) {
        run_options.output_path =
            options.output ? *options.output : rod_output_name(input, unpacking);
        check_output(options, input, run_options.output_path);
    }
    Settings settings = settings_of(options.rod);
    if (options.detect) {
        const RodSettingsPair found = detect_settings_of(options, input);
        settings.rod_size = found.rod_size;
        settings.lz77 = found.lz77;
    }
    // Standard input is read whole before the run, at most one byte past the limit; the bytes
    // outlive the engine that reads them.
    std::vector<uint8_t> piped;
    if (from_stdin) piped = read_standard_input(input, unpacking);
    CommandLineObserver ui(options, input, settings);
    Engine engine(ui, settings);

    const LoadResult loaded =
        from_stdin ? load_piped(engine, piped, unpacking) : load_file(engine, input);
    if (loaded == LoadResult::Refused) {
        throw Refusal(input, std::string(message_text(Message::SizeLimit)));
    }
    const RunResult result = ProcessRun(engine, unpacking, run_options);
    ui.finish();
    switch (result.outcome) {
        case RunOutcome::Written:
        case RunOutcome::Tested:
            break;
        case RunOutcome::NotSuccessful:
            throw Refusal(input, std::string(kModeNotSuccessful), ExitStatus::BadData);
        case RunOutcome::RestoreFailed:
            report(input, one_line(message_text(Message::RestoreFailed)));
            throw Refusal(input, restoration_settings(settings), ExitStatus::BadData);
        case RunOutcome::DeviceFull:
            throw Refusal(result.OutputPath,
                          std::string(kModeFailed) + " (" + result.write_error + ")");
        case RunOutcome::Cancelled:
            throw Refusal(input, "cancelled");
    }
    if (options.verbose && !options.quiet) {
        if (unpacking && !result.content_checked) {
            report(input, "carries no integrity check; restored unverified");
        }
        std::string message = std::to_string(result.SourceByteCount);
        message.append(" -> ").append(std::to_string(result.OutputByteCount)).append(" bytes");
        if (options.detect) {
            message.append(", with -r ").append(std::to_string(settings.rod_size));
            if (!settings.lz77) message.append(" --no-lz77");
        }
        if (result.outcome == RunOutcome::Tested) {
            message.append(", restores");
        } else {
            message.append(", wrote ").append(result.OutputPath);
        }
        report(input, message);
    }
}

ExitStatus run_pack(const Options& options) {
    return for_each_input(options,
                          [&](const std::string& in) { run_one(options, in, Direction::Pack); });
}
ExitStatus run_unpack(const Options& options) {
    return for_each_input(options,
                          [&](const std::string& in) { run_one(options, in, Direction::Unpack); });
}
ExitStatus run_test(const Options& options) {
    return for_each_input(options,
                          [&](const std::string& in) { run_one(options, in, Direction::Test); });
}

}  // namespace

const Subcommand kPackCommand{"pack", "[options] FILE...", "write FILE.rod, FILE centrifuged",
                              kOutputOptions | kStdoutOption | kRodOptions | kPackOption, run_pack};
const Subcommand kUnpackCommand{"unpack",
                                "[options] FILE.rod...",
                                "restore FILE from FILE.rod",
                                kOutputOptions | kStdoutOption | kRodOptions | kDetectOption,
                                run_unpack,
                                "rod"};
const Subcommand kTestCommand{"test",
                              "[options] FILE.rod...",
                              "restore FILE.rod in memory, write nothing",
                              kRodOptions | kDetectOption,
                              run_test,
                              "rod"};

}  // namespace quorvane::cli
