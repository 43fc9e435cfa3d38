// restoration.cpp -- one round per packing cycle, each checked against the header that began it.
#include "run/restoration.h"

#include "engine/checked_math.h"
#include "rodfile/rod_header.h"

namespace quorvane {
namespace {

bool fail(Engine& e) {
    e.ui.show_message(kRestoreFailedMessage);
    e.run.StreamBits.clear();
    return false;
}

}  // namespace

bool undo_cycle(RoundState& round, unsigned rod_size, FrontEnd& ui) {
    const int64_t limit = int64_t{round.PassDepth} + kExtraReversePasses;
    for (int64_t passes = 1;; ++passes) {
        if (!ReversePass(round, rod_size, ui)) return false;
        ui.pump();
        if (round.HighRods < 0) return false;
        if (round.DecisionBits.empty() && round.HighRods == 0) return true;
        if (passes >= limit) return false;
    }
}

bool RestoreStream(Engine& e) {
    RunState& run = e.run;
    RoundState& round = run.round;
    const bool lz77 = e.settings.lz77_on();
    ReadInFileHeader(round, run.StreamBits, run.CurrentSize, run.BitsIn, lz77, e.ui, run.zlib);
    run.OriginalSize = round.OriginalSize;
    e.ui.pump();
    const int64_t expected_bits = int64_t{run.OriginalSize} * 8;
    // Packing needs at least one split rod, so no stream ever stands for an empty file.
    if (expected_bits == 0) return fail(e);
    for (;;) {
        const int32_t cycle = round.CycleCount;
        run.StreamBits.clear();
        if (!undo_cycle(round, run.RodSize, e.ui)) return fail(e);
        run.StreamBits = std::move(round.DataBits);
        round.DataBits.clear();
        if (cycle <= 1) break;
        if (static_cast<int64_t>(run.StreamBits.size()) > kMaxRodFileBytes * 8) return fail(e);
        run.CurrentSize = checked_i32(run.StreamBits.size() / 8);
        ReadInFileHeader(round, run.StreamBits, run.CurrentSize, run.BitsIn, lz77, e.ui, run.zlib);
        run.OriginalSize = round.OriginalSize;
        // Every inner stream was made by the cycle before: its number counts down by one.
        if (round.CycleCount != cycle - 1) return fail(e);
    }
    if (static_cast<int64_t>(run.StreamBits.size()) != expected_bits) return fail(e);
    e.ui.set_gauge_progress(Gauge::ProcessGauge, run.OriginalSize);
    e.ui.pump();
    return true;
}

}  // namespace quorvane
