// front_end.h -- the one interface through which the engine reaches its front ends.
//
// The engine never knows about widgets or terminals: it sets label texts and gauge values by the
// names the desktop window uses, shows fixed messages, and pumps (gives the front end a chance to
// repaint and to react, e.g. to Exit). A front end may throw ERunCancelled from pump() to stop
// the operation in progress.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/bit_string.h"

namespace quorvane {

enum class Label {
    InputLabel,
    OutputLabel,
    ModeLabel,
    LoopCountLabel,
    StreamLabel,
    DecisionsLabel,
    Label_9,
    MarkerLabel,
    ChipSizeLabel,
    DirazSizeLabel,
};
inline constexpr size_t kLabelCount = 10;

enum class Gauge { ProcessGauge, CentriGauge1, CentriGauge2, LoopProgressBar };
inline constexpr size_t kGaugeCount = 4;

// The control names of the desktop window ("InputLabel", "ProcessGauge", ...).
std::string_view label_name(Label label);
std::string_view gauge_name(Gauge gauge);

class FrontEnd {
  public:
    virtual ~FrontEnd() = default;
    virtual void set_label(Label label, std::string_view text) = 0;
    virtual void set_gauge_max(Gauge gauge, int64_t value) = 0;
    virtual void set_gauge_progress(Gauge gauge, int64_t value) = 0;
    // A modal message with a fixed text; returns when the user has acknowledged it.
    virtual void show_message(std::string_view text) = 0;
    // Called between steps of long work; may throw ERunCancelled.
    virtual void pump() = 0;
    // After a packing run with a small enough stream: draw and show the chip code.
    virtual void draw_chip_code(const BitString& stream, const BitString& header_data) {
        (void)stream;
        (void)header_data;
    }
    // A packing cycle has ended; the statistics it shows are final.
    virtual void cycle_finished() {}
    // False when labels and gauges go nowhere: the passes then skip making their texts.
    virtual bool shows_statistics() const { return true; }

    void set_gauge(Gauge gauge, int64_t max, int64_t progress) {
        set_gauge_max(gauge, max);
        set_gauge_progress(gauge, progress);
    }
};

// Ignores everything (batch work, benchmarks).
class SilentFrontEnd : public FrontEnd {
  public:
    void set_label(Label, std::string_view) override {}
    void set_gauge_max(Gauge, int64_t) override {}
    void set_gauge_progress(Gauge, int64_t) override {}
    void show_message(std::string_view) override {}
    void pump() override {}
    bool shows_statistics() const override { return false; }
};

// Forwards only pump() to another front end: work done on the side (such as checking that a
// stream restores) stays responsive and cancellable without touching the visible statistics.
class PumpOnlyFrontEnd : public SilentFrontEnd {
  public:
    explicit PumpOnlyFrontEnd(FrontEnd& target) : target_(target) {}
    void pump() override { target_.pump(); }

  private:
    FrontEnd& target_;
};

}  // namespace quorvane
