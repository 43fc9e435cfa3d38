// study.cpp -- a dry-run pack over the bytes in memory, timed, and a timed restoration of it.
#include "run/study.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/errors.h"
#include "rodfile/rod_trailer.h"
#include "run/restoration.h"
#include "run/run_driver.h"
#include "zstream/file_stream.h"
#include "zstream/zlib_file.h"

namespace quorvane {
namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

Settings settings_of(const StudySetting& setting) {
    Settings settings;
    settings.rod_size = static_cast<unsigned>(setting.rod_size);
    settings.depth = setting.depth;
    settings.lz77 = setting.lz77;
    settings.single = setting.single;
    settings.loop_count = setting.loops;
    return settings;
}

std::optional<int> whole_number(std::string_view text, int low, int high) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < low ||
        value > high) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<std::vector<int>> number_list(std::string_view text, int low, int high) {
    std::vector<int> values;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string_view item = text.substr(start, comma - start);
        // From the second character: a leading minus is a sign, not a range.
        const size_t dash = item.find('-', 1);
        const std::optional<int> first = whole_number(item.substr(0, dash), low, high);
        if (!first) return std::nullopt;
        const std::optional<int> last = dash == std::string_view::npos
                                            ? first
                                            : whole_number(item.substr(dash + 1), *first, high);
        if (!last) return std::nullopt;
        for (int v = *first; v <= *last; ++v) {
            if (std::find(values.begin(), values.end(), v) == values.end()) values.push_back(v);
        }
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return values;
}

std::vector<StudySetting> study_sweep(const std::vector<int>& rod_sizes,
                                      const std::vector<int>& depths, const std::vector<bool>& lz77,
                                      const std::vector<int>& loops, bool single) {
    const auto or_default = [](const auto& list, auto fallback) {
        return list.empty() ? fallback : list;
    };
    std::vector<StudySetting> sweep;
    for (const int r : or_default(rod_sizes, std::vector{2, 3, 4, 8})) {
        for (const int d : or_default(depths, std::vector{1})) {
            for (const bool z : or_default(lz77, std::vector{true})) {
                for (const int l : or_default(loops, std::vector{2}))
                    sweep.push_back({r, d, z, single, l});
            }
        }
    }
    return sweep;
}

std::optional<std::string> study_skip_reason(int64_t size) {
    if (size >= kMinInputSize) return std::nullopt;
    return std::to_string(size) + " bytes, under " + std::to_string(kMinInputSize);
}

std::vector<StudyBlock> study_blocks(int64_t size) {
    std::vector<StudyBlock> blocks;
    for (int64_t offset = 0; offset < size; offset += kMaxInputSize)
        blocks.push_back({offset, std::min<int64_t>(kMaxInputSize, size - offset), {}});
    return blocks;
}

int64_t counted_bytes(const StudyMeasurement& m, int64_t input_bytes) {
    return m.outcome == StudyOutcome::Packed ? m.rod_bytes : input_bytes;
}

void StudyTotal::add(int64_t input, int64_t output) {
    files += 1;
    input_bytes += input;
    output_bytes += output;
    log_ratio_sum += std::log(static_cast<double>(output) / static_cast<double>(input));
}

double StudyTotal::total_ratio() const {
    return input_bytes > 0 ? static_cast<double>(output_bytes) / static_cast<double>(input_bytes)
                           : 0.0;
}

double StudyTotal::geometric_mean() const {
    return files > 0 ? std::exp(log_ratio_sum / files) : 0.0;
}

int64_t FileStudy::best_bytes() const {
    return best >= 0 ? measurements[static_cast<size_t>(best)].rod_bytes : input_bytes;
}

double StudyVerdict::percent() const {
    return (static_cast<double>(rod_bytes) / static_cast<double>(baseline_bytes) - 1.0) * 100.0;
}

std::string StudyVerdict::text() const {
    const std::string label(baseline_label(baseline));
    if (rod_bytes == baseline_bytes) return "rod files are as large as " + label;
    const double p = std::abs(percent());
    // Whole percents, but a difference under ten keeps a tenth: never "0 %" for a difference.
    char number[32];
    std::snprintf(number, sizeof number, "%.*f", p >= 10 ? 0 : 1, p);
    return "rod files are " + std::string(number) + " % " +
           (rod_bytes > baseline_bytes ? "larger" : "smaller") + " than " + label;
}

namespace {

// The smallest of the compressor baselines asked for; the first in kBaselines on a tie.
template <typename SizeOf>
std::optional<StudyVerdict> verdict_of(int64_t rod_bytes, SizeOf size_of) {
    std::optional<StudyVerdict> verdict;
    for (const Baseline b : kBaselines) {
        const std::optional<int64_t> size = size_of(b);
        if (!baseline_is_compressor(b) || !size) continue;
        if (!verdict || *size < verdict->baseline_bytes)
            verdict = StudyVerdict{b, rod_bytes, *size};
    }
    return verdict;
}

}  // namespace

std::optional<StudyVerdict> file_verdict(const FileStudy& file) {
    if (!file.studied()) return std::nullopt;
    return verdict_of(file.best_bytes(), [&](Baseline b) { return file.baseline(b); });
}

StudySummary summarize(const std::vector<FileStudy>& studies, size_t setting_count) {
    StudySummary summary;
    summary.settings.resize(setting_count);
    for (const FileStudy& f : studies) {
        if (!f.studied()) continue;
        summary.files += 1;
        summary.zlib.add(f.input_bytes, f.zlib_bytes);
        for (size_t s = 0; s < setting_count; ++s)
            summary.settings[s].add(f.input_bytes, counted_bytes(f.measurements[s], f.input_bytes));
        for (size_t b = 0; b < kBaselines.size(); ++b) {
            if (!f.baselines[b]) continue;
            if (!summary.baselines[b]) summary.baselines[b] = StudyTotal{};
            summary.baselines[b]->add(f.input_bytes, *f.baselines[b]);
        }
    }
    for (size_t s = 0; s < setting_count; ++s) {
        if (summary.settings[s].files > 0 &&
            (summary.best < 0 ||
             summary.settings[s].output_bytes <
                 summary.settings[static_cast<size_t>(summary.best)].output_bytes)) {
            summary.best = static_cast<int>(s);
        }
    }
    if (summary.best >= 0) {
        summary.verdict =
            verdict_of(summary.settings[static_cast<size_t>(summary.best)].output_bytes,
                       [&](Baseline b) -> std::optional<int64_t> {
                           const std::optional<StudyTotal> total = summary.baseline(b);
                           if (!total) return std::nullopt;
                           return total->output_bytes;
                       });
    }
    return summary;
}

std::string_view pass_fate_name(PassFate fate) {
    switch (fate) {
        case PassFate::Ran:
            return "kept";
        case PassFate::Undone:
            return "undone";
        case PassFate::Fallback:
            return "fallback";
    }
    return "";
}

std::string_view cycle_fate_name(CycleFate fate) {
    switch (fate) {
        case CycleFate::Kept:
            return "kept";
        case CycleFate::Finalised:
            return "finalised";
        case CycleFate::RolledBack:
            return "rolled back";
        case CycleFate::NotSuccessful:
            return "not successful";
    }
    return "";
}

namespace {

// Keeps the run's records when asked to, and asks the caller's function between steps.
class StudyObserver : public SilentObserver {
  public:
    StudyObserver(StudyTrace* trace, const std::function<bool()>& proceed)
        : trace_(trace), proceed_(proceed) {}
    void pass_done(const PassRecord& pass) override {
        if (trace_) trace_->passes.push_back(pass);
    }
    void cycle_done(const CycleRecord& cycle) override {
        if (trace_) trace_->cycles.push_back(cycle);
    }
    bool proceed() override { return !proceed_ || proceed_(); }

  private:
    StudyTrace* trace_;
    const std::function<bool()>& proceed_;
};

}  // namespace

StudyMeasurement study_file(std::span<const uint8_t> bytes, const StudySetting& setting, bool trace,
                            const std::function<bool()>& proceed) {
    if (bytes.size() < static_cast<size_t>(kMinInputSize) ||
        bytes.size() > static_cast<size_t>(kMaxInputSize)) {
        throw EngineError("cannot study " + std::to_string(bytes.size()) + " bytes");
    }
    StudyMeasurement m;
    StudyObserver observer(trace ? &m.trace : nullptr, proceed);
    const Clock::time_point pack_start = Clock::now();
    const RunResult result = pack_buffer(bytes, settings_of(setting), observer);
    m.pack_ms = ms_since(pack_start);
    if (result.outcome == RunOutcome::Cancelled) throw ERunCancelled();
    if (result.outcome != RunOutcome::Tested) return m;

    // What pack writes: the rod stream and its integrity trailer.
    m.rod_bytes = result.OutputByteCount;
    const std::span<const uint8_t> rod =
        std::span(result.bytes).first(result.bytes.size() - kTrailerBytes);
    const Clock::time_point restore_start = Clock::now();
    const std::optional<RestoredStream> restored =
        restore_rod_bytes(rod, static_cast<unsigned>(setting.rod_size), setting.lz77, observer);
    m.restore_ms = ms_since(restore_start);
    m.outcome = StudyOutcome::NotRestored;
    if (restored) {
        m.cycles = restored->cycles;
        m.passes = restored->passes;
        if (std::ranges::equal(restored->bits.to_bytes(), bytes)) m.outcome = StudyOutcome::Packed;
    }
    return m;
}

namespace {

// The file's measurements from its blocks' (a file of one block has its block's).
void sum_blocks(FileStudy& study, size_t setting_count) {
    // A file of one block is reported as a file, not as blocks.
    if (study.blocks.size() == 1) {
        study.measurements = std::move(study.blocks.front().measurements);
        study.blocks.clear();
        for (size_t s = 0; s < study.measurements.size(); ++s) {
            const StudyMeasurement& m = study.measurements[s];
            if (m.outcome == StudyOutcome::Packed &&
                (study.best < 0 ||
                 m.rod_bytes < study.measurements[static_cast<size_t>(study.best)].rod_bytes)) {
                study.best = static_cast<int>(s);
            }
        }
        return;
    }
    study.measurements.assign(setting_count, StudyMeasurement{});
    for (size_t s = 0; s < setting_count; ++s) {
        StudyMeasurement& sum = study.measurements[s];
        bool packed = false;
        bool not_restored = false;
        for (const StudyBlock& block : study.blocks) {
            if (block.stored()) {
                sum.rod_bytes += block.input_bytes;
                continue;
            }
            const StudyMeasurement& m = block.measurements[s];
            sum.rod_bytes += counted_bytes(m, block.input_bytes);
            sum.cycles += m.cycles;
            sum.passes += m.passes;
            sum.pack_ms += m.pack_ms;
            sum.restore_ms += m.restore_ms;
            packed |= m.outcome == StudyOutcome::Packed;
            not_restored |= m.outcome == StudyOutcome::NotRestored;
        }
        sum.outcome = not_restored ? StudyOutcome::NotRestored
                      : packed     ? StudyOutcome::Packed
                                   : StudyOutcome::NotSuccessful;
        if (sum.outcome == StudyOutcome::NotSuccessful) sum.rod_bytes = 0;
        if (sum.outcome == StudyOutcome::Packed &&
            (study.best < 0 ||
             sum.rod_bytes < study.measurements[static_cast<size_t>(study.best)].rod_bytes)) {
            study.best = static_cast<int>(s);
        }
    }
}

// The work of one file in flight: its bytes, shared by the tasks that study its blocks and
// baselines, and released when the last of them ends.
struct FileWork {
    std::shared_ptr<const std::vector<uint8_t>> bytes;
    size_t tasks_left = 0;
};

struct Task {
    size_t file = 0;
    std::optional<size_t> block;  // none: the baselines
};

class StudyRun {
  public:
    StudyRun(const std::vector<std::string>& paths, const StudyPlan& plan,
             const std::function<void(size_t done, size_t total)>& progress)
        : paths_(paths),
          settings_(plan.settings),
          baselines_(plan.baselines),
          trace_(plan.trace),
          progress_(progress),
          studies_(paths.size()),
          work_(paths.size()) {}

    void work() {
        for (;;) {
            std::unique_lock lock(mutex_);
            if (tasks_.empty() && next_file_ == paths_.size()) {
                // A file being opened may still bring blocks to share.
                if (opening_ == 0) return;
                queued_.wait(lock);
                continue;
            }
            if (tasks_.empty()) {
                const size_t file = next_file_++;
                ++opening_;
                lock.unlock();
                open(file);
                continue;
            }
            const Task task = tasks_.front();
            tasks_.pop_front();
            const std::shared_ptr<const std::vector<uint8_t>> bytes = work_[task.file].bytes;
            lock.unlock();
            run(task, *bytes);
            finish(task.file);
        }
    }

    std::vector<FileStudy> results() { return std::move(studies_); }

  private:
    // Reads the file and queues its tasks; a file that cannot be read or is too small is done.
    void open(size_t file) {
        FileStudy& study = studies_[file];
        study.path = paths_[file];
        std::shared_ptr<std::vector<uint8_t>> bytes;
        try {
            FileStart start = read_file_start(study.path, SIZE_MAX);
            study.input_bytes =
                start.size >= 0 ? start.size : static_cast<int64_t>(start.bytes.size());
            study.skipped = study_skip_reason(study.input_bytes);
            if (!study.skipped) {
                bytes = std::make_shared<std::vector<uint8_t>>(std::move(start.bytes));
                study.blocks = study_blocks(static_cast<int64_t>(bytes->size()));
            }
        } catch (...) {
            study.error = std::current_exception();
        }
        std::lock_guard lock(mutex_);
        --opening_;
        queued_.notify_all();
        if (!bytes) {
            report();
            return;
        }
        work_[file].bytes = std::move(bytes);
        work_[file].tasks_left = study.blocks.size() + 1;
        for (size_t b = 0; b < study.blocks.size(); ++b)
            tasks_.push_back({file, b});
        tasks_.push_back({file, std::nullopt});
    }

    void run(const Task& task, const std::vector<uint8_t>& bytes) {
        FileStudy& study = studies_[task.file];
        try {
            if (!task.block) {
                study.zlib_bytes =
                    static_cast<int64_t>(compress_bytes(bytes.data(), bytes.size()).size());
                for (const Baseline b : baselines_) {
                    study.baselines[static_cast<size_t>(b)] =
                        b == Baseline::Zlib ? study.zlib_bytes : baseline_bytes(b, bytes);
                }
                return;
            }
            StudyBlock& block = study.blocks[*task.block];
            if (block.input_bytes < kMinInputSize) return;  // stored as it is
            const std::span<const uint8_t> part = std::span(bytes).subspan(
                static_cast<size_t>(block.offset), static_cast<size_t>(block.input_bytes));
            for (const StudySetting& setting : settings_)
                block.measurements.push_back(study_file(part, setting, trace_));
        } catch (...) {
            std::lock_guard lock(mutex_);
            if (!study.error) study.error = std::current_exception();
        }
    }

    void finish(size_t file) {
        std::lock_guard lock(mutex_);
        if (--work_[file].tasks_left > 0) return;
        work_[file].bytes.reset();
        FileStudy& study = studies_[file];
        if (!study.error) sum_blocks(study, settings_.size());
        report();
    }

    // Called with the lock held.
    void report() {
        ++done_;
        if (progress_) progress_(done_, paths_.size());
    }

    const std::vector<std::string>& paths_;
    const std::vector<StudySetting>& settings_;
    const std::vector<Baseline>& baselines_;
    const bool trace_;
    const std::function<void(size_t done, size_t total)>& progress_;
    std::vector<FileStudy> studies_;
    std::vector<FileWork> work_;
    std::mutex mutex_;
    std::condition_variable queued_;  // tasks queued, or a file opened without any
    std::deque<Task> tasks_;
    size_t next_file_ = 0;
    size_t opening_ = 0;  // files being read
    size_t done_ = 0;
};

}  // namespace

FileStudy study_bytes(std::string name, std::span<const uint8_t> bytes, const StudyPlan& plan,
                      const std::function<bool()>& proceed,
                      const std::function<void(size_t done)>& progress) {
    FileStudy study;
    study.path = std::move(name);
    study.input_bytes = static_cast<int64_t>(bytes.size());
    study.skipped = study_skip_reason(study.input_bytes);
    if (study.skipped) return study;
    try {
        study.zlib_bytes = static_cast<int64_t>(compress_bytes(bytes.data(), bytes.size()).size());
        for (const Baseline b : plan.baselines) {
            study.baselines[static_cast<size_t>(b)] =
                b == Baseline::Zlib ? study.zlib_bytes : baseline_bytes(b, bytes);
        }
        study.blocks = study_blocks(study.input_bytes);
        for (size_t s = 0; s < plan.settings.size(); ++s) {
            for (StudyBlock& block : study.blocks) {
                if (block.input_bytes < kMinInputSize) continue;  // stored as it is
                const std::span<const uint8_t> part = bytes.subspan(
                    static_cast<size_t>(block.offset), static_cast<size_t>(block.input_bytes));
                block.measurements.push_back(
                    study_file(part, plan.settings[s], plan.trace, proceed));
            }
            if (progress) progress(s + 1);
        }
        sum_blocks(study, plan.settings.size());
    } catch (...) {
        study.error = std::current_exception();
    }
    return study;
}

FileStudy study_path(const std::string& path, const StudyPlan& plan,
                     const std::function<bool()>& proceed,
                     const std::function<void(size_t done)>& progress) {
    FileStart start;
    try {
        start = read_file_start(path, SIZE_MAX);
    } catch (...) {
        FileStudy study;
        study.path = path;
        study.error = std::current_exception();
        return study;
    }
    FileStudy study = study_bytes(path, start.bytes, plan, proceed, progress);
    if (start.size >= 0) study.input_bytes = start.size;
    return study;
}

std::vector<FileStudy> study_files(const std::vector<std::string>& paths,
                                   const std::vector<StudySetting>& settings, unsigned jobs,
                                   const std::function<void(size_t done, size_t total)>& progress) {
    return study_files(paths, settings, {}, jobs, progress);
}

std::vector<FileStudy> study_files(const std::vector<std::string>& paths,
                                   const std::vector<StudySetting>& settings,
                                   const std::vector<Baseline>& baselines, unsigned jobs,
                                   const std::function<void(size_t done, size_t total)>& progress) {
    return study_files(paths, StudyPlan{settings, baselines, false}, jobs, progress);
}

std::vector<FileStudy> study_files(const std::vector<std::string>& paths, const StudyPlan& plan,
                                   unsigned jobs,
                                   const std::function<void(size_t done, size_t total)>& progress) {
    if (jobs == 0) jobs = std::max(1U, std::thread::hardware_concurrency());
    StudyRun run(paths, plan, progress);
    {
        std::vector<std::jthread> pool;
        for (unsigned t = 1; t < jobs; ++t)
            pool.emplace_back([&] { run.work(); });
        run.work();
    }
    return run.results();
}

}  // namespace quorvane
