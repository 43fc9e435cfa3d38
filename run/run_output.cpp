// run_output.cpp -- the output file of a run.
#include "run/run_output.h"

#include <algorithm>

#include "engine/bit_codecs.h"
#include "engine/checked_math.h"

#include "rodfile/rod_trailer.h"
#include "zstream/atomic_file.h"

namespace quorvane {
namespace {

void append_trailer(RunState& run) {
    const auto stream = std::span(run.OutputBuffer).first(static_cast<size_t>(run.OutputByteCount));
    const auto trailer =
        build_trailer(stream, static_cast<uint32_t>(run.SourceByteCount), run.source_crc);
    const auto at = static_cast<size_t>(run.OutputByteCount);
    run.OutputBuffer.resize(std::max(run.OutputBuffer.size(), at + trailer.size()));
    std::copy(trailer.begin(), trailer.end(),
              run.OutputBuffer.begin() + static_cast<ptrdiff_t>(at));
    run.OutputByteCount = checked_add(run.OutputByteCount, static_cast<int32_t>(trailer.size()));
}

}  // namespace

RunOutcome WriteZivIduvBitsBufferToFile(Engine& e, const std::string& OutputPath,
                                        const RunOptions& options) {
    RunState& run = e.run;
    run.OutputByteCount = BitsToBuffer(run.StreamBits, run.OutputBuffer);
    if (!run.unpacking && options.integrity_check) append_trailer(run);
    const RunOutcome outcome = WriteOutputFile(e, OutputPath, options);
    e.ui.set_label(Label::DecisionsLabel, kReady);
    e.ui.set_label(Label::Label_9, kReady);
    e.ui.set_label(Label::OutputLabel,
                   bits_output_text(static_cast<int64_t>(run.StreamBits.size())));
    e.checkpoint(observer);
    return outcome;
}

RunOutcome WriteOutputFile(Engine& e, const std::string& OutputPath, const RunOptions& options) {
    RunState& run = e.run;
    const auto count = static_cast<size_t>(run.OutputByteCount);
    RunOutcome outcome = RunOutcome::Tested;
    if (!options.dry_run) {
        OutputOptions output;
        output.replace = options.replace;
        output.permissions = e.input.permissions;
        output.descriptor = options.output_descriptor;
        AtomicFile file(OutputPath, output);
        const bool complete = file.write(run.OutputBuffer.data(), count) == count;
        // A cancel while the file is pending leaves nothing behind.
        e.checkpoint(observer);
        if (complete) {
            file.commit();
        } else {
            run.write_error = file.write_error();
        }
        outcome = complete ? RunOutcome::Written : RunOutcome::DeviceFull;
    }
    if (outcome == RunOutcome::DeviceFull) {
        e.ui.set_label(Label::ModeLabel, kModeFailed);
    } else {
        e.ui.set_label(Label::ModeLabel, run.unpacking ? kModeTestingOnly : kModeSuccessful);
    }
    e.checkpoint(observer);
    return outcome;
}

}  // namespace quorvane
