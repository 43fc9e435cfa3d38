// status_board.cpp -- which record sets which text, in the order the window shows them.
#include "status/status_board.h"

#include <cstdlib>

#include "status/status_texts.h"

namespace quorvane {

void StatusBoard::set_depth(std::string text) {
    view_.set_label(Label::LoopCountLabel, text);
    depth_text_ = std::move(text);
}

void StatusBoard::loaded(int64_t bytes, bool unpacking) {
    view_.set_gauge(Gauge::ProcessGauge, bytes, bytes);
    view_.set_gauge(Gauge::CentriGauge1, 100, 100);
    view_.set_gauge(Gauge::CentriGauge2, bytes * 8, bytes * 8);
    view_.set_label(Label::InputLabel, kNoBitsInput);
    view_.set_label(Label::OutputLabel, kNoBitsOutput);
    view_.set_label(Label::ModeLabel, mode_text(unpacking));
    view_.set_label(Label::StreamLabel, kNoData);
    set_depth(std::string(kNoDepth));
}

void StatusBoard::direction_changed(bool unpacking) {
    view_.set_label(Label::ModeLabel, mode_text(unpacking));
}

void StatusBoard::run_started(bool unpacking, bool lz77, int64_t bytes) {
    unpacking_ = unpacking;
    best_depth_.clear();
    view_.set_gauge_max(Gauge::ProcessGauge, bytes);
    view_.set_gauge_max(Gauge::LoopProgressBar, 127);
    view_.set_label(Label::ModeLabel, mode_text(unpacking, lz77));
}

void StatusBoard::input_read(int64_t bytes) {
    view_.set_gauge_progress(Gauge::ProcessGauge, bytes);
    view_.set_label(Label::InputLabel, bits_input_text(bytes * 8));
    view_.set_label(Label::OutputLabel, bits_output_text(bytes * 8));
    view_.set_label(Label::StreamLabel, data_text(bytes));
}

void StatusBoard::cycle_started(int32_t cycle, int64_t stream_bits) {
    view_.set_gauge(Gauge::CentriGauge2, stream_bits, stream_bits);
    set_depth(depth_text(cycle, 1));
}

void StatusBoard::show_pass(const PassRecord& pass) {
    view_.set_gauge_progress(Gauge::CentriGauge2, pass.bits_out);
    view_.set_label(Label::DecisionsLabel, std::to_string(pass.low_rods));
    view_.set_label(Label::OutputLabel, bits_output_text(pass.bits_out));
    view_.set_label(Label::StreamLabel, data_text(pass.bits_out / 8));
    view_.set_label(Label::Label_9, std::to_string(pass.high_rods));
}

void StatusBoard::pass_done(const PassRecord& pass) {
    switch (pass.fate) {
        case PassFate::Ran:
            show_pass(pass);
            if (!pass.last) set_depth(depth_text(pass.cycle, pass.pass + 1, true));
            break;
        case PassFate::Undone:
            break;
        case PassFate::Fallback:
            // Every statistic reads as it did when the passes stood at the pass kept.
            set_depth(depth_text(pass.cycle, pass.pass, pass.pass > 1));
            show_pass(pass);
            break;
    }
}

void StatusBoard::decisions_packed(int64_t bytes) {
    view_.set_gauge_progress(Gauge::CentriGauge1, 100);
    if (bytes < 0) return;
    // The gauge counts down once per byte; only its final value is worth showing.
    view_.set_gauge(Gauge::CentriGauge1, bytes, bytes > 0 ? 1 : 0);
}

void StatusBoard::stream_built(int64_t bytes) {
    view_.set_gauge_progress(Gauge::ProcessGauge, bytes);
}

void StatusBoard::cycle_done(const CycleRecord& cycle) {
    if (cycle.fate == CycleFate::Kept) {
        best_depth_ = depth_text_;
        view_.set_label(Label::DecisionsLabel, kNextPass);
        view_.set_label(Label::Label_9, kNextPass);
    } else if (cycle.fate == CycleFate::RolledBack) {
        set_depth(best_depth_);
        view_.set_label(Label::DecisionsLabel, kLastPass);
        view_.set_label(Label::Label_9, kLastPass);
    }
    view_.set_gauge_progress(Gauge::LoopProgressBar, cycle.cycles_counted);
}

void StatusBoard::round_started(const RoundRecord& round) {
    view_.set_label(Label::InputLabel, bits_input_text(round.bits_in));
    view_.set_label(Label::OutputLabel, bits_output_text(round.data_bits));
    view_.set_label(Label::LoopCountLabel, depth_text(round.cycle, round.passes));
    view_.set_gauge(Gauge::ProcessGauge, round.original_bytes, round.stream_bytes);
    view_.set_gauge(Gauge::CentriGauge1, 100, 0);
    view_.set_gauge(Gauge::CentriGauge2, round.low_rods, 0);
    view_.set_gauge_progress(Gauge::LoopProgressBar, 0);
    view_.set_gauge_max(Gauge::LoopProgressBar, round.passes);
    view_.set_label(Label::StreamLabel, data_text(round.stream_bytes));
    view_.set_label(Label::DecisionsLabel, std::to_string(round.low_rods));
    view_.set_label(Label::Label_9, std::to_string(round.high_rods));
}

void StatusBoard::reverse_pass_done(const ReversePassRecord& pass) {
    const int64_t d = pass.decisions_left;
    view_.set_label(Label::DecisionsLabel, d > 0 ? std::to_string(d) : std::string(kRestored));
    view_.set_gauge_progress(Gauge::CentriGauge2, std::abs(int64_t{pass.low_rods} - d));
    view_.set_label(Label::Label_9, pass.high_rods_left > 0 ? std::to_string(pass.high_rods_left)
                                                            : std::string(kRestored));
    view_.set_label(Label::OutputLabel, bits_output_text(pass.bits_out));
    view_.set_label(Label::LoopCountLabel, depth_text(pass.cycle, pass.passes_left));
    view_.set_gauge_progress(Gauge::LoopProgressBar, int64_t{pass.passes} - pass.passes_left);
    view_.set_label(Label::MarkerLabel, std::to_string(pass.bits_out % 8));
    view_.set_label(Label::StreamLabel, data_text(pass.bits_out / 8));
}

void StatusBoard::restored(int64_t bytes) {
    view_.set_gauge_progress(Gauge::ProcessGauge, bytes);
}

void StatusBoard::output_ready(int64_t bits) {
    view_.set_label(Label::DecisionsLabel, kReady);
    view_.set_label(Label::Label_9, kReady);
    view_.set_label(Label::OutputLabel, bits_output_text(bits));
}

void StatusBoard::status(RunStatus status) {
    switch (status) {
        case RunStatus::Written:
        case RunStatus::Tested:
            view_.set_label(Label::ModeLabel, unpacking_ ? kModeTestingOnly : kModeSuccessful);
            break;
        case RunStatus::WriteFailed:
            view_.set_label(Label::ModeLabel, kModeFailed);
            break;
        case RunStatus::Stopped:
            view_.set_label(Label::ModeLabel, kModeStopped);
            break;
        case RunStatus::NotSuccessful:
            break;
    }
}

void StatusBoard::run_closed(bool not_successful, int64_t bits_in, int64_t bytes_read) {
    if (not_successful) {
        view_.set_label(Label::ModeLabel, kModeNotSuccessful);
        view_.set_label(Label::OutputLabel, bits_output_text(bits_in));
        view_.set_label(Label::StreamLabel, data_text(bytes_read, true));
        set_depth(std::string(kNoDepth));
        view_.set_label(Label::DecisionsLabel, kError);
        view_.set_label(Label::Label_9, kError);
    }
    view_.set_gauge_progress(Gauge::LoopProgressBar, 0);
    view_.set_gauge_progress(Gauge::CentriGauge1, 0);
    view_.set_gauge_progress(Gauge::CentriGauge2, 0);
}

void StatusBoard::show_chip_sizes(int64_t header_data_bits, int64_t decision_bits) {
    view_.set_label(Label::ChipSizeLabel, std::to_string(header_data_bits));
    view_.set_label(Label::DirazSizeLabel, std::to_string(decision_bits));
}

}  // namespace quorvane
