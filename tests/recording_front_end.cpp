// recording_front_end.cpp -- storing what the engine shows.
#include "tests/recording_front_end.h"

namespace quorvane {

void RecordingFrontEnd::set_label(Label label, std::string_view text) {
    labels[static_cast<size_t>(label)] = std::string(text);
    if (keep_history) label_log.emplace_back(label, std::string(text));
}

void RecordingFrontEnd::set_gauge_max(Gauge gauge, int64_t value) {
    maxima[static_cast<size_t>(gauge)] = value;
}

void RecordingFrontEnd::set_gauge_progress(Gauge gauge, int64_t value) {
    progress[static_cast<size_t>(gauge)] = value;
}

void RecordingFrontEnd::pump() {
    ++pumps;
    if (on_pump) on_pump();
}

void RecordingFrontEnd::draw_chip_code(const BitString& stream, const BitString& header_data) {
    ++chip_draws;
    chip_stream = stream;
    chip_header_data = header_data;
}

std::vector<std::string> RecordingFrontEnd::history(Label l) const {
    std::vector<std::string> out;
    for (const auto& [label, text] : label_log) {
        if (label == l) out.push_back(text);
    }
    return out;
}

}  // namespace quorvane
