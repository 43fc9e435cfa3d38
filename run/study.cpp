// study.cpp -- a dry-run pack over the bytes in memory, timed, and a timed restoration of it.
#include "run/study.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
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

}  // namespace

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

StudyMeasurement study_file(std::span<const uint8_t> bytes, const StudySetting& setting) {
    if (study_skip_reason(static_cast<int64_t>(bytes.size()))) {
        throw EngineError("cannot study " + std::to_string(bytes.size()) + " bytes");
    }
    SilentObserver observer;
    StudyMeasurement m;
    const Clock::time_point pack_start = Clock::now();
    const RunResult result = pack_buffer(bytes, settings_of(setting), observer);
    m.pack_ms = ms_since(pack_start);
    if (result.outcome != RunOutcome::Tested) return m;

    // What pack writes: the rod stream and its integrity trailer.
    m.rod_bytes = result.OutputByteCount;
    const std::span<const uint8_t> rod =
        std::span(result.bytes).first(result.bytes.size() - kTrailerBytes);
    const Clock::time_point restore_start = Clock::now();
    const std::optional<RestoredStream> restored =
        restore_rod_bytes(rod, static_cast<unsigned>(setting.rod_size), setting.lz77);
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

FileStudy study_path(const std::string& path, const std::vector<StudySetting>& settings,
                     const std::vector<Baseline>& baselines) {
    FileStudy study;
    study.path = path;
    try {
        const FileStart file = read_file_start(path, static_cast<size_t>(kMaxInputSize) + 1);
        study.input_bytes = file.size >= 0 ? file.size : static_cast<int64_t>(file.bytes.size());
        study.skipped = study_skip_reason(study.input_bytes);
        if (study.skipped) return study;
        study.zlib_bytes =
            static_cast<int64_t>(compress_bytes(file.bytes.data(), file.bytes.size()).size());
        for (const Baseline b : baselines) {
            study.baselines[static_cast<size_t>(b)] =
                b == Baseline::Zlib ? study.zlib_bytes : baseline_bytes(b, file.bytes);
        }
        for (const StudySetting& setting : settings) {
            study.measurements.push_back(study_file(file.bytes, setting));
            const StudyMeasurement& m = study.measurements.back();
            if (m.outcome == StudyOutcome::Packed &&
                (study.best < 0 ||
                 m.rod_bytes < study.measurements[static_cast<size_t>(study.best)].rod_bytes)) {
                study.best = static_cast<int>(study.measurements.size()) - 1;
            }
        }
    } catch (...) {
        study.error = std::current_exception();
    }
    return study;
}

}  // namespace

std::vector<FileStudy> study_files(const std::vector<std::string>& paths,
                                   const std::vector<StudySetting>& settings, unsigned jobs,
                                   const std::function<void(size_t done, size_t total)>& progress) {
    return study_files(paths, settings, {}, jobs, progress);
}

std::vector<FileStudy> study_files(const std::vector<std::string>& paths,
                                   const std::vector<StudySetting>& settings,
                                   const std::vector<Baseline>& baselines, unsigned jobs,
                                   const std::function<void(size_t done, size_t total)>& progress) {
    std::vector<FileStudy> studies(paths.size());
    if (jobs == 0) jobs = std::max(1U, std::thread::hardware_concurrency());
    jobs = static_cast<unsigned>(std::min<size_t>(jobs, std::max<size_t>(paths.size(), 1)));
    std::atomic<size_t> next{0};
    std::mutex progress_mutex;
    size_t done = 0;
    const auto work = [&] {
        for (size_t i = next.fetch_add(1); i < paths.size(); i = next.fetch_add(1)) {
            studies[i] = study_path(paths[i], settings, baselines);
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
