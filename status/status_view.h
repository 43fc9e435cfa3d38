// status_view.h -- the statistics and centrifuge controls of the window, by name, as a surface
// that the status board writes to: the window binds its widgets to it, the tests record it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

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

class StatusView {
  public:
    virtual ~StatusView() = default;
    virtual void set_label(Label label, std::string_view text) = 0;
    virtual void set_gauge_max(Gauge gauge, int64_t value) = 0;
    virtual void set_gauge_progress(Gauge gauge, int64_t value) = 0;

    void set_gauge(Gauge gauge, int64_t max, int64_t progress) {
        set_gauge_max(gauge, max);
        set_gauge_progress(gauge, progress);
    }
};

}  // namespace quorvane
