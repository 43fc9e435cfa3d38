// run_output.h -- the one place a run's output file is written, in either direction.
#pragma once

#include "run/run_state.h"

namespace quorvane {

// Turns StreamBits into OutputBuffer/OutputByteCount (a packed stream followed by its integrity
// trailer when options ask for it), writes the output (WriteOutputFile; nothing in a dry run),
// and shows "Ready". Returns Written, Tested (dry run) or DeviceFull.
RunOutcome WriteZivIduvBitsBufferToFile(Engine& e, const std::string& OutputPath,
                                        const RunOptions& options);

// Writes OutputByteCount bytes of OutputBuffer to OutputPath (or options' descriptor),
// atomically, with the loaded file's permissions: a full device leaves the old file (if any) as
// it was, keeps the reason in write_error and shows "Vexion Mode  : Failed !". Without
// options.replace an existing file is never replaced, also not one that appeared during the run.
RunOutcome WriteOutputFile(Engine& e, const std::string& OutputPath, const RunOptions& options);

}  // namespace quorvane
