// Fuzz target: arbitrary bytes (82..4096 after two setting bytes) packed with arbitrary settings;
// whenever packing succeeds, restoring the stream must give the bytes back, and packing again
// must give the same stream.
#include <algorithm>
#include <cstdlib>

#include "engine/errors.h"
#include "fuzz/fuzz_support.h"
#include "run/run_driver.h"

namespace {

quorvane::RunResult pack(const uint8_t* bytes, size_t size, const quorvane::Settings& settings) {
    quorvane::SilentObserver ui;
    return quorvane::pack_buffer(std::span(bytes, size), settings, ui, false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quorvane;
    if (size < 2 + 82 || size > 2 + 4096) return 0;
    Settings settings;
    fuzz::apply_setting_byte(data[0], settings);
    const uint8_t more = data[1];
    settings.single = (more & 1) != 0;
    if ((more & 2) != 0) settings.loop_count = 5;
    settings.depth = 1 + (more >> 2) % 60;
    const uint8_t* input = data + 2;
    const size_t length = size - 2;
    try {
        const RunResult packed = pack(input, length, settings);
        if (!packed.successful()) return 0;
        const RunResult again = pack(input, length, settings);
        if (again.outcome != packed.outcome || again.bytes != packed.bytes) std::abort();
        SilentObserver ui;
        const RunResult restored = unpack_buffer(packed.bytes, settings, ui);
        if (restored.outcome != RunOutcome::Tested ||
            !std::equal(restored.bytes.begin(), restored.bytes.end(), input, input + length) ||
            restored.bytes.size() != length) {
            std::abort();
        }
    } catch (const EngineError&) {
        std::abort();  // packing an ordinary file raises nothing
    }
    return 0;
}
