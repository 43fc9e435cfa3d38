// Fuzz target: arbitrary bytes restored as a rod file, under the rod size and LZ77 setting that
// the first byte chooses. Any outcome but a crash, a hang, a length mismatch or a file with an
// integrity trailer restored unchecked is fine.
#include <cstdlib>

#include "engine/errors.h"
#include "fuzz/fuzz_support.h"
#include "rodfile/rod_trailer.h"
#include "run/restoration.h"
#include "run/run_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quorvane;
    if (size < 1) return 0;
    Settings settings;
    fuzz::apply_setting_byte(data[0], settings);
    SilentObserver ui;
    Engine e(ui, settings);
    e.run.RodSize = static_cast<uint8_t>(settings.rod_size);
    e.run.StreamBits = BitString::from_bytes(data + 1, size - 1);
    e.run.CurrentSize = static_cast<int32_t>(size - 1);
    const bool has_trailer =
        find_trailer(std::span(data + 1, size - 1)).state == TrailerState::Valid;
    try {
        if (RestoreStream(e) &&
            (e.run.StreamBits.size() != 8 * static_cast<size_t>(e.run.OriginalSize) ||
             e.run.content_checked != has_trailer)) {
            std::abort();  // a success must have the length the header promised, and be checked
        }
    } catch (const EngineError&) {
    }
    return 0;
}
