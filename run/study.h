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

struct StudyMeasurement {
    StudyOutcome outcome = StudyOutcome::NotSuccessful;
    int64_t rod_bytes = 0;  // the rod stream's size (Packed and NotRestored)
    int32_t cycles = 0;     // packing cycles in the rod stream
    int64_t passes = 0;     // passes of those cycles
    double pack_ms = 0;     // the whole packing run, its verifications included
    double restore_ms = 0;  // restoring the rod stream
};

// One file under every setting of a sweep.
struct FileStudy {
    std::string path;
    int64_t input_bytes = 0;
    std::optional<std::string> skipped;          // why the file was not packed
    std::exception_ptr error;                    // the file could not be read (or another failure)
    int64_t zlib_bytes = 0;                      // the whole-file zlib stream compress writes
    std::vector<StudyMeasurement> measurements;  // one per setting, in the sweep's order
    int best = -1;  // the setting with the smallest rod stream that restored; -1: none

    bool studied() const { return !skipped && !error; }
};

// Studies the files, jobs of them at once (0: one per core), each under every setting; the
// results are in the order of paths. progress (if set) is called, one call at a time, as files
// finish: files done and files in all. It must not throw.
std::vector<FileStudy> study_files(const std::vector<std::string>& paths,
                                   const std::vector<StudySetting>& settings, unsigned jobs,
                                   const std::function<void(size_t done, size_t total)>& progress);

// One file under every setting. proceed (if set) is asked between steps, and false stops the study
// (error then holds ERunCancelled); progress (if set) is told how many settings are done.
FileStudy study_path(const std::string& path, const std::vector<StudySetting>& settings,
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

// Why bytes of this size cannot be packed; nullopt when they can.
std::optional<std::string> study_skip_reason(int64_t size);

// Packs the bytes with the setting, as pack would (nothing is written), then restores the rod
// stream and compares it with them. The bytes must not have a skip reason. proceed (if set) is
// asked between steps; false stops the work with ERunCancelled.
StudyMeasurement study_file(std::span<const uint8_t> bytes, const StudySetting& setting,
                            const std::function<bool()>& proceed = {});

}  // namespace quorvane
