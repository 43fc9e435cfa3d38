// run_records.cpp -- placing the run's records on one axis of steps.
#include "status/run_records.h"

#include <algorithm>

namespace quorvane {

std::string_view chart_event_name(ChartEvent event) {
    switch (event) {
        case ChartEvent::CycleStart:
            return "cycle start";
        case ChartEvent::Pass:
            return "pass";
        case ChartEvent::Undone:
            return "undone";
        case ChartEvent::Fallback:
            return "fallback";
        case ChartEvent::CycleEnd:
            return "cycle end";
        case ChartEvent::RoundStart:
            return "round start";
        case ChartEvent::ReversePass:
            return "reverse pass";
        case ChartEvent::RoundEnd:
            return "round end";
    }
    return {};
}

void RunRecords::add(ChartEvent event, int64_t x, int32_t cycle, int32_t pass, int64_t bits,
                     int64_t best_bits) {
    records_.push_back({event, x, cycle, pass, bits, best_bits});
    last_x_ = std::max(last_x_, x);
    ++changes_;
}

void RunRecords::run_started(bool unpacking, bool lz77, int64_t bytes) {
    (void)lz77;
    (void)bytes;
    records_.clear();
    ran_bits_.clear();
    unpacking_ = unpacking;
    round_open_ = false;
    base_ = 0;
    last_x_ = 0;
    level_bits_ = 0;
    ++changes_;
}

void RunRecords::cycle_started(int32_t cycle, int64_t stream_bits) {
    // The next cycle starts where the passes of the one before reached.
    base_ = last_x_;
    ran_bits_.assign(1, stream_bits);
    add(ChartEvent::CycleStart, base_, cycle, 0, stream_bits);
}

void RunRecords::pass_done(const PassRecord& pass) {
    level_bits_ = pass.level_bits;
    const int64_t x = base_ + pass.pass;
    const auto at = static_cast<size_t>(std::max(pass.pass, 0));
    switch (pass.fate) {
        case PassFate::Ran:
            if (ran_bits_.size() <= at) ran_bits_.resize(at + 1, 0);
            ran_bits_[at] = pass.bits_out;
            add(ChartEvent::Pass, x, pass.cycle, pass.pass, pass.bits_out);
            break;
        case PassFate::Undone:
            // A pass undone after the cycle fell back is reported at the fallback's size.
            add(ChartEvent::Undone, x, pass.cycle, pass.pass,
                at < ran_bits_.size() && ran_bits_[at] > 0 ? ran_bits_[at] : pass.bits_out);
            break;
        case PassFate::Fallback:
            add(ChartEvent::Fallback, x, pass.cycle, pass.pass, pass.bits_out);
            break;
    }
}

void RunRecords::cycle_done(const CycleRecord& cycle) {
    add(ChartEvent::CycleEnd, last_x_, cycle.cycle, cycle.passes, cycle.stream_bits,
        cycle.best_bits);
}

void RunRecords::end_round() {
    if (!round_open_) return;
    round_open_ = false;
    const ChartRecord& last = records_.back();
    add(ChartEvent::RoundEnd, last_x_, last.cycle, 0, last.bits);
}

void RunRecords::round_started(const RoundRecord& round) {
    end_round();
    round_open_ = true;
    add(ChartEvent::RoundStart, last_x_, round.cycle, round.passes, round.data_bits);
}

void RunRecords::reverse_pass_done(const ReversePassRecord& pass) {
    add(ChartEvent::ReversePass, last_x_ + 1, pass.cycle, pass.passes_left, pass.bits_out);
}

void RunRecords::restored(int64_t bytes) {
    (void)bytes;
    end_round();
}

std::string RunRecords::csv() const {
    std::string text = "event,x,cycle,pass,bits,best_bits,level_bits\n";
    for (const ChartRecord& r : records_) {
        text.append(chart_event_name(r.event)).append(",");
        text.append(std::to_string(r.x)).append(",").append(std::to_string(r.cycle)).append(",");
        text.append(std::to_string(r.pass)).append(",").append(std::to_string(r.bits)).append(",");
        text.append(r.event == ChartEvent::CycleEnd ? std::to_string(r.best_bits) : "");
        text.append(",").append(unpacking_ ? "" : std::to_string(level_bits_)).append("\n");
    }
    return text;
}

}  // namespace quorvane
