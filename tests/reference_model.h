// reference_model.h -- a plain model of the engine on the text form ("0101..."), written for
// clarity, not speed: the packed engine is tested against it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane::model {

std::string CopyBits(const std::string& bits, long start, long count);
long BitsToDecimal(const std::string& bits);
std::string DecimalToBits(long value, int width);  // value must fit
std::string ByteToBits(uint8_t byte);

struct PassState {
    int rod_size = 2;
    std::string data;
    std::string pending;             // decision bits not yet stored as a byte (0..7)
    std::vector<uint8_t> decisions;  // full decision bytes
    long low_rods = 0;
    long high_rods = 0;
};

// One centrifuge pass exactly as the rods are cut: from the end, head moved to the end.
void CentrifugePass(PassState& s);

// The decision bits made so far, in order (full bytes, then the pending bits).
std::string DecisionText(const PassState& s);

struct ReverseState {
    int rod_size = 2;
    std::string data;
    std::string decisions;
    long high_rods = 0;
    std::string trailing;
    bool trailing_pending = false;
    bool clipped = false;  // a split rod found no decision bit left
};

// One reverse pass as written: rods read from the start, decisions used newest first, with the
// clipping rule when they run out.
void ReversePass(ReverseState& s);

}  // namespace quorvane::model
