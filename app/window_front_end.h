// window_front_end.h -- the engine's observer in the main window: the status board's values kept
// cheaply and shown on a throttled step, the settings read from the window's setting labels.
#pragma once

#include <QLabel>
#include <array>
#include <chrono>
#include <functional>
#include <string>

#include "status/run_records.h"
#include "status/setting_texts.h"
#include "status/status_board.h"
#include "status/status_view.h"

namespace quorvane {

class WindowFrontEnd final : public StatusView, public StatusBoard {
  public:
    // What only the window can do for the engine.
    class Host {
      public:
        virtual void show_engine_message(std::string_view text) = 0;
        virtual void draw_engine_chip(const BitString& stream, const BitString& header_data) = 0;

      protected:
        ~Host() = default;
    };
    using GaugeView = std::function<void(int maximum, int progress)>;
    using Clock = std::chrono::steady_clock;

    WindowFrontEnd(Host& host, SettingTexts& settings)
        : StatusBoard(static_cast<StatusView&>(*this)), host_(host), settings_(settings) {}

    void bind_label(Label label, QLabel* widget);
    void bind_gauge(Gauge gauge, GaugeView view, int64_t maximum);

    // The records also go to the run's chart.
    void run_started(bool unpacking, bool lz77, int64_t bytes) override;
    void cycle_started(int32_t cycle, int64_t stream_bits) override;
    void pass_done(const PassRecord& pass) override;
    void cycle_done(const CycleRecord& cycle) override;
    void round_started(const RoundRecord& round) override;
    void reverse_pass_done(const ReversePassRecord& pass) override;
    void restored(int64_t bytes) override;
    const RunRecords& records() const { return records_; }

    void set_label(Label label, std::string_view text) override;
    void set_gauge_max(Gauge gauge, int64_t value) override;
    void set_gauge_progress(Gauge gauge, int64_t value) override;
    void message(Message message) override;
    // Processes pending window events at most once per interval; false once a cancel has been
    // requested.
    bool proceed() override;
    void chip_ready(const BitString& stream, const BitString& header_data) override;
    void read_setting(LiveSetting which, Settings& settings) override;
    void setting_changed(LiveSetting which, const Settings& settings) override;

    // Shows every value that changed since the last time.
    void flush();

    void set_pump_interval(Clock::duration interval) { interval_ = interval; }
    void request_cancel() { cancel_ = true; }
    void clear_cancel() { cancel_ = false; }
    bool cancel_requested() const { return cancel_; }

    // The latest values the engine set, shown or not yet.
    const std::string& label_text(Label label) const { return labels_[index(label)].text; }
    int64_t gauge_max(Gauge gauge) const { return gauges_[index(gauge)].maximum; }
    int64_t gauge_progress(Gauge gauge) const { return gauges_[index(gauge)].progress; }
    // How often the engine has asked to go on (the run's heartbeat).
    int64_t pump_count() const { return pumps_; }

  private:
    template <typename E>
    static size_t index(E e) {
        return static_cast<size_t>(e);
    }
    struct LabelSlot {
        std::string text;
        QLabel* widget = nullptr;
        bool dirty = false;
    };
    struct GaugeSlot {
        int64_t maximum = 0;
        int64_t progress = 0;
        GaugeView view;
        bool dirty = false;
    };

    Host& host_;
    SettingTexts& settings_;
    RunRecords records_;
    std::array<LabelSlot, kLabelCount> labels_{};
    std::array<GaugeSlot, kGaugeCount> gauges_{};
    Clock::duration interval_ = std::chrono::milliseconds(30);
    Clock::time_point last_events_{};
    int64_t pumps_ = 0;
    bool cancel_ = false;
};

}  // namespace quorvane
