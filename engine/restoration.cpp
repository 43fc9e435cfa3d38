// restoration.cpp -- reverse passes, one cycle at a time, with bounds a corrupt stream cannot pass.
#include "engine/restoration.h"

#include <algorithm>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "engine/checked_math.h"
#include "rodfile/rod_header.h"

namespace quorvane {
namespace {

// A restored stream is never larger than the largest rod file a run may write or read.
constexpr size_t kMaxStreamBits = size_t{16} * 1024 * 1024 * 8;

bool fail(Engine& e) {
    e.ui.show_message(kRestoreFailedMessage);
    e.st.StreamBits.clear();
    return false;
}

#if defined(__x86_64__)
bool have_bmi2() {
    static const bool has = __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
    return has;
}

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

bool ReversePass(Engine& e) {
    EngineState& st = e.st;
    int64_t d = static_cast<int64_t>(st.DecisionBits.size());
    BitString restored;
    restored.reserve(st.DataBits.size() + st.DecisionBits.size() + st.TrailingBits.size());
    size_t consumed = 0;
    if (!reverse_rods(st.DataBits, st.RodSize, st.DecisionBits, d, st.HighRods, restored,
                      consumed)) {
        return false;
    }
    BitString next;
    next.reserve(st.DataBits.size() - consumed + st.TrailingBits.size() + restored.size());
    next.append_range(st.DataBits, consumed, st.DataBits.size() - consumed);
    if (st.TrailingPending) {
        next.append(st.TrailingBits);
        st.TrailingPending = false;
    }
    next.append(restored);
    st.DataBits = std::move(next);
    st.BitsOut = checked_i32(st.DataBits.size());
    st.DecisionBits.truncate(static_cast<size_t>(d));
    e.ui.pump();
    st.PassDepth = std::max(0, st.PassDepth - 1);

    FrontEnd& ui = e.ui;
    ui.set_label(Label::DecisionsLabel, d > 0 ? dec(d) : "Restored");
    ui.set_gauge_progress(Gauge::CentriGauge2, std::abs(int64_t{st.LowRods} - d));
    ui.set_label(Label::Label_9, st.HighRods > 0 ? dec(st.HighRods) : "Restored");
    ui.set_label(Label::OutputLabel, "Bits Output  : " + dec(st.BitsOut));
    SetDepthLabel(e, DepthText(st.CycleCount, st.PassDepth));
    ui.set_gauge_progress(Gauge::LoopProgressBar, int64_t{st.HeaderPassDepth} - st.PassDepth);
    ui.set_label(Label::MarkerLabel, dec(st.BitsOut % 8));
    ui.set_label(Label::StreamLabel, "Vexion Data  : " + dec(st.BitsOut / 8) + " bytes");
    ui.pump();
    return true;
}

bool UndoCycle(Engine& e) {
    EngineState& st = e.st;
    st.StreamBits.clear();
    st.HeaderPassDepth = st.PassDepth;
    const int64_t limit = int64_t{st.PassDepth} + kExtraReversePasses;
    for (int64_t passes = 1;; ++passes) {
        if (!ReversePass(e)) return false;
        e.ui.pump();
        if (st.HighRods < 0) return false;
        if (st.DecisionBits.empty() && st.HighRods == 0) return true;
        if (passes >= limit) return false;
    }
}

bool RestoreStream(Engine& e) {
    EngineState& st = e.st;
    ReadInFileHeader(e);
    e.ui.pump();
    const int64_t expected_bits = int64_t{st.OriginalSize} * 8;
    // Packing needs at least one split rod, so no stream ever stands for an empty file.
    if (expected_bits == 0) return fail(e);
    for (;;) {
        const int32_t cycle = st.CycleCount;
        if (!UndoCycle(e)) return fail(e);
        st.StreamBits = std::move(st.DataBits);
        st.DataBits.clear();
        if (cycle <= 1) break;
        if (st.StreamBits.size() > kMaxStreamBits) return fail(e);
        st.CurrentSize = checked_i32(st.StreamBits.size() / 8);
        ReadInFileHeader(e);
        // Every inner stream was made by the cycle before: its number counts down by one.
        if (st.CycleCount != cycle - 1) return fail(e);
    }
    if (static_cast<int64_t>(st.StreamBits.size()) != expected_bits) return fail(e);
    e.ui.set_gauge_progress(Gauge::ProcessGauge, st.OriginalSize);
    e.ui.pump();
    return true;
}

}  // namespace quorvane
