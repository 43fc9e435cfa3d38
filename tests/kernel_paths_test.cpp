// The kernel paths against each other on data as large as a pass meets (the text model is too
// slow there): every path gives the same pass and the same reverse pass, bit for bit.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>

#include "engine/centrifuge_pass.h"
#include "engine/reverse_pass.h"
#include "tests/test_support.h"

namespace quorvane {
namespace {

struct Shape {
    const char* name;
    double ones;  // share of ones in the dense stretches
    bool zero_stretches;
};

// One path's pass and the reverse pass undoing it.
struct Result {
    BitString out;
    BitString decisions;
    bool ok = false;
    BitString restored;
    size_t consumed = 0;
    int64_t left = 0;
    int32_t high = 0;
};

TEST(KernelPaths, SamePassesOnLargeData) {
    std::mt19937 rng(2312);
    const Shape shapes[] = {{"random", 0.5, false}, {"ones", 0.9, false}, {"mixed", 0.3, true}};
    const unsigned rod_sizes[] = {2, 3, 4, 5, 7, 8, 9, 16, 31, 64, 65, 128};
    for (const Shape& shape : shapes) {
        for (unsigned r : rod_sizes) {
            // Up to the largest input's 262136 bits, at a length no rod size divides evenly.
            const size_t length = 262136 - rng() % 4096;
            const std::string text = shape.zero_stretches
                                         ? test::zero_heavy_bit_text(rng, length)
                                         : test::random_bit_text(rng, length, shape.ones);
            const BitString data = test::bits(text);
            Result first;
            for (KernelPath path : kernel_paths()) {
                const std::string where = std::string(shape.name) + " R=" + std::to_string(r) +
                                          " path " + kernel_path_name(path);
                Result result;
                const PassCounts counts = centrifuge(data, r, result.out, result.decisions, path);
                // Undone at once: the rods come back from the start of the pass's output.
                result.left = static_cast<int64_t>(result.decisions.size());
                result.high = counts.high;
                result.ok = reverse_rods(result.out, r, result.decisions, result.left, result.high,
                                         result.restored, result.consumed, path);
                if (path == KernelPath::Portable) {
                    ASSERT_TRUE(result.ok) << where;
                    first = std::move(result);
                    continue;
                }
                ASSERT_EQ(result.out, first.out) << where;
                ASSERT_EQ(result.decisions, first.decisions) << where;
                ASSERT_EQ(result.ok, first.ok) << where;
                ASSERT_EQ(result.restored, first.restored) << where;
                EXPECT_EQ(result.consumed, first.consumed) << where;
                EXPECT_EQ(result.left, first.left) << where;
                EXPECT_EQ(result.high, first.high) << where;
            }
        }
    }
}

}  // namespace
}  // namespace quorvane
