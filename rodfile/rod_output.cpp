// rod_output.cpp -- the output file of a run.
#include "rodfile/rod_output.h"

#include "engine/bit_codecs.h"
#include "rodfile/atomic_file.h"

namespace quorvane {

std::string OutputName(const std::string& input, bool unpacking) {
    if (!unpacking) return input + ".rod";
    return input.substr(0, input.size() >= 4 ? input.size() - 4 : 0);
}

void WriteZivIduvBitsBufferToFile(Engine& e) {
    EngineState& st = e.st;
    st.OutputByteCount = BitsToBuffer(st.StreamBits, st.OutputBuffer);
    WriteOutputFile(e);
    st.OutputReady = true;
    e.ui.set_label(Label::DecisionsLabel, "Ready");
    e.ui.set_label(Label::Label_9, "Ready");
    e.ui.set_label(Label::OutputLabel,
                   "Bits Output  : " + dec(static_cast<int64_t>(st.StreamBits.size())));
    e.ui.pump();
}

void WriteOutputFile(Engine& e) {
    EngineState& st = e.st;
    st.OutputPath = st.Options.output_path.empty() ? OutputName(st.InputPath, st.RunUnpacking)
                                                   : st.Options.output_path;
    const auto count = static_cast<size_t>(st.OutputByteCount);
    bool complete = true;
    if (!st.Options.dry_run) {
        AtomicFile file(st.OutputPath);
        complete = file.write(st.OutputBuffer.data(), count) == count;
        // A cancel while the file is pending leaves nothing behind.
        e.ui.pump();
        if (complete) file.commit();
    }
    st.OutputWritten = complete && !st.Options.dry_run;
    if (complete) {
        e.ui.set_label(Label::ModeLabel, st.RunUnpacking ? "Vexion Mode  : Testing only"
                                                         : "Vexion Mode  : Succesfull");
    } else {
        e.ui.set_label(Label::ModeLabel, "Vexion Mode  : Failed !");
    }
    e.ui.pump();
}

}  // namespace quorvane
