// run_files.h -- the run behind Start on files: Load File, reading the input, writing the output.
#pragma once

#include <cstdint>
#include <string>

#include "run/run_driver.h"

namespace quorvane {

enum class LoadResult {
    Accepted,  // opened; the direction of the next run set from the name
    Refused,   // outside the size limit (Message::SizeLimit); the file is closed
};

// Where a run's output goes (the command line's -o, -c, -f, --no-check and test; the window uses
// the defaults).
struct RunOptions {
    std::string output_path;      // empty: named from the input and the direction
    bool dry_run = false;         // restore or pack in memory only, write nothing
    bool replace = true;          // an existing output file may be replaced
    bool integrity_check = true;  // packing: the integrity trailer follows the rod stream
    int output_descriptor = -1;   // write there (standard output) instead of a file
};

// Opens path for reading as the next run's input. Raises EInOutError when it cannot be opened
// and ECorruptData for a rod file larger than any rod file can be.
LoadResult load_file(Engine& e, const std::string& path);

// The same for a file already open for reading (of size bytes), named path.
LoadResult load_opened_file(Engine& e, const std::string& path, FileHandle file, int64_t size);

// The mode button: the direction of the next run.
void set_direction(Engine& e, bool unpacking);

// The run: reads the loaded file, packs it (unpacking = false) or restores it, and writes the
// output atomically once the engine has its result. Errors other than cancellation are raised
// after the closing steps have run.
RunResult ProcessRun(Engine& e, bool unpacking, const RunOptions& options = {});

}  // namespace quorvane
