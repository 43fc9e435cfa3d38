// window_front_end.cpp -- storing the board's values and pushing them into the widgets.
#include "app/window_front_end.h"

#include <QCoreApplication>
#include <algorithm>
#include <climits>

namespace quorvane {

void WindowFrontEnd::bind_label(Label label, QLabel* widget) {
    LabelSlot& slot = labels_[index(label)];
    slot.widget = widget;
    slot.text = widget->text().toStdString();
    slot.dirty = false;
}

void WindowFrontEnd::bind_gauge(Gauge gauge, GaugeView view, int64_t maximum) {
    GaugeSlot& slot = gauges_[index(gauge)];
    slot.view = std::move(view);
    slot.maximum = maximum;
    slot.progress = 0;
    slot.dirty = true;
}

void WindowFrontEnd::run_started(bool unpacking, bool lz77, int64_t bytes) {
    StatusBoard::run_started(unpacking, lz77, bytes);
    records_.run_started(unpacking, lz77, bytes);
}

void WindowFrontEnd::cycle_started(int32_t cycle, int64_t stream_bits) {
    StatusBoard::cycle_started(cycle, stream_bits);
    records_.cycle_started(cycle, stream_bits);
}

void WindowFrontEnd::pass_done(const PassRecord& pass) {
    StatusBoard::pass_done(pass);
    records_.pass_done(pass);
}

void WindowFrontEnd::cycle_done(const CycleRecord& cycle) {
    StatusBoard::cycle_done(cycle);
    records_.cycle_done(cycle);
}

void WindowFrontEnd::round_started(const RoundRecord& round) {
    StatusBoard::round_started(round);
    records_.round_started(round);
}

void WindowFrontEnd::reverse_pass_done(const ReversePassRecord& pass) {
    StatusBoard::reverse_pass_done(pass);
    records_.reverse_pass_done(pass);
}

void WindowFrontEnd::restored(int64_t bytes) {
    StatusBoard::restored(bytes);
    records_.restored(bytes);
}

void WindowFrontEnd::set_label(Label label, std::string_view text) {
    LabelSlot& slot = labels_[index(label)];
    slot.text.assign(text);
    slot.dirty = true;
}

void WindowFrontEnd::set_gauge_max(Gauge gauge, int64_t value) {
    GaugeSlot& slot = gauges_[index(gauge)];
    slot.maximum = value;
    slot.dirty = true;
}

void WindowFrontEnd::set_gauge_progress(Gauge gauge, int64_t value) {
    GaugeSlot& slot = gauges_[index(gauge)];
    slot.progress = value;
    slot.dirty = true;
}

void WindowFrontEnd::message(Message message) {
    flush();
    host_.show_engine_message(message_text(message));
}

bool WindowFrontEnd::proceed() {
    ++pumps_;
    const Clock::time_point now = Clock::now();
    if (now - last_events_ >= interval_) {
        flush();
        QCoreApplication::processEvents();
        last_events_ = Clock::now();
    }
    return !cancel_;
}

void WindowFrontEnd::chip_ready(const BitString& stream, const BitString& header_data) {
    flush();
    host_.draw_engine_chip(stream, header_data);
}

void WindowFrontEnd::read_setting(LiveSetting which, Settings& settings) {
    settings_.read(which, settings);
}

void WindowFrontEnd::setting_changed(LiveSetting which, const Settings& settings) {
    settings_.write(which, settings);
}

void WindowFrontEnd::flush() {
    for (LabelSlot& slot : labels_) {
        if (!slot.dirty) continue;
        slot.dirty = false;
        if (slot.widget != nullptr) slot.widget->setText(QString::fromStdString(slot.text));
    }
    for (GaugeSlot& slot : gauges_) {
        if (!slot.dirty) continue;
        slot.dirty = false;
        if (!slot.view) continue;
        const int64_t maximum = std::clamp<int64_t>(slot.maximum, 0, INT_MAX);
        const int64_t progress = std::clamp<int64_t>(slot.progress, 0, maximum);
        slot.view(static_cast<int>(maximum), static_cast<int>(progress));
    }
}

}  // namespace quorvane
