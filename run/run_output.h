// run_output.h -- the output a run makes, in either direction, and where it goes.
#pragma once

#include "run/run_driver.h"

namespace quorvane {

// Turns StreamBits into the output's bytes (a packed stream followed by its integrity trailer
// when integrity_check is set), hands them to write (absent: nothing is written, the outcome is
// Tested), reports the outcome and "Ready", and fills result's outcome, bytes and counts.
void WriteZivIduvBitsBufferToFile(Engine& e, const OutputWrite& write, bool integrity_check,
                                  RunResult& result);

}  // namespace quorvane
