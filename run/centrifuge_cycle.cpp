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

// Shows the pass the cycle keeps after it has undone or passed over later ones: every statistic
// reads as it did when the passes stood at that pass.
void show_kept_pass(Engine& e) {
    const CycleState& cycle = e.run.cycle;
    set_depth_label(e, depth_text(e.run.CycleCount, cycle.PassDepth, cycle.PassDepth > 1));
    UpdateInfoStrings(cycle, e.ui);
}

// Runs the passes; returns with PassDepth the number of the last pass kept.
void run_passes(Engine& e, PassHistory& history, int64_t start_length) {
    CycleState& cycle = e.run.cycle;
    for (;;) {
        CentrifugePass(cycle, e.run.RodSize, e.ui);
        history.keep_input(cycle);
        const BitString& before = history.at(cycle.PassDepth - 1).data;
        // A pass that changed nothing would be repeated to the pass limit; a balance beyond
        // the header's field could not be written. Either way the pass before is the last.
        const bool unchanged = cycle.DataBits == before;
        const bool unbalanced = int64_t{cycle.HighRods} - cycle.LowRods > e.limits.max_balance;
        if (unchanged || unbalanced) {
            history.restore(cycle.PassDepth - 1, cycle);
            cycle.PassDepth -= 1;
            show_kept_pass(e);
            return;
        }
        history.record(cycle.PassDepth, cycle);
        const int64_t threshold = depth_threshold(e.settings.integer(Setting::Depth), start_length);
        if (threshold >= static_cast<int64_t>(cycle.DataBits.size()) ||
            cycle.PassDepth >= e.limits.max_passes) {
            return;
        }
        cycle.PassDepth += 1;
        // The depth text is only ever shown: where nothing is shown, it need not be made.
        if (e.ui.shows_statistics()) {
            set_depth_label(e, depth_text(e.run.CycleCount, cycle.PassDepth, true));
        }
    }
}

// Packs the decisions, catching any failure as an overflow; cancellation still goes through.
BitString guarded_pack(Engine& e, bool lz77) {
    try {
        return PackDecisionStream(e.run.cycle.DecisionArray, e.run.DecisionOverflow, lz77, e.ui,
                                  e.run.zlib);
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
    const bool lz77 = e.settings.lz77_on();
    const int32_t last = cycle.PassDepth;
    for (int32_t pass = last; pass >= 1 && pass > last - kCandidates; --pass) {
        history.restore(pass, cycle);
        if (cycle.LowRods == 0) break;
        cycle.PassDepth = pass;
        const BitString decisions = guarded_pack(e, lz77);
        if (run.DecisionOverflow) return std::nullopt;
        const CycleCounts counts{run.CycleCount, cycle.PassDepth, cycle.LowRods, cycle.HighRods,
                                 run.SourceByteCount};
        std::optional<RodStream> stream = CreateFileHeader(counts, cycle.DataBits, decisions, e.ui);
        if (!stream) continue;
        // A packing run has no round of its own to undo: its round is the scratch.
        if (restores_to(stream->StreamBits, start, run.RodSize, lz77, e.ui, run.zlib, run.round)) {
            return stream;
        }
    }
    return std::nullopt;
}

void roll_back(Engine& e) {
    RunState& run = e.run;
    run.StreamBits = run.best.BestStreamBits;
    run.DecisionStreamBits = run.best.BestDecisionStreamBits;
    run.HeaderDataBits = run.best.BestHeaderDataBits;
    set_depth_label(e, run.best.BestDepthText);
    e.ui.set_label(Label::DecisionsLabel, kLastPass);
    e.ui.set_label(Label::Label_9, kLastPass);
}

// Finalises the best stream kept in this run, or declares the run not successful.
CycleEnd finish_with_best(Engine& e) {
    if (e.run.best.BestStreamBits.empty()) return CycleEnd::NotSuccessful;
    roll_back(e);
    return CycleEnd::Finalised;
}

CycleEnd keep_as_best(Engine& e) {
    RunState& run = e.run;
    run.best.BestStreamBits = run.StreamBits;
    run.best.BestDecisionStreamBits = run.DecisionStreamBits;
    run.best.BestHeaderDataBits = run.HeaderDataBits;
    run.best.BestSize = run.CycleSize;
    run.best.BestDepthText = run.DepthText;
    e.ui.set_label(Label::DecisionsLabel, kNextPass);
    e.ui.set_label(Label::Label_9, kNextPass);
    return CycleEnd::NextCycle;
}

// What the run does after a cycle that built a stream.
CycleEnd decide(Engine& e) {
    RunState& run = e.run;
    if (e.settings.single_cycle()) return CycleEnd::Finalised;
    const auto bytes = static_cast<int64_t>(run.StreamBits.size() / 8);
    if (target_reached(e.settings.integer(Setting::CompressionLevel), run.OriginalSize, bytes) ||
        run.CycleCount >= e.limits.max_cycles) {
        return CycleEnd::Finalised;
    }
    run.CycleSize = checked_i32(bytes);
    if (e.settings.auto_stop_on() && run.best.BestSize <= run.CycleSize) {
        return finish_with_best(e);
    }
    return keep_as_best(e);
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
    PumpOnlyFrontEnd quiet(ui);
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
    set_depth_label(e, depth_text(run.CycleCount, 1));
    cycle.DataBits.append(run.StreamBits);
    // Every decision takes a bit of the data: room for all of them at once.
    cycle.DecisionArray.reserve(cycle.DataBits.size());
    const BitString& start = run.StreamBits;

    PassHistory history(run.spare_buffers);
    history.record(0, cycle);
    run_passes(e, history, static_cast<int64_t>(start.size()));
    run.passes_run = cycle.PassDepth;

    std::optional<RodStream> built;
    if (cycle.LowRods > 0) built = build_verified_stream(e, history, start);
    if (built && cycle.PassDepth != run.passes_run) show_kept_pass(e);
    // No stream: no low rods, the decisions overflowed, or none could be proven to restore.
    if (!built) e.settings.set(Setting::AutoStop, "S");
    e.checkpoint(observer);

    CycleEnd end = CycleEnd::NotSuccessful;
    if (built) {
        run.StreamBits = std::move(built->StreamBits);
        run.HeaderDataBits = std::move(built->HeaderDataBits);
        run.DecisionStreamBits = std::move(built->DecisionStreamBits);
        end = decide(e);
    } else if (!e.settings.single_cycle()) {
        // Only a stream made in this run may be written: the best one, if there is one.
        end = finish_with_best(e);
    }
    e.checkpoint(observer);
    return end;
}

}  // namespace quorvane
