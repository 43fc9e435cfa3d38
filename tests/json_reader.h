// json_reader.h -- a minimal JSON reader for checking the --json documents in tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvane::test {

struct Json {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<Json> items;                            // of an array
    std::vector<std::pair<std::string, Json>> members;  // of an object, in document order

    // A member or an item; a missing one fails the test that asks (std::out_of_range).
    const Json& operator[](std::string_view key) const;
    const Json& operator[](size_t index) const { return items.at(index); }
    bool has(std::string_view key) const;
    int64_t integer() const { return static_cast<int64_t>(number); }
};

// Parses one whole document; anything malformed or left over raises std::runtime_error.
Json parse_json(std::string_view document);

}  // namespace quorvane::test
