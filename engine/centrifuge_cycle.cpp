// centrifuge_cycle.cpp -- passes, the verified stream of a cycle, best-stream tracking, auto stop.
#include "engine/centrifuge_cycle.h"

#include <array>

#include "engine/centrifuge_pass.h"
#include "engine/checked_math.h"
#include "engine/decision_packing.h"
#include "engine/errors.h"
#include "engine/restoration.h"
#include "rodfile/rod_header.h"
#include "rodfile/rod_output.h"

namespace quorvane {
namespace {

// A cycle keeps the data and counters after its last passes, so that it can fall back to an
// earlier pass when the stream of the last one does not restore.
constexpr int32_t kCandidates = 8;

struct PassSnapshot {
    BitString data;
    int32_t low = 0;
    int32_t high = 0;
    size_t decisions = 0;
};

class PassHistory {
  public:
    PassSnapshot& at(int32_t pass) { return ring_[static_cast<size_t>(pass) % ring_.size()]; }
    void record(int32_t pass, const EngineState& st) {
        PassSnapshot& s = at(pass);
        s.data = st.DataBits;
        s.low = st.LowRods;
        s.high = st.HighRods;
        s.decisions = st.DecisionArray.size();
    }
    void restore(int32_t pass, EngineState& st) {
        const PassSnapshot& s = at(pass);
        st.DataBits = s.data;
        st.LowRods = s.low;
        st.HighRods = s.high;
        st.DecisionArray.truncate(s.decisions);
    }

  private:
    std::array<PassSnapshot, kCandidates + 1> ring_;
};

// Runs the passes; returns with PassDepth the number of the last pass kept.
void RunPasses(Engine& e, PassHistory& history, int64_t start_length) {
    EngineState& st = e.st;
    for (;;) {
        CentrifugePass(e);
        const PassSnapshot& before = history.at(st.PassDepth - 1);
        // A pass that changed nothing would be repeated to the pass limit; a balance beyond
        // the header's field could not be written. Either way the pass before is the last.
        const bool unchanged =
            st.DataBits.size() == before.data.size() && st.DataBits == before.data;
        const bool unbalanced = int64_t{st.HighRods} - st.LowRods > st.limits.max_balance;
        if (unchanged || unbalanced) {
            history.restore(st.PassDepth - 1, st);
            st.PassDepth -= 1;
            return;
        }
        history.record(st.PassDepth, st);
        const int64_t threshold = DepthThreshold(e.settings.integer(Setting::Depth), start_length);
        if (threshold >= static_cast<int64_t>(st.DataBits.size()) ||
            st.PassDepth >= st.limits.max_passes) {
            return;
        }
        st.PassDepth += 1;
        SetDepthLabel(e, DepthText(st.CycleCount, st.PassDepth, true));
    }
}

// Packs the decisions, catching any failure as an overflow; cancellation still goes through.
BitString GuardedPack(Engine& e, bool lz77) {
    try {
        return PackDecisionStream(e, lz77);
    } catch (const ERunCancelled&) {
        throw;
    } catch (const std::exception&) {
        e.st.DecisionOverflow = true;
        return {};
    }
}

// Builds the stream of the last pass, or of one of the seven before it, that restores to the
// cycle's start; true with StreamBits, HeaderDataBits and DecisionStreamBits set when one does.
bool BuildVerifiedStream(Engine& e, PassHistory& history, const BitString& start) {
    EngineState& st = e.st;
    const bool lz77 = e.settings.lz77_on();
    const int32_t last = st.PassDepth;
    for (int32_t pass = last; pass >= 1 && pass > last - kCandidates; --pass) {
        history.restore(pass, st);
        if (st.LowRods == 0) break;
        st.PassDepth = pass;
        st.DecisionStreamBits = GuardedPack(e, lz77);
        if (st.DecisionOverflow) return false;
        if (!CreateFileHeader(e)) continue;
        if (RestoresTo(e, st.StreamBits, start, lz77)) return true;
    }
    return false;
}

void RollBack(Engine& e) {
    EngineState& st = e.st;
    st.StreamBits = st.BestStreamBits;
    st.DecisionStreamBits = st.BestDecisionStreamBits;
    st.HeaderDataBits = st.BestHeaderDataBits;
    SetDepthLabel(e, st.BestDepthText);
    e.ui.set_label(Label::DecisionsLabel, "Last pass");
    e.ui.set_label(Label::Label_9, "Last pass");
}

// Writes the best stream kept in this run, or declares the run not successful.
void FinishWithBest(Engine& e) {
    EngineState& st = e.st;
    if (!st.BestStreamBits.empty()) {
        RollBack(e);
        WriteZivIduvBitsBufferToFile(e);
    } else {
        st.NotSuccessful = true;
        st.OutputReady = true;
    }
}

void KeepAsBest(Engine& e) {
    EngineState& st = e.st;
    st.BestStreamBits = st.StreamBits;
    st.BestDecisionStreamBits = st.DecisionStreamBits;
    st.BestHeaderDataBits = st.HeaderDataBits;
    st.BestSize = st.CycleSize;
    st.BestDepthText = st.DepthText;
    e.ui.set_label(Label::DecisionsLabel, "Next pass");
    e.ui.set_label(Label::Label_9, "Next pass");
}

}  // namespace

int64_t DepthThreshold(int64_t depth, int64_t start_length) {
    // Rounded to nearest; start lengths are whole bytes, so no product ends in exactly 50.
    const int64_t n = depth * start_length + 50;
    return n >= 0 ? n / 100 : -((-n + 99) / 100);
}

bool TargetReached(int32_t level, int32_t original_size, int64_t bytes) {
    return int64_t{checked_mul(level, original_size)} >= 100 * bytes;
}

bool RestoresTo(Engine& e, const BitString& candidate, const BitString& expected, bool lz77) {
    PumpOnlyFrontEnd quiet(e.ui);
    Engine check(e.settings, quiet);
    check.st.RodSize = e.st.RodSize;
    check.st.StreamBits = candidate;
    check.st.CurrentSize = checked_i32(candidate.size() / 8);
    try {
        ReadInFileHeader(check, lz77);
        return UndoCycle(check) && check.st.DataBits == expected;
    } catch (const ERunCancelled&) {
        throw;
    } catch (const EngineError&) {
        return false;
    }
}

void CentrifugeCycle(Engine& e) {
    EngineState& st = e.st;
    st.PassDepth = 1;
    SetDepthLabel(e, DepthText(st.CycleCount, 1));
    const BitString start = st.DataBits;
    const BitString start_header_data = st.HeaderDataBits;
    const BitString start_decision_stream = st.DecisionStreamBits;
    st.LowRods = 0;
    st.HighRods = 0;
    st.DecisionArray.clear();
    st.CycleDone = false;

    PassHistory history;
    history.record(0, st);
    RunPasses(e, history, static_cast<int64_t>(start.size()));
    st.PassesRun = st.PassDepth;

    bool built = false;
    if (st.LowRods > 0) {
        built = BuildVerifiedStream(e, history, start);
        if (!built) {
            // No stream could be proven: the cycle ends as one whose packing failed.
            st.DecisionOverflow = true;
            st.StreamBits = start;
            st.HeaderDataBits = start_header_data;
            st.DecisionStreamBits = start_decision_stream;
        }
    } else {
        e.settings.set(Setting::AutoStop, "S");
    }
    if (st.DecisionOverflow) e.settings.set(Setting::AutoStop, "S");
    e.ui.pump();

    if (e.settings.single_cycle()) {
        if (built) {
            WriteZivIduvBitsBufferToFile(e);
        } else {
            st.NotSuccessful = true;
            st.OutputReady = true;
        }
    } else if (!built) {
        // Only a stream made in this run may be written: the best one, if there is one.
        FinishWithBest(e);
    } else {
        const auto bytes = static_cast<int64_t>(st.StreamBits.size() / 8);
        if (TargetReached(e.settings.integer(Setting::CompressionLevel), st.OriginalSize, bytes) ||
            st.CycleCount >= st.limits.max_cycles) {
            WriteZivIduvBitsBufferToFile(e);
        } else {
            st.CycleSize = checked_i32(bytes);
            if (e.settings.auto_stop_on() && st.BestSize <= st.CycleSize) {
                FinishWithBest(e);
            } else {
                KeepAsBest(e);
            }
        }
    }
    st.CycleDone = true;
    e.ui.pump();
}

}  // namespace quorvane
