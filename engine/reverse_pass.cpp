// reverse_pass.cpp -- the reverse pass, 64 data bits at a time for rod size 2.
#include "engine/reverse_pass.h"

#include <algorithm>
#include <cstdlib>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "engine/checked_math.h"
#include "engine/cpu_features.h"
#include "engine/status_texts.h"

namespace quorvane {
namespace {

#if defined(__x86_64__)
// Rod size 2, 64 data bits at a time. A rod starting with 1 is a split rod of one data bit; one
// starting with 0 is a whole rod of two. So a position is the start of a rod unless the position
// before it started a rod with 0: within a run of zeros that begins at a rod start, every other
// zero starts a rod, and the 1 after the run starts one when the run has even length. The runs
// are told apart by parity with one carry-propagating addition. Only chunks in which no pass
// end and no shortage of decisions or whole rods can occur are done here; returns the position
// reached and, in straddle, whether the last whole rod continues past it.
__attribute__((target("bmi2,popcnt"))) size_t reverse_pairs(const BitString& data,
                                                            const BitString& decisions,
                                                            int64_t& decisions_left,
                                                            int32_t& high_rods, BitString& restored,
                                                            bool& straddle) {
    constexpr uint64_t kEven = 0x5555555555555555ULL;  // stream positions 0, 2, 4, ...
    constexpr uint64_t kOdd = ~kEven;
    const size_t length = data.size();
    size_t pos = 0;
    uint64_t carry = 0;  // 1: position pos is the second bit of a whole rod
    while (pos + 66 <= length) {
        const uint64_t window = data.window(pos);
        const uint64_t w = reverse_bits64(window);  // stream position j in bit j
        const uint64_t zeros = ~w;
        const uint64_t run_starts = zeros & ~(zeros << 1);
        const uint64_t even_starts = run_starts & kEven & ~carry;
        const uint64_t in_even_runs = zeros & ~(zeros + even_starts);
        const uint64_t in_odd_runs = zeros & ~in_even_runs;
        const uint64_t not_start =
            ((in_even_runs << 1) & kOdd) | ((in_odd_runs << 1) & kEven) | carry;
        const uint64_t low = ~not_start & w;
        const uint64_t whole = ~not_start & zeros;
        const auto n_low = static_cast<int64_t>(_mm_popcnt_u64(low));
        const auto n_whole = static_cast<int32_t>(_mm_popcnt_u64(whole));
        const int64_t d_after = decisions_left - n_low;
        const int32_t h_after = high_rods - n_whole;
        if (d_after < 0 || h_after < 0 || (d_after == 0 && h_after == 0)) break;
        // Output: every data bit, and after each split rod's bit its decision bit.
        const uint64_t low_msb = reverse_bits64(low);
        for (int half = 0; half < 2; ++half) {
            const uint64_t bits32 = half == 0 ? window >> 32 : window & 0xFFFFFFFFULL;
            const uint64_t low32 = half == 0 ? low_msb >> 32 : low_msb & 0xFFFFFFFFULL;
            const uint64_t data_slots = _pdep_u64(bits32, kOdd);
            const uint64_t decision_slots = _pdep_u64(low32, kOdd) >> 1;
            const auto n = static_cast<unsigned>(_mm_popcnt_u64(low32));
            uint64_t decision_bits = 0;
            if (n != 0) {
                // Newest decision first: the used bits in reverse order.
                const uint64_t used = decisions.extract(static_cast<size_t>(decisions_left) - n, n);
                decision_bits = _pdep_u64(reverse_bits64(used) >> (64 - n), decision_slots);
                decisions_left -= n;
            }
            restored.append_bits(_pext_u64(data_slots | decision_bits, kOdd | decision_slots),
                                 32 + n);
        }
        high_rods = h_after;
        carry = (whole >> 63) & 1;
        pos += 64;
    }
    straddle = carry != 0;
    return pos;
}
#endif

}  // namespace

bool reverse_rods(const BitString& data, unsigned rod_size, const BitString& decisions,
                  int64_t& decisions_left, int32_t& high_rods, BitString& restored,
                  size_t& consumed, bool allow_wide) {
    const size_t length = data.size();
    const size_t split = rod_size - 1;
    const auto pass_ends = [&](size_t at) {
        const size_t rest = length - at;
        return rest < split || (rest == split && !data[at + split - 1]) ||
               (decisions_left == 0 && high_rods == 0);
    };
    size_t pos = 0;
#if defined(__x86_64__)
    if (allow_wide && rod_size == 2 && have_bmi2()) {
        bool straddle = false;
        pos = reverse_pairs(data, decisions, decisions_left, high_rods, restored, straddle);
        if (straddle) {
            // The second bit of a whole rod counted already.
            restored.push_back(data[pos]);
            pos += 1;
            if (pass_ends(pos)) {
                consumed = pos;
                return true;
            }
        }
    }
#else
    (void)allow_wide;
#endif
    // The output is the data with a decision bit put back after every split rod: copy the
    // stretches between them whole.
    size_t copy_from = pos;
    bool ok = true;
    for (;;) {
        const size_t left = length - pos;
        if (left >= split && data[pos + split - 1]) {
            if (decisions_left <= 0) {
                ok = false;
                break;
            }
            pos += split;
            restored.append_range(data, copy_from, pos - copy_from);
            restored.push_back(decisions[static_cast<size_t>(--decisions_left)]);
            copy_from = pos;
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
    restored.append_range(data, copy_from, pos - copy_from);
    consumed = pos;
    return ok;
}

bool ReversePass(RoundState& round, unsigned rod_size, FrontEnd& ui) {
    int64_t d = static_cast<int64_t>(round.DecisionBits.size());
    BitString restored;
    restored.reserve(round.DataBits.size() + round.DecisionBits.size() + round.TrailingBits.size());
    size_t consumed = 0;
    if (!reverse_rods(round.DataBits, rod_size, round.DecisionBits, d, round.HighRods, restored,
                      consumed)) {
        return false;
    }
    BitString next;
    next.reserve(round.DataBits.size() - consumed + round.TrailingBits.size() + restored.size());
    next.append_range(round.DataBits, consumed, round.DataBits.size() - consumed);
    if (round.TrailingPending) {
        next.append(round.TrailingBits);
        round.TrailingPending = false;
    }
    next.append(restored);
    round.DataBits = std::move(next);
    round.BitsOut = checked_i32(round.DataBits.size());
    round.DecisionBits.truncate(static_cast<size_t>(d));
    ui.pump();
    round.PassDepth = std::max(0, round.PassDepth - 1);

    ui.set_label(Label::DecisionsLabel, d > 0 ? std::to_string(d) : std::string(kRestored));
    ui.set_gauge_progress(Gauge::CentriGauge2, std::abs(int64_t{round.LowRods} - d));
    ui.set_label(Label::Label_9,
                 round.HighRods > 0 ? std::to_string(round.HighRods) : std::string(kRestored));
    ui.set_label(Label::OutputLabel, bits_output_text(round.BitsOut));
    ui.set_label(Label::LoopCountLabel, depth_text(round.CycleCount, round.PassDepth));
    ui.set_gauge_progress(Gauge::LoopProgressBar, int64_t{round.HeaderPassDepth} - round.PassDepth);
    ui.set_label(Label::MarkerLabel, std::to_string(round.BitsOut % 8));
    ui.set_label(Label::StreamLabel, data_text(round.BitsOut / 8));
    ui.pump();
    return true;
}

}  // namespace quorvane
