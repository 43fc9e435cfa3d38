// rod_detection.cpp -- every rod size with LZ77 on and off, restored on a small pool of threads.
#include "run/rod_detection.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#include "engine/errors.h"
#include "rodfile/rod_info.h"
#include "rodfile/rod_trailer.h"
#include "run/restoration.h"

namespace quorvane {
namespace {

// The outcome of one setting, filled in by the thread that tried it.
struct Trial {
    bool done = false;
    std::optional<std::vector<uint8_t>> restored;
    uint32_t crc32 = 0;
    int32_t cycles = 0;
    int64_t passes = 0;
    Confirmation confirmation = Confirmation::Unknown;
};

// Lets a restoration run only while its setting is still wanted.
class TrialObserver : public SilentObserver {
  public:
    TrialObserver(const std::atomic<int32_t>& last_wanted, int32_t index)
        : last_wanted_(last_wanted), index_(index) {}
    bool proceed() override { return index_ <= last_wanted_.load(std::memory_order_relaxed); }

  private:
    const std::atomic<int32_t>& last_wanted_;
    int32_t index_;
};

class Detection {
  public:
    Detection(std::span<const uint8_t> bytes, const DetectionOptions& options)
        : bytes_(bytes),
          options_(options),
          order_(detection_order(decisions_start_like_zlib(bytes))),
          trials_(order_.size()),
          last_wanted_(static_cast<int32_t>(order_.size()) - 1) {
        report_.lz77_first = order_.front().lz77;
        report_.total = static_cast<int32_t>(order_.size());
    }

    DetectionReport run() {
        unsigned threads = options_.threads != 0
                               ? options_.threads
                               : std::max(1U, std::thread::hardware_concurrency());
        threads = std::min<unsigned>(threads, static_cast<unsigned>(order_.size()));
        std::vector<std::jthread> pool;
        try {
            for (unsigned t = 0; t < threads; ++t)
                pool.emplace_back([this] { work(); });
            coordinate(pool.size());
        } catch (...) {
            last_wanted_.store(-1);
            pool.clear();  // joins
            throw;
        }
        pool.clear();
        if (error_) std::rethrow_exception(error_);
        return std::move(report_);
    }

  private:
    void work() {
        for (;;) {
            const int32_t i = next_.fetch_add(1);
            if (i > last_wanted_.load()) break;
            Trial trial;
            try {
                trial = attempt(i);
            } catch (const ERunCancelled&) {
                // No longer wanted: the outcome was fixed by the settings before it.
            } catch (...) {
                std::lock_guard lock(mutex_);
                if (!error_) error_ = std::current_exception();
                last_wanted_.store(-1);
            }
            {
                std::lock_guard lock(mutex_);
                trial.done = true;
                trials_[static_cast<size_t>(i)] = std::move(trial);
                ++finished_;
            }
            changed_.notify_one();
        }
        {
            std::lock_guard lock(mutex_);
            ++exited_;
        }
        changed_.notify_one();
    }

    Trial attempt(int32_t i) {
        const RodSettingsPair setting = order_[static_cast<size_t>(i)];
        TrialObserver observer(last_wanted_, i);
        Trial trial;
        std::optional<RestoredStream> restored =
            restore_rod_bytes(bytes_, setting.rod_size, setting.lz77, observer);
        if (!restored) return trial;
        trial.restored = restored->bits.to_bytes();
        trial.cycles = restored->cycles;
        trial.passes = restored->passes;
        const std::vector<uint8_t>& out = *trial.restored;
        trial.crc32 = static_cast<uint32_t>(
            ::crc32(::crc32(0L, Z_NULL, 0), out.data(), static_cast<uInt>(out.size())));
        if (options_.confirm) trial.confirmation = options_.confirm(out);
        return trial;
    }

    // Waits for the threads, taking in the settings in order as far as they are done.
    void coordinate(size_t threads) {
        std::unique_lock lock(mutex_);
        int32_t seen = 0;
        for (;;) {
            changed_.wait(lock, [&] { return finished_ != seen || exited_ == threads; });
            seen = finished_;
            take_in_done_prefix();
            // Also after the last setting: every detection reports its progress at least once.
            const bool all_exited = exited_ == threads;
            if (options_.progress) {
                const int32_t done = finished_;
                lock.unlock();
                options_.progress(done, report_.total);
                lock.lock();
            }
            if (all_exited) break;
        }
        if (!report_.stopped_early) report_.tried = scanned_;
    }

    void take_in_done_prefix() {
        while (scanned_ <= last_wanted_.load() && scanned_ < report_.total &&
               trials_[static_cast<size_t>(scanned_)].done) {
            const int32_t i = scanned_++;
            if (take_in(i) && options_.stop_when_decided) {
                last_wanted_.store(i);
                report_.tried = i + 1;
                report_.stopped_early = i + 1 < report_.total;
            }
        }
    }

    // Adds a setting's result to the report; true when the outcome is now fixed.
    bool take_in(int32_t i) {
        Trial& trial = trials_[static_cast<size_t>(i)];
        if (!trial.restored) return false;
        if (trial.confirmation == Confirmation::Rejected) {
            ++report_.rejected;
            return false;
        }
        std::vector<DetectedResult>& results = report_.results;
        const auto same = std::find_if(results.begin(), results.end(), [&](const auto& r) {
            return r.crc32 == trial.crc32 && r.bytes == *trial.restored;
        });
        DetectedResult* result = nullptr;
        if (same != results.end()) {
            result = &*same;
        } else {
            result = &results.emplace_back();
            result->bytes = std::move(*trial.restored);
            result->crc32 = trial.crc32;
            result->cycles = trial.cycles;
            result->passes = trial.passes;
        }
        trial.restored.reset();
        result->settings.push_back(order_[static_cast<size_t>(i)]);
        if (trial.confirmation == Confirmation::Confirmed) result->confirmed = true;
        return result->confirmed || results.size() >= 2;
    }

    std::span<const uint8_t> bytes_;
    const DetectionOptions& options_;
    const std::vector<RodSettingsPair> order_;
    std::vector<Trial> trials_;  // guarded by mutex_ until done

    std::atomic<int32_t> next_{0};
    std::atomic<int32_t> last_wanted_;  // settings after this index are not needed

    std::mutex mutex_;
    std::condition_variable changed_;
    int32_t finished_ = 0;
    size_t exited_ = 0;
    std::exception_ptr error_;

    int32_t scanned_ = 0;  // the coordinator's: settings taken into the report
    DetectionReport report_;
};

}  // namespace

std::vector<RodSettingsPair> detection_order(bool lz77_first) {
    std::vector<RodSettingsPair> order;
    order.reserve(2 * (kMaxRodSize - kMinRodSize + 1));
    for (const bool lz77 : {lz77_first, !lz77_first}) {
        for (unsigned r = kMinRodSize; r <= kMaxRodSize; ++r)
            order.push_back({r, lz77});
    }
    return order;
}

DetectionReport detect_rod_settings(std::span<const uint8_t> bytes,
                                    const DetectionOptions& options) {
    const TrailerScan scan = find_trailer(bytes);
    if (scan.state == TrailerState::Damaged) throw ECorruptData(std::string(kChecksumMismatch));
    if (scan.state == TrailerState::Absent || options.confirm) {
        return Detection(bytes.first(scan.stream_bytes), options).run();
    }
    // The trailer says what the packed file was: it confirms the one setting that gives it back
    // and turns down every other result.
    DetectionOptions checked = options;
    checked.confirm = [trailer = scan.trailer](const std::vector<uint8_t>& restored) {
        return trailer_matches(trailer, restored) ? Confirmation::Confirmed
                                                  : Confirmation::Rejected;
    };
    return Detection(bytes.first(scan.stream_bytes), checked).run();
}

}  // namespace quorvane
