// front_end.h -- the one interface through which the engine reaches its front ends.
//
// The engine never knows about widgets or terminals: it sets label texts and gauge values by the
// names the desktop window uses, shows fixed messages, and pumps (gives the front end a chance to
// repaint and to react, e.g. to Exit). A front end may throw ERunCancelled from pump() to stop
// the operation in progress.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// Keeps the latest value of every label and gauge and every message shown (tests).
class RecordingFrontEnd : public FrontEnd {
  public:
    void set_label(Label label, std::string_view text) override;
    void set_gauge_max(Gauge gauge, int64_t value) override;
    void set_gauge_progress(Gauge gauge, int64_t value) override;
    void show_message(std::string_view text) override { messages.emplace_back(text); }
    void pump() override;
    void draw_chip_code(const BitString& stream, const BitString& header_data) override;

    const std::string& label(Label l) const { return labels[static_cast<size_t>(l)]; }
    int64_t gauge_max(Gauge g) const { return maxima[static_cast<size_t>(g)]; }
    int64_t gauge_progress(Gauge g) const { return progress[static_cast<size_t>(g)]; }
    // Every text a label was given, in order (only while keep_history is set).
    std::vector<std::string> history(Label l) const;

    bool keep_history = false;
    std::array<std::string, kLabelCount> labels{};
    std::array<int64_t, kGaugeCount> maxima{};
    std::array<int64_t, kGaugeCount> progress{};
    std::vector<std::pair<Label, std::string>> label_log;
    std::vector<std::string> messages;
    int64_t pumps = 0;
    std::function<void()> on_pump;  // runs inside pump(): a test's stand-in for the user
    int chip_draws = 0;
    BitString chip_stream;
    BitString chip_header_data;
};

// Decimal text of a number (labels show plain decimal numbers).
std::string dec(int64_t value);

}  // namespace quorvane
