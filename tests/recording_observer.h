// recording_observer.h -- observers for the tests: settings read from texts as the window reads
// them, and a record of what the status board showed.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/run_observer.h"
#include "status/setting_texts.h"
#include "status/status_board.h"
#include "status/status_view.h"

namespace quorvane {

// An observer that reads the settings a run asks for from texts, once reading() has named them,
// and writes back the ones the run changes, as the window does with its labels.
template <typename Base>
class ReadsSettingTexts : public Base {
  public:
    using Base::Base;
    RunObserver& reading(SettingTexts& texts) {
        texts_ = &texts;
        return *this;
    }
    void read_setting(LiveSetting which, Settings& settings) override {
        if (texts_ != nullptr) texts_->read(which, settings);
    }
    void setting_changed(LiveSetting which, const Settings& settings) override {
        if (texts_ != nullptr) texts_->write(which, settings);
    }

  private:
    SettingTexts* texts_ = nullptr;
};

// Reports nothing.
class QuietObserver : public ReadsSettingTexts<SilentObserver> {};

// Keeps the latest value of every label and gauge the status board set, and the messages, chip
// codes and cycles the run reported.
class RecordingObserver : public StatusView, public ReadsSettingTexts<StatusBoard> {
  public:
    RecordingObserver() : ReadsSettingTexts<StatusBoard>(static_cast<StatusView&>(*this)) {}

    void set_label(Label label, std::string_view text) override;
    void set_gauge_max(Gauge gauge, int64_t value) override;
    void set_gauge_progress(Gauge gauge, int64_t value) override;
    void message(Message m) override { messages.emplace_back(message_text(m)); }
    bool proceed() override;
    void chip_ready(const BitString& stream, const BitString& header_data) override;
    void pass_done(const PassRecord& pass) override {
        StatusBoard::pass_done(pass);
        passes.push_back(pass);
    }
    void cycle_done(const CycleRecord& cycle) override {
        StatusBoard::cycle_done(cycle);
        cycles.push_back(cycle);
    }
    void input_read(int64_t bytes) override {
        StatusBoard::input_read(bytes);
        reads.push_back(bytes);
    }

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
    std::vector<PassRecord> passes;
    std::vector<CycleRecord> cycles;
    std::vector<int64_t> reads;  // bytes read so far, after every block
    int64_t pumps = 0;
    std::function<void()> on_pump;  // runs inside proceed(): a test's stand-in for the user
    int chip_draws = 0;
    BitString chip_stream;
    BitString chip_header_data;
};

}  // namespace quorvane
