// bit_string.h -- the engine's one form for data, headers and decisions: a packed string of bits.
//
// Bits are held 64 to a word, the first bit of the string in the most significant bit of word 0,
// so that the text form "0101..." and the byte form (most significant bit first) are both plain
// views of the same words. Bits past the end of the last word are always zero.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvane {

// Reverses the order of the 64 bits of a word.
inline uint64_t reverse_bits64(uint64_t x) noexcept {
    x = __builtin_bswap64(x);
    x = ((x >> 4) & 0x0F0F0F0F0F0F0F0FULL) | ((x & 0x0F0F0F0F0F0F0F0FULL) << 4);
    x = ((x >> 2) & 0x3333333333333333ULL) | ((x & 0x3333333333333333ULL) << 2);
    x = ((x >> 1) & 0x5555555555555555ULL) | ((x & 0x5555555555555555ULL) << 1);
    return x;
}

// Leaves the new words of a growing word vector unset: every bulk append writes them at once.
template <typename T>
class WordAllocator : public std::allocator<T> {
  public:
    template <typename U>
    struct rebind {
        using other = WordAllocator<U>;
    };
    using std::allocator<T>::allocator;
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// Index of the first word in [from, to) that is not zero; to when there is none.
size_t first_nonzero_word(const uint64_t* words, size_t from, size_t to) noexcept;

// dst[i] = the 64 bits from bit shift (1..63) of src[i] on, for i < count (src[count] is read).
void join_words(uint64_t* dst, const uint64_t* src, size_t count, unsigned shift) noexcept;

class BitWriter;

class BitString {
  public:
    using Words = std::vector<uint64_t, WordAllocator<uint64_t>>;

    BitString() = default;

    // Parses the text form; any character other than '0' and '1' throws std::invalid_argument.
    static BitString from_text(std::string_view text);
    // The bytes' bits, most significant bit of each byte first.
    static BitString from_bytes(const uint8_t* bytes, size_t count);
    static BitString from_bytes(const std::vector<uint8_t>& bytes) {
        return from_bytes(bytes.data(), bytes.size());
    }

    std::string to_text() const;
    // The whole bytes of the string (a trailing group of fewer than 8 bits is left out).
    std::vector<uint8_t> to_bytes() const;

    size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    // Bit at 0-based position i (i < size()).
    bool operator[](size_t i) const noexcept { return (words_[i >> 6] >> (63 - (i & 63))) & 1U; }

    // The 64 bits starting at position pos, the first in the most significant bit; bits past the
    // end read as zero.
    uint64_t window(size_t pos) const noexcept {
        const size_t w = pos >> 6;
        const unsigned off = pos & 63;
        if (w >= words_.size()) return 0;
        uint64_t v = words_[w] << off;
        if (off != 0 && w + 1 < words_.size()) v |= words_[w + 1] >> (64 - off);
        return v;
    }
    // The count (0..64) bits starting at pos as an unsigned number, the first bit most significant.
    uint64_t extract(size_t pos, unsigned count) const noexcept {
        return count == 0 ? 0 : window(pos) >> (64 - count);
    }
    // Position of the first 1 at or after pos; size() when there is none.
    size_t next_one(size_t pos) const noexcept {
        if (pos >= size_) return size_;
        // Mostly the 1 is near: the word at pos first, then the search over whole words.
        const uint64_t word = words_[pos >> 6] & (~uint64_t{0} >> (pos & 63));
        if (word != 0) return (pos & ~size_t{63}) + static_cast<size_t>(std::countl_zero(word));
        return next_one_after_word(pos >> 6);
    }

    // True when most of sixteen words taken evenly across the string are zero: a guess at
    // sparse data, for kernels that choose by it (any choice gives the same result).
    bool looks_sparse() const noexcept {
        const size_t n = words_.size();
        if (n < 16) return true;
        unsigned zero = 0;
        for (size_t k = 0; k < 16; ++k)
            zero += words_[k * (n / 16)] == 0 ? 1U : 0U;
        return zero >= 8;
    }

    void clear() noexcept {
        words_.clear();
        size_ = 0;
    }
    void reserve(size_t bits) { words_.reserve((bits + 63) / 64); }
    // Keeps the first n bits (no effect when n >= size()).
    void truncate(size_t n);

    void push_back(bool bit) { append_bits(bit ? 1U : 0U, 1); }
    // Appends the low count (0..64) bits of value, most significant of them first.
    void append_bits(uint64_t value, unsigned count) {
        if (count == 0) return;
        if (count < 64) value &= (uint64_t{1} << count) - 1;
        const unsigned used = size_ & 63;
        if (used == 0) {
            words_.push_back(value << (64 - count));
        } else {
            const unsigned room = 64 - used;
            if (count <= room) {
                words_.back() |= value << (room - count);
            } else {
                words_.back() |= value >> (count - room);
                words_.push_back(value << (64 - (count - room)));
            }
        }
        size_ += count;
    }
    void append_repeated(bool bit, size_t count);
    void append(const BitString& other) { append_range(other, 0, other.size_); }
    // Appends count bits of other from position pos (the range must lie within other).
    void append_range(const BitString& other, size_t pos, size_t count);
    // Appends other's bits in reverse order (its last bit first).
    void append_reversed(const BitString& other);
    // Appends the count bits of other from position pos in reverse order.
    void append_reversed(const BitString& other, size_t pos, size_t count);

    BitString substr(size_t pos, size_t count) const {
        BitString out;
        out.append_range(*this, pos, count);
        return out;
    }

    const Words& words() const noexcept { return words_; }

    friend class BitWriter;
    friend bool operator==(const BitString& a, const BitString& b) noexcept {
        return a.size_ == b.size_ && a.words_ == b.words_;
    }

  private:
    size_t next_one_after_word(size_t word) const noexcept;

    Words words_;  // bits past the end are zero
    size_t size_ = 0;
};

// Appends to a bit string for the pass kernels, which add a few bits at a time: the length and
// the last, partial word stay in registers, and room for max_bits more bits is made up front.
// Nothing else may touch the string before finish() gives it its length. Kept a local of the
// function that writes (never passed on), the compiler holds it in registers.
class BitWriter {
  public:
    BitWriter(BitString& out, size_t max_bits) : out_(out), size_(out.size_) {
        out.words_.resize((size_ + max_bits + 63) / 64 + 1);
        words_ = out.words_.data();
        if ((size_ & 63) != 0) last_ = words_[size_ >> 6];
    }
    BitWriter(const BitWriter&) = delete;
    BitWriter& operator=(const BitWriter&) = delete;

    size_t size() const noexcept { return size_; }

    // The low count (0..64) bits of value, the most significant of them first.
    void put(uint64_t value, unsigned count) noexcept {
        if (count == 0) return;
        // Without branches: whether the word fills up is as good as random in the kernels.
        const auto used = static_cast<unsigned>(size_ & 63);
        const uint64_t top = value << (64 - count);  // the bits from the most significant down
        const uint64_t word = last_ | (top >> used);
        const uint64_t spill = (top << (63 - used)) << 1;
        words_[size_ >> 6] = word;
        last_ = used + count >= 64 ? spill : word;
        size_ += count;
    }

    void put_zeros(size_t count) noexcept {
        const unsigned used = size_ & 63;
        if (used + count < 64) {
            size_ += count;
            return;
        }
        if (used != 0) {
            words_[size_ >> 6] = last_;
            last_ = 0;
            count -= 64 - used;
            size_ += 64 - used;
        }
        uint64_t* dst = words_ + (size_ >> 6);
        for (size_t i = 0; i < count / 64; ++i)
            dst[i] = 0;
        size_ += count;
    }

    // count bits of src from position pos (the range must lie within src).
    [[gnu::always_inline]] void copy(const BitString& src, size_t pos, size_t count) noexcept {
        if (count <= 128) {
            // The stretches between split rods are mostly short.
            const auto first = static_cast<unsigned>(count < 64 ? count : 64);
            put(src.extract(pos, first), first);
            put(src.extract(pos + first, static_cast<unsigned>(count - first)),
                static_cast<unsigned>(count - first));
            return;
        }
        if ((size_ & 63) != 0) {
            const unsigned fill = 64 - static_cast<unsigned>(size_ & 63);
            put(src.extract(pos, fill), fill);
            pos += fill;
            count -= fill;
        }
        const size_t whole = count / 64;
        uint64_t* dst = words_ + (size_ >> 6);
        const uint64_t* from = src.words_.data() + (pos >> 6);
        const unsigned shift = pos & 63;
        if (shift == 0) {
            for (size_t i = 0; i < whole; ++i)
                dst[i] = from[i];
        } else {
            // The last word may join one past the source's end: that one goes through window().
            const size_t joined = (pos >> 6) + whole >= src.words_.size() ? whole - 1 : whole;
            join_words(dst, from, joined, shift);
            if (joined != whole) dst[joined] = src.window(pos + 64 * joined);
        }
        size_ += 64 * whole;
        pos += 64 * whole;
        const auto rest = static_cast<unsigned>(count % 64);
        put(src.extract(pos, rest), rest);
    }

    // For kernels that assemble whole words themselves: words() has room for max_bits more bits
    // and one word; the partial word at size() / 64 is last() until set_state() hands back the
    // new length and partial word.
    uint64_t* words() const noexcept { return words_; }
    uint64_t last() const noexcept { return last_; }
    void set_state(size_t size, uint64_t last) noexcept {
        size_ = size;
        last_ = last;
    }

    void finish() {
        if ((size_ & 63) != 0) words_[size_ >> 6] = last_;
        out_.size_ = size_;
        out_.words_.resize((size_ + 63) / 64);
    }

  private:
    BitString& out_;
    uint64_t* words_ = nullptr;
    size_t size_;
    uint64_t last_ = 0;  // the partial word at size_ / 64, filled from its most significant bit
};

}  // namespace quorvane
