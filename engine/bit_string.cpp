// bit_string.cpp -- conversions and bulk copies of the packed bit string.
#include "engine/bit_string.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "engine/cpu_features.h"

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
    out.words_.resize((count + 7) / 8, 0);
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

namespace {

#if defined(__x86_64__)
// Sixteen words a step with 256-bit vectors; returns the first word that is not zero, or where
// fewer than sixteen words are left.
__attribute__((target("avx2"))) size_t skip_zero_blocks(const uint64_t* words, size_t from,
                                                        size_t to) noexcept {
    for (; from + 16 <= to; from += 16) {
        const auto* v = reinterpret_cast<const __m256i*>(words + from);
        const __m256i a = _mm256_loadu_si256(v);
        const __m256i b = _mm256_loadu_si256(v + 1);
        const __m256i c = _mm256_loadu_si256(v + 2);
        const __m256i d = _mm256_loadu_si256(v + 3);
        const __m256i any = _mm256_or_si256(_mm256_or_si256(a, b), _mm256_or_si256(c, d));
        if (_mm256_testz_si256(any, any)) continue;
        // One bit a word, set for the zero ones.
        const __m256i zero = _mm256_setzero_si256();
        const auto zeros_a = _mm256_movemask_pd(_mm256_castsi256_pd(_mm256_cmpeq_epi64(a, zero)));
        const auto zeros_b = _mm256_movemask_pd(_mm256_castsi256_pd(_mm256_cmpeq_epi64(b, zero)));
        const auto zeros_c = _mm256_movemask_pd(_mm256_castsi256_pd(_mm256_cmpeq_epi64(c, zero)));
        const auto zeros_d = _mm256_movemask_pd(_mm256_castsi256_pd(_mm256_cmpeq_epi64(d, zero)));
        const auto zeros =
            static_cast<unsigned>(zeros_a | zeros_b << 4 | zeros_c << 8 | zeros_d << 12);
        return from + static_cast<size_t>(std::countr_zero(~zeros));
    }
    return from;
}

// dst[i] = the 64 bits at bit shift (1..63) of src[i], src[i + 1], for i < count.
__attribute__((target("avx2"))) void join_words_avx2(uint64_t* dst, const uint64_t* src,
                                                     size_t count, unsigned shift) noexcept {
    const __m128i left = _mm_cvtsi32_si128(static_cast<int>(shift));
    const __m128i right = _mm_cvtsi32_si128(static_cast<int>(64 - shift));
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i + 1));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i),
                            _mm256_or_si256(_mm256_sll_epi64(a, left), _mm256_srl_epi64(b, right)));
    }
    for (; i < count; ++i)
        dst[i] = (src[i] << shift) | (src[i + 1] >> (64 - shift));
}
#endif

}  // namespace

void join_words(uint64_t* __restrict dst, const uint64_t* __restrict src, size_t count,
                unsigned shift) noexcept {
#if defined(__x86_64__)
    if (have_avx2()) {
        join_words_avx2(dst, src, count, shift);
        return;
    }
#endif
    for (size_t i = 0; i < count; ++i)
        dst[i] = (src[i] << shift) | (src[i + 1] >> (64 - shift));
}

size_t first_nonzero_word(const uint64_t* words, size_t from, size_t to) noexcept {
#if defined(__x86_64__)
    if (have_avx2()) from = skip_zero_blocks(words, from, to);
#endif
    // Zero stretches are the common case in packed data: test eight words at a time.
    while (from + 8 <= to) {
        const uint64_t* w = words + from;
        if (((w[0] | w[1]) | (w[2] | w[3]) | ((w[4] | w[5]) | (w[6] | w[7]))) != 0) break;
        from += 8;
    }
    while (from < to && words[from] == 0)
        ++from;
    return from;
}

size_t BitString::next_one_after_word(size_t word) const noexcept {
    const size_t w = first_nonzero_word(words_.data(), word + 1, words_.size());
    if (w == words_.size()) return size_;
    return (w << 6) + static_cast<size_t>(std::countl_zero(words_[w]));
}

void BitString::append_repeated(bool bit, size_t count) {
    if (!bit) {
        // Bits past the end are already zero: only the length and the word count grow.
        size_ += count;
        words_.resize((size_ + 63) / 64, 0);
        return;
    }
    const uint64_t fill = ~uint64_t{0};
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
    // Every new word is written below.
    words_.resize((new_size + 63) / 64);
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
        join_words(words_.data() + w, src, joined, shift);
        if (joined != whole) words_[w + joined] = other.window(pos + 64 * joined);
    }
    w += whole;
    pos += whole * 64;
    count %= 64;
    if (count != 0) words_[w] = other.window(pos) & (~uint64_t{0} << (64 - count));
    size_ = new_size;
}

namespace {

// dst[j] = the bits of src[count - 1 - j] in reverse order, for j < count.
void reverse_words_portable(uint64_t* dst, const uint64_t* src, size_t count) noexcept {
    for (size_t j = 0; j < count; ++j)
        dst[j] = reverse_bits64(src[count - 1 - j]);
}

#if defined(__x86_64__)
QUORVANE_VECTOR_CODE_BEGIN
// Eight words a step: the words' order reversed, then the bytes in each word, then the bits in
// each byte.
__attribute__((target("avx512f,avx512bw,gfni"))) void reverse_words_avx512(uint64_t* dst,
                                                                           const uint64_t* src,
                                                                           size_t count) noexcept {
    const __m512i word_order = _mm512_setr_epi64(7, 6, 5, 4, 3, 2, 1, 0);
    const __m512i byte_order =
        _mm512_broadcast_i32x4(_mm_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8));
    const __m512i bit_order = _mm512_set1_epi64(static_cast<long long>(0x8040201008040201ULL));
    size_t j = 0;
    for (; j + 8 <= count; j += 8) {
        const __m512i v = _mm512_loadu_si512(src + count - j - 8);
        const __m512i bytes =
            _mm512_shuffle_epi8(_mm512_permutexvar_epi64(word_order, v), byte_order);
        _mm512_storeu_si512(dst + j, _mm512_gf2p8affine_epi64_epi8(bytes, bit_order, 0));
    }
    reverse_words_portable(dst + j, src, count - j);
}
QUORVANE_VECTOR_CODE_END
#endif

void reverse_words(uint64_t* dst, const uint64_t* src, size_t count) noexcept {
#if defined(__x86_64__)
    if (have_avx512_kernels()) {
        reverse_words_avx512(dst, src, count);
        return;
    }
#endif
    reverse_words_portable(dst, src, count);
}

}  // namespace

void BitString::append_reversed(const BitString& other) {
    append_reversed(other, 0, other.size_);
}

void BitString::append_reversed(const BitString& other, size_t pos, size_t count) {
    if (count == 0) return;
    if (&other == this) {
        const BitString copy = other;
        append_reversed(copy, pos, count);
        return;
    }
    // The words that hold the range, each reversed and in reverse order: the range's last bit
    // comes first, some bits into the first of them. Kept from call to call.
    thread_local BitString reversed;
    const size_t first = pos >> 6;
    const size_t last = (pos + count - 1) >> 6;
    reversed.words_.resize(last + 1 - first);
    reverse_words(reversed.words_.data(), other.words_.data() + first, last + 1 - first);
    reversed.size_ = 64 * (last + 1 - first);
    append_range(reversed, 64 * (last + 1) - (pos + count), count);
}

}  // namespace quorvane
