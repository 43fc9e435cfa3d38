// run_observer.h -- what the engine reports while it works, and what it asks of the caller.
//
// A run reports typed records (a pass, a cycle, a restoration round, reading progress, outcomes)
// and messages; the caller decides what to show. Between steps it asks whether to go on and, for
// the settings that may change during a run, for their current values. Every method has a
// default, so an observer overrides only what it uses.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/bit_string.h"
#include "engine/settings.h"

namespace quorvane {

// What became of a forward pass.
enum class PassFate {
    Ran,       // run; the cycle goes on from its result
    Undone,    // taken back: it changed nothing, broke the balance limit, or did not restore
    Fallback,  // the pass the cycle went back to after later ones were undone
};

struct PassRecord {
    int32_t cycle = 0;
    int32_t pass = 0;
    int64_t bits_in = 0;          // data bits before the pass
    int64_t bits_out = 0;         // data bits after it
    int64_t decision_bits = 0;    // decision bits of the cycle so far
    int32_t low_rods = 0;         // rods split in the cycle so far
    int32_t high_rods = 0;        // rods kept whole in the cycle so far
    int64_t depth_threshold = 0;  // the cycle's passes stop at this many bits
    int64_t level_bits = 0;       // the run stops once a stream is this small
    PassFate fate = PassFate::Ran;
    bool last = false;  // the cycle runs no further pass
};

// What a packing cycle ended with.
enum class CycleFate {
    Kept,          // a new best stream; another cycle follows
    Finalised,     // the stream to write is chosen
    RolledBack,    // the best earlier stream is written instead
    NotSuccessful  // nothing worth writing
};

struct CycleRecord {
    int32_t cycle = 0;
    int32_t passes = 0;       // passes kept in the cycle's stream
    int64_t start_bits = 0;   // the stream the cycle started from
    int64_t stream_bits = 0;  // the stream it built (0: none)
    int64_t best_bits = 0;    // the best stream of the run so far (0: none yet)
    int32_t low_rods = 0;
    int32_t high_rods = 0;
    CycleFate fate = CycleFate::Kept;
    int32_t cycles_counted = 0;  // cycles the run has counted after this one
};

// The header of a stream being restored (one round per packing cycle, newest first).
struct RoundRecord {
    int32_t cycle = 0;
    int32_t passes = 0;        // the passes that packed it
    int64_t stream_bytes = 0;  // bytes of the stream the header begins
    int64_t data_bits = 0;
    int32_t low_rods = 0;
    int32_t high_rods = 0;
    int32_t original_bytes = 0;  // the packed file's size
    int64_t bits_in = 0;         // bits read from the file
};

// One reverse pass of a round.
struct ReversePassRecord {
    int32_t cycle = 0;
    int32_t passes_left = 0;  // of the round's passes
    int32_t passes = 0;       // the round's passes as its header gave them
    int64_t bits_out = 0;     // data bits after the pass
    int64_t decisions_left = 0;
    int32_t low_rods = 0;  // the round's decision bits in all
    int32_t high_rods_left = 0;
};

// The fixed messages of the engine; message_text gives each one's text. A run shows
// DecimalTooHigh through message(); the others stand for an outcome (a refused load, a
// restoration that failed), which the front end shows as it sees fit.
enum class Message {
    SizeLimit,       // a file to pack outside 82..32767 bytes
    DecimalTooHigh,  // a number too large for its bit field
    RestoreFailed,   // a rod stream that does not restore
};
std::string_view message_text(Message message);

inline constexpr std::string_view kSizeLimitMessage = "Quorvane Limit: 83 Bytes < File > 32 KBytes";
inline constexpr std::string_view kDecimalTooHigh = "Decimal value to high";
// The four lines shown when a stream cannot be restored.
inline constexpr std::string_view kRestoreFailedMessage =
    "This attempt to restore a fractalized file has failed\r\n"
    "You either used a corrupted file or did something illegal\r\n"
    "This vexion mechanism can not see ramdomly created wholes\r\n"
    "Please contakt Korrindal for details to resolve this problem";

// How a run stands; a front end shows it as its mode text.
enum class RunStatus {
    Written,        // the output is written
    Tested,         // a dry run has made and proven its output
    WriteFailed,    // the output could not be written whole
    NotSuccessful,  // packing found nothing worth writing
    Stopped,        // the caller stopped the run
};

class RunObserver {
  public:
    virtual ~RunObserver() = default;

    // Load File took a file of bytes bytes, to be packed or unpacked.
    virtual void loaded(int64_t bytes, bool unpacking) {
        (void)bytes;
        (void)unpacking;
    }
    // The direction of the next run changed (the mode button).
    virtual void direction_changed(bool unpacking) { (void)unpacking; }
    // A run begins: its direction, the LZ77 setting it starts with and the input's size.
    virtual void run_started(bool unpacking, bool lz77, int64_t bytes) {
        (void)unpacking;
        (void)lz77;
        (void)bytes;
    }
    // Bytes of the input read so far.
    virtual void input_read(int64_t bytes) { (void)bytes; }
    // A packing cycle begins on a stream of stream_bits bits.
    virtual void cycle_started(int32_t cycle, int64_t stream_bits) {
        (void)cycle;
        (void)stream_bits;
    }
    // A forward pass ran, was undone, or is the one the cycle falls back to.
    virtual void pass_done(const PassRecord& pass) { (void)pass; }
    // The decisions of a cycle are packed into bytes bytes (-1: they overflowed).
    virtual void decisions_packed(int64_t bytes) { (void)bytes; }
    // A candidate stream of bytes bytes is built and is being proven.
    virtual void stream_built(int64_t bytes) { (void)bytes; }
    virtual void cycle_done(const CycleRecord& cycle) { (void)cycle; }
    // Restoration read a stream's header and its decisions.
    virtual void round_started(const RoundRecord& round) { (void)round; }
    virtual void reverse_pass_done(const ReversePassRecord& pass) { (void)pass; }
    // Restoration has given the packed file's bytes.
    virtual void restored(int64_t bytes) { (void)bytes; }
    // The output is made: bits of it (the stream, or the restored file).
    virtual void output_ready(int64_t bits) { (void)bits; }
    virtual void status(RunStatus status) { (void)status; }
    // The run's closing step; not_successful: packing found nothing worth writing.
    virtual void run_closed(bool not_successful, int64_t bits_in, int64_t bytes_read) {
        (void)not_successful;
        (void)bits_in;
        (void)bytes_read;
    }
    virtual void message(Message message) { (void)message; }
    // After a packing run with a small enough stream: its chip code may be drawn.
    virtual void chip_ready(const BitString& stream, const BitString& header_data) {
        (void)stream;
        (void)header_data;
    }

    // Asked between steps; false stops the work in progress (nothing is written).
    virtual bool proceed() { return true; }
    // Asked at the step that reads a setting that may change during a run: the observer may
    // update it in settings (the window from its controls). May raise the setting's conversion
    // error.
    virtual void read_setting(LiveSetting which, Settings& settings) {
        (void)which;
        (void)settings;
    }
    // The run changed a setting itself (auto stop).
    virtual void setting_changed(LiveSetting which, const Settings& settings) {
        (void)which;
        (void)settings;
    }
};

// Reports nothing, asks nothing (batch work, benchmarks).
class SilentObserver : public RunObserver {};

// Passes only proceed() on: work done on the side (such as proving that a stream restores) stays
// cancellable without touching what the caller shows.
class ProceedOnlyObserver : public SilentObserver {
  public:
    explicit ProceedOnlyObserver(RunObserver& target) : target_(target) {}
    bool proceed() override { return target_.proceed(); }

  private:
    RunObserver& target_;
};

// Asks observer whether to go on; raises ERunCancelled when it says no.
void checkpoint(RunObserver& observer);

}  // namespace quorvane
