// Fuzz target: arbitrary bytes (82..4096 after two setting bytes) packed with arbitrary settings;
// whenever packing succeeds, restoring the stream must give the bytes back, and packing again
// must give the same stream.
#include <cstdio>
#include <cstdlib>

#include "engine/errors.h"
#include "fuzz/fuzz_support.h"
#include "run/restoration.h"
#include "run/run_driver.h"
#include "run/run_state.h"

namespace {

quorvane::BitString pack(const uint8_t* bytes, size_t size, quorvane::RunSettings& settings,
                         bool& packed) {
    using namespace quorvane;
    SilentFrontEnd ui;
    Engine e(settings, ui);
    FileHandle file(fmemopen(const_cast<uint8_t*>(bytes), size, "rb"));
    if (!file || load_opened_file(e, "input", std::move(file), static_cast<int64_t>(size)) !=
                     LoadResult::Accepted) {
        std::abort();
    }
    RunOptions options;
    options.dry_run = true;
    packed = ProcessRun(e, false, options).successful();
    return e.run.StreamBits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quorvane;
    if (size < 2 + 82 || size > 2 + 4096) return 0;
    RunSettings settings;
    fuzz::apply_setting_byte(data[0], settings);
    const uint8_t more = data[1];
    if ((more & 1) != 0) settings.set(Setting::LoopMode, std::string(kSingleCycles));
    if ((more & 2) != 0) settings.set(Setting::LoopCount, "5");
    settings.set(Setting::Depth, std::to_string(1 + (more >> 2) % 60));
    const uint8_t* input = data + 2;
    const size_t length = size - 2;
    try {
        bool packed = false;
        const BitString stream = pack(input, length, settings, packed);
        if (!packed) return 0;
        bool again = false;
        RunSettings same = settings;
        if (pack(input, length, same, again) != stream || !again) std::abort();
        SilentFrontEnd ui;
        Engine r(settings, ui);
        r.run.RodSize = static_cast<uint8_t>(settings.integer(Setting::RodSize));
        r.run.StreamBits = stream;
        r.run.CurrentSize = static_cast<int32_t>(stream.size() / 8);
        if (!RestoreStream(r) || r.run.StreamBits != BitString::from_bytes(input, length))
            std::abort();
    } catch (const EngineError&) {
        std::abort();  // packing an ordinary file raises nothing
    }
    return 0;
}
