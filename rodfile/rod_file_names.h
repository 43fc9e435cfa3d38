// rod_file_names.h -- how a rod file and a restored file are named after their input.
#pragma once

#include <string>
#include <string_view>

namespace quorvane {

// True when the name ends exactly (case counts) in ".rod": such a file is unpacked by default.
bool is_rod_name(std::string_view path);

// The output name of a run over input: input + ".rod" when packing, input without its last four
// characters (the ".rod") when unpacking.
std::string rod_output_name(const std::string& input, bool unpacking);

}  // namespace quorvane
