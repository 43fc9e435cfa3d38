// study_report.cpp -- the texts and JSON records of a study.
#include "status/study_report.h"

#include <exception>

namespace quorvane {

std::string setting_text(const StudySetting& s) {
    std::string text = "-r " + std::to_string(s.rod_size) + " -d " + std::to_string(s.depth);
    if (!s.lz77) text.append(" --no-lz77");
    if (s.single) text.append(" --single");
    if (s.loops != 2) text.append(" --loops ").append(std::to_string(s.loops));
    return text;
}

const char* outcome_name(StudyOutcome outcome) {
    switch (outcome) {
        case StudyOutcome::Packed:
            return "packed";
        case StudyOutcome::NotSuccessful:
            return "not successful";
        case StudyOutcome::NotRestored:
            return "not restored";
    }
    return "";
}

double study_ratio(int64_t output, int64_t input) {
    return static_cast<double>(output) / static_cast<double>(input);
}

void setting_json(JsonWriter& json, const StudySetting& s) {
    json.key("settings").value(setting_text(s));
    json.key("rod_size").value(s.rod_size).key("depth").value(s.depth);
    json.key("lz77").value(s.lz77).key("single").value(s.single).key("loops").value(s.loops);
}

void total_json(JsonWriter& json, const StudyTotal& t) {
    json.key("files").value(t.files).key("input_bytes").value(t.input_bytes);
    json.key("output_bytes").value(t.output_bytes);
    json.key("total_ratio").value(t.total_ratio(), 4);
    json.key("geometric_mean").value(t.geometric_mean(), 4);
}

namespace {

void trace_json(JsonWriter& json, const StudyTrace& trace) {
    json.key("trace").begin_object().key("passes").begin_array();
    for (const PassRecord& p : trace.passes) {
        json.begin_object().key("cycle").value(p.cycle).key("pass").value(p.pass);
        json.key("bits_in").value(p.bits_in).key("bits_out").value(p.bits_out);
        json.key("decision_bits").value(p.decision_bits);
        json.key("low_rods").value(p.low_rods).key("high_rods").value(p.high_rods);
        json.key("depth_threshold").value(p.depth_threshold).key("level_bits").value(p.level_bits);
        json.key("fate").value(pass_fate_name(p.fate)).key("last").value(p.last).end_object();
    }
    json.end_array().key("cycles").begin_array();
    for (const CycleRecord& c : trace.cycles) {
        json.begin_object().key("cycle").value(c.cycle).key("passes").value(c.passes);
        json.key("start_bits").value(c.start_bits).key("stream_bits").value(c.stream_bits);
        json.key("best_bits").value(c.best_bits);
        json.key("low_rods").value(c.low_rods).key("high_rods").value(c.high_rods);
        json.key("fate").value(cycle_fate_name(c.fate)).end_object();
    }
    json.end_array().end_object();
}

// A file in blocks has its traces in its blocks, not in its sums.
void measurement_json(JsonWriter& json, const StudySetting& setting, const StudyMeasurement& m,
                      int64_t input_bytes, bool trace) {
    setting_json(json, setting);
    json.key("outcome").value(outcome_name(m.outcome));
    json.key("pack_ms").value(m.pack_ms, 3);
    if (m.outcome != StudyOutcome::NotSuccessful) {
        json.key("rod_bytes").value(m.rod_bytes);
        json.key("ratio").value(study_ratio(m.rod_bytes, input_bytes), 4);
        json.key("cycles").value(m.cycles).key("passes").value(m.passes);
        json.key("restore_ms").value(m.restore_ms, 3);
    }
    if (trace) trace_json(json, m.trace);
}

}  // namespace

void verdict_json(JsonWriter& json, const std::optional<StudyVerdict>& verdict, int best,
                  const std::vector<StudySetting>& sweep) {
    json.key("verdict");
    if (!verdict) {
        json.null();
        return;
    }
    json.begin_object().key("settings");
    if (best >= 0) {
        json.value(setting_text(sweep[static_cast<size_t>(best)]));
    } else {
        json.null();
    }
    json.key("rod_bytes").value(verdict->rod_bytes);
    json.key("baseline").value(baseline_name(verdict->baseline));
    json.key("baseline_label").value(baseline_label(verdict->baseline));
    json.key("baseline_bytes").value(verdict->baseline_bytes);
    json.key("percent").value(verdict->percent(), 2);
    json.key("text").value(verdict->text()).end_object();
}

void file_study_json(JsonWriter& json, const FileStudy& f, const std::vector<StudySetting>& sweep,
                     bool trace) {
    json.begin_object().key("file").value(f.path).key("input_bytes").value(f.input_bytes);
    if (f.error) {
        try {
            std::rethrow_exception(f.error);
        } catch (const std::exception& e) {
            json.key("error").value(e.what());
        }
        json.end_object();
        return;
    }
    if (f.skipped) {
        json.key("skipped").value(*f.skipped).end_object();
        return;
    }
    for (const Baseline b : kBaselines) {
        const std::optional<int64_t> bytes = f.baseline(b);
        if (!bytes) continue;
        const std::string name(baseline_name(b));
        json.key(name + "_bytes").value(*bytes);
        json.key(name + "_ratio").value(study_ratio(*bytes, f.input_bytes), 4);
    }
    json.key("results").begin_array();
    for (size_t s = 0; s < sweep.size(); ++s) {
        json.begin_object();
        measurement_json(json, sweep[s], f.measurements[s], f.input_bytes, trace && !f.in_blocks());
        json.key("best").value(static_cast<int>(s) == f.best);
        json.end_object();
    }
    json.end_array();
    if (f.in_blocks()) {
        json.key("blocks").begin_array();
        for (const StudyBlock& block : f.blocks) {
            json.begin_object().key("offset").value(block.offset);
            json.key("input_bytes").value(block.input_bytes);
            json.key("stored").value(block.stored());
            if (!block.stored()) {
                json.key("results").begin_array();
                for (size_t s = 0; s < sweep.size(); ++s) {
                    json.begin_object();
                    measurement_json(json, sweep[s], block.measurements[s], block.input_bytes,
                                     trace);
                    json.end_object();
                }
                json.end_array();
            }
            json.end_object();
        }
        json.end_array();
    }
    verdict_json(json, file_verdict(f), f.best, sweep);
    json.end_object();
}

}  // namespace quorvane
