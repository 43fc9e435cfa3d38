// recording_front_end.h -- a front end that keeps what the engine showed, for the tests to read.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/front_end.h"

namespace quorvane {

// Keeps the latest value of every label and gauge and every message shown.
class RecordingFrontEnd : public FrontEnd {
  public:
    void set_label(Label label, std::string_view text) override;
    void set_gauge_max(Gauge gauge, int64_t value) override;
    void set_gauge_progress(Gauge gauge, int64_t value) override;
    void show_message(std::string_view text) override { messages.emplace_back(text); }
    void pump() override;
    void draw_chip_code(const BitString& stream, const BitString& header_data) override;
    void cycle_finished() override { ++cycles_finished; }

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
    int cycles_finished = 0;
    BitString chip_stream;
    BitString chip_header_data;
};

}  // namespace quorvane
