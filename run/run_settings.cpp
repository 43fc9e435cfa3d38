// run_settings.cpp -- setting defaults and the strict decimal conversion.
#include "run/run_settings.h"

#include <charconv>

#include "engine/errors.h"

namespace quorvane {

std::string_view setting_label_name(Setting setting) {
    static constexpr std::array<std::string_view, kSettingCount> names = {
        "RodSize",       "Depth",         "CompressionLevel", "ZIPLabel",  "AutoStopLabel",
        "LoopModeLabel", "RawTableLabel", "PWLabel",          "Loop2Label"};
    return names[static_cast<size_t>(setting)];
}

int32_t strict_decimal(std::string_view text) {
    std::string_view digits = text;
    bool negative = false;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    if (digits.empty()) throw EConvertError(text);
    for (char c : digits) {
        if (c < '0' || c > '9') throw EConvertError(text);
    }
    int64_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size()) throw EConvertError(text);
    if (negative) value = -value;
    if (value < INT32_MIN || value > INT32_MAX) throw EConvertError(text);
    return static_cast<int32_t>(value);
}

RunSettings::RunSettings()
    : texts_{"2",    "1", "1", "Z", "S", std::string(kNonstopCycles), std::string(kExperimentalNo),
             "47e3", "2"} {}

void RunSettings::set(Setting setting, std::string text) {
    texts_[index(setting)] = std::move(text);
    if (listener_) listener_(setting, texts_[index(setting)]);
}

}  // namespace quorvane
