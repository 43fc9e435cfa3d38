// recording_observer.cpp -- storing what the status board shows.
#include "tests/recording_observer.h"

namespace quorvane {

void RecordingObserver::set_label(Label label, std::string_view text) {
    labels[static_cast<size_t>(label)] = std::string(text);
    if (keep_history) label_log.emplace_back(label, std::string(text));
}

void RecordingObserver::set_gauge_max(Gauge gauge, int64_t value) {
    maxima[static_cast<size_t>(gauge)] = value;
}

void RecordingObserver::set_gauge_progress(Gauge gauge, int64_t value) {
    progress[static_cast<size_t>(gauge)] = value;
}

bool RecordingObserver::proceed() {
    ++pumps;
    if (on_pump) on_pump();
    return true;
}

void RecordingObserver::chip_ready(const BitString& stream, const BitString& header_data) {
    ++chip_draws;
    chip_stream = stream;
    chip_header_data = header_data;
}

std::vector<std::string> RecordingObserver::history(Label l) const {
    std::vector<std::string> out;
    for (const auto& [label, text] : label_log) {
        if (label == l) out.push_back(text);
    }
    return out;
}

}  // namespace quorvane
