// json_writer.h -- a small writer of one JSON document: the records of --json and of the library.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// Builds a compact document; the caller nests the calls correctly (a key before each value of
// an object).
class JsonWriter {
  public:
    JsonWriter& begin_object();
    JsonWriter& end_object();
    JsonWriter& begin_array();
    JsonWriter& end_array();
    JsonWriter& key(std::string_view name);

    JsonWriter& value(std::string_view text);
    JsonWriter& value(const char* text) { return value(std::string_view(text)); }
    JsonWriter& value(int64_t number);
    JsonWriter& value(int32_t number) { return value(int64_t{number}); }
    JsonWriter& value(uint32_t number) { return value(int64_t{number}); }
    // A fraction with the given digits after the point.
    JsonWriter& value(double number, int digits);
    JsonWriter& value(bool flag);
    JsonWriter& null();

    // The document, with a closing newline.
    std::string text() const { return out_ + "\n"; }

  private:
    void separate();

    std::string out_;
    std::vector<bool> has_items_;  // per open object or array
    bool after_key_ = false;
};

}  // namespace quorvane
