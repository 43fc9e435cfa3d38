// run_settings.h -- the nine setting texts that steer a run, read afresh at every use.
//
// A setting is a text, exactly as the desktop window shows it in its label; numeric settings are
// converted by a strict decimal conversion each time a step reads them. A front end that shows the
// texts registers a listener and so mirrors every change, including the ones a run makes itself.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quorvane {

enum class Setting {
    RodSize,           // label RodSize: "2", decimal 2..128
    Depth,             // label Depth: "1", decimal 1..60 (percent)
    CompressionLevel,  // label CompressionLevel: "1", target level 1..100 (percent)
    Lz77,              // label ZIPLabel: "Z" = on
    AutoStop,          // label AutoStopLabel: "S" = on
    LoopMode,          // label LoopModeLabel
    Experimental,      // label RawTableLabel
    Code,              // label PWLabel (hidden)
    LoopCount,         // label Loop2Label (hidden)
};
inline constexpr size_t kSettingCount = 9;

inline constexpr std::string_view kSingleCycles = "Algorithm    : Single cycles";
inline constexpr std::string_view kNonstopCycles = "Algorithm    : Nonstop cycles";
inline constexpr std::string_view kMultibleCycles = "Algorithm    : Multible cycles";
inline constexpr std::string_view kExperimentalNo = "Experimental : No";
inline constexpr std::string_view kExperimentalYes = "Experimental : Yes";

// The desktop window's control name of the label that holds a setting ("ZIPLabel", ...).
std::string_view setting_label_name(Setting setting);

// Strict decimal conversion: an optional sign and at least one digit, within the signed 32-bit
// range; anything else raises "'%s' is not a valid integer value".
int32_t strict_decimal(std::string_view text);

class RunSettings {
  public:
    using Listener = std::function<void(Setting, const std::string&)>;

    RunSettings();

    const std::string& text(Setting setting) const { return texts_[index(setting)]; }
    void set(Setting setting, std::string text);
    int32_t integer(Setting setting) const { return strict_decimal(text(setting)); }

    bool lz77_on() const { return text(Setting::Lz77) == "Z"; }
    bool auto_stop_on() const { return text(Setting::AutoStop) == "S"; }
    bool single_cycle() const { return text(Setting::LoopMode) == kSingleCycles; }
    bool experimental_on() const { return text(Setting::Experimental) != kExperimentalNo; }

    void set_listener(Listener listener) { listener_ = std::move(listener); }

  private:
    static size_t index(Setting s) { return static_cast<size_t>(s); }
    std::array<std::string, kSettingCount> texts_;
    Listener listener_;
};

}  // namespace quorvane
