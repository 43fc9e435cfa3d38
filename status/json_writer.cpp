// json_writer.cpp -- commas, escapes and numbers of a compact JSON document.
#include "status/json_writer.h"

#include <cmath>
#include <cstdio>

namespace quorvane {
namespace {

void append_escape(std::string& out, unsigned code) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", code);
    out.append(escaped);
}

// The length of the well-formed UTF-8 sequence at text[i], or 0 when the byte there starts none
// (a stray continuation byte, an overlong form, a surrogate, a code point past U+10FFFF, a cut).
size_t utf8_length(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned lead = byte(i);
    size_t length = 0;
    unsigned low = 0x80;  // the second byte's range, narrowed where the lead byte demands
    unsigned high = 0xBF;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    }
    return length;
}

}  // namespace

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
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
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
                    append_escape(out_, static_cast<unsigned char>(c));
                    break;
                }
                if (const size_t length = utf8_length(text, i); length > 0) {
                    out_.append(text.substr(i, length));
                    i += length;
                    continue;
                }
                // A byte of a file name that is not UTF-8 becomes the lone surrogate U+DC80..
                // U+DCFF, as Python's surrogateescape reads it, so the name round-trips.
                append_escape(out_, 0xDC00U + static_cast<unsigned char>(c));
        }
        ++i;
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

}  // namespace quorvane
