// study.cpp -- a dry-run pack over the bytes in memory, timed, and a timed restoration of it.
#include "run/study.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
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

// Asks the caller's function between the steps of a run.
class AskingObserver : public SilentObserver {
  public:
    explicit AskingObserver(const std::function<bool()>& proceed) : proceed_(proceed) {}
    bool proceed() override { return !proceed_ || proceed_(); }

  private:
    const std::function<bool()>& proceed_;
};

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
    if (size >= kMinInputSize && size <= kMaxInputSize) return std::nullopt;
    return std::to_string(size) + " bytes, outside " + std::to_string(kMinInputSize) + ".." +
           std::to_string(kMaxInputSize);
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

StudyMeasurement study_file(std::span<const uint8_t> bytes, const StudySetting& setting,
                            const std::function<bool()>& proceed) {
    if (study_skip_reason(static_cast<int64_t>(bytes.size()))) {
        throw EngineError("cannot study " + std::to_string(bytes.size()) + " bytes");
    }
    AskingObserver observer(proceed);
    StudyMeasurement m;
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

FileStudy study_path(const std::string& path, const std::vector<StudySetting>& settings,
                     const std::function<bool()>& proceed,
                     const std::function<void(size_t done)>& progress) {
    FileStudy study;
    study.path = path;
    try {
        const FileStart file = read_file_start(path, static_cast<size_t>(kMaxInputSize) + 1);
        study.input_bytes = file.size >= 0 ? file.size : static_cast<int64_t>(file.bytes.size());
        study.skipped = study_skip_reason(study.input_bytes);
        if (study.skipped) return study;
        study.zlib_bytes =
            static_cast<int64_t>(compress_bytes(file.bytes.data(), file.bytes.size()).size());
        for (const StudySetting& setting : settings) {
            study.measurements.push_back(study_file(file.bytes, setting, proceed));
            const StudyMeasurement& m = study.measurements.back();
            if (m.outcome == StudyOutcome::Packed &&
                (study.best < 0 ||
                 m.rod_bytes < study.measurements[static_cast<size_t>(study.best)].rod_bytes)) {
                study.best = static_cast<int>(study.measurements.size()) - 1;
            }
            if (progress) progress(study.measurements.size());
        }
    } catch (...) {
        study.error = std::current_exception();
    }
    return study;
}

std::vector<FileStudy> study_files(const std::vector<std::string>& paths,
                                   const std::vector<StudySetting>& settings, unsigned jobs,
                                   const std::function<void(size_t done, size_t total)>& progress) {
    std::vector<FileStudy> studies(paths.size());
    if (jobs == 0) jobs = std::max(1U, std::thread::hardware_concurrency());
    jobs = static_cast<unsigned>(std::min<size_t>(jobs, std::max<size_t>(paths.size(), 1)));
    std::atomic<size_t> next{0};
    std::mutex progress_mutex;
    size_t done = 0;
    const auto work = [&] {
        for (size_t i = next.fetch_add(1); i < paths.size(); i = next.fetch_add(1)) {
            studies[i] = study_path(paths[i], settings);
            std::lock_guard lock(progress_mutex);
            ++done;
            if (progress) progress(done, paths.size());
        }
    };
    {
        std::vector<std::jthread> pool;
        for (unsigned t = 1; t < jobs; ++t)
            pool.emplace_back(work);
        work();
    }
    return studies;
}

}  // namespace quorvane
