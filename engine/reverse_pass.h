// reverse_pass.h -- one reverse pass: undoing centrifuge passes rod by rod from the data's start.
//
// A reverse pass reads rods from the start of the data: a rod whose bit RodSize-1 is 1 was split
// and gets back the newest unused decision bit; any other rod is whole. The bits no rod took go
// back in front, as a forward pass had moved them to the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/bit_string.h"
#include "engine/cpu_features.h"
#include "engine/run_observer.h"

namespace quorvane {

// Where one reverse pass finds its split rods, before any output is written: the test bits of
// the split rods, one mask per word in stream order (most significant bit first), and the data
// bits the rods take. An entry without test bits marks a stretch of zero words instead.
struct ReversePlan {
    struct SplitWord {
        size_t word;
        uint64_t mask;
        size_t zero_words = 0;  // when mask is 0: the words from word on that are all zero
    };
    std::vector<SplitWord> splits;
    size_t split_count = 0;
    size_t consumed = 0;
    KernelPath path = KernelPath::Portable;  // of the scan; beyond Portable, written by words
};

// What one round of restoration (the undoing of one packing cycle) works on: the fields its
// header gave, and what the reverse passes use up. A round starts from a fresh one.
struct RoundState {
    // From the header.
    int32_t CycleCount = 0;
    int32_t PassDepth = 0;  // counted down by every reverse pass, never below 0
    int32_t TrailingBitCount = 0;
    int32_t LowRods = 0;
    int32_t HighRods = 0;  // whole rods still to restore
    int32_t DataBitCount = 0;
    int32_t OriginalSize = 0;
    int32_t header_passes = 0;  // PassDepth as the header gave it

    BitString DataBits;      // the data being restored
    BitString DecisionBits;  // the decision bits not yet used, oldest first
    BitString TrailingBits;  // the stored data's last TrailingBitCount bits
    bool TrailingPending = false;
    int32_t BitsOut = 0;  // length of the last reverse pass's result

    // Kept from pass to pass so that a pass allocates nothing.
    ReversePlan plan;
    BitString spare;
};

// Finds one pass's rods from the data's start. decisions_left counts the decision bits not yet
// used (a split rod uses the newest); high_rods counts whole rods still to come. False when a
// split rod finds no decision bit left, or the whole rods run out (the stream is then not one
// this program wrote). Runs of whole rods are passed over in one step; path selects the kernel
// (the word-parallel ones take rod sizes up to 64), one of kernel_paths().
bool plan_reverse(const BitString& data, unsigned rod_size, int64_t& decisions_left,
                  int32_t& high_rods, ReversePlan& plan, KernelPath path = best_kernel_path());

// Appends to out the rods plan found in data, each split rod followed by its decision bit;
// decisions_left is the count before the pass.
void write_reverse(const BitString& data, const BitString& decisions, int64_t decisions_left,
                   const ReversePlan& plan, BitString& out);

// Restores one pass's rods from data into restored. decisions_left counts the decision bits of
// decisions not yet used (they are used from the end); high_rods counts whole rods still to come.
// consumed receives the data bits the rods took. False when a split rod finds no decision bit
// left, or the whole rods run out (the stream is then not one this program wrote).
bool reverse_rods(const BitString& data, unsigned rod_size, const BitString& decisions,
                  int64_t& decisions_left, int32_t& high_rods, BitString& restored,
                  size_t& consumed, KernelPath path = best_kernel_path());

// One reverse pass over DataBits, with its statistics. False when the stream proves corrupt.
bool ReversePass(RoundState& round, unsigned rod_size, RunObserver& observer);

}  // namespace quorvane
