// rod_file_names.cpp -- the ".rod" ending.
#include "rodfile/rod_file_names.h"

namespace quorvane {

bool is_rod_name(std::string_view path) {
    const size_t dot = path.rfind('.');
    return dot != std::string_view::npos && path.substr(dot) == ".rod";
}

std::string rod_output_name(const std::string& input, bool unpacking) {
    if (!unpacking) return input + ".rod";
    return input.substr(0, input.size() >= 4 ? input.size() - 4 : 0);
}

}  // namespace quorvane
