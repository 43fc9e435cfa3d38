// status_texts.cpp -- building the statistics texts.
#include "status/status_texts.h"

namespace quorvane {
namespace {

std::string prefixed(std::string_view prefix, int64_t value) {
    std::string text(prefix);
    return text.append(std::to_string(value));
}

}  // namespace

std::string_view mode_text(bool unpacking, bool lz77) {
    if (unpacking) return lz77 ? kModeUnpackingLz77 : kModeUnpacking;
    return lz77 ? kModePackingLz77 : kModePacking;
}

std::string bits_input_text(int64_t bits) {
    return prefixed("Bits Input   : ", bits);
}

std::string bits_output_text(int64_t bits) {
    return prefixed("Bits Output  : ", bits);
}

std::string data_text(int64_t bytes, bool without_unit) {
    std::string text = prefixed("Vexion Data  : ", bytes);
    if (!without_unit) text.append(" bytes");
    return text;
}

std::string depth_text(int32_t cycle, int32_t pass, bool always_both) {
    if (cycle == 1 && !always_both) return prefixed("Vexion Depth : ", pass);
    std::string text = prefixed("Vexion Depth : ", cycle);
    return text.append(" | ").append(std::to_string(pass));
}

}  // namespace quorvane
