// run_output.cpp -- the output of a run.
#include "run/run_output.h"

#include <algorithm>

#include "engine/bit_codecs.h"
#include "engine/checked_math.h"
#include "rodfile/rod_trailer.h"

namespace quorvane {

void WriteZivIduvBitsBufferToFile(Engine& e, const OutputWrite& write, bool integrity_check,
                                  RunResult& result) {
    RunState& run = e.run;
    std::vector<uint8_t>& bytes = result.bytes;
    bytes.clear();
    const int32_t count = BitsToBuffer(run.StreamBits, bytes);
    bytes.resize(static_cast<size_t>(count));
    if (!run.unpacking && integrity_check) {
        const auto trailer =
            build_trailer(bytes, static_cast<uint32_t>(run.SourceByteCount), run.source_crc);
        bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    }
    result.OutputByteCount = checked_i32(bytes.size());
    result.outcome = RunOutcome::Tested;
    if (write) result.outcome = write(bytes, result.write_error);
    switch (result.outcome) {
        case RunOutcome::Written:
            e.observer.status(RunStatus::Written);
            break;
        case RunOutcome::DeviceFull:
            e.observer.status(RunStatus::WriteFailed);
            break;
        default:
            e.observer.status(RunStatus::Tested);
            break;
    }
    e.observer.output_ready(static_cast<int64_t>(run.StreamBits.size()));
    checkpoint(e.observer);
}

}  // namespace quorvane
