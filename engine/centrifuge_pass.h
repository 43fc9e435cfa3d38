// centrifuge_pass.h -- the rod split and one centrifuge pass over the working data.
//
// A pass cuts the data from its end into rods of RodSize bits. A low rod (its bit RodSize-1 is 1)
// gives its last bit to the decisions and shrinks by one; a high rod stays whole. The outputs keep
// the rods' order, and the short head that fills no rod moves from the front to the end. The
// decisions of a pass are taken from the last rod to the first.
#pragma once

#include <cstdint>

#include "engine/bit_string.h"
#include "engine/cpu_features.h"
#include "engine/run_observer.h"

namespace quorvane {

// What a packing cycle's passes work on; a cycle starts from a fresh one.
struct CycleState {
    BitString DataBits;       // the working data, replaced by every pass
    BitString DecisionArray;  // the cycle's decision bits, eight to a byte, the first in bit 7
    int32_t PassDepth = 1;    // the pass being run (1..65535)
    int32_t LowRods = 0;      // rods split in this cycle, one decision bit each
    int32_t HighRods = 0;     // rods kept whole in this cycle

    // The data before the last pass; its buffer takes the next pass's output, so that a pass
    // allocates nothing.
    BitString spare;
};

struct PassCounts {
    int32_t low = 0;   // rods split (decision bits given)
    int32_t high = 0;  // rods kept whole
};

// Splits the rod of rod_size bits at position pos of data: a low rod (its bit rod_size-1 is 1)
// gives its last bit to decisions and the result is true; a high rod stays whole. The rod's
// output (all of it, or all but its last bit) is left for the caller to copy.
inline bool SplitRod(const BitString& data, size_t pos, unsigned rod_size, BitWriter& decisions) {
    if (!data[pos + rod_size - 2]) return false;
    decisions.put(data[pos + rod_size - 1] ? 1 : 0, 1);
    return true;
}

// One pass over data into out (replaced); the pass's decision bits are appended to decisions in
// decision order. path selects the kernel, one of kernel_paths().
PassCounts centrifuge(const BitString& data, unsigned rod_size, BitString& out,
                      BitString& decisions, KernelPath path = best_kernel_path());

// One pass over DataBits: adds the decisions to DecisionArray and the rods to LowRods and
// HighRods (overflow-checked). The data before the pass is left in spare. The caller reports it.
void CentrifugePass(CycleState& cycle, unsigned rod_size, RunObserver& observer);

}  // namespace quorvane
