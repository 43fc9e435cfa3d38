// run_records.h -- the sizes a run went through, step by step, kept for a chart and its data file.
//
// Every record stands at a step of the run: x counts passes across the whole run (a cycle's
// passes follow the passes the cycles before it reached), or reverse passes when unpacking.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run_observer.h"

namespace quorvane {

enum class ChartEvent {
    CycleStart,   // the stream a packing cycle starts from
    Pass,         // a forward pass ran
    Undone,       // ... and was taken back
    Fallback,     // the pass the cycle went back to
    CycleEnd,     // the stream the cycle built, and the best one so far
    RoundStart,   // the data bits of a stream being restored
    ReversePass,  // a reverse pass of the round
    RoundEnd,     // the stream the round gave back
};

std::string_view chart_event_name(ChartEvent event);

struct ChartRecord {
    ChartEvent event = ChartEvent::Pass;
    int64_t x = 0;
    int32_t cycle = 0;
    int32_t pass = 0;
    int64_t bits = 0;       // the stream's size there (an undone pass: what it had made)
    int64_t best_bits = 0;  // CycleEnd: the best stream of the run so far (0: none yet)
};

class RunRecords : public RunObserver {
  public:
    void run_started(bool unpacking, bool lz77, int64_t bytes) override;
    void cycle_started(int32_t cycle, int64_t stream_bits) override;
    void pass_done(const PassRecord& pass) override;
    void cycle_done(const CycleRecord& cycle) override;
    void round_started(const RoundRecord& round) override;
    void reverse_pass_done(const ReversePassRecord& pass) override;
    void restored(int64_t bytes) override;

    const std::vector<ChartRecord>& records() const { return records_; }
    bool unpacking() const { return unpacking_; }
    // The size at which the run stops (0: not known, as when unpacking).
    int64_t level_bits() const { return level_bits_; }
    // Grows with every change: a view redraws only when it moved.
    uint64_t changes() const { return changes_; }

    // The records as comma-separated values under a header line.
    std::string csv() const;

  private:
    void add(ChartEvent event, int64_t x, int32_t cycle, int32_t pass, int64_t bits,
             int64_t best_bits = 0);
    void end_round();

    std::vector<ChartRecord> records_;
    std::vector<int64_t> ran_bits_;  // the cycle's passes as they ran, by pass number
    bool unpacking_ = false;
    bool round_open_ = false;
    int64_t base_ = 0;  // x of the cycle's start
    int64_t last_x_ = 0;
    int64_t level_bits_ = 0;
    uint64_t changes_ = 0;
};

}  // namespace quorvane
