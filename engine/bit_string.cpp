// bit_string.cpp -- conversions and bulk copies of the packed bit string.
#include "engine/bit_string.h"

#include <algorithm>
#include <stdexcept>

namespace quorvane {

BitString BitString::from_text(std::string_view text) {
    BitString out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != '0' && c != '1') throw std::invalid_argument("not a bit string");
        out.push_back(c == '1');
    }
    return out;
}

BitString BitString::from_bytes(const uint8_t* bytes, size_t count) {
    BitString out;
    out.words_.resize((count + 7) / 8);
    for (size_t i = 0; i < count; ++i) {
        out.words_[i / 8] |= uint64_t{bytes[i]} << (56 - 8 * (i % 8));
    }
    out.size_ = count * 8;
    return out;
}

std::string BitString::to_text() const {
    std::string text(size_, '0');
    for (size_t i = 0; i < size_; ++i) {
        if ((*this)[i]) text[i] = '1';
    }
    return text;
}

std::vector<uint8_t> BitString::to_bytes() const {
    std::vector<uint8_t> bytes(size_ / 8);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(words_[i / 8] >> (56 - 8 * (i % 8)));
    }
    return bytes;
}

void BitString::truncate(size_t n) {
    if (n >= size_) return;
    size_ = n;
    words_.resize((n + 63) / 64);
    if ((n & 63) != 0) words_.back() &= ~uint64_t{0} << (64 - (n & 63));
}

void BitString::append_repeated(bool bit, size_t count) {
    const uint64_t fill = bit ? ~uint64_t{0} : 0;
    while (count >= 64) {
        append_bits(fill, 64);
        count -= 64;
    }
    append_bits(fill, static_cast<unsigned>(count));
}

void BitString::append_range(const BitString& other, size_t pos, size_t count) {
    if (count == 0) return;
    if (&other == this) {
        const BitString copy = other.substr(pos, count);
        append(copy);
        return;
    }
    const size_t new_size = size_ + count;
    words_.resize((new_size + 63) / 64, 0);
    size_t dst = size_;
    if ((dst & 63) != 0) {
        // Top up the last, partial word first; after that every store is a whole word.
        const unsigned room = 64 - static_cast<unsigned>(dst & 63);
        const unsigned n = count < room ? static_cast<unsigned>(count) : room;
        words_[dst >> 6] |= (other.window(pos) >> (64 - n)) << (room - n);
        dst += n;
        pos += n;
        count -= n;
    }
    size_t w = dst >> 6;
    size_t whole = count / 64;
    const uint64_t* src = other.words_.data() + (pos >> 6);
    const unsigned shift = pos & 63;
    if (shift == 0) {
        for (size_t i = 0; i < whole; ++i)
            words_[w + i] = src[i];
    } else {
        // Each stored word joins two source words; the last join may need a word past the
        // source's end, so it goes through window().
        const size_t joined =
            whole > 0 && (pos >> 6) + whole >= other.words_.size() ? whole - 1 : whole;
        for (size_t i = 0; i < joined; ++i) {
            words_[w + i] = (src[i] << shift) | (src[i + 1] >> (64 - shift));
        }
        if (joined != whole) words_[w + joined] = other.window(pos + 64 * joined);
    }
    w += whole;
    pos += whole * 64;
    count %= 64;
    if (count != 0) words_[w] = other.window(pos) & (~uint64_t{0} << (64 - count));
    size_ = new_size;
}

void BitString::append_reversed(const BitString& other) {
    if (other.size_ == 0) return;
    if (&other == this) {
        const BitString copy = other;
        append_reversed(copy);
        return;
    }
    words_.reserve((size_ + other.size_ + 63) / 64);
    size_t nwords = other.words_.size();
    const unsigned tail = other.size_ & 63;
    if (tail != 0) {
        // The tail's bits sit at the top of the last word; reversed they are its low bits.
        append_bits(reverse_bits64(other.words_[nwords - 1]), tail);
        --nwords;
    }
    while (nwords-- > 0)
        append_bits(reverse_bits64(other.words_[nwords]), 64);
}

}  // namespace quorvane
