// reverse_pass.cpp -- the reverse pass: rods found a word at a time, then the output written once.
#include "engine/reverse_pass.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "engine/checked_math.h"
#include "engine/cpu_features.h"

namespace quorvane {
namespace {

constexpr uint64_t kTop = uint64_t{1} << 63;

// Records a split rod's test bit; the plan keeps one mask per word, in stream order.
void add_split(ReversePlan& plan, size_t test) {
    const size_t word = test >> 6;
    if (plan.splits.empty() || plan.splits.back().word != word || plan.splits.back().mask == 0) {
        plan.splits.push_back({word, 0, 0});
    }
    plan.splits.back().mask |= kTop >> (test & 63);
}

#if defined(__x86_64__)
// One word's rods: the test bits of its split rods, how many rods were whole, and where the next
// test bit lies (an offset from the word's start, 64 or more).
struct WordRods {
    uint64_t splits = 0;
    unsigned split_count = 0;
    unsigned whole_count = 0;
    unsigned next = 0;
};

// Rod size 2. A rod starting with 1 is a split rod of one data bit; one starting with 0 is a
// whole rod of two. So a position is the start of a rod unless the position before it started a
// rod with 0: within a run of zeros that begins at a rod start, every other zero starts a rod,
// and the 1 after the run starts one when the run has even length. The runs are told apart by
// parity with one carry-propagating addition. offset is 1 when the word's first bit is the second
// bit of a whole rod.
__attribute__((target("bmi2,popcnt"))) WordRods pair_rods(uint64_t word, unsigned offset) {
    constexpr uint64_t kEven = 0x5555555555555555ULL;  // stream positions 0, 2, 4, ...
    constexpr uint64_t kOdd = ~kEven;
    const uint64_t carry = offset;
    const uint64_t w = reverse_bits64(word);  // stream position j in bit j
    const uint64_t zeros = ~w;
    const uint64_t run_starts = zeros & ~(zeros << 1);
    const uint64_t even_starts = run_starts & kEven & ~carry;
    const uint64_t in_even_runs = zeros & ~(zeros + even_starts);
    const uint64_t in_odd_runs = zeros & ~in_even_runs;
    const uint64_t not_start = ((in_even_runs << 1) & kOdd) | ((in_odd_runs << 1) & kEven) | carry;
    const uint64_t low = ~not_start & w;
    const uint64_t whole = ~not_start & zeros;
    WordRods rods;
    rods.splits = reverse_bits64(low);
    rods.split_count = static_cast<unsigned>(_mm_popcnt_u64(low));
    rods.whole_count = static_cast<unsigned>(_mm_popcnt_u64(whole));
    rods.next = 64 + static_cast<unsigned>(whole >> 63);
    return rods;
}

#define QUORVANE_AVX512 "avx512f,avx512bw,avx512dq,avx512vl,avx512vpopcntdq,gfni,bmi2,popcnt,lzcnt"
QUORVANE_VECTOR_CODE_BEGIN

// The bits of each word in reverse order: the bytes reversed, then the bits in each byte.
[[gnu::always_inline]] __attribute__((target(QUORVANE_AVX512))) inline __m512i reverse_x8(
    __m512i x) {
    const __m512i byte_order =
        _mm512_broadcast_i32x4(_mm_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8));
    const __m512i bit_order = _mm512_set1_epi64(static_cast<long long>(0x8040201008040201ULL));
    return _mm512_gf2p8affine_epi64_epi8(_mm512_shuffle_epi8(x, byte_order), bit_order, 0);
}

// pair_rods for the eight words from words[i], all at once: every word is worked out for both
// offsets it can start at, then the offsets are followed from word to word, which is a choice of
// a bit each. Only a stretch where neither the decisions nor the whole rods can run out, with no
// zero word and a split rod in every word, is done here; false leaves it to pair_rods.
__attribute__((target(QUORVANE_AVX512))) bool pair_rods_x8(const uint64_t* words, size_t i,
                                                           unsigned& offset, int64_t& d, int64_t& h,
                                                           ReversePlan& plan) {
    const __m512i data = _mm512_loadu_si512(words + i);
    if (_mm512_test_epi64_mask(data, data) != 0xFF) return false;
    const __m512i even = _mm512_set1_epi64(0x5555555555555555LL);
    const __m512i odd = _mm512_set1_epi64(static_cast<long long>(0xAAAAAAAAAAAAAAAAULL));
    const __m512i w = reverse_x8(data);
    const __m512i zeros = _mm512_ternarylogic_epi64(w, w, w, 0x55);  // ~w
    const __m512i run_starts = _mm512_andnot_si512(_mm512_slli_epi64(zeros, 1), zeros);
    __m512i low[2];
    __m512i whole[2];
    for (int c = 0; c < 2; ++c) {
        const __m512i carry = _mm512_set1_epi64(c);
        const __m512i even_starts = _mm512_andnot_si512(carry, _mm512_and_si512(run_starts, even));
        const __m512i in_even_runs =
            _mm512_andnot_si512(_mm512_add_epi64(zeros, even_starts), zeros);
        const __m512i in_odd_runs = _mm512_andnot_si512(in_even_runs, zeros);
        const __m512i not_start = _mm512_or_si512(
            _mm512_or_si512(_mm512_and_si512(_mm512_slli_epi64(in_even_runs, 1), odd),
                            _mm512_and_si512(_mm512_slli_epi64(in_odd_runs, 1), even)),
            carry);
        low[c] = _mm512_andnot_si512(not_start, w);
        whole[c] = _mm512_andnot_si512(not_start, zeros);
    }
    // A word's last bit starting a whole rod puts the next word's offset at 1. Both readings of
    // a word meet at its first 1 (a 1 either starts a rod or ends one), so a word that is not
    // zero passes on the same offset whichever it started at.
    const auto next = static_cast<unsigned>(_mm512_movepi64_mask(whole[0]));
    const unsigned pick = (offset | next << 1) & 0xFFU;  // bit k: word k starts at offset 1
    const unsigned c = next >> 7;
    const auto picked = static_cast<__mmask8>(pick);
    const __m512i low_picked = _mm512_mask_blend_epi64(picked, low[0], low[1]);
    const __m512i whole_picked = _mm512_mask_blend_epi64(picked, whole[0], whole[1]);
    if (_mm512_test_epi64_mask(low_picked, low_picked) != 0xFF) return false;
    const int64_t split_count = _mm512_reduce_add_epi64(_mm512_popcnt_epi64(low_picked));
    const int64_t whole_count = _mm512_reduce_add_epi64(_mm512_popcnt_epi64(whole_picked));
    // Both only ever decrease: while both stay above zero no word here can end the pass.
    if (d - split_count <= 0 || h - whole_count <= 0) return false;
    alignas(64) uint64_t splits[8];
    _mm512_store_si512(splits, reverse_x8(low_picked));
    for (unsigned k = 0; k < 8; ++k)
        plan.splits.push_back({i + k, splits[k], 0});
    d -= split_count;
    h -= whole_count;
    offset = c;
    return true;
}
QUORVANE_VECTOR_CODE_END

// Any rod size. After a whole rod the next test bit is rod_size further on, after a split rod one
// less: so the test bits run along one residue class of positions until one of them is 1, and go
// on in the class one lower from there. grid holds the offsets 0, R, 2R, ... of a word.
__attribute__((target("bmi2,popcnt,lzcnt"))) WordRods chain_rods(uint64_t word, unsigned offset,
                                                                 unsigned rod_size, uint64_t grid,
                                                                 uint32_t reciprocal) {
    WordRods rods;
    const unsigned first = offset;
    for (;;) {
        const uint64_t tests = grid >> offset;
        const uint64_t hit = word & tests;
        if (hit == 0) {
            offset = 63 - static_cast<unsigned>(std::countr_zero(tests)) + rod_size;
            break;
        }
        const auto at = static_cast<unsigned>(std::countl_zero(hit));
        rods.splits |= kTop >> at;
        ++rods.split_count;
        offset = at + rod_size - 1;
        if (offset >= 64) break;
    }
    // Each whole rod moved the test bit on by R, each split rod by R - 1; the distance is small,
    // so the division is a multiplication.
    const unsigned rods_seen = ((offset - first + rods.split_count) * reciprocal) >> 16;
    rods.whole_count = rods_seen - rods.split_count;
    rods.next = offset;
    return rods;
}

// Rod sizes 3..8: the same walk a byte at a time from tables, so that no branch depends on the
// data and the walk's chain is a shift and a mask per byte. With R <= 8 a test bit's offset from
// the start of the byte it falls in stays below R. For a byte and the offset of its first test
// bit, masks holds the byte's split rods' test bits (bit 7 first), and exits, four bits per
// offset, where the next byte's first test bit lies.
struct ByteWalk {
    uint32_t exits[256];
    uint8_t masks[256][8];
};

const ByteWalk& byte_walk(unsigned rod_size) {
    static const std::array<ByteWalk, 9> tables = [] {
        std::array<ByteWalk, 9> t{};
        for (unsigned r = 3; r <= 8; ++r) {
            for (unsigned byte = 0; byte < 256; ++byte) {
                for (unsigned offset = 0; offset < r; ++offset) {
                    unsigned at = offset;
                    unsigned mask = 0;
                    while (at < 8) {
                        const bool split = ((byte >> (7 - at)) & 1) != 0;
                        if (split) mask |= 0x80U >> at;
                        at += split ? r - 1 : r;
                    }
                    t[r].masks[byte][offset] = static_cast<uint8_t>(mask);
                    t[r].exits[byte] |= (at - 8) << (4 * offset);
                }
            }
        }
        return t;
    }();
    return tables[rod_size];
}

__attribute__((target("bmi2,popcnt,lzcnt"))) WordRods walk_rods(uint64_t word, unsigned offset,
                                                                const ByteWalk& walk,
                                                                uint32_t reciprocal) {
    uint64_t splits = 0;
    unsigned at = offset;
    for (int shift = 56; shift >= 0; shift -= 8) {
        const auto byte = static_cast<unsigned>(word >> shift) & 0xFFU;
        splits |= uint64_t{walk.masks[byte][at]} << shift;
        at = (walk.exits[byte] >> (4 * at)) & 0xFU;
    }
    WordRods rods;
    rods.splits = splits;
    rods.split_count = static_cast<unsigned>(_mm_popcnt_u64(splits));
    rods.next = 64 + at;
    // As in chain_rods: each whole rod moved the test bit on by R, each split rod by R - 1.
    const unsigned rods_seen = ((rods.next - offset + rods.split_count) * reciprocal) >> 16;
    rods.whole_count = rods_seen - rods.split_count;
    return rods;
}

// walk_rods for eight words at once, for every offset a word can start at (below 8 for rod sizes
// up to 8): byte lane 8w + s follows word w from offset s, a nibble per step, through a 128-entry
// table. Even steps take the offset in index bits 4..6 and give the nibble's test bits in 4..7
// and the exit in 0..2; odd steps take it in bits 0..2 and give the bits in 0..3 and the exit in
// 4..6, so that a step's index is its nibble merged with the step before, and two steps make a
// byte of the splits mask.
struct NibbleWalk {
    alignas(64) uint8_t even[128];
    alignas(64) uint8_t odd[128];
};

const NibbleWalk& nibble_walk(unsigned rod_size) {
    static const std::array<NibbleWalk, 9> tables = [] {
        std::array<NibbleWalk, 9> t{};
        for (unsigned r = 3; r <= 8; ++r) {
            for (unsigned nibble = 0; nibble < 16; ++nibble) {
                for (unsigned offset = 0; offset < 8; ++offset) {
                    unsigned at = offset;
                    unsigned mask = 0;
                    while (at < 4) {
                        const unsigned bit = (nibble >> (3 - at)) & 1;
                        mask |= bit << (3 - at);
                        at += r - bit;
                    }
                    const unsigned exit = at - 4;  // below r, so below 8
                    t[r].even[offset << 4 | nibble] = static_cast<uint8_t>(mask << 4 | exit);
                    t[r].odd[nibble << 3 | offset] = static_cast<uint8_t>(exit << 4 | mask);
                }
            }
        }
        return t;
    }();
    return tables[rod_size];
}

QUORVANE_VECTOR_CODE_BEGIN
// Eight words walked from every offset: bytes[j] holds in lane 8w + s the splits of word w's
// stream byte j when the word starts at s, and ends where word w's walk ends when word 0 starts
// at s (the words' own exits composed along them in three steps).
struct WalkX8 {
    __m512i bytes[8];
    __m512i ends;
    __m512i first_half_ends;  // by halves: lane 8w + s, where word w's first half ends from s
};

// Byte b of every word is b: the offsets, and the lanes' places within their word.
[[gnu::always_inline]] __attribute__((target(QUORVANE_AVX512))) inline __m512i byte_places() {
    return _mm512_set1_epi64(0x0706050403020100LL);
}

// 8w in every byte of word w.
[[gnu::always_inline]] __attribute__((target(QUORVANE_AVX512))) inline __m512i word_bases() {
    return _mm512_set_epi64(0x3838383838383838LL, 0x3030303030303030LL, 0x2828282828282828LL,
                            0x2020202020202020LL, 0x1818181818181818LL, 0x1010101010101010LL,
                            0x0808080808080808LL, 0);
}

// v in bytes 0..3 of every word, u in bytes 4..7.
constexpr long long halves_of(int v, int u) {
    return static_cast<long long>(0x01010101ULL * static_cast<uint64_t>(v & 0xFF) |
                                  0x0101010100000000ULL * static_cast<uint64_t>(u & 0xFF));
}

// With Halves (rod sizes up to 4, so offsets below 4) a word's halves are walked side by side:
// lane 8w + 4h + s follows half h from offset s, which takes half the steps; the first half's
// ends then pick the second's.
template <bool Halves>
[[gnu::always_inline]] __attribute__((target(QUORVANE_AVX512 ",avx512vbmi"))) inline WalkX8 walk_x8(
    __m512i data, const NibbleWalk& walk) {
    const __m512i even_lo = _mm512_load_si512(walk.even);
    const __m512i even_hi = _mm512_load_si512(walk.even + 64);
    const __m512i odd_lo = _mm512_load_si512(walk.odd);
    const __m512i odd_hi = _mm512_load_si512(walk.odd + 64);
    const __m512i high3 = _mm512_set1_epi8(0x70);
    const __m512i low3 = _mm512_set1_epi8(0x07);
    constexpr int kSteps = Halves ? 4 : 8;
    WalkX8 out;
    // The offset s in bits 4..6.
    __m512i state =
        _mm512_slli_epi64(Halves ? _mm512_set1_epi64(0x0302010003020100LL) : byte_places(), 4);
    for (int j = 0; j < kSteps; ++j) {
        // vpmultishiftqb moves each lane's nibble to where the step's index wants it: the high
        // nibble of stream byte j (of 4 + j in a second half) to bits 0..3, the low one to 3..6.
        const int high_nibble = 60 - 8 * j;
        const __m512i high_at = Halves ? _mm512_set1_epi64(halves_of(high_nibble, high_nibble - 32))
                                       : _mm512_set1_epi8(static_cast<char>(high_nibble));
        const __m512i low_at =
            Halves ? _mm512_set1_epi64(halves_of((high_nibble - 7) & 63, (high_nibble - 39) & 63))
                   : _mm512_set1_epi8(static_cast<char>((high_nibble - 7) & 63));
        const __m512i hi = _mm512_multishift_epi64_epi8(high_at, data);
        const __m512i e = _mm512_permutex2var_epi8(
            even_lo, _mm512_ternarylogic_epi32(state, hi, high3, 0xE4), even_hi);
        const __m512i lo = _mm512_multishift_epi64_epi8(low_at, data);
        state =
            _mm512_permutex2var_epi8(odd_lo, _mm512_ternarylogic_epi32(e, lo, low3, 0xE4), odd_hi);
        out.bytes[j] =
            _mm512_ternarylogic_epi32(e, state, _mm512_set1_epi8(static_cast<char>(0xF0)), 0xE4);
    }
    __m512i ends = _mm512_and_si512(_mm512_srli_epi16(state, 4), low3);
    // Set, though a walk by halves reads neither; zeroing the whole would cost stores.
    for (int j = kSteps; j < 8; ++j)
        out.bytes[j] = out.bytes[j - kSteps];
    out.first_half_ends = ends;
    if (Halves) {
        // Lane 8w + s: the second half from where the first ends. Lanes 8w + 4.. are left with
        // offsets below 4, which the composing below reads harmlessly.
        ends = _mm512_permutexvar_epi8(
            _mm512_or_si512(ends, _mm512_or_si512(word_bases(), _mm512_set1_epi8(4))), ends);
    }
    for (int shift = 1; shift < 8; shift *= 2) {
        const auto later = static_cast<__mmask64>(~uint64_t{0} << (8 * shift));
        const __m512i before = _mm512_maskz_permutexvar_epi64(
            static_cast<__mmask8>(0xFF << shift),
            _mm512_sub_epi64(_mm512_set_epi64(7, 6, 5, 4, 3, 2, 1, 0), _mm512_set1_epi64(shift)),
            ends);
        ends =
            _mm512_mask_permutexvar_epi8(ends, later, _mm512_or_si512(before, word_bases()), ends);
    }
    out.ends = ends;
    return out;
}

// The splits masks of the eight words when the first starts at offset; offset becomes where the
// last one's walk ends.
template <bool Halves>
[[gnu::always_inline]] __attribute__((target(QUORVANE_AVX512 ",avx512vbmi"))) inline __m512i
pick_x8(const WalkX8& walked, unsigned& offset) {
    // Word w starts where word w - 1 ends; word 0 at the offset carried in.
    const __m512i starts = _mm512_mask_permutexvar_epi64(
        byte_places(), 0xFE, _mm512_set_epi64(6, 5, 4, 3, 2, 1, 0, 0), walked.ends);
    __m512i pick = _mm512_or_si512(
        word_bases(),
        _mm512_permutexvar_epi8(
            _mm512_or_si512(word_bases(), _mm512_set1_epi8(static_cast<char>(offset))), starts));
    __m512i masks = _mm512_setzero_si512();
    if (Halves) {
        // Stream bytes 0..3 (bytes 7..4 of the mask) from the first half's lanes, 4..7 from the
        // second half's, picked by where the first half ends.
        const __m512i second =
            _mm512_or_si512(_mm512_permutexvar_epi8(pick, walked.first_half_ends),
                            _mm512_or_si512(word_bases(), _mm512_set1_epi8(4)));
        pick = _mm512_mask_blend_epi8(0x0F0F0F0F0F0F0F0FULL, pick, second);
        for (int j = 0; j < 4; ++j) {
            const auto bytes_j = static_cast<__mmask64>(0x8888888888888888ULL >> j);
            masks = _mm512_mask_permutexvar_epi8(masks, bytes_j, pick, walked.bytes[j]);
        }
    } else {
        for (int j = 0; j < 8; ++j) {
            // Stream byte j of a word is its byte 7 - j.
            const auto byte_j = static_cast<__mmask64>(0x8080808080808080ULL >> j);
            masks = _mm512_mask_permutexvar_epi8(masks, byte_j, pick, walked.bytes[j]);
        }
    }
    const auto last =
        static_cast<uint64_t>(_mm256_extract_epi64(_mm512_extracti64x4_epi64(walked.ends, 1), 3));
    offset = static_cast<unsigned>(last >> (8 * offset)) & 7U;
    return masks;
}

// walk_rods for sixteen words, two sets of eight, each walked from every offset a word can start
// at: the walks do not wait for the offset carried in, only the picking of each word's does.
// Only a stretch of words that are not zero, where neither the decisions nor the whole rods can
// run out, is done here; false leaves it to walk_rods.
template <bool Halves>
__attribute__((target(QUORVANE_AVX512 ",avx512vbmi"))) bool walk_rods_x16(
    const uint64_t* words, size_t i, const NibbleWalk& walk, uint32_t reciprocal, unsigned& offset,
    int64_t& d, int64_t& h, ReversePlan& plan) {
    const __m512i first = _mm512_loadu_si512(words + i);
    const __m512i second = _mm512_loadu_si512(words + i + 8);
    if ((_mm512_test_epi64_mask(first, first) & _mm512_test_epi64_mask(second, second)) != 0xFF)
        return false;
    const WalkX8 walked_first = walk_x8<Halves>(first, walk);
    const WalkX8 walked_second = walk_x8<Halves>(second, walk);
    unsigned next = offset;
    const __m512i masks_first = pick_x8<Halves>(walked_first, next);
    const __m512i masks_second = pick_x8<Halves>(walked_second, next);
    const auto split_count = static_cast<int64_t>(_mm512_reduce_add_epi64(
        _mm512_add_epi64(_mm512_popcnt_epi64(masks_first), _mm512_popcnt_epi64(masks_second))));
    // As in walk_rods: each whole rod moved the test bit on by R, each split rod by R - 1.
    const auto rods_seen = static_cast<int64_t>(
        ((1024 + next - offset + static_cast<uint32_t>(split_count)) * reciprocal) >> 16);
    const int64_t whole_count = rods_seen - split_count;
    // Both only ever decrease: while both stay above zero no word here can end the pass.
    if (d - split_count <= 0 || h - whole_count <= 0) return false;
    if ((_mm512_test_epi64_mask(masks_first, masks_first) &
         _mm512_test_epi64_mask(masks_second, masks_second)) == 0xFF) {
        // A split rod in every word, as in dense data: the plan's sixteen entries laid out by
        // vectors (the words' numbers, the masks and zeros interleaved) and appended at once.
        alignas(64) ReversePlan::SplitWord entries[16];
        static_assert(sizeof(entries) == 6 * sizeof(__m512i));
        const __m512i first_word = _mm512_add_epi64(_mm512_set1_epi64(static_cast<long long>(i)),
                                                    _mm512_set_epi64(7, 6, 5, 4, 3, 2, 1, 0));
        const __m512i second_word = _mm512_add_epi64(first_word, _mm512_set1_epi64(8));
        const __m512i fields[3] = {_mm512_set_epi64(10, 2, 0, 9, 1, 0, 8, 0),
                                   _mm512_set_epi64(5, 0, 12, 4, 0, 11, 3, 0),
                                   _mm512_set_epi64(0, 15, 7, 0, 14, 6, 0, 13)};
        const __mmask8 filled[3] = {0xDB, 0xB6, 0x6D};
        auto* to = reinterpret_cast<__m512i*>(entries);
        for (int k = 0; k < 3; ++k) {
            _mm512_store_si512(to + k, _mm512_maskz_permutex2var_epi64(filled[k], first_word,
                                                                       fields[k], masks_first));
            _mm512_store_si512(to + 3 + k, _mm512_maskz_permutex2var_epi64(
                                               filled[k], second_word, fields[k], masks_second));
        }
        plan.splits.insert(plan.splits.end(), entries, entries + 16);
    } else {
        alignas(64) uint64_t splits[16];
        _mm512_store_si512(splits, masks_first);
        _mm512_store_si512(splits + 8, masks_second);
        for (unsigned k = 0; k < 16; ++k)
            if (splits[k] != 0) plan.splits.push_back({i + k, splits[k], 0});
    }
    d -= split_count;
    h -= whole_count;
    offset = next;
    return true;
}
QUORVANE_VECTOR_CODE_END

// Finds the rods of whole words from the data's start while no pass end, and no shortage of
// decisions or whole rods, can occur in them; stretches of zero words are passed over in one step.
// Leaves in pos the start of the first rod not done.
// kBlocks tries the vector kernels on stretches of words; without, the loop holds less, which
// keeps sparse data (a word here and there between zero stretches) as quick as it was.
template <bool kBlocks>
__attribute__((target("bmi2,popcnt,lzcnt"))) void scan_words(const BitString& data,
                                                             unsigned rod_size,
                                                             int64_t& decisions_left,
                                                             int32_t& high_rods, ReversePlan& plan,
                                                             size_t& pos) {
    const size_t length = data.size();
    pos = 0;
    if (length < size_t{rod_size} + 65) return;
    // A word is done only when the rod after it still lies wholly within the data.
    const size_t limit = (length - rod_size - 1) / 64;
    const uint64_t* words = data.words().data();
    uint64_t grid = 0;
    for (unsigned off = 0; off < 64; off += rod_size)
        grid |= kTop >> off;
    const uint32_t reciprocal = (65536 + rod_size - 1) / rod_size;
    const ByteWalk& walk = byte_walk(std::min(rod_size, 8U));
    int64_t d = decisions_left;
    int64_t h = high_rods;
    unsigned offset = rod_size - 2;  // of the next test bit from word i's start
    size_t i = 0;
    const bool pair_blocks = kBlocks && rod_size == 2;
    size_t pairs_from = 0;  // where pair_rods_x8 is tried next
    const bool walk_blocks = kBlocks && rod_size >= 3 && rod_size <= 8;
    const NibbleWalk& nibbles = nibble_walk(std::min(rod_size, 8U));
    size_t walks_from = 0;  // where walk_rods_x16 is tried next
    while (i < limit) {
        if (offset >= 64) {
            offset -= 64;
            ++i;
            continue;
        }
        if (words[i] == 0) {
            const size_t j = first_nonzero_word(words, i + 1, limit);
            const size_t span = 64 * (j - i);
            const size_t tests = (span - offset + rod_size - 1) / rod_size;
            const int64_t h_after = h - static_cast<int64_t>(tests);
            if (h_after < 0 || (h_after == 0 && d == 0)) break;
            h = h_after;
            offset = static_cast<unsigned>(offset + tests * rod_size - span);
            plan.splits.push_back({i, 0, j - i});
            i = j;
            continue;
        }
        // A zero word next or last in the block (as in sparse data) would send it back at once.
        if (pair_blocks && i >= pairs_from && i + 8 <= limit && words[i + 1] != 0 &&
            words[i + 7] != 0) {
            if (pair_rods_x8(words, i, offset, d, h, plan)) {
                i += 8;
                continue;
            }
            pairs_from = i + 8;
        }
        if (walk_blocks && i >= walks_from && i + 16 <= limit && words[i + 1] != 0 &&
            words[i + 15] != 0) {
            if (rod_size <= 4
                    ? walk_rods_x16<true>(words, i, nibbles, reciprocal, offset, d, h, plan)
                    : walk_rods_x16<false>(words, i, nibbles, reciprocal, offset, d, h, plan)) {
                i += 16;
                continue;
            }
            walks_from = i + 16;
        }
        const WordRods rods = rod_size == 2 ? pair_rods(words[i], offset)
                              : rod_size <= 8
                                  ? walk_rods(words[i], offset, walk, reciprocal)
                                  : chain_rods(words[i], offset, rod_size, grid, reciprocal);
        const int64_t d_after = d - rods.split_count;
        const int64_t h_after = h - rods.whole_count;
        if (d_after < 0 || h_after < 0 || (d_after == 0 && h_after == 0)) break;
        d = d_after;
        h = h_after;
        if (rods.splits != 0) plan.splits.push_back({i, rods.splits, 0});
        offset = rods.next - 64;
        ++i;
    }
    decisions_left = d;
    high_rods = static_cast<int32_t>(h);
    pos = 64 * i + offset - (rod_size - 2);
}

// The decision bits a pass uses, newest first: reversed once, then read a few at a time.
class DecisionReader {
  public:
    DecisionReader(const BitString& decisions, int64_t left, size_t used) {
        BitString& reversed = buffer();
        reversed.clear();
        reversed.append_reversed(decisions, static_cast<size_t>(left) - used, used);
        // Held here: reaching the thread's buffer costs a call each time.
        words_ = reversed.words().data();
        word_count_ = reversed.words().size();
    }

    // The next n (1..64) decisions, the newest in bit n - 1.
    uint64_t take(unsigned n) {
        const size_t w = next_ >> 6;
        const unsigned off = next_ & 63;
        // The reader stops at the decisions' end, so a word past it is only read for a shift
        // within the last word: there it is taken as zero.
        const uint64_t next_word = w + 1 < word_count_ ? words_[w + 1] : 0;
        const uint64_t window = (words_[w] << off) | ((next_word >> 1) >> (63 - off));
        next_ += n;
        return window >> (64 - n);
    }

  private:
    // Kept from pass to pass, so that a pass allocates nothing.
    static BitString& buffer() {
        thread_local BitString reversed;
        return reversed;
    }
    const uint64_t* words_ = nullptr;
    size_t word_count_ = 0;
    size_t next_ = 0;
};

// Writes a word's 64 data bits with a decision bit after each split rod's test bit. The word's
// decisions are read at once; each half word is spread to every other bit, the decisions go into
// the gaps after the test bits, and the gaps not used are squeezed out.
[[gnu::always_inline]] __attribute__((target("bmi2,popcnt"))) inline void expand_word(
    uint64_t word, uint64_t splits, DecisionReader& reader, BitWriter& out) {
    constexpr uint64_t kOdd = 0xAAAAAAAAAAAAAAAAULL;
    const uint64_t splits_lo = splits & 0xFFFFFFFFULL;
    const uint64_t splits_hi = splits >> 32;
    const auto n_lo = static_cast<unsigned>(_mm_popcnt_u64(splits_lo));
    const auto n_hi = static_cast<unsigned>(_mm_popcnt_u64(splits_hi));
    const uint64_t taken = reader.take(n_hi + n_lo);
    // The first decisions taken go with the first half's split rods.
    const uint64_t decisions_hi = taken >> n_lo;
    const uint64_t decisions_lo = taken & ((uint64_t{1} << n_lo) - 1);
    const uint64_t slots_hi = _pdep_u64(splits_hi, kOdd) >> 1;
    const uint64_t slots_lo = _pdep_u64(splits_lo, kOdd) >> 1;
    const uint64_t spread_hi = _pdep_u64(word >> 32, kOdd) | _pdep_u64(decisions_hi, slots_hi);
    const uint64_t spread_lo =
        _pdep_u64(word & 0xFFFFFFFFULL, kOdd) | _pdep_u64(decisions_lo, slots_lo);
    out.put(_pext_u64(spread_hi, kOdd | slots_hi), 32 + n_hi);
    out.put(_pext_u64(spread_lo, kOdd | slots_lo), 32 + n_lo);
}

// The plan's output, whole words through expand_word.
__attribute__((target("bmi2,popcnt"))) void write_wide(const BitString& data,
                                                       const BitString& decisions,
                                                       int64_t decisions_left,
                                                       const ReversePlan& plan, BitString& to) {
    BitWriter out(to, plan.consumed + plan.split_count);
    DecisionReader reader(decisions, decisions_left, plan.split_count);
    const uint64_t* words = data.words().data();
    size_t copy_from = 0;
    for (const ReversePlan::SplitWord& s : plan.splits) {
        const size_t start = 64 * s.word;
        if (s.mask == 0) {
            // Zero words give zeros: written, not copied.
            out.copy(data, copy_from, start - copy_from);
            out.put_zeros(64 * s.zero_words);
            copy_from = start + 64 * s.zero_words;
            continue;
        }
        if (start + 64 > plan.consumed) {
            // The last word, cut short by the pass's end: bit by bit.
            for (uint64_t mask = s.mask; mask != 0;) {
                const auto at = static_cast<unsigned>(std::countl_zero(mask));
                mask &= ~(kTop >> at);
                const size_t test = start + at;
                out.copy(data, copy_from, test + 1 - copy_from);
                out.put(reader.take(1), 1);
                copy_from = test + 1;
            }
            continue;
        }
        // Dense data has a split rod in every word: nothing lies between them.
        if (start != copy_from) out.copy(data, copy_from, start - copy_from);
        expand_word(words[s.word], s.mask, reader, out);
        copy_from = start + 64;
    }
    out.copy(data, copy_from, plan.consumed - copy_from);
    out.finish();
}
#endif

// The plan's output, a split rod at a time.
void write_rod_by_rod(const BitString& data, const BitString& decisions, int64_t decisions_left,
                      const ReversePlan& plan, BitString& to) {
    BitWriter out(to, plan.consumed + plan.split_count);
    size_t copy_from = 0;
    auto d = static_cast<size_t>(decisions_left);
    for (const ReversePlan::SplitWord& s : plan.splits) {
        for (uint64_t mask = s.mask; mask != 0;) {
            const auto at = static_cast<unsigned>(std::countl_zero(mask));
            mask &= ~(kTop >> at);
            const size_t test = 64 * s.word + at;
            out.copy(data, copy_from, test + 1 - copy_from);
            out.put(decisions[--d] ? 1 : 0, 1);
            copy_from = test + 1;
        }
    }
    out.copy(data, copy_from, plan.consumed - copy_from);
    out.finish();
}

}  // namespace

bool plan_reverse(const BitString& data, unsigned rod_size, int64_t& decisions_left,
                  int32_t& high_rods, ReversePlan& plan, KernelPath path) {
    plan.splits.clear();
    plan.splits.reserve(data.words().size());
    plan.consumed = 0;
    plan.path = KernelPath::Portable;
    const int64_t decisions_before = decisions_left;
    const size_t length = data.size();
    const size_t split = rod_size - 1;
    const auto pass_ends = [&](size_t at) {
        const size_t rest = length - at;
        return rest < split || (rest == split && !data[at + split - 1]) ||
               (decisions_left == 0 && high_rods == 0);
    };
    size_t pos = 0;
#if defined(__x86_64__)
    // Beyond 64 a word holds at most one test bit: rod by rod is as quick.
    if (path != KernelPath::Portable && rod_size <= 64) {
        plan.path = path;
        // Sparse data gains nothing from the vector kernels, and would pay for trying them.
        if (path == KernelPath::Avx512 && !data.looks_sparse()) {
            scan_words<true>(data, rod_size, decisions_left, high_rods, plan, pos);
        } else {
            scan_words<false>(data, rod_size, decisions_left, high_rods, plan, pos);
        }
    }
#else
    (void)path;
#endif
    // The rest rod by rod, runs of whole rods in one step.
    bool ok = true;
    for (;;) {
        const size_t left = length - pos;
        if (left >= split && data[pos + split - 1]) {
            if (decisions_left <= 0) {
                ok = false;
                break;
            }
            --decisions_left;
            add_split(plan, pos + split - 1);
            pos += split;
        } else if (left >= rod_size && high_rods > 0) {
            // Every further rod whose test bit comes before the next 1 is whole too; the run
            // stops short of the data's end and of the last whole rod, where the pass may end.
            const size_t test = pos + split - 1;
            const size_t gap = data.next_one(test + 1) - test;
            const size_t run = gap <= rod_size
                                   ? 1
                                   : std::min({(gap + rod_size - 1) / rod_size, left / rod_size,
                                               static_cast<size_t>(high_rods)});
            pos += run * rod_size;
            high_rods -= static_cast<int32_t>(run);
        } else {
            pos += std::min<size_t>(rod_size, left);
            // Whole rods only ever decrease: once below zero the cycle cannot come out even.
            if (--high_rods < 0) {
                ok = false;
                break;
            }
        }
        if (pass_ends(pos)) break;
    }
    plan.consumed = pos;
    plan.split_count = static_cast<size_t>(decisions_before - decisions_left);
    return ok;
}

void write_reverse(const BitString& data, const BitString& decisions, int64_t decisions_left,
                   const ReversePlan& plan, BitString& out) {
#if defined(__x86_64__)
    if (plan.path != KernelPath::Portable) {
        write_wide(data, decisions, decisions_left, plan, out);
        return;
    }
#endif
    write_rod_by_rod(data, decisions, decisions_left, plan, out);
}

bool reverse_rods(const BitString& data, unsigned rod_size, const BitString& decisions,
                  int64_t& decisions_left, int32_t& high_rods, BitString& restored,
                  size_t& consumed, KernelPath path) {
    ReversePlan plan;
    const int64_t d = decisions_left;
    const bool ok = plan_reverse(data, rod_size, decisions_left, high_rods, plan, path);
    consumed = plan.consumed;
    if (ok) write_reverse(data, decisions, d, plan, restored);
    return ok;
}

bool ReversePass(RoundState& round, unsigned rod_size, RunObserver& observer) {
    int64_t d = static_cast<int64_t>(round.DecisionBits.size());
    ReversePlan& plan = round.plan;
    if (!plan_reverse(round.DataBits, rod_size, d, round.HighRods, plan)) return false;
    // The bits no rod took go in front, then the pending trailing bits, then the rods restored:
    // written once, into the buffer the pass before left behind.
    const BitString& data = round.DataBits;
    BitString& next = round.spare;
    next.clear();
    next.append_range(data, plan.consumed, data.size() - plan.consumed);
    if (round.TrailingPending) {
        next.append(round.TrailingBits);
        round.TrailingPending = false;
    }
    write_reverse(data, round.DecisionBits, static_cast<int64_t>(round.DecisionBits.size()), plan,
                  next);
    std::swap(round.DataBits, next);
    round.BitsOut = checked_i32(round.DataBits.size());
    round.DecisionBits.truncate(static_cast<size_t>(d));
    checkpoint(observer);
    round.PassDepth = std::max(0, round.PassDepth - 1);
    ReversePassRecord record;
    record.cycle = round.CycleCount;
    record.passes_left = round.PassDepth;
    record.passes = round.header_passes;
    record.bits_out = round.BitsOut;
    record.decisions_left = d;
    record.low_rods = round.LowRods;
    record.high_rods_left = round.HighRods;
    observer.reverse_pass_done(record);
    checkpoint(observer);
    return true;
}

}  // namespace quorvane
