// front_end.cpp -- control names and the recording front end.
#include "engine/front_end.h"

namespace quorvane {

std::string_view label_name(Label label) {
    static constexpr std::array<std::string_view, kLabelCount> names = {
        "InputLabel",     "OutputLabel", "ModeLabel",   "LoopCountLabel", "StreamLabel",
        "DecisionsLabel", "Label_9",     "MarkerLabel", "ChipSizeLabel",  "DirazSizeLabel"};
    return names[static_cast<size_t>(label)];
}

std::string_view gauge_name(Gauge gauge) {
    static constexpr std::array<std::string_view, kGaugeCount> names = {
        "ProcessGauge", "CentriGauge1", "CentriGauge2", "LoopProgressBar"};
    return names[static_cast<size_t>(gauge)];
}

std::string dec(int64_t value) {
    return std::to_string(value);
}

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
