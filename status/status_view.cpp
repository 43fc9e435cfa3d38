// status_view.cpp -- the control names of labels and gauges.
#include "status/status_view.h"

#include <array>

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

}  // namespace quorvane
