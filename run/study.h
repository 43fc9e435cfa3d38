// study.h -- what packing does to one file under one setting, measured in memory.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run_observer.h"
#include "zstream/baselines.h"

namespace quorvane {

// The settings a study varies; the rest keep the desktop program's defaults.
struct StudySetting {
    int32_t rod_size = 2;
    int32_t depth = 1;
    bool lz77 = true;
    bool single = false;  // one cycle only
    int32_t loops = 2;    // cycles before auto stop takes over
};

// The bounds of the lists a sweep takes.
inline constexpr int kStudyMinRodSize = 2;
inline constexpr int kStudyMaxRodSize = 128;
inline constexpr int kStudyMinDepth = 1;
inline constexpr int kStudyMaxDepth = 60;
inline constexpr int kStudyMinLoops = 1;
inline constexpr int kStudyMaxLoops = 32767;

// A list of whole numbers and ranges within [low, high] ("2,3,8", "2-16", "2-4,8"), each number
// once, in the order given; nullopt when the text is not such a list.
std::optional<std::vector<int>> number_list(std::string_view text, int low, int high);

// Every combination of the lists, rod size outermost, loops innermost; an empty list keeps the
// default (rod sizes 2, 3, 4, 8; depth 1; LZ77 on; 2 loops).
std::vector<StudySetting> study_sweep(const std::vector<int>& rod_sizes,
                                      const std::vector<int>& depths, const std::vector<bool>& lz77,
                                      const std::vector<int>& loops, bool single);

enum class StudyOutcome {
    Packed,         // a rod stream, restored to the file's bytes
    NotSuccessful,  // packing found nothing worth writing
    NotRestored,    // the rod stream packing kept did not restore to the file
};

// How a packing run got where it did: every pass and every cycle, as the engine reported them.
struct StudyTrace {
    std::vector<PassRecord> passes;
    std::vector<CycleRecord> cycles;
};

// "kept", "undone", "fallback"; "kept", "finalised", "rolled back", "not successful".
std::string_view pass_fate_name(PassFate fate);
std::string_view cycle_fate_name(CycleFate fate);

struct StudyMeasurement {
    StudyOutcome outcome = StudyOutcome::NotSuccessful;
    int64_t rod_bytes = 0;  // the rod stream's size (Packed and NotRestored)
    int32_t cycles = 0;     // packing cycles in the rod stream
    int64_t passes = 0;     // passes of those cycles
    double pack_ms = 0;     // the whole packing run, its verifications included
    double restore_ms = 0;  // restoring the rod stream
    StudyTrace trace;       // when asked for
};

// A block of a file above 32,767 bytes, studied as pack would pack a file holding only it.
struct StudyBlock {
    int64_t offset = 0;
    int64_t input_bytes = 0;
    // One per setting; none for a last block under 82 bytes, which counts at its size as stored.
    std::vector<StudyMeasurement> measurements;

    bool stored() const { return measurements.empty(); }
};

// One file under every setting of a sweep.
struct FileStudy {
    std::string path;
    int64_t input_bytes = 0;
    std::optional<std::string> skipped;  // why the file was not packed
    std::exception_ptr error;            // the file could not be read (or another failure)
    int64_t zlib_bytes = 0;              // the whole-file zlib stream compress writes
    // One per setting, in the sweep's order; for a file in blocks the blocks' sums: rod bytes
    // (a block not packed at its size), cycles, passes and times. Packed when a block was packed,
    // not restored when one did not restore.
    std::vector<StudyMeasurement> measurements;
    int best = -1;  // the setting with the smallest rod stream that restored; -1: none
    std::vector<StudyBlock> blocks;  // a file above 32,767 bytes: its blocks in order
    // The whole file's size under each baseline asked for, by Baseline (zlib's as zlib_bytes).
    std::array<std::optional<int64_t>, kBaselines.size()> baselines;

    bool studied() const { return !skipped && !error; }
    bool in_blocks() const { return !blocks.empty(); }
    std::optional<int64_t> baseline(Baseline b) const { return baselines[static_cast<size_t>(b)]; }
    // The bytes the best setting stands for (the file's own size where none packed it).
    int64_t best_bytes() const;
};

// Studies the files, jobs of them (or of a large file's blocks) at once (0: one per core), each
// under every setting; the results are in the order of paths. progress (if set) is called, one call
// at a time, as files finish: files done and files in all. It must not throw.
std::vector<FileStudy> study_files(const std::vector<std::string>& paths,
                                   const std::vector<StudySetting>& settings, unsigned jobs,
                                   const std::function<void(size_t done, size_t total)>& progress);
// The same, with the files' sizes under the baselines (zlib's is always in zlib_bytes).
std::vector<FileStudy> study_files(const std::vector<std::string>& paths,
                                   const std::vector<StudySetting>& settings,
                                   const std::vector<Baseline>& baselines, unsigned jobs,
                                   const std::function<void(size_t done, size_t total)>& progress);

// What a study measures: the settings, the baselines, and whether runs are traced (the trace
// of each measurement of a file, or of each block of a file in blocks).
struct StudyPlan {
    std::vector<StudySetting> settings;
    std::vector<Baseline> baselines;
    bool trace = false;
};
std::vector<FileStudy> study_files(const std::vector<std::string>& paths, const StudyPlan& plan,
                                   unsigned jobs,
                                   const std::function<void(size_t done, size_t total)>& progress);

// One file (in blocks above 32,767 bytes) under every setting and beside every baseline of the
// plan, on the calling thread. proceed (if set) is asked between steps, and false stops the study
// (error then holds ERunCancelled); progress (if set) is told how many settings are done.
FileStudy study_path(const std::string& path, const StudyPlan& plan,
                     const std::function<bool()>& proceed = {},
                     const std::function<void(size_t done)>& progress = {});
// The same for bytes in memory, named name in the results.
FileStudy study_bytes(std::string name, std::span<const uint8_t> bytes, const StudyPlan& plan,
                      const std::function<bool()>& proceed = {},
                      const std::function<void(size_t done)>& progress = {});

// The bytes a measurement stands for in sums over files: the rod stream, or the input's own
// size where packing did not give a rod stream that restores (the file then stays as it is).
int64_t counted_bytes(const StudyMeasurement& m, int64_t input_bytes);

// One setting (or zlib) summed over files.
struct StudyTotal {
    int32_t files = 0;
    int64_t input_bytes = 0;
    int64_t output_bytes = 0;
    double log_ratio_sum = 0;

    void add(int64_t input, int64_t output);
    double total_ratio() const;     // output bytes over input bytes
    double geometric_mean() const;  // of the files' ratios
};

// The best setting's rod files against the smallest file a compressor baseline writes.
struct StudyVerdict {
    Baseline baseline = Baseline::Xz;
    int64_t rod_bytes = 0;
    int64_t baseline_bytes = 0;

    // How much larger (above 0) or smaller (below 0) the rod files are, in percent.
    double percent() const;
    // "rod files are 64 % larger than xz -9e", "... 12 % smaller than ...", "... as large as ...".
    std::string text() const;
};

// The file's verdict; nullopt when it was not studied or no compressor baseline was asked for.
std::optional<StudyVerdict> file_verdict(const FileStudy& file);

// Every setting and baseline summed over the files studied, and the verdict over all of them.
struct StudySummary {
    int32_t files = 0;
    std::vector<StudyTotal> settings;                                    // in the sweep's order
    StudyTotal zlib;                                                     // always, as zlib_bytes
    std::array<std::optional<StudyTotal>, kBaselines.size()> baselines;  // those asked for
    int best = -1;  // the setting with the lowest total ratio; -1: none
    std::optional<StudyVerdict> verdict;

    std::optional<StudyTotal> baseline(Baseline b) const {
        return baselines[static_cast<size_t>(b)];
    }
};

StudySummary summarize(const std::vector<FileStudy>& studies, size_t setting_count);

// Why a file of this size cannot be studied (too small to pack); nullopt when it can.
std::optional<std::string> study_skip_reason(int64_t size);

// The blocks a file of this size is studied in: one up to 32,767 bytes, else 32,767 bytes each
// with the rest in the last.
std::vector<StudyBlock> study_blocks(int64_t size);

// Packs the bytes with the setting, as pack would (nothing is written), then restores the rod
// stream and compares it with them. The bytes must be 82..32,767. trace keeps the packing run's
// pass and cycle records; proceed (if set) is asked between steps, and false stops the work with
// ERunCancelled.
StudyMeasurement study_file(std::span<const uint8_t> bytes, const StudySetting& setting,
                            bool trace = false, const std::function<bool()>& proceed = {});

}  // namespace quorvane
