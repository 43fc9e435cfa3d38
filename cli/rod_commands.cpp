// rod_commands.cpp -- pack FILE to FILE.rod, unpack FILE.rod to FILE, test FILE.rod in memory.
#include "cli/rod_commands.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>

#include "cli/detect_command.h"
#include "cli/progress_line.h"
#include "engine/status_texts.h"
#include "rodfile/rod_file_names.h"
#include "run/run_driver.h"
#include "run/run_state.h"

namespace quorvane::cli {
namespace {

// The statistics of the window, printed with -v at the end of every cycle.
constexpr std::array<Label, 7> kStatistics = {
    Label::InputLabel,  Label::OutputLabel,    Label::ModeLabel, Label::LoopCountLabel,
    Label::StreamLabel, Label::DecisionsLabel, Label::Label_9};

// The command line's face for the engine: messages become the error of the file at hand, the
// statistics are printed with -v, and the progress line shows cycle, pass and bits.
class CommandLineFrontEnd : public SilentFrontEnd {
  public:
    CommandLineFrontEnd(const Options& options, std::string input)
        : verbose_(options.verbose && !options.quiet),
          progress_(!options.quiet),
          input_(printable(input)) {}

    void attach(const Engine& engine) { engine_ = &engine; }

    void set_label(Label label, std::string_view text) override {
        labels_[static_cast<size_t>(label)] = std::string(text);
    }
    void show_message(std::string_view text) override { messages_.emplace_back(text); }
    // Only -v prints the statistics; without it the passes need not make their texts.
    bool shows_statistics() const override { return verbose_; }
    void pump() override {
        if (engine_ == nullptr || !progress_.due()) return;
        const RunState& run = engine_->run;
        std::string line(input_);
        line.append(": cycle ").append(std::to_string(run.CycleCount));
        line.append(", pass ").append(std::to_string(run.pass()));
        line.append(", ").append(std::to_string(run.working_bits())).append(" bits");
        progress_.draw(std::move(line));
    }
    // The statistics of a cycle are printed when the next one ends; those of the last cycle give
    // way to the final ones, printed by finish() once the output is written.
    void cycle_finished() override {
        if (!verbose_) return;
        if (!pending_.empty()) print(pending_);
        pending_ = statistics();
    }

    // Ends the progress line and prints the final statistics.
    void finish() {
        progress_.clear();
        if (verbose_) print(statistics());
    }
    // The messages shown so far, on one line.
    std::string messages() const {
        std::string all;
        for (const auto& m : messages_) {
            if (!all.empty()) all.append(" ");
            for (char c : m) {
                if (c == '\r') continue;
                all.push_back(c == '\n' ? ' ' : c);
            }
        }
        return all;
    }

  private:
    std::string statistics() const {
        std::string block(input_);
        block.append(":\n");
        for (Label l : kStatistics) {
            const std::string& text = labels_[static_cast<size_t>(l)];
            if (text.empty()) continue;
            block.append("  ");
            if (l == Label::DecisionsLabel) block.append("Low rods     : ");
            if (l == Label::Label_9) block.append("High rods    : ");
            block.append(text).append("\n");
        }
        block.append("  ").append(engine_->settings.text(Setting::LoopMode)).append("\n");
        block.append("  ").append(engine_->settings.text(Setting::Experimental)).append("\n");
        return block;
    }
    void print(const std::string& block) {
        progress_.clear();
        std::fputs(block.c_str(), stderr);
    }

    bool verbose_;
    ProgressLine progress_;
    std::string input_;
    const Engine* engine_ = nullptr;
    std::string pending_;
    std::array<std::string, kLabelCount> labels_{};
    std::vector<std::string> messages_;
};

void apply(const RodSettings& rod, RunSettings& settings) {
    if (rod.rod_size) settings.set(Setting::RodSize, std::to_string(*rod.rod_size));
    if (rod.depth) settings.set(Setting::Depth, std::to_string(*rod.depth));
    if (rod.level) settings.set(Setting::CompressionLevel, std::to_string(*rod.level));
    if (rod.loops) settings.set(Setting::LoopCount, *rod.loops);
    if (rod.no_lz77) settings.set(Setting::Lz77, "");
    if (rod.single) settings.set(Setting::LoopMode, std::string(kSingleCycles));
    if (rod.experimental) settings.set(Setting::Experimental, std::string(kExperimentalYes));
}

enum class Direction { Pack, Unpack, Test };

// What a failed restoration used: a rod file records neither, so a wrong one is the likely cause.
std::string restoration_settings(const RunSettings& settings) {
    std::string line("restored with rod size ");
    line.append(settings.text(Setting::RodSize));
    line.append(" and LZ77 ").append(settings.lz77_on() ? "on" : "off");
    line.append("; a rod file records neither: try the settings it was packed with");
    return line;
}

void run_one(const Options& options, const std::string& input, Direction direction) {
    const bool unpacking = direction != Direction::Pack;
    if (unpacking && !is_rod_name(input)) {
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
    RunSettings settings;
    apply(options.rod, settings);
    if (options.detect) {
        const RodSettingsPair found = detect_settings_of(options, input);
        settings.set(Setting::RodSize, std::to_string(found.rod_size));
        settings.set(Setting::Lz77, found.lz77 ? "Z" : "");
    }
    CommandLineFrontEnd ui(options, input);
    Engine engine(settings, ui);
    ui.attach(engine);

    if (load_file(engine, input) == LoadResult::Refused) throw Refusal(input, ui.messages());
    const RunResult result = ProcessRun(engine, unpacking, run_options);
    ui.finish();
    switch (result.outcome) {
        case RunOutcome::Written:
        case RunOutcome::Tested:
            break;
        case RunOutcome::NotSuccessful:
            throw Refusal(input, std::string(kModeNotSuccessful), kExitBadData);
        case RunOutcome::RestoreFailed:
            report(input, ui.messages());
            throw Refusal(input, restoration_settings(settings), kExitBadData);
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
            message.append(", with -r ").append(settings.text(Setting::RodSize));
            if (!settings.lz77_on()) message.append(" --no-lz77");
        }
        if (result.outcome == RunOutcome::Tested) {
            message.append(", restores");
        } else {
            message.append(", wrote ").append(result.OutputPath);
        }
        report(input, message);
    }
}

int run_pack(const Options& options) {
    return for_each_input(options,
                          [&](const std::string& in) { run_one(options, in, Direction::Pack); });
}
int run_unpack(const Options& options) {
    return for_each_input(options,
                          [&](const std::string& in) { run_one(options, in, Direction::Unpack); });
}
int run_test(const Options& options) {
    return for_each_input(options,
                          [&](const std::string& in) { run_one(options, in, Direction::Test); });
}

}  // namespace

const Subcommand kPackCommand{"pack", "[options] FILE...", "write FILE.rod, FILE centrifuged",
                              kOutputOptions | kRodOptions, run_pack};
const Subcommand kUnpackCommand{"unpack", "[options] FILE.rod...", "restore FILE from FILE.rod",
                                kOutputOptions | kRodOptions | kDetectOption, run_unpack};
const Subcommand kTestCommand{"test", "[options] FILE.rod...",
                              "restore FILE.rod in memory, write nothing",
                              kRodOptions | kDetectOption, run_test};

}  // namespace quorvane::cli
