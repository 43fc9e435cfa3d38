// settings.cpp -- the limits of the settings, and the strict decimal conversion.
#include "engine/settings.h"

#include <charconv>

#include "engine/errors.h"

namespace quorvane {

std::string rod_size_problem(int64_t rod_size) {
    if (rod_size >= kMinRodSize && rod_size <= kMaxRodSize) return {};
    return "Rod size must be " + std::to_string(kMinRodSize) + " to " +
           std::to_string(kMaxRodSize) + ", not " + std::to_string(rod_size);
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

}  // namespace quorvane
