// run_driver.cpp -- a run from its input's bytes to its output's bytes, in either direction.
#include "run/run_driver.h"

#include <algorithm>

#include "chip/chip_code.h"
#include "engine/bit_codecs.h"
#include "engine/checked_math.h"
#include "engine/errors.h"
#include "rodfile/rod_trailer.h"
#include "run/centrifuge_cycle.h"
#include "run/restoration.h"
#include "run/run_output.h"

namespace quorvane {
namespace {

constexpr size_t kReadBlock = 1024;

// Adds one block of the input to StreamBits.
void take_block(Engine& e, std::span<const uint8_t> block) {
    RunState& run = e.run;
    run.SourceByteCount = checked_add(run.SourceByteCount, checked_i32(block.size()));
    if (run.SourceByteCount > kMaxRodFileBytes) {
        throw ECorruptData("File larger than 16 MiB");
    }
    run.BitsIn = checked_mul(run.SourceByteCount, 8);
    run.source_crc = crc32_of(block, run.source_crc);
    for (const uint8_t byte : block)
        ByteToBits(byte, run.StreamBits);
    e.observer.input_read(run.SourceByteCount);
}

void check_loop_count(Engine& e) {
    if (e.live(LiveSetting::LoopCount).loop_count == e.run.CycleCount) e.set_auto_stop(true);
}

// Reports a cycle once the run has counted it.
void report_cycle(Engine& e) {
    e.run.last_cycle.cycles_counted = e.run.CycleCount;
    e.observer.cycle_done(e.run.last_cycle);
}

// The cycles of a packing run; Finalised or RolledBack leave the stream to write in StreamBits.
CycleEnd pack_cycles(Engine& e) {
    RunState& run = e.run;
    run.CurrentSize = run.SourceByteCount;
    CycleEnd end = CycleEnd::NextCycle;
    if (e.live(LiveSetting::Single).single) {
        end = CentrifugeCycle(e);
        report_cycle(e);
        checkpoint(e.observer);
    } else {
        e.set_auto_stop(false);
        while (end == CycleEnd::NextCycle) {
            try {
                run.CurrentSize = checked_i32(run.StreamBits.size() / 8);
                end = CentrifugeCycle(e);
                if (end != CycleEnd::NotSuccessful) run.CycleCount = checked_add(run.CycleCount, 1);
                report_cycle(e);
            } catch (const ERunCancelled&) {
                throw;
            } catch (...) {
                // The loop count is checked after every cycle, also one that ended in an error.
                check_loop_count(e);
                throw;
            }
            check_loop_count(e);
        }
    }
    checkpoint(e.observer);
    return end;
}

// Everything between reading the rod size and the closing steps.
void run_steps(Engine& e, const InputFeed& read, const OutputWrite& write, bool integrity_check,
               RunResult& result) {
    RunState& run = e.run;
    e.observer.run_started(run.unpacking, e.live(LiveSetting::Lz77).lz77, run.CurrentSize);
    read([&e](std::span<const uint8_t> block) { take_block(e, block); });
    checkpoint(e.observer);
    result.SourceByteCount = run.SourceByteCount;
    if (!run.unpacking &&
        (run.SourceByteCount < kMinInputSize || run.SourceByteCount > kMaxInputSize)) {
        throw EngineError(std::string(kSizeLimitMessage));
    }
    bool have_output = false;
    if (run.unpacking) {
        run.CurrentSize = run.SourceByteCount;
        have_output = RestoreStream(e);
        if (!have_output) result.outcome = RunOutcome::RestoreFailed;
        result.content_checked = run.content_checked;
        result.cycles = run.cycles_undone;
        result.passes = run.passes_undone;
    } else {
        const CycleEnd end = pack_cycles(e);
        have_output = end == CycleEnd::Finalised || end == CycleEnd::RolledBack;
        if (!have_output) result.outcome = RunOutcome::NotSuccessful;
        if (have_output) result.cycles = decode_header(run.StreamBits).CycleCount;
    }
    if (have_output) WriteZivIduvBitsBufferToFile(e, write, integrity_check, result);
    checkpoint(e.observer);
    if (!run.unpacking && have_output && run.StreamBits.size() <= kTabletContentBits) {
        e.observer.chip_ready(run.StreamBits, run.HeaderDataBits);
    }
}

void close_run(Engine& e, bool not_successful) {
    e.observer.run_closed(not_successful, e.run.BitsIn, e.run.SourceByteCount);
}

// Feeds bytes in the blocks a file is read in, so that every caller sees the same progress.
InputFeed feed_of(std::span<const uint8_t> bytes) {
    return [bytes](const std::function<void(std::span<const uint8_t>)>& take) {
        for (size_t at = 0; at < bytes.size(); at += kReadBlock)
            take(bytes.subspan(at, std::min(kReadBlock, bytes.size() - at)));
    };
}

}  // namespace

RunResult run_engine(Engine& e, bool unpacking, int64_t input_size, const InputFeed& read,
                     const OutputWrite& write, bool integrity_check) {
    e.live(LiveSetting::RodSize);
    const std::string problem = rod_size_problem(e.settings.rod_size);
    if (!problem.empty()) throw EngineError(problem);
    e.run = RunState{};
    RunState& run = e.run;
    run.unpacking = unpacking;
    run.RodSize = static_cast<uint8_t>(e.settings.rod_size);
    run.CurrentSize = static_cast<int32_t>(std::clamp<int64_t>(input_size, 0, INT32_MAX));
    run.OriginalSize = run.CurrentSize;
    run.best.BestSize = run.CurrentSize;
    checkpoint(e.observer);
    RunResult result;
    try {
        run_steps(e, read, write, integrity_check, result);
    } catch (const ERunCancelled&) {
        close_run(e, false);
        e.observer.status(RunStatus::Stopped);
        RunResult cancelled;
        cancelled.outcome = RunOutcome::Cancelled;
        return cancelled;
    } catch (...) {
        // A run that a cycle found not successful shows it also when an error ends it after.
        close_run(e, !run.unpacking && run.last_cycle.fate == CycleFate::NotSuccessful);
        throw;
    }
    const bool not_successful = result.outcome == RunOutcome::NotSuccessful;
    close_run(e, not_successful);
    if (not_successful) e.observer.status(RunStatus::NotSuccessful);
    return result;
}

RunResult pack_buffer(std::span<const uint8_t> input, const Settings& settings,
                      RunObserver& observer, bool integrity_check) {
    Engine e(observer, settings);
    return run_engine(e, false, static_cast<int64_t>(input.size()), feed_of(input), {},
                      integrity_check);
}

RunResult unpack_buffer(std::span<const uint8_t> rod, const Settings& settings,
                        RunObserver& observer) {
    if (static_cast<int64_t>(rod.size()) > kMaxRodFileBytes) {
        throw ECorruptData("Rod file larger than 16 MiB");
    }
    Engine e(observer, settings);
    return run_engine(e, true, static_cast<int64_t>(rod.size()), feed_of(rod), {}, false);
}

}  // namespace quorvane
