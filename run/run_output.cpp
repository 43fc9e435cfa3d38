// run_output.cpp -- the output file of a run.
#include "run/run_output.h"

#include "engine/bit_codecs.h"
#include "engine/status_texts.h"
#include "zstream/atomic_file.h"

namespace quorvane {

RunOutcome WriteZivIduvBitsBufferToFile(Engine& e, const std::string& OutputPath, bool dry_run) {
    RunState& run = e.run;
    run.OutputByteCount = BitsToBuffer(run.StreamBits, run.OutputBuffer);
    const RunOutcome outcome = WriteOutputFile(e, OutputPath, dry_run);
    e.ui.set_label(Label::DecisionsLabel, kReady);
    e.ui.set_label(Label::Label_9, kReady);
    e.ui.set_label(Label::OutputLabel,
                   bits_output_text(static_cast<int64_t>(run.StreamBits.size())));
    e.ui.pump();
    return outcome;
}

RunOutcome WriteOutputFile(Engine& e, const std::string& OutputPath, bool dry_run) {
    const RunState& run = e.run;
    const auto count = static_cast<size_t>(run.OutputByteCount);
    RunOutcome outcome = RunOutcome::Tested;
    if (!dry_run) {
        AtomicFile file(OutputPath);
        const bool complete = file.write(run.OutputBuffer.data(), count) == count;
        // A cancel while the file is pending leaves nothing behind.
        e.ui.pump();
        if (complete) file.commit();
        outcome = complete ? RunOutcome::Written : RunOutcome::DeviceFull;
    }
    if (outcome == RunOutcome::DeviceFull) {
        e.ui.set_label(Label::ModeLabel, kModeFailed);
    } else {
        e.ui.set_label(Label::ModeLabel, run.unpacking ? kModeTestingOnly : kModeSuccessful);
    }
    e.ui.pump();
    return outcome;
}

}  // namespace quorvane
