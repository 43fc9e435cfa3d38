// setting_texts.cpp -- setting defaults, and the texts parsed into the engine's settings.
#include "status/setting_texts.h"

#include "engine/errors.h"

namespace quorvane {

std::string_view setting_label_name(Setting setting) {
    static constexpr std::array<std::string_view, kSettingCount> names = {
        "RodSize",       "Depth",         "CompressionLevel", "ZIPLabel",  "AutoStopLabel",
        "LoopModeLabel", "RawTableLabel", "PWLabel",          "Loop2Label"};
    return names[static_cast<size_t>(setting)];
}

std::string_view setting_caption(Setting setting) {
    static constexpr std::array<std::string_view, kSettingCount> captions = {
        "Rodsize",   "Depth",        "Level", "Lz77", "Auto stop",
        "Loop mode", "Experimental", "Code",  "Loops"};
    return captions[static_cast<size_t>(setting)];
}

SettingTexts::SettingTexts()
    : texts_{"2",    "1", "1", "Z", "S", std::string(kNonstopCycles), std::string(kExperimentalNo),
             "47e3", "2"} {}

void SettingTexts::set(Setting setting, std::string text) {
    texts_[index(setting)] = std::move(text);
    if (listener_) listener_(setting, texts_[index(setting)]);
}

int32_t SettingTexts::integer(Setting setting) const {
    try {
        return strict_decimal(text(setting));
    } catch (const EConvertError&) {
        throw ESettingError(setting_caption(setting), text(setting));
    }
}

void SettingTexts::read(LiveSetting which, Settings& s) const {
    switch (which) {
        case LiveSetting::RodSize: {
            const int32_t rod_size = integer(Setting::RodSize);
            const std::string problem = rod_size_problem(rod_size);
            if (!problem.empty()) throw EngineError(problem);
            s.rod_size = static_cast<unsigned>(rod_size);
            break;
        }
        case LiveSetting::Depth:
            s.depth = integer(Setting::Depth);
            break;
        case LiveSetting::Level:
            s.level = integer(Setting::CompressionLevel);
            break;
        case LiveSetting::Lz77:
            s.lz77 = lz77_on();
            break;
        case LiveSetting::Single:
            s.single = single_cycle();
            break;
        case LiveSetting::AutoStop:
            s.auto_stop = auto_stop_on();
            break;
        case LiveSetting::LoopCount:
            s.loop_count = integer(Setting::LoopCount);
            break;
    }
}

void SettingTexts::write(LiveSetting which, const Settings& s) {
    // The run changes only auto stop: on when it must stop, off (empty) when a loop begins.
    if (which == LiveSetting::AutoStop) set(Setting::AutoStop, s.auto_stop ? "S" : "");
}

}  // namespace quorvane
