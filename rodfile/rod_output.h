// rod_output.h -- finalising a stream into bytes and writing the output file of a run.
#pragma once

#include "engine/engine_state.h"

namespace quorvane {

// The output name of a run over input: input + ".rod" when packing, input without its last four
// characters (the ".rod") when unpacking.
std::string OutputName(const std::string& input, bool unpacking);

// Turns StreamBits into OutputBuffer/OutputByteCount, writes the output file, sets OutputReady
// and shows "Ready".
void WriteZivIduvBitsBufferToFile(Engine& e);

// Writes OutputByteCount bytes of OutputBuffer to the run's output file, atomically: a full
// device leaves the old file (if any) as it was and shows "Vexion Mode  : Failed !".
void WriteOutputFile(Engine& e);

}  // namespace quorvane
