// status_board.h -- the engine's records turned into the window's statistics texts and gauges.
//
// The board is the window's reading of a run, without the window: it writes every label text and
// gauge value to a StatusView as the records arrive, so that the window, the command line's
// verbose output and the tests all read the same texts.
#pragma once

#include <string>

#include "engine/run_observer.h"
#include "status/status_view.h"

namespace quorvane {

class StatusBoard : public RunObserver {
  public:
    explicit StatusBoard(StatusView& view) : view_(view) {}

    void loaded(int64_t bytes, bool unpacking) override;
    void direction_changed(bool unpacking) override;
    void run_started(bool unpacking, bool lz77, int64_t bytes) override;
    void input_read(int64_t bytes) override;
    void cycle_started(int32_t cycle, int64_t stream_bits) override;
    void pass_done(const PassRecord& pass) override;
    void decisions_packed(int64_t bytes) override;
    void stream_built(int64_t bytes) override;
    void cycle_done(const CycleRecord& cycle) override;
    void round_started(const RoundRecord& round) override;
    void reverse_pass_done(const ReversePassRecord& pass) override;
    void restored(int64_t bytes) override;
    void output_ready(int64_t bits) override;
    void status(RunStatus status) override;
    void run_closed(bool not_successful, int64_t bits_in, int64_t bytes_read) override;

    // The chip code's two sizes (header and data; decisions), in bits.
    void show_chip_sizes(int64_t header_data_bits, int64_t decision_bits);

  private:
    void set_depth(std::string text);
    void show_pass(const PassRecord& pass);

    StatusView& view_;
    bool unpacking_ = false;  // the direction of the run under way
    std::string depth_text_;  // what the depth label shows for a packing cycle
    std::string best_depth_;  // ... and showed when the best stream was kept
};

}  // namespace quorvane
