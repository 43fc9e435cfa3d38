// setting_texts.h -- the nine settings as the window holds them: texts in its setting labels.
//
// The window keeps each setting as the text its label shows and parses it at the moment the
// engine reads it, so that a change made during a run takes effect at the next step that reads
// it and a text that is no number raises its conversion error there. A front end that shows the
// texts registers a listener and so mirrors every change, including the ones a run makes itself.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "engine/settings.h"

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
// The setting's name as the settings dialog captions it ("Loops", "Rod size", ...).
std::string_view setting_caption(Setting setting);

class SettingTexts {
  public:
    using Listener = std::function<void(Setting, const std::string&)>;

    SettingTexts();

    const std::string& text(Setting setting) const { return texts_[index(setting)]; }
    void set(Setting setting, std::string text);
    // The text as a whole decimal number; raises the conversion error, after the setting's name.
    int32_t integer(Setting setting) const;

    bool lz77_on() const { return text(Setting::Lz77) == "Z"; }
    bool auto_stop_on() const { return text(Setting::AutoStop) == "S"; }
    bool single_cycle() const { return text(Setting::LoopMode) == kSingleCycles; }
    bool experimental_on() const { return text(Setting::Experimental) != kExperimentalNo; }

    // Puts the current value of one setting into settings (the engine asks at each use): raises
    // the conversion error of a text that is no number, and EngineError for a rod size outside
    // its limits.
    void read(LiveSetting which, Settings& settings) const;
    // Writes a setting the run changed into its text.
    void write(LiveSetting which, const Settings& settings);

    void set_listener(Listener listener) { listener_ = std::move(listener); }

  private:
    static size_t index(Setting s) { return static_cast<size_t>(s); }
    std::array<std::string, kSettingCount> texts_;
    Listener listener_;
};

}  // namespace quorvane
