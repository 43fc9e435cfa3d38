// json_writer.cpp -- commas, escapes and numbers of a compact JSON document.
#include "cli/json_writer.h"

#include <cmath>
#include <cstdio>

namespace quorvane::cli {

void JsonWriter::separate() {
    if (after_key_) {
        after_key_ = false;
        return;
    }
    if (!has_items_.empty()) {
        if (has_items_.back()) out_.push_back(',');
        has_items_.back() = true;
    }
}

JsonWriter& JsonWriter::begin_object() {
    separate();
    out_.push_back('{');
    has_items_.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::end_object() {
    out_.push_back('}');
    has_items_.pop_back();
    return *this;
}

JsonWriter& JsonWriter::begin_array() {
    separate();
    out_.push_back('[');
    has_items_.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::end_array() {
    out_.push_back(']');
    has_items_.pop_back();
    return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
    value(name);
    out_.push_back(':');
    after_key_ = true;
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view text) {
    separate();
    out_.push_back('"');
    for (const char c : text) {
        switch (c) {
            case '"':
                out_.append("\\\"");
                break;
            case '\\':
                out_.append("\\\\");
                break;
            case '\n':
                out_.append("\\n");
                break;
            case '\r':
                out_.append("\\r");
                break;
            case '\t':
                out_.append("\\t");
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    out_.append(escaped);
                } else {
                    // Bytes of a file name that are not UTF-8 pass as they are.
                    out_.push_back(c);
                }
        }
    }
    out_.push_back('"');
    return *this;
}

JsonWriter& JsonWriter::value(int64_t number) {
    separate();
    out_.append(std::to_string(number));
    return *this;
}

JsonWriter& JsonWriter::value(double number, int digits) {
    if (!std::isfinite(number)) return null();
    separate();
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, number);
    out_.append(text);
    return *this;
}

JsonWriter& JsonWriter::value(bool flag) {
    separate();
    out_.append(flag ? "true" : "false");
    return *this;
}

JsonWriter& JsonWriter::null() {
    separate();
    out_.append("null");
    return *this;
}

}  // namespace quorvane::cli
