// reference_model.cpp -- the text-form model, step by step.
#include "tests/reference_model.h"

#include <algorithm>

namespace quorvane::model {

std::string CopyBits(const std::string& bits, long start, long count) {
    if (bits.empty() || count < 0) return "";
    if (start < 1) start = 1;
    if (start > static_cast<long>(bits.size())) return "";
    return bits.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count));
}

long BitsToDecimal(const std::string& bits) {
    long result = 0;
    const long length = static_cast<long>(bits.size());
    for (long i = 1; i <= length; ++i) {
        const long digit = bits[static_cast<size_t>(i - 1)] - '0';
        result += digit * (1L << (length - i));
    }
    return result;
}

std::string DecimalToBits(long value, int width) {
    std::string out;
    for (int i = 0; i < width; ++i) {
        const long weight = 1L << (width - 1 - i);
        if (value / weight == 1) {
            out += '1';
            value -= weight;
        } else {
            out += '0';
        }
    }
    return out;
}

std::string ByteToBits(uint8_t byte) {
    return DecimalToBits(byte, 8);
}

namespace {

void SplitRod(PassState& s, const std::string& rod, std::string& output) {
    const int r = s.rod_size;
    if (CopyBits(rod, r - 1, 1) == "1") {
        output = CopyBits(rod, 1, r - 1);
        s.pending += CopyBits(rod, r, 1);
        if (s.pending.size() == 8) {
            s.decisions.push_back(static_cast<uint8_t>(BitsToDecimal(s.pending)));
            s.pending.clear();
        }
        ++s.low_rods;
    } else {
        output = rod;
        ++s.high_rods;
    }
}

}  // namespace

void CentrifugePass(PassState& s) {
    const int r = s.rod_size;
    const long length = static_cast<long>(s.data.size());
    long p = length - r + 1;
    // Outputs are prepended one by one; collecting them and joining in reverse is the same text.
    std::vector<std::string> outputs;
    std::string rod = CopyBits(s.data, p, r);
    while (static_cast<int>(rod.size()) == r) {
        std::string output;
        SplitRod(s, rod, output);
        outputs.push_back(output);
        p -= r;
        if (p < 1) {
            rod = CopyBits(s.data, 1, r - (1 - p));
            p = 1;
        } else {
            rod = CopyBits(s.data, p, r);
        }
    }
    std::string pass;
    for (auto it = outputs.rbegin(); it != outputs.rend(); ++it)
        pass += *it;
    s.data = pass + rod;
}

std::string DecisionText(const PassState& s) {
    std::string text;
    for (uint8_t byte : s.decisions)
        text += ByteToBits(byte);
    return text + s.pending;
}

void ReversePass(ReverseState& s) {
    const int r = s.rod_size;
    long d = static_cast<long>(s.decisions.size());
    std::string restored;
    for (;;) {
        const std::string test = CopyBits(s.data, r - 1, 1);
        std::string rod;
        if (test == "1") {
            if (d <= 0) s.clipped = true;
            rod = CopyBits(s.data, 1, r - 1) + CopyBits(s.decisions, d, 1);
            s.data = CopyBits(s.data, r, static_cast<long>(s.data.size()));
            --d;
        } else {
            rod = CopyBits(s.data, 1, r);
            s.data = CopyBits(s.data, r + 1, static_cast<long>(s.data.size()));
            --s.high_rods;
        }
        restored += rod;
        const long left = static_cast<long>(s.data.size());
        if (left < r - 1) break;
        if (left == r - 1 && CopyBits(s.data, r - 1, 1) != "1") break;
        if (d == 0 && s.high_rods == 0) break;
    }
    if (s.trailing_pending) {
        s.data = s.data + s.trailing + restored;
        s.trailing_pending = false;
    } else {
        s.data = s.data + restored;
    }
    s.decisions = CopyBits(s.decisions, 1, d);
}

}  // namespace quorvane::model
