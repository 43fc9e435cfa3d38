// rod_detection.h -- finding the rod size and LZ77 setting a rod file restores with.
//
// A rod file records neither. Detection tries every rod size with LZ77 on and off, each a full
// restoration with all of its checks, on a small pool of threads, and gathers the settings that
// restore by the result they give.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "engine/settings.h"

namespace quorvane {

struct RodSettingsPair {
    unsigned rod_size = 2;
    bool lz77 = true;
    friend bool operator==(const RodSettingsPair&, const RodSettingsPair&) = default;
};

// Every rod size with the likely LZ77 setting first, then every rod size with the other.
std::vector<RodSettingsPair> detection_order(bool lz77_first);

// What a check of a restored result (such as an integrity trailer's) says of it.
enum class Confirmation {
    Unknown,    // nothing to check against
    Confirmed,  // the result is the packed file: no further setting needs trying
    Rejected,   // the result is not the packed file: it does not count
};
using ConfirmResult = std::function<Confirmation(const std::vector<uint8_t>& restored)>;

// One distinct restored file and every setting that gives it.
struct DetectedResult {
    std::vector<uint8_t> bytes;
    uint32_t crc32 = 0;
    std::vector<RodSettingsPair> settings;  // in the order tried
    int32_t cycles = 0;                     // packing cycles undone
    int64_t passes = 0;                     // passes that packed them
    bool confirmed = false;
};

struct DetectionReport {
    std::vector<DetectedResult> results;  // in the order of the first setting that gave each
    int32_t tried = 0;     // settings whose outcome the report covers, a prefix of the order
    int32_t total = 0;     // settings in the order
    int32_t rejected = 0;  // settings whose result the check turned down
    bool lz77_first = true;
    bool stopped_early = false;  // the outcome was fixed before every setting was tried

    // One file restored (however many settings give it).
    bool found_one() const { return results.size() == 1; }
};

struct DetectionOptions {
    unsigned threads = 0;  // 0: one per core
    // Stop once the settings tried so far, in order, fix the outcome: a confirmed result, or two
    // different results. The report then covers that prefix of the order, the same on every run.
    bool stop_when_decided = false;
    ConfirmResult confirm;  // empty: every result Unknown; called on the pool's threads
    // Called on the calling thread as settings finish: done and total. May throw (to cancel);
    // the threads are stopped first.
    std::function<void(int32_t done, int32_t total)> progress;
};

// Tries the settings on the bytes of a rod file. A valid integrity trailer at its end confirms the
// result it describes and turns down every other one (unless options.confirm is given); a
// damaged one raises ECorruptData "checksum mismatch".
DetectionReport detect_rod_settings(std::span<const uint8_t> bytes,
                                    const DetectionOptions& options = {});

}  // namespace quorvane
