// centrifuge_pass.cpp -- the pass, a word at a time where the rod size allows.
#include "engine/centrifuge_pass.h"

#include <algorithm>
#include <bit>
#include <numeric>
#include <utility>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "engine/checked_math.h"
#include "engine/cpu_features.h"

namespace quorvane {
namespace {

#if defined(__x86_64__)
// Splits whole groups of 64 / rod_size rods with one bit-extract per group; returns the rods done.
// A stretch of zero groups has no low rod: it moves to the output as a block.
__attribute__((target("bmi2,popcnt"))) size_t split_groups(const BitString& data, size_t pos,
                                                           size_t rods, unsigned rod_size,
                                                           BitString& kept, BitString& moved) {
    BitWriter out(kept, data.size());
    BitWriter forward(moved, rods);
    const unsigned group = 64 / rod_size;
    const unsigned span = group * rod_size;
    uint64_t test_mask = 0;
    for (unsigned j = 0; j < group; ++j)
        test_mask |= uint64_t{1} << (63 - (j * rod_size + rod_size - 2));
    const uint64_t span_mask = ~uint64_t{0} << (64 - span);
    const size_t groups = rods / group;
    size_t done = 0;  // groups
    while (done < groups) {
        const uint64_t chunk = data.window(pos) & span_mask;
        if (chunk == 0) {
            const size_t zeros = (data.next_one(pos) - pos) / span;
            const size_t n = std::min(zeros, groups - done);
            out.put_zeros(n * span);
            done += n;
            pos += n * span;
            continue;
        }
        // A set test bit marks a low rod; the bit after it is the one that moves.
        const uint64_t drop = (chunk & test_mask) >> 1;
        const uint64_t keep = span_mask & ~drop;
        out.put(_pext_u64(chunk, keep), static_cast<unsigned>(_mm_popcnt_u64(keep)));
        forward.put(_pext_u64(chunk, drop), static_cast<unsigned>(_mm_popcnt_u64(drop)));
        ++done;
        pos += span;
    }
    out.finish();
    forward.finish();
    return done * group;
}

#define QUORVANE_AVX512 "avx512f,avx512bw,avx512vl,avx512vpopcntdq,bmi2,popcnt"
QUORVANE_VECTOR_CODE_BEGIN

// Appends eight fields at once, lane i holding count_i (0..64) bits in its low bits (none above).
// A field lands in at most two words; the fields that share a word are added up (their bits do
// not overlap), and a prefix sum over the lanes less the one at the previous word's last field
// gives every word at once. The words are stored whole: out needs room for eight.
[[gnu::always_inline]] __attribute__((target(QUORVANE_AVX512))) inline void put_fields(
    __m512i value, __m512i count, BitWriter& out) {
    const size_t size = out.size();
    const auto fill = static_cast<unsigned>(size & 63);
    uint64_t* const at = out.words() + (size >> 6);
    const __m512i zero = _mm512_setzero_si512();
    const __m512i sixty_four = _mm512_set1_epi64(64);
    __m512i sum_count = count;
    sum_count = _mm512_add_epi64(sum_count, _mm512_alignr_epi64(sum_count, zero, 7));
    sum_count = _mm512_add_epi64(sum_count, _mm512_alignr_epi64(sum_count, zero, 6));
    sum_count = _mm512_add_epi64(sum_count, _mm512_alignr_epi64(sum_count, zero, 4));
    // Only fill and acc pass from block to block, through a few scalar steps.
    const auto total =
        static_cast<size_t>(_mm_extract_epi64(_mm512_extracti32x4_epi32(sum_count, 3), 1)) + fill;
    const __m512i start =
        _mm512_add_epi64(_mm512_sub_epi64(sum_count, count), _mm512_set1_epi64(fill));
    const __m512i shift = _mm512_and_si512(start, _mm512_set1_epi64(63));
    const __m512i word = _mm512_srli_epi64(start, 6);
    const __m512i top = _mm512_sllv_epi64(value, _mm512_sub_epi64(sixty_four, count));
    const __m512i low = _mm512_srlv_epi64(top, shift);                                 // in word
    const __m512i high = _mm512_sllv_epi64(top, _mm512_sub_epi64(sixty_four, shift));  // in word+1
    // The last field in a word is the only one that can spill into the next.
    const __mmask8 last = _mm512_cmpneq_epi64_mask(word, _mm512_alignr_epi64(word, word, 1)) | 0x80;
    __m512i sum = low;
    sum = _mm512_add_epi64(sum, _mm512_alignr_epi64(sum, zero, 7));
    sum = _mm512_add_epi64(sum, _mm512_alignr_epi64(sum, zero, 6));
    sum = _mm512_add_epi64(sum, _mm512_alignr_epi64(sum, zero, 4));
    const __m512i through = _mm512_maskz_compress_epi64(last, sum);
    const __m512i lows = _mm512_sub_epi64(through, _mm512_alignr_epi64(through, zero, 7));
    const __m512i spills = _mm512_maskz_compress_epi64(last, high);
    const __m512i fields = _mm512_or_si512(lows, _mm512_alignr_epi64(spills, zero, 7));
    _mm512_storeu_si512(
        at, _mm512_mask_or_epi64(fields, 1, fields,
                                 _mm512_set1_epi64(static_cast<long long>(out.last()))));
    const auto last_word = static_cast<unsigned>(std::popcount(static_cast<unsigned>(last))) - 1;
    const size_t done = total >> 6;  // whole words
    // The partial word is the last field's word, or what it spilled into the next.
    // Without branches: either is as likely.
    const unsigned pick = last_word | static_cast<unsigned>(done != last_word) * 15U;
    const auto part = static_cast<uint64_t>(_mm_cvtsi128_si64(
        _mm512_castsi512_si128(_mm512_permutex2var_epi64(fields, _mm512_set1_epi64(pick), high))));
    out.set_state(size - fill + total,
                  part | (out.last() & (uint64_t{0} - static_cast<uint64_t>(pick == 0))));
}

// The eight chunks' bits under the masks, each packed to the low end of its lane.
[[gnu::always_inline]] __attribute__((target(QUORVANE_AVX512))) inline __m512i pext_lanes(
    const uint64_t* chunk, const uint64_t* mask) {
    return _mm512_set_epi64(static_cast<long long>(_pext_u64(chunk[7], mask[7])),
                            static_cast<long long>(_pext_u64(chunk[6], mask[6])),
                            static_cast<long long>(_pext_u64(chunk[5], mask[5])),
                            static_cast<long long>(_pext_u64(chunk[4], mask[4])),
                            static_cast<long long>(_pext_u64(chunk[3], mask[3])),
                            static_cast<long long>(_pext_u64(chunk[2], mask[2])),
                            static_cast<long long>(_pext_u64(chunk[1], mask[1])),
                            static_cast<long long>(_pext_u64(chunk[0], mask[0])));
}

// Splits all the rods from pos (to the end of the data), eight 64-bit chunks of data a block. A
// chunk need not start at a rod: which of its bits are test bits depends on its index modulo the
// period of 64 against rod_size. A zero stretch moves to the output as a block.
constexpr unsigned kMaxPeriod = 128;

__attribute__((target(QUORVANE_AVX512))) void split_blocks(const BitString& data, size_t pos,
                                                           size_t rods, unsigned rod_size,
                                                           BitString& kept, BitString& moved) {
    // Room for a block's whole-word stores past the end.
    BitWriter out(kept, data.size() + 512);
    BitWriter forward(moved, rods);
    const size_t bits = rods * rod_size;  // from pos to the end of the data
    const size_t chunks = (bits + 63) / 64;
    const unsigned period = rod_size / std::gcd(rod_size, 64U);
    // A chunk's test bits: those rod_size - 2 into a rod. Eight entries more than the period, so
    // that a block reads its masks at once.
    alignas(64) uint64_t test_masks[kMaxPeriod + 8];
    uint64_t grid = 0;  // the rods' first bits, for a chunk that starts a rod
    for (unsigned j = 0; j < 64; j += rod_size)
        grid |= (uint64_t{1} << 63) >> j;
    const unsigned advance = 64 % rod_size;
    for (unsigned c = 0, phase = 0; c < period; ++c) {
        const unsigned first = (2 * rod_size - 2 - phase) % rod_size;  // the first test bit
        test_masks[c] = first < 64 ? grid >> first : 0;
        phase += advance;
        if (phase >= rod_size) phase -= rod_size;
    }
    for (unsigned c = period; c < period + 8; ++c)
        test_masks[c] = test_masks[c - period];
    const uint64_t* words = data.words().data();
    const size_t word_count = data.words().size();
    const __m128i left = _mm_cvtsi32_si128(static_cast<int>(pos & 63));
    const __m128i right = _mm_cvtsi32_si128(static_cast<int>(64 - (pos & 63)));
    const __m512i lane_bits = _mm512_setr_epi64(0, 64, 128, 192, 256, 320, 384, 448);
    const __m512i all = _mm512_set1_epi64(-1);
    const __m512i sixty_four = _mm512_set1_epi64(64);
    const __m512i zero = _mm512_setzero_si512();
    alignas(64) uint64_t chunk_bits[8];
    alignas(64) uint64_t keep_bits[8];
    alignas(64) uint64_t move_bits[8];
    alignas(64) uint64_t move_counts[8];
    alignas(64) uint64_t keep_counts[8];
    bool carry = false;  // a test bit ended the last chunk: the next one's first bit moves
    size_t c = 0;
    size_t phase = 0;  // c % period
    const size_t step = 8 % period;
    // c % period without a division (which would cost more than a lone chunk): exact for c below
    // 2^32.
    const uint64_t reciprocal = ~uint64_t{0} / period + 1;
    const auto period_of = [reciprocal, period](size_t c) -> size_t {
        if (c >> 32 != 0) return c % period;
        __extension__ using Wide = unsigned __int128;
        return static_cast<size_t>((static_cast<Wide>(reciprocal * c) * period) >> 64);
    };
    while (c < chunks) {
        const size_t at = pos + 64 * c;
        const uint64_t lone = data.window(at);
        if (!carry && lone == 0) {
            const size_t n = (data.next_one(at) - at) / 64;
            if (n > 0) {
                out.put_zeros(64 * n);
                c += n;
                phase = period_of(c);
                continue;
            }
        }
        const size_t w = at >> 6;
        if (w + 1 >= word_count || words[w + 1] == 0) {
            // A chunk on its own, as in sparse data: a block would cost more.
            const uint64_t tests = lone & test_masks[phase];
            const uint64_t move = tests >> 1 | static_cast<uint64_t>(carry) << 63;
            const size_t rest = bits - 64 * c;
            const uint64_t keep = (rest >= 64 ? ~uint64_t{0} : ~(~uint64_t{0} >> rest)) & ~move;
            out.put(_pext_u64(lone, keep), static_cast<unsigned>(_mm_popcnt_u64(keep)));
            forward.put(_pext_u64(lone, move), static_cast<unsigned>(_mm_popcnt_u64(move)));
            carry = (tests & 1) != 0;
            ++c;
            if (++phase == period) phase = 0;
            continue;
        }
        const size_t avail = word_count - w;  // at least 1
        const auto first = static_cast<__mmask8>(avail >= 8 ? 0xFF : (1U << avail) - 1);
        const auto second = static_cast<__mmask8>(avail >= 9 ? 0xFF : (1U << (avail - 1)) - 1);
        const __m512i a = _mm512_maskz_loadu_epi64(first, words + w);
        const __m512i b = _mm512_maskz_loadu_epi64(second, words + w + 1);
        // Shifted by 64 the second word gives nothing, which is right for a word-aligned pos.
        const __m512i chunk =
            _mm512_or_si512(_mm512_sll_epi64(a, left), _mm512_srl_epi64(b, right));
        const auto nonzero = static_cast<unsigned>(_mm512_test_epi64_mask(chunk, chunk));
        // Bits past the end of the data read as zero, so only the kept ones need the bound.
        const __m512i left_bits =
            _mm512_sub_epi64(_mm512_set1_epi64(static_cast<long long>(bits - 64 * c)), lane_bits);
        const __m512i valid_count = _mm512_max_epi64(_mm512_min_epi64(left_bits, sixty_four), zero);
        // The block ends at its last chunk that is not zero (or its first, moving one bit), so
        // that a zero stretch after it is passed over.
        const unsigned lanes = std::max(8 - std::countl_zero(static_cast<uint8_t>(nonzero)), 1);
        const __m512i valid = _mm512_sllv_epi64(all, _mm512_sub_epi64(sixty_four, valid_count));
        const __m512i tests = _mm512_and_si512(chunk, _mm512_loadu_si512(test_masks + phase));
        // The bit after a test bit moves; after a chunk's last bit it is the next one's first.
        const __m512i move = _mm512_or_si512(
            _mm512_srli_epi64(tests, 1),
            _mm512_slli_epi64(_mm512_alignr_epi64(tests, _mm512_set1_epi64(carry), 7), 63));
        carry = (_mm512_test_epi64_mask(tests, _mm512_set1_epi64(1)) >> (lanes - 1) & 1) != 0;
        const __m512i keep = _mm512_andnot_si512(move, valid);
        _mm512_store_si512(chunk_bits, chunk);
        _mm512_store_si512(keep_bits, keep);
        _mm512_store_si512(move_bits, move);
        _mm512_store_si512(move_counts, _mm512_popcnt_epi64(move));
        if (lanes == 8) {
            put_fields(pext_lanes(chunk_bits, keep_bits), _mm512_popcnt_epi64(keep), out);
            // At most 33 bits move from a chunk: two chunks' go at once.
            for (unsigned i = 0; i < 8; i += 2) {
                const auto second = static_cast<unsigned>(move_counts[i + 1]);
                forward.put(_pext_u64(chunk_bits[i], move_bits[i]) << second |
                                _pext_u64(chunk_bits[i + 1], move_bits[i + 1]),
                            static_cast<unsigned>(move_counts[i]) + second);
            }
        } else {
            // Mostly a lone chunk before a zero stretch.
            _mm512_store_si512(keep_counts, _mm512_popcnt_epi64(keep));
            for (unsigned i = 0; i < lanes; ++i) {
                out.put(_pext_u64(chunk_bits[i], keep_bits[i]),
                        static_cast<unsigned>(keep_counts[i]));
                forward.put(_pext_u64(chunk_bits[i], move_bits[i]),
                            static_cast<unsigned>(move_counts[i]));
            }
        }
        c += lanes;
        if (lanes == 8) {
            phase += step;
            if (phase >= period) phase -= period;
        } else {
            phase = period_of(c);
        }
    }
    out.finish();
    forward.finish();
}
QUORVANE_VECTOR_CODE_END
#endif

}  // namespace

PassCounts centrifuge(const BitString& data, unsigned rod_size, BitString& out,
                      BitString& decisions, KernelPath path) {
    const size_t length = data.size();
    const size_t head = length % rod_size;
    const size_t rods = length / rod_size;
    // Rods are visited front to back here; the decisions are wanted back to front. The buffer
    // is kept, so that a pass allocates nothing.
    thread_local BitString forward;
    forward.clear();
    out.clear();
    size_t pos = head;
    size_t done = 0;
#if defined(__x86_64__)
    // Sparse data gains nothing from the vector kernel, and would pay for trying it.
    if (path == KernelPath::Avx512 && rod_size / std::gcd(rod_size, 64U) <= kMaxPeriod &&
        (rod_size > 64 || !data.looks_sparse())) {
        split_blocks(data, pos, rods, rod_size, out, forward);
        done = rods;
        pos += done * rod_size;
    } else if (path != KernelPath::Portable && rod_size <= 64) {
        done = split_groups(data, pos, rods, rod_size, out, forward);
        pos += done * rod_size;
    }
#else
    (void)path;
#endif
    BitWriter moved(forward, rods - done);
    BitWriter kept(out, length - out.size());
    // The output is the data less the moved bits: copy the stretches between them whole.
    size_t copy_from = pos;
    while (done < rods) {
        if (SplitRod(data, pos, rod_size, moved)) {
            kept.copy(data, copy_from, pos + rod_size - 1 - copy_from);
            copy_from = pos + rod_size;
            ++done;
            pos += rod_size;
            continue;
        }
        // A high rod: so is every further one whose test bit comes before the next 1.
        const size_t test = pos + rod_size - 2;
        const size_t gap = data.next_one(test + 1) - test;
        const size_t high =
            gap <= rod_size ? 1 : std::min((gap + rod_size - 1) / rod_size, rods - done);
        done += high;
        pos += high * rod_size;
    }
    kept.copy(data, copy_from, pos - copy_from);
    kept.copy(data, 0, head);
    kept.finish();
    moved.finish();
    decisions.append_reversed(forward);
    PassCounts counts;
    counts.low = checked_i32(forward.size());
    counts.high = checked_sub(checked_i32(rods), counts.low);
    return counts;
}

void CentrifugePass(CycleState& cycle, unsigned rod_size, RunObserver& observer) {
    const PassCounts counts =
        centrifuge(cycle.DataBits, rod_size, cycle.spare, cycle.DecisionArray);
    cycle.LowRods = checked_add(cycle.LowRods, counts.low);
    cycle.HighRods = checked_add(cycle.HighRods, counts.high);
    std::swap(cycle.DataBits, cycle.spare);
    checkpoint(observer);
}

}  // namespace quorvane
