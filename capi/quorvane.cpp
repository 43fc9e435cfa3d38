// quorvane.cpp -- the C face of the engine: C structs in, engine calls, result codes out.
//
// Every entry point catches everything: an exception never crosses into C. The engine's message
// of a failure is kept per thread for quorvane_last_error().
#include "capi/quorvane.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "rodfile/rod_info.h"
#include "rodfile/rod_trailer.h"
#include "run/restoration.h"
#include "run/rod_detection.h"
#include "run/run_driver.h"
#include "run/study.h"
#include "status/json_writer.h"
#include "status/status_texts.h"
#include "status/study_report.h"
#include "zstream/memory_stream.h"
#include "zstream/zlib_file.h"

namespace {

using namespace quorvane;

thread_local std::string last_error;

// A failure the C API itself finds: the code and the message.
struct Failure {
    int code;
    std::string message;
};

// The code of an exception the engine raised, its message kept for quorvane_last_error().
int code_of_current_exception() {
    try {
        throw;
    } catch (const Failure& f) {
        last_error = f.message;
        return f.code;
    } catch (const std::bad_alloc&) {
        last_error = "Out of memory";
        return QUORVANE_ERROR_MEMORY;
    } catch (const std::exception& e) {
        last_error = e.what();
        const std::string_view what = e.what();
        if (dynamic_cast<const ERunCancelled*>(&e)) return QUORVANE_ERROR_CANCELLED;
        if (dynamic_cast<const EIntOverflow*>(&e)) return QUORVANE_ERROR_OVERFLOW;
        if (dynamic_cast<const EInvalidOp*>(&e)) return QUORVANE_ERROR_INVALID_OP;
        if (dynamic_cast<const EZLibError*>(&e)) return QUORVANE_ERROR_ZLIB;
        if (dynamic_cast<const EConvertError*>(&e)) return QUORVANE_ERROR_SETTING;
        if (dynamic_cast<const ECorruptData*>(&e)) {
            return what == kChecksumMismatch ? QUORVANE_ERROR_CHECKSUM : QUORVANE_ERROR_CORRUPT;
        }
        if (what == kSizeLimitMessage) return QUORVANE_ERROR_SIZE_LIMIT;
        if (what.starts_with("Rod size must")) return QUORVANE_ERROR_SETTING;
        return QUORVANE_ERROR_INTERNAL;
    } catch (...) {
        last_error = "Unknown failure";
        return QUORVANE_ERROR_INTERNAL;
    }
}

// Runs body, which returns a code; an exception becomes its code. Clears the thread's last
// error first, so that it always belongs to this call.
template <typename Body>
int guarded(Body&& body) noexcept {
    try {
        last_error.clear();
        const int code = body();
        if (code != QUORVANE_OK && last_error.empty()) last_error = quorvane_error_text(code);
        return code;
    } catch (...) {
        try {
            return code_of_current_exception();
        } catch (...) {
            return QUORVANE_ERROR_MEMORY;  // the message itself could not be kept
        }
    }
}

void require(const void* pointer) {
    if (!pointer) throw Failure{QUORVANE_ERROR_NULL, quorvane_error_text(QUORVANE_ERROR_NULL)};
}

std::span<const uint8_t> bytes_of(const void* data, size_t size) {
    if (size > 0) require(data);
    return {static_cast<const uint8_t*>(data), size};
}

// Sets the output pair to nothing, so that it is defined whatever the call ends with.
void clear_output(void** out, size_t* out_size) {
    require(out);
    require(out_size);
    *out = nullptr;
    *out_size = 0;
}

// Hands bytes to the caller in a buffer of malloc (one byte at least, so that an empty result is
// still a buffer to free).
void give(const std::vector<uint8_t>& bytes, void** out, size_t* out_size) {
    void* buffer = std::malloc(bytes.empty() ? 1 : bytes.size());
    if (!buffer) throw std::bad_alloc();
    if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
    *out = buffer;
    *out_size = bytes.size();
}

void check_range(const char* name, int64_t value, int64_t low, int64_t high) {
    if (value >= low && value <= high) return;
    throw Failure{QUORVANE_ERROR_SETTING, std::string(name) + " must be " + std::to_string(low) +
                                              " to " + std::to_string(high) + ", not " +
                                              std::to_string(value)};
}

Settings engine_settings(const quorvane_settings* given) {
    quorvane_settings s;
    quorvane_default_settings(&s);
    if (given) s = *given;
    const std::string problem = rod_size_problem(s.rod_size);
    if (!problem.empty()) throw Failure{QUORVANE_ERROR_SETTING, problem};
    check_range("Depth", s.depth, kMinDepth, kMaxDepth);
    check_range("Level", s.level, kMinLevel, kMaxLevel);
    Settings settings;
    settings.rod_size = static_cast<unsigned>(s.rod_size);
    settings.depth = s.depth;
    settings.level = s.level;
    settings.lz77 = s.lz77 != 0;
    settings.single = s.single != 0;
    settings.loop_count = s.loop_count;
    settings.experimental = s.experimental != 0;
    return settings;
}

// Passes the engine's records to the caller's callback, and its answer back as proceed().
class CallbackObserver final : public SilentObserver {
  public:
    CallbackObserver(quorvane_progress_fn fn, void* user) : fn_(fn), user_(user) {}

    void pass_done(const PassRecord& p) override {
        quorvane_progress r = record(QUORVANE_PROGRESS_PASS, p.cycle, p.pass);
        r.bits_in = p.bits_in;
        r.bits_out = p.bits_out;
        r.low_rods = p.low_rods;
        r.high_rods = p.high_rods;
        r.fate = static_cast<int>(p.fate);
        r.last = p.last;
        r.decision_bits = p.decision_bits;
        r.depth_threshold = p.depth_threshold;
        r.level_bits = p.level_bits;
        send(r);
    }
    void cycle_done(const CycleRecord& c) override {
        quorvane_progress r = record(QUORVANE_PROGRESS_CYCLE, c.cycle, c.passes);
        r.bits_in = c.start_bits;
        r.bits_out = c.stream_bits;
        r.low_rods = c.low_rods;
        r.high_rods = c.high_rods;
        r.fate = static_cast<int>(c.fate);
        r.best_bits = c.best_bits;
        send(r);
    }
    void round_started(const RoundRecord& round) override {
        quorvane_progress r = record(QUORVANE_PROGRESS_ROUND, round.cycle, round.passes);
        r.bits_in = round.bits_in;
        r.bits_out = round.data_bits;
        r.low_rods = round.low_rods;
        r.high_rods = round.high_rods;
        send(r);
    }
    void reverse_pass_done(const ReversePassRecord& p) override {
        quorvane_progress r =
            record(QUORVANE_PROGRESS_REVERSE_PASS, p.cycle, p.passes - p.passes_left);
        r.bits_out = p.bits_out;
        r.low_rods = p.low_rods;
        r.high_rods = p.high_rods_left;
        send(r);
    }
    bool proceed() override { return !stopped_; }

  private:
    static quorvane_progress record(int kind, int32_t cycle, int64_t pass) {
        quorvane_progress r{};
        r.kind = kind;
        r.cycle = cycle;
        r.pass = pass;
        return r;
    }
    void send(const quorvane_progress& r) {
        if (fn_ && !stopped_ && fn_(&r, user_) != 0) stopped_ = true;
    }

    quorvane_progress_fn fn_;
    void* user_;
    bool stopped_ = false;
};

// The code of a run that raised nothing.
int code_of(const RunResult& result) {
    switch (result.outcome) {
        case RunOutcome::Written:
        case RunOutcome::Tested:
            return QUORVANE_OK;
        case RunOutcome::NotSuccessful:
            return QUORVANE_ERROR_NOT_SUCCESSFUL;
        case RunOutcome::RestoreFailed:
            return QUORVANE_ERROR_RESTORE_FAILED;
        case RunOutcome::Cancelled:
            return QUORVANE_ERROR_CANCELLED;
        case RunOutcome::DeviceFull:
            break;
    }
    return QUORVANE_ERROR_INTERNAL;
}

void check_rod_size(std::span<const uint8_t> bytes) {
    if (static_cast<int64_t>(bytes.size()) > kMaxRodFileBytes) {
        throw ECorruptData("Rod file larger than 16 MiB");
    }
}

DetectionReport detect(std::span<const uint8_t> bytes, bool stop_when_decided) {
    check_rod_size(bytes);
    DetectionOptions options;
    options.stop_when_decided = stop_when_decided;
    return detect_rod_settings(bytes, options);
}

// The settings detection finds, as unpack --detect takes them: a code when it finds none or
// several.
int detect_into(std::span<const uint8_t> bytes, Settings& s) {
    const DetectionReport report = detect(bytes, true);
    if (report.results.empty()) return QUORVANE_ERROR_RESTORE_FAILED;
    if (report.results.size() > 1) return QUORVANE_ERROR_AMBIGUOUS;
    s.rod_size = report.results.front().settings.front().rod_size;
    s.lz77 = report.results.front().settings.front().lz77;
    return QUORVANE_OK;
}

int unpack(const void* rod, size_t rod_size, const quorvane_settings* settings,
           quorvane_progress_fn progress, void* user, void** out, size_t* out_size) {
    const auto bytes = bytes_of(rod, rod_size);
    Settings s = engine_settings(settings);
    if (settings && settings->detect) {
        const int code = detect_into(bytes, s);
        if (code != QUORVANE_OK) return code;
    }
    CallbackObserver observer(progress, user);
    const RunResult result = unpack_buffer(bytes, s, observer);
    const int code = code_of(result);
    if (code == QUORVANE_OK && out) give(result.bytes, out, out_size);
    return code;
}

void summarise(const DetectionReport& report, quorvane_detection* summary) {
    *summary = quorvane_detection{};
    summary->results = static_cast<int>(report.results.size());
    summary->tried = report.tried;
    summary->total = report.total;
    summary->lz77_first = report.lz77_first;
    if (!report.results.empty()) {
        const DetectedResult& first = report.results.front();
        summary->rod_size = static_cast<int>(first.settings.front().rod_size);
        summary->lz77 = first.settings.front().lz77;
        summary->confirmed = first.confirmed;
        summary->cycles = first.cycles;
        summary->passes = first.passes;
    }
}

static_assert(static_cast<int>(Baseline::Zlib) == 0 && static_cast<int>(Baseline::Zstd) == 1 &&
              static_cast<int>(Baseline::Xz) == 2 && static_cast<int>(Baseline::Entropy) == 3);
static_assert(static_cast<int>(PassFate::Undone) == QUORVANE_PASS_UNDONE &&
              static_cast<int>(PassFate::Fallback) == QUORVANE_PASS_FALLBACK &&
              static_cast<int>(CycleFate::RolledBack) == QUORVANE_CYCLE_ROLLED_BACK &&
              static_cast<int>(CycleFate::NotSuccessful) == QUORVANE_CYCLE_NOT_SUCCESSFUL &&
              static_cast<int>(TrailerState::Valid) == 1 &&
              static_cast<int>(TrailerState::Damaged) == 2);
static_assert(static_cast<int>(StudyOutcome::Packed) == QUORVANE_STUDY_PACKED &&
              static_cast<int>(StudyOutcome::NotSuccessful) == QUORVANE_STUDY_NOT_SUCCESSFUL &&
              static_cast<int>(StudyOutcome::NotRestored) == QUORVANE_STUDY_NOT_RESTORED);

StudySetting study_setting(const quorvane_study_setting* given) {
    quorvane_study_setting s;
    quorvane_default_study_setting(&s);
    if (given) s = *given;
    const std::string problem = rod_size_problem(s.rod_size);
    if (!problem.empty()) throw Failure{QUORVANE_ERROR_SETTING, problem};
    check_range("Depth", s.depth, kMinDepth, kMaxDepth);
    check_range("Loops", s.loops, 1, 32767);
    StudySetting setting;
    setting.rod_size = s.rod_size;
    setting.depth = s.depth;
    setting.lz77 = s.lz77 != 0;
    setting.single = s.single != 0;
    setting.loops = s.loops;
    return setting;
}

}  // namespace

extern "C" {

const char* quorvane_error_text(int code) {
    switch (code) {
        case QUORVANE_OK:
            return "No error";
        case QUORVANE_ERROR_NULL:
            return "Required pointer argument is NULL";
        case QUORVANE_ERROR_SETTING:
            return "Setting outside its limits";
        case QUORVANE_ERROR_SIZE_LIMIT:
            return kSizeLimitMessage.data();
        case QUORVANE_ERROR_NOT_SUCCESSFUL:
            return kModeNotSuccessful.data();
        case QUORVANE_ERROR_RESTORE_FAILED:
            return kRestoreFailedMessage.data();
        case QUORVANE_ERROR_CHECKSUM:
            return kChecksumMismatch.data();
        case QUORVANE_ERROR_CORRUPT:
            return "Not a rod file";
        case QUORVANE_ERROR_ZLIB:
            return "zlib error";
        case QUORVANE_ERROR_OVERFLOW:
            return "Integer overflow";
        case QUORVANE_ERROR_INVALID_OP:
            return "Invalid floating point operation";
        case QUORVANE_ERROR_CANCELLED:
            return "Operation cancelled";
        case QUORVANE_ERROR_MEMORY:
            return "Out of memory";
        case QUORVANE_ERROR_INTERNAL:
            return "Internal error";
        case QUORVANE_ERROR_AMBIGUOUS:
            return "restores to more than one file; nothing written";
        default:
            return "Unknown error code";
    }
}

const char* quorvane_last_error(void) {
    return last_error.c_str();
}

const char* quorvane_version(void) {
    return QUORVANE_VERSION;
}

void quorvane_free(void* buffer) {
    std::free(buffer);
}

void quorvane_default_settings(quorvane_settings* settings) {
    if (!settings) return;
    const Settings d;
    settings->rod_size = static_cast<int>(d.rod_size);
    settings->depth = d.depth;
    settings->level = d.level;
    settings->lz77 = d.lz77;
    settings->single = d.single;
    settings->loop_count = d.loop_count;
    settings->integrity_check = 1;
    settings->detect = 0;
    settings->experimental = d.experimental;
}

int quorvane_pack(const void* in, size_t in_size, const quorvane_settings* settings,
                  quorvane_progress_fn progress, void* user, void** out, size_t* out_size) {
    return guarded([&] {
        clear_output(out, out_size);
        const auto bytes = bytes_of(in, in_size);
        const Settings s = engine_settings(settings);
        const bool integrity = settings ? settings->integrity_check != 0 : true;
        CallbackObserver observer(progress, user);
        const RunResult result = pack_buffer(bytes, s, observer, integrity);
        const int code = code_of(result);
        if (code == QUORVANE_OK) give(result.bytes, out, out_size);
        return code;
    });
}

int quorvane_unpack(const void* rod, size_t rod_size, const quorvane_settings* settings,
                    quorvane_progress_fn progress, void* user, void** out, size_t* out_size) {
    return guarded([&] {
        clear_output(out, out_size);
        return unpack(rod, rod_size, settings, progress, user, out, out_size);
    });
}

int quorvane_test(const void* rod, size_t rod_size, const quorvane_settings* settings) {
    return guarded(
        [&] { return unpack(rod, rod_size, settings, nullptr, nullptr, nullptr, nullptr); });
}

int quorvane_info(const void* rod, size_t rod_size, quorvane_rod_info* info) {
    return guarded([&] {
        require(info);
        *info = quorvane_rod_info{};
        const auto bytes = bytes_of(rod, rod_size);
        const RodFileInfo r = describe_rod_file(bytes);
        info->cycle_count = r.header.CycleCount;
        info->pass_depth = r.header.PassDepth;
        info->trailing_bit_count = r.header.TrailingBitCount;
        info->low_rods = r.header.LowRods;
        info->rod_balance = r.header.RodBalance;
        info->data_bit_count = r.header.DataBitCount;
        info->source_byte_count = r.header.SourceByteCount;
        info->high_rods = r.HighRods;
        info->file_bytes = r.file_bytes;
        info->stream_bytes = r.stream_bytes;
        info->decision_bytes = r.decision_bytes;
        info->decisions_start_like_zlib = r.decisions_start_like_zlib;
        info->header_data_pad_bytes = r.header_data_bytes;
        const TrailerScan scan = find_trailer(bytes);
        info->has_integrity_trailer = scan.state == TrailerState::Valid;
        info->trailer_state = static_cast<int>(scan.state);
        if (scan.state != TrailerState::Absent) {
            info->trailer_version = scan.trailer.version;
            info->content_bytes = scan.trailer.content_length;
            info->content_crc32 = scan.trailer.content_crc;
            info->stream_crc32 = scan.trailer.stream_crc;
        }
        return QUORVANE_OK;
    });
}

int quorvane_detect(const void* rod, size_t rod_size, quorvane_detection* detection) {
    return guarded([&] {
        require(detection);
        summarise(detect(bytes_of(rod, rod_size), true), detection);
        return QUORVANE_OK;
    });
}

int quorvane_detect_all(const void* rod, size_t rod_size, int stop_when_decided,
                        quorvane_detection* summary, quorvane_detected** results,
                        size_t* result_count) {
    return guarded([&] {
        require(summary);
        require(results);
        require(result_count);
        *results = nullptr;
        *result_count = 0;
        const DetectionReport report = detect(bytes_of(rod, rod_size), stop_when_decided != 0);
        summarise(report, summary);
        if (report.results.empty()) return QUORVANE_OK;
        auto* list = static_cast<quorvane_detected*>(
            std::calloc(report.results.size(), sizeof(quorvane_detected)));
        if (!list) throw std::bad_alloc();
        for (size_t i = 0; i < report.results.size(); ++i) {
            const DetectedResult& d = report.results[i];
            quorvane_detected& out = list[i];
            out.bytes = static_cast<int64_t>(d.bytes.size());
            out.crc32 = d.crc32;
            out.cycles = d.cycles;
            out.passes = d.passes;
            out.confirmed = d.confirmed;
            // Every order holds each of the 254 settings once, so they always fit.
            for (const RodSettingsPair& pair : d.settings) {
                quorvane_rod_setting& setting = out.settings[out.setting_count++];
                setting.rod_size = static_cast<int>(pair.rod_size);
                setting.lz77 = pair.lz77;
            }
        }
        *results = list;
        *result_count = report.results.size();
        return QUORVANE_OK;
    });
}

void quorvane_default_study_setting(quorvane_study_setting* setting) {
    if (!setting) return;
    const StudySetting d;
    setting->rod_size = d.rod_size;
    setting->depth = d.depth;
    setting->lz77 = d.lz77;
    setting->single = d.single;
    setting->loops = d.loops;
}

int quorvane_study(const void* in, size_t in_size, const quorvane_study_setting* setting,
                   quorvane_study_result* result) {
    return guarded([&] {
        require(result);
        *result = quorvane_study_result{};
        const auto bytes = bytes_of(in, in_size);
        const StudySetting s = study_setting(setting);
        if (bytes.size() < static_cast<size_t>(kMinInputSize) ||
            bytes.size() > static_cast<size_t>(kMaxInputSize)) {
            throw EngineError(std::string(kSizeLimitMessage));
        }
        const StudyMeasurement m = study_file(bytes, s);
        result->outcome = static_cast<int>(m.outcome);
        result->rod_bytes = m.rod_bytes;
        result->cycles = m.cycles;
        result->passes = m.passes;
        result->pack_ms = m.pack_ms;
        result->restore_ms = m.restore_ms;
        return QUORVANE_OK;
    });
}

int quorvane_study_json(const void* in, size_t in_size, const char* name,
                        const quorvane_study_setting* settings, size_t setting_count,
                        unsigned baselines, int trace, char** json, size_t* json_size) {
    return guarded([&] {
        require(json);
        require(json_size);
        *json = nullptr;
        *json_size = 0;
        if (setting_count > 0) require(settings);
        const auto bytes = bytes_of(in, in_size);
        StudyPlan plan;
        if (setting_count == 0) plan.settings = study_sweep({}, {}, {}, {}, false);
        for (size_t i = 0; i < setting_count; ++i)
            plan.settings.push_back(study_setting(&settings[i]));
        for (const Baseline b : kBaselines) {
            if ((baselines & (1u << static_cast<unsigned>(b))) != 0) plan.baselines.push_back(b);
        }
        plan.trace = trace != 0;
        const FileStudy study = study_bytes(name ? name : "", bytes, plan);
        if (study.error) std::rethrow_exception(study.error);
        JsonWriter writer;
        file_study_json(writer, study, plan.settings, plan.trace);
        const std::string text = writer.text();
        std::vector<uint8_t> out(text.begin(), text.end());
        out.push_back(0);
        void* buffer = nullptr;
        size_t size = 0;
        give(out, &buffer, &size);
        *json = static_cast<char*>(buffer);
        *json_size = size - 1;
        return QUORVANE_OK;
    });
}

int quorvane_zlib_compress(const void* in, size_t in_size, void** out, size_t* out_size) {
    return guarded([&] {
        clear_output(out, out_size);
        const auto bytes = bytes_of(in, in_size);
        give(compress_bytes(bytes.data(), bytes.size()), out, out_size);
        return QUORVANE_OK;
    });
}

int quorvane_zlib_decompress(const void* in, size_t in_size, void** out, size_t* out_size) {
    return guarded([&] {
        clear_output(out, out_size);
        const auto bytes = bytes_of(in, in_size);
        MemoryStream source(std::vector<uint8_t>(bytes.begin(), bytes.end()));
        MemoryStream target;
        decompress_stream(source, target);
        give(target.data, out, out_size);
        return QUORVANE_OK;
    });
}

}  // extern "C"
