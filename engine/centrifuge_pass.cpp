// centrifuge_pass.cpp -- the pass, a word at a time where the rod size allows.
#include "engine/centrifuge_pass.h"

#include <algorithm>
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
    if (path != KernelPath::Portable && rod_size <= 64) {
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
