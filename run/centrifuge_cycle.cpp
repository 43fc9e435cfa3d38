// centrifuge_cycle.cpp -- passes, the verified stream of a cycle, best-stream tracking, auto stop.
#include "run/centrifuge_cycle.h"

#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "engine/checked_math.h"
#include "engine/errors.h"

#include "rodfile/decision_packing.h"
#include "rodfile/rod_header.h"
#include "run/restoration.h"

namespace quorvane {
namespace {

// A cycle keeps the data and counters after its last passes, so that it can fall back to an
// earlier pass when the stream of the last one does not restore.
constexpr int32_t kCandidates = 8;

BitString take_buffer(std::vector<BitString>& pool) {
    if (pool.empty()) return {};
    BitString buffer = std::move(pool.back());
    pool.pop_back();
    buffer.clear();
    return buffer;
}

void give_buffer(std::vector<BitString>& pool, BitString& buffer) {
    pool.push_back(std::move(buffer));
    buffer = BitString();
}

struct PassSnapshot {
    BitString data;
    int32_t low = 0;
    int32_t high = 0;
    size_t decisions = 0;
};

// The snapshots move, never copy: the data of the newest pass stays in the cycle, and a pass's
// input goes into its snapshot once the next pass has replaced it. The buffers come from the
// run's pool and go back to it, so that a cycle allocates nothing once the run is under way.
class PassHistory {
  public:
    explicit PassHistory(std::vector<BitString>& pool) : pool_(pool) {
        for (PassSnapshot& s : ring_)
            s.data = take_buffer(pool_);
    }
    ~PassHistory() {
        for (PassSnapshot& s : ring_)
            give_buffer(pool_, s.data);
    }
    PassHistory(const PassHistory&) = delete;
    PassHistory& operator=(const PassHistory&) = delete;

    PassSnapshot& at(int32_t pass) { return ring_[static_cast<size_t>(pass) % ring_.size()]; }
    // The cycle stands at pass: its counters are kept, its data stays in the cycle.
    void record(int32_t pass, const CycleState& cycle) {
        PassSnapshot& s = at(pass);
        s.low = cycle.LowRods;
        s.high = cycle.HighRods;
        s.decisions = cycle.DecisionArray.size();
        live_ = pass;
    }
    // After a pass: its input, left in spare, becomes the snapshot of the pass before, and the
    // oldest snapshot's buffer takes the next pass's output.
    void keep_input(CycleState& cycle) {
        std::swap(at(live_).data, cycle.spare);
        live_ = -1;
    }
    // Passes are restored newest first, each at most once after the passes have run.
    void restore(int32_t pass, CycleState& cycle) {
        const PassSnapshot& s = at(pass);
        if (pass != live_) {
            cycle.DataBits = std::move(at(pass).data);
            live_ = pass;
        }
        cycle.LowRods = s.low;
        cycle.HighRods = s.high;
        cycle.DecisionArray.truncate(s.decisions);
    }

  private:
    std::vector<BitString>& pool_;
    std::array<PassSnapshot, kCandidates + 1> ring_;
    int32_t live_ = -1;  // the pass whose data is in the cycle
};

// The record of the pass the cycle stands at.
PassRecord pass_record(const Engine& e, int64_t bits_in, int64_t threshold, PassFate fate) {
    const RunState& run = e.run;
    const CycleState& cycle = run.cycle;
    PassRecord r;
    r.cycle = run.CycleCount;
    r.pass = cycle.PassDepth;
    r.bits_in = bits_in;
    r.bits_out = static_cast<int64_t>(cycle.DataBits.size());
    r.decision_bits = static_cast<int64_t>(cycle.DecisionArray.size());
    r.low_rods = cycle.LowRods;
    r.high_rods = cycle.HighRods;
    r.depth_threshold = threshold;
    r.level_bits = int64_t{e.settings.level} * run.OriginalSize * 8 / 100;
    r.fate = fate;
    return r;
}

// Runs the passes; returns with PassDepth the number of the last pass kept, and the depth
// threshold that applied.
int64_t run_passes(Engine& e, PassHistory& history, int64_t start_length) {
    CycleState& cycle = e.run.cycle;
    int64_t threshold = 0;
    for (;;) {
        const auto bits_in = static_cast<int64_t>(cycle.DataBits.size());
        CentrifugePass(cycle, e.run.RodSize, e.observer);
        history.keep_input(cycle);
        const BitString& before = history.at(cycle.PassDepth - 1).data;
        // A pass that changed nothing would be repeated to the pass limit; a balance beyond
        // the header's field could not be written. Either way the pass before is the last.
        const bool unchanged = cycle.DataBits == before;
        const bool unbalanced = int64_t{cycle.HighRods} - cycle.LowRods > e.limits.max_balance;
        if (unchanged || unbalanced) {
            PassRecord undone = pass_record(e, bits_in, threshold, PassFate::Ran);
            undone.last = true;
            e.observer.pass_done(undone);
            undone.fate = PassFate::Undone;
            e.observer.pass_done(undone);
            history.restore(cycle.PassDepth - 1, cycle);
            cycle.PassDepth -= 1;
            e.observer.pass_done(pass_record(e, -1, threshold, PassFate::Fallback));
            return threshold;
        }
        history.record(cycle.PassDepth, cycle);
        threshold = depth_threshold(e.live(LiveSetting::Depth).depth, start_length);
        PassRecord ran = pass_record(e, bits_in, threshold, PassFate::Ran);
        ran.last = threshold >= static_cast<int64_t>(cycle.DataBits.size()) ||
                   cycle.PassDepth >= e.limits.max_passes;
        e.observer.pass_done(ran);
        checkpoint(e.observer);
        if (ran.last) return threshold;
        cycle.PassDepth += 1;
    }
}

// Packs the decisions, catching any failure as an overflow; cancellation still goes through.
BitString guarded_pack(Engine& e, bool lz77) {
    try {
        return PackDecisionStream(e.run.cycle.DecisionArray, e.run.DecisionOverflow, lz77,
                                  e.observer, e.run.zlib);
    } catch (const ERunCancelled&) {
        throw;
    } catch (const std::exception&) {
        e.run.DecisionOverflow = true;
        return {};
    }
}

// The stream of the last pass, or of one of the seven before it, that restores to the cycle's
// start; nullopt when none does or the decisions overflowed.
std::optional<RodStream> build_verified_stream(Engine& e, PassHistory& history,
                                               const BitString& start) {
    RunState& run = e.run;
    CycleState& cycle = run.cycle;
    const bool lz77 = e.live(LiveSetting::Lz77).lz77;
    const int32_t last = cycle.PassDepth;
    for (int32_t pass = last; pass >= 1 && pass > last - kCandidates; --pass) {
        history.restore(pass, cycle);
        if (cycle.LowRods == 0) break;
        cycle.PassDepth = pass;
        const BitString decisions = guarded_pack(e, lz77);
        if (run.DecisionOverflow) return std::nullopt;
        const CycleCounts counts{run.CycleCount, cycle.PassDepth, cycle.LowRods, cycle.HighRods,
                                 run.SourceByteCount};
        std::optional<RodStream> stream =
            CreateFileHeader(counts, cycle.DataBits, decisions, e.observer);
        if (!stream) continue;
        if (restores_to(stream->StreamBits, start, run.RodSize, lz77, e.observer, run.zlib,
                        run.proof)) {
            return stream;
        }
    }
    return std::nullopt;
}

// Finalises the best stream kept in this run, or declares the run not successful.
CycleEnd finish_with_best(Engine& e) {
    RunState& run = e.run;
    if (run.best.BestStreamBits.empty()) return CycleEnd::NotSuccessful;
    run.StreamBits = run.best.BestStreamBits;
    run.HeaderDataBits = run.best.BestHeaderDataBits;
    return CycleEnd::RolledBack;
}

CycleEnd keep_as_best(Engine& e, int32_t size) {
    RunState& run = e.run;
    run.best.BestStreamBits = run.StreamBits;
    run.best.BestHeaderDataBits = run.HeaderDataBits;
    run.best.BestSize = size;
    return CycleEnd::NextCycle;
}

// What the run does after a cycle that built a stream.
CycleEnd decide(Engine& e) {
    RunState& run = e.run;
    if (e.live(LiveSetting::Single).single) return CycleEnd::Finalised;
    const auto bytes = static_cast<int64_t>(run.StreamBits.size() / 8);
    if (target_reached(e.live(LiveSetting::Level).level, run.OriginalSize, bytes) ||
        run.CycleCount >= e.limits.max_cycles) {
        return CycleEnd::Finalised;
    }
    const int32_t size = checked_i32(bytes);
    if (e.live(LiveSetting::AutoStop).auto_stop && run.best.BestSize <= size) {
        return finish_with_best(e);
    }
    return keep_as_best(e, size);
}

CycleFate fate_of(CycleEnd end) {
    switch (end) {
        case CycleEnd::NextCycle:
            return CycleFate::Kept;
        case CycleEnd::Finalised:
            return CycleFate::Finalised;
        case CycleEnd::RolledBack:
            return CycleFate::RolledBack;
        case CycleEnd::NotSuccessful:
            break;
    }
    return CycleFate::NotSuccessful;
}

}  // namespace

int64_t depth_threshold(int64_t depth, int64_t start_length) {
    // Rounded to nearest; start lengths are whole bytes, so no product ends in exactly 50.
    const int64_t n = depth * start_length + 50;
    return n >= 0 ? n / 100 : -((-n + 99) / 100);
}

bool target_reached(int32_t level, int32_t original_size, int64_t bytes) {
    return int64_t{checked_mul(level, original_size)} >= 100 * bytes;
}

bool restores_to(const BitString& candidate, const BitString& expected, unsigned rod_size,
                 bool lz77, RunObserver& observer, ZlibCoders& zlib, RoundState& round) {
    ProceedOnlyObserver quiet(observer);
    try {
        ReadInFileHeader(round, candidate, checked_i32(candidate.size() / 8), 0, lz77, quiet, zlib);
        return undo_cycle(round, rod_size, quiet) && round.DataBits == expected;
    } catch (const ERunCancelled&) {
        throw;
    } catch (const EngineError&) {
        return false;
    }
}

CycleEnd CentrifugeCycle(Engine& e) {
    RunState& run = e.run;
    CycleState& cycle = run.cycle;
    for (BitString* buffer : {&cycle.DataBits, &cycle.DecisionArray, &cycle.spare})
        give_buffer(run.spare_buffers, *buffer);
    cycle = CycleState{};
    cycle.DecisionArray = take_buffer(run.spare_buffers);
    cycle.spare = take_buffer(run.spare_buffers);
    cycle.DataBits = take_buffer(run.spare_buffers);
    e.observer.cycle_started(run.CycleCount, static_cast<int64_t>(run.StreamBits.size()));
    cycle.DataBits.append(run.StreamBits);
    // Every decision takes a bit of the data: room for all of them at once.
    cycle.DecisionArray.reserve(cycle.DataBits.size());
    const BitString& start = run.StreamBits;

    PassHistory history(run.spare_buffers);
    history.record(0, cycle);
    const int64_t threshold = run_passes(e, history, static_cast<int64_t>(start.size()));
    run.passes_run = cycle.PassDepth;

    std::optional<RodStream> built;
    if (cycle.LowRods > 0) built = build_verified_stream(e, history, start);
    if (built && cycle.PassDepth != run.passes_run) {
        // The passes after the one kept were undone: their streams did not restore.
        PassRecord r = pass_record(e, -1, threshold, PassFate::Undone);
        for (r.pass = run.passes_run; r.pass > cycle.PassDepth; --r.pass)
            e.observer.pass_done(r);
        e.observer.pass_done(pass_record(e, -1, threshold, PassFate::Fallback));
    }
    // No stream: no low rods, the decisions overflowed, or none could be proven to restore.
    if (!built) e.set_auto_stop(true);
    checkpoint(e.observer);

    CycleRecord record;
    record.cycle = run.CycleCount;
    record.passes = cycle.PassDepth;
    record.start_bits = static_cast<int64_t>(start.size());
    record.low_rods = cycle.LowRods;
    record.high_rods = cycle.HighRods;
    CycleEnd end = CycleEnd::NotSuccessful;
    if (built) {
        record.stream_bits = static_cast<int64_t>(built->StreamBits.size());
        run.StreamBits = std::move(built->StreamBits);
        run.HeaderDataBits = std::move(built->HeaderDataBits);
        end = decide(e);
    } else if (!e.live(LiveSetting::Single).single) {
        // Only a stream made in this run may be written: the best one, if there is one.
        end = finish_with_best(e);
    }
    record.best_bits = static_cast<int64_t>(run.best.BestStreamBits.size());
    record.fate = fate_of(end);
    run.last_cycle = record;
    checkpoint(e.observer);
    return end;
}

}  // namespace quorvane
