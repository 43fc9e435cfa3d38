// json_reader.cpp -- recursive descent over the JSON grammar, strict about what it accepts.
#include "tests/json_reader.h"

#include <cstdlib>
#include <stdexcept>

namespace quorvane::test {
namespace {

class Reader {
  public:
    explicit Reader(std::string_view text) : text_(text) {}

    Json document() {
        Json value = parse();
        skip_blanks();
        if (pos_ != text_.size()) fail("text after the document");
        return value;
    }

  private:
    [[noreturn]] void fail(const std::string& what) const {
        throw std::runtime_error("JSON: " + what + " at " + std::to_string(pos_));
    }
    void skip_blanks() {
        while (pos_ < text_.size() && std::string_view(" \t\r\n").find(text_[pos_]) != npos)
            ++pos_;
    }
    bool take(char c) {
        skip_blanks();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    void expect(char c) {
        if (!take(c)) fail(std::string("expected '") + c + "'");
    }
    bool word(std::string_view w) {
        if (text_.substr(pos_, w.size()) != w) return false;
        pos_ += w.size();
        return true;
    }

    Json parse() {
        skip_blanks();
        Json v;
        if (take('{')) {
            v.kind = Json::Kind::Object;
            if (take('}')) return v;
            do {
                skip_blanks();
                std::string key = string();
                expect(':');
                v.members.emplace_back(std::move(key), parse());
            } while (take(','));
            expect('}');
        } else if (take('[')) {
            v.kind = Json::Kind::Array;
            if (take(']')) return v;
            do
                v.items.push_back(parse());
            while (take(','));
            expect(']');
        } else if (pos_ < text_.size() && text_[pos_] == '"') {
            v.kind = Json::Kind::String;
            v.text = string();
        } else if (word("true")) {
            v.kind = Json::Kind::Bool;
            v.boolean = true;
        } else if (word("false")) {
            v.kind = Json::Kind::Bool;
        } else if (word("null")) {
            v.kind = Json::Kind::Null;
        } else {
            v.kind = Json::Kind::Number;
            const std::string rest(text_.substr(pos_, 40));
            char* end = nullptr;
            v.number = std::strtod(rest.c_str(), &end);
            if (end == rest.c_str()) fail("expected a value");
            pos_ += static_cast<size_t>(end - rest.c_str());
        }
        return v;
    }

    std::string string() {
        if (pos_ >= text_.size() || text_[pos_] != '"') fail("expected a string");
        std::string out;
        for (++pos_; pos_ < text_.size() && text_[pos_] != '"'; ++pos_) {
            char c = text_[pos_];
            if (static_cast<unsigned char>(c) < 0x20) fail("control character in a string");
            if (c == '\\') {
                if (++pos_ >= text_.size()) break;
                const char e = text_[pos_];
                const std::string_view from = "\"\\/bfnrt";
                const std::string_view to = "\"\\/\b\f\n\r\t";
                if (e == 'u' && pos_ + 4 < text_.size()) {
                    // Only the escapes of control characters are needed here.
                    c = static_cast<char>(
                        std::stoi(std::string(text_.substr(pos_ + 1, 4)), nullptr, 16));
                    pos_ += 4;
                } else if (from.find(e) != npos) {
                    c = to[from.find(e)];
                } else {
                    fail("unknown escape");
                }
            }
            out.push_back(c);
        }
        if (pos_ >= text_.size()) fail("unterminated string");
        ++pos_;
        return out;
    }

    static constexpr size_t npos = std::string_view::npos;
    std::string_view text_;
    size_t pos_ = 0;
};

}  // namespace

const Json& Json::operator[](std::string_view key) const {
    for (const auto& [name, value] : members) {
        if (name == key) return value;
    }
    throw std::out_of_range("no member " + std::string(key));
}

bool Json::has(std::string_view key) const {
    for (const auto& member : members) {
        if (member.first == key) return true;
    }
    return false;
}

Json parse_json(std::string_view document) {
    return Reader(document).document();
}

}  // namespace quorvane::test
