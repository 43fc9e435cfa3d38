// rod_commands.cpp -- pack FILE to FILE.rod, unpack FILE.rod to FILE, test FILE.rod in memory.
#include "cli/rod_commands.h"

#include <array>
#include <cstdio>
#include <string>

#include "cli/progress_line.h"
#include "engine/engine_state.h"
#include "engine/restoration.h"
#include "rodfile/rod_output.h"
#include "run/run_driver.h"

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
          input_(std::move(input)) {}

    void attach(const Engine& engine) { engine_ = &engine; }

    void set_label(Label label, std::string_view text) override {
        labels_[static_cast<size_t>(label)] = std::string(text);
    }
    void show_message(std::string_view text) override { messages_.emplace_back(text); }
    void pump() override {
        if (engine_ == nullptr) return;
        const EngineState& st = engine_->st;
        // The pump at the end of a cycle is the moment its statistics are complete.
        if (st.CycleDone && !cycle_reported_ && verbose_) print_statistics();
        cycle_reported_ = st.CycleDone;
        if (!progress_.due()) return;
        std::string line(input_);
        line.append(": cycle ").append(std::to_string(st.CycleCount));
        line.append(", pass ").append(std::to_string(st.PassDepth));
        line.append(", ").append(std::to_string(st.DataBits.size())).append(" bits");
        progress_.draw(std::move(line));
    }

    // Ends the progress line; an unpacking run's statistics are printed once, at its end.
    void finish(bool unpacking) {
        progress_.clear();
        if (verbose_ && unpacking) print_statistics();
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
    void print_statistics() {
        progress_.clear();
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
        std::fputs(block.c_str(), stderr);
    }

    bool verbose_;
    ProgressLine progress_;
    std::string input_;
    const Engine* engine_ = nullptr;
    bool cycle_reported_ = false;
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

void run_one(const Options& options, const std::string& input, Direction direction) {
    const bool unpacking = direction != Direction::Pack;
    if (unpacking && !IsRodName(input)) {
        throw Refusal(input, "name does not end in .rod; not unpacked");
    }
    std::string target;
    if (direction != Direction::Test) {
        target = options.output ? *options.output : OutputName(input, unpacking);
        check_output(options, input, target);
    }
    RunSettings settings;
    apply(options.rod, settings);
    CommandLineFrontEnd ui(options, input);
    Engine engine(settings, ui);
    ui.attach(engine);
    engine.st.Options.output_path = target;
    engine.st.Options.dry_run = direction == Direction::Test;

    if (LoadFile(engine, input) == LoadResult::Refused) throw Refusal(input, ui.messages());
    const bool result = ProcessRun(engine, unpacking);
    ui.finish(unpacking);
    if (!result) throw Refusal(input, "Vexion Mode  : Not Succesfull", kExitBadData);
    if (engine.st.RestoreFailed) throw Refusal(input, ui.messages(), kExitBadData);
    if (direction != Direction::Test && !engine.st.OutputWritten) {
        throw Refusal(target, "Vexion Mode  : Failed ! (the device is full)");
    }
    if (options.verbose && !options.quiet) {
        std::string message = std::to_string(engine.st.SourceByteCount);
        message.append(" -> ").append(std::to_string(engine.st.OutputByteCount)).append(" bytes");
        if (direction == Direction::Test) {
            message.append(", restores");
        } else {
            message.append(", wrote ").append(target);
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

const Subcommand kPackCommand{
    "pack", "[options] FILE...", "write FILE.rod, FILE centrifuged", true, run_pack, true};
const Subcommand kUnpackCommand{
    "unpack", "[options] FILE.rod...", "restore FILE from FILE.rod", true, run_unpack, true};
const Subcommand kTestCommand{
    "test", "[options] FILE.rod...", "restore FILE.rod in memory, write nothing", false, run_test,
    true};

}  // namespace quorvane::cli
