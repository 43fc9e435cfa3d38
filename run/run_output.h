// run_output.h -- the one place a run's output file is written, in either direction.
#pragma once

#include "run/run_state.h"

namespace quorvane {

// Turns StreamBits into OutputBuffer/OutputByteCount, writes the output file (WriteOutputFile;
// nothing in a dry run), and shows "Ready". Returns Written, Tested (dry run) or DeviceFull.
RunOutcome WriteZivIduvBitsBufferToFile(Engine& e, const std::string& OutputPath, bool dry_run);

// Writes OutputByteCount bytes of OutputBuffer to OutputPath, atomically: a full device leaves the
// old file (if any) as it was and shows "Vexion Mode  : Failed !".
RunOutcome WriteOutputFile(Engine& e, const std::string& OutputPath, bool dry_run);

}  // namespace quorvane
